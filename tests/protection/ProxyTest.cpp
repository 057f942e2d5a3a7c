// The connection manager's proxy settings as the library reads them.

#include "Profile.h"
#include "RegistryRows.h"

namespace {

const std::wstring kWm5 = L"Comm\\ConnMgr\\Providers\\{EF097F4C-DC4B-4c98-8FF6-AEF805DC0E8E}";
// The same providers' key as the earlier releases keep it.
const std::wstring kEarlier = L"SOFTWARE\\Microsoft" + kWm5.substr(4);

// One proxy entry, a subkey of the providers' key.
struct ProxyEntry {
    const wchar_t* subkey;
    const wchar_t* proxy;
    DWORD type;  // 0: no Type value
    DWORD enable = 1;
    DWORD passwordType = REG_NONE;  // REG_NONE: no Password value
    const wchar_t* user = nullptr;
    bool earlier = false;  // under the earlier releases' key
};

void Stage(const ProxyEntry& entry) {
    const std::wstring key = (entry.earlier ? kEarlier : kWm5) + L"\\" + entry.subkey;
    kxtest::RawSetValue(key.c_str(), L"Enable", REG_DWORD, &entry.enable, 4);
    if (entry.type != 0) kxtest::RawSetValue(key.c_str(), L"Type", REG_DWORD, &entry.type, 4);
    kxtest::StoreText(key.c_str(), L"Proxy", entry.proxy);
    if (entry.user) kxtest::StoreText(key.c_str(), L"UserName", entry.user);
    if (entry.passwordType != REG_NONE)
        kxtest::RawSetValue(key.c_str(), L"Password", entry.passwordType, "", 0);
}

// What GetProxy hands back of one kind of proxy; each output starts as "-" or 7, so that an
// untouched one shows.
struct Proxy {
    std::wstring host = L"-";
    unsigned long port = 7;
    std::wstring user = L"-";
    int hasPassword = 7;
    bool operator==(const Proxy&) const = default;
};
std::string Describe(const Proxy& proxy) {
    return kxtest::Narrow(proxy.host) + ":" + std::to_string(proxy.port) + ", user \"" +
           kxtest::Narrow(proxy.user) + "\", password " + std::to_string(proxy.hasPassword);
}

class ProxyTest : public kxtest::DeviceTest {};

struct ProxyRow {
    const char* name;
    DWORD release;
    std::vector<ProxyEntry> entries;
    KXSTATUS status;
    Proxy http, socks;
    wchar_t socksType;  // the last unit of the SOCKS user-name buffer, '#' before the call
};
TEST_F(ProxyTest, ProxyEntriesByTypeNameAndRelease) {
    const Proxy none;  // untouched
    // clang-format off
    const ProxyRow rows[] = {
        {.name = "nothing configured", .release = 5, .entries = {},
         .status = KX_E_REGISTRY, .http = none, .socks = none, .socksType = L'#'},
        {.name = "no colon: ignored", .release = 5, .entries = {{.subkey = L"HTTP-1", .proxy = L"bare.example", .type = 1}},
         .status = KX_OK, .http = none, .socks = none, .socksType = 0},
        {.name = "no digits: port 0", .release = 5, .entries = {{.subkey = L"HTTP-1", .proxy = L"h.example:abc", .type = 1}},
         .status = KX_OK, .http = {.host = L"h.example", .port = 0, .user = L"-", .hasPassword = 0}, .socks = none, .socksType = 0},
        {.name = "the last enabled HTTP entry wins, with its user", .release = 5,
         .entries = {{.subkey = L"HTTP-a", .proxy = L"a:1", .type = 1}, {.subkey = L"HTTP-b", .proxy = L"b:2", .type = 1, .user = L"ann"}},
         .status = KX_OK, .http = {.host = L"b", .port = 2, .user = L"ann", .hasPassword = 0}, .socks = none, .socksType = 0},
        {.name = "disabled, WAP (2) and untyped entries are passed over", .release = 5,
         .entries = {{.subkey = L"HTTP-c", .proxy = L"c:3", .type = 1, .enable = 0},
                     {.subkey = L"HTTP-d", .proxy = L"d:4", .type = 2}, {.subkey = L"HTTP-f", .proxy = L"f:6", .type = 0}},
         .status = KX_OK, .http = none, .socks = none, .socksType = 0},
        {.name = "a SOCKS 5 proxy with a password", .release = 5,
         .entries = {{.subkey = L"SOCKS-a", .proxy = L"s:1080", .type = 8, .passwordType = REG_BINARY, .user = L"bob"}},
         .status = KX_OK, .http = none, .socks = {.host = L"s", .port = 1080, .user = L"bob", .hasPassword = 1}, .socksType = 8},
        {.name = "release 4 reads the earlier key only", .release = 4,
         .entries = {{.subkey = L"HTTP-new", .proxy = L"n:1", .type = 1},
                     {.subkey = L"HTTP-old", .proxy = L"o:2", .type = 1, .earlier = true}},
         .status = KX_OK, .http = {.host = L"o", .port = 2, .user = L"-", .hasPassword = 0}, .socks = none, .socksType = 0},
    };
    // clang-format on
    for (const ProxyRow& row : rows) {
        kxtest::ResetDevice();
        kxtest::StageProfileNumber(wince::profile::kMajorVersion, row.release);
        for (const ProxyEntry& entry : row.entries) Stage(entry);
        constexpr unsigned long kCapacity = 32;
        wchar_t httpHost[kCapacity] = L"-", socksHost[kCapacity] = L"-";
        wchar_t httpUser[kCapacity] = L"-", socksUser[kCapacity] = L"-";
        socksUser[kCapacity - 1] = L'#';
        Proxy http, socks;
        const KXSTATUS status = KxConfig::GetProxy(
            httpHost, kCapacity, http.port, socksHost, kCapacity, socks.port, httpUser, kCapacity,
            http.hasPassword, socksUser, kCapacity, socks.hasPassword);
        http.host = httpHost;
        http.user = httpUser;
        socks.host = socksHost;
        socks.user = socksUser;
        const wchar_t socksType = socksUser[kCapacity - 1];
        EXPECT_TRUE(status == row.status && http == row.http && socks == row.socks &&
                    socksType == row.socksType)
            << row.name << ": answered 0x" << std::hex << status << std::dec << " with HTTP "
            << Describe(http) << ", SOCKS " << Describe(socks) << ", SOCKS type " << int(socksType)
            << "; expected HTTP " << Describe(row.http) << ", SOCKS " << Describe(row.socks)
            << ", SOCKS type " << int(row.socksType);
    }
}

// Capacities of 8 in arrays of 10 whose first and last units are canaries: hosts are cut to the
// capacity - 1; a missing buffer or a zero capacity is refused before anything is written.
TEST_F(ProxyTest, BuffersCapacitiesAndTheEnableSwitch) {
    kxtest::StageProfileNumber(wince::profile::kMajorVersion, 5);
    Stage({.subkey = L"HTTP-long", .proxy = L"hhhhhhhhhhhh:80", .type = 1});
    wchar_t httpHost[10], socksHost[10], httpUser[10], socksUser[10];
    for (wchar_t* buffer : {httpHost, socksHost, httpUser, socksUser}) buffer[0] = buffer[9] = L'!';
    unsigned long httpPort = 0, socksPort = 0;
    int httpPassword = 0, socksPassword = 0;
    ASSERT_EQ(KxConfig::GetProxy(httpHost + 1, 8, httpPort, socksHost + 1, 8, socksPort,
                                 httpUser + 1, 8, httpPassword, socksUser + 1, 8, socksPassword),
              KX_OK);
    EXPECT_EQ(std::wstring(httpHost + 1), L"hhhhhhh") << "the host cut to 7 characters";
    EXPECT_EQ(httpPort, 80u);
    EXPECT_TRUE(httpHost[9] == L'!' && socksUser[9] == L'!' && socksUser[0] == L'!')
        << "a canary around the buffers changed";
    const char* const buffers[] = {"HTTP host", "SOCKS host", "HTTP user", "SOCKS user",
                                   "a null HTTP host buffer"};
    for (int refused = 0; refused < 5; ++refused) {
        const auto capacity = [refused](int i) { return i == refused ? 0ul : 8ul; };
        const KXSTATUS status =
            KxConfig::GetProxy(refused == 4 ? nullptr : httpHost + 1, capacity(0), httpPort,
                               socksHost + 1, capacity(1), socksPort, httpUser + 1, capacity(2),
                               httpPassword, socksUser + 1, capacity(3), socksPassword);
        EXPECT_TRUE(status == KX_E_INVALIDARG && socksUser[0] == L'!')
            << "GetProxy with " << buffers[refused] << (refused < 4 ? " of capacity 0" : "")
            << " answered 0x" << std::hex << status << (socksUser[0] == L'!' ? "" : ", writing")
            << "; expected 0xf0000, writing nothing";
    }
    // Whether a proxy is used at all is read from the earlier releases' key on every release.
    int use = 9;
    EXPECT_EQ(KxConfig::GetBeUseProxy(use), KX_E_REGISTRY) << "GetBeUseProxy, nothing stored";
    EXPECT_EQ(use, 0) << "GetBeUseProxy, nothing stored";
    for (DWORD on : {1u, 0u}) {
        kxtest::StoreNumber(kEarlier.c_str(), L"Enable", on);
        const KXSTATUS status = KxConfig::GetBeUseProxy(use);
        EXPECT_TRUE(status == KX_OK && use == int(on))
            << "GetBeUseProxy with Enable " << on << " answered " << status << " with " << use;
    }
}

}  // namespace
