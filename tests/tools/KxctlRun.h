// Runs kxctl as a user does: a separate process, its output and its exit code.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

namespace kxtest {

struct KxctlRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;  // standard output and error together
};

// Runs the kxctl.exe beside the test executable with `arguments` as its command line.
KxctlRun RunKxctl(const std::wstring& arguments);

}  // namespace kxtest
