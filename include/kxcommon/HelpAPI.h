// Platform helpers shared by the product's programs: paths and file names, and string helpers.
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
    unsigned long desiredAccess;        // e.g. GENERIC_WRITE
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

private:
    HelpAPI();
};

// The path for display: paths of 101 characters or more become "..." and their last 100
// characters; shorter ones are copied whole. A null path gives an empty text.
KXCOMMON_API std::wstring GetShortPathFile(const wchar_t* path);

// True when the bare file name is the main program's, "KxMain.exe", in any case.
KXCOMMON_API bool IsInMainModule(const wchar_t* fileName);
