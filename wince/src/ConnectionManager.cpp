// The connection manager over the device profile: a request succeeds or fails as staged, and
// the device keeps count of the connections held and released, with the last request made, so
// what a program asked for can be seen from outside it.
#include "wince/wince.h"

#include "OutOfMemory.h"
#include "Profile.h"

#include <memory>
#include <mutex>
#include <set>

namespace {

using namespace wince;

struct Connection {
    int unused;
};

std::mutex gHeldLock;
std::set<Connection*> gHeld;

// A counter of the profile, read before a change is made and written after it, so that a
// change refused for want of memory leaves the counts as they were.
class Counter {
public:
    explicit Counter(const wchar_t* name) : name_(name), now_(profile::NumberOr(name, 0)) {}
    void Add(int delta) {
        profile::WriteNumber(name_, static_cast<DWORD>(static_cast<long>(now_) + delta));
    }

private:
    const wchar_t* name_;
    DWORD now_;
};

}  // namespace

extern "C" {

HRESULT WINAPI ConnMgrEstablishConnectionSync(CONNMGR_CONNECTIONINFO* request, HANDLE* connection,
                                              DWORD timeout, DWORD* status) {
    return wince::OrOutOfMemory(E_OUTOFMEMORY, [&]() -> HRESULT {
        if (request == nullptr || connection == nullptr || status == nullptr ||
            request->cbSize != sizeof(CONNMGR_CONNECTIONINFO))
            return E_INVALIDARG;
        std::lock_guard<std::mutex> hold(gHeldLock);
        const HRESULT result =
            static_cast<HRESULT>(profile::NumberOr(profile::kConnectResult, S_OK));
        // The connection is made before anything is recorded: a request the device has no
        // memory for leaves no trace.
        std::unique_ptr<Connection> held(SUCCEEDED(result) ? new Connection{0} : nullptr);
        if (held) gHeld.insert(held.get());
        profile::WriteBytes(profile::kLastRequest, request, sizeof *request);
        profile::WriteNumber(profile::kLastTimeout, timeout);
        if (FAILED(result)) {
            *connection = nullptr;
            *status = CONNMGR_STATUS_CONNECTIONFAILED;
            return result;
        }
        Counter heldCount(profile::kConnectionsHeld);
        heldCount.Add(+1);
        *connection = reinterpret_cast<HANDLE>(held.release());
        *status = CONNMGR_STATUS_CONNECTED;
        return result;
    });
}

HRESULT WINAPI ConnMgrReleaseConnection(HANDLE connection, LONG cacheTime) {
    return wince::OrOutOfMemory(E_OUTOFMEMORY, [&]() -> HRESULT {
        std::lock_guard<std::mutex> hold(gHeldLock);
        Connection* held = reinterpret_cast<Connection*>(connection);
        if (gHeld.count(held) == 0) return E_HANDLE;
        Counter heldCount(profile::kConnectionsHeld);
        Counter releasedCount(profile::kConnectionsReleased);
        gHeld.erase(held);
        delete held;
        heldCount.Add(-1);
        releasedCount.Add(+1);
        profile::WriteNumber(profile::kLastReleaseCache, static_cast<DWORD>(cacheTime));
        return S_OK;
    });
}

}  // extern "C"
