// kxctl's Startup-folder verbs as a user runs them.
#include "DeviceFixture.h"
#include "KxctlRunner.h"

#include <string>

namespace {

using kxtest::KxctlRun;
using kxtest::RunKxctl;

class KxctlStartupTest : public kxtest::DeviceTest {
protected:
    void TearDown() override { kxtest::KillServiceHosts(); }
};

bool Has(const KxctlRun& r, const char* text) { return r.output.find(text) != std::string::npos; }

void SetText(const wchar_t* name, const std::wstring& text) {
    kxtest::RawSetValue(L"SOFTWARE\\Quorlend\\Scutara\\2.0", name, REG_SZ, text.c_str(),
                        static_cast<DWORD>((text.size() + 1) * 2));
}

TEST_F(KxctlStartupTest, CheckAnswersByExitCode) {
    KxctlRun r = RunKxctl(L"startup check \\Windows\\StartUp\\x.exe");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_TRUE(Has(r, "0x240000")) << r.output;
    SetText(L"StartupPath", L"\\Windows\\StartUp");
    r = RunKxctl(L"startup check \\Windows\\StartUp\\x.exe");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_TRUE(Has(r, "in the Startup folder")) << r.output;
    r = RunKxctl(L"startup check \\windows\\startup\\x.exe");
    EXPECT_EQ(r.exitCode, 1u) << "case-sensitive";
    EXPECT_TRUE(Has(r, "not in the Startup folder")) << r.output;
}

TEST_F(KxctlStartupTest, ClassifyShowsEachRule) {
    const std::wstring file = kxtest::MakeScratchFile(L"a.exe");
    const DWORD programs = 1;
    kxtest::RawSetValue(L"SOFTWARE\\Quorlend\\Scutara\\2.0", L"FileScanType", REG_DWORD, &programs,
                        4);
    KxctlRun r = RunKxctl(L"classify " + file);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(Has(r, "a type chosen for scanning: yes")) << r.output;
    EXPECT_TRUE(Has(r, "verdict:                    scan (checked 1)")) << r.output;
    r = RunKxctl(L"classify \\kxtest\\absent.txt");
    EXPECT_TRUE(Has(r, "in ROM or unreadable:       yes")) << r.output;
    EXPECT_TRUE(Has(r, "verdict:                    skip (checked 1)")) << r.output;
    r = RunKxctl(L"classify \\Windows\\service.exe");
    EXPECT_TRUE(Has(r, "the system's service host:  yes")) << r.output;
}

TEST_F(KxctlStartupTest, ScanLeavesACleanFileAndReportsIt) {
    const std::wstring file = kxtest::MakeScratchFile(L"clean.exe", "hello");
    KxctlRun r = RunKxctl(L"startup scan " + file);
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_TRUE(Has(r, "clean.exe: left in place")) << r.output;
    r = RunKxctl(L"startup scan");
    EXPECT_EQ(r.exitCode, 1u) << "the folder is not known";
    EXPECT_TRUE(Has(r, "0x240000")) << r.output;
    r = RunKxctl(L"startup scan a.b");
    EXPECT_TRUE(Has(r, "0x230000")) << r.output;
}

TEST_F(KxctlStartupTest, BadArgumentsAreUsageErrors) {
    for (const wchar_t* args :
         {L"startup", L"startup check", L"startup look x", L"classify", L"classify a b"}) {
        const KxctlRun r = RunKxctl(args);
        EXPECT_EQ(r.exitCode, 2u) << testing::PrintToString(std::wstring(args)) << r.output;
    }
}

}  // namespace
