// Runs kxctl.exe (built beside the test executables) as a separate process, as a user would.
#pragma once

#include <string>

namespace kxtest {

struct KxctlRun {
    unsigned long exitCode = 0xFFFFFFFF;  // 0xFFFFFFFF when it could not be started
    std::string output;                   // standard output and error together
};

KxctlRun RunKxctl(const std::wstring& arguments);

}  // namespace kxtest
