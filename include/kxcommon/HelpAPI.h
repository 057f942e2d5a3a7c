// Platform helpers shared by the product's programs: paths and file names, string helpers and
// device identification.
//
// Paths are NUL-terminated UTF-16 texts in device form: absolute, starting with a backslash, no
// drive letter, backslash as the separator, at most MAX_PATH characters with the terminator.
// Sizes are in characters, terminator included. Null paths give the "no" answer.
#pragma once

#include "KxExport.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

// The arguments of InternalCreateFile, as for CreateFileW.
struct FileParameter {
    const wchar_t* fileName;
    unsigned long desiredAccess;  // e.g. GENERIC_WRITE
    unsigned long shareMode;
    unsigned long creationDisposition;  // e.g. CREATE_ALWAYS
    unsigned long flagsAndAttributes;   // e.g. FILE_ATTRIBUTE_NORMAL
    unsigned long reserved1;            // 0; not passed on
    unsigned long reserved2;            // 0; not passed on
};

// A function with the parameters of CreateFileW, normally CreateFileW itself.
typedef HANDLE(WINAPI* CreateFileFunction)(LPCWSTR fileName, DWORD access, DWORD shareMode,
                                           LPSECURITY_ATTRIBUTES securityAttributes,
                                           DWORD creationDisposition, DWORD flagsAndAttributes,
                                           HANDLE templateFile);

// Creates a file through `create`, marking the product's own creation while real-time scanning
// is on: the marker 3 goes where the security attributes and the template handle would be
// (arguments the device ignores), 0 when scanning is off. INVALID_HANDLE_VALUE without `create`.
KXCOMMON_API HANDLE InternalCreateFile(FileParameter& parameter, CreateFileFunction create);
// Telephony types of the platform, named here so that this header needs no telephony include.
struct HLINEAPP__;
struct lineextensionid_tag;

// What RadioVersionInfoCollect learns about the phone radio. A field it could not read keeps
// the value it had; a fresh record holds the initial values below.
struct KXCOMMON_API RadioInfo {
    RadioInfo();
    // Copies are made by the library, so running out of memory never throws: a copy made
    // without memory for its texts is a RadioInfo as constructed, and an assignment without
    // memory leaves the target as it was.
    RadioInfo(const RadioInfo& other) noexcept;
    RadioInfo& operator=(const RadioInfo& other) noexcept;
    RadioInfo(RadioInfo&& other) noexcept;
    RadioInfo& operator=(RadioInfo&& other) noexcept;
    ~RadioInfo();

    int hasPhone;  // 1; 0 when the device has no line named "Cellular Line"
    int radioOff;  // 0; 1 when the radio is off or its details cannot be read
    std::wstring manufacturer;
    std::wstring model;
    std::wstring revision;
    std::wstring serialNumber;  // normalised: see RadioVersionInfoCollect
    std::wstring subscriberNumber;
    unsigned long systemType;           // LINESYSTEMTYPE_ bits
    unsigned long registrationStatus;   // LINEREGSTATUS_ value, read on GSM and GPRS only
    unsigned long equipmentState;       // LINEEQUIPSTATE_ value
    unsigned long radioSupport;         // LINERADIOSUPPORT_ value (1: off)
    std::wstring reportedSerialNumber;  // as the radio reports it
    std::wstring operatorLongName;
    std::wstring operatorShortName;
    std::wstring operatorNumericName;
};

