// Caller-list look-ups (KxConfig::GetAcceptr) against the raw registry calls the look-up stands
// for, on lists of 10 and 100 entries: open the list's key, ask for the number as a value name,
// and when it is not there walk the value names comparing their last seven characters, then
// close the key. Longer lists show nothing more (each value costs both sides one enumeration),
// and one look-up in them lasts tens of milliseconds, too long a batch to interleave finely.
#include "BenchHarness.h"

#include <kxcommon/CallerInfo.h>
#include <kxcommon/KxConfig.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

// The raw side needs the list's key itself; the library is reached through KxConfig only.
constexpr wchar_t kListKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\AcceptList";
constexpr size_t kTailChars = 7;
constexpr DWORD kNameChars = 1024;

// What a program would write by hand: the number itself, else any name with the same tail.
bool RawLookup(const wchar_t* number) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kListKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    bool hit = ::RegQueryValueExW(key, number, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    const size_t length = std::wcslen(number);
    if (!hit && length > kTailChars) {
        const wchar_t* tail = number + length - kTailChars;
        wchar_t name[kNameChars];
        for (DWORD index = 0; !hit; ++index) {
            DWORD chars = kNameChars;
            if (::RegEnumValueW(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            hit = chars >= kTailChars &&
                  std::wmemcmp(name + chars - kTailChars, tail, kTailChars) == 0;
        }
    }
    ::RegCloseKey(key);
    return hit;
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
    wchar_t name[kNameChars] = L"";
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kListKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD chars = kNameChars;
        ::RegEnumValueW(key, entries / 2, name, &chars, nullptr, nullptr, nullptr, nullptr);
        ::RegCloseKey(key);
    }
    return name;
}

void Measure(kxbench::Tally& tally, int entries, const char* label, const std::wstring& number,
             bool expectHit) {
    char what[96];
    std::snprintf(what, sizeof what, "%d entries, %s: GetAcceptr / raw calls", entries, label);
    // The record is filled once: building it is the caller's work, not the look-up's.
    CallerInfo_tag entry = {};
    std::wmemcpy(entry.Number, number.c_str(), number.size());
    const auto library = [&entry] { return KxConfig::GetAcceptr(entry) == KX_OK; };
    const auto raw = [&number] { return RawLookup(number.c_str()); };
    if (kxbench::Agree(tally, library() == expectHit && raw() == expectHit, what))
        kxbench::PrintRow(tally, what, kxbench::Compare(library, raw), kxbench::kCallGoal);
}

}  // namespace

int main() {
    kxbench::Tally tally;
    kxbench::PrintHeader(
        "caller-list look-up: KxConfig::GetAcceptr against the raw registry calls");
    for (int entries : {10, 100}) {
        FillList(entries);
        const std::wstring stored = MiddleNumber(entries);
        if (entries == 10) Measure(tally, entries, "exact hit", stored, true);
        // +886 and the national number without its leading 0: found only by the tail.
        Measure(tally, entries, "hit by tail", L"+886" + stored.substr(1), true);
        Measure(tally, entries, "miss", L"+886999999999", false);
    }
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kListKey);
    return kxbench::Finish(tally);
}
