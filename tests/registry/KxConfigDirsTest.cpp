// KxConfig: directories, the product version, time stamps and the first-run values.
#include "DeviceFixture.h"

#include <kxcommon/KxConfig.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using kxtest::RawGetValue;
using kxtest::RawKeyExists;
using kxtest::RawSetValue;

constexpr wchar_t P[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0";
constexpr wchar_t kFill = 0xBDBD;

class KxConfigDirsTest : public kxtest::DeviceTest {};

void StoreText(const wchar_t* name, const std::wstring& text) {
    RawSetValue(P, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2));
}

std::wstring StoredText(const wchar_t* name) {
    DWORD type = 0;
    std::string bytes;
    if (!RawGetValue(P, name, &type, &bytes)) return L"<missing>";
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2 - 1);
}

// ---- Directories --------------------------------------------------------------------------

TEST_F(KxConfigDirsTest, DirectoryGettersAddOneBackslash) {
    StoreText(L"WinPath", L"\\Windows\\");
    StoreText(L"StartupPath", L"\\Windows\\StartUp");
    wchar_t dir[MAX_PATH];
    EXPECT_EQ(KxConfig::GetSysDir(dir, MAX_PATH), KX_OK);
    EXPECT_STREQ(dir, L"\\Windows\\") << "already ends in a backslash";
    EXPECT_EQ(KxConfig::GetStartupDir(dir, MAX_PATH), KX_OK);
    EXPECT_STREQ(dir, L"\\Windows\\StartUp\\");
}

TEST_F(KxConfigDirsTest, AnEmptyDirectorySettingStaysEmpty) {
    StoreText(L"StartupPath", L"");
    wchar_t dir[8] = L"junk";
    EXPECT_EQ(KxConfig::GetStartupDir(dir, 8), KX_OK);
    EXPECT_STREQ(dir, L"") << "not the device root";
}

TEST_F(KxConfigDirsTest, DirectoryGettersRefuseBadBuffersAndMissingValues) {
    EXPECT_EQ(KxConfig::GetSysDir(nullptr, MAX_PATH), KX_E_INVALIDARG);
    EXPECT_EQ(KxConfig::GetStartupDir(nullptr, MAX_PATH), KX_E_INVALIDARG);
    EXPECT_EQ(KxConfig::GetAppDir(nullptr, MAX_PATH), KX_E_INVALIDARG);

    wchar_t dir[8] = L"junk";
    EXPECT_EQ(KxConfig::GetSysDir(dir, 8), KX_E_REGISTRY);
    EXPECT_STREQ(dir, L"") << "a failed read leaves the empty text";

    wchar_t untouched[2] = {kFill, kFill};
    EXPECT_EQ(KxConfig::GetSysDir(untouched, 0), KX_E_REGISTRY);
    EXPECT_EQ(untouched[0], kFill) << "a zero-length buffer is not written";
}

TEST_F(KxConfigDirsTest, DirectoryLongerThanTheBufferGivesAnEmptyBuffer) {
    StoreText(L"WinPath", L"\\Windows");  // 8 characters, 9 with the backslash
    wchar_t dir[11];
    std::fill(dir, dir + 11, kFill);
    EXPECT_EQ(KxConfig::GetSysDir(dir, 8), KX_E_REGISTRY) << "text does not fit";
    EXPECT_STREQ(dir, L"");
    EXPECT_EQ(dir[8], kFill);

    std::fill(dir, dir + 11, kFill);
    EXPECT_EQ(KxConfig::GetSysDir(dir, 9), KX_E_REGISTRY) << "no room for the backslash";
    EXPECT_STREQ(dir, L"");
    EXPECT_EQ(dir[9], kFill);

    std::fill(dir, dir + 11, kFill);
    EXPECT_EQ(KxConfig::GetSysDir(dir, 10), KX_OK);
    EXPECT_STREQ(dir, L"\\Windows\\");
    EXPECT_EQ(dir[10], kFill);
}

