// kxctl's Startup-folder verbs: startup check, startup scan and classify.
#include "Commands.h"

#include <kxcommon/HelpAPI.h>
#include <kxcommon/KxConfig.h>
#include <wince/wince.h>

#include <tlhelp32.h>

#include <string>

namespace kxctl {
namespace {

const wchar_t kUsage[] =
    L"usage: kxctl startup check PATH\n"
    L"       kxctl startup scan [PATH]\n"
    L"       kxctl classify PATH";

std::wstring YesNo(bool yes) { return yes ? L"yes" : L"no"; }

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// How many running processes have `path` as their program, seen as the device sees paths.
int RunningCount(const std::wstring& path) {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
         more = ::Process32NextW(snapshot, &entry)) {
        HANDLE process =
            ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (process == nullptr) continue;
        wchar_t image[MAX_PATH] = {};
        if (::DeviceGetProcessImagePath(process, image, MAX_PATH) != 0 &&
            SameIgnoringCase(image, path.c_str()))
            ++count;
        ::CloseHandle(process);
    }
    ::CloseHandle(snapshot);
    return count;
}

struct FileState {
    bool exists;
    int running;
};

FileState StateOf(const std::wstring& path) { return {Exists(path), RunningCount(path)}; }

void Describe(const std::wstring& path, const FileState& before, const FileState& after) {
    std::wstring line = L"  " + path + L": ";
    if (before.running > 0)
        line += after.running == 0 ? L"was running, ended; " : L"still running; ";
    if (before.exists && !after.exists)
        line += L"moved out of its place (quarantined or deleted)";
    else if (after.exists)
        line += L"left in place";
    else
        line += L"not there";
    Print(line);
}

int Check(const std::wstring& path) {
    const int status = KxConfig::IsInStartup(path.c_str());
    switch (status) {
    case KX_OK:
        Print(path + L": in the Startup folder");
        return kExitOk;
    case KX_E_NOT_IN_STARTUP:
        Print(path + L": not in the Startup folder");
        return kExitFailed;
    default:
        return CallFailed(L"checking " + path, status);
    }
}

int ScanOne(const std::wstring& path) {
    const bool shortcut =
        path.size() > 4 && SameIgnoringCase(path.c_str() + path.size() - 4, L".lnk");
    std::wstring target;
    if (shortcut) {
        wchar_t resolved[MAX_PATH] = {};
        std::wstring copy = path;
        if (::SHGetShortcutTarget(&copy[0], resolved, MAX_PATH)) target = resolved;
    }
    const FileState before = StateOf(path);
    const FileState targetBefore = target.empty() ? FileState{false, 0} : StateOf(target);
    const int status = KxConfig::ScanIt(path.c_str());
    if (status != KX_OK) return CallFailed(L"scanning " + path, status);
    Print(L"scanned " + path + (target.empty() ? L"" : L" (a shortcut to " + target + L")"));
    Describe(path, before, StateOf(path));
    if (!target.empty()) Describe(target, targetBefore, StateOf(target));
    return kExitOk;
}

}  // namespace

int RunStartup(const Args& args) {
    if (args.size() == 2 && args[0] == L"check") return Check(args[1]);
    if (args.size() == 2 && args[0] == L"scan") return ScanOne(args[1]);
    if (args.size() == 1 && args[0] == L"scan") {
        const int status = KxConfig::ScanStartup();
        if (status != KX_OK) return CallFailed(L"scanning the Startup folder", status);
        Print(L"every file of the Startup folder was scanned");
        return kExitOk;
    }
    return UsageError(kUsage);
}

int RunClassify(const Args& args) {
    if (args.size() != 1) return UsageError(kUsage);
    const std::wstring& path = args[0];
    int match = 0;
    const int typeStatus = KxConfig::GetMatchFile(path.c_str(), match);
    int checked = 0;
    const int skip = HelpAPI::SkipScanFile(path.c_str(), checked, 1);
    Print(path);
    Print(L"  in the Startup folder:      " + YesNo(KxConfig::IsInStartup(path.c_str()) == KX_OK));
    Print(L"  a type chosen for scanning: " +
          (typeStatus == KX_OK ? YesNo(match != 0) : L"unknown (FileScanType not set)"));
    Print(L"  in ROM or unreadable:       " + YesNo(HelpAPI::isRomFile(path.c_str()) != 0));
    Print(L"  the system's service host:  " + YesNo(HelpAPI::isIgnoreFile(path.c_str()) != 0));
    Print(L"  a module of the product:    " + YesNo(HelpAPI::isIgnoreDllFile(path.c_str()) != 0));
    Print(L"  a file of the product:      " + YesNo(HelpAPI::IsOurFile(path.c_str())));
    Print(L"  verdict:                    " + std::wstring(skip ? L"skip" : L"scan") +
          L" (checked " + std::to_wstring(checked) + L")");
    return kExitOk;
}

}  // namespace kxctl
