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
typedef BOOL(WINAPI* PFN_SERVICE_IOCONTROL)(DWORD dwData, DWORD dwCode, PBYTE pBufIn, DWORD dwLenIn,
                                            PBYTE pBufOut, DWORD dwLenOut, PDWORD pdwActualOut);

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

// GetFileAttributesW as the device has it. The desktop bits that CE uses for other meanings
// (0x40, 0x2000) are cleared, and files the device profile lists as in ROM carry
// FILE_ATTRIBUTE_INROM and FILE_ATTRIBUTE_ROMMODULE as the profile says.
#define FILE_ATTRIBUTE_INROM 0x00000040
#define FILE_ATTRIBUTE_ROMMODULE 0x00002000
#define WINCE_ROM_FILES_KEY L"SOFTWARE\\WinCE Platform\\Device\\RomFiles"
DWORD WINAPI DeviceGetFileAttributesW(LPCWSTR lpFileName);
// Stages a ROM file: `ceAttributes` (FILE_ATTRIBUTE_INROM, FILE_ATTRIBUTE_ROMMODULE or both) is
// what the device reports for `path` besides its own attributes; 0 unstages it.
BOOL WinceMarkRomFile(LPCWSTR path, DWORD ceAttributes);

// ---- Shortcuts -----------------------------------------------------------------------------
//
// A device shortcut is a small text file "<count>#<command line>": the target, in double quotes
// when it holds spaces, optionally followed by arguments; <count> is the number of characters
// after the "#".

// The shortcut's target path: quotes and arguments removed. `cchMax` is in characters.
BOOL SHGetShortcutTarget(LPWSTR szShortcut, LPWSTR szTarget, int cchMax);
// Writes a shortcut to `szTarget` (quoted when it holds spaces); FALSE when the shortcut exists
// already or the target has more than 256 characters.
DWORD WINAPI SHCreateShortcut(LPWSTR szShortcut, LPWSTR szTarget);

// Thread priorities on the device's scale: 0 (time-critical) to 7 (idle), 3 normal.
#define CE_THREAD_PRIORITY_TIME_CRITICAL 0
#define CE_THREAD_PRIORITY_NORMAL 3
#define CE_THREAD_PRIORITY_IDLE 7
int WINAPI DeviceGetThreadPriority(HANDLE hThread);
BOOL WINAPI DeviceSetThreadPriority(HANDLE hThread, int nPriority);

#ifdef __cplusplus
}
#endif

// ---- Device identity, telephony, connection manager and the device profile -----------------
//
// What the handset itself reports: its CE version and platform type, its hardware identifier,
// its radio and operator, its network adapters and the result of a connection request. The
// answers come from the device profile, a registry key of the platform layer's own
// (WINCE_PROFILE_KEY under HKEY_LOCAL_MACHINE); every value the profile lacks is answered as
// a plain desktop answers it, and with no profile staged the device is that desktop.

