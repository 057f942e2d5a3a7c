// kxctl's device and connectivity verbs on staged handsets, run as a user runs them.
#include "DeviceFixture.h"
#include "KxctlRunner.h"

#include <string>

namespace {

using kxtest::KxctlRun;
using kxtest::RunKxctl;

class KxctlDeviceTest : public kxtest::DeviceTest {};

bool Has(const KxctlRun& r, const char* text) { return r.output.find(text) != std::string::npos; }

TEST_F(KxctlDeviceTest, EachHandsetAsTheLibrarySeesIt) {
    const struct {
        const wchar_t* handset;
        const char* lines[4];
    } cases[] = {
        {L"wm5-gsm",
         {"device type: 0x02040200 (Pocket PC)", "phone: yes, PDA: no",
          "serial number: 354916002145713", "connection: local link"}},
        {L"wm6-cdma",
         {"device type: 0x01030100 (Smartphone)", "phone: yes, PDA: no",
          "serial number: 000002670345243", "connection: cellular"}},
        {L"wm2003-pda",
         {"device type: 0x02030200 (Pocket PC)", "phone: no, PDA: yes",
          "Windows Mobile 5 or later: no", "connection: local link"}},
        {L"sp2003-off",
         {"device type: 0x01020100 (Smartphone)", "radio: off",
          "device ID: 4b583453102030400000000000000000", "phone: yes"}},
    };
    for (const auto& c : cases) {
        KxctlRun r = RunKxctl(std::wstring(L"device stage ") + c.handset);
        ASSERT_EQ(r.exitCode, 0u) << r.output;
        r = RunKxctl(L"device");
        EXPECT_EQ(r.exitCode, 0u);
        for (const char* line : c.lines) EXPECT_TRUE(Has(r, line)) << line << "\n" << r.output;
    }
    KxctlRun r = RunKxctl(L"device stage unknown-phone");
    EXPECT_EQ(r.exitCode, 2u);
    EXPECT_TRUE(Has(r, "no handset named")) << r.output;
    r = RunKxctl(L"device clear");
    EXPECT_EQ(r.exitCode, 0u);
    r = RunKxctl(L"device");
    EXPECT_TRUE(Has(r, "none staged")) << r.output;
}

TEST_F(KxctlDeviceTest, SmsProxyAndConnect) {
    kxtest::StageHandset(L"wm6-cdma");
    KxctlRun r = RunKxctl(L"sms register");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_TRUE(kxtest::RawValueExists(kxtest::kSmsListenerKey, L"Registered"));
    r = RunKxctl(L"sms providers");
    EXPECT_TRUE(Has(r, "Notification: sms_providers.dll")) << r.output;
    r = RunKxctl(L"proxy");
    EXPECT_TRUE(Has(r, "SOCKS 5 proxy: socks.corvia.example:1080, user ks620, password set"))
        << r.output;
    r = RunKxctl(L"connect");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_TRUE(Has(r, "connection released")) << r.output;
    r = RunKxctl(L"connect type \"USB Cable\"");
    EXPECT_TRUE(Has(r, "USB Cable: 1")) << r.output;

    kxtest::StageHandset(L"wm2003-pda");
    r = RunKxctl(L"connect");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_TRUE(Has(r, "0x80004005")) << r.output;
    r = RunKxctl(L"sms bogus");
    EXPECT_EQ(r.exitCode, 2u);
}

}  // namespace
