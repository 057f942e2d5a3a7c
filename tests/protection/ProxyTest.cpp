// The connection manager's proxy settings as the library reads them.
#include <kxcommon/KxConfig.h>

#include "DeviceFixture.h"
#include "Profile.h"

#include <cwchar>
#include <string>

namespace {

namespace p = wince::profile;

const std::wstring kWm5Providers =
    L"Comm\\ConnMgr\\Providers\\{EF097F4C-DC4B-4c98-8FF6-AEF805DC0E8E}";
const std::wstring kEarlierProviders =
    L"SOFTWARE\\Microsoft\\ConnMgr\\Providers\\{EF097F4C-DC4B-4c98-8FF6-AEF805DC0E8E}";

void SetNumber(const std::wstring& key, const wchar_t* name, DWORD value) {
    kxtest::RawSetValue(key.c_str(), name, REG_DWORD, &value, sizeof value);
}
void SetText(const std::wstring& key, const wchar_t* name, const std::wstring& text) {
    kxtest::RawSetValue(key.c_str(), name, REG_SZ, text.c_str(),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// One proxy entry under the provider key.
void Entry(const std::wstring& provider, const wchar_t* subkey, DWORD type,
           const std::wstring& proxy, DWORD enable = 1) {
    const std::wstring key = provider + L"\\" + subkey;
    SetNumber(key, L"Enable", enable);
    SetNumber(key, L"Type", type);
    SetText(key, L"Proxy", proxy);
}

// The twelve outputs, preset with sentinels so that untouched ones show.
struct Outputs {
    static constexpr unsigned long kChars = 32;
    wchar_t httpHost[kChars], socksHost[kChars], httpUser[kChars], socksUser[kChars];
    unsigned long httpPort = 7, socksPort = 7;
    int httpPassword = 7, socksPassword = 7;

    Outputs() {
        for (wchar_t* b : {httpHost, socksHost, httpUser, socksUser}) {
            std::wmemset(b, L'#', kChars);
            std::wcscpy(b, L"unset");
        }
    }
    KXSTATUS Read() {
        return KxConfig::GetProxy(httpHost, kChars, httpPort, socksHost, kChars, socksPort,
                                  httpUser, kChars, httpPassword, socksUser, kChars, socksPassword);
    }
};

class ProxyTest : public kxtest::DeviceTest {
protected:
    void SetUp() override {
        kxtest::DeviceTest::SetUp();
        kxtest::StageProfileNumber(p::kMajorVersion, 5);
    }
};

TEST_F(ProxyTest, HttpEntryOnlyUnderAnHttpSubkey) {
    Entry(kWm5Providers, L"HTTP-{436EF144-B4FB-4863-A041-8F905A62C572}", 1, L"proxy.example:8080");
    SetText(kWm5Providers + L"\\HTTP-{436EF144-B4FB-4863-A041-8F905A62C572}", L"UserName", L"ann");
    Outputs out;
    ASSERT_EQ(out.Read(), 0);
    EXPECT_STREQ(out.httpHost, L"proxy.example");
    EXPECT_EQ(out.httpPort, 8080u);
    EXPECT_STREQ(out.httpUser, L"ann");
    EXPECT_EQ(out.httpPassword, 0);
    EXPECT_STREQ(out.socksHost, L"unset") << "no SOCKS entry: its outputs are left as they were";
    EXPECT_EQ(out.socksPort, 7u);
    EXPECT_EQ(out.socksUser[Outputs::kChars - 1], L'\0') << "the SOCKS type starts cleared";

    kxtest::ResetDevice();
    kxtest::StageProfileNumber(p::kMajorVersion, 5);
    Entry(kWm5Providers, L"Work-{18AD9FBD-F716-ACB6-FD8A-1965DB95B814}", 1, L"proxy.example:8080");
    Entry(kWm5Providers, L"http-lower", 1, L"lower.example:81");
    Outputs ignored;
    ASSERT_EQ(ignored.Read(), 0);
    EXPECT_STREQ(ignored.httpHost, L"unset") << "HTTP is looked for in the subkey name as is";
}

TEST_F(ProxyTest, ProxyTextsWithoutColonOrPort) {
    const struct {
        const wchar_t* proxy;
        const wchar_t* host;
        unsigned long port;
    } cases[] = {
        {L"bare.example", L"unset", 7},  // no colon: ignored
        {L"host.example:", L"host.example", 0},
        {L"host.example:abc", L"host.example", 0},
        {L"host.example:3128:extra", L"host.example", 3128},
        {L":8080", L"", 8080},
    };
    for (const auto& c : cases) {
        kxtest::ResetDevice();
        kxtest::StageProfileNumber(p::kMajorVersion, 5);
        Entry(kWm5Providers, L"HTTP-1", 1, c.proxy);
        Outputs out;
        ASSERT_EQ(out.Read(), 0);
        EXPECT_STREQ(out.httpHost, c.host) << c.proxy;
        EXPECT_EQ(out.httpPort, c.port) << c.proxy;
    }
}

TEST_F(ProxyTest, SocksTypeInTheLastCharacterAndPasswordsOfAnyType) {
    Entry(kWm5Providers, L"SOCKS-a", 8, L"socks.example:1080");
    const std::wstring key = kWm5Providers + L"\\SOCKS-a";
    SetText(key, L"UserName", L"bob");
    kxtest::RawSetValue(key.c_str(), L"Password", REG_BINARY, "", 0);  // empty, still present
    Outputs out;
    ASSERT_EQ(out.Read(), 0);
    EXPECT_STREQ(out.socksHost, L"socks.example");
    EXPECT_EQ(out.socksPort, 1080u);
    EXPECT_STREQ(out.socksUser, L"bob");
    EXPECT_EQ(out.socksUser[Outputs::kChars - 1], static_cast<wchar_t>(8));
    EXPECT_EQ(out.socksPassword, 1);
    EXPECT_STREQ(out.httpHost, L"unset");

    const DWORD number = 0;
    kxtest::RawSetValue(key.c_str(), L"Password", REG_DWORD, &number, sizeof number);
    SetNumber(key, L"Type", 4);
    Outputs again;
    ASSERT_EQ(again.Read(), 0);
    EXPECT_EQ(again.socksPassword, 1);
    EXPECT_EQ(again.socksUser[Outputs::kChars - 1], static_cast<wchar_t>(4));
}

TEST_F(ProxyTest, DisabledUnknownAndLaterEntries) {
    Entry(kWm5Providers, L"HTTP-a", 1, L"first.example:1");
    Entry(kWm5Providers, L"HTTP-b", 1, L"second.example:2");
    Entry(kWm5Providers, L"HTTP-c", 1, L"disabled.example:3", 0);
    Entry(kWm5Providers, L"HTTP-d", 2, L"wap.example:9201");  // WAP proxies are not read
    Entry(kWm5Providers, L"HTTP-e", 5, L"odd.example:5");
    const std::wstring noType = kWm5Providers + L"\\HTTP-f";
    SetNumber(noType, L"Enable", 1);
    SetText(noType, L"Proxy", L"notype.example:6");
    Outputs out;
    ASSERT_EQ(out.Read(), 0);
    EXPECT_STREQ(out.httpHost, L"second.example") << "the last enabled entry wins";
    EXPECT_EQ(out.httpPort, 2u);
}

TEST_F(ProxyTest, HostsAreCutToTheirBuffers) {
    Entry(kWm5Providers, L"HTTP-long", 1, std::wstring(40, L'h') + L":80");
    wchar_t host[9], socks[9], user[9], socksUser[9];
    host[8] = socks[8] = user[8] = socksUser[8] = L'!';
    unsigned long httpPort = 0, socksPort = 0;
    int a = 0, b = 0;
    // Capacities one short of the arrays: the last character is a canary.
    ASSERT_EQ(
        KxConfig::GetProxy(host, 8, httpPort, socks, 8, socksPort, user, 8, a, socksUser, 8, b), 0);
    EXPECT_EQ(std::wstring(host), std::wstring(7, L'h'));
    EXPECT_EQ(host[8], L'!');
    EXPECT_EQ(socksUser[8], L'!');
    EXPECT_EQ(httpPort, 80u);
}

TEST_F(ProxyTest, LocationByReleaseAndTheEnableSwitch) {
    Entry(kWm5Providers, L"HTTP-new", 1, L"new.example:1");
    Entry(kEarlierProviders, L"HTTP-old", 1, L"old.example:2");
    SetNumber(kEarlierProviders, L"Enable", 1);
    Outputs wm5;
    ASSERT_EQ(wm5.Read(), 0);
    EXPECT_STREQ(wm5.httpHost, L"new.example");
    int use = 9;
    EXPECT_EQ(KxConfig::GetBeUseProxy(use), 0);
    EXPECT_EQ(use, 1);

    kxtest::StageProfileNumber(p::kMajorVersion, 4);
    Outputs earlier;
    ASSERT_EQ(earlier.Read(), 0);
    EXPECT_STREQ(earlier.httpHost, L"old.example");
    SetNumber(kEarlierProviders, L"Enable", 0);
    EXPECT_EQ(KxConfig::GetBeUseProxy(use), 0);
    EXPECT_EQ(use, 0);
}

TEST_F(ProxyTest, NothingConfigured) {
    int use = 9;
    EXPECT_EQ(KxConfig::GetBeUseProxy(use), KX_E_REGISTRY);
    EXPECT_EQ(use, 0);
    Outputs out;
    out.socksUser[Outputs::kChars - 1] = L'#';
    EXPECT_EQ(out.Read(), KX_E_REGISTRY);
    EXPECT_EQ(out.socksUser[Outputs::kChars - 1], L'#') << "no output is touched";
    EXPECT_STREQ(out.httpHost, L"unset");
    EXPECT_EQ(
        KxConfig::GetProxy(nullptr, 8, out.httpPort, out.socksHost, 8, out.socksPort, out.httpUser,
                           8, out.httpPassword, out.socksUser, 8, out.socksPassword),
        KX_E_INVALIDARG);
}

}  // namespace
