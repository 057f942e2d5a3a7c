// KxConfig: the directories, the product version and the time stamps.
#include "RegistryRows.h"

#include <iterator>
#include <thread>

namespace kxtest {
namespace {

class DirectoriesTest : public DeviceTest {};

void StoreText(const wchar_t* name, const std::wstring& text) {
    RawSetValue(kProductKey, name, REG_SZ, text.c_str(), DWORD((text.size() + 1) * 2));
}
void StoreStart(ULONGLONG units) {
    RawSetValue(kProductKey, L"StartupTime", REG_BINARY, &units, 8);
}
KXSTATUS Startup(wchar_t* dir, unsigned long n) { return KxConfig::GetStartupDir(dir, int(n)); }
KXSTATUS NullSys(wchar_t*, unsigned long n) { return KxConfig::GetSysDir(nullptr, n); }
KXSTATUS NullApp(wchar_t*, unsigned long n) { return KxConfig::GetAppDir(nullptr, n); }
// A status as a row writes it before the result: nothing for success, "E:" for the registry's.
std::string Said(KXSTATUS s) {
    return s == KX_OK ? "" : s == KX_E_REGISTRY ? "E:" : std::to_string(s) + ":";
}
// A read into `length` units: "E:" when refused, the buffer one unit past the length.
std::string Read(KXSTATUS (*get)(wchar_t*, unsigned long), unsigned long length) {
    wchar_t dir[32];
    std::memset(dir, 0xBD, sizeof dir);
    const std::string said = Said(get(dir, length));
    return said + Image(dir, length + 1);
}

// A directory ends in one backslash; one that does not fit with it is refused and the buffer
// left empty; an empty setting names no directory and stays empty.
TEST_F(DirectoriesTest, DirectoriesEndInOneBackslash) {
    const struct {
        const char *name, *image;  // image: "E:" when refused, the buffer one unit past the length
        KXSTATUS (*get)(wchar_t*, unsigned long);
        const wchar_t *value, *stored;  // the value's name, its text (null: missing)
        unsigned long length;
    } rows[] = {
        {"one backslash added", "\\Windows\\S\\|~~", Startup, L"StartupPath", L"\\Windows\\S", 13},
        {"already ends in one", "\\Windows\\|~~", KxConfig::GetSysDir, L"WinPath", L"\\Windows\\",
         11},
        {"empty stays empty", "|~~~", Startup, L"StartupPath", L"", 3},
        {"missing", "E:|~~~", KxConfig::GetSysDir, L"WinPath", nullptr, 3},
        {"zero length", "E:~", KxConfig::GetSysDir, L"WinPath", L"\\Windows", 0},
        // The text itself just fits, or lacks one unit (refused whole).
        {"text does not fit", "E:|~~~~~~~~", KxConfig::GetSysDir, L"WinPath", L"\\Windows", 8},
        {"no room for the backslash", "E:|Windows|~", KxConfig::GetSysDir, L"WinPath", L"\\Windows",
         9},
        {"just fits", "\\Windows\\|~", KxConfig::GetSysDir, L"WinPath", L"\\Windows", 10},
        {"null system folder", "983040:~~~~~~~~~~", NullSys, L"WinPath", L"\\W", 9},
        {"null application folder", "983040:~~~~~~~~~~", NullApp, L"AppPath", L"\\W", 9},
    };
    for (const auto& row : rows) {
        ResetDevice();
        if (row.stored) StoreText(row.value, row.stored);
        EXPECT_EQ(Read(row.get, row.length), row.image) << row.name;
    }
}

// The application directory is kept once per process: the first successful read, also when
// threads ask first together, serves the life of the process.
TEST_F(DirectoriesTest, AppDirIsReadOnceAndKept) {
    const auto read = [](unsigned long length) { return Read(KxConfig::GetAppDir, length); };
    EXPECT_EQ(read(20), "E:|" + std::string(20, '~')) << "nothing stored yet; the next reads again";
    StoreText(L"AppPath", L"\\Program Files\\App");
    wchar_t seen[8][MAX_PATH] = {};
    std::vector<std::thread> threads;
    for (auto& own : seen) threads.emplace_back([&own] { KxConfig::GetAppDir(own, MAX_PATH); });
    for (std::thread& t : threads) t.join();
    for (auto& own : seen) EXPECT_STREQ(own, L"\\Program Files\\App\\");
    StoreText(L"AppPath", L"\\Elsewhere");
    // 19 characters and the terminator, then one unit less.
    EXPECT_EQ(read(20) + " " + read(19), "\\Program Files\\App\\|~ E:|" + std::string(19, '~'));
}

// What a test leaves at the device root.
const wchar_t* const kRootFiles[] = {L"\\subscription.xml", L"\\configmgi.xml", L"\\mgi.key",
                                     L"\\KxMain.exe", L"\\KXSC_SP_Res.dll"};

// An empty "AppPath" names no directory: in a process of their own (whose directory is not yet
// kept) the calls that keep their files in the application directory fail and leave alone the
// files of those names at the device root, and the main program found there.
TEST_F(DirectoriesTest, AnEmptyAppPathIsNoDirectoryAndNotTheDeviceRoot) {
    StoreText(L"AppPath", L"");
    const std::wstring doc =
        L"<wap-provisioningdoc><characteristic type=\"Registry\"><characteristic type=\"HKLM\\"
        L"SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent\"><parm name=\"HostName\" value=\"root\"/>"
        L"</characteristic></characteristic></wap-provisioningdoc>";
    const std::pair<const wchar_t*, std::string> files[] = {
        {L"\\subscription.xml",
         "<Subscription><Op><ServiceProvider SubscribeNumber=\"1\"/></Op></Subscription>"},
        {L"\\configmgi.xml", Wn(doc)},
        {L"\\mgi.key", std::string("\1\0\0\0A\1\0\0\0B\1", 11)}};
    struct Cleanup {
        ~Cleanup() {
            for (const wchar_t* file : kRootFiles) ::DeleteFileW(file);
        }
    } cleanup;
    for (const auto& file : files) WriteDeviceFile(file.first, file.second);
    // A main program and a resource module that only the device root would offer.
    ASSERT_TRUE(::CopyFileW(SiblingPath(L"kxtest_sleeper.exe").c_str(), L"\\KxMain.exe", FALSE));
    ASSERT_TRUE(
        ::CopyFileW(SiblingPath(L"kxtest_resmodule.dll").c_str(), L"\\KXSC_SP_Res.dll", FALSE));
    const RunningProgram mainProgram(L"C:\\KxMain.exe");
    const RunningProgram calls(SiblingPath(L"kxtest_noappdir.exe"));
    ASSERT_TRUE(mainProgram.Started() && calls.Started());
    EXPECT_EQ(calls.ExitCode(30000), 0u) << "bits of the calls that did not fail";
    EXPECT_EQ(mainProgram.ExitCode(0), STILL_ACTIVE) << "\\KxMain.exe was ended";
    for (const auto& file : files) EXPECT_EQ(ReadDeviceFile(file.first), file.second) << file.first;
    EXPECT_FALSE(RawKeyExists(L"SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent"));
}

// The version "a.b.c.d" as numbers (high word a.b, low word c.d) and as text with at most four
// characters after the last point; the build number c counts up, wrapping without carrying (the
// incremented numbers written back as text).
TEST_F(DirectoriesTest, VersionAsNumbersAndText) {
    const struct {
        const wchar_t* stored;  // null: missing
        // Status numbers, status product ("=": the two numbers' 64 bits), status text, status
        // incremented.
        const char* result;
    } rows[] = {
        {L"2.0.1.1021", "0 131072.66557 0 = 0 2.0.1.1021|~~~~~~~~~~ 0 sz:2.0.2.1021|"},
        {nullptr, "196608 0.0 196608 = 196608 ~~~~~~~~~~~~~~~~~~~~~ 0 sz:0.0.1.0|"},
        {L"2.0.65535.7", "0 131072.4294901767 0 = 0 2.0.65535.7|~~~~~~~~~ 0 sz:2.0.0.7|"},
        {L"2.0.0.123456", "0 131072.57920 0 = 0 2.0.0.1234|6|~~~~~~~~ 0 sz:2.0.1.57920|"},
        // No point: the text is left whole.
        {L"20100", "0 1317273600.0 0 = 0 20100|~~~~~~~~~~~~~~~ 0 sz:20100.0.1.0|"},
    };
    for (const auto& row : rows) {
        ResetDevice();
        if (row.stored) StoreText(L"FullVersionNum", row.stored);
        unsigned long high = 7, low = 7;
        ULARGE_INTEGER product{{99, 0}};
        wchar_t text[21];
        std::memset(text, 0xBD, sizeof text);
        const KXSTATUS numbers = KxConfig::GetFullVersion(high, low),
                       both = KxConfig::GetProductVersion(product),
                       got = KxConfig::GetFullVersion(text, 20), next = KxConfig::IncrementVer();
        const char* joined = product.QuadPart == (ULONGLONG(high) << 32 | low) ? "=" : "!=";
        const auto s = [](KXSTATUS status) { return std::to_string(status) + " "; };
        EXPECT_EQ(s(numbers) + std::to_string(high) + "." + std::to_string(low) + " " + s(both) +
                      joined + " " + s(got) + Image(text, 21) + " " + s(next) +
                      Stored(kProductKey, L"FullVersionNum"),
                  row.result)
            << row.stored;
    }
}

// Local time in 100-ns units: now, or the given time.
ULONGLONG Units(const SYSTEMTIME* given = nullptr) {
    SYSTEMTIME now;
    FILETIME file;
    ::GetLocalTime(&now);
    ::SystemTimeToFileTime(given ? given : &now, &file);
    return ULARGE_INTEGER{{file.dwLowDateTime, file.dwHighDateTime}}.QuadPart;
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
        {"missing", [] {}, KX_E_REGISTRY, 12345, 12345},
        {"at setup", [] { KxConfig::SetStartUpTime_Setup(); }, KX_OK, 30, 31},
        {"now", [] { KxConfig::SetStartUpTime(); }, KX_OK, 0, 1},
        {"an hour ago", [] { StoreStart(Units() - 3600ull * 10000000ull); }, KX_OK, 3600, 3601},
    };
    for (const auto& row : rows) {
        row.stage();
        unsigned long seconds = 12345;
        EXPECT_EQ(KxConfig::GetStartUpTillNow(seconds), row.status) << row.name;
        EXPECT_TRUE(seconds >= row.least && seconds <= row.most) << row.name << ": " << seconds;
    }
    // Without an argument the last update is now, in local time; the schedule needs a record.
    const ULONGLONG before = Units();
    SYSTEMTIME read;
    ASSERT_TRUE(KxConfig::SetLastUpdateTime() == KX_OK &&
                KxConfig::GetLastUpdateTime(read) == KX_OK);
    EXPECT_LT(Units(&read) - before, 600000000ull) << "within a minute of the local time";
    EXPECT_TRUE(KxConfig::SetScheduleUpdateTime(nullptr) == KX_E_REGISTRY &&
                KxConfig::GetScheduleUpdateTime(nullptr) == KX_E_REGISTRY);
}

}  // namespace
}  // namespace kxtest
