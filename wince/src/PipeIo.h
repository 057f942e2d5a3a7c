// Reads and writes on an overlapped pipe handle that give up after a time limit, so neither a
// caller nor the host waits forever on a peer that died or hangs. `done` is a manual-reset
// event the connection keeps for its transfers.
#pragma once

#include "wince/wince.h"

namespace wince {

constexpr DWORD kWaitForever = INFINITE;

// Moves exactly `bytes` bytes; false on a broken pipe, any other failure, or the time limit.
bool ReadExactly(HANDLE pipe, HANDLE done, void* buffer, DWORD bytes, DWORD timeoutMs);
bool WriteExactly(HANDLE pipe, HANDLE done, const void* buffer, DWORD bytes, DWORD timeoutMs);

}  // namespace wince
