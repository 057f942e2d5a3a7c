// The product's typical road: a program in the Startup folder, running, found infected, ended
// and put into quarantine; the same behind a shortcut. With the file-type filter and the
// Startup-folder rule around it.
#include "ServiceFixture.h"

#include <kxcommon/KxConfig.h>
#include <kxcommon/KxService.h>
#include <kxcommon/MD5.h>
#include <wince/wince.h>

#include <cstdio>
#include <string>

namespace {

using kxtest::CountServiceHosts;
using kxtest::RawSetValue;

constexpr wchar_t kProductKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0";
constexpr wchar_t kStartup[] = L"\\Windows\\StartUp";

class StartupScanTest : public kxtest::ServiceTest {
protected:
    void SetUp() override {
        kxtest::ServiceTest::SetUp();
        ::CreateDirectoryW(kStartup, nullptr);
        ::CreateDirectoryW(kxtest::kScratchDir, nullptr);
    }
    void TearDown() override {
        // The Startup folder belongs to the device; leave it empty for the next test.
        for (const wchar_t* name :
             {L"evil.exe", L"evil.lnk", L"clean.txt", L"tool.exe", L"note.txt"}) {
            const std::wstring path = std::wstring(kStartup) + L"\\" + name;
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(path.c_str());
        }
    }
};

void SetText(const wchar_t* name, const std::wstring& text) {
    RawSetValue(kProductKey, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2));
}

