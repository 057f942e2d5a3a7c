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
    // The device closes its desktop a moment after the last program using it ends, and a
    // program that starts just then dies before its first instruction (the start fails with
    // ERROR_INTERNAL_ERROR). Between two runs of kxctl nothing else may be using it, so this
    // process holds it open with a window of its own for as long as it runs.
    [[maybe_unused]] static const HWND holdDesktop =
        ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    // Under load the device now and then ends a new process before its first instruction (the
    // start fails with ERROR_INTERNAL_ERROR even while the desktop is held): nothing of kxctl ran,
    // so it is started again, twice at most.
    PROCESS_INFORMATION process{};
    BOOL started = FALSE;
    for (int tries = 3; !started && tries > 0; --tries) {
        started = ::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                   nullptr, &startup, &process);
        if (!started && ::GetLastError() != ERROR_INTERNAL_ERROR) break;
    }
    if (!started) run.failure = "starting kxctl failed, error " + std::to_string(::GetLastError());
    ::CloseHandle(writeEnd);
    // kxctl is done when its process ends, not when the pipe reports its end: a program started
    // while it ran may hold a copy of its standard error for much longer (the desktop process
    // the device starts for the first program that needs a window is given it, and lives as
    // long as the service host). So the pipe is drained while kxctl runs and once more after.
    const ULONGLONG deadline = ::GetTickCount64() + 120000;  // a guard: a run takes a second
    char chunk[4096];
    for (bool ended = process.hProcess == nullptr; !ended;) {
        ended = ::WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0;
        DWORD ready = 0, got = 0;
        while (
            ::PeekNamedPipe(readEnd, nullptr, 0, nullptr, &ready, nullptr) && ready > 0 &&
            ::ReadFile(readEnd, chunk, ready < sizeof chunk ? ready : sizeof chunk, &got, nullptr))
            for (DWORD i = 0; i < got; ++i)
                if (chunk[i] != '\r') run.output += chunk[i];
        if (!ended && ::GetTickCount64() > deadline) {
            run.failure = "kxctl did not end within 120 s";
            break;
        }
    }
    ::CloseHandle(readEnd);
    if (process.hProcess && run.failure.empty() &&
        !::GetExitCodeProcess(process.hProcess, &run.exitCode))
        run.failure = "no exit code, error " + std::to_string(::GetLastError());
    ::TerminateProcess(process.hProcess, 1);  // only one that did not end is still there
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return run;
}

}  // namespace kxtest
