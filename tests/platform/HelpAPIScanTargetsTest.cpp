// Which files a scan takes: device names, the storage manager, the product's own files and the
// file-type choice (ROM files and fixed names are with the path helpers).
#include "RegistryRows.h"

#include <kxcommon/HelpAPI.h>

#include <thread>

namespace {

class ScanTargetsTest : public kxtest::DeviceTest {};

struct OwnFileRow {
    const wchar_t* path;
    bool ours;  // IsOurFile's answer
};

::testing::AssertionResult IsOurs(const OwnFileRow& row) {
    const bool got = HelpAPI::IsOurFile(row.path);
    if (got == row.ours) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "IsOurFile(" << testing::PrintToString(row.path)
                                         << ") answered " << got << ", expected " << row.ours;
}

// The own-files list is made once per process, from both directories, even when eight threads
// ask at once; a later change of directory does not change it.
TEST_F(ScanTargetsTest, OwnFilesAreListedOnceFromBothDirectories) {
    kxtest::StoreText(kxtest::kProductKey, L"AppPath", L"\\Program Files\\Scutara");
    kxtest::StoreText(kxtest::kProductKey, L"WinPath", L"\\Windows");
    std::vector<int> answers(8, -1);
    std::vector<std::thread> threads;
    for (int& answer : answers)
        threads.emplace_back(
            [&answer] { answer = HelpAPI::IsOurFile(L"\\Program Files\\Scutara\\KXMAIN.EXE"); });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(answers, std::vector<int>(8, 1)) << "IsOurFile asked from eight threads at once";
    kxtest::StoreText(kxtest::kProductKey, L"AppPath", L"\\Elsewhere");
    const OwnFileRow rows[] = {
        {.path = L"\\program files\\scutara\\debug.log", .ours = true},
        {.path = L"\\Windows\\KxMsgSvr.exe", .ours = true},
        {.path = L"\\Program Files\\Scutara\\KxMain.exe", .ours = true},
        {.path = L"\\Program Files\\Scutara\\KxMain.exe ", .ours = false},
        {.path = L"\\Windows\\KxMain.exe", .ours = false},
        // Compared as lower-cased texts, not by a collation that passes over a soft hyphen.
        {.path = L"\\Windows\\KxMsg\u00ADSvr.exe", .ours = false},
        {.path = nullptr, .ours = false},
    };
    for (const OwnFileRow& row : rows) EXPECT_TRUE(IsOurs(row));
}

struct SkipRow {
    const wchar_t* path;
    int checkType;  // whether the user's file types apply
    int skip;       // SkipScanFile's answer
    int checked;    // the flag it leaves: 1 when it looked at the file
};

::testing::AssertionResult Skips(const SkipRow& row) {
    int checked = 9;
    const int skip = HelpAPI::SkipScanFile(row.path, checked, row.checkType);
    if (skip == row.skip && checked == row.checked) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "SkipScanFile(" << testing::PrintToString(row.path) << ", type check "
           << row.checkType << ") answered " << skip << " leaving the flag " << checked
           << ", expected " << row.skip << " and " << row.checked;
}

// Whether a file is skipped, and whether it was looked at, with programs chosen as the type:
// empty names, ROM modules, device names and the storage manager's folder are skipped unlooked.
TEST_F(ScanTargetsTest, SkipScanFileBranchesAndTheFlagEachLeaves) {
    const std::wstring program = kxtest::MakeScratchFile(L"a.exe");
    const std::wstring text = kxtest::MakeScratchFile(L"b.txt");
    const std::wstring rom = kxtest::MakeScratchFile(L"c.dll");
    ASSERT_TRUE(WinceMarkRomFile(rom.c_str(), FILE_ATTRIBUTE_ROMMODULE));
    ::CreateDirectoryW(L"\\StoreMgr", nullptr);
    ::CloseHandle(
        ::CreateFileW(L"\\storemgr\\d.exe", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    kxtest::StoreNumber(kxtest::kProductKey, L"FileScanType", 1);  // programs
    const SkipRow rows[] = {
        {.path = L"", .checkType = 1, .skip = 1, .checked = 0},
        {.path = L"\\kxtest\\absent.exe", .checkType = 1, .skip = 1, .checked = 1},  // unreadable
        {.path = rom.c_str(), .checkType = 1, .skip = 1, .checked = 0},
        {.path = L"C:", .checkType = 1, .skip = 1, .checked = 0},                 // a device name
        {.path = L"\\storemgr\\d.exe", .checkType = 1, .skip = 1, .checked = 0},  // any case
        {.path = text.c_str(), .checkType = 0, .skip = 0, .checked = 1},
        {.path = program.c_str(), .checkType = 1, .skip = 0, .checked = 1},
        {.path = text.c_str(), .checkType = 1, .skip = 1, .checked = 1},
        {.path = nullptr, .checkType = 1, .skip = 1, .checked = 0},
    };
    for (const SkipRow& row : rows) EXPECT_TRUE(Skips(row));
    ::DeleteFileW(L"\\storemgr\\d.exe");
    ::RemoveDirectoryW(L"\\StoreMgr");
}

}  // namespace