void SetNumber(const wchar_t* name, DWORD value) {
    RawSetValue(kProductKey, name, REG_DWORD, &value, sizeof value);
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A program the pattern knows by its digest, placed at `path`.
void PlaceKnownProgram(const std::wstring& path) {
    ASSERT_TRUE(
        ::CopyFileW(kxtest::SiblingPath(L"kxtest_sleeper.exe").c_str(), path.c_str(), FALSE));
    const unsigned char* digest = MD5File(reinterpret_cast<const unsigned short*>(path.c_str()));
    ASSERT_NE(digest, nullptr);
    char hex[33];
    for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    kxtest::WritePattern(std::string("version 100\nmd5 ") + hex + " Trojan.Dropper\n");
}

// ---- The road ------------------------------------------------------------------------------

TEST_F(StartupScanTest, ARunningInfectedProgramIsEndedAndQuarantined) {
    SetText(L"StartupPath", kStartup);
    const std::wstring program = std::wstring(kStartup) + L"\\evil.exe";
    PlaceKnownProgram(program);
    kxtest::RunningProgram running(program);
    ASSERT_TRUE(running.Started());

    EXPECT_EQ(KxConfig::IsInStartup(program.c_str()), 0);
    KxService service;
    EXPECT_EQ(service.QuarantineFile(program.c_str(), L"Trojan.Dropper"), 3) << "in use";

    EXPECT_EQ(KxConfig::ScanIt(program.c_str()), 0);
    EXPECT_EQ(running.ExitCode(5000), 0xFFFFFFFFu) << "the process was ended";
    EXPECT_FALSE(Exists(program)) << "the second quarantine took it";
    const FILETIME newest{0, 0};
    EXPECT_EQ(service.RestoreFile(program.c_str(), L"\\kxtest\\back.exe", 0, &newest), 0)
        << "it is in quarantine, under its own path";
}

TEST_F(StartupScanTest, AnInfectedTargetBehindAShortcutIsCaught) {
    SetText(L"StartupPath", kStartup);
    const std::wstring target = L"\\kxtest\\evil.exe";
    PlaceKnownProgram(target);
    std::wstring shortcut = std::wstring(kStartup) + L"\\evil.lnk";
    std::wstring targetCopy = target;
    ASSERT_TRUE(::SHCreateShortcut(&shortcut[0], &targetCopy[0]));
    kxtest::RunningProgram running(target);
    ASSERT_TRUE(running.Started());

    EXPECT_EQ(KxConfig::IsInStartup(shortcut.c_str()), 0);
    EXPECT_EQ(KxConfig::ScanIt(shortcut.c_str()), 0);
    EXPECT_FALSE(Exists(shortcut)) << "the shortcut is deleted";
    EXPECT_EQ(running.ExitCode(5000), 0xFFFFFFFFu);
    EXPECT_FALSE(Exists(target)) << "its target is in quarantine";
}

TEST_F(StartupScanTest, CleanFilesAndShortcutsStayWhereTheyAre) {
    const std::wstring clean = kxtest::MakeScratchFile(L"clean.txt", "hello");
    EXPECT_EQ(KxConfig::ScanIt(clean.c_str()), 0);
    EXPECT_TRUE(Exists(clean));
    std::wstring shortcut = std::wstring(kStartup) + L"\\tool.lnk";
    std::wstring target = clean;
    ASSERT_TRUE(::SHCreateShortcut(&shortcut[0], &target[0]));
    EXPECT_EQ(KxConfig::ScanIt(shortcut.c_str()), 0);
    EXPECT_TRUE(Exists(shortcut));
    ::DeleteFileW(shortcut.c_str());
    EXPECT_EQ(KxConfig::ScanIt(L"\\kxtest\\broken.LnK"), 0) << "an unresolvable shortcut: nothing";
}

TEST_F(StartupScanTest, ShortPathsNeverReachTheService) {
    EXPECT_EQ(KxConfig::ScanIt(L"a.b"), KX_E_PATH_TOO_SHORT);
    EXPECT_EQ(KxConfig::ScanIt(nullptr), KX_E_PATH_TOO_SHORT);
    EXPECT_EQ(CountServiceHosts(), 0);
}

TEST_F(StartupScanTest, ScanStartupTakesEveryFileOfTheFolder) {
    EXPECT_EQ(KxConfig::ScanStartup(), KX_E_NO_STARTUP_DIR);
    SetText(L"StartupPath", kStartup);
    const std::wstring program = std::wstring(kStartup) + L"\\evil.exe";
    PlaceKnownProgram(program);
    const std::wstring note = std::wstring(kStartup) + L"\\note.txt";
    HANDLE f = ::CreateFileW(note.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ::CloseHandle(f);
    EXPECT_EQ(KxConfig::ScanStartup(), 0);
    EXPECT_FALSE(Exists(program));
    EXPECT_TRUE(Exists(note));
}

// ---- The Startup-folder rule ---------------------------------------------------------------

TEST_F(StartupScanTest, IsInStartupComparesThePrefixCaseSensitively) {
    EXPECT_EQ(KxConfig::IsInStartup(L"\\Windows\\StartUp\\x.lnk"), KX_E_NO_STARTUP_DIR);
    SetText(L"StartupPath", L"\\Windows\\StartUp");
    const struct {
        const wchar_t* path;
        int expected;
    } cases[] = {
        {L"\\Windows\\StartUp\\x.lnk", 0},
        {L"\\Windows\\StartUp\\sub\\y.exe", 0},
        {L"\\Windows\\StartUp", KX_E_NOT_IN_STARTUP},
        {L"\\Windows\\StartUp\\", KX_E_NOT_IN_STARTUP},
        {L"\\windows\\startup\\x.lnk", KX_E_NOT_IN_STARTUP},
        {L"\\Windows\\StartUpX\\x.lnk", KX_E_NOT_IN_STARTUP},
        {L"", KX_E_PATH_TOO_SHORT},
    };
    for (const auto& c : cases)
        EXPECT_EQ(KxConfig::IsInStartup(c.path), c.expected)
            << testing::PrintToString(std::wstring(c.path));
    SetText(L"StartupPath", L"");
    EXPECT_EQ(KxConfig::IsInStartup(L"\\Windows\\StartUp\\x.lnk"), KX_E_NO_STARTUP_DIR);
}

// ---- The file-type filter ------------------------------------------------------------------

TEST_F(StartupScanTest, FileTypesFollowFileScanType) {
    const struct {
        DWORD types;
        const wchar_t* path;
        int match;
    } cases[] = {
        {3, L"\\Windows\\a.EXE", 1},
        {3, L"b.Dll", 1},
        {3, L"c.cab", 0},
        {7, L"c.cab", 1},
        {7, L"d.ZIP", 1},
        {7, L"e.txt", 0},
        {0x7FFFFFFF, L"noextension", 1},
        {3, L"noextension", 0},
        {1, L"x.e x e", 1},
        {1, L"x.e\tx\re", 1},
        {2, L"x.exe", 0},
        {3, L".exe", 0},
        {0x7FFFFFFF, L".exe", 1},
        {4, L"\\dir.zip\\file", 0},
    };
    for (const auto& c : cases) {
        SetNumber(L"FileScanType", c.types);
        int match = 7;
        EXPECT_EQ(KxConfig::GetMatchFile(c.path, match), 0);
        EXPECT_EQ(match, c.match) << c.types << " " << testing::PrintToString(std::wstring(c.path));
    }
}

TEST_F(StartupScanTest, AMissingFileTypeSettingIsReported) {
    int match = 7;
    EXPECT_EQ(KxConfig::GetMatchFile(L"a.exe", match), KX_E_REGISTRY);
    EXPECT_EQ(match, 0);
    match = 7;
    EXPECT_EQ(KxConfig::GetMatchFile(L"noextension", match), 0) << "no extension: no read needed";
    EXPECT_EQ(match, 0);
    match = 7;
    EXPECT_EQ(KxConfig::GetMatchFile(nullptr, match), KX_E_INVALIDARG);
    EXPECT_EQ(match, 7);
}

}  // namespace
