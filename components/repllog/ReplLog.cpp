// repllog.exe stand-in, the platform's synchronisation logger: records that it ran and its
// command line (as every stand-in does) and ends.
#include "../StandInRecord.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    const kx::UniqueKey key = standin::RecordRun(L"repllog");
    if (!key) return 1;
    standin::WriteNumber(key.Get(), L"Priority",
                         static_cast<DWORD>(::GetThreadPriority(::GetCurrentThread())));
    return 0;
}
