// Scan service requests through KxService against the platform's ServiceIoControl that each
// stands for, with the same record, on the same loaded service: GetVirusInPatCount and ScanFile of
// a small clean file. Both sides go the whole way to the service and back, so the ratio is what
// the library adds to the device's own call.
#include "BenchHarness.h"

#include <kxcommon/KxService.h>

#include <wince/wince.h>

#include <cstring>
#include <cwchar>

namespace {

wchar_t kInstanceName[] = L"SAV0:";
constexpr wchar_t kCleanFile[] = L"\\kxbench-clean.txt";
constexpr double kSettleSeconds = 2.0;

}  // namespace

int main() {
    kxbench::Tally tally;
    kxbench::PrintHeader("scan service requests: KxService against ServiceIoControl");
    HANDLE file = ::CreateFileW(kCleanFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    ::WriteFile(file, "a small clean file\r\n", 20, &written, nullptr);
    ::CloseHandle(file);

    // The library loads the service; the raw side then finds it as any program would.
    KxService service;
    unsigned long count = 0;
    const bool loaded = service.GetVirusInPatCount(count) == KX_OK;
    const HANDLE handle = ::GetServiceHandle(kInstanceName, nullptr, nullptr);
    if (!kxbench::Agree(tally, loaded && handle != INVALID_HANDLE_VALUE,
                        "the scan service (not loaded)"))
        return kxbench::Finish(tally);

    bool ok = true;
    DWORD rawCount = 0;
    const auto libraryCount = [&] { ok = service.GetVirusInPatCount(count) == KX_OK && ok; };
    const auto rawCountCall = [&] {
        DWORD returned = 0;
        ok = ::ServiceIoControl(handle, KXSVC_GET_VIRUS_COUNT, nullptr, 0, &rawCount,
                                sizeof rawCount, &returned, nullptr) &&
             returned == sizeof rawCount && ok;
    };
    // A host just started is still settling for about a second (its process finishing its own
    // start beside the first requests), and a row measured then came out up to twice as slow on
    // one side: the rows begin after two seconds of requests.
    const double settling = kxbench::Now();
    while (kxbench::Now() - settling < kSettleSeconds) rawCountCall();
    libraryCount();
    rawCountCall();
    if (kxbench::Agree(tally, ok && count == rawCount, "GetVirusInPatCount"))
        kxbench::PrintRow(tally, "GetVirusInPatCount / ServiceIoControl",
                          kxbench::Compare(libraryCount, rawCountCall), kxbench::kCallGoal);

    FileScan_tag record, rawRecord, rawAnswer;
    std::memset(&record, 0, sizeof record);
    record.size = sizeof record;
    std::wcscpy(record.path, kCleanFile);
    rawRecord = record;
    // The service answers with the record it was given, its verdict filled in: the next call
    // scans the same file.
    const auto libraryScan = [&] { ok = service.ScanFile(&record) == KX_OK && ok; };
    const auto rawScan = [&] {
        DWORD returned = 0;
        ok = ::ServiceIoControl(handle, KXSVC_SCAN_FILE, &rawRecord, sizeof rawRecord, &rawAnswer,
                                sizeof rawAnswer, &returned, nullptr) &&
             returned == sizeof rawAnswer && ok;
    };
    libraryScan();
    rawScan();
    if (kxbench::Agree(tally,
                       ok && record.scanResult == KXSVC_VERDICT_CLEAN &&
                           std::memcmp(&record, &rawAnswer, sizeof record) == 0,
                       "ScanFile"))
        kxbench::PrintRow(tally, "ScanFile of a small clean file / ServiceIoControl",
                          kxbench::Compare(libraryScan, rawScan), kxbench::kCallGoal);

    ::DeleteFileW(kCleanFile);
    service.Release();
    return kxbench::Finish(tally);
}
