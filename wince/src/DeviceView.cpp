// The device's answers where desktop Windows answers differently: special folders, process
// image paths without drive letters, and file creation that ignores CE's unused arguments.
#include "wince/wince.h"

#include "internal/RegistryValue.h"

#include <objbase.h>

#include <cstddef>
#include <cstring>
#include <cwchar>

namespace {

struct SpecialFolder {
    int csidl;
    const wchar_t* path;
};

// The folders of an English Windows Mobile device.
const SpecialFolder kSpecialFolders[] = {
    {CSIDL_DESKTOP, L"\\My Documents"},
    {CSIDL_PROGRAMS, L"\\Windows\\Start Menu\\Programs"},
    {CSIDL_PERSONAL, L"\\My Documents"},
    {CSIDL_FAVORITES, L"\\Windows\\Favorites"},
    {CSIDL_STARTUP, L"\\Windows\\StartUp"},
    {CSIDL_RECENT, L"\\Windows\\Recent"},
    {CSIDL_STARTMENU, L"\\Windows\\Start Menu"},
    {CSIDL_DESKTOPDIRECTORY, L"\\Windows\\Desktop"},
    {CSIDL_FONTS, L"\\Windows\\Fonts"},
    {CSIDL_APPDATA, L"\\Application Data"},
    {CSIDL_WINDOWS, L"\\Windows"},
    {CSIDL_PROGRAM_FILES, L"\\Program Files"},
};

// An item list of one item that carries the folder's device path, ended by an empty item.
constexpr USHORT kTag = 0x4B43;  // "CK": an item made here

#pragma pack(push, 1)
struct PathItem {
    USHORT cb;
    USHORT tag;
    wchar_t path[MAX_PATH];
    USHORT end;  // the empty item that ends the list
};
#pragma pack(pop)

// Device priority levels 0..7 and the desktop levels that behave alike.
const int kDesktopPriorities[] = {
    THREAD_PRIORITY_TIME_CRITICAL, THREAD_PRIORITY_HIGHEST,      THREAD_PRIORITY_ABOVE_NORMAL,
    THREAD_PRIORITY_NORMAL,        THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_LOWEST,
    THREAD_PRIORITY_LOWEST - 1,    THREAD_PRIORITY_IDLE,
};
constexpr int kDevicePriorityLevels = 8;

}  // namespace

extern "C" {

HRESULT DeviceSHGetSpecialFolderLocation(HWND /*hwndOwner*/, int nFolder, LPITEMIDLIST* ppidl) {
    if (ppidl == nullptr) return E_POINTER;
    *ppidl = nullptr;
    const wchar_t* path = nullptr;
    for (const SpecialFolder& folder : kSpecialFolders)
        if (folder.csidl == nFolder) path = folder.path;
    if (path == nullptr) return E_INVALIDARG;

    // From the task allocator, as the shell's item lists are: the caller frees it there.
    auto* item = static_cast<PathItem*>(::CoTaskMemAlloc(sizeof(PathItem)));
    if (item == nullptr) return E_OUTOFMEMORY;
    std::memset(item, 0, sizeof *item);
    item->cb = static_cast<USHORT>(offsetof(PathItem, end));
    item->tag = kTag;
    std::wcsncpy(item->path, path, MAX_PATH - 1);
    *ppidl = reinterpret_cast<LPITEMIDLIST>(item);
    return S_OK;
}

BOOL DeviceSHGetPathFromIDList(LPCITEMIDLIST pidl, LPWSTR pszPath) {
    if (pidl == nullptr || pszPath == nullptr) return FALSE;
    const auto* item = reinterpret_cast<const PathItem*>(pidl);
    if (item->cb != offsetof(PathItem, end) || item->tag != kTag) return FALSE;
    std::wcsncpy(pszPath, item->path, MAX_PATH);
    pszPath[MAX_PATH - 1] = L'\0';
    return TRUE;
}

DWORD DeviceGetProcessImagePath(HANDLE hProcess, LPWSTR lpPath, DWORD nChars) {
    if (lpPath == nullptr || nChars == 0) return 0;
    wchar_t full[MAX_PATH * 2];
    DWORD size = MAX_PATH * 2;
    if (!::QueryFullProcessImageNameW(hProcess, 0, full, &size)) return 0;
    // The device's file system is drive C: here; its paths start at the root.
    const wchar_t* path = full;
    if ((full[0] == L'C' || full[0] == L'c') && full[1] == L':' && full[2] == L'\\') path += 2;
    const size_t length = std::wcslen(path);
    if (length >= nChars) return 0;
    std::wmemcpy(lpPath, path, length + 1);
    return static_cast<DWORD>(length);
}

HANDLE WINAPI DeviceCreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/,
                                DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                                HANDLE /*hTemplateFile*/) {
    return ::CreateFileW(lpFileName, dwDesiredAccess, dwShareMode, nullptr, dwCreationDisposition,
                         dwFlagsAndAttributes, nullptr);
}