#ifdef __cplusplus
extern "C" {
#endif

#define WINCE_PROFILE_KEY L"SOFTWARE\\WinCE Platform\\Device"

#ifndef VER_PLATFORM_WIN32_CE
#define VER_PLATFORM_WIN32_CE 3
#endif
#define SPI_GETPLATFORMTYPE 257
#define SPI_GETOEMINFO 258

// Kernel I/O control: the device identifier, asked in two calls. A DEVICE_ID whose dwSize (and
// the output size) is too small fails with ERROR_INSUFFICIENT_BUFFER and dwSize set to the size
// needed; the identifier parts follow the 20-byte header within that size.
#define IOCTL_HAL_GET_DEVICEID 0x01010054

typedef struct _DEVICE_ID {
    DWORD dwSize;
    DWORD dwPresetIDOffset;
    DWORD dwPresetIDBytes;
    DWORD dwPlatformIDOffset;
    DWORD dwPlatformIDBytes;
} DEVICE_ID, *PDEVICE_ID;

BOOL WINAPI KernelIoControl(DWORD dwIoControlCode, LPVOID lpInBuf, DWORD nInBufSize,
                            LPVOID lpOutBuf, DWORD nOutBufSize, LPDWORD lpBytesReturned);

// The device's view of desktop functions whose answers differ on a handset; the library's
// platform header redirects the desktop names to these.
BOOL WINAPI DeviceGetVersionExW(LPOSVERSIONINFOW lpVersionInformation);
// SPI_GETPLATFORMTYPE: the platform type text ("PocketPC", "Smartphone"), `uiParam` being the
// buffer's capacity in characters; a handset may refuse it (ERROR_ACCESS_DENIED). Every other
// action is the desktop's.
BOOL WINAPI DeviceSystemParametersInfoW(UINT uiAction, UINT uiParam, PVOID pvParam, UINT fWinIni);
// The staged adapters as a chain of the platform's IP_ADAPTER_INFO records (the name in
// AdapterName and Description), `*pOutBufLen` in bytes: ERROR_BUFFER_OVERFLOW with the size
// needed when the buffer is null or short, ERROR_NO_DATA when there is no adapter.
struct _IP_ADAPTER_INFO;
DWORD WINAPI DeviceGetAdaptersInfo(struct _IP_ADAPTER_INFO* pAdapterInfo, PULONG pOutBufLen);

// ---- Cellular telephony (TAPI line functions and the extended telephony functions) ----------
//
// Line devices are the profile's lines, numbered from 0 in the order staged; the radio answers
// only on a line named "Cellular Line". Variable records follow the size protocol: dwTotalSize
// is what the caller allocated, dwNeededSize what the whole answer takes; a record too small
// even for its fixed part gives LINEERR_STRUCTURETOOSMALL.

struct HLINEAPP__ {
    int unused;
};
typedef struct HLINEAPP__* HLINEAPP;
typedef HLINEAPP* LPHLINEAPP;
struct HLINE__ {
    int unused;
};
typedef struct HLINE__* HLINE;
typedef HLINE* LPHLINE;
typedef void(CALLBACK* LINECALLBACK)(DWORD hDevice, DWORD dwMessage, DWORD_PTR dwInstance,
                                     DWORD_PTR dwParam1, DWORD_PTR dwParam2, DWORD_PTR dwParam3);

#define LINEERR_BADDEVICEID 0x80000002L
#define LINEERR_INCOMPATIBLEAPIVERSION 0x8000000CL
#define LINEERR_INCOMPATIBLEEXTVERSION 0x8000000DL
#define LINEERR_INVALAPPHANDLE 0x80000014L
#define LINEERR_INVALLINEHANDLE 0x8000002BL
#define LINEERR_INVALPARAM 0x80000032L
#define LINEERR_INVALPOINTER 0x80000035L
#define LINEERR_NODRIVER 0x80000043L
#define LINEERR_NOMEM 0x80000044L
#define LINEERR_OPERATIONUNAVAIL 0x80000049L
#define LINEERR_RESOURCEUNAVAIL 0x8000004BL
#define LINEERR_STRUCTURETOOSMALL 0x8000004DL

#define LINEINITIALIZEEXOPTION_USEHIDDENWINDOW 0x00000001
#define LINEINITIALIZEEXOPTION_USEEVENT 0x00000002
#define LINECALLPRIVILEGE_NONE 0x00000001
#define LINECALLPRIVILEGE_MONITOR 0x00000002
#define LINECALLPRIVILEGE_OWNER 0x00000004
#define LINEMEDIAMODE_INTERACTIVEVOICE 0x00000004
#define LINEMEDIAMODE_DATAMODEM 0x00000010
#define LINESTRINGFORMAT_UNICODE 0x00000003

#define LINEEQUIPSTATE_MINIMUM 1
#define LINEEQUIPSTATE_FULL 5
#define LINERADIOSUPPORT_OFF 1
#define LINERADIOSUPPORT_ON 2
#define LINEREGSTATUS_HOME 5
#define LINESYSTEMTYPE_NONE 0x00000000
#define LINESYSTEMTYPE_IS95A 0x00000001
#define LINESYSTEMTYPE_IS95B 0x00000002
#define LINESYSTEMTYPE_1XRTTPACKET 0x00000004
#define LINESYSTEMTYPE_GSM 0x00000008
#define LINESYSTEMTYPE_GPRS 0x00000010
#define LINEOPFORMAT_ALPHASHORT 0x00000001
#define LINEOPFORMAT_ALPHALONG 0x00000002
#define LINEOPFORMAT_NUMERIC 0x00000004
#define LINEOPSTATUS_CURRENT 2
#define LINEOPERATOR_USEFIRSTAVAILABLEINDEX 0xFFFFFFFF
#define MAX_LENGTH_OPERATOR_LONG 32
#define MAX_LENGTH_OPERATOR_SHORT 16
#define MAX_LENGTH_OPERATOR_NUMERIC 16

#define CELLTSP_LINENAME_STRING L"Cellular Line"

typedef struct lineinitializeexparams_tag {
    DWORD dwTotalSize;
    DWORD dwNeededSize;
    DWORD dwUsedSize;
    DWORD dwOptions;
    union {
        HANDLE hEvent;
        HANDLE hCompletionPort;
    } Handles;
    DWORD dwCompletionKey;
} LINEINITIALIZEEXPARAMS, *LPLINEINITIALIZEEXPARAMS;

typedef struct lineextensionid_tag {
    DWORD dwExtensionID0;
    DWORD dwExtensionID1;
    DWORD dwExtensionID2;
    DWORD dwExtensionID3;
} LINEEXTENSIONID, *LPLINEEXTENSIONID;

typedef struct linedialparams_tag {
    DWORD dwDialPause;
    DWORD dwDialSpeed;
    DWORD dwDigitDuration;
    DWORD dwWaitForDialtone;
} LINEDIALPARAMS;

// The line capabilities of TAPI 2.0 (252 bytes); texts follow the fixed part.
typedef struct linedevcaps_tag {
    DWORD dwTotalSize;
    DWORD dwNeededSize;
    DWORD dwUsedSize;
    DWORD dwProviderInfoSize;
    DWORD dwProviderInfoOffset;
    DWORD dwSwitchInfoSize;
    DWORD dwSwitchInfoOffset;
    DWORD dwPermanentLineID;
    DWORD dwLineNameSize;
    DWORD dwLineNameOffset;
    DWORD dwStringFormat;
    DWORD dwAddressModes;
    DWORD dwNumAddresses;
    DWORD dwBearerModes;
    DWORD dwMaxRate;
    DWORD dwMediaModes;
    DWORD dwGenerateToneModes;
    DWORD dwGenerateToneMaxNumFreq;
    DWORD dwGenerateDigitModes;
    DWORD dwMonitorToneMaxNumFreq;
    DWORD dwMonitorToneMaxNumEntries;
    DWORD dwMonitorDigitModes;
    DWORD dwGatherDigitsMinTimeout;
    DWORD dwGatherDigitsMaxTimeout;
    DWORD dwMedCtlDigitMaxListSize;
    DWORD dwMedCtlMediaMaxListSize;
    DWORD dwMedCtlToneMaxListSize;
    DWORD dwMedCtlCallStateMaxListSize;
    DWORD dwDevCapFlags;
    DWORD dwMaxNumActiveCalls;
    DWORD dwAnswerMode;
    DWORD dwRingModes;
    DWORD dwLineStates;
    DWORD dwUUIAcceptSize;
    DWORD dwUUIAnswerSize;
    DWORD dwUUIMakeCallSize;
    DWORD dwUUIDropSize;
    DWORD dwUUISendUserUserInfoSize;
    DWORD dwUUICallInfoSize;
    LINEDIALPARAMS MinDialParams;
    LINEDIALPARAMS MaxDialParams;
    LINEDIALPARAMS DefaultDialParams;
    DWORD dwNumTerminals;
    DWORD dwTerminalCapsSize;
    DWORD dwTerminalCapsOffset;
    DWORD dwTerminalTextEntrySize;
    DWORD dwTerminalTextSize;
    DWORD dwTerminalTextOffset;
    DWORD dwDevSpecificSize;
    DWORD dwDevSpecificOffset;
    DWORD dwLineFeatures;
    DWORD dwSettableDevStatus;
    DWORD dwDeviceClassesSize;
    DWORD dwDeviceClassesOffset;
} LINEDEVCAPS, *LPLINEDEVCAPS;

typedef struct linecallparams_tag* LPLINECALLPARAMS;  // not used by the product; pass null

typedef struct lineoperator_tag {
    DWORD dwIndex;
    DWORD dwValidFields;
    DWORD dwStatus;
    WCHAR lpszLongName[MAX_LENGTH_OPERATOR_LONG];
    WCHAR lpszShortName[MAX_LENGTH_OPERATOR_SHORT];
    WCHAR lpszNumName[MAX_LENGTH_OPERATOR_NUMERIC];
} LINEOPERATOR, *LPLINEOPERATOR;

// Radio details; texts are UTF-16 with their terminator, sizes in bytes, offsets from the start.
typedef struct linegeneralinfo_tag {
    DWORD dwTotalSize;
    DWORD dwNeededSize;
    DWORD dwUsedSize;
    DWORD dwManufacturerSize;
    DWORD dwManufacturerOffset;
    DWORD dwModelSize;
    DWORD dwModelOffset;
    DWORD dwRevisionSize;
    DWORD dwRevisionOffset;
    DWORD dwSerialNumberSize;
    DWORD dwSerialNumberOffset;
    DWORD dwSubscriberNumberSize;
    DWORD dwSubscriberNumberOffset;
} LINEGENERALINFO, *LPLINEGENERALINFO;

LONG WINAPI lineInitializeEx(LPHLINEAPP lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback,
                             LPCWSTR lpszFriendlyAppName, LPDWORD lpdwNumDevs,
                             LPDWORD lpdwAPIVersion,
                             LPLINEINITIALIZEEXPARAMS lpLineInitializeExParams);
LONG WINAPI lineShutdown(HLINEAPP hLineApp);
LONG WINAPI lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
                                    DWORD dwAPIHighVersion, LPDWORD lpdwAPIVersion,
                                    LPLINEEXTENSIONID lpExtensionID);
