// The test build of kxcommon.dll counts every allocation made in it and can make one of them
// fail, the way a handset that runs out of memory would. The release build has none of this. A
// test program routes its own allocations through the same counters (see KxFaultAllocate), so
// memory the library hands out and the caller frees is counted once each way.
//
// Every way the library allocates is counted, each as its own route: the C++ allocation
// functions in all their forms; BSTRs (SysAllocString and its kin, released by SysFreeString or
// VariantClear); the COM task allocator (CoTaskMemAlloc, CoTaskMemRealloc, CoTaskMemFree); the
// C run-time's heap (malloc, calloc, realloc, _strdup, free) and its file streams (_wfopen and
// fopen, released by fclose); and local memory (LocalAlloc, LocalReAlloc, LocalFree). The
// routes other than the C++ ones are the library's imports, pointed at counting versions when
// the test build is loaded. A block the library did not allocate itself (a BSTR that the XML
// DOM hands over, say) is released without being counted.
#pragma once

#include "kxcommon/KxExport.h"

#include <cstddef>

enum KxAllocationRoute {
    KX_ROUTE_NEW,       // operator new and new[], throwing, nothrow and aligned
    KX_ROUTE_BSTR,      // SysAllocString, SysAllocStringLen, SysAllocStringByteLen, SysReAlloc...
    KX_ROUTE_TASKMEM,   // CoTaskMemAlloc, CoTaskMemRealloc
    KX_ROUTE_CRT_HEAP,  // malloc, calloc, realloc, _strdup
    KX_ROUTE_STREAM,    // _wfopen, fopen
    KX_ROUTE_LOCAL,     // LocalAlloc, LocalReAlloc
    KX_ROUTE_COUNT
};

struct KxFaultCounts {
    unsigned long long allocations[KX_ROUTE_COUNT];  // allocations that succeeded
    unsigned long long releases[KX_ROUTE_COUNT];     // counted blocks released
    unsigned long long failures[KX_ROUTE_COUNT];     // allocations made to fail
};

// From now on the `nth` allocation (1: the next one), whatever its route, fails as that route
// fails: the throwing forms of operator new throw std::bad_alloc, the others give null (a file
// stream: null with errno ENOMEM). Only that one fails; 0 disarms.
KXCOMMON_CAPI void KxFaultArm(unsigned long nth);
// The counts since the process started.
KXCOMMON_CAPI KxFaultCounts KxFaultRead();
// The library's imports that were pointed at the counters: how many of the route's functions
// the library imports. A route the library does not use counts 0.
KXCOMMON_CAPI unsigned long KxFaultRouteImports(KxAllocationRoute route);
// The counters for a test program's own operator new and delete: its allocations are counted
// but never made to fail (null only when the heap itself has no memory).
KXCOMMON_CAPI void* KxFaultAllocate(size_t bytes);
KXCOMMON_CAPI void KxFaultRelease(void* block);
