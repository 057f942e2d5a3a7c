// Services over desktop Windows: each loaded service lives in a host process of its own
// (kxsvchost.exe, beside this module) that answers control requests on a named pipe, so every
// process of the device reaches the one instance.
#include "wince/wince.h"

#include "OutOfMemory.h"
#include "PipeIo.h"
#include "ServiceWire.h"
#include "internal/ScopedHandle.h"

#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace wince;

constexpr wchar_t kHostProgram[] = L"kxsvchost.exe";
constexpr wchar_t kDeviceRoot[] = L"C:\\";  // the device's file system, where services run
constexpr DWORD kHostStartTimeoutMs = 30000;
constexpr DWORD kHostExitTimeoutMs = 10000;
constexpr DWORD kPipeBusyRetryMs = 1000;

struct Answer {
    wire::Reply reply{};
    std::vector<BYTE> out;
};

// An open connection to a host, with the event its transfers wait on; closed once, when its
// owner goes, unless handed back to the pool.
class Connection {
public:
    HANDLE pipe() const { return pipe_.Get(); }
    HANDLE done() const { return done_.Get(); }

    bool Open(const std::wstring& pipeName) {
        Close();
        const DWORD start = ::GetTickCount();
        for (;;) {
            pipe_.Reset(::CreateFileW(pipeName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
            if (pipe_) break;
            // Busy means the host is there but between two callers; anything else means no host.
            if (::GetLastError() != ERROR_PIPE_BUSY ||
                ::GetTickCount() - start > wire::kConnectTimeoutMs)
                return false;
            ::WaitNamedPipeW(pipeName.c_str(), kPipeBusyRetryMs);
        }
        done_.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (done_) return true;
        Close();
        return false;
    }

private:
    void Close() {
        pipe_.Reset();
        done_.Reset();
    }

    kx::UniqueFile pipe_;
    kx::UniqueHandle done_;
};

// Connections to hosts are kept open between requests and shared by the threads of the
// process, one request at a time on each; a connection that broke is dropped.
class ConnectionPool {
public:
    ConnectionPool() { ::InitializeCriticalSection(&lock_); }
    ~ConnectionPool() { ::DeleteCriticalSection(&lock_); }

    // An idle connection to the host behind `pipeName`, or a new one (`fresh`).
    bool Take(const std::wstring& pipeName, Connection* c, bool* fresh) {
        {
            const Locked hold(lock_);
            const auto idle = idle_.find(pipeName);
            *fresh = idle == idle_.end() || idle->second.empty();
            if (!*fresh) {
                *c = std::move(idle->second.back());
                idle->second.pop_back();
            }
        }
        return !*fresh || c->Open(pipeName);
    }

    // Keeps the connection for the next request; one the pool has no room (or no memory) for
    // stays with the caller, who closes it. The request it carried is done whatever happens
    // here, so nothing leaves this call.
    void Give(const std::wstring& pipeName, Connection&& c) noexcept {
        const Locked hold(lock_);
        kx::Boundary([&] {
            std::vector<Connection>& idle = idle_[pipeName];
            if (idle.size() < kMaxIdlePerHost) idle.push_back(std::move(c));
        });
    }

private:
    class Locked {
    public:
        explicit Locked(CRITICAL_SECTION& lock) : lock_(lock) { ::EnterCriticalSection(&lock_); }
        ~Locked() { ::LeaveCriticalSection(&lock_); }
        Locked(const Locked&) = delete;
        Locked& operator=(const Locked&) = delete;

    private:
        CRITICAL_SECTION& lock_;
    };

    static constexpr size_t kMaxIdlePerHost = 8;
    CRITICAL_SECTION lock_;
    std::map<std::wstring, std::vector<Connection>> idle_;
};

ConnectionPool& Pool() {
    static ConnectionPool pool;
    return pool;
}

// One request and its reply. False when the host is not there or the exchange broke off.
bool Transact(const wire::Instance& instance, const wire::Request& request, const void* in,
              const void* out, Answer* answer) {
    std::vector<BYTE> message(sizeof request + request.inLen + request.outLen);
    std::memcpy(message.data(), &request, sizeof request);
    if (request.inLen != 0) std::memcpy(&message[sizeof request], in, request.inLen);
    if (request.outLen != 0)
        std::memcpy(&message[sizeof request + request.inLen], out, request.outLen);

    const std::wstring pipeName = wire::PipeName(instance);
    // Room for the answer of a control request is made before the request goes: once the
    // service has acted, nothing may fail for want of memory.
    answer->out.reserve(request.outLen);
    Connection c;
    bool fresh = false;
    if (!Pool().Take(pipeName, &c, &fresh)) return false;
    // A kept connection may belong to a host that has gone since; a request that could not even
    // be written was never seen, so it goes once more on a new connection.
    while (!WriteExactly(c.pipe(), c.done(), message.data(), static_cast<DWORD>(message.size()),
                         wire::kRequestTimeoutMs)) {
        if (fresh || !c.Open(pipeName)) return false;
        fresh = true;
    }
    // A connection whose exchange broke off is closed with its owner, never kept.
    if (!ReadExactly(c.pipe(), c.done(), &answer->reply, sizeof answer->reply,
                     wire::kRequestTimeoutMs) ||
        answer->reply.magic != wire::kMagic || answer->reply.outLen > wire::kMaxBytes)
        return false;
    answer->out.resize(answer->reply.outLen);
    if (answer->reply.outLen != 0 && !ReadExactly(c.pipe(), c.done(), answer->out.data(),
                                                  answer->reply.outLen, wire::kRequestTimeoutMs))
        return false;
    Pool().Give(pipeName, std::move(c));
    return true;
}

bool Ping(const wire::Instance& instance, Answer* answer) {
    const wire::Request ping{wire::kMagic, wire::kPing, 0, 0, 0, 0, 0};
    return Transact(instance, ping, nullptr, nullptr, answer) && answer->reply.ok != 0;
}

std::wstring HostPath() {
    HMODULE self = nullptr;
    ::GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&HostPath), &self);
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(self, path, MAX_PATH);
    std::wstring dir = path;
    return dir.substr(0, dir.find_last_of(L'\\') + 1) + kHostProgram;
}

