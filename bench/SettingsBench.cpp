// Settings read and written through KxConfig against the raw registry calls each stands for:
// open (or create, to write) the product's key, query (or set) the one value, close the key.
#include "BenchHarness.h"

#include <kxcommon/KxConfig.h>

#include <cwchar>

namespace {

// The raw side needs the product's key and the values' names; the library is reached through
// KxConfig only.
constexpr wchar_t kProductKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0";
constexpr wchar_t kNumberValue[] = L"FileScanType";
constexpr wchar_t kTextValue[] = L"TaskLogFilename";
constexpr unsigned long kNumber = 0x1F;
constexpr wchar_t kText[] = L"\\My Documents\\Scutara\\task.log";
constexpr DWORD kTextChars = 260;

bool RawRead(const wchar_t* valueName, void* data, DWORD bytes) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    const bool ok = ::RegQueryValueExW(key, valueName, nullptr, nullptr, static_cast<BYTE*>(data),
                                       &bytes) == ERROR_SUCCESS;
    ::RegCloseKey(key);
    return ok;
}

bool RawWrite(const wchar_t* valueName, DWORD type, const void* data, DWORD bytes) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                          nullptr) != ERROR_SUCCESS)
        return false;
    const bool ok = ::RegSetValueExW(key, valueName, 0, type, static_cast<const BYTE*>(data),
                                     bytes) == ERROR_SUCCESS;
    ::RegCloseKey(key);
    return ok;
}

void DeleteValues() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_WRITE, &key) != ERROR_SUCCESS)
        return;
    ::RegDeleteValueW(key, kNumberValue);
    ::RegDeleteValueW(key, kTextValue);
    ::RegCloseKey(key);
}

}  // namespace

int main() {
    kxbench::Tally tally;
    kxbench::PrintHeader("settings: KxConfig against the raw registry calls");
    const DWORD textBytes = static_cast<DWORD>((std::wcslen(kText) + 1) * sizeof(wchar_t));

    bool ok = true;
    const DWORD number = kNumber;
    const auto libraryWriteNumber = [&] { ok = KxConfig::SetScanFileType(kNumber) == KX_OK && ok; };
    const auto rawWriteNumber = [&] {
        ok = RawWrite(kNumberValue, REG_DWORD, &number, sizeof number) && ok;
    };
    libraryWriteNumber();
    rawWriteNumber();
    if (kxbench::Agree(tally, ok, "number write"))
        kxbench::PrintRow(tally, "write a number: SetScanFileType / RegSetValueExW",
                          kxbench::Compare(libraryWriteNumber, rawWriteNumber), kxbench::kCallGoal);

    const auto libraryWriteText = [&] { ok = KxConfig::SetTaskLogFileName(kText) == KX_OK && ok; };
    const auto rawWriteText = [&] { ok = RawWrite(kTextValue, REG_SZ, kText, textBytes) && ok; };
    libraryWriteText();
    rawWriteText();
    if (kxbench::Agree(tally, ok, "text write"))
        kxbench::PrintRow(tally, "write a text: SetTaskLogFileName / RegSetValueExW",
                          kxbench::Compare(libraryWriteText, rawWriteText), kxbench::kCallGoal);

    unsigned long mineNumber = 0;
    DWORD theirNumber = 0;
    const auto libraryReadNumber = [&] {
        ok = KxConfig::GetScanFileType(mineNumber) == KX_OK && ok;
    };
    const auto rawReadNumber = [&] {
        ok = RawRead(kNumberValue, &theirNumber, sizeof theirNumber) && ok;
    };
    libraryReadNumber();
    rawReadNumber();
    if (kxbench::Agree(tally, ok && mineNumber == kNumber && theirNumber == kNumber, "number read"))
        kxbench::PrintRow(tally, "read a number: GetScanFileType / RegQueryValueExW",
                          kxbench::Compare(libraryReadNumber, rawReadNumber), kxbench::kCallGoal);

    wchar_t mineText[kTextChars] = L"", theirText[kTextChars] = L"";
    const auto libraryReadText = [&] {
        ok = KxConfig::GetTaskLogFileName(mineText, kTextChars) == KX_OK && ok;
    };
    const auto rawReadText = [&] { ok = RawRead(kTextValue, theirText, sizeof theirText) && ok; };
    libraryReadText();
    rawReadText();
    if (kxbench::Agree(
            tally, ok && std::wcscmp(mineText, kText) == 0 && std::wcscmp(theirText, kText) == 0,
            "text read"))
        kxbench::PrintRow(tally, "read a text: GetTaskLogFileName / RegQueryValueExW",
                          kxbench::Compare(libraryReadText, rawReadText), kxbench::kCallGoal);

    DeleteValues();
    return kxbench::Finish(tally);
}