// The application directory is cached once per process, so its whole story is one test: the
// first successful read is kept for the life of the process.
TEST_F(KxConfigDirsTest, AppDirIsReadOnceAndKept) {
    wchar_t dir[MAX_PATH] = L"junk";
    EXPECT_EQ(KxConfig::GetAppDir(dir, MAX_PATH), KX_E_REGISTRY);
    EXPECT_STREQ(dir, L"") << "nothing stored yet; the next call reads again";

    StoreText(L"AppPath", L"\\Program Files\\App");
    // Threads asking first together all see the one directory.
    std::vector<std::wstring> seen(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i) {
        threads.emplace_back([&seen, i] {
            wchar_t own[MAX_PATH] = {};
            if (KxConfig::GetAppDir(own, MAX_PATH) == KX_OK) seen[i] = own;
        });
    }
    for (std::thread& t : threads) t.join();
    for (const std::wstring& s : seen) EXPECT_EQ(s, L"\\Program Files\\App\\");

    StoreText(L"AppPath", L"\\Elsewhere");
    EXPECT_EQ(KxConfig::GetAppDir(dir, MAX_PATH), KX_OK);
    EXPECT_STREQ(dir, L"\\Program Files\\App\\") << "the process keeps the first directory";

    wchar_t tight[21];
    std::fill(tight, tight + 21, kFill);
    EXPECT_EQ(KxConfig::GetAppDir(tight, 20), KX_OK) << "19 characters and the terminator";
    EXPECT_STREQ(tight, L"\\Program Files\\App\\");
    EXPECT_EQ(tight[20], kFill);
    std::fill(tight, tight + 21, kFill);
    EXPECT_EQ(KxConfig::GetAppDir(tight, 19), KX_E_REGISTRY);
    EXPECT_STREQ(tight, L"");
    EXPECT_EQ(tight[19], kFill);
}

// An empty "AppPath" names no directory: the calls that keep their files in the application
// directory fail (in a process of their own, whose directory is not yet kept) and leave alone
// the files of those names at the device root.
TEST_F(KxConfigDirsTest, AnEmptyAppPathIsNoDirectoryAndNotTheDeviceRoot) {
    StoreText(L"AppPath", L"");
    const std::string subscription =
        "<Subscription><Op><ServiceProvider SubscribeNumber=\"1111\"/></Op></Subscription>";
    const std::wstring document =
        L"<wap-provisioningdoc><characteristic type=\"Registry\"><characteristic "
        L"type=\"HKLM\\SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent\"><parm "
        L"name=\"HostName\" value=\"root\"/></characteristic></characteristic>"
        L"</wap-provisioningdoc>";
    const struct {
        const wchar_t* path;
        std::string content;
    } rootFiles[] = {
        {L"\\subscription.xml", subscription},
        {L"\\configmgi.xml", std::string(reinterpret_cast<const char*>(document.c_str()),
                                         document.size() * sizeof(wchar_t))},
        {L"\\mgi.key", std::string("\1\0\0\0A\1\0\0\0B\1", 11)},
    };
    struct RootCleanup {
        ~RootCleanup() {
            for (const wchar_t* file : {L"\\subscription.xml", L"\\configmgi.xml", L"\\mgi.key",
                                        L"\\KxMain.exe", L"\\KXSC_SP_Res.dll"})
                ::DeleteFileW(file);
        }
    } cleanup;
    for (const auto& file : rootFiles) {
        HANDLE h = ::CreateFileW(file.path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ::WriteFile(h, file.content.data(), static_cast<DWORD>(file.content.size()), &written,
                    nullptr);
        ::CloseHandle(h);
    }
    // A main program and a resource module that only the device root would offer.
    ASSERT_TRUE(
        ::CopyFileW(kxtest::SiblingPath(L"kxtest_sleeper.exe").c_str(), L"\\KxMain.exe", FALSE));
    ASSERT_TRUE(::CopyFileW(kxtest::SiblingPath(L"kxtest_resmodule.dll").c_str(),
                            L"\\KXSC_SP_Res.dll", FALSE));
    const kxtest::RunningProgram mainProgram(L"C:\\KxMain.exe");
    ASSERT_TRUE(mainProgram.Started());

    const kxtest::RunningProgram calls(kxtest::SiblingPath(L"kxtest_noappdir.exe"));
    ASSERT_TRUE(calls.Started());
    EXPECT_EQ(calls.ExitCode(30000), 0u) << "bits of the calls that did not fail";
    EXPECT_EQ(mainProgram.ExitCode(0), STILL_ACTIVE) << "\\KxMain.exe was ended";
    for (const auto& file : rootFiles) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(file.path)));
        HANDLE h = ::CreateFileW(file.path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << "the file is gone";
        char content[512];
        DWORD got = 0;
        ::ReadFile(h, content, sizeof content, &got, nullptr);
        ::CloseHandle(h);
        EXPECT_EQ(std::string(content, got), file.content);
    }
    EXPECT_FALSE(kxtest::RawKeyExists(L"SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent"));
}

// ---- Versions -----------------------------------------------------------------------------

