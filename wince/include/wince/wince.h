// The Windows CE functions the product uses that desktop Windows does not have, with their CE
// names and signatures. On a device these come from the system; here the platform layer
// provides them over desktop Windows.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shlobj.h>

#ifdef __cplusplus
extern "C" {
#endif

// ---- Services ------------------------------------------------------------------------------
//
// A service is a DLL exporting <prefix>_Init, <prefix>_Deinit and <prefix>_IOControl, loaded
// once per device under an instance name "<prefix><index>:" (three-letter prefix, index 0 to 9)
// and reached by every process of the device. A service handle owns nothing in the caller:
// it is never closed, only forgotten.

// Loads the DLL as service `prefix`/`index` and calls its Init with `context`. Null on failure:
// ERROR_FILE_NOT_FOUND (DLL not loadable), ERROR_INVALID_FUNCTION (an entry point is missing),
// ERROR_DEVICE_IN_USE (the instance is already loaded), ERROR_OPEN_FAILED (Init answered 0).
HANDLE RegisterService(LPCWSTR lpszType, DWORD dwIndex, LPCWSTR lpszLib, DWORD dwInfo);

// Calls the service's Deinit and unloads it.
BOOL DeregisterService(HANDLE hDevice);

// Finds a loaded service by its instance name ("SAV0:"); never loads one. When `szDllName` is
// given it receives the service's DLL name, `*pdwDllBuf` being its size in bytes.
// INVALID_HANDLE_VALUE when no such service is loaded.
HANDLE GetServiceHandle(LPWSTR szPrefix, LPWSTR szDllName, DWORD* pdwDllBuf);

// Sends one control request to the service's IOControl entry point and brings back what it
// wrote to the output buffer and its byte count. FALSE when the service refused the request or
// could not be reached (a host that dies or stops answering fails the call; none blocks forever).
BOOL ServiceIoControl(HANDLE hService, DWORD dwIoControlCode, LPVOID lpInBuf, DWORD nInBufSize,
                      LPVOID lpOutBuf, DWORD nOutBufSize, LPDWORD lpBytesReturned,
                      LPOVERLAPPED lpOverlapped);

// Entry points a service DLL exports, "<prefix>_Init" and so on.
typedef DWORD(WINAPI* PFN_SERVICE_INIT)(DWORD dwData);
typedef BOOL(WINAPI* PFN_SERVICE_DEINIT)(DWORD dwData);
typedef BOOL(WINAPI* PFN_SERVICE_IOCONTROL)(DWORD dwData, DWORD dwCode, PBYTE pBufIn,
                                            DWORD dwLenIn, PBYTE pBufOut, DWORD dwLenOut,
                                            PDWORD pdwActualOut);

// ---- Notifications -------------------------------------------------------------------------
//
// Registrations of programs to be started when an event occurs; they persist across restarts.

#define NOTIFICATION_EVENT_NONE 0
#define NOTIFICATION_EVENT_RS232_DETECTED 9
#define APP_RUN_AT_RS232_DETECT L"AppRunAtRs232Detect"

// Registers `pwszAppName` for event `lWhichEvent`; event 0 removes every registration of that
// program. Program names compare without regard to case.
BOOL CeRunAppAtEvent(WCHAR* pwszAppName, LONG lWhichEvent);

// ---- The device's view of shared functions -------------------------------------------------
//
// Where desktop Windows answers differently from the device, these give the device's answer.
// The library reaches them through its platform header under the platform's own names.

// Special folders as the device has them ("\Windows\StartUp" for CSIDL_STARTUP, ...); the item
// list is allocated with the shell's allocator. E_INVALIDARG for a folder the device lacks.
HRESULT DeviceSHGetSpecialFolderLocation(HWND hwndOwner, int nFolder, LPITEMIDLIST* ppidl);
BOOL DeviceSHGetPathFromIDList(LPCITEMIDLIST pidl, LPWSTR pszPath);

// The full path of a process's executable as the device writes it: rooted, without a drive
// letter ("\Windows\a.exe"). Characters written without the terminator, 0 on failure.
DWORD DeviceGetProcessImagePath(HANDLE hProcess, LPWSTR lpPath, DWORD nChars);

// CreateFileW as the device has it: the security attributes and template arguments are
// ignored, so callers may pass markers there.
HANDLE WINAPI DeviceCreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                                HANDLE hTemplateFile);

// CreateProcessW as the device has it: a program given by its bare file name is found by the
// system's search order.
BOOL WINAPI DeviceCreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine,
                                 LPSECURITY_ATTRIBUTES lpProcessAttributes,
                                 LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles,
                                 DWORD dwCreationFlags, LPVOID lpEnvironment,
                                 LPCWSTR lpCurrentDirectory, LPSTARTUPINFOW lpStartupInfo,
                                 LPPROCESS_INFORMATION lpProcessInformation);

// Thread priorities on the device's scale: 0 (time-critical) to 7 (idle), 3 normal.
#define CE_THREAD_PRIORITY_TIME_CRITICAL 0
#define CE_THREAD_PRIORITY_NORMAL 3
#define CE_THREAD_PRIORITY_IDLE 7
int WINAPI DeviceGetThreadPriority(HANDLE hThread);
BOOL WINAPI DeviceSetThreadPriority(HANDLE hThread, int nPriority);

#ifdef __cplusplus
}
#endif
