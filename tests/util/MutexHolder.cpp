// A second process of the device for the MutexLock tests: takes a MutexLock on NAME (waiting
// for it when WAIT is 1), signals the event NAME.ready, holds it until the event NAME.release is
// signalled, then releases it and exits with the lock status it saw. Exit code 99 for bad
// arguments.
//
//   kxtest_mutexholder NAME WAIT
#include <kxcommon/Utility.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 99;
    const std::wstring name = argv[1];
    HANDLE ready = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, (name + L".ready").c_str());
    HANDLE release = ::OpenEventW(SYNCHRONIZE, FALSE, (name + L".release").c_str());
    MutexLock lock(reinterpret_cast<const unsigned short*>(name.c_str()), argv[2][0] == L'1');
    ::SetEvent(ready);
    ::WaitForSingleObject(release, 30000);
    return lock.GetLockStatus();
}
