// Caller-list look-ups (KxConfig::GetAcceptr) against a raw RegEnumValueW walk of the same list
// key that compares the same seven-character tail, measured in one run on lists of 10, 1,000 and
// 10,000 entries. Goal: the library takes at most 1.2 times as long as the raw walk.
#include <kxcommon/CallerInfo.h>
#include <kxcommon/KxConfig.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>

namespace {

// The raw walk needs the list's key itself; the library is reached through KxConfig only.
constexpr wchar_t kListKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\AcceptList";
constexpr size_t kTailChars = 7;
constexpr double kGoal = 1.2;
constexpr int kRounds = 7;
constexpr double kMinBatchSeconds = 0.05;

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool LibraryLookup(const std::wstring& number) {
    CallerInfo_tag entry = {};
    std::wmemcpy(entry.Number, number.c_str(), number.size());
    return KxConfig::GetAcceptr(entry) == KX_OK;
}

// What a program would write by hand: open the key, walk the value names, compare the tail.
bool RawLookup(const std::wstring& number) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kListKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    const wchar_t* tail = number.c_str() + number.size() - kTailChars;
    wchar_t name[1024];
    bool hit = false;
    for (DWORD index = 0; !hit; ++index) {
        DWORD chars = 1024;
        if (::RegEnumValueW(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        hit = chars >= kTailChars && std::wmemcmp(name + chars - kTailChars, tail, kTailChars) == 0;
    }
    ::RegCloseKey(key);
    return hit;
}

// Seconds per call: the fastest of several batches, each long enough to time reliably.
template <typename Lookup>
double SecondsPerCall(Lookup lookup, const std::wstring& number, int calls) {
    const double start = Now();
    for (int i = 0; i < calls; ++i) lookup(number);
    return (Now() - start) / calls;
}

int CallsPerBatch(const std::wstring& number) {
    int calls = 1;
    while (calls < (1 << 20)) {
        const double start = Now();
        for (int i = 0; i < calls; ++i) RawLookup(number);
        if (Now() - start >= kMinBatchSeconds) break;
        calls *= 2;
    }
    return calls;
}

void FillList(int entries) {
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kListKey);
    for (int i = 0; i < entries; ++i) {
        CallerInfo_tag entry = {};
        std::swprintf(entry.Number, KX_CALLER_NUMBER_CHARS, L"09%08d", 10000000 + i);
        std::swprintf(entry.Name, KX_CALLER_NAME_CHARS, L"caller %d", i);
        KxConfig::AddAccepter(entry);
    }
}

// The stored number in the middle of the registry's value order, reached halfway by a walk.
std::wstring MiddleNumber(int entries) {
    HKEY key = nullptr;
    wchar_t name[1024] = L"";
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kListKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD chars = 1024;
        ::RegEnumValueW(key, entries / 2, name, &chars, nullptr, nullptr, nullptr, nullptr);
        ::RegCloseKey(key);
    }
    return name;
}

bool Measure(int entries, const char* label, const std::wstring& number, bool expectHit,
             double* worst) {
    if (LibraryLookup(number) != expectHit || RawLookup(number) != expectHit) {
        std::printf("%7d  %-12s  the library and the raw walk disagree\n", entries, label);
        return false;
    }
    const int calls = CallsPerBatch(number);
    double library = 1e9;
    double raw = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        library = std::min(library, SecondsPerCall(LibraryLookup, number, calls));
        raw = std::min(raw, SecondsPerCall(RawLookup, number, calls));
    }
    const double ratio = library / raw;
    *worst = std::max(*worst, ratio);
    std::printf("%7d  %-12s  %10.1f us  %10.1f us  %6.2fx\n", entries, label, library * 1e6,
                raw * 1e6, ratio);
    return true;
}

}  // namespace

int main() {
    std::printf("caller-list look-up: KxConfig::GetAcceptr against a raw RegEnumValueW walk\n");
    std::printf("%7s  %-12s  %13s  %13s  %7s\n", "entries", "case", "library", "raw walk", "ratio");
    double worst = 0;
    bool agreed = true;
    for (int entries : {10, 1000, 10000}) {
        FillList(entries);
        // +886 and the national number without its leading 0: found only by the tail.
        const std::wstring hit = L"+886" + MiddleNumber(entries).substr(1);
        agreed &= Measure(entries, "hit by tail", hit, true, &worst);
        agreed &= Measure(entries, "miss", L"+886999999999", false, &worst);
    }
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kListKey);
    std::printf("worst ratio %.2fx (goal: at most %.1fx)%s\n", worst, kGoal,
                worst <= kGoal ? "" : "  OVER GOAL");
    return agreed ? 0 : 1;
}