TEST_F(KxConfigDirsTest, VersionNumbersAndIncrement) {
    StoreText(L"FullVersionNum", L"2.0.1.1021");
    unsigned long high = 0, low = 0;
    EXPECT_EQ(KxConfig::GetFullVersion(high, low), KX_OK);
    EXPECT_EQ(high, 0x20000ul);
    EXPECT_EQ(low, 0x103FDul);

    ULARGE_INTEGER version{};
    EXPECT_EQ(KxConfig::GetProductVersion(version), KX_OK);
    EXPECT_EQ(version.QuadPart, 0x00020000000103FDull);

    EXPECT_EQ(KxConfig::IncrementVer(), KX_OK);
    EXPECT_EQ(StoredText(L"FullVersionNum"), L"2.0.2.1021");

    StoreText(L"FullVersionNum", L"2.0.65535.7");
    EXPECT_EQ(KxConfig::IncrementVer(), KX_OK);
    EXPECT_EQ(StoredText(L"FullVersionNum"), L"2.0.0.7") << "wraps without carrying";

    EXPECT_EQ(KxConfig::SetFullVersion(0x30004ul, 0x50006ul), KX_OK);
    EXPECT_EQ(StoredText(L"FullVersionNum"), L"3.4.5.6");
}

TEST_F(KxConfigDirsTest, MissingVersionReadsAsZero) {
    unsigned long high = 7, low = 7;
    EXPECT_EQ(KxConfig::GetFullVersion(high, low), KX_E_REGISTRY);
    EXPECT_EQ(high, 0ul);
    EXPECT_EQ(low, 0ul);
    ULARGE_INTEGER version;
    version.QuadPart = 99;
    EXPECT_EQ(KxConfig::GetProductVersion(version), KX_E_REGISTRY);
    EXPECT_EQ(version.QuadPart, 0ull);
    EXPECT_EQ(KxConfig::IncrementVer(), KX_OK);
    EXPECT_EQ(StoredText(L"FullVersionNum"), L"0.0.1.0");
}

TEST_F(KxConfigDirsTest, VersionTextKeepsFourCharactersAfterTheLastPoint) {
    const struct {
        const wchar_t* stored;
        const wchar_t* expected;
    } cases[] = {
        {L"2.0.0.123456", L"2.0.0.1234"},
        {L"2.0.0.1234", L"2.0.0.1234"},
        {L"2.0.0.12", L"2.0.0.12"},
        {L"20100", L"20100"},  // no point: left whole
        {L"2.", L"2."},
    };
    for (const auto& c : cases) {
        StoreText(L"FullVersionNum", c.stored);
        wchar_t text[32];
        std::fill(text, text + 32, kFill);
        EXPECT_EQ(KxConfig::GetFullVersion(text, 20), KX_OK);
        EXPECT_STREQ(text, c.expected);
        EXPECT_EQ(text[20], kFill);
    }
    wchar_t untouched[4] = {kFill, kFill, kFill, kFill};
    kxtest::ResetDevice();
    EXPECT_EQ(KxConfig::GetFullVersion(untouched, 4), KX_E_REGISTRY);
    EXPECT_EQ(untouched[0], kFill);
}

// ---- Times --------------------------------------------------------------------------------

SYSTEMTIME Time(WORD year, WORD month, WORD day, WORD hour) {
    SYSTEMTIME t{};
    t.wYear = year;
    t.wMonth = month;
    t.wDay = day;
    t.wHour = hour;
    return t;
}

