// kxctl's device and connectivity verbs: device (what the library reports about the handset,
// and staging handsets), sms (the listener and the SMS protocol providers), proxy and connect.
#include "Commands.h"

#include <kxcommon/ConnMgr.h>
#include <kxcommon/HelpAPI.h>
#include <kxcommon/KxConfig.h>
#include <kxcommon/KxRegUtil.h>

#include <wince/wince.h>

#include <string>

namespace kxctl {
namespace {

const wchar_t kUsage[] =
    L"usage: kxctl device [stage NAME | handsets | clear]\n"
    L"       kxctl sms register | unregister | providers\n"
    L"       kxctl proxy\n"
    L"       kxctl connect [type [ADAPTER]]";

constexpr unsigned long kTextChars = 260;

std::wstring YesNo(bool yes) { return yes ? L"yes" : L"no"; }

std::wstring Family(unsigned long type) {
    switch (type & KX_DEVICE_FAMILY_MASK) {
    case KX_DEVICE_FAMILY_SMARTPHONE:
        return L"Smartphone";
    case KX_DEVICE_FAMILY_POCKETPC:
        return L"Pocket PC";
    case KX_DEVICE_FAMILY_OTHER_CE:
        return L"Windows CE, neither Pocket PC nor Smartphone";
    case KX_DEVICE_FAMILY_NOT_CE:
        return L"not Windows CE";
    default:
        return L"unknown";
    }
}

std::wstring SystemName(unsigned long type) {
    if (type == LINESYSTEMTYPE_GSM) return L"GSM";
    if (type == LINESYSTEMTYPE_GPRS) return L"GPRS";
    if (type == LINESYSTEMTYPE_1XRTTPACKET) return L"CDMA 1xRTT";
    if (type == LINESYSTEMTYPE_IS95A || type == LINESYSTEMTYPE_IS95B) return L"CDMA IS-95";
    if (type == LINESYSTEMTYPE_NONE) return L"none";
    return L"other";
}

std::wstring LinkName(int type) {
    switch (type) {
    case KX_CONNECTION_CELLULAR:
        return L"cellular";
    case KX_CONNECTION_LOCAL_LINK:
        return L"local link (USB, Bluetooth or infrared)";
    default:
        return L"unknown";
    }
}

std::wstring OrNone(const std::wstring& text) { return text.empty() ? L"(none)" : text; }

int ShowDevice() {
    wchar_t name[kTextChars] = {};
    wchar_t description[kTextChars] = {};
    KxRegUtil registry;
    if (registry.GetValue(WINCE_PROFILE_KEY, L"Name", name, kTextChars) == KX_OK) {
        registry.GetValue(WINCE_PROFILE_KEY, L"Description", description, kTextChars);
        Print(L"handset: " + std::wstring(name) + L" (" + description + L")");
    } else {
        Print(L"handset: none staged (a plain desktop)");
    }
    const unsigned long type = HelpAPI::GetDeviceType();
    Print(L"device type: " + Hex(type, 8) + L" (" + Family(type) + L")");
    Print(L"Windows Mobile 5 or later: " + YesNo(HelpAPI::IsWM5() != 0));
    GUID id;
    if (HelpAPI::GetDeviceID(&id))
        Print(L"device ID: " +
              HexBytes(reinterpret_cast<const unsigned char*>(&id), sizeof id, L""));
    else
        Print(L"device ID: (not available)");

    RadioInfo radio;
    HelpAPI::RadioVersionInfoCollect(::GetModuleHandleW(nullptr), radio);
    Print(L"phone: " + YesNo(radio.hasPhone != 0) + L", PDA: " + YesNo(IsPDA()));
    if (radio.hasPhone != 0) {
        Print(L"radio: " + std::wstring(radio.radioOff ? L"off" : L"on") + L", equipment state " +
              std::to_wstring(radio.equipmentState) + L", radio support " +
              std::to_wstring(radio.radioSupport));
        Print(L"manufacturer: " + OrNone(radio.manufacturer) + L", model: " + OrNone(radio.model) +
              L", revision: " + OrNone(radio.revision));
        Print(L"serial number: " + OrNone(radio.serialNumber) + L" (reported " +
              OrNone(radio.reportedSerialNumber) + L")");
        Print(L"subscriber number: " + OrNone(radio.subscriberNumber));
        Print(L"system: " + SystemName(radio.systemType) + L" (" + Hex(radio.systemType) +
              L"), registration status " + std::to_wstring(radio.registrationStatus));
        Print(L"operator: " + OrNone(radio.operatorLongName) + L" / " +
              OrNone(radio.operatorShortName) + L" / " + OrNone(radio.operatorNumericName));
    }
    Print(L"connection: " + LinkName(ConnMgr::GetConnectionType()));
    Print(L"notification type: " + std::to_wstring(HelpAPI::GetNotificationType(false)));
    return kExitOk;
}

}  // namespace

int RunDevice(const Args& args) {
    if (args.empty()) return ShowDevice();
    if (args[0] == L"handsets" && args.size() == 1) {
        for (DWORD i = 0; WinceHandsetName(i) != nullptr; ++i)
            Print(std::wstring(WinceHandsetName(i)) + L"  " + WinceHandsetDescription(i));
        return kExitOk;
    }
    if (args[0] == L"stage" && args.size() == 2) {
        if (!WinceStageHandset(args[1].c_str())) {
            if (::GetLastError() == ERROR_NOT_FOUND)
                return UsageError(L"no handset named '" + args[1] +
                                  L"' (kxctl device handsets lists them)");
            return CallFailed(L"staging", static_cast<int>(::GetLastError()));
        }
        Print(L"staged " + args[1]);
        return kExitOk;
    }
    if (args[0] == L"clear" && args.size() == 1) {
        if (!WinceClearDevice()) return CallFailed(L"clearing", static_cast<int>(::GetLastError()));
        Print(L"no handset staged: the device answers as a plain desktop");
        return kExitOk;
    }
    return UsageError(kUsage);
}

int RunSms(const Args& args) {
    if (args.size() != 1) return UsageError(kUsage);
    if (args[0] == L"register" || args[0] == L"unregister") {
        const bool reg = args[0] == L"register";
        const int status = reg ? KxConfig::RegisterSMSListern() : KxConfig::UnregisterSMSListern();
        if (status != KX_OK) {
            const wchar_t* why = status == KX_E_SMSLSN_NOT_LOADED ? L" (KXSMSLsn2.dll not loadable)"
                                 : status == KX_E_SMSLSN_NO_ENTRY ? L" (entry point missing)"
                                                                  : L" (the listener refused)";
            return CallFailed(args[0] + why, status);
        }
        Print(reg ? L"SMS listener registered" : L"SMS listener unregistered");
        return kExitOk;
    }
    if (args[0] != L"providers") return UsageError(kUsage);
    typedef KXSTATUS (*Reader)(wchar_t*, int);
    const struct {
        const wchar_t* name;
        Reader read;
    } providers[] = {
        {L"WDP", KxConfig::Get_ProviderDLLPath_WDP},
        {L"Notification", KxConfig::Get_ProviderDLLPath_Notify},
        {L"Text", KxConfig::Get_ProviderDLLPath_Text},
        {L"WCMP", KxConfig::Get_ProviderDLLPath_WCMP},
        {L"Broadcast", KxConfig::Get_ProviderDLLPath_Broadcast},
        {L"Status", KxConfig::Get_ProviderDLLPath_Status},
        {L"Raw", KxConfig::Get_ProviderDLLPath_Raw},
    };
    Print(HelpAPI::IsWM5()
              ? L"providers (HKEY_LOCAL_MACHINE\\Comm\\Cellular\\SMS\\Protocols):"
              : L"providers (HKEY_CURRENT_USER\\Software\\Microsoft\\SMS\\Protocols):");
    for (const auto& p : providers) {
        wchar_t path[kTextChars] = {};
        const KXSTATUS status = p.read(path, kTextChars);
        Print(std::wstring(L"  ") + p.name + L": " +
              (status == KX_OK
                   ? std::wstring(path)
                   : L"(not set, status " + Hex(static_cast<unsigned long>(status)) + L")"));
    }
    return kExitOk;
}

int RunProxy(const Args& args) {
    if (!args.empty()) return UsageError(kUsage);
    int use = 0;
    const KXSTATUS enabled = KxConfig::GetBeUseProxy(use);
    Print(L"proxies enabled: " + (enabled == KX_OK ? YesNo(use != 0) : L"no (not configured)"));
    wchar_t httpHost[kTextChars] = {}, socksHost[kTextChars] = {};
    wchar_t httpUser[kTextChars] = {}, socksUser[kTextChars] = {};
    unsigned long httpPort = 0, socksPort = 0;
    int httpPassword = 0, socksPassword = 0;
    const KXSTATUS status = KxConfig::GetProxy(httpHost, kTextChars, httpPort, socksHost,
                                               kTextChars, socksPort, httpUser, kTextChars,
                                               httpPassword, socksUser, kTextChars, socksPassword);
    if (status != KX_OK) {
        Print(L"no proxy configured (status " + Hex(static_cast<unsigned long>(status)) + L")");
        return kExitOk;
    }
    if (httpHost[0] != L'\0')
        Print(L"HTTP proxy: " + std::wstring(httpHost) + L":" + std::to_wstring(httpPort) +
              L", user " + OrNone(httpUser) + L", password " +
              (httpPassword ? L"set" : L"not set"));
    else
        Print(L"HTTP proxy: (none)");
    const wchar_t socksType = socksUser[kTextChars - 1];
    if (socksType != 0)
        Print(L"SOCKS " + std::wstring(socksType == 8 ? L"5" : L"4") + L" proxy: " + socksHost +
              L":" + std::to_wstring(socksPort) + L", user " + OrNone(socksUser) + L", password " +
              (socksPassword ? L"set" : L"not set"));
    else
        Print(L"SOCKS proxy: (none)");
    return kExitOk;
}

int RunConnect(const Args& args) {
    if (!args.empty() && args[0] == L"type") {
        if (args.size() == 1) {
            Print(L"connection: " + LinkName(ConnMgr::GetConnectionType()));
            return kExitOk;
        }
        if (args.size() != 2) return UsageError(kUsage);
        std::string name;
        for (wchar_t c : args[1]) name += c < 0x80 ? static_cast<char>(c) : '?';
        const int type = ConnMgr::GetConnectionType(name.c_str());
        Print(args[1] + L": " + std::to_wstring(type) + L" (" + LinkName(type) + L")");
        return kExitOk;
    }
    if (!args.empty()) return UsageError(kUsage);
    ConnMgr connection;
    const long result = connection.ConnectGPRS();
    if (result < 0) return CallFailed(L"connecting", static_cast<int>(result));
    Print(L"connected over " + LinkName(ConnMgr::GetConnectionType()));
    connection.Disconnect();
    Print(L"connection released");
    return kExitOk;
}

}  // namespace kxctl
