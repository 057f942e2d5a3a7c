#include "ServiceWire.h"

#include <cstdint>

namespace wince {
namespace wire {
namespace {

constexpr uint64_t kHandleTag = 0x5ull << 60;
constexpr uint64_t kTagMask = 0xFull << 60;
constexpr int kPrefixShift = 36;
constexpr int kIndexShift = 32;
constexpr DWORD kMaxIndex = 9;
constexpr size_t kPrefixChars = 3;

bool IsPrefixChar(wchar_t c) { return c > L' ' && c < 0x7F && c != L':' && c != L'\\'; }

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
    uint64_t prefix = 0;
    for (size_t i = 0; i < kPrefixChars; ++i) prefix = prefix << 8 | (instance.prefix[i] & 0xFF);
    const uint64_t value = kHandleTag | prefix << kPrefixShift |
                           static_cast<uint64_t>(instance.index) << kIndexShift | hostPid;
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value));
}

bool ParseHandle(HANDLE handle, Instance* instance, DWORD* hostPid) {
    const uint64_t value = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(handle));
    if ((value & kTagMask) != kHandleTag) return false;
    wchar_t prefix[kPrefixChars + 1] = {};
    for (size_t i = 0; i < kPrefixChars; ++i)
        prefix[i] = static_cast<wchar_t>((value >> (kPrefixShift + 8 * (kPrefixChars - 1 - i))) & 0xFF);
    const DWORD index = static_cast<DWORD>((value >> kIndexShift) & 0xF);
    if (!ParsePrefix(prefix, index, instance)) return false;
    *hostPid = static_cast<DWORD>(value & 0xFFFFFFFF);
    return *hostPid != 0;
}

}  // namespace wire
}  // namespace wince
