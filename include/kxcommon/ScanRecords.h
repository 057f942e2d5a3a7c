// The control protocol of the scan service (instance "SAV0:", module "KXSVC.dll"): its control
// codes and the fixed records that cross it. All records are packed and little-endian; texts
// are UTF-16LE. Shared by the client (KxService) and the service itself.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstddef>

// Every code is 0xA0000000 plus four times the operation number (device type 0xA000, buffered
// method, any access).
constexpr DWORD KxServiceCode(DWORD operation) { return 0xA0000000u + 4u * operation; }

enum KxServiceControl : DWORD {
    KXSVC_SCAN_FILE = KxServiceCode(1),
    KXSVC_STOP = KxServiceCode(3),
    KXSVC_START = KxServiceCode(4),
    KXSVC_SCAN_SMS = KxServiceCode(5),
    KXSVC_GET_ZRAPI_VERSION = KxServiceCode(6),
    KXSVC_GET_VIRUS_COUNT = KxServiceCode(7),
    KXSVC_GET_VIRUS = KxServiceCode(8),
    KXSVC_WRITE_DEBUG_LOG = KxServiceCode(9),
    KXSVC_SCAN_SCPROTECT = KxServiceCode(11),
    KXSVC_QUARANTINE_FILE = KxServiceCode(12),
    KXSVC_RESTORE_FILE = KxServiceCode(13),
    KXSVC_SET_UPDATE_SCHEDULE = KxServiceCode(17),
    KXSVC_SET_NOTIFICATION = KxServiceCode(18),
    KXSVC_SET_ARCHIVE_FLAG = KxServiceCode(19),
    KXSVC_MSG_CLEAN = KxServiceCode(20),
    KXSVC_MSG_PUSH = KxServiceCode(21),
    KXSVC_MSG_POP = KxServiceCode(22),
    KXSVC_MSG_SIZE = KxServiceCode(23),
    KXSVC_MGI_CLEAN = KxServiceCode(25),
};
static_assert(KXSVC_SCAN_FILE == 0xA0000004u && KXSVC_MGI_CLEAN == 0xA0000064u, "codes");

// Scan verdicts of FileScan_tag::scanResult that mean "infected".
enum : DWORD { KXSVC_VERDICT_CLEAN = 0, KXSVC_VERDICT_INFECTED = 1, KXSVC_VERDICT_SUSPICIOUS = 2 };

#pragma pack(push, 1)

// A file to scan and the verdict (ScanFile).
struct FileScan_tag {
    DWORD size;             // bytes of the record; the caller sets sizeof(FileScan_tag)
    DWORD runningOnly;      // nonzero: use only a service that is already loaded
    DWORD request;          // passed to the service as given
    wchar_t path[260];      // the file, NUL-terminated
    DWORD scanResult;       // 1 or 2: infected
    DWORD resultWord;       // the service's own word
    wchar_t virusName[24];  // NUL-terminated
};

// A text message to scan (ScanSMS).
struct SMSScan_tag {
    DWORD size;  // bytes of the record; ScanSMS sets it
    DWORD scanResult;
    wchar_t answer[260];  // the service's answer text
    BYTE message[1000];   // as caller and service agree
};

// A protect request (ScanSCProtect): `length` bytes in all, the content following this word.
struct SCPROTECT_Tag {
    DWORD length;
};

// The engine and pattern versions (GetZRAPIVersion).
struct ZRAPIVersion_tag {
    wchar_t engineVersion[12];  // NUL-terminated, at most 11 characters
    DWORD patternVersion;
};

// One virus of the pattern (GetVirusInPat). The client passes it through; the reference
// service fills the entry's index and its name.
struct VirusInfo_tag {
    DWORD index;
    wchar_t name[20];  // NUL-terminated, at most 19 characters
};

// The request of QuarantineFile and RestoreFile.
struct FileAction_tag {
    wchar_t path[261];    // the file to act on
    wchar_t second[261];  // quarantine: the virus name (at most 20 characters); restore: a path
    FILETIME time;        // restore only
    DWORD value;          // restore only
};

#pragma pack(pop)

static_assert(sizeof(FileScan_tag) == 588, "FileScan_tag");
static_assert(offsetof(FileScan_tag, runningOnly) == 4, "FileScan_tag");
static_assert(offsetof(FileScan_tag, request) == 8, "FileScan_tag");
static_assert(offsetof(FileScan_tag, path) == 12, "FileScan_tag");
static_assert(offsetof(FileScan_tag, scanResult) == 532, "FileScan_tag");
static_assert(offsetof(FileScan_tag, resultWord) == 536, "FileScan_tag");
static_assert(offsetof(FileScan_tag, virusName) == 540, "FileScan_tag");
static_assert(sizeof(SMSScan_tag) == 1528, "SMSScan_tag");
static_assert(offsetof(SMSScan_tag, scanResult) == 4, "SMSScan_tag");
static_assert(offsetof(SMSScan_tag, answer) == 8, "SMSScan_tag");
static_assert(offsetof(SMSScan_tag, message) == 528, "SMSScan_tag");
static_assert(sizeof(SCPROTECT_Tag) == 4, "SCPROTECT_Tag");
static_assert(sizeof(ZRAPIVersion_tag) == 28, "ZRAPIVersion_tag");
static_assert(offsetof(ZRAPIVersion_tag, patternVersion) == 24, "ZRAPIVersion_tag");
static_assert(sizeof(VirusInfo_tag) == 44, "VirusInfo_tag");
static_assert(sizeof(FileAction_tag) == 1056, "FileAction_tag");
static_assert(offsetof(FileAction_tag, second) == 522, "FileAction_tag");
static_assert(offsetof(FileAction_tag, time) == 1044, "FileAction_tag");
static_assert(offsetof(FileAction_tag, value) == 1052, "FileAction_tag");
