// The connection manager's proxy settings, read from its HTTP proxy provider's entries.
#include "kxcommon/HelpAPI.h"
#include "kxcommon/KxConfig.h"
#include "kxcommon/KxRegUtil.h"

#include "../internal/Boundary.h"
#include "../internal/kxplatform.h"
#include "../platform/DeviceRelease.h"
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

// Only the value's presence is asked: its data is never read, so the test needs no memory.
bool HasValue(const wchar_t* keyPath, const wchar_t* valueName) {
    RegKey key(keyPath);
    return static_cast<HKEY>(key) != nullptr &&
           ::RegQueryValueExW(key, valueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

struct Kind {
    wchar_t* host;
    unsigned long hostLength;
    unsigned long& port;
    wchar_t* userName;
    unsigned long userNameLength;
    int& hasPassword;
};

// The provider's subkey paths, released when the list goes.
struct SubKeys {
    std::vector<wchar_t*> paths;
    ~SubKeys() { KxRegUtil().ReleaseKeyList(paths); }
};

// One enabled entry of the provider key, parsed: which kind it sets and its address.
struct Match {
    const wchar_t* entry;
    DWORD type;
    std::wstring host;
    unsigned long port;
};

// Hands one entry to the caller's outputs of its kind; writes nothing that can fail for lack
// of memory.
void Take(const Match& match, const Kind& kind) {
    CopyCut(match.host, kind.host, kind.hostLength);
    kind.port = match.port;
    KxRegUtil().GetValue(match.entry, kProxyUserNameValue, kind.userName, kind.userNameLength);
    kind.hasPassword = HasValue(match.entry, kProxyPasswordValue) ? 1 : 0;
}

// The enabled HTTP and SOCKS entries with a "host:port" address, in the registry's order.
std::vector<Match> ParseEntries(const std::vector<wchar_t*>& entries) {
    KxRegUtil registry;
    std::vector<Match> matches;
    for (const wchar_t* entry : entries) {
        unsigned long enabled = 0;
        if (registry.GetValue(entry, kProxyEnableValue, enabled) != KX_OK || enabled == 0) continue;
        unsigned long type = 0;
        if (registry.GetValue(entry, kProxyTypeValue, type) != KX_OK) continue;
        const bool http = type == kTypeHttp && std::wcsstr(entry, L"HTTP") != nullptr;
        if (!http && type != kTypeSocks4 && type != kTypeSocks5) continue;
        wchar_t address[kProxyTextChars] = {};
        if (registry.GetValue(entry, kProxyAddressValue, address, kProxyTextChars) != KX_OK)
            continue;
        Match match{entry, type, std::wstring(), 0};
        if (kx::ParseProxyAddress(address, match.host, match.port))
            matches.push_back(std::move(match));
    }
    return matches;
}

}  // namespace

KXSTATUS KxConfig::GetBeUseProxy(int& use) {
    unsigned long enabled = 0;
    const KXSTATUS status =
        KxRegUtil().GetValue(kProxyProvidersKeyEarlier, kProxyEnableValue, enabled);
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
    bool wm5 = false;
    if (!kx::ReadIsWM5(&wm5)) return KX_E_REGISTRY;
    const wchar_t* provider = wm5 ? kProxyProvidersKeyWm5 : kProxyProvidersKeyEarlier;
    // The entries are listed and parsed before any output is written, so a walk cut short by
    // a lack of memory leaves every output as the caller put it.
    return kx::Boundary(KX_E_REGISTRY, [&]() -> KXSTATUS {
        SubKeys entries;
        const KXSTATUS listed = KxRegUtil().EnumSubKey(provider, entries.paths);
        if (listed != KX_OK) return listed;
        const std::vector<Match> matches = ParseEntries(entries.paths);

        socksUserName[socksUserNameLength - 1] = L'\0';
        const Kind http{httpHost,     httpHostLength,     httpPort,
                        httpUserName, httpUserNameLength, httpHasPassword};
        const Kind socks{socksHost,     socksHostLength,     socksPort,
                         socksUserName, socksUserNameLength, socksHasPassword};
        // A later entry of a kind overwrites an earlier one.
        for (const Match& match : matches) {
            if (match.type == kTypeHttp) {
                Take(match, http);
            } else {
                Take(match, socks);
                socksUserName[socksUserNameLength - 1] = static_cast<wchar_t>(match.type);
            }
        }
        return KX_OK;
    });
}
