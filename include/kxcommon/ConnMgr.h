// The device's data connection to the Internet, through the connection manager, and the kind of
// link the device currently reaches the network over.
#pragma once

#include "KxExport.h"

// Connection-type codes of ConnMgr::GetConnectionType.
enum : int {
    KX_CONNECTION_CELLULAR = 0,    // a cellular adapter, or no adapter gave a verdict
    KX_CONNECTION_LOCAL_LINK = 1,  // USB cable, Bluetooth or infrared (also an empty name)
    KX_CONNECTION_UNKNOWN = 2,     // no verdict for the name; the adapter list is unreadable
};

// Holds at most one connection; copies share the handle. Destroying the object does not
// release the connection: its owner calls Disconnect.
class KXCOMMON_API ConnMgr {
public:
    ConnMgr();

    // Asks the connection manager for an Internet connection, through a proxy if need be, and
    // waits up to 10 seconds. The connection manager's HRESULT, unchanged; the handle is then
    // whatever it wrote (nothing usable on failure). A connection already held is overwritten,
    // not released.
    long ConnectGPRS();
    // Releases the held connection (not kept for reuse) and forgets it; nothing when none.
    void Disconnect();
    // The held connection handle, or null.
    operator void*() const;

    // The link a network adapter of this name stands for: "usb", "bluetooth" or "irda" in
    // any case before "cellular"; only the first 259 bytes of the name count. A null name gives
    // KX_CONNECTION_UNKNOWN.
    static int GetConnectionType(const char* adapterName);
    // The device's link: the first adapter whose name gives a verdict, KX_CONNECTION_CELLULAR
    // when none does, KX_CONNECTION_UNKNOWN when the adapter list cannot be read.
    static int GetConnectionType();

private:
    void* m_connection;
};
