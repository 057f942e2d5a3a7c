// The one platform header of the library's sources: lean Windows includes and, as the platform
// layer grows, the CE-only declarations and the redirections to the device's view.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// The CE-only functions (services and the rest) come from the platform layer.
#include <wince/wince.h>

// Where desktop Windows answers differently from the device, the library asks the device's view
// under the platform's own names.
#undef SHGetPathFromIDList
#define SHGetSpecialFolderLocation DeviceSHGetSpecialFolderLocation
#define SHGetPathFromIDList DeviceSHGetPathFromIDList
#define CreateFileW DeviceCreateFileW
#define GetFileAttributesW DeviceGetFileAttributesW
#define CreateProcessW DeviceCreateProcessW
#define GetThreadPriority DeviceGetThreadPriority
#define SetThreadPriority DeviceSetThreadPriority
// The IP helper's adapter list, answered by the device.
#include <iphlpapi.h>

// Where the handset answers differently from the desktop, the library asks the handset.
#define GetVersionExW DeviceGetVersionExW
#define SystemParametersInfoW DeviceSystemParametersInfoW
#define GetAdaptersInfo DeviceGetAdaptersInfo

// The handset's screen and window manager: its screen size and orientation, and the device's
// request to bring a window's last active pop-up forward.
#undef ChangeDisplaySettingsEx
#define GetSystemMetrics DeviceGetSystemMetrics
#define ChangeDisplaySettingsEx DeviceChangeDisplaySettingsExW
#define SetForegroundWindow DeviceSetForegroundWindow
