// Real-time scanning and the WAP-push filter, switched by starting the hook loader: the keyword
// each switch sends, a missing loader, and the time-out of each switch. The library's wait for
// the loader is answered by the test (kxcommon.dll's import of WaitForSingleObject is pointed
// at AnsweredWait while a test runs), so every time-out is seen without waiting 30 seconds.
#include "RegistryRows.h"

#include <process.h>

namespace {

constexpr wchar_t kRecord[] = L"SOFTWARE\\KxStandIns\\KxHookLoader";
constexpr wchar_t kSystemDir[] = L"\\kxtest\\sys";
constexpr wchar_t kLoader[] = L"\\kxtest\\sys\\KxHookLoader.exe";

// What the library asked to wait (0 when it did not wait), and what the wait answers once the
// loader has really ended.
DWORD g_waitedMs, g_answer;

DWORD WINAPI AnsweredWait(HANDLE handle, DWORD ms) {
    g_waitedMs = ms;
    ::WaitForSingleObject(handle, INFINITE);  // the loader does its work in either case
    return g_answer;
}
const FARPROC kRealWait = reinterpret_cast<FARPROC>(::WaitForSingleObject);
const FARPROC kAnsweredWait = reinterpret_cast<FARPROC>(AnsweredWait);

// Points the slot of kxcommon.dll's import address table that holds `from` at `to`.
bool Point(FARPROC from, FARPROC to) {
    auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(L"kxcommon.dll"));
    const IMAGE_DATA_DIRECTORY& iat = PIMAGE_NT_HEADERS(base + PIMAGE_DOS_HEADER(base)->e_lfanew)
                                          ->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IAT];
    auto* slots = reinterpret_cast<FARPROC*>(base + iat.VirtualAddress);
    for (FARPROC* slot = slots; slot < slots + iat.Size / sizeof *slots; ++slot)
        if (*slot == from)
            return ::WriteProcessMemory(::GetCurrentProcess(), slot, &to, sizeof to, 0);
    return false;
}

class HookLoaderTest : public kxtest::DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ::CreateDirectoryW(kxtest::kScratchDir, nullptr);
        ::CreateDirectoryW(kSystemDir, nullptr);
        ASSERT_TRUE(::CopyFileW(kxtest::SiblingPath(L"KxHookLoader.exe").c_str(), kLoader, FALSE));
        ASSERT_TRUE(Point(kRealWait, kAnsweredWait)) << "kxcommon.dll imports WaitForSingleObject";
    }
    // A loader started without waiting may still run; the scratch folder is emptied after it.
    void TearDown() override {
        Point(kAnsweredWait, kRealWait);
        KxConfig::KillProcess(0, kLoader, static_cast<const wchar_t*>(nullptr));
        for (int i = 0; i < 50 && !::DeleteFileW(kLoader); ++i) ::Sleep(100);
    }
};

struct Switch {
    const char* keyword;  // what the loader must be given
    int (*call)(int wait);
    int timedOut, notStarted;  // the switch's own statuses
};
// How one run of a switch went: its status, the command line the loader recorded (only looked at
// when the switch waited) and the wait the library asked for.
struct Run {
    int status;
    std::string commandLine;
    DWORD waitedMs;
};
Run RunSwitch(const Switch& row, DWORD waitAnswers, int wait, const wchar_t* systemDir) {
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kRecord);
    kxtest::StoreText(kxtest::kProductKey, L"WinPath", systemDir);
    g_waitedMs = 0;
    g_answer = waitAnswers;
    const int status = row.call(wait);
    KxConfig::KillProcess(0, kLoader, static_cast<const wchar_t*>(nullptr));
    return {status, wait ? kxtest::Stored(kRecord, L"LastCommandLine") : "", g_waitedMs};
}
::testing::AssertionResult WentAsExpected(const char* how, const Run& got, const Run& expected) {
    if (got.status == expected.status && got.commandLine == expected.commandLine &&
        got.waitedMs == expected.waitedMs)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << how << ": answered " << got.status << ", the loader recorded " << got.commandLine
           << ", the wait was " << got.waitedMs << " ms; expected " << expected.status << ", "
           << expected.commandLine << ", " << expected.waitedMs << " ms";
}

// Every switch, with the loader ending in time, outlasting the wait (it still did its work), not
// waited for, or missing.
TEST_F(HookLoaderTest, EachSwitchSendsItsKeywordAndReportsItsOwnTimeOut) {
    // clang-format off
    const Switch rows[] = {
        {.keyword = "ENABLE_REALTIME", .call = [](int wait) { return KxConfig::StartRealTimeScan(wait, 0); },
         .timedOut = KX_E_RTSCAN_START_TIMEOUT, .notStarted = KX_E_PROGRAM_NOT_STARTED},
        {.keyword = "STARTUP_ENABLE_REALTIME", .call = [](int wait) { return KxConfig::StartRealTimeScan(wait, 1); },
         .timedOut = KX_E_RTSCAN_START_TIMEOUT, .notStarted = KX_E_PROGRAM_NOT_STARTED},
        {.keyword = "DISABLE_REALTIME", .call = KxConfig::StopRealTimeScan, .timedOut = KX_E_RTSCAN_STOP_TIMEOUT,
         .notStarted = KX_E_PROGRAM_NOT_STARTED},
        {.keyword = "ENABLE_WapPushFilter", .call = KxConfig::StartWapPushFilter,
         .timedOut = KX_E_WAPFILTER_START_TIMEOUT, .notStarted = KX_E_WAPFILTER_NOT_STARTED},
        {.keyword = "DISABLE_WapPushFilter", .call = KxConfig::StopWapPushFilter,
         .timedOut = KX_E_WAPFILTER_STOP_TIMEOUT, .notStarted = KX_E_WAPFILTER_NOT_STARTED},
    };
    // clang-format on
    for (const Switch& row : rows) {
        SCOPED_TRACE(row.keyword);
        const std::string line = std::string("text \"") + row.keyword + "\"";
        EXPECT_TRUE(WentAsExpected("ending in time", RunSwitch(row, WAIT_OBJECT_0, 1, kSystemDir),
                                   {.status = KX_OK, .commandLine = line, .waitedMs = 30000}));
        EXPECT_TRUE(
            WentAsExpected("outlasting the wait", RunSwitch(row, WAIT_TIMEOUT, 1, kSystemDir),
                           {.status = row.timedOut, .commandLine = line, .waitedMs = 30000}));
        EXPECT_TRUE(WentAsExpected("not waited for", RunSwitch(row, WAIT_TIMEOUT, 0, kSystemDir),
                                   {.status = KX_OK, .commandLine = "", .waitedMs = 0}));
        EXPECT_TRUE(
            WentAsExpected("no loader", RunSwitch(row, WAIT_OBJECT_0, 1, L"\\kxtest\\empty"),
                           {.status = row.notStarted, .commandLine = "(no key)", .waitedMs = 0}));
    }
}

// The loader takes exactly one of its keywords as its whole command line; anything else is
// recorded as rejected, switches nothing and ends with exit code 2.
TEST_F(HookLoaderTest, AnythingButOneKeywordIsRejected) {
    const intptr_t code = ::_wspawnl(_P_WAIT, kLoader, L"ENABLE_REALTIME", L"1", nullptr);
    EXPECT_EQ(code, 2) << "the loader's exit code for \"ENABLE_REALTIME 1\"";
    EXPECT_EQ(kxtest::Stored(kRecord, L"Rejected"), "number 0x1");
    EXPECT_EQ(kxtest::Stored(kRecord, L"RealTime"), "(missing)") << "a rejected line switched";
}

}  // namespace
