// kxctl's update bookkeeping verbs: update (schedule, versions) and pattern.
#include "Commands.h"

#include <kxcommon/KxConfig.h>

#include <string>

namespace kxctl {
namespace {

const wchar_t kUsage[] =
    L"usage: kxctl update schedule [YYYY-MM-DD HH:MM:SS]\n"
    L"       kxctl update versions\n"
    L"       kxctl pattern";

constexpr unsigned long kDefaultUpdateDays = 30;
constexpr unsigned long kNameChars = MAX_PATH;

int Schedule(const Args& args) {
    SYSTEMTIME start;
    const SYSTEMTIME* from = nullptr;
    if (!args.empty()) {
        std::wstring text;
        for (const std::wstring& part : args) text += (text.empty() ? L"" : L" ") + part;
        if (!ParseTime(text, &start))
            return UsageError(L"'" + text + L"' is not a time YYYY-MM-DD HH:MM:SS");
        from = &start;
    }
    KxConfig::SetUpdateSchedule(from);
    unsigned long option = 0;
    KxConfig::GetAutomaticUpdate(option);
    if (option == 0) {
        Print(L"automatic updating is off: the scan service's update schedule was cleared");
        return kExitOk;
    }
    unsigned long days = kDefaultUpdateDays;
    KxConfig::GetAutomaticUpdateFrequency(days);
    Print(L"next update sent to the scan service: " + std::to_wstring(days) + L" days after " +
          (from != nullptr ? FormatTime(start) : std::wstring(L"now")));
    return kExitOk;
}

int Versions() {
    const int status = KxConfig::SetZRApiVersionReg();
    if (status != KX_OK) return CallFailed(L"reading the scan service's versions", status);
    Print(L"engine and pattern versions recorded in ZRAPIEngineVer and ZRAPIPatternVer");
    return kExitOk;
}

}  // namespace

int RunPattern(const Args& args) {
    if (!args.empty()) return UsageError(kUsage);
    wchar_t name[kNameChars] = L"";
    if (KxConfig::GetLastPattern(name, kNameChars) != KX_OK) {
        Print(L"(no pattern recorded)");
        return kExitFailed;
    }
    Print(name);
    return kExitOk;
}

int RunUpdate(const Args& args) {
    if (args.empty()) return UsageError(kUsage);
    const Args rest(args.begin() + 1, args.end());
    if (args[0] == L"schedule" && rest.size() <= 2) return Schedule(rest);
    if (args[0] == L"versions" && rest.empty()) return Versions();
    return UsageError(kUsage);
}

}  // namespace kxctl
