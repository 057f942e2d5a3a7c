// Runs kxctl.exe (built beside the test executables) as a separate process, as a user would.
#pragma once

#include <string>

namespace kxtest {

struct KxctlRun {
    unsigned long exitCode = 0;  // kxctl's own exit code; meaningful only when `failure` is empty
    std::string output;          // standard output and error together, without carriage returns
    // Empty when kxctl ran to its end; otherwise what went wrong in starting or waiting for it.
    std::string failure;
};

KxctlRun RunKxctl(const std::wstring& arguments);

}  // namespace kxtest