// Device-type words of HelpAPI::GetDeviceType: the family in the low 16 bits, the exact kind in
// the high 16 bits.
enum : unsigned long {
    KX_DEVICE_UNKNOWN = 0x00000000,  // version or platform type unreadable
    KX_DEVICE_FAMILY_MASK = 0x0000FFFF,
    KX_DEVICE_FAMILY_SMARTPHONE = 0x0100,
    KX_DEVICE_FAMILY_POCKETPC = 0x0200,
    KX_DEVICE_FAMILY_OTHER_CE = 0x0300,
    KX_DEVICE_FAMILY_NOT_CE = 0x0400,
    KX_DEVICE_NOT_CE = 0x04000400,
    KX_DEVICE_OTHER_CE = 0x03000300,
    KX_DEVICE_POCKETPC_3_0 = 0x02010200,
    KX_DEVICE_POCKETPC_3_1 = 0x02020200,
    KX_DEVICE_POCKETPC_4 = 0x02030200,
    KX_DEVICE_POCKETPC_5 = 0x02040200,
    KX_DEVICE_POCKETPC_OTHER = 0x00000200,
    KX_DEVICE_SMARTPHONE_3 = 0x01010100,
    KX_DEVICE_SMARTPHONE_4 = 0x01020100,
    KX_DEVICE_SMARTPHONE_5 = 0x01030100,
    KX_DEVICE_SMARTPHONE_OTHER = 0x00000100,
};

class KXCOMMON_API HelpAPI {
public:
    // Appends one backslash unless the path already ends with one; an empty path becomes "\"
    // (the device root). The buffer must have room for one more character.
    static void AppendASeparator(wchar_t* path);

    // The text after the last dot at index 1 or later (the terminator when the dot ends the
    // path), or null when there is none. The search does not stop at backslashes.
    static const wchar_t* GetFileExt(const wchar_t* path);

    // The text after the last backslash (a slash does not count), the whole path when there is
    // none, the path itself when it is empty; null for null.
    static const wchar_t* GetFileName(const wchar_t* path);
    static wchar_t* GetFileName(wchar_t* path);

    // Writes directory and file name joined by one backslash (none is added after a directory
    // ending in a backslash or a slash; an empty directory gives the file name alone). A result
    // longer than `size` - 1 characters is cut, and always terminated. With a null pointer or a
    // size of 0 the output is left untouched.
    static void CatPathWithFile(const wchar_t* directory, const wchar_t* fileName, wchar_t* out,
                                int size);

    // 1 for an existing directory, else 0.
    static int IsDir(const wchar_t* path);
    // 1 when the path names an existing file or directory, else 0.
    static int Access(const wchar_t* path);

    // ---- String helpers -------------------------------------------------------------------
    // White space is exactly space, tab, line feed, carriage return and form feed.

    // The caller's number of an SMS sender text of the form "Name" <number>: the characters
    // between the angle brackets, which must follow two double quotes. Any other sender text
    // (a bare number, a name in angle brackets without quotes, empty brackets) is copied whole.
    // Only the first 259 characters of the sender are looked at. `size` is the output's
    // capacity in characters; a longer number or sender text is cut to `size` - 1 characters,
    // and the output is always terminated. Null pointers or a size below 1 write nothing.
    static void GetSMSCallId(const wchar_t* sender, wchar_t* out, int size);

    // Removes white space from both ends; a string of white space only becomes empty.
    static void Str_TrimAll(std::wstring& text);
    // Removes every white-space character, wherever it stands. Null does nothing.
    static void StrTrimInerStr(wchar_t* text);
    // Removes white space from both ends in place, moving the rest to the start of the buffer.
    // Null does nothing.
    static void StrTrimAll(wchar_t* text);

    // ---- Scan targets ---------------------------------------------------------------------
    //
    // Which files a scan takes: never files in ROM, device names, the storage manager's folder,
    // the product's own files or the system's service host; the user's file types narrow the
    // rest. Names compare without regard to case.

