// The handsets the tests and the demo stage, and staging itself: the device profile plus the
// platform settings a handset comes with (its SMS protocol providers and its connection
// manager's proxies, where its platform release keeps them).
#include "wince/wince.h"

#include "OutOfMemory.h"
#include "internal/RegistryValue.h"
#include "Profile.h"

#include <cwchar>
#include <string>
#include <vector>

namespace {

using namespace wince;

constexpr wchar_t kSmsProtocolsWm5[] = L"Comm\\Cellular\\SMS\\Protocols\\";           // HKLM
constexpr wchar_t kSmsProtocolsEarlier[] = L"Software\\Microsoft\\SMS\\Protocols\\";  // HKCU
constexpr wchar_t kProxyProvidersWm5[] =
    L"Comm\\ConnMgr\\Providers\\{EF097F4C-DC4B-4c98-8FF6-AEF805DC0E8E}";
constexpr wchar_t kProxyProvidersEarlier[] =
    L"SOFTWARE\\Microsoft\\ConnMgr\\Providers\\{EF097F4C-DC4B-4c98-8FF6-AEF805DC0E8E}";
const wchar_t* const kSmsProtocols[] = {L"WDP",       L"Notification", L"Text", L"WCMP",
                                        L"Broadcast", L"Status",       L"Raw"};

// Roots of what staging writes besides the profile, deleted when the device is cleared.
struct Root {
    HKEY root;
    const wchar_t* path;
};
const Root kStagedRoots[] = {
    {HKEY_LOCAL_MACHINE, WINCE_PROFILE_KEY},
    {HKEY_LOCAL_MACHINE, L"Comm"},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\ConnMgr"},
    {HKEY_CURRENT_USER, L"Software\\Microsoft\\SMS"},
};

struct ProxyEntry {
    const wchar_t* subkey;
    DWORD type;  // CONNMGR_FLAG_PROXY_*
    const wchar_t* proxy;
    const wchar_t* userName;
    const wchar_t* password;  // null: none
};

struct Handset {
    const wchar_t* name;
    const wchar_t* description;
    DWORD major, minor, build;
    const wchar_t* platformType;
    DWORD platformTypeError;  // nonzero: the platform-type query is refused with it
    std::vector<BYTE> presetId, platformId;
    DWORD telephony;  // 0: no telephony at all
    std::vector<std::wstring> lines;
    DWORD equipmentState, radioSupport, systemType, registerStatus;
    const wchar_t* manufacturer;
    const wchar_t* model;
    const wchar_t* revision;
    const wchar_t* serialNumber;
    const wchar_t* subscriberNumber;
    const wchar_t* operatorLong;
    const wchar_t* operatorShort;
    const wchar_t* operatorNumeric;
    std::vector<std::wstring> adapters;
    DWORD connectResult;
    const wchar_t* smsProviderDll;
    DWORD proxiesEnabled;
    std::vector<ProxyEntry> proxies;
};

// One handset to a paragraph, its fields in the order of the record.
// clang-format off
const std::vector<Handset>& Handsets() {
    static const std::vector<Handset> handsets = {
        {L"wm5-gsm", L"Windows Mobile 5 Pocket PC phone on a GSM network, in its USB cradle",
         5, 1, 14847, L"PocketPC", 0,
         {0x4B, 0x58, 0x35, 0x47, 0x00, 0x01, 0x12, 0x9A},
         {0x31, 0x7C, 0xE0, 0x05, 0x88, 0x42, 0x6D, 0x10},
         1, {L"IrDA Modem", CELLTSP_LINENAME_STRING},
         LINEEQUIPSTATE_FULL, LINERADIOSUPPORT_ON, LINESYSTEMTYPE_GSM, LINEREGSTATUS_HOME,
         L"Norvik", L"NV-5100", L"02.47.90", L"IMEI 35-491600-214571-3", L"+447700900123",
         L"Tellmark UK", L"Tellmark", L"23455",
         {L"USB Cable", CELLTSP_LINENAME_STRING}, static_cast<DWORD>(S_OK),
         L"sms_providers.dll", 1,
         {{L"HTTP-{436EF144-B4FB-4863-A041-8F905A62C572}", CONNMGR_FLAG_PROXY_HTTP,
           L"proxy.tellmark.example:8080", L"wap", L""}}},
        {L"wm6-cdma", L"Windows Mobile 6 Smartphone on a CDMA network",
         5, 2, 19202, L"Smartphone", 0,
         {0x4B, 0x58, 0x36, 0x43, 0x00, 0x02, 0x7F, 0x03},
         {0xA2, 0x19, 0x5E, 0x44, 0x0B, 0xC1, 0x93, 0x6E},
         1, {CELLTSP_LINENAME_STRING},
         LINEEQUIPSTATE_FULL, LINERADIOSUPPORT_ON, LINESYSTEMTYPE_1XRTTPACKET, LINEREGSTATUS_HOME,
         L"Kestrel", L"KS-620", L"1.12.003", L"ESN:9F2A3C1B", L"5550142",
         nullptr, nullptr, nullptr,
         {CELLTSP_LINENAME_STRING, L"USB Cable"}, static_cast<DWORD>(S_OK),
         L"sms_providers.dll", 1,
         {{L"SOCKS-{436EF144-B4FB-4863-A041-8F905A62C572}", CONNMGR_FLAG_PROXY_SOCKS5,
           L"socks.corvia.example:1080", L"ks620", L"secret"}}},
        {L"wm2003-pda", L"Windows Mobile 2003 Pocket PC without a phone, Bluetooth only",
         4, 20, 14053, L"PocketPC", 0,
         {0x4B, 0x58, 0x34, 0x50, 0x00, 0x03},
         {0x5D, 0x20, 0x81, 0x3A, 0x77, 0x0E, 0x9C, 0x41, 0x02, 0xFF},
         1, {L"IrDA Modem"},
         0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
         {L"Bluetooth PAN"}, 0x80004005,  // E_FAIL: no path to the Internet
         L"sms_providers.dll", 0,
         {{L"HTTP-{436EF144-B4FB-4863-A041-8F905A62C572}", CONNMGR_FLAG_PROXY_HTTP,
           L"10.0.0.1:3128", nullptr, nullptr}}},
        {L"sp2003-off", L"Windows Mobile 2003 Smartphone that refuses the platform-type query, "
                        L"radio switched off",
         4, 21, 14235, nullptr, ERROR_ACCESS_DENIED,
         {0x4B, 0x58, 0x34, 0x53}, {0x10, 0x20, 0x30, 0x40},
         1, {CELLTSP_LINENAME_STRING},
         LINEEQUIPSTATE_MINIMUM, LINERADIOSUPPORT_OFF, LINESYSTEMTYPE_NONE, LINEREGSTATUS_HOME,
         L"Norvik", L"NV-2300", L"01.08.12", L"IMEI 35-100200-300400-5", nullptr,
         nullptr, nullptr, nullptr,
         {CELLTSP_LINENAME_STRING}, 0x80004005, L"sms_providers.dll", 1, {}},
        {L"wm5-notapi", L"Windows Mobile 5 Pocket PC whose telephony cannot start",
         5, 1, 14960, L"PocketPC", 0,
         {0x4B, 0x58, 0x35, 0x4E}, {0x01, 0x02, 0x03, 0x04},
         0, {},
         0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
         {L"Wireless LAN"}, static_cast<DWORD>(S_OK), L"sms_providers.dll", 0, {}},
    };
    // clang-format on
    return handsets;
}

bool SetValue(HKEY root, const std::wstring& path, const wchar_t* name, DWORD type,
              const void* data, size_t size) {
    return kx::CreateKeyAndSetValue(root, path.c_str(), name, type, data,
                                    static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

bool SetText(HKEY root, const std::wstring& path, const wchar_t* name, const wchar_t* text) {
    if (text == nullptr) return true;
    return SetValue(root, path, name, REG_SZ, text, (std::wcslen(text) + 1) * sizeof(wchar_t));
}

bool SetNumber(HKEY root, const std::wstring& path, const wchar_t* name, DWORD number) {
    return SetValue(root, path, name, REG_DWORD, &number, sizeof number);
}

bool SetList(const wchar_t* name, const std::vector<std::wstring>& items) {
    std::wstring packed;
    for (const std::wstring& item : items) packed += item + L'\0';
    packed += L'\0';
    return SetValue(HKEY_LOCAL_MACHINE, WINCE_PROFILE_KEY, name, REG_MULTI_SZ, packed.data(),
                    packed.size() * sizeof(wchar_t));
}

bool SetBytes(const wchar_t* name, const std::vector<BYTE>& bytes) {
    return SetValue(HKEY_LOCAL_MACHINE, WINCE_PROFILE_KEY, name, REG_BINARY, bytes.data(),
                    bytes.size());
}

bool Stage(const Handset& h) {
    const HKEY lm = HKEY_LOCAL_MACHINE;
    const std::wstring p = WINCE_PROFILE_KEY;
    bool ok = SetText(lm, p, profile::kName, h.name) &&
              SetText(lm, p, profile::kDescription, h.description) &&
              SetNumber(lm, p, profile::kMajorVersion, h.major) &&
              SetNumber(lm, p, profile::kMinorVersion, h.minor) &&
              SetNumber(lm, p, profile::kBuildNumber, h.build) &&
              SetNumber(lm, p, profile::kPlatformId, VER_PLATFORM_WIN32_CE) &&
              SetText(lm, p, profile::kPlatformType, h.platformType) &&
              SetBytes(profile::kPresetId, h.presetId) &&
              SetBytes(profile::kPlatformIdBytes, h.platformId) &&
              SetNumber(lm, p, profile::kTelephony, h.telephony) &&
              SetList(profile::kLines, h.lines) && SetList(profile::kAdapters, h.adapters) &&
              SetNumber(lm, p, profile::kConnectResult, h.connectResult);
    if (h.platformTypeError != 0)
        ok = ok && SetNumber(lm, p, profile::kPlatformTypeError, h.platformTypeError);
    if (h.manufacturer != nullptr) {
        ok = ok && SetNumber(lm, p, profile::kEquipmentState, h.equipmentState) &&
             SetNumber(lm, p, profile::kRadioSupport, h.radioSupport) &&
             SetNumber(lm, p, profile::kSystemType, h.systemType) &&
             SetNumber(lm, p, profile::kRegisterStatus, h.registerStatus) &&
             SetText(lm, p, profile::kManufacturer, h.manufacturer) &&
             SetText(lm, p, profile::kModel, h.model) &&
             SetText(lm, p, profile::kRevision, h.revision) &&
             SetText(lm, p, profile::kSerialNumber, h.serialNumber) &&
             SetText(lm, p, profile::kSubscriberNumber, h.subscriberNumber) &&
             SetText(lm, p, profile::kOperatorLong, h.operatorLong) &&
             SetText(lm, p, profile::kOperatorShort, h.operatorShort) &&
             SetText(lm, p, profile::kOperatorNumeric, h.operatorNumeric);
    }

    // Windows Mobile 5 moved the SMS providers and the proxies under "Comm".
    const bool wm5 = h.major >= 5;
    for (const wchar_t* protocol : kSmsProtocols) {
        const std::wstring key =
            std::wstring(wm5 ? kSmsProtocolsWm5 : kSmsProtocolsEarlier) + protocol;
        ok = ok &&
             SetText(wm5 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, key, L"DLL", h.smsProviderDll);
    }
    ok = ok && SetNumber(lm, kProxyProvidersEarlier, L"Enable", h.proxiesEnabled);
    for (const ProxyEntry& e : h.proxies) {
        const std::wstring key =
            std::wstring(wm5 ? kProxyProvidersWm5 : kProxyProvidersEarlier) + L"\\" + e.subkey;
        ok = ok && SetNumber(lm, key, L"Enable", 1) && SetNumber(lm, key, L"Type", e.type) &&
             SetText(lm, key, L"Proxy", e.proxy) && SetText(lm, key, L"UserName", e.userName) &&
             SetText(lm, key, L"Password", e.password);
    }
    return ok;
}

}  // namespace

extern "C" {

LPCWSTR WinceHandsetName(DWORD index) {
    return wince::OrOutOfMemory(static_cast<LPCWSTR>(nullptr), [&]() -> LPCWSTR {
        return index < Handsets().size() ? Handsets()[index].name : nullptr;
    });
}

LPCWSTR WinceHandsetDescription(DWORD index) {
    return wince::OrOutOfMemory(static_cast<LPCWSTR>(nullptr), [&]() -> LPCWSTR {
        return index < Handsets().size() ? Handsets()[index].description : nullptr;
    });
}

BOOL WinceStageHandset(LPCWSTR name) {
    if (name == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const Handset* handset = wince::OrOutOfMemory(static_cast<const Handset*>(nullptr), [&] {
        for (const Handset& h : Handsets())
            if (std::wcscmp(h.name, name) == 0) return &h;
        ::SetLastError(ERROR_NOT_FOUND);
        return static_cast<const Handset*>(nullptr);
    });
    if (handset == nullptr || !WinceClearDevice()) return FALSE;
    if (!wince::OrOutOfMemory(false, [&] { return Stage(*handset); })) {
        WinceClearDevice();  // never leave half a handset behind
        ::SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    return TRUE;
}

BOOL WinceClearDevice(void) {
    for (const Root& r : kStagedRoots) {
        const LSTATUS status = ::RegDeleteTreeW(r.root, r.path);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
            ::SetLastError(static_cast<DWORD>(status));
            return FALSE;
        }
    }
    return TRUE;
}

}  // extern "C"
