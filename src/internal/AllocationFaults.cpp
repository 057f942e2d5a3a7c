// The test build's allocator: every allocation of the library (and of the platform layer linked
// into it) comes here, is counted by its route, and fails when it is the one armed. The C++
// allocation functions are replaced in this module; the other routes are the module's imports,
// pointed at the counting functions below when the module is loaded.
#include "AllocationFaults.h"

#include "kxplatform.h"

#include <objbase.h>
#include <oleauto.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// ---- Counting -----------------------------------------------------------------------------

volatile LONG64 g_allocations[KX_ROUTE_COUNT];
volatile LONG64 g_releases[KX_ROUTE_COUNT];
volatile LONG64 g_failures[KX_ROUTE_COUNT];
volatile LONG g_imports[KX_ROUTE_COUNT];
// Allocations of the library left until the armed one; 0 when none is armed.
volatile LONG g_countdown = 0;

// True for the armed allocation, which then disarms; counted as a failure of `route`.
bool Fails(KxAllocationRoute route) {
    for (;;) {
        const LONG left = g_countdown;
        if (left == 0) return false;
        if (::InterlockedCompareExchange(&g_countdown, left - 1, left) != left) continue;
        if (left != 1) return false;
        ::InterlockedIncrement64(&g_failures[route]);
        return true;
    }
}

void Counted(KxAllocationRoute route) { ::InterlockedIncrement64(&g_allocations[route]); }

// ---- The blocks of the routes other than operator new -------------------------------------
// What the library allocated through its imports and has not yet released. Only such blocks
// count when released: the XML DOM, say, hands over BSTRs of its own that the library frees.
// Few are alive at a time, so a short list does.

struct Tracked {
    const void* block;
    KxAllocationRoute route;
};
constexpr size_t kMaxTracked = 4096;
Tracked g_tracked[kMaxTracked];
size_t g_trackedCount = 0;
volatile LONG g_trackedLock = 0;

class TrackedLock {
public:
    TrackedLock() {
        while (::InterlockedExchange(&g_trackedLock, 1) != 0) ::Sleep(0);
    }
    ~TrackedLock() { ::InterlockedExchange(&g_trackedLock, 0); }
    TrackedLock(const TrackedLock&) = delete;
    TrackedLock& operator=(const TrackedLock&) = delete;
};

// Counts a block the library received from `route`.
void Track(const void* block, KxAllocationRoute route) {
    if (block == nullptr) return;
    Counted(route);
    const TrackedLock hold;
    // A full list would lose blocks: their releases would go uncounted and show as leaks.
    if (g_trackedCount < kMaxTracked) g_tracked[g_trackedCount++] = Tracked{block, route};
}

// Counts the release of a block the library allocated; other blocks are not counted.
void Untrack(const void* block) {
    if (block == nullptr) return;
    const TrackedLock hold;
    for (size_t i = 0; i < g_trackedCount; ++i) {
        if (g_tracked[i].block != block) continue;
        ::InterlockedIncrement64(&g_releases[g_tracked[i].route]);
        g_tracked[i] = g_tracked[--g_trackedCount];
        return;
    }
}

// ---- The real functions -------------------------------------------------------------------

template <typename Function>
Function RealFunction(const wchar_t* module, const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(module), name)));
}

using MallocFunction = void*(__cdecl*)(size_t);
using FreeFunction = void(__cdecl*)(void*);

// operator new takes its memory from the run-time's heap directly, not through the counted
// import, so that each allocation counts once.
void* HeapAllocate(size_t bytes) {
    static const MallocFunction real = RealFunction<MallocFunction>(L"msvcrt.dll", "malloc");
    return real(bytes != 0 ? bytes : 1);
}
void HeapRelease(void* block) {
    static const FreeFunction real = RealFunction<FreeFunction>(L"msvcrt.dll", "free");
    real(block);
}

void* NewBlock(size_t bytes, bool mayFail) {
    if (mayFail && Fails(KX_ROUTE_NEW)) return nullptr;
    void* block = HeapAllocate(bytes);
    if (block != nullptr) Counted(KX_ROUTE_NEW);
    return block;
}

void* NewBlockOrThrow(size_t bytes) {
    if (void* block = NewBlock(bytes, true)) return block;
    throw std::bad_alloc();
}