bool Same(const SYSTEMTIME& a, const SYSTEMTIME& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST_F(KxConfigDirsTest, TimeRecordsRoundTripUnderTheirNames) {
    const SYSTEMTIME scan = Time(2026, 1, 2, 3);
    const SYSTEMTIME update = Time(2026, 4, 5, 6);
    const SYSTEMTIME schedule = Time(2026, 7, 8, 9);
    EXPECT_EQ(KxConfig::SetLastMSTime(scan), KX_OK);
    EXPECT_EQ(KxConfig::SetLastUpdateTime(update), KX_OK);
    EXPECT_EQ(KxConfig::SetScheduleUpdateTime(&schedule), KX_OK);

    SYSTEMTIME read{};
    EXPECT_EQ(KxConfig::GetLastMSTime(read), KX_OK);
    EXPECT_TRUE(Same(read, scan));
    EXPECT_EQ(KxConfig::GetLastUpdateTime(read), KX_OK);
    EXPECT_TRUE(Same(read, update));
    EXPECT_EQ(KxConfig::GetScheduleUpdateTime(&read), KX_OK);
    EXPECT_TRUE(Same(read, schedule));
    for (const wchar_t* name : {L"LastScanTime", L"LastUpdateTime", L"ScheduleUpdateTime"}) {
        DWORD type = 0;
        std::string bytes;
        ASSERT_TRUE(RawGetValue(P, name, &type, &bytes));
        EXPECT_EQ(bytes.size(), 16u);
    }
    EXPECT_EQ(KxConfig::SetScheduleUpdateTime(nullptr), KX_E_REGISTRY);
    EXPECT_EQ(KxConfig::GetScheduleUpdateTime(nullptr), KX_E_REGISTRY);
}

TEST_F(KxConfigDirsTest, MissingTimeFailsAndCreatesTheProductKey) {
    SYSTEMTIME read = Time(1999, 1, 1, 1);
    const SYSTEMTIME before = read;
    EXPECT_EQ(KxConfig::GetLastUpdateTime(read), KX_E_REGISTRY);
    EXPECT_TRUE(Same(read, before));
    EXPECT_TRUE(RawKeyExists(P));
}

TEST_F(KxConfigDirsTest, LastUpdateTimeWithoutArgumentTakesTheLocalTime) {
    SYSTEMTIME before;
    ::GetLocalTime(&before);
    EXPECT_EQ(KxConfig::SetLastUpdateTime(), KX_OK);
    SYSTEMTIME read{};
    ASSERT_EQ(KxConfig::GetLastUpdateTime(read), KX_OK);
    FILETIME a, b;
    ::SystemTimeToFileTime(&before, &a);
    ::SystemTimeToFileTime(&read, &b);
    const LONGLONG diff = (LONGLONG(b.dwHighDateTime) << 32 | b.dwLowDateTime) -
                          (LONGLONG(a.dwHighDateTime) << 32 | a.dwLowDateTime);
    EXPECT_GE(diff, 0);
    EXPECT_LT(diff, 600000000LL) << "within a minute of the local time";
}

TEST_F(KxConfigDirsTest, StartUpTimeCountsSeconds) {
    unsigned long seconds = 12345;
    EXPECT_EQ(KxConfig::GetStartUpTillNow(seconds), KX_E_REGISTRY);
    EXPECT_EQ(seconds, 12345ul);

    EXPECT_EQ(KxConfig::SetStartUpTime_Setup(), KX_OK);
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(RawGetValue(P, L"StartupTime", &type, &bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(bytes.size(), 8u);
    EXPECT_EQ(KxConfig::GetStartUpTillNow(seconds), KX_OK);
    EXPECT_EQ(seconds, 30ul);

    EXPECT_EQ(KxConfig::SetStartUpTime(), KX_OK);
    EXPECT_EQ(KxConfig::GetStartUpTillNow(seconds), KX_OK);
    EXPECT_EQ(seconds, 0ul);
}

TEST_F(KxConfigDirsTest, StoredStartTimeIsLowWordFirst) {
    SYSTEMTIME local;
    ::GetLocalTime(&local);
    FILETIME now;
    ::SystemTimeToFileTime(&local, &now);
    ULONGLONG hourAgo =
        (ULONGLONG(now.dwHighDateTime) << 32 | now.dwLowDateTime) - 3600ull * 10000000ull;
    unsigned char bytes[8];
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(hourAgo >> (8 * i));
    RawSetValue(P, L"StartupTime", REG_BINARY, bytes, 8);
    unsigned long seconds = 0;
    EXPECT_EQ(KxConfig::GetStartUpTillNow(seconds), KX_OK);
    EXPECT_GE(seconds, 3600ul);
    EXPECT_LE(seconds, 3601ul);
}

// ---- First run ----------------------------------------------------------------------------

TEST_F(KxConfigDirsTest, FirstRunWritesItsValues) {
    EXPECT_EQ(KxConfig::InitOtherReg(), KX_OK);
    unsigned long number = 0;
    EXPECT_EQ(KxConfig::GetScanFileType(number), KX_OK);
    EXPECT_EQ(number, 0x7FFFFFFFul);
    EXPECT_EQ(KxConfig::GetUncompressSize(number), KX_OK);
    EXPECT_EQ(number, 0x100000ul);
    EXPECT_EQ(KxConfig::GetImportOption(number), KX_OK);
    EXPECT_EQ(number, 0x10004ul);
    EXPECT_EQ(KxConfig::GetSpaceFactor(number), KX_OK);
    EXPECT_EQ(number, 9ul);
    int flag = 0;
    EXPECT_EQ(KxConfig::GetBeRealTimeScan(flag), KX_OK);
    EXPECT_EQ(flag, 1);
    wchar_t text[32];
    EXPECT_EQ(KxConfig::GetOfficalServer(text, 32, 0), KX_OK);
    EXPECT_STREQ(text, L"\\Renovix");
    EXPECT_EQ(KxConfig::GetSMSLogFileName(text, 32), KX_OK);
    EXPECT_STREQ(text, L"spam11.log");
    EXPECT_EQ(StoredText(L"LastPatternFilename"), L"");
    EXPECT_EQ(StoredText(L"ProxyPassword"), L"");

    SYSTEMTIME scan{}, update{};
    ASSERT_EQ(KxConfig::GetLastMSTime(scan), KX_OK);
    ASSERT_EQ(KxConfig::GetLastUpdateTime(update), KX_OK);
    EXPECT_TRUE(Same(scan, update)) << "one reading of the clock for both";
    SYSTEMTIME utc;
    ::GetSystemTime(&utc);
    EXPECT_EQ(scan.wYear, utc.wYear);
}

}  // namespace
