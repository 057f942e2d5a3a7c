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
    HKEY key = standin::RecordRun(L"KxHookLoader");
    if (key == nullptr) return 1;
    const wchar_t* commandLine = ::GetCommandLineW();
    DWORD result = kRejected;
    for (const Switch& s : kSwitches) {
        if (std::wcscmp(commandLine, s.keyword) == 0) {
            standin::WriteNumber(key, s.feature, s.on);
            ::RegSetValueExW(key, L"LastKeyword", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(s.keyword),
                             static_cast<DWORD>((std::wcslen(s.keyword) + 1) * sizeof(wchar_t)));
            result = 0;
        }
    }
    if (result != 0) standin::WriteNumber(key, L"Rejected", 1);
    const DWORD delay = standin::ReadNumber(key, L"DelayMs");
    ::RegCloseKey(key);
    ::Sleep(delay);
    return static_cast<int>(result);
}
