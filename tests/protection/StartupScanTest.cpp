// The product's typical road: a program in the Startup folder, running, found infected, ended
// and put into quarantine; the same behind a shortcut. With the file-type filter and the
// Startup-folder rule around it.
#include "RegistryRows.h"
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
struct ScanRow {
    const wchar_t* path;
    int status;
    bool scannedLeft, programLeft;  // whether the path scanned and the infected program remain
    bool programRuns;               // else it was ended
};
TEST_F(StartupScanTest, ScanItEndsAndQuarantinesWhatIsInfected) {
    std::wstring evil = L"\\kxtest\\an evil.exe", clean = kxtest::MakeScratchFile(L"clean.txt");
    std::wstring toEvil = InStartup(L"evil.lnk"), toClean = InStartup(L"tool.lnk");
    ASSERT_TRUE(::SHCreateShortcut(&toEvil[0], &evil[0]) &&
                ::SHCreateShortcut(&toClean[0], &clean[0]));
    // clang-format off
    const ScanRow rows[] = {
        {.path = evil.c_str(),    .status = 0, .scannedLeft = false, .programLeft = false, .programRuns = false},
        {.path = toEvil.c_str(),  .status = 0, .scannedLeft = false, .programLeft = false, .programRuns = false},
        {.path = clean.c_str(),   .status = 0, .scannedLeft = true,  .programLeft = true,  .programRuns = true},
        {.path = toClean.c_str(), .status = 0, .scannedLeft = true,  .programLeft = true,  .programRuns = true},
        {.path = L"a.b", .status = KX_E_PATH_TOO_SHORT, .scannedLeft = false, .programLeft = true, .programRuns = true},
        {.path = nullptr, .status = KX_E_PATH_TOO_SHORT, .scannedLeft = false, .programLeft = true, .programRuns = true},
    };
    // clang-format on
    for (const ScanRow& row : rows) {
        PlaceKnownProgram(evil);
        kxtest::RunningProgram running(evil);
        ASSERT_TRUE(running.Started());
        if (row.status != 0) kxtest::KillServiceHosts();
        const int status = KxConfig::ScanIt(row.path);
        const bool scannedLeft = Exists(row.path), programLeft = Exists(evil.c_str());
        const DWORD exit = running.ExitCode(row.programRuns ? 100 : 5000);
        const DWORD expectedExit = row.programRuns ? STILL_ACTIVE : 0xFFFFFFFF;
        EXPECT_TRUE(status == row.status && scannedLeft == row.scannedLeft &&
                    programLeft == row.programLeft && exit == expectedExit)
            << "ScanIt(" << testing::PrintToString(row.path) << ") answered " << status
            << (scannedLeft ? ", the path left" : ", the path gone")
            << (programLeft ? ", the program left" : ", the program gone") << ", its exit code 0x"
            << std::hex << exit << "; expected " << std::dec << row.status << ", the path "
            << (row.scannedLeft ? "left" : "gone") << ", the program "
            << (row.programLeft ? "left" : "gone") << ", exit code 0x" << std::hex << expectedExit;
        if (row.status != 0)
            EXPECT_EQ(kxtest::CountServiceHosts(), 0)
                << "ScanIt refused a path yet a service started";
    }
}

// A path below the stored Startup folder, compared case-sensitively; ScanStartup then takes every
// file of that folder.
struct StartupRow {
    const wchar_t* folder;  // the stored StartupPath; null: not stored
    const wchar_t* path;
    int status;
};
TEST_F(StartupScanTest, IsInStartupComparesThePrefixAndScanStartupTakesTheFolder) {
    EXPECT_EQ(KxConfig::ScanStartup(), KX_E_NO_STARTUP_DIR);
    // clang-format off
    const StartupRow rows[] = {
        {.folder = nullptr,  .path = L"\\Windows\\StartUp\\x.lnk",  .status = KX_E_NO_STARTUP_DIR},
        {.folder = kStartup, .path = L"\\Windows\\StartUp\\x.lnk",  .status = 0},
        {.folder = kStartup, .path = L"\\Windows\\StartUp\\",       .status = KX_E_NOT_IN_STARTUP},  // the folder itself
        {.folder = kStartup, .path = L"\\windows\\startup\\x.lnk",  .status = KX_E_NOT_IN_STARTUP},
        {.folder = kStartup, .path = L"\\Windows\\StartUpX\\x.lnk", .status = KX_E_NOT_IN_STARTUP},
        {.folder = kStartup, .path = L"",                           .status = KX_E_PATH_TOO_SHORT},
    };
    // clang-format on
    for (const StartupRow& row : rows) {
        if (row.folder != nullptr)
            kxtest::StoreText(kxtest::kProductKey, L"StartupPath", row.folder);
        const int status = KxConfig::IsInStartup(row.path);
        EXPECT_EQ(status, row.status)
            << "IsInStartup(\"" << kxtest::Narrow(row.path) << "\") with "
            << (row.folder ? "the Startup folder" : "no folder") << " stored";
    }
    const std::wstring program = InStartup(L"evil.exe"), note = InStartup(L"note.txt");
    PlaceKnownProgram(program);
    ASSERT_TRUE(::CopyFileW(kxtest::MakeScratchFile(L"note.txt", "").c_str(), note.c_str(), 0));
    EXPECT_EQ(KxConfig::ScanStartup(), 0);
    EXPECT_EQ(std::make_pair(Exists(program.c_str()), Exists(note.c_str())), std::make_pair(0, 1));
}

// FileScanType: 1 programs, 2 libraries, 4 archives; 0x7FFFFFFF every file. The extension is
// HelpAPI::GetFileExt's, whose own rows show hidden files and dots in folder names.
constexpr DWORD kUnset = 0;  // as FileScanType: nothing stored
struct FileTypeRow {
    DWORD types;  // the stored FileScanType
    const wchar_t* path;
    int status;
    int match;  // 7: left as it was
};
TEST_F(StartupScanTest, FileTypesFollowFileScanType) {
    // clang-format off
    const FileTypeRow rows[] = {
        {.types = kUnset,     .path = L"a.exe",              .status = KX_E_REGISTRY,   .match = 0},
        {.types = kUnset,     .path = L"noextension",        .status = 0,               .match = 0},  // no read needed
        {.types = kUnset,     .path = nullptr,               .status = KX_E_INVALIDARG, .match = 7},
        {.types = 1,          .path = L"\\Windows\\a.EXE",   .status = 0,               .match = 1},
        {.types = 2,          .path = L"b.Dll",              .status = 0,               .match = 1},
        {.types = 4,          .path = L"d.ZIP",              .status = 0,               .match = 1},
        {.types = 0x7FFFFFFF, .path = L"noextension",        .status = 0,               .match = 1},
        {.types = 1,          .path = L"x.e x e",            .status = 0,               .match = 1},  // blanks skipped
    };
    // clang-format on
    for (const FileTypeRow& row : rows) {
        if (row.types != kUnset)
            kxtest::StoreNumber(kxtest::kProductKey, L"FileScanType", row.types);
        int match = 7;
        const int status = KxConfig::GetMatchFile(row.path, match);
        EXPECT_TRUE(status == row.status && match == row.match)
            << "GetMatchFile(" << testing::PrintToString(row.path) << ") with FileScanType 0x"
            << std::hex << row.types << " answered 0x" << status << " with " << match
            << "; expected 0x" << row.status << " with " << row.match;
    }
}

}  // namespace