LONG WINAPI lineGetDevCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion,
                           DWORD dwExtVersion, LPLINEDEVCAPS lpLineDevCaps);
LONG WINAPI lineOpen(HLINEAPP hLineApp, DWORD dwDeviceID, LPHLINE lphLine, DWORD dwAPIVersion,
                     DWORD dwExtVersion, DWORD_PTR dwCallbackInstance, DWORD dwPrivileges,
                     DWORD dwMediaModes, LPLINECALLPARAMS lpCallParams);
LONG WINAPI lineClose(HLINE hLine);
LONG WINAPI lineNegotiateExtVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion,
                                    DWORD dwExtLowVersion, DWORD dwExtHighVersion,
                                    LPDWORD lpdwExtVersion);
LONG WINAPI lineGetEquipmentState(HLINE hLine, LPDWORD lpdwState, LPDWORD lpdwRadioSupport);
LONG WINAPI lineGetCurrentOperator(HLINE hLine, LPLINEOPERATOR lpLineOperator);
LONG WINAPI lineGetCurrentSystemType(HLINE hLine, LPDWORD lpdwCurrentSystemType);
LONG WINAPI lineGetRegisterStatus(HLINE hLine, LPDWORD lpdwRegisterStatus);
LONG WINAPI lineGetGeneralInfo(HLINE hLine, LPLINEGENERALINFO lpLineGeneralInfo);

