// The device's record layout, and why the desktop build may differ from it.
//
// The handsets are 32-bit: pointers and handles are 4 bytes. The 32-bit build (i686, built by
// ./kx test into build/win32) lays records out as the device does, and the checks below hold
// it to the device's sizes. The x86_64 build that runs the tests has 8-byte pointers and
// handles, so the records that hold one are larger there. No such record leaves its process,
// so the bytes that travel stay the device's in both builds:
//
//  - The scan service's records (ScanRecords.h) and the caller-list entry (CallerInfo.h) hold
//    no pointer or handle; they are packed and checked to the byte in every build, wherever
//    they are included. Around them the platform layer's pipe frames carry 32-bit words only
//    (the host's process id, never the handle), so a service receives the device's bytes from
//    either build, and a 32-bit client and a 64-bit host understand each other.
//  - KxService holds one service handle. The platform layer's service handles are 32-bit
//    numbers of the calling process in both builds; only the member's width differs.
//  - FileParameter: the file name is its only pointer; the other six words are unsigned long,
//    32 bits in both builds. It is passed by reference within a process.
//  - LINEINITIALIZEEXPARAMS (an event handle), CONNMGR_CONNECTIONINFO (a window, an LPARAM)
//    and SHMENUBARINFO (windows, an instance) go to the platform within the process, with the
//    size field set from sizeof, so each build's platform reads its own layout.
//  - IP_ADAPTER_INFO and PROCESSENTRY32W are the platform's own records, walked in steps of
//    sizeof. The device's process entry has two words more than the 32-bit desktop's (the
//    load address and access key of the process, after the executable's name); the ten fields
//    before them lie where the device has them.
#include "kxcommon/CallerInfo.h"
#include "kxcommon/HelpAPI.h"
#include "kxcommon/KxService.h"
#include "kxcommon/ScanRecords.h"

#include "internal/kxplatform.h"

#include <tlhelp32.h>

#include <cstddef>

namespace {

// Fields that stay 32 bits wide in both builds.
static_assert(sizeof(unsigned long) == 4 && sizeof(DWORD) == 4, "32-bit words");
static_assert(offsetof(FileParameter, reserved2) - offsetof(FileParameter, desiredAccess) == 20,
              "FileParameter: six 32-bit words after the name");
static_assert(sizeof(KxService) == sizeof(HANDLE), "KxService: one handle");

#if !defined(_WIN64)
constexpr size_t kDeviceWord = 4;
constexpr size_t kDeviceProcessEntryBytes = 564;
constexpr size_t kDeviceOnlyProcessWords = 2;

static_assert(sizeof(void*) == kDeviceWord && sizeof(HANDLE) == kDeviceWord, "32-bit handles");
static_assert(sizeof(FileParameter) == 7 * kDeviceWord, "FileParameter: seven 32-bit words");
static_assert(sizeof(KxService) == kDeviceWord, "KxService: a 32-bit handle");
static_assert(sizeof(LINEINITIALIZEEXPARAMS) == 24, "LINEINITIALIZEEXPARAMS");
static_assert(offsetof(LINEINITIALIZEEXPARAMS, dwCompletionKey) == 20, "LINEINITIALIZEEXPARAMS");
static_assert(sizeof(CONNMGR_CONNECTIONINFO) == 64, "CONNMGR_CONNECTIONINFO");
static_assert(offsetof(CONNMGR_CONNECTIONINFO, hWnd) == 40, "CONNMGR_CONNECTIONINFO");
static_assert(offsetof(CONNMGR_CONNECTIONINFO, ulMaxConnLatency) == 60, "CONNMGR_CONNECTIONINFO");
static_assert(sizeof(SHMENUBARINFO) == 36, "SHMENUBARINFO");
static_assert(offsetof(SHMENUBARINFO, hwndMB) == 28, "SHMENUBARINFO");
static_assert(sizeof(IP_ADAPTER_INFO) == 640, "IP_ADAPTER_INFO");
static_assert(offsetof(IP_ADAPTER_INFO, AdapterName) == 8, "IP_ADAPTER_INFO");
static_assert(offsetof(PROCESSENTRY32W, szExeFile) == 36, "PROCESSENTRY32: the device's fields");
static_assert(sizeof(PROCESSENTRY32W) + kDeviceOnlyProcessWords * kDeviceWord ==
                  kDeviceProcessEntryBytes,
              "PROCESSENTRY32: the device's entry less its two last words");
#endif

}  // namespace
