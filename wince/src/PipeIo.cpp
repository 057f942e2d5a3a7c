#include "PipeIo.h"

namespace wince {
namespace {

bool Transfer(HANDLE pipe, HANDLE done, void* buffer, DWORD bytes, DWORD timeoutMs, bool write) {
    auto* at = static_cast<BYTE*>(buffer);
    while (bytes > 0) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = done;
        ::ResetEvent(done);
        DWORD moved = 0;
        const BOOL immediate = write ? ::WriteFile(pipe, at, bytes, &moved, &overlapped)
                                     : ::ReadFile(pipe, at, bytes, &moved, &overlapped);
        if (!immediate) {
            if (::GetLastError() != ERROR_IO_PENDING) return false;
            if (::WaitForSingleObject(done, timeoutMs) != WAIT_OBJECT_0) {
                ::CancelIo(pipe);
                ::GetOverlappedResult(pipe, &overlapped, &moved, TRUE);
                return false;
            }
            if (!::GetOverlappedResult(pipe, &overlapped, &moved, FALSE)) return false;
        }
        if (moved == 0) return false;
        at += moved;
        bytes -= moved;
    }
    return true;
}

}  // namespace

bool ReadExactly(HANDLE pipe, HANDLE done, void* buffer, DWORD bytes, DWORD timeoutMs) {
    return Transfer(pipe, done, buffer, bytes, timeoutMs, false);
}

bool WriteExactly(HANDLE pipe, HANDLE done, const void* buffer, DWORD bytes, DWORD timeoutMs) {
    return Transfer(pipe, done, const_cast<void*>(buffer), bytes, timeoutMs, true);
}

}  // namespace wince