// ---- Connection manager ---------------------------------------------------------------------

#define CONNMGR_PARAM_GUIDDESTNET 0x1
#define CONNMGR_FLAG_PROXY_HTTP 0x1
#define CONNMGR_FLAG_PROXY_WAP 0x2
#define CONNMGR_FLAG_PROXY_SOCKS4 0x4
#define CONNMGR_FLAG_PROXY_SOCKS5 0x8
#define CONNMGR_PRIORITY_USERINTERACTIVE 0x08000
#define CONNMGR_STATUS_CONNECTED 0x10
#define CONNMGR_STATUS_CONNECTIONFAILED 0x21
#define CONNMGR_STATUS_NOPATHTODESTINATION 0x24

// 64 bytes on the device's 32-bit processor; the pointer-sized fields make it larger here, so
// callers set cbSize from sizeof.
typedef struct _CONNMGR_CONNECTIONINFO {
    DWORD cbSize;
    DWORD dwParams;
    DWORD dwFlags;
    DWORD dwPriority;
    BOOL bExclusive;
    BOOL bDisabled;
    GUID guidDestNet;
    HWND hWnd;
    UINT uMsg;
    LPARAM lParam;
    ULONG ulMaxCost;
    ULONG ulMinRcvBw;
    ULONG ulMaxConnLatency;
} CONNMGR_CONNECTIONINFO;

// Connects (or fails) before returning: the profile's "ConnectResult" HRESULT (S_OK when
// none is staged). A handle is written only on success (null otherwise); each must be released.
HRESULT WINAPI ConnMgrEstablishConnectionSync(CONNMGR_CONNECTIONINFO* pConnInfo,
                                              HANDLE* phConnection, DWORD dwTimeout,
                                              DWORD* pdwStatus);
// E_HANDLE for a handle this process does not hold.
HRESULT WINAPI ConnMgrReleaseConnection(HANDLE hConnection, LONG lCache);

// ---- Staging handsets (tests, the demo and kxctl) --------------------------------------------
//
// Staging a handset writes its profile and the platform settings it comes with (its SMS
// protocol providers, its connection manager's proxies), replacing whatever was staged before.

