// Runs kxctl as a user does: a separate process beside the test, its output and exit code.
#pragma once

#include <string>

struct KxctlRun {
    unsigned long exitCode = 0xFFFFFFFF;
    std::string output;  // standard output and error together
};

KxctlRun RunKxctl(const std::wstring& arguments);
