// Which files a scan takes: ROM files, device names, the storage manager, the product's own
// files and the file-type choice.
#include "DeviceFixture.h"

#include <kxcommon/HelpAPI.h>
#include <wince/wince.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using kxtest::MakeScratchFile;
using kxtest::RawSetValue;

constexpr wchar_t kProductKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0";

class ScanTargetsTest : public kxtest::DeviceTest {};

void SetText(const wchar_t* name, const std::wstring& text) {
    RawSetValue(kProductKey, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2));
}

TEST_F(ScanTargetsTest, RomFilesAreWhatTheDeviceSaysAndUnreadableOnesToo) {
    const std::wstring plain = MakeScratchFile(L"plain.dll");
    const std::wstring inRom = MakeScratchFile(L"inrom.dll");
    const std::wstring module = MakeScratchFile(L"module.dll");
    ASSERT_TRUE(WinceMarkRomFile(inRom.c_str(), FILE_ATTRIBUTE_INROM));
    ASSERT_TRUE(WinceMarkRomFile(module.c_str(), FILE_ATTRIBUTE_ROMMODULE));
    EXPECT_EQ(HelpAPI::isRomFile(plain.c_str()), 0);
    EXPECT_EQ(HelpAPI::isRomFile(inRom.c_str()), 1);
    EXPECT_EQ(HelpAPI::isRomFile(module.c_str()), 1);
    EXPECT_EQ(HelpAPI::isRomFile(L"\\kxtest\\absent.dll"), 1);
    EXPECT_EQ(HelpAPI::isRomFile(nullptr), 1);
    // The desktop's own bits of the same values mean something else and are not ROM.
    ASSERT_TRUE(::SetFileAttributesW(plain.c_str(), FILE_ATTRIBUTE_NOT_CONTENT_INDEXED));
    EXPECT_EQ(HelpAPI::isRomFile(plain.c_str()), 0);
}

TEST_F(ScanTargetsTest, FixedNamesOfTheSystemAndTheProduct) {
    EXPECT_EQ(HelpAPI::isIgnoreFile(L"\\WINDOWS\\Service.exe"), 1);
    EXPECT_EQ(HelpAPI::isIgnoreFile(L"\\Windows\\services.exe"), 0);
    EXPECT_EQ(HelpAPI::isIgnoreFile(L"service.exe"), 0) << "the whole path counts";
    EXPECT_EQ(HelpAPI::isIgnoreFile(nullptr), 0);
    for (const wchar_t* path : {L"zrapice.dll", L"\\Windows\\ZRAPICE.DLL", L"\\x\\KXSVC.dll",
                                L"KXSMSLsn2.dll", L"\\Program Files\\kxupdate.dll"})
        EXPECT_EQ(HelpAPI::isIgnoreDllFile(path), 1) << testing::PrintToString(std::wstring(path));
    EXPECT_EQ(HelpAPI::isIgnoreDllFile(L"\\Windows\\zrapice.dll.bak"), 0);
    EXPECT_EQ(HelpAPI::isIgnoreDllFile(L"\\Windows\\"), 0);
    EXPECT_EQ(HelpAPI::isIgnoreDllFile(nullptr), 0);
}

// The own-files list is made once per process, so its whole story is one test.
TEST_F(ScanTargetsTest, OwnFilesAreListedOnceFromBothDirectories) {
    SetText(L"AppPath", L"\\Program Files\\Scutara");
    SetText(L"WinPath", L"\\Windows");
    std::vector<int> answers(8, -1);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < answers.size(); ++i)
        threads.emplace_back([&answers, i] {
            answers[i] = HelpAPI::IsOurFile(L"\\Program Files\\Scutara\\KXMAIN.EXE") ? 1 : 0;
        });
    for (std::thread& t : threads) t.join();
    for (int a : answers) EXPECT_EQ(a, 1);

    EXPECT_TRUE(HelpAPI::IsOurFile(L"\\program files\\scutara\\debug.log"));
    EXPECT_TRUE(HelpAPI::IsOurFile(L"\\Windows\\KxMsgSvr.exe"));
    EXPECT_TRUE(HelpAPI::IsOurFile(L"\\Windows\\KxAgent.exe"));
    EXPECT_FALSE(HelpAPI::IsOurFile(L"\\Program Files\\Scutara\\KxMain.exe "));
    EXPECT_FALSE(HelpAPI::IsOurFile(L"\\Windows\\KxMain.exe"));
    EXPECT_FALSE(HelpAPI::IsOurFile(nullptr));

    SetText(L"AppPath", L"\\Elsewhere");
    EXPECT_TRUE(HelpAPI::IsOurFile(L"\\Program Files\\Scutara\\KxMain.exe"))
        << "kept for the process";
}

