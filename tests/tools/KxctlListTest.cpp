// kxctl's caller-list verbs as a user runs them: what each prints and its exit code.
#include "DeviceFixture.h"
#include "KxctlRunner.h"

#include <string>

namespace {

using kxtest::KxctlRun;
using kxtest::RunKxctl;

constexpr wchar_t kAcceptKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\AcceptList";
constexpr wchar_t kForceKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\WapPush\\ForceList";

bool Says(const KxctlRun& run, const std::string& text) {
    return run.output.find(text) != std::string::npos;
}

class KxctlListTest : public kxtest::DeviceTest {};

TEST_F(KxctlListTest, AddsListsAndExplainsWhichRuleFoundWhichEntry) {
    KxctlRun r = RunKxctl(L"add accept 0912345678 Alice");
    ASSERT_EQ(r.exitCode, 0u) << r.output;
    r = RunKxctl(L"add accept 5551234");
    ASSERT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_TRUE(kxtest::RawValueExists(kAcceptKey, L"0912345678"));

    r = RunKxctl(L"list accept");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(Says(r, "accept list: 2 entries")) << r.output;
    EXPECT_TRUE(Says(r, "0912345678  \"Alice\"")) << r.output;
    EXPECT_TRUE(Says(r, "5551234  \"\"")) << r.output;

    r = RunKxctl(L"lookup accept +886912345678");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_TRUE(Says(r, "last seven characters \"2345678\": the stored 0912345678  \"Alice\""))
        << r.output;

    r = RunKxctl(L"lookup accept 5551234");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_TRUE(Says(r, "exact number: the stored 5551234")) << r.output;

    r = RunKxctl(L"lookup accept 2345678");
    EXPECT_EQ(r.exitCode, 1u) << "seven characters match exactly only: " << r.output;
    EXPECT_TRUE(Says(r, "not in the accept list")) << r.output;
    EXPECT_TRUE(Says(r, "0x30101")) << r.output;

    r = RunKxctl(L"del accept 0912345678");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    r = RunKxctl(L"lookup accept +886912345678");
    EXPECT_EQ(r.exitCode, 1u) << r.output;
    r = RunKxctl(L"del accept 0912345678");
    EXPECT_EQ(r.exitCode, 1u) << r.output;
    EXPECT_TRUE(Says(r, "0x30000")) << r.output;
}

TEST_F(KxctlListTest, MatchSaysWhichWayTheContainmentHolds) {
    ASSERT_EQ(RunKxctl(L"add reject 0012345678").exitCode, 0u);
    KxctlRun r = RunKxctl(L"match reject 12345");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_TRUE(Says(r, "\"12345\" occurs in the stored \"0012345678\"")) << r.output;

    r = RunKxctl(L"match reject +44900123456789");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_TRUE(Says(r, "the stored \"0012345678\" occurs in \"+44900123456789\"")) << r.output;

    r = RunKxctl(L"match reject 99999");
    EXPECT_EQ(r.exitCode, 1u) << r.output;
    EXPECT_TRUE(Says(r, "no match in the reject list")) << r.output;

    r = RunKxctl(L"match accept 12345");
    EXPECT_EQ(r.exitCode, 1u) << "the accept list was never written: " << r.output;
    EXPECT_TRUE(Says(r, "0x30000")) << r.output;
}

TEST_F(KxctlListTest, EachListNameReachesItsOwnList) {
    ASSERT_EQ(RunKxctl(L"add wap-force sms.example.com Push").exitCode, 0u);
    EXPECT_TRUE(kxtest::RawValueExists(kForceKey, L"sms.example.com"));
    EXPECT_EQ(RunKxctl(L"lookup wap-force sms.example.com").exitCode, 0u);
    const KxctlRun r = RunKxctl(L"lookup wap-accept sms.example.com");
    EXPECT_EQ(r.exitCode, 1u) << r.output;
    EXPECT_TRUE(Says(r, "0x30000")) << "the WAP-push accept list was never written: " << r.output;
}

TEST_F(KxctlListTest, BadArgumentsAreUsageErrorsAndWriteNothing) {
    const std::wstring bad[] = {
        L"list",
        L"list friends",
        L"list accept extra",
        L"add accept",
        L"add accept 1 name extra",
        L"add accept " + std::wstring(260, L'1'),
        L"add accept 1 " + std::wstring(1024, L'n'),
        L"del accept",
        L"lookup accept",
        L"match wap-accept 12345",
        L"match wap-force 12345",
    };
    for (const std::wstring& arguments : bad) {
        const KxctlRun r = RunKxctl(arguments);
        EXPECT_EQ(r.exitCode, 2u) << testing::PrintToString(arguments.substr(0, 40)) << r.output;
        EXPECT_FALSE(r.output.empty()) << "a usage error says what was wrong";
    }
    EXPECT_FALSE(kxtest::RawKeyExists(kxtest::kProductKey));
}

}  // namespace
