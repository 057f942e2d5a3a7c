// KxConfig: the directories, the product version and the time stamps.
#include "RegistryRows.h"

#include <thread>

namespace kxtest {
namespace {

class DirectoriesTest : public DeviceTest {};

KXSTATUS Startup(wchar_t* directory, unsigned long length) {
    return KxConfig::GetStartupDir(directory, int(length));
}
KXSTATUS NullSys(wchar_t*, unsigned long length) { return KxConfig::GetSysDir(nullptr, length); }
KXSTATUS NullApp(wchar_t*, unsigned long length) { return KxConfig::GetAppDir(nullptr, length); }

// What a directory getter left in a buffer of '#': the text up to its terminator, looking no
// further than one unit past the capacity ("#" when the buffer was left alone).
struct DirectoryRead {
    KXSTATUS status;
    std::wstring text;
    bool wrotePast;  // the unit past the capacity changed
};
DirectoryRead Read(KXSTATUS (*get)(wchar_t*, unsigned long), unsigned long capacity) {
    wchar_t dir[32];
    std::wmemset(dir, L'#', 32);
    const KXSTATUS status = get(dir, capacity);
    return {status, std::wstring(dir, wcsnlen(dir, capacity + 1)), dir[capacity] != L'#'};
}

// A directory ends in one backslash; one that does not fit with it is refused and the buffer
// left empty; an empty setting names no directory and stays empty.
// Unless a row says otherwise, it reads "WinPath" holding "\Windows" through GetSysDir.
struct DirectoryRow {
    const char* name;
    KXSTATUS (*get)(wchar_t*, unsigned long) = KxConfig::GetSysDir;
    const wchar_t* value = L"WinPath";     // the setting's name
    const wchar_t* stored = L"\\Windows";  // its text; null: missing
    unsigned long capacity;
    KXSTATUS status;
    std::wstring text;  // what the buffer holds up to its terminator
};
TEST_F(DirectoriesTest, DirectoriesEndInOneBackslash) {
    // clang-format off
    const DirectoryRow rows[] = {
        {.name = "one backslash added", .get = Startup, .value = L"StartupPath", .stored = L"\\Windows\\S", .capacity = 13,
         .status = KX_OK, .text = L"\\Windows\\S\\"},
        {.name = "already ends in one", .stored = L"\\Windows\\", .capacity = 11, .status = KX_OK, .text = L"\\Windows\\"},
        {.name = "empty stays empty", .get = Startup, .value = L"StartupPath", .stored = L"", .capacity = 3,
         .status = KX_OK, .text = L""},
        {.name = "zero capacity",                          .capacity = 0,  .status = KX_E_REGISTRY, .text = L"#"},
        // The text itself lacks one unit (refused whole, as a missing one is), or just fits.
        {.name = "text does not fit",                      .capacity = 8,  .status = KX_E_REGISTRY, .text = L""},
        {.name = "no room for the backslash",              .capacity = 9,  .status = KX_E_REGISTRY, .text = L""},
        {.name = "just fits",                              .capacity = 10, .status = KX_OK,         .text = L"\\Windows\\"},
        {.name = "null system folder", .get = NullSys, .stored = L"\\W", .capacity = 9, .status = KX_E_INVALIDARG,
         .text = std::wstring(10, L'#')},
        {.name = "null application folder", .get = NullApp, .value = L"AppPath", .stored = L"\\W", .capacity = 9,
         .status = KX_E_INVALIDARG, .text = std::wstring(10, L'#')},
    };
    // clang-format on
    for (const DirectoryRow& row : rows) {
        ResetDevice();
        if (row.stored) StoreText(kProductKey, row.value, row.stored);
        const DirectoryRead got = Read(row.get, row.capacity);
        EXPECT_TRUE(got.status == row.status && got.text == row.text && !got.wrotePast)
            << row.name << ": the getter of " << Narrow(row.value) << " into " << row.capacity
            << " characters answered 0x" << std::hex << got.status << " with \"" << Narrow(got.text)
            << "\"" << (got.wrotePast ? " and wrote past it" : "") << "; expected 0x" << row.status
            << " with \"" << Narrow(row.text) << "\"";
    }
}

// The application directory is kept once per process: the first successful read, also when
// threads ask first together, serves the life of the process.
TEST_F(DirectoriesTest, AppDirIsReadOnceAndKept) {
    const DirectoryRead before = Read(KxConfig::GetAppDir, 20);
    EXPECT_TRUE(before.status == KX_E_REGISTRY && before.text.empty())
        << "GetAppDir with nothing stored answered 0x" << std::hex << before.status;
    StoreText(kProductKey, L"AppPath", L"\\Program Files\\App");
    wchar_t seen[8][MAX_PATH] = {};
    std::vector<std::thread> threads;
    for (auto& own : seen) threads.emplace_back([&own] { KxConfig::GetAppDir(own, MAX_PATH); });
    for (std::thread& thread : threads) thread.join();
    for (auto& own : seen) EXPECT_STREQ(own, L"\\Program Files\\App\\");
    StoreText(kProductKey, L"AppPath", L"\\Elsewhere");
    // 19 characters and the terminator, then one unit less.
    const DirectoryRead fits = Read(KxConfig::GetAppDir, 20), tight = Read(KxConfig::GetAppDir, 19);
    EXPECT_TRUE(fits.status == KX_OK && fits.text == L"\\Program Files\\App\\")
        << "GetAppDir into 20 after AppPath changed: \"" << Narrow(fits.text) << "\"";
    EXPECT_TRUE(tight.status == KX_E_REGISTRY && tight.text.empty())
        << "GetAppDir into 19: \"" << Narrow(tight.text) << "\"";
}

// What a test leaves at the device root.
const wchar_t* const kRootFiles[] = {L"\\subscription.xml", L"\\configmgi.xml", L"\\mgi.key",
                                     L"\\KxMain.exe", L"\\KXSC_SP_Res.dll"};

// An empty "AppPath" names no directory: in a process of their own (whose directory is not yet
// kept) the calls that keep their files in the application directory fail and leave alone the
// files of those names at the device root, and the main program found there.
TEST_F(DirectoriesTest, AnEmptyAppPathIsNoDirectoryAndNotTheDeviceRoot) {
    StoreText(kProductKey, L"AppPath", L"");
    const std::wstring doc =
        L"<wap-provisioningdoc><characteristic type=\"Registry\"><characteristic type=\"HKLM\\"
        L"SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent\"><parm name=\"HostName\" value=\"root\"/>"
        L"</characteristic></characteristic></wap-provisioningdoc>";
    const std::pair<const wchar_t*, std::string> files[] = {
        {L"\\subscription.xml",
         "<Subscription><Op><ServiceProvider SubscribeNumber=\"1\"/></Op></Subscription>"},
        {L"\\configmgi.xml", UnterminatedTextBytes(doc)},
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
    EXPECT_EQ(calls.ExitCode(30000), 0u) << "kxtest_noappdir did not run to its end";
    EXPECT_EQ(Stored(L"SOFTWARE\\Quorlend\\NoAppDir", L"Wrong"), "text \"\"")
        << "the calls without an application directory that did not answer as they must";
    EXPECT_EQ(mainProgram.ExitCode(0), STILL_ACTIVE) << "\\KxMain.exe was ended";
    for (const auto& file : files) EXPECT_EQ(ReadDeviceFile(file.first), file.second) << file.first;
    EXPECT_FALSE(RawKeyExists(L"SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent"))
        << "the document at the device root was applied";
}

// The version "a.b.c.d" as numbers (high word a.b, low word c.d, and both as one 64-bit number)
// and as text with at most four characters after the last point; the build number c counts up,
// wrapping without carrying (the incremented numbers written back as text). (How texts of other
// shapes convert: FmtVer's tests.)
struct VersionRow {
    const wchar_t* stored;  // null: missing
    KXSTATUS status;        // of each read
    unsigned long high, low;
    std::wstring text;
    std::string incremented;  // the stored value after IncrementVer
};
TEST_F(DirectoriesTest, VersionAsNumbersAndText) {
    // clang-format off
    const VersionRow rows[] = {
        {.stored = L"2.0.1.1021", .status = KX_OK, .high = 0x20000, .low = 0x103fd, .text = L"2.0.1.1021",
         .incremented = "text \"2.0.2.1021\""},
        {.stored = nullptr, .status = KX_E_REGISTRY, .high = 0, .low = 0, .text = L"untouched",
         .incremented = "text \"0.0.1.0\""},
        {.stored = L"2.0.65535.7", .status = KX_OK, .high = 0x20000, .low = 0xffff0007, .text = L"2.0.65535.7",
         .incremented = "text \"2.0.0.7\""},
        {.stored = L"2.0.0.123456", .status = KX_OK, .high = 0x20000, .low = 0xe240, .text = L"2.0.0.1234",
         .incremented = "text \"2.0.1.57920\""},
    };
    // clang-format on
    for (const VersionRow& row : rows) {
        ResetDevice();
        if (row.stored) StoreText(kProductKey, L"FullVersionNum", row.stored);
        unsigned long high = 7, low = 7;
        ULARGE_INTEGER product{{99, 0}};
        wchar_t text[21] = L"untouched";
        const KXSTATUS numbers = KxConfig::GetFullVersion(high, low),
                       both = KxConfig::GetProductVersion(product),
                       got = KxConfig::GetFullVersion(text, 20), next = KxConfig::IncrementVer();
        const std::string incremented = Stored(kProductKey, L"FullVersionNum");
        EXPECT_TRUE(numbers == row.status && both == row.status && got == row.status &&
                    high == row.high && low == row.low &&
                    product.QuadPart == (ULONGLONG(row.high) << 32 | row.low) && text == row.text &&
                    next == KX_OK && incremented == row.incremented)
            << "with " << (row.stored ? Narrow(row.stored) : "nothing") << " stored: " << std::hex
            << "GetFullVersion answered 0x" << numbers << " with 0x" << high << " and 0x" << low
            << ", GetProductVersion 0x" << both << " with 0x" << product.QuadPart
            << ", GetFullVersion(text) 0x" << got << " with \"" << Narrow(text)
            << "\", IncrementVer 0x" << next << " leaving " << incremented << "; expected 0x"
            << row.status << " with 0x" << row.high << " and 0x" << row.low << ", \""
            << Narrow(row.text) << "\" and " << row.incremented;
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
struct StartRow {
    const char* name;
    void (*stage)();  // what is stored first, on a clean device
    KXSTATUS status;
    // The seconds answered (12345: left as they were); a loaded machine may pass some more.
    unsigned long least, most;
};
TEST_F(DirectoriesTest, StartUpTimeCountsSeconds) {
    // clang-format off
    const StartRow rows[] = {
        {.name = "missing", .stage = [] {}, .status = KX_E_REGISTRY, .least = 12345, .most = 12345},
        {.name = "at setup", .stage = [] { KxConfig::SetStartUpTime_Setup(); }, .status = KX_OK, .least = 30, .most = 40},
        {.name = "now", .stage = [] { KxConfig::SetStartUpTime(); }, .status = KX_OK, .least = 0, .most = 10},
        {.name = "an hour ago", .stage = [] {
             const ULONGLONG units = Units() - 3600ull * 10000000ull;
             RawSetValue(kProductKey, L"StartupTime", REG_BINARY, &units, 8); },
         .status = KX_OK, .least = 3600, .most = 3610},
    };
    // clang-format on
    for (const StartRow& row : rows) {
        ResetDevice();
        row.stage();
        unsigned long seconds = 12345;
        const KXSTATUS status = KxConfig::GetStartUpTillNow(seconds);
        EXPECT_TRUE(status == row.status && seconds >= row.least && seconds <= row.most)
            << row.name << ": GetStartUpTillNow answered " << Hex(status) << " with " << seconds
            << " seconds; expected " << Hex(row.status) << " with " << row.least << " to "
            << row.most;
    }
    // Without an argument the last update is now, in local time; the schedule needs a record.
    const ULONGLONG before = Units();
    SYSTEMTIME read;
    ASSERT_TRUE(KxConfig::SetLastUpdateTime() == KX_OK &&
                KxConfig::GetLastUpdateTime(read) == KX_OK);
    EXPECT_LT(Units(&read) - before, 600000000ull) << "within a minute of the local time";
    EXPECT_TRUE(KxConfig::SetScheduleUpdateTime(nullptr) == KX_E_REGISTRY &&
                KxConfig::GetScheduleUpdateTime(nullptr) == KX_E_REGISTRY)
        << "SetScheduleUpdateTime and GetScheduleUpdateTime of no record: expected 0x30000 each";
}

}  // namespace
}  // namespace kxtest
