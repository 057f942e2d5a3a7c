// Scan service requests per second (GetVirusInPatCount, and ScanFile of a small clean file)
// next to a raw named-pipe transaction of the same size in the same run: a client that
// connects, writes the request, reads the answer and disconnects, against a server thread that
// answers at once. Goal: a service request takes at most 1.2 times the raw transaction.
#include "BenchTimer.h"

#include <kxcommon/KxService.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kRawPipe[] = L"\\\\.\\pipe\\kxbench-raw-transaction";
constexpr wchar_t kCleanFile[] = L"\\kxbench-clean.txt";
constexpr int kRequestsPerRun = 200;
constexpr double kGoal = 1.2;
// What a service request carries besides its records: the request and reply headers.
constexpr DWORD kRequestHeader = 28;
constexpr DWORD kReplyHeader = 24;

struct RawSizes {
    DWORD request;
    DWORD reply;
};

DWORD WINAPI RawServer(LPVOID) {
    std::vector<BYTE> buffer(64 * 1024);
    for (;;) {
        HANDLE pipe = ::CreateNamedPipeW(kRawPipe, PIPE_ACCESS_DUPLEX,
                                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                                         PIPE_UNLIMITED_INSTANCES, 65536, 65536, 0, nullptr);
        if (pipe == INVALID_HANDLE_VALUE) return 1;
        if (::ConnectNamedPipe(pipe, nullptr) || ::GetLastError() == ERROR_PIPE_CONNECTED) {
            RawSizes sizes{};
            DWORD got = 0;
            if (::ReadFile(pipe, &sizes, sizeof sizes, &got, nullptr) && got == sizeof sizes) {
                DWORD remaining = sizes.request - sizeof sizes;
                while (remaining > 0 && ::ReadFile(pipe, buffer.data(), remaining, &got, nullptr) &&
                       got > 0)
                    remaining -= got;
                DWORD written = 0;
                ::WriteFile(pipe, buffer.data(), sizes.reply, &written, nullptr);
                ::FlushFileBuffers(pipe);
            }
        }
        ::DisconnectNamedPipe(pipe);
        ::CloseHandle(pipe);
    }
}

bool RawTransaction(DWORD requestBytes, DWORD replyBytes) {
    HANDLE pipe = INVALID_HANDLE_VALUE;
    while ((pipe = ::CreateFileW(kRawPipe, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 0, nullptr)) == INVALID_HANDLE_VALUE) {
        if (::GetLastError() != ERROR_PIPE_BUSY) return false;
        ::WaitNamedPipeW(kRawPipe, 1000);
    }
    std::vector<BYTE> request(requestBytes, 0), reply(replyBytes, 0);
    const RawSizes sizes{requestBytes, replyBytes};
    std::memcpy(request.data(), &sizes, sizeof sizes);
    DWORD moved = 0;
    bool ok = ::WriteFile(pipe, request.data(), requestBytes, &moved, nullptr) != FALSE;
    DWORD total = 0;
    while (ok && total < replyBytes) {
        ok = ::ReadFile(pipe, reply.data() + total, replyBytes - total, &moved, nullptr) &&
             moved > 0;
        total += moved;
    }
    ::CloseHandle(pipe);
    return ok;
}

double Report(const char* what, double service, double raw) {
    const double ratio = service / raw;
    std::printf("%-36s %8.0f req/s   raw %8.0f req/s   ratio %.2fx\n", what,
                kRequestsPerRun / service, kRequestsPerRun / raw, ratio);
    std::fflush(stdout);
    return ratio;
}

}  // namespace

int main() {
    HANDLE server = ::CreateThread(nullptr, 0, RawServer, nullptr, 0, nullptr);
    HANDLE file = ::CreateFileW(kCleanFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    ::WriteFile(file, "a small clean file\r\n", 20, &written, nullptr);
    ::CloseHandle(file);

    KxService service;
    unsigned long count = 0;
    FileScan_tag record;
    std::memset(&record, 0, sizeof record);
    record.size = sizeof record;
    std::wcscpy(record.path, kCleanFile);
    if (server == nullptr || service.GetVirusInPatCount(count) != KX_OK ||
        service.ScanFile(&record) != KX_OK || record.scanResult != 0 ||
        !RawTransaction(kRequestHeader, kReplyHeader + 4)) {
        std::printf("the scan service or the raw pipe does not answer\n");
        return 1;
    }

    std::printf("scan service requests against a raw named-pipe transaction of the same size\n");
    double worst = 0;
    const double countService = kxbench::BestSeconds([&] {
        for (int i = 0; i < kRequestsPerRun; ++i) service.GetVirusInPatCount(count);
    });
    const double countRaw = kxbench::BestSeconds([] {
        for (int i = 0; i < kRequestsPerRun; ++i) RawTransaction(kRequestHeader, kReplyHeader + 4);
    });
    worst = std::max(worst, Report("GetVirusInPatCount", countService, countRaw));

    const DWORD scanRequest = kRequestHeader + 2 * sizeof(FileScan_tag);
    const DWORD scanReply = kReplyHeader + sizeof(FileScan_tag);
    const double scanService = kxbench::BestSeconds([&] {
        for (int i = 0; i < kRequestsPerRun; ++i) service.ScanFile(&record);
    });
    const double scanRaw = kxbench::BestSeconds([&] {
        for (int i = 0; i < kRequestsPerRun; ++i) RawTransaction(scanRequest, scanReply);
    });
    worst = std::max(worst, Report("ScanFile of a small clean file", scanService, scanRaw));

    ::DeleteFileW(kCleanFile);
    service.Release();
    std::printf("worst ratio %.2fx (goal: at most %.1fx)%s\n", worst, kGoal,
                worst <= kGoal ? "" : "  OVER GOAL");
    return 0;
}