// Aligned blocks keep the start of the underlying block just before the aligned address.
void* AlignedBlock(size_t bytes, std::align_val_t alignment, bool mayFail) {
    const size_t align = static_cast<size_t>(alignment) < sizeof(void*)
                             ? sizeof(void*)
                             : static_cast<size_t>(alignment);
    if (bytes > SIZE_MAX - align - sizeof(void*)) return nullptr;
    void* raw = NewBlock(bytes + align + sizeof(void*), mayFail);
    if (raw == nullptr) return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw) + sizeof(void*);
    void** aligned = reinterpret_cast<void**>((start + align - 1) & ~(uintptr_t(align) - 1));
    aligned[-1] = raw;
    return aligned;
}

void* AlignedBlockOrThrow(size_t bytes, std::align_val_t alignment) {
    if (void* block = AlignedBlock(bytes, alignment, true)) return block;
    throw std::bad_alloc();
}

void ReleaseAligned(void* block) {
    if (block != nullptr) KxFaultRelease(static_cast<void**>(block)[-1]);
}

// ---- The counting imports -----------------------------------------------------------------
// Each keeps its platform function's contract; the armed allocation fails as that function
// fails when memory runs out.

MallocFunction g_malloc;
void*(__cdecl* g_calloc)(size_t, size_t);
void*(__cdecl* g_realloc)(void*, size_t);
FreeFunction g_free;
char*(__cdecl* g_strdup)(const char*);
FILE*(__cdecl* g_wfopen)(const wchar_t*, const wchar_t*);
FILE*(__cdecl* g_fopen)(const char*, const char*);
int(__cdecl* g_fclose)(FILE*);
BSTR(WINAPI* g_sysAllocString)(const OLECHAR*);
BSTR(WINAPI* g_sysAllocStringLen)(const OLECHAR*, UINT);
BSTR(WINAPI* g_sysAllocStringByteLen)(LPCSTR, UINT);
INT(WINAPI* g_sysReAllocString)(BSTR*, const OLECHAR*);
INT(WINAPI* g_sysReAllocStringLen)(BSTR*, const OLECHAR*, UINT);
void(WINAPI* g_sysFreeString)(BSTR);
HRESULT(WINAPI* g_variantClear)(VARIANTARG*);
LPVOID(WINAPI* g_coTaskMemAlloc)(SIZE_T);
LPVOID(WINAPI* g_coTaskMemRealloc)(LPVOID, SIZE_T);
void(WINAPI* g_coTaskMemFree)(LPVOID);
HLOCAL(WINAPI* g_localAlloc)(UINT, SIZE_T);
HLOCAL(WINAPI* g_localReAlloc)(HLOCAL, SIZE_T, UINT);
HLOCAL(WINAPI* g_localFree)(HLOCAL);

// One allocation through a counted import: when it is the armed one it fails as its function
// fails for want of memory (`refuse` sets the error that function leaves), and a block being
// reallocated stays as it was; else `make` makes it, the new block is counted, and the block it
// `replaces` (a reallocation's old block) counts as released once the new one is made.
template <typename Make>
auto Allocation(KxAllocationRoute route, void (*refuse)(), Make make,
                const void* replaces = nullptr) -> decltype(make()) {
    if (Fails(route)) {
        refuse();
        return nullptr;
    }
    const auto block = make();
    if (block == nullptr) return block;
    Untrack(replaces);
    Track(block, route);
    return block;
}
void NoCrtMemory() { errno = ENOMEM; }
void NoLocalMemory() { ::SetLastError(ERROR_NOT_ENOUGH_MEMORY); }
void NoError() {}

void* __cdecl CountedMalloc(size_t bytes) {
    return Allocation(KX_ROUTE_CRT_HEAP, NoCrtMemory, [&] { return g_malloc(bytes); });
}

void* __cdecl CountedCalloc(size_t count, size_t bytes) {
    return Allocation(KX_ROUTE_CRT_HEAP, NoCrtMemory, [&] { return g_calloc(count, bytes); });
}

