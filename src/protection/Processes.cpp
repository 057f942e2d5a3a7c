// KxConfig: ending programs, and the synchronisation logger's event registration.
#include "kxcommon/KxConfig.h"

#include "kxcommon/AppUtil.h"
#include "kxcommon/HelpAPI.h"

#include "../internal/ScopedHandle.h"
#include "../internal/kxplatform.h"

#include <tlhelp32.h>

#include <cstdarg>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kMainProgram[] = L"KxMain.exe";
constexpr DWORD kKilledExitCode = 0xFFFFFFFF;

constexpr wchar_t kSyncLogger[] = L"\\Windows\\repllog.exe";
constexpr wchar_t kSyncLoggerName[] = L"repllog.exe";
constexpr int kHighestDevicePriorityGap = 6;  // levels 0..6 become 0, the idle level 7 becomes 1

struct SnapshotTraits {
    using Handle = HANDLE;
    static Handle None() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::CloseHandle(h); }
};
using UniqueSnapshot = kx::ScopedHandle<SnapshotTraits>;

std::wstring SelectedDirectory(long selector) {
    unsigned short directory[MAX_PATH] = {};
    GetOurPath(static_cast<int>(selector), directory);
    return reinterpret_cast<const wchar_t*>(directory);
}

void KillMatching(const std::vector<std::wstring>& targets) {
    UniqueSnapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
         more = ::Process32NextW(snapshot.Get(), &entry)) {
        kx::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE,
                                               FALSE, entry.th32ProcessID));
        if (!process) continue;
        wchar_t image[MAX_PATH] = {};
        if (::DeviceGetProcessImagePath(process.Get(), image, MAX_PATH) == 0) continue;
        for (const std::wstring& target : targets) {
            if (::lstrcmpiW(image, target.c_str()) == 0) {
                ::TerminateProcess(process.Get(), kKilledExitCode);
                break;  // each process is ended at most once
            }
        }
    }
}

}  // namespace

int KxConfig::KillProcess(long selector, ...) {
    const std::wstring directory = SelectedDirectory(selector);
    std::vector<std::wstring> targets;
    va_list names;
    va_start(names, selector);
    for (const wchar_t* name = va_arg(names, const wchar_t*); name != nullptr;
         name = va_arg(names, const wchar_t*)) {
        wchar_t path[MAX_PATH] = {};
        HelpAPI::CatPathWithFile(directory.c_str(), name, path, MAX_PATH);
        targets.push_back(path);
    }
    va_end(names);
    KillMatching(targets);
    return KX_OK;
}

int KxConfig::KillUIProcess() {
    return KillProcess(KX_DIR_APP, kMainProgram, static_cast<const wchar_t*>(nullptr));
}

int KxConfig::SetActiveSynEvent(int guard) {
    if (guard == 0) return KX_E_INVALIDARG;
    wchar_t program[] = L"\\Windows\\repllog.exe";
    ::CeRunAppAtEvent(program, NOTIFICATION_EVENT_RS232_DETECTED);
    return KX_OK;
}

int KxConfig::DelActiveSynEvent(int guard) {
    if (guard == 0) return KX_E_INVALIDARG;
    std::wstring full = kSyncLogger;
    std::wstring bare = kSyncLoggerName;
    ::CeRunAppAtEvent(&full[0], NOTIFICATION_EVENT_NONE);
    ::CeRunAppAtEvent(&bare[0], NOTIFICATION_EVENT_NONE);
    return KX_OK;
}

int KxConfig::RunActiveSynEvent() {
    std::wstring commandLine = APP_RUN_AT_RS232_DETECT;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(kSyncLoggerName, &commandLine[0], nullptr, nullptr, FALSE,
                          CREATE_SUSPENDED, nullptr, nullptr, &startup, &process))
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
