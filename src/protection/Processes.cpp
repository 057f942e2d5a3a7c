// KxConfig: ending programs, and the synchronisation logger's event registration.
#include "kxcommon/KxConfig.h"

#include "kxcommon/AppUtil.h"
#include "kxcommon/HelpAPI.h"

#include "../internal/NameCompare.h"
#include "../internal/ScopedHandle.h"
#include "../internal/kxplatform.h"
#include "../registry/Settings.h"

#include <tlhelp32.h>

#include <cstdarg>
#include <cwchar>
#include <iterator>

namespace {

constexpr wchar_t kMainProgram[] = L"KxMain.exe";
constexpr DWORD kKilledExitCode = 0xFFFFFFFF;

constexpr wchar_t kSyncLogger[] = L"\\Windows\\repllog.exe";
constexpr wchar_t kSyncLoggerName[] = L"repllog.exe";
constexpr int kHighestDevicePriorityGap = 6;  // levels 0..6 become 0, the idle level 7 becomes 1

// The named programs, each in the selected directory, compared with a process's image path.
// The names are walked again for every process, so ending programs needs no memory of its own.
bool IsNamed(const wchar_t* image, const wchar_t* directory, va_list names) {
    va_list walk;
    va_copy(walk, names);
    bool named = false;
    for (const wchar_t* name = va_arg(walk, const wchar_t*); name != nullptr && !named;
         name = va_arg(walk, const wchar_t*)) {
        wchar_t path[MAX_PATH] = {};
        HelpAPI::CatPathWithFile(directory, name, path, MAX_PATH);
        named = kx::SameIgnoringCase(image, path);
    }
    va_end(walk);
    return named;
}

void KillNamed(const wchar_t* directory, va_list names) {
    kx::UniqueSnapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
         more = ::Process32NextW(snapshot.Get(), &entry)) {
        kx::UniqueHandle process(::OpenProcess(
            PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
        if (!process) continue;
        wchar_t image[MAX_PATH] = {};
        if (::DeviceGetProcessImagePath(process.Get(), image, MAX_PATH) == 0) continue;
        // Each process is ended at most once.
        if (IsNamed(image, directory, names)) ::TerminateProcess(process.Get(), kKilledExitCode);
    }
}

}  // namespace

int KxConfig::KillProcess(long selector, ...) {
    unsigned short directory[MAX_PATH] = {};
    GetOurPath(static_cast<int>(selector), directory);
    va_list names;
    va_start(names, selector);
    KillNamed(reinterpret_cast<const wchar_t*>(directory), names);
    va_end(names);
    return KX_OK;
}

int KxConfig::KillUIProcess() {
    // Without a known application directory there is no main program to end.
    wchar_t program[MAX_PATH];
    if (!kx::settings::AppDirFile(kMainProgram, program)) return KX_OK;
    return KillProcess(KX_DIR_NONE, program, static_cast<const wchar_t*>(nullptr));
}

namespace {

// Registers or removes a program's registrations with the notification service. Whether the
// service carried it out is not looked at, except when it ran out of memory: then the change
// may not have been made, and the caller is told.
bool ChangeRegistration(const wchar_t* program, LONG event) {
    // The platform takes the program's name in a writable buffer.
    wchar_t name[MAX_PATH];
    std::wcsncpy(name, program, MAX_PATH - 1);
    name[MAX_PATH - 1] = L'\0';
    return ::CeRunAppAtEvent(name, event) || ::GetLastError() != ERROR_OUTOFMEMORY;
}

}  // namespace

int KxConfig::SetActiveSynEvent(int guard) {
    if (guard == 0) return KX_E_INVALIDARG;
    return ChangeRegistration(kSyncLogger, NOTIFICATION_EVENT_RS232_DETECTED) ? KX_OK
                                                                              : KX_E_REGISTRY;
}

int KxConfig::DelActiveSynEvent(int guard) {
    if (guard == 0) return KX_E_INVALIDARG;
    // Both names are tried; a removal that ran out of memory fails the call.
    const bool full = ChangeRegistration(kSyncLogger, NOTIFICATION_EVENT_NONE);
    const bool bare = ChangeRegistration(kSyncLoggerName, NOTIFICATION_EVENT_NONE);
    return full && bare ? KX_OK : KX_E_REGISTRY;
}

int KxConfig::RunActiveSynEvent() {
    // The command line is handed over writable, as the platform wants it.
    wchar_t commandLine[] = APP_RUN_AT_RS232_DETECT;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(kSyncLoggerName, commandLine, nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                          nullptr, nullptr, &startup, &process))
        return KX_E_PROGRAM_NOT_STARTED;
    kx::UniqueHandle thread(process.hThread);
    kx::UniqueHandle logger(process.hProcess);
    // Raised as the notification service raises the programs it starts.
    const int priority = ::GetThreadPriority(thread.Get());
    ::SetThreadPriority(thread.Get(), priority <= kHighestDevicePriorityGap
                                          ? CE_THREAD_PRIORITY_TIME_CRITICAL
                                          : priority - kHighestDevicePriorityGap);
    ::ResumeThread(thread.Get());
    return KX_OK;
}
