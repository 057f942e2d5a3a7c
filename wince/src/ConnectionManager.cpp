// The connection manager over the device profile: a request succeeds or fails as staged, and
// the device keeps count of the connections held and released, with the last request made, so
// what a program asked for can be seen from outside it.
#include "wince/wince.h"

#include "Profile.h"

#include <mutex>
#include <set>

namespace {

using namespace wince;

struct Connection {
    int unused;
};

std::mutex gLock;
std::set<Connection*> gHeld;

void Count(const wchar_t* name, int delta) {
    const DWORD now = profile::NumberOr(name, 0);
    profile::WriteNumber(name, static_cast<DWORD>(static_cast<long>(now) + delta));
}

}  // namespace

extern "C" {

HRESULT WINAPI ConnMgrEstablishConnectionSync(CONNMGR_CONNECTIONINFO* request, HANDLE* connection,
                                              DWORD timeout, DWORD* status) {
    if (request == nullptr || connection == nullptr || status == nullptr ||
        request->cbSize != sizeof(CONNMGR_CONNECTIONINFO))
        return E_INVALIDARG;
    std::lock_guard<std::mutex> hold(gLock);
    profile::WriteBytes(profile::kLastRequest, request, sizeof *request);
    profile::WriteNumber(profile::kLastTimeout, timeout);
    const HRESULT result =
        static_cast<HRESULT>(profile::NumberOr(profile::kConnectResult, S_OK));
    if (FAILED(result)) {
        *connection = nullptr;
        *status = CONNMGR_STATUS_CONNECTIONFAILED;
        return result;
    }
    Connection* held = new Connection{0};
    gHeld.insert(held);
    Count(profile::kConnectionsHeld, +1);
    *connection = reinterpret_cast<HANDLE>(held);
    *status = CONNMGR_STATUS_CONNECTED;
    return result;
}

HRESULT WINAPI ConnMgrReleaseConnection(HANDLE connection, LONG) {
    std::lock_guard<std::mutex> hold(gLock);
    Connection* held = reinterpret_cast<Connection*>(connection);
    if (gHeld.erase(held) == 0) return E_HANDLE;
    delete held;
    Count(profile::kConnectionsHeld, -1);
    Count(profile::kConnectionsReleased, +1);
    return S_OK;
}

}  // extern "C"
