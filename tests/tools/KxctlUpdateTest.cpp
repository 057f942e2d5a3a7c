// kxctl's update, management-server, subscription and XML verbs, run as a user runs them.
#include "KxctlRunner.h"
#include "ServiceFixture.h"

#include <string>

namespace {

using kxtest::KxctlRun;
using kxtest::RunKxctl;

constexpr wchar_t kAppDir[] = L"\\kxtest";

class KxctlUpdateTest : public kxtest::DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        kxtest::RawSetValue(kxtest::kProductKey, L"AppPath", REG_SZ, kAppDir, sizeof kAppDir);
        ::CreateDirectoryW(kAppDir, nullptr);
    }
    void TearDown() override { kxtest::KillServiceHosts(); }
};

bool Has(const KxctlRun& r, const char* text) { return r.output.find(text) != std::string::npos; }

std::string Utf16Bytes(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

TEST_F(KxctlUpdateTest, ScheduleVersionsAndPattern) {
    const DWORD on = 1, days = 7;
    kxtest::RawSetValue(kxtest::kProductKey, L"ScheduleUpdateOption", REG_DWORD, &on, 4);
    kxtest::RawSetValue(kxtest::kProductKey, L"ScheduleUpdateFrequency", REG_DWORD, &days, 4);
    KxctlRun r = RunKxctl(L"update schedule 2006-01-30 10:00:00");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_TRUE(Has(r, "7 days after 2006-01-30 10:00:00")) << r.output;
    kxtest::ServiceSnapshot state{};
    ASSERT_TRUE(kxtest::ReadServiceState(&state));
    EXPECT_EQ(state.hasSchedule, 1u);
    EXPECT_EQ(state.schedule.wMonth, 2);
    EXPECT_EQ(state.schedule.wDay, 6);
    EXPECT_EQ(RunKxctl(L"update schedule 2006-13-01 10:00:00").exitCode, 2u);

    kxtest::WritePattern("version 77\nengine 3.0.1\n");
    r = RunKxctl(L"update versions");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(kxtest::RawGetValue(kxtest::kProductKey, L"ZRAPIPatternVer", &type, &bytes));
    EXPECT_EQ(bytes, std::string("\x4d\0\0\0", 4));

    EXPECT_EQ(RunKxctl(L"pattern").exitCode, 1u);
    const wchar_t name[] = L"\\Temp\\SCVPNWCE.456.BAK";
    kxtest::RawSetValue(kxtest::kProductKey, L"LastPatternFilename", REG_SZ, name, sizeof name);
    r = RunKxctl(L"pattern");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(Has(r, "\\temp\\scvpnwce.456\n") || Has(r, "\\temp\\scvpnwce.456\r\n")) << r.output;
}

TEST_F(KxctlUpdateTest, ManagementServer) {
    KxctlRun r = RunKxctl(L"mgi recover");
    EXPECT_TRUE(Has(r, "no configmgi.xml")) << r.output;
    kxtest::MakeScratchFile(
        L"configmgi.xml",
        Utf16Bytes(L"<wap-provisioningdoc><characteristic type=\"Registry\"><characteristic "
                   L"type=\"HKLM\\SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent\">"
                   L"<parm name=\"HostName\" value=\"mgmt.example.net\" datatype=\"string\"/>"
                   L"<parm name=\"HostPort\" value=\"8443\" datatype=\"integer\"/>"
                   L"<parm name=\"IsMgiValid\" value=\"1\" datatype=\"integer\"/>"
                   L"</characteristic></characteristic></wap-provisioningdoc>"));
    r = RunKxctl(L"mgi recover");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_TRUE(Has(r, "applied and removed")) << r.output;
    r = RunKxctl(L"mgi status");
    EXPECT_TRUE(Has(r, "management: in effect")) << r.output;
    EXPECT_TRUE(Has(r, "server: mgmt.example.net:8443")) << r.output;
    RunKxctl(L"mgi clear");
    r = RunKxctl(L"mgi status");
    EXPECT_TRUE(Has(r, "not in effect (IsMgiValid 1)")) << r.output;

    kxtest::MakeScratchFile(L"configmgi.xml", "");
    r = RunKxctl(L"mgi recover");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_TRUE(Has(r, "kept")) << r.output;

    EXPECT_EQ(RunKxctl(L"mgi key").exitCode, 1u);
    EXPECT_EQ(RunKxctl(L"mgi key 0102 zz").exitCode, 2u);
    r = RunKxctl(L"mgi key \"01 02 03\" ff");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    r = RunKxctl(L"mgi key");
    EXPECT_TRUE(Has(r, "first (3 bytes): 01 02 03")) << r.output;
    EXPECT_TRUE(Has(r, "second (1 bytes): ff")) << r.output;
    EXPECT_TRUE(Has(r, "flag: 1")) << r.output;
}

TEST_F(KxctlUpdateTest, SubscriptionAndXml) {
    const std::wstring path = kxtest::MakeScratchFile(
        L"sub.xml", "<S><ServiceProvider SubscribeNumber=\"1\"/><ServiceProvider/></S>");
    KxctlRun r =
        RunKxctl(L"subscription set " + path + L" --unsubscribe 42 --subscribe-header \"A&B <x>\"");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    r = RunKxctl(L"xml " + path + L" ServiceProvider SubscribePatternHeader");
    EXPECT_TRUE(Has(r, "2 elements ServiceProvider")) << r.output;
    EXPECT_TRUE(Has(r, "[0] SubscribePatternHeader=\"A&B <x>\"")) << r.output;
    EXPECT_TRUE(Has(r, "[1] SubscribePatternHeader=\"\"")) << r.output;
    r = RunKxctl(L"xml " + path + L" ServiceProvider SubscribeNumber");
    EXPECT_TRUE(Has(r, "[0] SubscribeNumber=\"1\"")) << r.output;

    EXPECT_EQ(RunKxctl(L"subscription set " + path + L" --bogus 1").exitCode, 2u);
    EXPECT_EQ(RunKxctl(L"subscription set \\kxtest\\none.xml --subscribe 1").exitCode, 1u);
    EXPECT_EQ(RunKxctl(L"xml \\kxtest\\none.xml a").exitCode, 2u);
    const std::wstring bad = kxtest::MakeScratchFile(L"bad.xml", "<a><b></a>");
    r = RunKxctl(L"xml " + bad + L" b");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_TRUE(Has(r, "0 elements b")) << r.output;
}

}  // namespace
