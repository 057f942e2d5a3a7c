// kxtest_listwriter FIRST COUNT EVENT: adds COUNT consecutive numbers, starting at FIRST, to the
// accept list once the named event is set, so that several processes write at the same moment.
// Exit code: 0 when every addition succeeded, else the number of refused additions (2 for bad
// arguments or a missing event).
#include <kxcommon/CallerInfo.h>
#include <kxcommon/KxConfig.h>

#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) return 2;
    const unsigned long first = std::wcstoul(argv[1], nullptr, 10);
    const unsigned long count = std::wcstoul(argv[2], nullptr, 10);
    HANDLE start = ::OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
    if (start == nullptr) return 2;
    const DWORD waited = ::WaitForSingleObject(start, 30000);
    ::CloseHandle(start);
    if (waited != WAIT_OBJECT_0) return 2;

    int refused = 0;
    for (unsigned long i = 0; i < count; ++i) {
        CallerInfo_tag entry = {};
        std::swprintf(entry.Number, KX_CALLER_NUMBER_CHARS, L"%010lu", first + i);
        std::swprintf(entry.Name, KX_CALLER_NAME_CHARS, L"writer %lu", first);
        if (KxConfig::AddAccepter(entry) != KX_OK) ++refused;
    }
    return refused;
}