TEST_F(ScanTargetsTest, SkipScanFileBranchesAndTheFlagEachLeaves) {
    const std::wstring exe = MakeScratchFile(L"a.exe");
    const std::wstring txt = MakeScratchFile(L"b.txt");
    const std::wstring rom = MakeScratchFile(L"c.dll");
    ASSERT_TRUE(WinceMarkRomFile(rom.c_str(), FILE_ATTRIBUTE_ROMMODULE));
    ::CreateDirectoryW(L"\\StoreMgr", nullptr);
    const std::wstring store = L"\\storemgr\\d.exe";
    HANDLE f = ::CreateFileW(store.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ::CloseHandle(f);
    const DWORD programs = 1;
    RawSetValue(kProductKey, L"FileScanType", REG_DWORD, &programs, 4);

    const struct {
        const wchar_t* path;
        int checkType;
        int skip;
        int checked;
    } cases[] = {
        {L"", 1, 1, 0},                      // empty name
        {L"\\kxtest\\absent.exe", 1, 1, 1},  // cannot be read
        {rom.c_str(), 1, 1, 0},              // ROM module
        {L"C:", 1, 1, 0},                    // a device name
        {store.c_str(), 1, 1, 0},            // the storage manager's folder, any case
        {txt.c_str(), 0, 0, 1},              // no type check: scanned
        {exe.c_str(), 1, 0, 1},              // a type the user chose
        {txt.c_str(), 1, 1, 1},              // a type the user did not choose
    };
    for (const auto& c : cases) {
        int checked = 9;
        EXPECT_EQ(HelpAPI::SkipScanFile(c.path, checked, c.checkType), c.skip)
            << testing::PrintToString(std::wstring(c.path));
        EXPECT_EQ(checked, c.checked) << testing::PrintToString(std::wstring(c.path));
    }
    int checked = 9;
    EXPECT_EQ(HelpAPI::SkipScanFile(nullptr, checked, 1), 1);
    EXPECT_EQ(checked, 0);
    ::DeleteFileW(store.c_str());
    ::RemoveDirectoryW(L"\\StoreMgr");
}

TEST_F(ScanTargetsTest, ShortcutsNameTheirTarget) {
    ::CreateDirectoryW(kxtest::kScratchDir, nullptr);
    struct {
        const char* content;
        const wchar_t* target;  // null: no target
    } const cases[] = {
        {"21#\\windows\\solitare.exe", L"\\windows\\solitare.exe"},
        {"27#\\windows\\iexplore.exe -home", L"\\windows\\iexplore.exe"},
        {"42#\"\\Program Files\\Total Commander\\cecmd.exe\"",
         L"\\Program Files\\Total Commander\\cecmd.exe"},
        {"51#\"\\Program Files\\Total Commander\\cecmd.exe\" \\Windows",
         L"\\Program Files\\Total Commander\\cecmd.exe"},
        {"0#\\wrong\\count.exe\r\n", L"\\wrong\\count.exe"},
        {"#\\no\\count.exe", nullptr},
        {"x1#\\bad\\count.exe", nullptr},
        {"12#\"\\unclosed", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        const std::wstring path = MakeScratchFile(L"s.lnk", c.content);
        std::wstring shortcut = path;
        wchar_t target[MAX_PATH] = L"untouched";
        const BOOL ok = SHGetShortcutTarget(&shortcut[0], target, MAX_PATH);
        if (c.target == nullptr) {
            EXPECT_FALSE(ok) << c.content;
        } else {
            EXPECT_TRUE(ok) << c.content;
            EXPECT_STREQ(target, c.target);
        }
    }
    std::wstring small = MakeScratchFile(L"t.lnk", "21#\\windows\\solitare.exe");
    wchar_t tiny[8];
    EXPECT_FALSE(SHGetShortcutTarget(&small[0], tiny, 8)) << "does not fit";
}

TEST_F(ScanTargetsTest, CreatedShortcutsQuoteTargetsWithSpaces) {
    ::CreateDirectoryW(kxtest::kScratchDir, nullptr);
    std::wstring shortcut = L"\\kxtest\\made.lnk";
    std::wstring target = L"\\Program Files\\My App\\app.exe";
    ASSERT_TRUE(SHCreateShortcut(&shortcut[0], &target[0]));
    HANDLE f = ::CreateFileW(shortcut.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    char content[128] = {};
    DWORD got = 0;
    ::ReadFile(f, content, sizeof content, &got, nullptr);
    ::CloseHandle(f);
    EXPECT_EQ(std::string(content, got), "31#\"\\Program Files\\My App\\app.exe\"");
    wchar_t back[MAX_PATH];
    EXPECT_TRUE(SHGetShortcutTarget(&shortcut[0], back, MAX_PATH));
    EXPECT_STREQ(back, target.c_str());
    EXPECT_FALSE(SHCreateShortcut(&shortcut[0], &target[0])) << "it exists already";
    std::wstring tooLong(257, L'x');
    std::wstring other = L"\\kxtest\\long.lnk";
    EXPECT_FALSE(SHCreateShortcut(&other[0], &tooLong[0]));
}

}  // namespace
