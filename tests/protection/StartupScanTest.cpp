// The product's typical road: a program in the Startup folder, running, found infected, ended
// and put into quarantine; the same behind a shortcut. With the file-type filter and the
// Startup-folder rule around it.
#include "ServiceFixture.h"

#include <kxcommon/MD5.h>

namespace {

constexpr wchar_t kStartup[] = L"\\Windows\\StartUp";
std::wstring InStartup(const wchar_t* name) { return std::wstring(kStartup) + L"\\" + name; }

class StartupScanTest : public kxtest::ServiceTest {
protected:
    void SetUp() override {
        kxtest::ServiceTest::SetUp();
        ::CreateDirectoryW(kStartup, nullptr);
    }
    // The Startup folder belongs to the device; leave it empty for the next test.
    void TearDown() override {
        for (const wchar_t* name : {L"evil.exe", L"evil.lnk", L"tool.lnk", L"note.txt"})
            ::DeleteFileW(InStartup(name).c_str());
    }
};

int Exists(const wchar_t* path) { return path && ::GetFileAttributesW(path) != ~0u; }

// A program the pattern knows by its digest, placed at `path`.
void PlaceKnownProgram(const std::wstring& path) {
    ASSERT_TRUE(::CopyFileW(kxtest::SiblingPath(L"kxtest_sleeper.exe").c_str(), path.c_str(), 0));
    const unsigned char* digest = MD5File(reinterpret_cast<const unsigned short*>(path.c_str()));
    char hex[33];
    for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    kxtest::WritePattern(std::string("md5 ") + hex + " Trojan.Dropper\n");
}

// An infected program, running, is ended and quarantined, also behind a shortcut (which is
// deleted; its target has a space); clean files and shortcuts stay; short paths never reach the
// service.
TEST_F(StartupScanTest, ScanItEndsAndQuarantinesWhatIsInfected) {
    std::wstring evil = L"\\kxtest\\an evil.exe", clean = kxtest::MakeScratchFile(L"clean.txt");
    std::wstring toEvil = InStartup(L"evil.lnk"), toClean = InStartup(L"tool.lnk");
    ASSERT_TRUE(::SHCreateShortcut(&toEvil[0], &evil[0]) &&
                ::SHCreateShortcut(&toClean[0], &clean[0]));
    const DWORD kEnded = 0xFFFFFFFF, kRuns = STILL_ACTIVE;
    const struct Row {
        const wchar_t* path;
        int status;
        std::pair<int, int> exist;  // the path scanned and the infected program, afterwards
        DWORD exit;                 // the infected program's
    } rows[] = {
        {evil.c_str(), 0, {0, 0}, kEnded},
        {toEvil.c_str(), 0, {0, 0}, kEnded},
        {clean.c_str(), 0, {1, 1}, kRuns},
        {toClean.c_str(), 0, {1, 1}, kRuns},
        {L"\\kxtest\\broken.LnK", 0, {0, 1}, kRuns},  // a shortcut that resolves to nothing
        {L"a.b", KX_E_PATH_TOO_SHORT, {0, 1}, kRuns},
        {nullptr, KX_E_PATH_TOO_SHORT, {0, 1}, kRuns},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.path));
        PlaceKnownProgram(evil);
        kxtest::RunningProgram running(evil);
        ASSERT_TRUE(running.Started());
        if (row.status != 0) kxtest::KillServiceHosts();
        EXPECT_EQ(KxConfig::ScanIt(row.path), row.status);
        EXPECT_EQ(std::make_pair(Exists(row.path), Exists(evil.c_str())), row.exist);
        EXPECT_EQ(running.ExitCode(row.exit == kEnded ? 5000 : 100), row.exit);
        if (row.status != 0) EXPECT_EQ(kxtest::CountServiceHosts(), 0);
    }
}

// A path below the stored Startup folder, compared case-sensitively; ScanStartup then takes every
// file of that folder.
TEST_F(StartupScanTest, IsInStartupComparesThePrefixAndScanStartupTakesTheFolder) {
    EXPECT_EQ(KxConfig::ScanStartup(), KX_E_NO_STARTUP_DIR);
    const struct Row {
        const wchar_t *folder, *path;  // folder null: not stored, else kStartup
        int expected;
    } rows[] = {
        {nullptr, L"\\Windows\\StartUp\\x.lnk", KX_E_NO_STARTUP_DIR},
        {kStartup, L"\\Windows\\StartUp\\x.lnk", 0},
        {kStartup, L"\\Windows\\StartUp\\", KX_E_NOT_IN_STARTUP},  // the folder itself
        {kStartup, L"\\windows\\startup\\x.lnk", KX_E_NOT_IN_STARTUP},
        {kStartup, L"\\Windows\\StartUpX\\x.lnk", KX_E_NOT_IN_STARTUP},
        {kStartup, L"", KX_E_PATH_TOO_SHORT},
    };
    for (const Row& row : rows) {
        if (row.folder != nullptr)
            kxtest::RawSetValue(kxtest::kProductKey, L"StartupPath", REG_SZ, kStartup,
                                sizeof kStartup);
        EXPECT_EQ(KxConfig::IsInStartup(row.path), row.expected) << row.path;
    }
    const std::wstring program = InStartup(L"evil.exe"), note = InStartup(L"note.txt");
    PlaceKnownProgram(program);
    ASSERT_TRUE(::CopyFileW(kxtest::MakeScratchFile(L"note.txt", "").c_str(), note.c_str(), 0));
    EXPECT_EQ(KxConfig::ScanStartup(), 0);
    EXPECT_EQ(std::make_pair(Exists(program.c_str()), Exists(note.c_str())), std::make_pair(0, 1));
}

// FileScanType: 1 programs, 2 libraries, 4 archives; 0x7FFFFFFF every file.
TEST_F(StartupScanTest, FileTypesFollowFileScanType) {
    const DWORD kAll = 0x7FFFFFFF, kUnset = 0;
    const struct Row {
        DWORD types;
        const wchar_t* path;
        std::pair<int, int> expected;  // status, match
    } rows[] = {
        {kUnset, L"a.exe", {KX_E_REGISTRY, 0}},
        {kUnset, L"noextension", {0, 0}},  // no read needed
        {kUnset, nullptr, {KX_E_INVALIDARG, 7}},
        {1, L"\\Windows\\a.EXE", {0, 1}},
        {2, L"b.Dll", {0, 1}},
        {4, L"d.ZIP", {0, 1}},
        {kAll, L"noextension", {0, 1}},
        {1, L"x.e x e", {0, 1}},  // blanks in the extension are skipped
        {3, L".exe", {0, 0}},
        {4, L"\\dir.zip\\file", {0, 0}},
    };
    for (const Row& row : rows) {
        if (row.types != kUnset)
            kxtest::RawSetValue(kxtest::kProductKey, L"FileScanType", REG_DWORD, &row.types, 4);
        int match = 7;
        const int status = KxConfig::GetMatchFile(row.path, match);
        EXPECT_EQ(std::make_pair(status, match), row.expected) << row.types << " " << row.path;
    }
}

}  // namespace
