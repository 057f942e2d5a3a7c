// KxHookLoader.exe stand-in: takes exactly one keyword as its whole command line and records
// the switch it was asked for ("RealTime", "WapPushFilter": 1 on, 0 off, and "LastKeyword").
// An unknown command line is recorded as "Rejected" and ends with exit code 2. "DelayMs" makes
// it work that long before ending, to outlast a caller's wait.
#include "../StandInRecord.h"

#include <cwchar>

namespace {

constexpr DWORD kRejected = 2;

struct Switch {
    const wchar_t* keyword;
    const wchar_t* feature;
    DWORD on;
};

const Switch kSwitches[] = {
    {L"STARTUP_ENABLE_REALTIME", L"RealTime", 1},    {L"ENABLE_REALTIME", L"RealTime", 1},
    {L"DISABLE_REALTIME", L"RealTime", 0},           {L"ENABLE_WapPushFilter", L"WapPushFilter", 1},
    {L"DISABLE_WapPushFilter", L"WapPushFilter", 0},
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    DWORD result = kRejected;
    DWORD delay = 0;
    {
        const kx::UniqueKey key = standin::RecordRun(L"KxHookLoader");
        if (!key) return 1;
        const wchar_t* commandLine = ::GetCommandLineW();
        for (const Switch& known : kSwitches) {
            if (std::wcscmp(commandLine, known.keyword) == 0) {
                standin::WriteNumber(key.Get(), known.feature, known.on);
                standin::WriteText(key.Get(), L"LastKeyword", known.keyword);
                result = 0;
            }
        }
        if (result != 0) standin::WriteNumber(key.Get(), L"Rejected", 1);
        delay = standin::ReadNumber(key.Get(), L"DelayMs");
    }
    // The record is closed before the wait: nothing holds its key while the loader works.
    ::Sleep(delay);
    return static_cast<int>(result);
}
