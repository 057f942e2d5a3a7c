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

int StartRt(int wait) { return KxConfig::StartRealTimeScan(wait, 0); }
int StartRtAtBoot(int wait) { return KxConfig::StartRealTimeScan(wait, 1); }

// Every switch, with the loader ending in time, outlasting the wait (it still did its work), not
// waited for, or missing.
TEST_F(HookLoaderTest, EachSwitchSendsItsKeywordAndReportsItsOwnTimeOut) {
    using K = KxConfig;
    const int kNoRt = KX_E_PROGRAM_NOT_STARTED, kNoWf = KX_E_WAPFILTER_NOT_STARTED;
    const struct Row {
        int (*call)(int wait);
        const char* keyword;
        int timedOut, missing;
    } rows[] = {
        {StartRt, "ENABLE_REALTIME", KX_E_RTSCAN_START_TIMEOUT, kNoRt},
        {StartRtAtBoot, "STARTUP_ENABLE_REALTIME", KX_E_RTSCAN_START_TIMEOUT, kNoRt},
        {K::StopRealTimeScan, "DISABLE_REALTIME", KX_E_RTSCAN_STOP_TIMEOUT, kNoRt},
        {K::StartWapPushFilter, "ENABLE_WapPushFilter", KX_E_WAPFILTER_START_TIMEOUT, kNoWf},
        {K::StopWapPushFilter, "DISABLE_WapPushFilter", KX_E_WAPFILTER_STOP_TIMEOUT, kNoWf},
    };
    // Status, the command line the loader recorded, and the wait the library asked for.
    const auto run = [](const Row& row, DWORD answer, int wait, const wchar_t* dir = kSystemDir) {
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kRecord);
        kxtest::RawSetValue(kxtest::kProductKey, L"WinPath", REG_SZ, dir, 2 * std::wcslen(dir) + 2);
        g_waitedMs = 0;
        g_answer = answer;
        const int status = row.call(wait);
        KxConfig::KillProcess(0, kLoader, static_cast<const wchar_t*>(nullptr));
        return std::to_string(status) + " " +
               (wait ? kxtest::Stored(kRecord, L"LastCommandLine") : "?") + " " +
               std::to_string(g_waitedMs) + ", ";
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.keyword);
        const std::string line = std::string(" sz:") + row.keyword + "| 30000, ";
        // One run per statement, so that they go in this order.
        std::string seen = run(row, WAIT_OBJECT_0, 1);
        seen += run(row, WAIT_TIMEOUT, 1);
        seen += run(row, WAIT_TIMEOUT, 0);
        seen += run(row, WAIT_OBJECT_0, 1, L"\\kxtest\\empty");
        EXPECT_EQ(seen, "0" + line + std::to_string(row.timedOut) + line + "0 ? 0, " +
                            std::to_string(row.missing) + " no key 0, ");
    }
}

// The loader takes exactly one of its keywords as its whole command line; anything else is
// recorded as rejected, switches nothing and ends with exit code 2.
TEST_F(HookLoaderTest, AnythingButOneKeywordIsRejected) {
    const intptr_t code = ::_wspawnl(_P_WAIT, kLoader, L"ENABLE_REALTIME", L"1", nullptr);
    EXPECT_EQ(std::to_string(code) + " " + kxtest::Stored(kRecord, L"Rejected") + " " +
                  kxtest::Stored(kRecord, L"RealTime"),
              "2 dw:1 none");
}

}  // namespace
