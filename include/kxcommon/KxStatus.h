// Status codes returned by kxcommon.
//
// A status is a signed 32-bit integer; 0 is success. A failure carries its error number in the
// upper 16 bits and, rarely, a detail in the lower 16 bits. Operations that follow the other
// convention (nonzero for success, as in the encodings and the XML reader) say so in their
// headers; the scan service's own answers are passed through unchanged where KxService says so.
#pragma once

typedef int KXSTATUS;

enum : KXSTATUS {
    KX_OK = 0,

    // Registry and caller lists.
    KX_E_REGISTRY = 0x30000,         // key or value unreadable, missing, too large; write refused
    KX_E_NO_MATCH = 0x30101,         // QueryKeyExist: no value of that name or tail
    KX_E_ARRAY_TOO_SMALL = 0x30500,  // caller's record array holds fewer entries than needed

    // Scan service.
    KX_E_SERVICE_NOT_FOUND = 0x70000,  // scan service neither running nor loadable
    KX_E_SERVICE_REQUEST = 0xB0000,    // control request failed or answered with a wrong length

    // SMS listener registration.
    KX_E_SMSLSN_FAILED = 0xC0000,      // the module's registration entry reported failure
    KX_E_SMSLSN_NOT_LOADED = 0xC0001,  // the listener module could not be loaded
    KX_E_SMSLSN_NO_ENTRY = 0xC0002,    // the registration entry point is missing

    KX_E_INVALIDARG = 0xF0000,  // a required pointer or callback is null

    // Programs of the product started by the library.
    KX_E_PROGRAM_NOT_STARTED = 0x160000,      // hook loader (real-time scan) or helper not started
    KX_E_RTSCAN_START_TIMEOUT = 0x170000,     // hook loader still running after the wait (start)
    KX_E_RTSCAN_STOP_TIMEOUT = 0x180000,      // hook loader still running after the wait (stop)
    KX_E_WAPFILTER_START_TIMEOUT = 0x1B0000,  // hook loader still running after the wait (start)
    KX_E_WAPFILTER_STOP_TIMEOUT = 0x1C0000,   // hook loader still running after the wait (stop)
    KX_E_WAPFILTER_NOT_STARTED = 0x1D0000,    // hook loader not started for the WAP-push filter

    // Startup-folder tests.
    KX_E_PATH_TOO_SHORT = 0x230000,  // path empty or too short to name a file
    KX_E_NO_STARTUP_DIR = 0x240000,  // the Startup folder is not known
    KX_E_NOT_IN_STARTUP = 0x250000,  // the path does not lie in the Startup folder
};
