// kxctl's scan service verbs, run as a user runs them: one process per command, the service
// loaded by the first and reached by the next ones.
#include "DeviceFixture.h"
#include "KxctlRunner.h"

#include <string>

namespace {

using kxtest::KxctlRun;
using kxtest::RunKxctl;

class KxctlServiceTest : public kxtest::DeviceTest {
protected:
    void TearDown() override { kxtest::KillServiceHosts(); }
};

bool Has(const KxctlRun& r, const char* text) { return r.output.find(text) != std::string::npos; }

const char kEicar[] = "X5O!P%@AP[4\\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*";

TEST_F(KxctlServiceTest, ScanQuarantineAndRestore) {
    kxtest::MakeScratchFile(L"clean.txt", "hello");
    const std::wstring eicar = kxtest::MakeScratchFile(L"eicar.com", kEicar);

    KxctlRun r = RunKxctl(L"service status");
    EXPECT_TRUE(Has(r, "not loaded")) << r.output;
    r = RunKxctl(L"scan \\kxtest\\clean.txt");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_TRUE(Has(r, "clean.txt: clean")) << r.output;
    r = RunKxctl(L"scan \\kxtest\\eicar.com");
    EXPECT_TRUE(Has(r, "infected by EICAR-Test-File")) << r.output;
    EXPECT_EQ(kxtest::CountServiceHosts(), 1) << "the later commands reached the first's service";

    r = RunKxctl(L"quarantine \\kxtest\\eicar.com EICAR-Test-File");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_EQ(::GetFileAttributesW(eicar.c_str()), INVALID_FILE_ATTRIBUTES);
    r = RunKxctl(L"quarantine \\kxtest\\eicar.com EICAR-Test-File");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_TRUE(Has(r, "no such file")) << r.output;

    r = RunKxctl(L"restore \\kxtest\\eicar.com");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_NE(::GetFileAttributesW(eicar.c_str()), INVALID_FILE_ATTRIBUTES);

    r = RunKxctl(L"service release");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(kxtest::CountServiceHosts(), 0);
}

TEST_F(KxctlServiceTest, QueueEngineAndViruses) {
    KxctlRun r = RunKxctl(L"queue push \"first message\"");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    RunKxctl(L"queue push second");
    r = RunKxctl(L"queue size");
    EXPECT_TRUE(Has(r, "2 queued messages")) << r.output;
    r = RunKxctl(L"queue pop");
    EXPECT_TRUE(Has(r, "first message")) << r.output;
    RunKxctl(L"queue clean");
    r = RunKxctl(L"queue pop");
    EXPECT_EQ(r.exitCode, 1u) << "an empty queue has nothing to pop";

    r = RunKxctl(L"engine");
    EXPECT_TRUE(Has(r, "engine 1.0.0, pattern 000 (0)")) << r.output;
    r = RunKxctl(L"viruses");
    EXPECT_TRUE(Has(r, "0  EICAR-Test-File")) << r.output;
}

TEST_F(KxctlServiceTest, BadArgumentsAreUsageErrors) {
    for (const wchar_t* args : {L"service", L"service reboot", L"scan", L"quarantine \\x",
                                L"quarantine \\x AVirusNameOfTwentyOneC", L"restore", L"queue",
                                L"queue push", L"queue fly"}) {
        const KxctlRun r = RunKxctl(args);
        EXPECT_EQ(r.exitCode, 2u) << testing::PrintToString(std::wstring(args)) << r.output;
    }
}

}  // namespace