std::wstring ReadyEventName() {
    static volatile LONG counter = 0;
    return L"kxce-service-ready-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(::GetTickCount()) + L"-" +
           std::to_wstring(::InterlockedIncrement(&counter));
}

// Ends a host just started, unless the caller keeps it.
class HostUnlessKept {
public:
    explicit HostUnlessKept(HANDLE process) : process_(process) {}
    ~HostUnlessKept() {
        if (process_ == nullptr) return;
        ::TerminateProcess(process_, ERROR_OUTOFMEMORY);
        ::WaitForSingleObject(process_, kHostExitTimeoutMs);
    }
    HostUnlessKept(const HostUnlessKept&) = delete;
    HostUnlessKept& operator=(const HostUnlessKept&) = delete;
    void Keep() { process_ = nullptr; }

private:
    HANDLE process_;
};

HANDLE Fail(DWORD error, HANDLE result) {
    ::SetLastError(error);
    return result;
}

}  // namespace

extern "C" {

HANDLE GetServiceHandle(LPWSTR szPrefix, LPWSTR szDllName, DWORD* pdwDllBuf) {
    return wince::OrOutOfMemory(INVALID_HANDLE_VALUE, [&]() -> HANDLE {
        wire::Instance instance;
        if (!wire::ParseInstanceName(szPrefix, &instance))
            return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
        Answer answer;
        if (!Ping(instance, &answer)) return Fail(ERROR_DEV_NOT_EXIST, INVALID_HANDLE_VALUE);
        if (pdwDllBuf != nullptr) {
            const DWORD needed = static_cast<DWORD>(answer.out.size());
            if (szDllName != nullptr && *pdwDllBuf >= needed && needed != 0)
                std::memcpy(szDllName, answer.out.data(), needed);
            *pdwDllBuf = needed;
        }
        const HANDLE handle = wire::MakeHandle(instance, answer.reply.hostPid);
        return handle != nullptr ? handle : Fail(ERROR_TOO_MANY_OPEN_FILES, INVALID_HANDLE_VALUE);
    });
}

HANDLE RegisterService(LPCWSTR lpszType, DWORD dwIndex, LPCWSTR lpszLib, DWORD dwInfo) {
    return wince::OrOutOfMemory(static_cast<HANDLE>(nullptr), [&]() -> HANDLE {
        wire::Instance instance;
        if (!wire::ParsePrefix(lpszType, dwIndex, &instance) || lpszLib == nullptr ||
            lpszLib[0] == L'\0')
            return Fail(ERROR_INVALID_PARAMETER, nullptr);
        Answer running;
        if (Ping(instance, &running)) return Fail(ERROR_DEVICE_IN_USE, nullptr);

        const std::wstring readyName = ReadyEventName();
        kx::UniqueHandle ready(::CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
        if (!ready) return Fail(::GetLastError(), nullptr);

        const std::wstring host = HostPath();
        std::wstring commandLine = L"\"" + host + L"\" " + instance.prefix + L" " +
                                   std::to_wstring(dwIndex) + L" " + std::to_wstring(dwInfo) +
                                   L" " + readyName + L" \"" + lpszLib + L"\"";
        // Nothing is inherited, not even the standard handles: a host outlives its caller and must
        // not keep the caller's pipes open.
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        PROCESS_INFORMATION process{};
        if (!::CreateProcessW(host.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                              DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP, nullptr, kDeviceRoot,
                              &startup, &process))
            return Fail(ERROR_FILE_NOT_FOUND, nullptr);
        kx::UniqueHandle thread(process.hThread);
        kx::UniqueHandle hostProcess(process.hProcess);

        const HANDLE waits[] = {ready.Get(), hostProcess.Get()};
        switch (::WaitForMultipleObjects(2, waits, FALSE, kHostStartTimeoutMs)) {
        case WAIT_OBJECT_0: {
            // A service this call cannot hand a handle to (not even for want of memory) is
            // unloaded again: a failed load leaves no service behind.
            HostUnlessKept loaded(hostProcess.Get());
            const HANDLE handle = wire::MakeHandle(instance, process.dwProcessId);
            if (handle == nullptr) return Fail(ERROR_TOO_MANY_OPEN_FILES, nullptr);
            loaded.Keep();
            return handle;
        }
        case WAIT_OBJECT_0 + 1: {
            // The host exits with the reason the service could not be loaded.
            DWORD code = ERROR_OPEN_FAILED;
            ::GetExitCodeProcess(hostProcess.Get(), &code);
            return Fail(code, nullptr);
        }
        default:
            ::TerminateProcess(hostProcess.Get(), ERROR_TIMEOUT);
            return Fail(ERROR_TIMEOUT, nullptr);
        }
    });
}

BOOL DeregisterService(HANDLE hDevice) {
    return wince::OrOutOfMemory(FALSE, [&]() -> BOOL {
        wire::Instance instance;
        DWORD hostPid = 0;
        if (!wire::ParseHandle(hDevice, &instance, &hostPid)) {
            ::SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        kx::UniqueHandle host(::OpenProcess(SYNCHRONIZE, FALSE, hostPid));
        const wire::Request deinit{wire::kMagic, wire::kDeinit, hostPid, 0, 0, 0, 0};
        Answer answer;
        if (!Transact(instance, deinit, nullptr, nullptr, &answer) || answer.reply.ok == 0) {
            ::SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        // Unloading ends with the host; wait for it so a new instance can be loaded at once.
        if (host) ::WaitForSingleObject(host.Get(), kHostExitTimeoutMs);
        return TRUE;
    });
}

BOOL ServiceIoControl(HANDLE hService, DWORD dwIoControlCode, LPVOID lpInBuf, DWORD nInBufSize,
                      LPVOID lpOutBuf, DWORD nOutBufSize, LPDWORD lpBytesReturned,
                      LPOVERLAPPED lpOverlapped) {
    return wince::OrOutOfMemory(FALSE, [&]() -> BOOL {
        wire::Instance instance;
        DWORD hostPid = 0;
        if (!wire::ParseHandle(hService, &instance, &hostPid)) {
            ::SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        const DWORD inLen = lpInBuf != nullptr ? nInBufSize : 0;
        const DWORD outLen = lpOutBuf != nullptr ? nOutBufSize : 0;
        if (lpOverlapped != nullptr || inLen > wire::kMaxBytes || outLen > wire::kMaxBytes) {
            ::SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        DWORD flags = 0;
        if (lpInBuf != nullptr) flags |= wire::kHasInput;
        if (lpOutBuf != nullptr) flags |= wire::kHasOutput;
        if (lpBytesReturned != nullptr) flags |= wire::kWantsByteCount;
        const wire::Request request{
            wire::kMagic, wire::kIoControl, hostPid, dwIoControlCode, flags, inLen, outLen};
        Answer answer;
        if (!Transact(instance, request, lpInBuf, lpOutBuf, &answer)) {
            ::SetLastError(ERROR_BROKEN_PIPE);
            return FALSE;
        }
        // The service wrote into the caller's buffer as it would on the device, also on failure.
        if (outLen != 0)
            std::memcpy(lpOutBuf, answer.out.data(),
                        answer.out.size() < outLen ? answer.out.size() : outLen);
        if (lpBytesReturned != nullptr) *lpBytesReturned = answer.reply.bytesReturned;
        if (answer.reply.ok == 0) ::SetLastError(answer.reply.lastError);
        return answer.reply.ok != 0 ? TRUE : FALSE;
    });
}

}  // extern "C"
