#include "DeviceFixture.h"

namespace kxtest {

KxctlRun RunKxctl(const std::wstring& arguments) {
    KxctlRun run;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    ::CreatePipe(&readEnd, &writeEnd, &inherit, 0);
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{sizeof startup};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = writeEnd;
    std::wstring commandLine = L"\"" + SiblingPath(L"kxctl.exe") + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    // Starting a process on the device fails now and then on a loaded machine: the platform's
    // doing, not kxctl's. A failed start is tried again and, failing, reported with its errors
    // (it used to come back as exit code 0xFFFFFFFF, the default, with no output).
    std::string errors;
    for (int attempt = 0; attempt < 3 && process.hProcess == nullptr; ++attempt)
        if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                              &startup, &process))
            errors += " " + std::to_string(::GetLastError());
    ::CloseHandle(writeEnd);
    char chunk[4096];
    DWORD got = 0;
    while (process.hProcess && ::ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0)
        for (DWORD i = 0; i < got; ++i)
            if (chunk[i] != '\r') run.output += chunk[i];
    ::CloseHandle(readEnd);
    // A time-out (a guard only: a run takes well under a second) is reported, never taken for
    // an exit code.
    const DWORD waited = process.hProcess ? ::WaitForSingleObject(process.hProcess, 120000) : 0;
    if (process.hProcess == nullptr)
        run.failure = "starting kxctl failed, errors" + errors;
    else if (waited != WAIT_OBJECT_0 || !::GetExitCodeProcess(process.hProcess, &run.exitCode))
        run.failure = "kxctl did not end: wait " + std::to_string(waited) + ", error " +
                      std::to_string(::GetLastError());
    ::TerminateProcess(process.hProcess, 1);  // only one that did not end is still there
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return run;
}

}  // namespace kxtest
