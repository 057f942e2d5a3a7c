// Around the platform: the product's and the shell's directories, starting a sibling program,
// module versions, resources as strings or files, formatted resource messages, typed shorthand
// for the copyright signs, and the debug log "\KxCommon.log".
//
// Texts are UTF-16 in `unsigned short` units; path buffers hold MAX_PATH (260) characters.
// Formats follow the device's printf conventions: %s is a wide text.
#pragma once

#include "KxExport.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>
#include <utility>

// Which directory goes in front of a program or file name.
enum KxDirectorySelector : int {
    KX_DIR_NONE = 0,    // none: the name is a full path already
    KX_DIR_SYSTEM = 1,  // the product's system directory ("WinPath")
    KX_DIR_APP = 2,     // the application directory ("AppPath")
};

// The selected directory, ending in a backslash, or the empty text. A null buffer is left alone.
KXCOMMON_API void GetOurPath(int selector, unsigned short* path);
// A shell special folder (a CSIDL value) ending in a backslash, or the empty text.
KXCOMMON_API void GetSpecialPath(int csidl, unsigned short* path);

// Starts the program (in the selected directory) with `commandLine` and waits up to `waitMs`
// (0xFFFFFFFF: until it ends). Nonzero when it was started; a path over 259 characters is not,
// nor a program of the system or application directory while that directory is not known.
KXCOMMON_API int RunApp(const unsigned short* program, const unsigned short* commandLine,
                        unsigned long waitMs, int selector);

// The module's product version as two words (high = a << 16 | b, low = c << 16 | d); (0, 0)
// when it has no readable version.
KXCOMMON_API std::pair<unsigned long, unsigned long> GetAFileVersion(const unsigned short* module);

// A resource's data and size in bytes; (null, 0) when it is not there.
KXCOMMON_API std::pair<void*, unsigned int> GetResource(HINSTANCE module, int id,
                                                        const unsigned short* type);

// UTF-16LE bytes as a string; with `skipMark`, a leading FF FE is dropped when at least three
// bytes are given. An odd last byte is ignored.
KXCOMMON_API std::wstring CreateStringFromByteBuf(unsigned char* bytes, unsigned int size,
                                                  bool skipMark);
KXCOMMON_API std::wstring CreateStringFromRes(HINSTANCE module, int id, const unsigned short* type,
                                              bool skipMark);
// Writes a resource's bytes to a new file (replacing one that exists); a missing resource
// gives an empty file. False when the file could not be created.
KXCOMMON_API bool CreateFileFromRes(const unsigned short* path, HINSTANCE module, int id,
                                    const unsigned short* type);

// Formats the arguments with the text of string resource `id` (from the product's resource
// module) into `buffer` of `size` characters: the characters written, (unsigned) -1 when the
// text was cut at the buffer's end (terminated), 0 with the buffer untouched when the string
// is empty or missing.
KXCOMMON_API unsigned long ResFmtMessage(unsigned short* buffer, unsigned int size, long id, ...);

// Replaces "(c)", "(r)" and "(tm)" by U+00A9, U+00AE and U+2122, in place.
KXCOMMON_API void ParseSC(unsigned short* text);

// Appends the formatted text (at most 1023 characters) and one line feed, as UTF-16LE without
// terminator, to "\KxCommon.log". Failures are silent.
KXCOMMON_API void WriteDbgLog(const unsigned short* format, ...);
