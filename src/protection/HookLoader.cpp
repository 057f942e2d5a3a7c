// KxConfig: real-time scanning and the WAP-push filter, switched by the hook loader.
#include "kxcommon/KxConfig.h"

#include "kxcommon/HelpAPI.h"

#include "../internal/ScopedHandle.h"
#include "../internal/kxplatform.h"

#include <cwchar>
#include <iterator>

namespace {

constexpr wchar_t kHookLoader[] = L"KxHookLoader.exe";
// The hook loader is expected to have done its work and ended within this time.
constexpr DWORD kHookLoaderWaitMs = 30000;

constexpr wchar_t kStartRealTimeAtBoot[] = L"STARTUP_ENABLE_REALTIME";
constexpr wchar_t kStartRealTime[] = L"ENABLE_REALTIME";
constexpr wchar_t kStopRealTime[] = L"DISABLE_REALTIME";
constexpr wchar_t kStartWapPushFilter[] = L"ENABLE_WapPushFilter";
constexpr wchar_t kStopWapPushFilter[] = L"DISABLE_WapPushFilter";
constexpr size_t kKeywordChars = 32;
static_assert(std::size(kStartRealTimeAtBoot) <= kKeywordChars, "the longest keyword fits");

// Runs the hook loader from the system directory with `keyword` as its whole command line.
int RunHookLoader(const wchar_t* keyword, int wait, int notStarted, int timedOut) {
    wchar_t directory[MAX_PATH] = {};
    KxConfig::GetSysDir(directory, MAX_PATH);  // a missing directory leaves the bare name
    wchar_t program[MAX_PATH] = {};
    HelpAPI::CatPathWithFile(directory, kHookLoader, program, MAX_PATH);

    // The platform takes the command line writable.
    wchar_t commandLine[kKeywordChars] = {};
    std::wcsncpy(commandLine, keyword, kKeywordChars - 1);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process))
        return notStarted;
    kx::UniqueHandle thread(process.hThread);
    kx::UniqueHandle hookLoader(process.hProcess);
    // A time-out does not stop the hook loader: it may still complete the switch.
    if (wait != 0 && ::WaitForSingleObject(hookLoader.Get(), kHookLoaderWaitMs) == WAIT_TIMEOUT)
        return timedOut;
    return KX_OK;
}

}  // namespace

int KxConfig::StartStopRealtimeScan(int start, int wait, int atStartup) {
    if (start == 0)
        return RunHookLoader(kStopRealTime, wait, KX_E_PROGRAM_NOT_STARTED,
                             KX_E_RTSCAN_STOP_TIMEOUT);
    return RunHookLoader(atStartup != 0 ? kStartRealTimeAtBoot : kStartRealTime, wait,
                         KX_E_PROGRAM_NOT_STARTED, KX_E_RTSCAN_START_TIMEOUT);
}

int KxConfig::StartStopWapPushFilter(int wait, int enable) {
    return enable != 0 ? RunHookLoader(kStartWapPushFilter, wait, KX_E_WAPFILTER_NOT_STARTED,
                                       KX_E_WAPFILTER_START_TIMEOUT)
                       : RunHookLoader(kStopWapPushFilter, wait, KX_E_WAPFILTER_NOT_STARTED,
                                       KX_E_WAPFILTER_STOP_TIMEOUT);
}

int KxConfig::StartRealTimeScan(int wait, int atStartup) {
    return StartStopRealtimeScan(1, wait, atStartup);
}

int KxConfig::StopRealTimeScan(int wait) { return StartStopRealtimeScan(0, wait, 0); }

int KxConfig::StartWapPushFilter(int wait) { return StartStopWapPushFilter(wait, 1); }

int KxConfig::StopWapPushFilter(int wait) { return StartStopWapPushFilter(wait, 0); }

int KxConfig::DisableAllFeature() { return KX_OK; }
