// kxctl's console output: UTF-8 to the standard streams, and its exit codes.
#pragma once

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

// Parses a 32-bit number, decimal or 0x-prefixed hexadecimal; false for anything else.
bool ParseNumber(const std::wstring& text, unsigned long* value);

}  // namespace kxctl
