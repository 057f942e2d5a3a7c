// kxctl's scan service verbs: service, scan, quarantine, restore, viruses, engine and queue,
// each one request through KxService.
#include "Commands.h"

#include <kxcommon/FmtVer.h>
#include <kxcommon/KxService.h>

#include <cstring>
#include <cwchar>
#include <string>

namespace kxctl {
namespace {

const wchar_t kUsage[] =
    L"usage: kxctl service start|stop|status|release\n"
    L"       kxctl scan PATH\n"
    L"       kxctl quarantine PATH VIRUS\n"
    L"       kxctl restore PATH [DESTINATION] [--replace]\n"
    L"       kxctl viruses | engine\n"
    L"       kxctl queue push TEXT | pop | size | clean";

constexpr size_t kMaxPathChars = 259;
constexpr size_t kMessageUnits = 1024;

bool Usable(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

// The reference service's answers to quarantine and restore.
std::wstring QuarantineAnswer(int answer) {
    switch (answer) {
    case 2:
        return L"no such file";
    case 3:
        return L"the file is in use by a running program";
    case 4:
        return L"the destination exists (add --replace)";
    case 5:
        return L"the quarantine store could not be written";
    default:
        return L"answer " + std::to_wstring(answer);
    }
}

// Statuses at or above this are the library's own; below, the service's answer word.
bool IsLibraryStatus(int status) { return status >= KX_E_SERVICE_NOT_FOUND; }

}  // namespace

int RunService(const Args& args) {
    if (args.size() != 1) return UsageError(kUsage);
    KxService service;
    const std::wstring& verb = args[0];
    if (verb == L"start" || verb == L"stop") {
        const int answer = verb == L"start" ? service.Start() : service.Stop();
        if (IsLibraryStatus(answer)) return CallFailed(verb, answer);
        Print(answer == 0 ? L"scanning " + std::wstring(verb == L"start" ? L"started" : L"stopped")
                          : L"scanning was already " +
                                std::wstring(verb == L"start" ? L"running" : L"stopped"));
        return kExitOk;
    }
    if (verb == L"status") {
        if (!Usable(service.GetHandle())) {
            Print(L"scan service: not loaded");
            return kExitOk;
        }
        unsigned long count = 0;
        service.GetVirusInPatCount(count);
        Print(L"scan service: loaded as SAV0:, " + std::to_wstring(count) +
              L" viruses in the pattern, " + std::to_wstring(service.MsgSvcSize()) +
              L" queued messages");
        return kExitOk;
    }
    if (verb == L"release") {
        service.Release();
        Print(L"scan service unloaded");
        return kExitOk;
    }
    return UsageError(kUsage);
}

int RunScan(const Args& args) {
    if (args.size() != 1) return UsageError(kUsage);
    if (args[0].size() > kMaxPathChars)
        return UsageError(L"the path is longer than 259 characters");
    FileScan_tag record;
    std::memset(&record, 0, sizeof record);
    record.size = sizeof record;
    std::wcsncpy(record.path, args[0].c_str(), kMaxPathChars);
    const int status = KxService().ScanFile(&record);
    if (status != KX_OK) return CallFailed(L"scanning " + args[0], status);
    if (record.resultWord != 0) {
        // The reference service puts the reason it could not read the file in the result word.
        PrintError(L"kxctl: the service could not read " + args[0] + L" (Windows error " +
                   std::to_wstring(record.resultWord) + L")");
        return kExitFailed;
    }
    if (record.scanResult == KXSVC_VERDICT_INFECTED ||
        record.scanResult == KXSVC_VERDICT_SUSPICIOUS)
        Print(args[0] + L": infected by " + record.virusName);
    else
        Print(args[0] + L": clean");
    return kExitOk;
}

int RunQuarantine(const Args& args) {
    if (args.size() != 2) return UsageError(kUsage);
    const int answer = KxService().QuarantineFile(args[0].c_str(), args[1].c_str());
    if (answer == KX_E_INVALIDARG)
        return UsageError(L"a path has at most 260 characters and a virus name at most 20");
    if (IsLibraryStatus(answer)) return CallFailed(L"quarantining " + args[0], answer);
    if (answer != 0) {
        PrintError(L"kxctl: the service kept " + args[0] + L" in place: " +
                   QuarantineAnswer(answer));
        return kExitFailed;
    }
    Print(L"quarantined: " + args[0] + L" (" + args[1] + L")");
    return kExitOk;
}

int RunRestore(const Args& args) {
    Args paths;
    bool replace = false;
    for (const std::wstring& a : args) {
        if (a == L"--replace")
            replace = true;
        else
            paths.push_back(a);
    }
    if (paths.empty() || paths.size() > 2) return UsageError(kUsage);
    const std::wstring destination = paths.size() == 2 ? paths[1] : L"";
    const FILETIME newest{0, 0};
    const int answer =
        KxService().RestoreFile(paths[0].c_str(), destination.c_str(), replace ? 1 : 0, &newest);
    if (answer == KX_E_INVALIDARG) return UsageError(L"a path has at most 260 characters");
    if (IsLibraryStatus(answer)) return CallFailed(L"restoring " + paths[0], answer);
    if (answer != 0) {
        PrintError(L"kxctl: nothing restored: " + QuarantineAnswer(answer));
        return kExitFailed;
    }
    Print(L"restored: " + (destination.empty() ? paths[0] : destination));
    return kExitOk;
}

int RunViruses(const Args& args) {
    if (!args.empty()) return UsageError(kUsage);
    KxService service;
    unsigned long count = 0;
    const int status = service.GetVirusInPatCount(count);
    if (status != KX_OK) return CallFailed(L"counting the viruses", status);
    Print(std::to_wstring(count) + L" viruses in the pattern");
    for (unsigned long i = 0; i < count; ++i) {
        VirusInfo_tag virus;
        std::memset(&virus, 0, sizeof virus);
        const int got = service.GetVirusInPat(i, &virus);
        if (got != KX_OK) return CallFailed(L"reading virus " + std::to_wstring(i), got);
        virus.name[19] = L'\0';
        Print(L"  " + std::to_wstring(virus.index) + L"  " + virus.name);
    }
    return kExitOk;
}

int RunEngine(const Args& args) {
    if (!args.empty()) return UsageError(kUsage);
    ZRAPIVersion_tag version;
    std::memset(&version, 0, sizeof version);
    const int status = KxService().GetZRAPIVersion(&version);
    if (status != KX_OK) return CallFailed(L"reading the versions", status);
    version.engineVersion[11] = L'\0';
    unsigned short pattern[32] = {};
    FmtVer::ConvertPattern(version.patternVersion, pattern, 32);
    std::wstring patternText;
    for (unsigned short* p = pattern; *p != 0; ++p) patternText += static_cast<wchar_t>(*p);
    Print(L"engine " + std::wstring(version.engineVersion) + L", pattern " + patternText + L" (" +
          std::to_wstring(version.patternVersion) + L")");
    return kExitOk;
}

int RunQueue(const Args& args) {
    if (args.empty()) return UsageError(kUsage);
    KxService service;
    const std::wstring& verb = args[0];
    if (verb == L"push" && args.size() == 2) {
        const int status = service.MsgSvcPush(args[1].c_str());
        if (status != KX_OK) return CallFailed(L"queueing", status);
        Print(L"queued: " + args[1]);
        return kExitOk;
    }
    if (args.size() != 1) return UsageError(kUsage);
    if (verb == L"pop") {
        wchar_t message[kMessageUnits] = {};
        const int status = service.MsgSvcPop(message);
        if (status != KX_OK) return CallFailed(L"popping (is the queue empty?)", status);
        Print(message);
        return kExitOk;
    }
    if (verb == L"size") {
        const unsigned long size = service.MsgSvcSize();
        if (size == 0xFFFFFFFF || size == static_cast<unsigned long>(KX_E_SERVICE_NOT_FOUND))
            return CallFailed(L"asking the queue size", static_cast<int>(size));
        Print(std::to_wstring(size) + L" queued messages");
        return kExitOk;
    }
    if (verb == L"clean") {
        const int status = service.MsgSvcClean();
        if (status != KX_OK) return CallFailed(L"emptying the queue", status);
        Print(L"queue emptied");
        return kExitOk;
    }
    return UsageError(kUsage);
}

}  // namespace kxctl
