// Which files a scan takes: device names, the storage manager, the product's own files and the
// file-type choice (ROM files and fixed names are with the path helpers).
#include "DeviceFixture.h"

#include <kxcommon/HelpAPI.h>

#include <thread>

using namespace kxtest;

class ScanTargetsTest : public kxtest::DeviceTest {};

static void SetText(const wchar_t* name, const std::wstring& text) {
    RawSetValue(kProductKey, name, REG_SZ, text.c_str(), DWORD(text.size() * 2 + 2));
}

// The own-files list is made once per process, from both directories, even when eight threads
// ask at once; a later change of directory does not change it.
TEST_F(ScanTargetsTest, OwnFilesAreListedOnceFromBothDirectories) {
    SetText(L"AppPath", L"\\Program Files\\Scutara");
    SetText(L"WinPath", L"\\Windows");
    std::vector<int> answers(8, -1);
    std::vector<std::thread> threads;
    for (int& a : answers)
        threads.emplace_back(
            [&a] { a = HelpAPI::IsOurFile(L"\\Program Files\\Scutara\\KXMAIN.EXE"); });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(answers, std::vector<int>(8, 1));
    SetText(L"AppPath", L"\\Elsewhere");
    struct Row {
        const wchar_t* path;
        bool ours;
    } const rows[] = {{L"\\program files\\scutara\\debug.log", true},
                      {L"\\Windows\\KxMsgSvr.exe", true},
                      {L"\\Program Files\\Scutara\\KxMain.exe", true},
                      {L"\\Program Files\\Scutara\\KxMain.exe ", false},
                      {L"\\Windows\\KxMain.exe", false},
                      // Compared as lower-cased texts, not by a collation that passes over a
                      // soft hyphen inside the name.
                      {L"\\Windows\\KxMsg\u00ADSvr.exe", false},
                      {nullptr, false}};
    for (const Row& r : rows)
        EXPECT_EQ(HelpAPI::IsOurFile(r.path), r.ours) << (r.path ? r.path : L"");
}

// Whether a file is skipped, and whether it was looked at: with programs chosen as the type.
TEST_F(ScanTargetsTest, SkipScanFileBranchesAndTheFlagEachLeaves) {
    const std::wstring exe = MakeScratchFile(L"a.exe"), txt = MakeScratchFile(L"b.txt");
    const std::wstring rom = MakeScratchFile(L"c.dll");
    ASSERT_TRUE(WinceMarkRomFile(rom.c_str(), FILE_ATTRIBUTE_ROMMODULE));
    ::CreateDirectoryW(L"\\StoreMgr", nullptr);
    ::CloseHandle(
        ::CreateFileW(L"\\storemgr\\d.exe", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const DWORD programs = 1;
    RawSetValue(kProductKey, L"FileScanType", REG_DWORD, &programs, 4);
    struct Row {
        const wchar_t* path;
        int checkType, skip, checked;
    } const rows[] = {
        {L"", 1, 1, 0},                      // empty name
        {L"\\kxtest\\absent.exe", 1, 1, 1},  // cannot be read
        {rom.c_str(), 1, 1, 0},              // ROM module
        {L"C:", 1, 1, 0},                    // a device name
        {L"\\storemgr\\d.exe", 1, 1, 0},     // the storage manager's folder, any case
        {txt.c_str(), 0, 0, 1},              // no type check: scanned
        {exe.c_str(), 1, 0, 1},              // a type the user chose
        {txt.c_str(), 1, 1, 1},              // a type the user did not choose
        {nullptr, 1, 1, 0},
    };
    for (const Row& r : rows) {
        int checked = 9;
        const int skip = HelpAPI::SkipScanFile(r.path, checked, r.checkType);
        EXPECT_EQ(skip * 10 + checked, r.skip * 10 + r.checked) << (r.path ? r.path : L"<null>");
    }
    ::DeleteFileW(L"\\storemgr\\d.exe");
    ::RemoveDirectoryW(L"\\StoreMgr");
}
