// The connection manager's proxy settings, read from its HTTP proxy provider's entries.
#include "kxcommon/HelpAPI.h"
#include "kxcommon/KxConfig.h"
#include "kxcommon/KxRegUtil.h"

#include "../internal/kxplatform.h"
#include "../registry/Settings.h"
#include "ProxyAddress.h"

#include <cwchar>
#include <string>
#include <vector>

namespace {

using namespace kx::settings;

constexpr unsigned long kProxyTextChars = 1024;  // 1023 characters and the terminator
constexpr DWORD kTypeHttp = 1;
constexpr DWORD kTypeSocks4 = 4;
constexpr DWORD kTypeSocks5 = 8;

void CopyCut(const std::wstring& text, wchar_t* out, unsigned long capacity) {
    const size_t chars = text.size() < capacity ? text.size() : capacity - 1;
    std::wmemcpy(out, text.c_str(), chars);
    out[chars] = L'\0';
}

bool HasValue(const wchar_t* keyPath, const wchar_t* valueName) {
    RegKey key(keyPath);
    if (static_cast<HKEY>(key) == nullptr) return false;
    RegValueData data;
    return RegQV(key)(valueName, data);
}

struct Kind {
    wchar_t* host;
    unsigned long hostLength;
    unsigned long& port;
    wchar_t* userName;
    unsigned long userNameLength;
    int& hasPassword;
};

void Take(const wchar_t* entry, const std::wstring& host, unsigned long port, const Kind& kind) {
    CopyCut(host, kind.host, kind.hostLength);
    kind.port = port;
    KxRegUtil().GetValue(entry, kProxyUserNameValue, kind.userName, kind.userNameLength);
    kind.hasPassword = HasValue(entry, kProxyPasswordValue) ? 1 : 0;
}

}  // namespace

KXSTATUS KxConfig::GetBeUseProxy(int& use) {
    unsigned long enabled = 0;
    const KXSTATUS status = KxRegUtil().GetValue(kProxyProvidersKeyEarlier, kProxyEnableValue,
                                                 enabled);
    use = status == KX_OK && enabled != 0 ? 1 : 0;
    return status;
}

KXSTATUS KxConfig::GetProxy(wchar_t* httpHost, unsigned long httpHostLength,
                            unsigned long& httpPort, wchar_t* socksHost,
                            unsigned long socksHostLength, unsigned long& socksPort,
                            wchar_t* httpUserName, unsigned long httpUserNameLength,
                            int& httpHasPassword, wchar_t* socksUserName,
                            unsigned long socksUserNameLength, int& socksHasPassword) {
    if (httpHost == nullptr || socksHost == nullptr || httpUserName == nullptr ||
        socksUserName == nullptr || httpHostLength == 0 || socksHostLength == 0 ||
        httpUserNameLength == 0 || socksUserNameLength == 0)
        return KX_E_INVALIDARG;
    const wchar_t* provider =
        HelpAPI::IsWM5() ? kProxyProvidersKeyWm5 : kProxyProvidersKeyEarlier;
    KxRegUtil registry;
    std::vector<wchar_t*> entries;
    const KXSTATUS listed = registry.EnumSubKey(provider, entries);
    if (listed != KX_OK) {
        registry.ReleaseKeyList(entries);
        return listed;
    }
    socksUserName[socksUserNameLength - 1] = L'\0';
    const Kind http{httpHost, httpHostLength, httpPort, httpUserName, httpUserNameLength,
                    httpHasPassword};
    const Kind socks{socksHost, socksHostLength, socksPort, socksUserName, socksUserNameLength,
                     socksHasPassword};

    for (const wchar_t* entry : entries) {
        unsigned long enabled = 0;
        if (registry.GetValue(entry, kProxyEnableValue, enabled) != KX_OK || enabled == 0)
            continue;
        unsigned long type = 0;
        if (registry.GetValue(entry, kProxyTypeValue, type) != KX_OK) continue;
        std::vector<wchar_t> address(kProxyTextChars, L'\0');
        if (registry.GetValue(entry, kProxyAddressValue, address.data(), kProxyTextChars) != KX_OK)
            continue;
        std::wstring host;
        unsigned long port = 0;
        if (!kx::ParseProxyAddress(address.data(), host, port)) continue;
        if (type == kTypeHttp && std::wcsstr(entry, L"HTTP") != nullptr) {
            Take(entry, host, port, http);
        } else if (type == kTypeSocks4 || type == kTypeSocks5) {
            Take(entry, host, port, socks);
            socksUserName[socksUserNameLength - 1] = static_cast<wchar_t>(type);
        }
    }
    registry.ReleaseKeyList(entries);
    return KX_OK;
}
