// Control codes of the reference scan service that exist for tests only: they make the service
// misbehave on purpose and report its inner state. Not part of the product's protocol: only the
// test build of the service (KXSVC_TEST_CONTROLS) answers them.
#pragma once

#include <kxcommon/ScanRecords.h>

enum KxServiceTestControl : DWORD {
    KXSVC_TEST_FAULT = KxServiceCode(0x3F0),  // input: KxServiceFault
    KXSVC_TEST_STATE = KxServiceCode(0x3F1),  // output: KxServiceState
};

enum KxServiceFaultMode : DWORD {
    KXSVC_FAULT_NONE = 0,            // clears the fault
    KXSVC_FAULT_REFUSE = 1,          // the request fails
    KXSVC_FAULT_SHORT_ANSWER = 2,    // succeeds, reporting one byte less than the record
    KXSVC_FAULT_LONG_ANSWER = 3,     // succeeds, reporting four bytes more than the record
    KXSVC_FAULT_DELAY = 4,           // waits `param` milliseconds before answering
    KXSVC_FAULT_DIE_AFTER_MOVE = 5,  // quarantine: the host dies between move and record
    KXSVC_FAULT_NO_ANSWER = 6,       // does the work but writes no answer and reports 0 bytes
    KXSVC_FAULT_NO_MEMORY = 7,       // every allocation of the service fails while it answers
};

#pragma pack(push, 1)
struct KxServiceFault {
    DWORD code;   // the control code to affect; 0 for every code
    DWORD mode;   // KxServiceFaultMode
    DWORD count;  // how many requests it affects; 0 for all until cleared
    DWORD param;
};

struct KxServiceState {
    DWORD running;       // 1 between Start and Stop
    DWORD notification;  // last SetNotification value
    DWORD archiveFlag;   // last SetArchiveFlag word
    DWORD hasSchedule;   // 1 while an update time is set
    SYSTEMTIME schedule;
    DWORD mgiEvents;          // detections since the last MgiClean
    DWORD lastProtectLength;  // length of the last protect request
    DWORD requests;           // control requests answered since load
};
#pragma pack(pop)
static_assert(sizeof(KxServiceFault) == 16, "fault record");
static_assert(sizeof(KxServiceState) == 44, "state record");

namespace kxsvc {

// While one lives with `fail` set, every allocation of the test build of the service fails, as
// on a device out of memory (KXSVC_FAULT_NO_MEMORY). The service as shipped allocates as usual.
#if defined(KXSVC_TEST_CONTROLS)
class AllocationsFail {
public:
    explicit AllocationsFail(bool fail);
    ~AllocationsFail();
    AllocationsFail(const AllocationsFail&) = delete;
    AllocationsFail& operator=(const AllocationsFail&) = delete;
};
#else
struct AllocationsFail {
    explicit AllocationsFail(bool) {}
};
#endif

}  // namespace kxsvc
