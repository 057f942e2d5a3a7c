// kxsvchost: the host process of one service. It loads the service DLL, calls its Init, and
// answers control requests from every process of the device on the instance's named pipe, one
// request at a time, until it is told to unload the service.
//
// Command line: PREFIX INDEX CONTEXT READY-EVENT "DLL". The exit code says why a service could
// not be loaded (the error RegisterService then reports).
#include "wince/wince.h"

#include "../src/PipeIo.h"
#include "../src/ServiceWire.h"
#include "internal/ScopedHandle.h"

#include <shellapi.h>

#include <string>
#include <vector>

namespace {

using namespace wince;

constexpr DWORD kPipeBufferBytes = 64 * 1024;
constexpr DWORD kPeerTimeoutMs = 30000;

struct Service {
    wire::Instance instance{};
    std::wstring dll;
    DWORD context = 0;
    PFN_SERVICE_DEINIT deinit = nullptr;
    PFN_SERVICE_IOCONTROL ioControl = nullptr;
    CRITICAL_SECTION lock;  // the service sees one request at a time
};

Service g_service;

HANDLE CreateInstance(bool first) {
    const std::wstring name = wire::PipeName(g_service.instance);
    return ::CreateNamedPipeW(
        name.c_str(),
        PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES, kPipeBufferBytes,
        kPipeBufferBytes, 0, nullptr);
}

// A caller's connection: requests come one after another until the caller closes it.
struct Peer {
    HANDLE pipe;
    HANDLE done;
};

bool SendReply(const Peer& peer, wire::Reply reply, const void* out) {
    reply.magic = wire::kMagic;
    reply.hostPid = ::GetCurrentProcessId();
    std::vector<BYTE> message(sizeof reply + reply.outLen);
    memcpy(message.data(), &reply, sizeof reply);
    if (reply.outLen != 0) memcpy(&message[sizeof reply], out, reply.outLen);
    return WriteExactly(peer.pipe, peer.done, message.data(), static_cast<DWORD>(message.size()),
                        kPeerTimeoutMs);
}

// Answers one request; false when the connection is done with.
bool ServeOne(const Peer& peer) {
    wire::Request request{};
    // A kept connection may stay quiet for as long as its caller lives.
    if (!ReadExactly(peer.pipe, peer.done, &request, sizeof request, kWaitForever) ||
        request.magic != wire::kMagic || request.inLen > wire::kMaxBytes ||
        request.outLen > wire::kMaxBytes)
        return false;
    std::vector<BYTE> in(request.inLen);
    std::vector<BYTE> out(request.outLen);
    if ((request.inLen != 0 &&
         !ReadExactly(peer.pipe, peer.done, in.data(), request.inLen, kPeerTimeoutMs)) ||
        (request.outLen != 0 &&
         !ReadExactly(peer.pipe, peer.done, out.data(), request.outLen, kPeerTimeoutMs)))
        return false;

    wire::Reply reply{};
    if (request.op == wire::kPing) {
        reply.ok = TRUE;
        reply.outLen = static_cast<DWORD>((g_service.dll.size() + 1) * sizeof(wchar_t));
        return SendReply(peer, reply, g_service.dll.c_str());
    }
    if (request.hostPid != ::GetCurrentProcessId()) {
        // A handle of an earlier instance of this service.
        reply.lastError = ERROR_INVALID_HANDLE;
        return SendReply(peer, reply, nullptr);
    }
    if (request.op == wire::kDeinit) {
        ::EnterCriticalSection(&g_service.lock);
        g_service.deinit(g_service.context);
        reply.ok = TRUE;
        SendReply(peer, reply, nullptr);
        ::FlushFileBuffers(peer.pipe);  // the caller has its answer before the host goes
        ::ExitProcess(0);
    }
    if (request.op != wire::kIoControl) return false;

    DWORD actual = 0;
    ::EnterCriticalSection(&g_service.lock);
    ::SetLastError(ERROR_SUCCESS);
    reply.ok = g_service.ioControl(
        g_service.context, request.code,
        (request.flags & wire::kHasInput) != 0 ? in.data() : nullptr, request.inLen,
        (request.flags & wire::kHasOutput) != 0 ? out.data() : nullptr, request.outLen,
        (request.flags & wire::kWantsByteCount) != 0 ? &actual : nullptr);
    reply.lastError = ::GetLastError();
    ::LeaveCriticalSection(&g_service.lock);
    reply.ok = reply.ok != 0 ? TRUE : FALSE;
    reply.bytesReturned = actual;
    reply.outLen = request.outLen;
    return SendReply(peer, reply, out.data());
}

// Serves a connected pipe instance, which it owns from here on.
DWORD WINAPI ServeConnection(LPVOID parameter) {
    const kx::UniqueFile pipe(static_cast<HANDLE>(parameter));
    const kx::UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (done) {
        const Peer peer{pipe.Get(), done.Get()};
        // Without memory for a request (its buffers, its answer) this caller's connection ends,
        // and the caller sees its request fail; the host goes on serving every other caller.
        try {
            while (ServeOne(peer)) {
            }
        } catch (...) {
        }
    }
    ::DisconnectNamedPipe(pipe.Get());
    return 0;
}

bool WaitForCaller(HANDLE pipe) {
    const kx::UniqueHandle connected(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    OVERLAPPED overlapped{};
    overlapped.hEvent = connected.Get();
    if (::ConnectNamedPipe(pipe, &overlapped)) return true;
    switch (::GetLastError()) {
    case ERROR_PIPE_CONNECTED:
        return true;
    case ERROR_IO_PENDING: {
        DWORD ignored = 0;
        return ::GetOverlappedResult(pipe, &overlapped, &ignored, TRUE) != FALSE;
    }
    default:
        return false;
    }
}

DWORD Load(int argc, wchar_t** argv, HANDLE* firstInstance) {
    if (argc != 6) return ERROR_INVALID_PARAMETER;
    const DWORD index = static_cast<DWORD>(_wtoi(argv[2]));
    if (!wire::ParsePrefix(argv[1], index, &g_service.instance)) return ERROR_INVALID_PARAMETER;
    g_service.context = static_cast<DWORD>(wcstoul(argv[3], nullptr, 10));
    g_service.dll = argv[5];

    HMODULE module = ::LoadLibraryW(g_service.dll.c_str());
    if (module == nullptr) return ERROR_FILE_NOT_FOUND;
    char prefix[4] = {};
    for (int i = 0; i < 3; ++i) prefix[i] = static_cast<char>(g_service.instance.prefix[i]);
    const std::string base(prefix);
    auto init = reinterpret_cast<PFN_SERVICE_INIT>(
        reinterpret_cast<void*>(::GetProcAddress(module, (base + "_Init").c_str())));
    g_service.deinit = reinterpret_cast<PFN_SERVICE_DEINIT>(
        reinterpret_cast<void*>(::GetProcAddress(module, (base + "_Deinit").c_str())));
    g_service.ioControl = reinterpret_cast<PFN_SERVICE_IOCONTROL>(
        reinterpret_cast<void*>(::GetProcAddress(module, (base + "_IOControl").c_str())));
    if (init == nullptr || g_service.deinit == nullptr || g_service.ioControl == nullptr)
        return ERROR_INVALID_FUNCTION;

    // One instance per prefix and index on the device; the claim goes with this process.
    const std::wstring claim = wire::ClaimName(g_service.instance);
    HANDLE claimed = ::CreateMutexW(nullptr, TRUE, claim.c_str());
    if (claimed == nullptr || ::GetLastError() == ERROR_ALREADY_EXISTS) return ERROR_DEVICE_IN_USE;

    const DWORD context = init(g_service.context);
    if (context == 0) return ERROR_OPEN_FAILED;
    g_service.context = context;

    *firstInstance = CreateInstance(true);
    if (*firstInstance == INVALID_HANDLE_VALUE) {
        g_service.deinit(g_service.context);
        return ERROR_DEVICE_IN_USE;
    }
    return ERROR_SUCCESS;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argv == nullptr) return ERROR_INVALID_PARAMETER;
    ::InitializeCriticalSection(&g_service.lock);

    kx::UniqueFile pipe;
    const DWORD loaded = Load(argc, argv, pipe.Receive());
    if (loaded != ERROR_SUCCESS) return static_cast<int>(loaded);
    const kx::UniqueHandle ready(::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[4]));
    if (ready) ::SetEvent(ready.Get());

    for (;;) {
        if (WaitForCaller(pipe.Get())) {
            // The caller's connection is served, on a thread of its own when one can be had.
            const HANDLE connection = pipe.Release();
            const kx::UniqueHandle worker(
                ::CreateThread(nullptr, 0, ServeConnection, connection, 0, nullptr));
            if (!worker) ServeConnection(connection);
        }
        pipe.Reset();  // an instance no caller reached
        while (!pipe) {
            pipe.Reset(CreateInstance(false));
            if (!pipe) ::Sleep(100);
        }
    }
}
