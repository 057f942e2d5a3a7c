// kxctl's management-server and operator verbs: mgi (status, clear, recover, key) and
// subscription set.
#include "Commands.h"

#include <kxcommon/KxConfig.h>

#include <string>
#include <vector>

namespace kxctl {
namespace {

const wchar_t kUsage[] =
    L"usage: kxctl mgi status | clear | recover | key [FIRST SECOND]\n"
    L"       kxctl subscription set FILE [--subscribe N] [--unsubscribe N]\n"
    L"                                   [--subscribe-header H] [--unsubscribe-header H]";

constexpr int kHostChars = 1024;
constexpr unsigned long kUrlChars = 1024;
constexpr unsigned long kKeyBytes = 64 * 1024;  // room for any component of the key file

int Status() {
    wchar_t host[kHostChars] = L"";
    KxConfig::GetMamoHostName(host, kHostChars);
    const unsigned short port = KxConfig::GetMamoHostPort();
    Print(std::wstring(L"management: ") +
          (KxConfig::GetMgiValid() ? L"in effect" : L"not in effect") + L" (IsMgiValid " +
          std::to_wstring(KxConfig::GetMgiValidSimple()) + L")");
    Print(L"server: " + (host[0] != L'\0' ? std::wstring(host) : std::wstring(L"(none)")) + L":" +
          std::to_wstring(port));
    wchar_t url[kUrlChars] = L"";
    Print(L"config URL: " +
          std::wstring(KxConfig::GetConfigURL(url, kUrlChars) == KX_OK ? url : L"(not set)"));
    return kExitOk;
}

int Recover() {
    wchar_t directory[MAX_PATH] = L"";
    KxConfig::GetAppDir(directory, MAX_PATH);
    const std::wstring path = std::wstring(directory) + L"configmgi.xml";
    const bool present = ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    switch (KxConfig::RecoverMgiConfig()) {
    case 0:
        Print(present ? L"configmgi.xml applied and removed"
                      : L"no configmgi.xml in the application directory");
        return kExitOk;
    case -1:
        PrintError(L"kxctl: configmgi.xml cannot be read or is empty; it is kept");
        return kExitFailed;
    default:
        PrintError(L"kxctl: the configuration manager rejected configmgi.xml; it is kept");
        return kExitFailed;
    }
}

int Key(const Args& args) {
    if (args.size() == 2) {
        std::vector<unsigned char> first, second;
        if (!ParseBytes(args[0], &first) || !ParseBytes(args[1], &second))
            return UsageError(L"each component is pairs of hexadecimal digits, at least one");
        unsigned long l1 = static_cast<unsigned long>(first.size());
        unsigned long l2 = static_cast<unsigned long>(second.size());
        if (!KxConfig::SetRsaKeyEx(first.data(), l1, second.data(), l2)) {
            PrintError(L"kxctl: mgi.key could not be written");
            return kExitFailed;
        }
        Print(L"mgi.key written: " + std::to_wstring(l1) + L" and " + std::to_wstring(l2) +
              L" bytes");
        return kExitOk;
    }
    if (!args.empty()) return UsageError(kUsage);
    std::vector<unsigned char> first(kKeyBytes), second(kKeyBytes);
    unsigned long l1 = kKeyBytes, l2 = kKeyBytes;
    unsigned char flag = 0;
    if (!KxConfig::GetRsaKeyEx(first.data(), l1, second.data(), l2, flag)) {
        PrintError(L"kxctl: no readable mgi.key in the application directory");
        return kExitFailed;
    }
    Print(L"first (" + std::to_wstring(l1) + L" bytes): " + HexBytes(first.data(), l1));
    Print(L"second (" + std::to_wstring(l2) + L" bytes): " + HexBytes(second.data(), l2));
    Print(L"flag: " + std::to_wstring(flag));
    return kExitOk;
}

}  // namespace

int RunMgi(const Args& args) {
    if (args.empty()) return UsageError(kUsage);
    const Args rest(args.begin() + 1, args.end());
    if (args[0] == L"key") return Key(rest);
    if (!rest.empty()) return UsageError(kUsage);
    if (args[0] == L"status") return Status();
    if (args[0] == L"recover") return Recover();
    if (args[0] == L"clear") {
        KxConfig::EmptyMgiParam();
        Print(L"management server address cleared");
        return kExitOk;
    }
    return UsageError(kUsage);
}

int RunSubscription(const Args& args) {
    if (args.size() < 2 || args[0] != L"set" || args.size() % 2 != 0) return UsageError(kUsage);
    const std::wstring& path = args[1];
    const wchar_t* const options[] = {L"--subscribe", L"--unsubscribe", L"--subscribe-header",
                                      L"--unsubscribe-header"};
    const wchar_t* values[4] = {nullptr, nullptr, nullptr, nullptr};
    for (size_t i = 2; i < args.size(); i += 2) {
        size_t which = 0;
        while (which < 4 && args[i] != options[which]) ++which;
        if (which == 4) return UsageError(L"unknown option '" + args[i] + L"'\n" + kUsage);
        values[which] = args[i + 1].c_str();
    }
    if (!KxConfig::SetSpdXmlEx(path.c_str(), values[0], values[1], values[2], values[3])) {
        PrintError(L"kxctl: " + path + L" is missing or not XML; nothing written");
        return kExitFailed;
    }
    Print(L"subscription file " + path + L" processed");
    return kExitOk;
}

}  // namespace kxctl