// The name of staged handset `index` (from 0), or null past the last.
LPCWSTR WinceHandsetName(DWORD index);
// A one-line description of that handset, or null.
LPCWSTR WinceHandsetDescription(DWORD index);
// FALSE (ERROR_NOT_FOUND) for an unknown name.
BOOL WinceStageHandset(LPCWSTR name);
// Back to the plain desktop: deletes the profile and the platform settings staging writes.
BOOL WinceClearDevice(void);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
extern "C" {
#endif

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

// ---- Menu bar (soft keys) and screen ----------------------------------------------------------
//
// A dialog's menu bar is a toolbar owned by the dialog: each button is a soft key, and a button
// may carry a pop-up menu, shown when the key is pressed. Commands of keys and menu items reach
// the dialog as WM_COMMAND. The bar is destroyed with its dialog.

#include <commctrl.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SHCMBF_EMPTYBAR 0x0001
#define SHCMBF_HIDDEN 0x0002
#define SHCMBF_HIDESIPBUTTON 0x0004
#define SHCMBF_COLORBK 0x0008
#define SHCMBF_HMENU 0x0010

#define SHCMBM_SETSUBMENU (WM_USER + 400)
#define SHCMBM_GETSUBMENU (WM_USER + 401)
#define SHCMBM_GETMENU (WM_USER + 402)

#define NOMENU 0xFFFF
#ifndef I_IMAGENONE
#define I_IMAGENONE (-2)
#endif

// 36 bytes on the device's 32-bit processor; the handles make it larger here, so callers set
// cbSize from sizeof.
typedef struct tagSHMENUBARINFO {
    DWORD cbSize;
    HWND hwndParent;
    DWORD dwFlags;
    UINT nToolBarId;
    HINSTANCE hInstRes;
    int nBmpId;
    int cBmpImages;
    HWND hwndMB;
    COLORREF clrBk;
} SHMENUBARINFO, *PSHMENUBARINFO;

// Creates the menu bar of `pmbi->hwndParent` and stores it in `hwndMB`; a window has at most
// one, and a second call replaces the first.
//  - Default: `nToolBarId` names an RCDATA resource of `hInstRes` laid out as on the device:
//    WORD menu identifier (0 for none), WORD button count, then per button seven WORDs: image
//    (I_IMAGENONE), command, state, style, string identifier of the label (in `hInstRes`), 0,
//    index of the button's pop-up in the menu or NOMENU.
//  - SHCMBF_HMENU: `nToolBarId` names a menu resource; each top-level item becomes a soft key
//    with the item's identifier and text, carrying the item's pop-up when it has one.
//  - SHCMBF_EMPTYBAR: a bar without buttons.
// The bar sits right under the dialog's client area, as wide as the work area; SHCMBF_HIDDEN
// leaves it hidden. FALSE with ERROR_INVALID_PARAMETER for a null record or parent,
// ERROR_RESOURCE_NAME_ NOT_FOUND for a missing or malformed resource.
BOOL SHCreateMenuBar(SHMENUBARINFO* pmbi);

// The menu bar of `hwnd`, or null when it has none.
HWND SHFindMenuBar(HWND hwnd);

// The screen as the staged handset has it: SM_CXSCREEN and SM_CYSCREEN come from the profile's
// "ScreenWidth" and "ScreenHeight" when both are staged; every other metric is the desktop's.
int WINAPI DeviceGetSystemMetrics(int nIndex);
// With a staged screen, a DM_DISPLAYORIENTATION request turns it (DMDO_0 and DMDO_180 give the
// portrait screen, DMDO_90 and DMDO_270 the landscape one) and answers DISP_CHANGE_SUCCESSFUL;
// without one the desktop answers.
LONG WINAPI DeviceChangeDisplaySettingsExW(LPCWSTR lpszDeviceName, LPDEVMODEW lpDevMode, HWND hwnd,
                                           DWORD dwflags, LPVOID lParam);
// A window handle with its lowest bit set asks for the window's last active pop-up to be
// brought forward, as on the device; a plain handle is brought forward itself.
BOOL WINAPI DeviceSetForegroundWindow(HWND hWnd);

// The device's dialogs have the window class "Dialog". A program whose dialog templates name
// that class (CLASS "Dialog") registers it once for its instance; 0 on failure.
ATOM WinceRegisterDialogClass(HINSTANCE hInstance);

#ifdef __cplusplus
}
#endif
