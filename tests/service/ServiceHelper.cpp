// A client process for the scan service tests:
//   client N EVENT         waits for the named event, then sends N requests through its own
//                          KxService and checks every answer; the exit code is the number of
//                          wrong answers (or 1000 when it could not start)
#include <kxcommon/KxService.h>

#include <cstring>
#include <cwchar>
#include <string>

namespace {

constexpr int kCannotStart = 1000;

int Client(unsigned long requests, const wchar_t* eventName) {
    HANDLE start = ::OpenEventW(SYNCHRONIZE, FALSE, eventName);
    if (start == nullptr) return kCannotStart;
    ::WaitForSingleObject(start, 30000);
    ::CloseHandle(start);

    KxService service;
    int wrong = 0;
    for (unsigned long i = 0; i < requests; ++i) {
        if (i % 2 == 0) {
            unsigned long count = 0;
            if (service.GetVirusInPatCount(count) != KX_OK || count != 2) ++wrong;
        } else {
            FileScan_tag record;
            std::memset(&record, 0, sizeof record);
            record.size = sizeof record;
            const bool infected = i % 4 == 1;
            std::wcscpy(record.path, infected ? L"\\kxtest\\eicar.com" : L"\\kxtest\\clean.txt");
            if (service.ScanFile(&record) != KX_OK || record.scanResult != (infected ? 1u : 0u) ||
                (infected && std::wcscmp(record.virusName, L"EICAR-Test-File") != 0))
                ++wrong;
        }
    }
    return wrong;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"client" && argc == 4) return Client(std::wcstoul(argv[2], nullptr, 10), argv[3]);
    return kCannotStart;
}