// A reallocation releases the old block and allocates the new one; a failed one keeps the old.
void* __cdecl CountedRealloc(void* block, size_t bytes) {
    if (block != nullptr && bytes == 0) {
        Untrack(block);
        return g_realloc(block, 0);
    }
    return Allocation(
        KX_ROUTE_CRT_HEAP, NoCrtMemory, [&] { return g_realloc(block, bytes); }, block);
}

void __cdecl CountedFree(void* block) {
    Untrack(block);
    g_free(block);
}

char* __cdecl CountedStrdup(const char* text) {
    if (text == nullptr) return g_strdup(text);
    return Allocation(KX_ROUTE_CRT_HEAP, NoCrtMemory, [&] { return g_strdup(text); });
}

FILE* __cdecl CountedWfopen(const wchar_t* path, const wchar_t* mode) {
    return Allocation(KX_ROUTE_STREAM, NoCrtMemory, [&] { return g_wfopen(path, mode); });
}

FILE* __cdecl CountedFopen(const char* path, const char* mode) {
    return Allocation(KX_ROUTE_STREAM, NoCrtMemory, [&] { return g_fopen(path, mode); });
}

int __cdecl CountedFclose(FILE* stream) {
    Untrack(stream);
    return g_fclose(stream);
}

BSTR WINAPI CountedSysAllocString(const OLECHAR* text) {
    // A null text makes no string, and so no allocation to fail.
    if (text == nullptr) return g_sysAllocString(text);
    return Allocation(KX_ROUTE_BSTR, NoError, [&] { return g_sysAllocString(text); });
}

BSTR WINAPI CountedSysAllocStringLen(const OLECHAR* text, UINT length) {
    return Allocation(KX_ROUTE_BSTR, NoError, [&] { return g_sysAllocStringLen(text, length); });
}

BSTR WINAPI CountedSysAllocStringByteLen(LPCSTR text, UINT bytes) {
    return Allocation(KX_ROUTE_BSTR, NoError, [&] { return g_sysAllocStringByteLen(text, bytes); });
}

// `reallocate` changes *string in place and answers whether it could (the string it leaves may
// be null: a null text reallocates to no string).
template <typename Reallocate>
INT BstrReallocation(BSTR* string, Reallocate reallocate) {
    if (string == nullptr || Fails(KX_ROUTE_BSTR)) return FALSE;
    const BSTR old = *string;
    if (!reallocate()) return FALSE;
    Untrack(old);
    Track(*string, KX_ROUTE_BSTR);
    return TRUE;
}

INT WINAPI CountedSysReAllocString(BSTR* string, const OLECHAR* text) {
    return BstrReallocation(string, [&] { return g_sysReAllocString(string, text); });
}

INT WINAPI CountedSysReAllocStringLen(BSTR* string, const OLECHAR* text, UINT length) {
    return BstrReallocation(string, [&] { return g_sysReAllocStringLen(string, text, length); });
}

void WINAPI CountedSysFreeString(BSTR string) {
    Untrack(string);
    g_sysFreeString(string);
}

HRESULT WINAPI CountedVariantClear(VARIANTARG* variant) {
    if (variant != nullptr && variant->vt == VT_BSTR) Untrack(variant->bstrVal);
    return g_variantClear(variant);
}

LPVOID WINAPI CountedCoTaskMemAlloc(SIZE_T bytes) {
    return Allocation(KX_ROUTE_TASKMEM, NoError, [&] { return g_coTaskMemAlloc(bytes); });
}

LPVOID WINAPI CountedCoTaskMemRealloc(LPVOID block, SIZE_T bytes) {
    return Allocation(
        KX_ROUTE_TASKMEM, NoError, [&] { return g_coTaskMemRealloc(block, bytes); }, block);
}

void WINAPI CountedCoTaskMemFree(LPVOID block) {
    Untrack(block);
    g_coTaskMemFree(block);
}

HLOCAL WINAPI CountedLocalAlloc(UINT flags, SIZE_T bytes) {
    return Allocation(KX_ROUTE_LOCAL, NoLocalMemory, [&] { return g_localAlloc(flags, bytes); });
}

HLOCAL WINAPI CountedLocalReAlloc(HLOCAL block, SIZE_T bytes, UINT flags) {
    return Allocation(
        KX_ROUTE_LOCAL, NoLocalMemory, [&] { return g_localReAlloc(block, bytes, flags); }, block);
}

