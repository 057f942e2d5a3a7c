// The test build's allocator: every C++ allocation of the library (and of the platform layer
// linked into it) comes here, is counted, and fails when it is the one armed.
#include "AllocationFaults.h"

#include "kxplatform.h"

#include <cstdlib>
#include <new>

namespace {

volatile LONG64 g_allocations = 0;
volatile LONG64 g_releases = 0;
volatile LONG64 g_failures = 0;
// Allocations of the library left until the armed one; 0 when none is armed.
volatile LONG g_countdown = 0;

// True for the armed allocation, which then disarms.
bool Fails() {
    for (;;) {
        const LONG left = g_countdown;
        if (left == 0) return false;
        if (::InterlockedCompareExchange(&g_countdown, left - 1, left) == left) return left == 1;
    }
}

void* Allocate(size_t bytes, bool mayFail) {
    void* block = mayFail && Fails() ? nullptr : std::malloc(bytes != 0 ? bytes : 1);
    ::InterlockedIncrement64(block != nullptr ? &g_allocations : &g_failures);
    return block;
}

void* AllocateOrThrow(size_t bytes) {
    if (void* block = Allocate(bytes, true)) return block;
    throw std::bad_alloc();
}

}  // namespace

void KxFaultArm(unsigned long nth) { ::InterlockedExchange(&g_countdown, static_cast<LONG>(nth)); }

KxFaultCounts KxFaultRead() {
    return KxFaultCounts{static_cast<unsigned long long>(g_allocations),
                         static_cast<unsigned long long>(g_releases),
                         static_cast<unsigned long long>(g_failures)};
}

void* KxFaultAllocate(size_t bytes) { return Allocate(bytes, false); }

void KxFaultRelease(void* block) {
    if (block == nullptr) return;
    ::InterlockedIncrement64(&g_releases);
    std::free(block);
}

// The module's allocation functions, replacing the run-time's.
void* operator new(size_t bytes) { return AllocateOrThrow(bytes); }
void* operator new[](size_t bytes) { return AllocateOrThrow(bytes); }
void* operator new(size_t bytes, const std::nothrow_t&) noexcept { return Allocate(bytes, true); }
void* operator new[](size_t bytes, const std::nothrow_t&) noexcept {
    return Allocate(bytes, true);
}
void operator delete(void* block) noexcept { KxFaultRelease(block); }
void operator delete[](void* block) noexcept { KxFaultRelease(block); }
void operator delete(void* block, size_t) noexcept { KxFaultRelease(block); }
void operator delete[](void* block, size_t) noexcept { KxFaultRelease(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { KxFaultRelease(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { KxFaultRelease(block); }