BOOL WINAPI DeviceCreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine,
                                 LPSECURITY_ATTRIBUTES lpProcessAttributes,
                                 LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles,
                                 DWORD dwCreationFlags, LPVOID lpEnvironment,
                                 LPCWSTR lpCurrentDirectory, LPSTARTUPINFOW lpStartupInfo,
                                 LPPROCESS_INFORMATION lpProcessInformation) {
    wchar_t found[MAX_PATH];
    LPCWSTR program = lpApplicationName;
    if (program != nullptr && std::wcschr(program, L'\\') == nullptr &&
        std::wcschr(program, L'/') == nullptr &&
        ::SearchPathW(nullptr, program, nullptr, MAX_PATH, found, nullptr) != 0)
        program = found;
    return ::CreateProcessW(program, lpCommandLine, lpProcessAttributes, lpThreadAttributes,
                            bInheritHandles, dwCreationFlags, lpEnvironment, lpCurrentDirectory,
                            lpStartupInfo, lpProcessInformation);
}

int WINAPI DeviceGetThreadPriority(HANDLE hThread) {
    const int desktop = ::GetThreadPriority(hThread);
    if (desktop == THREAD_PRIORITY_ERROR_RETURN) return THREAD_PRIORITY_ERROR_RETURN;
    // The nearest device level at or below the desktop one.
    for (int level = 0; level < kDevicePriorityLevels; ++level)
        if (desktop >= kDesktopPriorities[level]) return level;
    return CE_THREAD_PRIORITY_IDLE;
}

BOOL WINAPI DeviceSetThreadPriority(HANDLE hThread, int nPriority) {
    if (nPriority < 0 || nPriority >= kDevicePriorityLevels) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return ::SetThreadPriority(hThread, kDesktopPriorities[nPriority]);
}

DWORD WINAPI DeviceGetFileAttributesW(LPCWSTR lpFileName) {
    DWORD attributes = ::GetFileAttributesW(lpFileName);
    if (attributes == INVALID_FILE_ATTRIBUTES) return attributes;
    // These bits mean "device" and "not indexed" on the desktop; the device gives them its own.
    attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_INROM | FILE_ATTRIBUTE_ROMMODULE);
    DWORD rom = 0;
    DWORD size = sizeof rom;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, WINCE_ROM_FILES_KEY, lpFileName, RRF_RT_REG_DWORD,
                       nullptr, &rom, &size) == ERROR_SUCCESS)
        attributes |= rom & (FILE_ATTRIBUTE_INROM | FILE_ATTRIBUTE_ROMMODULE);
    return attributes;
}

BOOL WinceMarkRomFile(LPCWSTR path, DWORD ceAttributes) {
    if (path == nullptr || path[0] == L'\0') return FALSE;
    const DWORD bits = ceAttributes & (FILE_ATTRIBUTE_INROM | FILE_ATTRIBUTE_ROMMODULE);
    if (bits != 0)
        return kx::CreateKeyAndSetNumber(HKEY_LOCAL_MACHINE, WINCE_ROM_FILES_KEY, path, bits) ==
               ERROR_SUCCESS;
    // A file that was never marked has nothing to clear.
    kx::UniqueKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, WINCE_ROM_FILES_KEY, 0, KEY_SET_VALUE, key.Receive()) !=
        ERROR_SUCCESS)
        return TRUE;
    const LSTATUS status = ::RegDeleteValueW(key.Get(), path);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

}  // extern "C"
