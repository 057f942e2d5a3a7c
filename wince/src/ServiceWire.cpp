#include "ServiceWire.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace wince {
namespace wire {
namespace {

// A handle is the tag and a slot of this process's table of the hosts it has met: 32 bits, as
// the device's handles are, and never null or INVALID_HANDLE_VALUE.
constexpr uintptr_t kHandleTag = 0x5E000000;
constexpr uintptr_t kTagMask = 0xFF000000;
constexpr uintptr_t kSlotMask = 0x00FFFFFF;
constexpr DWORD kMaxIndex = 9;
constexpr size_t kPrefixChars = 3;

bool IsPrefixChar(wchar_t c) { return c > L' ' && c < 0x7F && c != L':' && c != L'\\'; }

struct Slot {
    Instance instance;
    DWORD hostPid;
};

std::mutex gSlotLock;
std::vector<Slot> gSlots;

bool SameInstance(const Instance& a, const Instance& b) {
    return a.index == b.index && a.prefix[0] == b.prefix[0] && a.prefix[1] == b.prefix[1] &&
           a.prefix[2] == b.prefix[2];
}

}  // namespace

bool ParsePrefix(LPCWSTR prefix, DWORD index, Instance* out) {
    if (prefix == nullptr || index > kMaxIndex) return false;
    for (size_t i = 0; i < kPrefixChars; ++i)
        if (!IsPrefixChar(prefix[i])) return false;
    if (prefix[kPrefixChars] != L'\0') return false;
    for (size_t i = 0; i < kPrefixChars; ++i) out->prefix[i] = prefix[i];
    out->prefix[kPrefixChars] = L'\0';
    out->index = index;
    return true;
}

bool ParseInstanceName(LPCWSTR name, Instance* out) {
    if (name == nullptr) return false;
    wchar_t prefix[kPrefixChars + 1] = {};
    for (size_t i = 0; i < kPrefixChars; ++i) {
        if (name[i] == L'\0') return false;
        prefix[i] = name[i];
    }
    const wchar_t digit = name[kPrefixChars];
    if (digit < L'0' || digit > L'9') return false;
    const wchar_t* rest = name + kPrefixChars + 1;
    if (!(rest[0] == L'\0' || (rest[0] == L':' && rest[1] == L'\0'))) return false;
    return ParsePrefix(prefix, static_cast<DWORD>(digit - L'0'), out);
}

std::wstring PipeName(const Instance& instance) {
    return std::wstring(L"\\\\.\\pipe\\kxce-service-") + instance.prefix +
           static_cast<wchar_t>(L'0' + instance.index);
}

std::wstring ClaimName(const Instance& instance) {
    return std::wstring(L"kxce-service-") + instance.prefix +
           static_cast<wchar_t>(L'0' + instance.index);
}

HANDLE MakeHandle(const Instance& instance, DWORD hostPid) {
    std::lock_guard<std::mutex> hold(gSlotLock);
    size_t slot = 0;
    while (slot < gSlots.size() &&
           !(gSlots[slot].hostPid == hostPid && SameInstance(gSlots[slot].instance, instance)))
        ++slot;
    if (slot == gSlots.size()) {
        if (slot > kSlotMask) return nullptr;
        gSlots.push_back(Slot{instance, hostPid});
    }
    return reinterpret_cast<HANDLE>(kHandleTag | slot);
}

bool ParseHandle(HANDLE handle, Instance* instance, DWORD* hostPid) {
    const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    if ((value & ~(kTagMask | kSlotMask)) != 0 || (value & kTagMask) != kHandleTag) return false;
    std::lock_guard<std::mutex> hold(gSlotLock);
    const size_t slot = value & kSlotMask;
    if (slot >= gSlots.size()) return false;
    *instance = gSlots[slot].instance;
    *hostPid = gSlots[slot].hostPid;
    return true;
}

}  // namespace wire
}  // namespace wince
