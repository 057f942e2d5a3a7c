// The test build of kxcommon.dll counts the C++ allocations made in it and can make one of
// them fail, the way a handset that runs out of memory would. The release build has none of
// this. A test program routes its own allocations through the same counters (see
// KxFaultAllocate), so memory the library hands out and the caller frees is counted once each
// way.
#pragma once

#include "kxcommon/KxExport.h"

#include <cstddef>

struct KxFaultCounts {
    unsigned long long allocations;  // allocations that succeeded
    unsigned long long releases;     // non-null blocks released
    unsigned long long failures;     // allocations made to fail
};

// From now on the `nth` allocation (1: the next one) fails: the throwing forms throw
// std::bad_alloc, the nothrow forms give null. Only that one fails; 0 disarms.
KXCOMMON_CAPI void KxFaultArm(unsigned long nth);
// The counts since the process started.
KXCOMMON_CAPI KxFaultCounts KxFaultRead();
// The counters for a test program's own operator new and delete: its allocations are counted
// but never made to fail (null only when the heap itself has no memory).
KXCOMMON_CAPI void* KxFaultAllocate(size_t bytes);
KXCOMMON_CAPI void KxFaultRelease(void* block);
