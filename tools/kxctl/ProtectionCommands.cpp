// kxctl's process verbs: realtime and wappush (through the hook loader), kill, sync and log.
#include "Commands.h"

#include <kxcommon/AppUtil.h>
#include <kxcommon/KxConfig.h>
#include <kxcommon/KxRegUtil.h>

#include <string>
#include <vector>

namespace kxctl {
namespace {

const wchar_t kUsage[] =
    L"usage: kxctl realtime on|off [--wait]\n"
    L"       kxctl wappush on|off [--wait]\n"
    L"       kxctl kill PATH...\n"
    L"       kxctl sync set|del|run|list\n"
    L"       kxctl log TEXT";

// Where the platform layer keeps event registrations ("<event> <program>" values).
constexpr wchar_t kRegistrationsKey[] = L"SOFTWARE\\WinCE Platform\\Notifications";

// on|off and an optional --wait.
bool ParseSwitch(const Args& args, bool* on, int* wait) {
    if (args.empty() || args.size() > 2) return false;
    if (args[0] != L"on" && args[0] != L"off") return false;
    if (args.size() == 2 && args[1] != L"--wait") return false;
    *on = args[0] == L"on";
    *wait = args.size() == 2 ? 1 : 0;
    return true;
}

int CollectRegistration(const wchar_t* name, const wchar_t* /*program*/, void* context) {
    static_cast<std::vector<std::wstring>*>(context)->push_back(name);
    return 1;
}

int ReportSwitch(const std::wstring& what, bool on, int wait, int status) {
    if (status != KX_OK) return CallFailed(L"switching " + what, status);
    Print(what + (on ? L" on" : L" off") +
          (wait ? L": the hook loader has done its work" : L": the hook loader was started"));
    return kExitOk;
}

}  // namespace

int RunRealTime(const Args& args) {
    bool on = false;
    int wait = 0;
    if (!ParseSwitch(args, &on, &wait)) return UsageError(kUsage);
    const int status = on ? KxConfig::StartRealTimeScan(wait, 0) : KxConfig::StopRealTimeScan(wait);
    return ReportSwitch(L"real-time scanning", on, wait, status);
}

int RunWapPush(const Args& args) {
    bool on = false;
    int wait = 0;
    if (!ParseSwitch(args, &on, &wait)) return UsageError(kUsage);
    const int status = on ? KxConfig::StartWapPushFilter(wait) : KxConfig::StopWapPushFilter(wait);
    return ReportSwitch(L"the WAP-push filter", on, wait, status);
}

int RunKill(const Args& args) {
    if (args.empty()) return UsageError(kUsage);
    for (const std::wstring& path : args) {
        KxConfig::KillProcess(KX_DIR_NONE, path.c_str(), static_cast<const wchar_t*>(nullptr));
        Print(L"ended every process running " + path);
    }
    return kExitOk;
}

int RunSync(const Args& args) {
    if (args.size() != 1) return UsageError(kUsage);
    const std::wstring& verb = args[0];
    if (verb == L"set") {
        KxConfig::SetActiveSynEvent(1);
        Print(L"\\Windows\\repllog.exe registered for the serial-connection event");
        return kExitOk;
    }
    if (verb == L"del") {
        KxConfig::DelActiveSynEvent(1);
        Print(L"every registration of repllog.exe removed");
        return kExitOk;
    }
    if (verb == L"run") {
        const int status = KxConfig::RunActiveSynEvent();
        if (status != KX_OK) return CallFailed(L"starting repllog.exe", status);
        Print(L"repllog.exe started with AppRunAtRs232Detect");
        return kExitOk;
    }
    if (verb == L"list") {
        std::vector<std::wstring> registrations;
        KxRegUtil().EnumKeys(kRegistrationsKey, CollectRegistration, &registrations);
        Print(std::to_wstring(registrations.size()) + L" event registrations");
        for (const std::wstring& r : registrations) {
            const size_t space = r.find(L' ');
            Print(L"  event " + r.substr(0, space) + L": " + r.substr(space + 1));
        }
        return kExitOk;
    }
    return UsageError(kUsage);
}

int RunLog(const Args& args) {
    if (args.size() != 1) return UsageError(kUsage);
    // The text is logged as it is, never read as a format.
    WriteDbgLog(reinterpret_cast<const unsigned short*>(L"%s"), args[0].c_str());
    Print(L"appended to \\KxCommon.log");
    return kExitOk;
}

}  // namespace kxctl
