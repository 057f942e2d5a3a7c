// KxConfig: the directories, the product version and the time stamps.
#include "RegistryRows.h"

#include <fstream>
#include <iterator>
#include <thread>

namespace kxtest {
namespace {

using C = KxConfig;
constexpr wchar_t P[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0";
constexpr KXSTATUS E = KX_E_REGISTRY;

class DirectoriesTest : public DeviceTest {};

void StoreText(const wchar_t* name, const std::wstring& text) {
    RawSetValue(P, name, REG_SZ, text.c_str(), DWORD((text.size() + 1) * 2));
}
KXSTATUS Startup(wchar_t* dir, unsigned long n) { return C::GetStartupDir(dir, int(n)); }

// A directory ends in one backslash; one that does not fit with it is refused and the buffer
// left empty; an empty setting names no directory and stays empty.
TEST_F(DirectoriesTest, DirectoriesEndInOneBackslash) {
    const struct {
        const char* name;
        KXSTATUS (*get)(wchar_t*, unsigned long);
        const wchar_t *value, *stored;  // the value's name, its text (null: missing)
        unsigned long length;
        KXSTATUS status;
        const char* image;  // the buffer one unit past the length
    } rows[] = {
        {"one backslash added", Startup, L"StartupPath", L"\\Windows\\S", 13, KX_OK,
         "\\Windows\\S\\|~~"},
        {"already ends in one", C::GetSysDir, L"WinPath", L"\\Windows\\", 11, KX_OK,
         "\\Windows\\|~~"},
        {"empty stays empty", Startup, L"StartupPath", L"", 3, KX_OK, "|~~~"},
        {"missing", C::GetSysDir, L"WinPath", nullptr, 3, E, "|~~~"},
        {"zero length", C::GetSysDir, L"WinPath", L"\\Windows", 0, E, "~"},
        {"text does not fit", C::GetSysDir, L"WinPath", L"\\Windows", 8, E, "|~~~~~~~~"},
        {"no room for the backslash", C::GetSysDir, L"WinPath", L"\\Windows", 9, E, "|Windows|~"},
        {"just fits", C::GetSysDir, L"WinPath", L"\\Windows", 10, KX_OK, "\\Windows\\|~"},
        {"null system folder", C::GetSysDir, L"WinPath", L"\\W", 9, KX_E_INVALIDARG, ""},
        {"null application folder", C::GetAppDir, L"AppPath", L"\\W", 9, KX_E_INVALIDARG, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ResetDevice();
        if (row.stored) StoreText(row.value, row.stored);
        wchar_t dir[32];
        std::memset(dir, 0xBD, sizeof dir);
        const bool null = row.status == KX_E_INVALIDARG;
        EXPECT_EQ(row.get(null ? nullptr : dir, row.length), row.status);
        EXPECT_EQ(null ? "" : Image(dir, row.length + 1), row.image);
    }
}

// The application directory is kept once per process: the first successful read, also when
// threads ask first together, serves the life of the process.
TEST_F(DirectoriesTest, AppDirIsReadOnceAndKept) {
    wchar_t dir[21];
    EXPECT_EQ(C::GetAppDir(dir, 21), E) << "nothing stored yet; the next call reads again";
    StoreText(L"AppPath", L"\\Program Files\\App");
    std::vector<std::wstring> seen(8);
    std::vector<std::thread> threads;
    for (std::wstring& s : seen)
        threads.emplace_back([&s] {
            wchar_t own[MAX_PATH] = {};
            if (C::GetAppDir(own, MAX_PATH) == KX_OK) s = own;
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(seen, std::vector<std::wstring>(8, L"\\Program Files\\App\\"));
    StoreText(L"AppPath", L"\\Elsewhere");
    std::memset(dir, 0xBD, sizeof dir);
    EXPECT_EQ(C::GetAppDir(dir, 20), KX_OK) << "19 characters and the terminator";
    EXPECT_EQ(Image(dir, 21), "\\Program Files\\App\\|~");
    std::memset(dir, 0xBD, sizeof dir);
    EXPECT_EQ(C::GetAppDir(dir, 19), E);
    EXPECT_EQ(Image(dir, 20), "|" + std::string(19, '~'));
}

// An empty "AppPath" names no directory: in a process of their own (whose directory is not yet
// kept) the calls that keep their files in the application directory fail and leave alone the
// files of those names at the device root, and the main program found there.
TEST_F(DirectoriesTest, AnEmptyAppPathIsNoDirectoryAndNotTheDeviceRoot) {
    StoreText(L"AppPath", L"");
    const std::wstring doc =
        L"<wap-provisioningdoc><characteristic type=\"Registry\"><characteristic type=\"HKLM\\"
        L"SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent\"><parm name=\"HostName\" value=\"root\"/>"
        L"</characteristic></characteristic></wap-provisioningdoc>";
    const std::pair<const char*, std::string> files[] = {
        {"\\subscription.xml",
         "<Subscription><Op><ServiceProvider SubscribeNumber=\"1\"/></Op></Subscription>"},
        {"\\configmgi.xml",
         std::string(reinterpret_cast<const char*>(doc.c_str()), doc.size() * 2)},
        {"\\mgi.key", std::string("\1\0\0\0A\1\0\0\0B\1", 11)}};
    struct Cleanup {
        ~Cleanup() {
            for (const char* file : {"\\subscription.xml", "\\configmgi.xml", "\\mgi.key",
                                     "\\KxMain.exe", "\\KXSC_SP_Res.dll"})
                std::remove(file);
        }
    } cleanup;
    for (const auto& file : files) std::ofstream(file.first, std::ios::binary) << file.second;
    // A main program and a resource module that only the device root would offer.
    ASSERT_TRUE(::CopyFileW(SiblingPath(L"kxtest_sleeper.exe").c_str(), L"\\KxMain.exe", FALSE));
    ASSERT_TRUE(
        ::CopyFileW(SiblingPath(L"kxtest_resmodule.dll").c_str(), L"\\KXSC_SP_Res.dll", FALSE));
    const RunningProgram mainProgram(L"C:\\KxMain.exe");
    const RunningProgram calls(SiblingPath(L"kxtest_noappdir.exe"));
    ASSERT_TRUE(mainProgram.Started() && calls.Started());
    EXPECT_EQ(calls.ExitCode(30000), 0u) << "bits of the calls that did not fail";
    EXPECT_EQ(mainProgram.ExitCode(0), STILL_ACTIVE) << "\\KxMain.exe was ended";
    for (const auto& file : files) {
        std::ifstream kept(file.first, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), file.second) << file.first;
    }
    EXPECT_FALSE(RawKeyExists(L"SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent"));
}

std::string Hex(unsigned long long v) { return std::to_string(v) + " "; }
std::string FullNumbers() {
    unsigned long high = 7, low = 7;
    const std::string s = Hex(C::GetFullVersion(high, low));
    return s + std::to_string(high) + "." + std::to_string(low);
}
std::string Product() {
    ULARGE_INTEGER v{{99, 0}};
    const std::string s = Hex(C::GetProductVersion(v));
    return s + std::to_string(v.QuadPart);
}
std::string Increment() {
    const std::string s = Hex(C::IncrementVer());
    return s + Stored(P, L"FullVersionNum");
}
std::string FromNumbers() {
    const std::string s = Hex(C::SetFullVersion(0x30004ul, 0x50006ul));
    return s + Stored(P, L"FullVersionNum");
}
std::string Text() {
    wchar_t text[21];
    std::memset(text, 0xBD, sizeof text);
    const std::string s = Hex(C::GetFullVersion(text, 20));
    return s + Image(text, 21);
}

// The version "a.b.c.d" as numbers (high word a.b, low word c.d) and as text with at most four
// characters after the last point; the build number c counts up, wrapping without carrying.
TEST_F(DirectoriesTest, VersionAsNumbersAndText) {
    const struct {
        const wchar_t* stored;  // null: missing
        std::string (*run)();
        const char* result;
    } rows[] = {
        {L"2.0.1.1021", FullNumbers, "0 131072.66557"},
        {L"2.0.1.1021", Product, "0 562949953487869"},
        {L"2.0.65535.7", Increment, "0 sz:2.0.0.7|"},
        {nullptr, FromNumbers, "0 sz:3.4.5.6|"},
        {nullptr, FullNumbers, "196608 0.0"},
        {nullptr, Product, "196608 0"},
        {nullptr, Increment, "0 sz:0.0.1.0|"},
        {L"2.0.0.123456", Text, "0 2.0.0.1234|6|~~~~~~~~"},
        {L"2.0.0.1234", Text, "0 2.0.0.1234|~~~~~~~~~~"},
        {L"20100", Text, "0 20100|~~~~~~~~~~~~~~~"},  // no point: left whole
        {nullptr, Text, "196608 ~~~~~~~~~~~~~~~~~~~~~"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.stored ? row.stored : L"missing")));
        ResetDevice();
        if (row.stored) StoreText(L"FullVersionNum", row.stored);
        EXPECT_EQ(row.run(), row.result);
    }
}

// Each time stamp is a 16-byte record under its own name; reading a missing one fails, leaves
// the output and creates the product key.
TEST_F(DirectoriesTest, TimeStampsUnderTheirOwnNames) {
    SYSTEMTIME t{2026, 1, 0, 2, 3, 4, 5, 6}, read = t;
    EXPECT_EQ(C::GetLastUpdateTime(read), E);
    EXPECT_TRUE(RawKeyExists(P) && std::memcmp(&read, &t, 16) == 0);
    const struct {
        const wchar_t* name;
        KXSTATUS (*set)(const SYSTEMTIME&);
        KXSTATUS (*get)(SYSTEMTIME&);
    } rows[] = {
        {L"LastScanTime", C::SetLastMSTime, C::GetLastMSTime},
        {L"LastUpdateTime", C::SetLastUpdateTime, C::GetLastUpdateTime},
        {L"ScheduleUpdateTime", [](const SYSTEMTIME& s) { return C::SetScheduleUpdateTime(&s); },
         [](SYSTEMTIME& s) { return C::GetScheduleUpdateTime(&s); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.name)));
        ++t.wDay;
        EXPECT_EQ(row.set(t), KX_OK);
        EXPECT_EQ(Stored(P, row.name), "bin:" + Image(reinterpret_cast<char*>(&t), 16));
        EXPECT_EQ(row.get(read), KX_OK);
        EXPECT_EQ(std::memcmp(&read, &t, 16), 0);
    }
    EXPECT_EQ(C::SetScheduleUpdateTime(nullptr), E);
    EXPECT_EQ(C::GetScheduleUpdateTime(nullptr), E);
    // Without an argument the last update is now, in local time.
    SYSTEMTIME before;
    FILETIME a, b;
    ::GetLocalTime(&before);
    EXPECT_EQ(C::SetLastUpdateTime(), KX_OK);
    ASSERT_EQ(C::GetLastUpdateTime(read), KX_OK);
    ::SystemTimeToFileTime(&before, &a), ::SystemTimeToFileTime(&read, &b);
    const LONGLONG diff = LONGLONG((ULARGE_INTEGER{{b.dwLowDateTime, b.dwHighDateTime}}).QuadPart -
                                   (ULARGE_INTEGER{{a.dwLowDateTime, a.dwHighDateTime}}).QuadPart);
    EXPECT_TRUE(diff >= 0 && diff < 600000000LL) << "within a minute of the local time";
}

// The start time is a FILETIME stored low 32 bits first; what counts is the seconds since then.
// The setup's start lies 30 seconds back.
TEST_F(DirectoriesTest, StartUpTimeCountsSeconds) {
    const struct {
        const char* name;
        void (*stage)();
        KXSTATUS status;
        unsigned long least, most;  // a slow machine may pass one second more
    } rows[] = {
        {"missing", [] {}, E, 12345, 12345},
        {"at setup", [] { C::SetStartUpTime_Setup(); }, KX_OK, 30, 31},
        {"now", [] { C::SetStartUpTime(); }, KX_OK, 0, 1},
        {"an hour ago",
         [] {
             SYSTEMTIME local;
             FILETIME now;
             ::GetLocalTime(&local), ::SystemTimeToFileTime(&local, &now);
             ULARGE_INTEGER then{{now.dwLowDateTime, now.dwHighDateTime}};
             then.QuadPart -= 3600ull * 10000000ull;
             RawSetValue(P, L"StartupTime", REG_BINARY, &then, 8);
         },
         KX_OK, 3600, 3601},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        row.stage();
        unsigned long seconds = 12345;
        EXPECT_EQ(C::GetStartUpTillNow(seconds), row.status);
        EXPECT_TRUE(seconds >= row.least && seconds <= row.most) << seconds;
    }
}

}  // namespace
}  // namespace kxtest
