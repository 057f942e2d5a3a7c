// The connection manager's proxy settings as the library reads them.

#include "DeviceFixture.h"
#include "Profile.h"

namespace {

const std::wstring kWm5 = L"Comm\\ConnMgr\\Providers\\{EF097F4C-DC4B-4c98-8FF6-AEF805DC0E8E}";
// The same providers' key as the earlier releases keep it.
const std::wstring kEarlier = L"SOFTWARE\\Microsoft" + kWm5.substr(4);

// One proxy entry, a subkey of the providers' key.
// type 0: no Type value; passwordType REG_NONE: no Password value; earlier: under the earlier
// releases' key.
struct Ent {
    const wchar_t *sub, *proxy;
    DWORD type, enable = 1, passwordType = REG_NONE;
    const wchar_t* user = nullptr;
    bool earlier = false;
};

void Stage(const Ent& e) {
    const std::wstring key = (e.earlier ? kEarlier : kWm5) + L"\\" + e.sub;
    const wchar_t* k = key.c_str();
    kxtest::RawSetValue(k, L"Enable", REG_DWORD, &e.enable, 4);
    if (e.type != 0) kxtest::RawSetValue(k, L"Type", REG_DWORD, &e.type, 4);
    kxtest::RawSetValue(k, L"Proxy", REG_SZ, e.proxy, 2 * std::wcslen(e.proxy) + 2);
    if (e.user) kxtest::RawSetValue(k, L"UserName", REG_SZ, e.user, 2 * std::wcslen(e.user) + 2);
    if (e.passwordType != REG_NONE) kxtest::RawSetValue(k, L"Password", e.passwordType, "", 0);
}

// The twelve outputs, preset so that untouched ones show, as one text:
// "http host:port user password | socks host:port user password type", after "!" and the status
// when the read fails.
std::wstring Read() {
    const unsigned long n = 32;
    wchar_t hh[n] = L"-", sh[n] = L"-", hu[n] = L"-", su[n] = L"-";
    su[n - 1] = L'#';
    unsigned long hp = 7, sp = 7;
    int hw = 7, sw = 7;
    const KXSTATUS status = KxConfig::GetProxy(hh, n, hp, sh, n, sp, hu, n, hw, su, n, sw);
    const auto num = [](unsigned long v) { return std::to_wstring(v); };
    return (status ? L"!" + num(status) + L" " : L"") + hh + L":" + num(hp) + L" " + hu + L" " +
           num(hw) + L" | " + sh + L":" + num(sp) + L" " + su + L" " + num(sw) + L" " +
           num(su[n - 1]);
}

class ProxyTest : public kxtest::DeviceTest {};

TEST_F(ProxyTest, ProxyEntriesByTypeNameAndRelease) {
    // After the HTTP host:port, and when nothing is found; the SOCKS type is cleared.
    const std::wstring none = L" - 0 | -:7 - 7 0", nothing = L"-:7 - 7 | -:7 - 7 0";
    const struct Row {
        DWORD major;
        std::vector<Ent> entries;
        std::wstring outputs;
    } rows[] = {
        // Nothing configured: '#' is 35, no output touched.
        {5, {}, L"!" + std::to_wstring(KX_E_REGISTRY) + L" -:7 - 7 | -:7 - 7 35"},
        {5, {{L"HTTP-{436E}", L"p:8080", 1, 1, REG_NONE, L"ann"}}, L"p:8080 ann 0 | -:7 - 7 0"},
        {5, {{L"HTTP-1", L"bare.example", 1}}, nothing},  // no colon: ignored
        {5, {{L"HTTP-1", L"h.example:abc", 1}}, L"h.example:0" + none},
        // The last enabled HTTP entry wins; disabled, WAP (2) and untyped entries are passed over.
        {5, {{L"HTTP-a", L"a:1", 1}, {L"HTTP-b", L"b:2", 1}}, L"b:2" + none},
        {5, {{L"HTTP-c", L"c:3", 1, 0}, {L"HTTP-d", L"d:4", 2}, {L"HTTP-f", L"f:6", 0}}, nothing},
        {5, {{L"SOCKS-a", L"s:1080", 8, 1, REG_BINARY, L"bob"}}, L"-:7 - 7 | s:1080 bob 1 8"},
        {4, {{L"HTTP-new", L"n:1", 1}, {L"HTTP-old", L"o:2", 1, 1, 0, 0, true}}, L"o:2" + none},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.outputs));
        kxtest::ResetDevice();
        kxtest::StageProfileNumber(wince::profile::kMajorVersion, row.major);
        for (const Ent& e : row.entries) Stage(e);
        EXPECT_EQ(Read(), row.outputs);
    }
}

TEST_F(ProxyTest, BuffersCapacitiesAndTheEnableSwitch) {
    kxtest::StageProfileNumber(wince::profile::kMajorVersion, 5);
    Stage({L"HTTP-long", L"hhhhhhhhhhhh:80", 1});
    // Capacities of 8 in arrays of 10, whose first and last characters are canaries.
    wchar_t h[10], s[10], u[10], su[10];
    for (wchar_t* b : {h, s, u, su}) b[0] = b[9] = L'!';
    unsigned long hp = 0, sp = 0;
    int a = 0, b = 0;
    ASSERT_EQ(KxConfig::GetProxy(h + 1, 8, hp, s + 1, 8, sp, u + 1, 8, a, su + 1, 8, b), 0);
    EXPECT_EQ(std::wstring(h + 1) + L":" + std::to_wstring(hp) + h[9] + su[9] + su[0],
              L"hhhhhhh:80!!!");
    // A missing buffer or a zero capacity is refused before anything is written.
    for (int zero = 0; zero < 5; ++zero) {
        const auto cap = [zero](int i) { return i == zero ? 0ul : 8ul; };
        const KXSTATUS status = KxConfig::GetProxy(zero == 4 ? nullptr : h + 1, cap(0), hp, s + 1,
                                                   cap(1), sp, u + 1, cap(2), a, su + 1, cap(3), b);
        EXPECT_EQ(std::to_wstring(status) + su[0], std::to_wstring(KX_E_INVALIDARG) + L'!') << zero;
    }
    // Whether a proxy is used at all is read from the earlier releases' key on every release.
    int use = 9;
    EXPECT_EQ(KxConfig::GetBeUseProxy(use) + use, KX_E_REGISTRY) << "not stored: 0";
    for (DWORD on : {1u, 0u}) {
        kxtest::RawSetValue(kEarlier.c_str(), L"Enable", REG_DWORD, &on, 4);
        EXPECT_EQ(std::make_pair(KxConfig::GetBeUseProxy(use), use), std::make_pair(0, int(on)));
    }
}

}  // namespace
