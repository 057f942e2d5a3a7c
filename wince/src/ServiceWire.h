// What crosses the pipe between a service's callers and the host process that has the service
// loaded. Internal to the platform layer.
#pragma once

#include "wince/wince.h"

#include <cstdint>
#include <string>

namespace wince {
namespace wire {

constexpr DWORD kMagic = 0x5653584B;         // "KXSV"
constexpr DWORD kMaxBytes = 1u << 20;        // largest input or output buffer a request may carry
constexpr DWORD kRequestTimeoutMs = 120000;  // a host that stops answering fails the call
constexpr DWORD kConnectTimeoutMs = 10000;

enum Op : DWORD {
    kPing = 1,       // is the service there: answers its process id and DLL name
    kIoControl = 2,  // one control request
    kDeinit = 3,     // call Deinit and unload
};

enum Flags : DWORD {
    kHasInput = 1,        // the caller gave an input buffer
    kHasOutput = 2,       // the caller gave an output buffer
    kWantsByteCount = 4,  // the caller gave a byte counter
};

#pragma pack(push, 1)
// Followed by `inLen` input bytes, then `outLen` bytes: the output buffer as the caller holds it,
// since a service may read what it is about to overwrite.
struct Request {
    DWORD magic;
    DWORD op;
    DWORD hostPid;  // the instance the caller's handle names; another instance refuses
    DWORD code;
    DWORD flags;
    DWORD inLen;
    DWORD outLen;
};
// Followed by `outLen` bytes: the whole output buffer after the call (for a ping, the DLL name).
struct Reply {
    DWORD magic;
    DWORD ok;
    DWORD lastError;
    DWORD bytesReturned;
    DWORD hostPid;
    DWORD outLen;
};
#pragma pack(pop)
static_assert(sizeof(Request) == 28, "request header");
static_assert(sizeof(Reply) == 24, "reply header");

// Instance name parts: a three-character prefix and an index 0 to 9.
struct Instance {
    wchar_t prefix[4];
    DWORD index;
};

bool ParsePrefix(LPCWSTR prefix, DWORD index, Instance* out);
// "SAV0:" (the colon is optional).
bool ParseInstanceName(LPCWSTR name, Instance* out);

std::wstring PipeName(const Instance& instance);
std::wstring ClaimName(const Instance& instance);  // mutex held by the host while loaded

// Handles name the instance and the host's process id for this process, so a handle of an
// unloaded instance is refused by a later one; another process gets its own handle, as on the
// device. Null when the process has met too many hosts.
HANDLE MakeHandle(const Instance& instance, DWORD hostPid);
bool ParseHandle(HANDLE handle, Instance* instance, DWORD* hostPid);

}  // namespace wire
}  // namespace wince