HLOCAL WINAPI CountedLocalFree(HLOCAL block) {
    Untrack(block);
    return g_localFree(block);
}

// ---- Pointing the imports at the counters -------------------------------------------------

struct Import {
    const char* module;
    const char* name;
    void* counting;
    void** real;
    KxAllocationRoute route;
    bool allocates;  // counted in KxFaultRouteImports
};

template <typename Function>
Import Route(const char* module, const char* name, Function counting, Function* real,
             KxAllocationRoute route, bool allocates) {
    return Import{
        module, name,     reinterpret_cast<void*>(counting), reinterpret_cast<void**>(real),
        route,  allocates};
}

const Import kImports[] = {
    Route("msvcrt.dll", "malloc", CountedMalloc, &g_malloc, KX_ROUTE_CRT_HEAP, true),
    Route("msvcrt.dll", "calloc", CountedCalloc, &g_calloc, KX_ROUTE_CRT_HEAP, true),
    Route("msvcrt.dll", "realloc", CountedRealloc, &g_realloc, KX_ROUTE_CRT_HEAP, true),
    Route("msvcrt.dll", "_strdup", CountedStrdup, &g_strdup, KX_ROUTE_CRT_HEAP, true),
    Route("msvcrt.dll", "free", CountedFree, &g_free, KX_ROUTE_CRT_HEAP, false),
    Route("msvcrt.dll", "_wfopen", CountedWfopen, &g_wfopen, KX_ROUTE_STREAM, true),
    Route("msvcrt.dll", "fopen", CountedFopen, &g_fopen, KX_ROUTE_STREAM, true),
    Route("msvcrt.dll", "fclose", CountedFclose, &g_fclose, KX_ROUTE_STREAM, false),
    Route("oleaut32.dll", "SysAllocString", CountedSysAllocString, &g_sysAllocString, KX_ROUTE_BSTR,
          true),
    Route("oleaut32.dll", "SysAllocStringLen", CountedSysAllocStringLen, &g_sysAllocStringLen,
          KX_ROUTE_BSTR, true),
    Route("oleaut32.dll", "SysAllocStringByteLen", CountedSysAllocStringByteLen,
          &g_sysAllocStringByteLen, KX_ROUTE_BSTR, true),
    Route("oleaut32.dll", "SysReAllocString", CountedSysReAllocString, &g_sysReAllocString,
          KX_ROUTE_BSTR, true),
    Route("oleaut32.dll", "SysReAllocStringLen", CountedSysReAllocStringLen, &g_sysReAllocStringLen,
          KX_ROUTE_BSTR, true),
    Route("oleaut32.dll", "SysFreeString", CountedSysFreeString, &g_sysFreeString, KX_ROUTE_BSTR,
          false),
    Route("oleaut32.dll", "VariantClear", CountedVariantClear, &g_variantClear, KX_ROUTE_BSTR,
          false),
    Route("ole32.dll", "CoTaskMemAlloc", CountedCoTaskMemAlloc, &g_coTaskMemAlloc, KX_ROUTE_TASKMEM,
          true),
    Route("ole32.dll", "CoTaskMemRealloc", CountedCoTaskMemRealloc, &g_coTaskMemRealloc,
          KX_ROUTE_TASKMEM, true),
    Route("ole32.dll", "CoTaskMemFree", CountedCoTaskMemFree, &g_coTaskMemFree, KX_ROUTE_TASKMEM,
          false),
    Route("kernel32.dll", "LocalAlloc", CountedLocalAlloc, &g_localAlloc, KX_ROUTE_LOCAL, true),
    Route("kernel32.dll", "LocalReAlloc", CountedLocalReAlloc, &g_localReAlloc, KX_ROUTE_LOCAL,
          true),
    Route("kernel32.dll", "LocalFree", CountedLocalFree, &g_localFree, KX_ROUTE_LOCAL, false),
};

bool SameAsciiName(const char* a, const char* b) {
    for (;; ++a, ++b) {
        const char x = *a >= 'A' && *a <= 'Z' ? char(*a - 'A' + 'a') : *a;
        const char y = *b >= 'A' && *b <= 'Z' ? char(*b - 'A' + 'a') : *b;
        if (x != y) return false;
        if (x == '\0') return true;
    }
}

