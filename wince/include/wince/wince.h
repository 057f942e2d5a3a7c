// The Windows CE functions the product uses that desktop Windows does not have, with their CE
// names and signatures. On a device these come from the system; here the platform layer
// provides them over desktop Windows.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

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

// ---- Provisioning ---------------------------------------------------------------------------
//
// The configuration manager applies a provisioning document (<wap-provisioningdoc>, UTF-16)
// through its configuration service providers; this layer has the Registry provider: nested
// characteristics naming keys ("HKLM\Software\X" at the top, then one key or a relative path
// per level), parms with the datatypes integer, boolean, string, multiplestring and binary
// (Base64), noparm (delete a value) and nocharacteristic (delete a key and its subkeys).
// A document is applied whole or not at all.
//
// On S_OK *ppszwXMLout receives the document as processed; on a failure it receives the
// document with the failing element replaced by its "-error" form (e.g. <parm-error ...
// desc="0x80042009"/>), or a lone <wap-provisioningdoc-error desc="..."/> when the text is not
// XML at all. The answer is allocated with new[]; the caller releases it with delete[].
// E_INVALIDARG (no answer) for a null document or out-pointer or flags other than
// CFGFLAG_PROCESS.

#define CFGFLAG_PROCESS 0x0001
#define CFGFLAG_METADATA 0x0002

#define CONFIG_E_OBJECTBUSY ((HRESULT)0x80042001L)
#define CONFIG_E_ENTRYNOTFOUND ((HRESULT)0x80042004L)
#define CONFIG_E_CSPEXCEPTION ((HRESULT)0x80042007L)
#define CONFIG_E_TRANSACTIONINGFAILURE ((HRESULT)0x80042008L)
#define CONFIG_E_BAD_XML ((HRESULT)0x80042009L)

HRESULT DMProcessConfigXML(LPCWSTR pszWXMLin, DWORD dwFlags, LPWSTR* ppszwXMLout);

#ifdef __cplusplus
}
#endif
