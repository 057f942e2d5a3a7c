#include "MemoryProbe.h"

#include "kxplatform.h"

#include <cstdint>

namespace kx {
namespace {

constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                            PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
constexpr DWORD kWritable =
    PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

// Walks the regions that cover [p, p + bytes) and requires each to be committed with one of the
// wanted protections and without a guard page.
bool RangeHasProtection(const void* p, size_t bytes, DWORD wanted) {
    if (p == nullptr || bytes == 0) return false;
    auto at = reinterpret_cast<uintptr_t>(p);
    const uintptr_t end = at + bytes;
    if (end < at) return false;  // wraps the address space
    while (at < end) {
        MEMORY_BASIC_INFORMATION info{};
        if (::VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info) == 0)
            return false;
        if (info.State != MEM_COMMIT) return false;
        if ((info.Protect & PAGE_GUARD) != 0 || (info.Protect & wanted) == 0) return false;
        at = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
    }
    return true;
}

}  // namespace

bool IsReadableRange(const void* p, size_t bytes) {
    return RangeHasProtection(p, bytes, kReadable);
}
bool IsWritableRange(void* p, size_t bytes) { return RangeHasProtection(p, bytes, kWritable); }

}  // namespace kx