void PointSlot(ULONG_PTR* slot, void* function) {
    DWORD protection = 0;
    if (!::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection)) return;
    *slot = reinterpret_cast<ULONG_PTR>(function);
    ::VirtualProtect(slot, sizeof *slot, protection, &protection);
}

void CountImports() {
    HMODULE self = nullptr;
    if (!::GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&CountImports), &self))
        return;
    BYTE* base = reinterpret_cast<BYTE*>(self);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) return;
    for (auto* module =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         module->Name != 0; ++module) {
        const char* moduleName = reinterpret_cast<const char*>(base + module->Name);
        const DWORD namesAt =
            module->OriginalFirstThunk != 0 ? module->OriginalFirstThunk : module->FirstThunk;
        auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + namesAt);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            for (const Import& import : kImports) {
                if (!SameAsciiName(moduleName, import.module) ||
                    std::strcmp(reinterpret_cast<const char*>(byName->Name), import.name) != 0)
                    continue;
                *import.real = reinterpret_cast<void*>(slots->u1.Function);
                PointSlot(&slots->u1.Function, import.counting);
                if (import.allocates) ::InterlockedIncrement(&g_imports[import.route]);
            }
        }
    }
}

// When the module is loaded, before any exported call.
[[maybe_unused]] const bool g_importsCounted = (CountImports(), true);

}  // namespace

void KxFaultArm(unsigned long nth) { ::InterlockedExchange(&g_countdown, static_cast<LONG>(nth)); }

KxFaultCounts KxFaultRead() {
    KxFaultCounts counts{};
    for (int route = 0; route < KX_ROUTE_COUNT; ++route) {
        counts.allocations[route] = static_cast<unsigned long long>(g_allocations[route]);
        counts.releases[route] = static_cast<unsigned long long>(g_releases[route]);
        counts.failures[route] = static_cast<unsigned long long>(g_failures[route]);
    }
    return counts;
}

unsigned long KxFaultRouteImports(KxAllocationRoute route) {
    return route >= 0 && route < KX_ROUTE_COUNT ? static_cast<unsigned long>(g_imports[route]) : 0;
}

void* KxFaultAllocate(size_t bytes) { return NewBlock(bytes, false); }

void KxFaultRelease(void* block) {
    if (block == nullptr) return;
    ::InterlockedIncrement64(&g_releases[KX_ROUTE_NEW]);
    HeapRelease(block);
}

// The module's allocation functions, replacing the run-time's.
void* operator new(size_t bytes) { return NewBlockOrThrow(bytes); }
void* operator new[](size_t bytes) { return NewBlockOrThrow(bytes); }
void* operator new(size_t bytes, const std::nothrow_t&) noexcept { return NewBlock(bytes, true); }
void* operator new[](size_t bytes, const std::nothrow_t&) noexcept { return NewBlock(bytes, true); }
void* operator new(size_t bytes, std::align_val_t alignment) {
    return AlignedBlockOrThrow(bytes, alignment);
}
void* operator new[](size_t bytes, std::align_val_t alignment) {
    return AlignedBlockOrThrow(bytes, alignment);
}
void* operator new(size_t bytes, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AlignedBlock(bytes, alignment, true);
}
void* operator new[](size_t bytes, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AlignedBlock(bytes, alignment, true);
}
void operator delete(void* block) noexcept { KxFaultRelease(block); }
void operator delete[](void* block) noexcept { KxFaultRelease(block); }
void operator delete(void* block, size_t) noexcept { KxFaultRelease(block); }
void operator delete[](void* block, size_t) noexcept { KxFaultRelease(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { KxFaultRelease(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { KxFaultRelease(block); }
void operator delete(void* block, std::align_val_t) noexcept { ReleaseAligned(block); }
void operator delete[](void* block, std::align_val_t) noexcept { ReleaseAligned(block); }
void operator delete(void* block, size_t, std::align_val_t) noexcept { ReleaseAligned(block); }
void operator delete[](void* block, size_t, std::align_val_t) noexcept { ReleaseAligned(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    ReleaseAligned(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    ReleaseAligned(block);
}
