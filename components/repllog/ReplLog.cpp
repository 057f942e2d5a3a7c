// repllog.exe stand-in, the platform's synchronisation logger: records that it ran and its
// command line (as every stand-in does) and ends.
#include "../StandInRecord.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    HKEY key = standin::RecordRun(L"repllog");
    if (key == nullptr) return 1;
    standin::WriteNumber(key, L"Priority",
                         static_cast<DWORD>(::GetThreadPriority(::GetCurrentThread())));
    ::RegCloseKey(key);
    return 0;
}
