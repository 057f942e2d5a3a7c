// A second process of the device for the MutexLock tests: takes a MutexLock on NAME (waiting
// for it when WAIT is 1), signals READY, holds it until RELEASE is signalled, then releases it
// and exits with the lock status it saw. Exit code 99 for bad arguments or a missing event.
//
//   kxtest_mutexholder NAME WAIT READY RELEASE
#include <kxcommon/Utility.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 5) return 99;
    HANDLE ready = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
    HANDLE release = ::OpenEventW(SYNCHRONIZE, FALSE, argv[4]);
    // The events go with the process.
    if (ready == nullptr || release == nullptr) return 99;
    MutexLock lock(reinterpret_cast<const unsigned short*>(argv[1]),
                   std::wcscmp(argv[2], L"1") == 0);
    ::SetEvent(ready);
    ::WaitForSingleObject(release, 30000);
    return lock.GetLockStatus();
}
