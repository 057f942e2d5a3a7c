// kxtest_listwriter FIRST EVENT: adds 100 consecutive numbers, starting at FIRST, to the accept
// list once the named event is set, so that several processes write at the same moment.
// Exit code: 0 when every addition succeeded, else the number of refused additions (200 for bad
// arguments or a missing event).
#include <kxcommon/CallerInfo.h>
#include <kxcommon/KxConfig.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    HANDLE start = argc == 3 ? ::OpenEventW(SYNCHRONIZE, FALSE, argv[2]) : nullptr;
    if (start == nullptr || ::WaitForSingleObject(start, 30000) != WAIT_OBJECT_0) return 200;
    int refused = 0;
    for (unsigned long i = 0; i < 100; ++i) {
        CallerInfo_tag entry = {};
        std::swprintf(entry.Number, KX_CALLER_NUMBER_CHARS, L"%010lu",
                      std::wcstoul(argv[1], 0, 10) + i);
        refused += KxConfig::AddAccepter(entry) != KX_OK;
    }
    return refused;
}
