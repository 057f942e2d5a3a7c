// The test build of the scan service: its allocator, which fails every allocation while a
// request runs with KXSVC_FAULT_NO_MEMORY.
#include "ServiceTestHooks.h"

#include <cstdlib>
#include <new>

namespace {

// The host hands requests over one at a time, so one switch serves the whole service.
volatile bool g_allocationsFail = false;

void* Allocate(size_t bytes) noexcept {
    return g_allocationsFail ? nullptr : std::malloc(bytes != 0 ? bytes : 1);
}

void* AllocateOrThrow(size_t bytes) {
    if (void* block = Allocate(bytes)) return block;
    throw std::bad_alloc();
}

}  // namespace

kxsvc::AllocationsFail::AllocationsFail(bool fail) { g_allocationsFail = fail; }
kxsvc::AllocationsFail::~AllocationsFail() { g_allocationsFail = false; }

void* operator new(size_t bytes) { return AllocateOrThrow(bytes); }
void* operator new[](size_t bytes) { return AllocateOrThrow(bytes); }
void* operator new(size_t bytes, const std::nothrow_t&) noexcept { return Allocate(bytes); }
void* operator new[](size_t bytes, const std::nothrow_t&) noexcept { return Allocate(bytes); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
void operator delete[](void* block, size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
