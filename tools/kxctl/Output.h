// kxctl's console output: UTF-8 to the standard streams, and its exit codes.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "Parsing.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kxctl {

enum ExitCode : int {
    kExitOk = 0,
    kExitFailed = 1,  // the library refused or the registry failed
    kExitUsage = 2,   // bad arguments
};

using Args = std::vector<std::wstring>;

void Print(const std::wstring& line);
void PrintError(const std::wstring& line);

// Prints "kxctl: <message>" and returns kExitUsage.
int UsageError(const std::wstring& message);
// Prints "kxctl: <what> failed with status 0x<status>" and returns kExitFailed.
int CallFailed(const std::wstring& what, int status);

std::wstring Hex(unsigned long value, int digits = 0);
// Bytes as lower-case hexadecimal pairs, with `separator` between pairs.
std::wstring HexBytes(const unsigned char* data, size_t size, const wchar_t* separator = L" ");

// "YYYY-MM-DD HH:MM:SS.mmm".
std::wstring FormatTime(const SYSTEMTIME& time);
// "now" (local time) or a calendar time "YYYY-MM-DD HH:MM:SS" (ParseCalendarTime); the day of
// the week is worked out.
bool ParseTime(const std::wstring& text, SYSTEMTIME* time);

// Names, paths and keywords compared unit by unit ignoring case, as the device compares file
// names (never by a locale's collation, which passes over some characters).
bool SameIgnoringCase(const wchar_t* a, const wchar_t* b);

}  // namespace kxctl