    // 1 for a file in ROM or a ROM module, and for a file that cannot be read; else 0.
    static int isRomFile(const wchar_t* path);
    // 1 for the system's "\Windows\service.exe"; else 0.
    static int isIgnoreFile(const wchar_t* path);
    // 1 when the file name is one of the product's modules (the scan service, the SMS listener,
    // the scan engine, the update module); else 0.
    static int isIgnoreDllFile(const wchar_t* path);
    // True for the product's own files: "KxMain.exe" and "debug.log" in the application
    // directory, "KxMsgSvr.exe" and "KxAgent.exe" in the system directory. The list is made on
    // the first call in a process and kept; a file whose directory is not known is in no list.
    static bool IsOurFile(const wchar_t* path);
    // 1 to skip the file, 0 to scan it. `checked` is 1 when the file could not be read, is
    // scanned, or is skipped for its type (with `checkType` nonzero the file-type choice
    // applies); 0 when skipped for an empty name, ROM, a device name or the storage manager.
    static int SkipScanFile(const wchar_t* path, int& checked, int checkType);

    // ---- File operations ----------------------------------------------------------------
    //
    // They work despite read-only attributes and try every entry of a tree: the result tells
    // whether all succeeded.

    // Nonzero when the file was deleted (a read-only one too).
    static int ForceDeleteFile(const wchar_t* path);
    // 1 when moved: an existing destination is replaced and the moved file keeps its
    // attributes; on failure the source keeps its attributes. 0 otherwise.
    static int ForceMoveFile(const wchar_t* source, const wchar_t* destination);
    // Removes a directory tree (entries whose names begin with a dot are left, which keeps the
    // directory) or a file. 1 when everything went.
    static int UnlinkDir(const wchar_t* path);
    // Moves the entries of a directory tree into `destination` (created when missing), or a
    // file; the source directory stays, emptied. 1 when every entry moved.
    static int MoveDir(const wchar_t* source, const wchar_t* destination);
    // ---- Device identification --------------------------------------------------------

    // The device-type word (KX_DEVICE_...). A Smartphone that refuses the platform-type query
    // (access denied) still counts as a Smartphone.
    static unsigned long GetDeviceType();
    // 1 when the operating system's major version is 5 or more (Windows Mobile 5 and later).
    static int IsWM5();
    // The hardware identifier: the preset part followed by the platform part, cut to 16 bytes
    // (the output is zeroed first, so a shorter identifier ends in zeros). False for a null
    // output or when the device gives no identifier.
    static bool GetDeviceID(GUID* id);
    // The device identifier of the line named `lineName` (exactly, case-sensitive) among
    // `deviceCount` line devices negotiated at `apiVersion`; when several carry the name the
    // last wins. Its media modes and extension identifier are written only for a match (the
    // media modes are set to 0 first). 0xFFFFFFFF when none matches.
    static unsigned long GetTSPLineDeviceID(HLINEAPP__* lineApp, unsigned long deviceCount,
                                            unsigned long apiVersion, const wchar_t* lineName,
                                            unsigned long& mediaModes,
                                            lineextensionid_tag& extensionId);
    // Fills `info` from the phone radio, the telephony application registered under
    // `instance`. The serial number is normalised: from its first decimal digit, up to 15
    // letters and digits (other characters skipped); on a CDMA system (system type below 3 or
    // equal to 4) that text is read as a hexadecimal number and written in decimal, at least
    // 15 digits with leading zeros. A serial without a digit normalises to the empty text.
    // Whatever is opened is released before returning.
    static void RadioVersionInfoCollect(HINSTANCE instance, RadioInfo& info);
    // The has-phone answer of RadioVersionInfoCollect for this process: 1 also when telephony
    // cannot start at all.
    static int HasPhone();
    // 1 when real-time scanning is switched on, else 2. The argument is not used.
    static int GetNotificationType(bool unused);

private:
    HelpAPI();
};

// The path for display: paths of 101 characters or more become "..." and their last 100
// characters; shorter ones are copied whole. A null path gives an empty text.
KXCOMMON_API std::wstring GetShortPathFile(const wchar_t* path);

// True for a device without a phone that is not a Smartphone.
KXCOMMON_API bool IsPDA();

// True when the bare file name is the main program's, "KxMain.exe", in any case.
KXCOMMON_API bool IsInMainModule(const wchar_t* fileName);
