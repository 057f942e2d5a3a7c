// kxctl's process verbs as a user runs them.
#include "DeviceFixture.h"
#include "KxctlRunner.h"

#include <string>

namespace {

using kxtest::KxctlRun;
using kxtest::RunKxctl;

class KxctlProcessTest : public kxtest::DeviceTest {};

bool Has(const KxctlRun& r, const char* text) { return r.output.find(text) != std::string::npos; }

std::wstring Recorded(const wchar_t* name) {
    DWORD type = 0;
    std::string bytes;
    if (!kxtest::RawGetValue(L"SOFTWARE\\KxStandIns\\KxHookLoader", name, &type, &bytes) ||
        bytes.size() < 2)
        return L"<none>";
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2 - 1);
}

TEST_F(KxctlProcessTest, RealTimeAndWapPushGoThroughTheHookLoader) {
    ::CreateDirectoryW(L"\\kxtest", nullptr);
    const std::wstring dir = L"\\kxtest";
    kxtest::RawSetValue(L"SOFTWARE\\Quorlend\\Scutara\\2.0", L"WinPath", REG_SZ, dir.c_str(),
                        static_cast<DWORD>((dir.size() + 1) * 2));
    KxctlRun r = RunKxctl(L"realtime on --wait");
    EXPECT_EQ(r.exitCode, 1u) << "no hook loader in the system directory yet";
    EXPECT_TRUE(Has(r, "0x160000")) << r.output;
    r = RunKxctl(L"wappush off");
    EXPECT_TRUE(Has(r, "0x1D0000")) << r.output;

    ASSERT_TRUE(::CopyFileW(kxtest::SiblingPath(L"KxHookLoader.exe").c_str(),
                            L"\\kxtest\\KxHookLoader.exe", FALSE));
    r = RunKxctl(L"realtime on --wait");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_EQ(Recorded(L"LastCommandLine"), L"ENABLE_REALTIME");
    r = RunKxctl(L"wappush off --wait");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_EQ(Recorded(L"LastCommandLine"), L"DISABLE_WapPushFilter");
}

TEST_F(KxctlProcessTest, SyncRegistrationsAreListed) {
    KxctlRun r = RunKxctl(L"sync set");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    r = RunKxctl(L"sync list");
    EXPECT_TRUE(Has(r, "1 event registrations")) << r.output;
    EXPECT_TRUE(Has(r, "event 9: \\Windows\\repllog.exe")) << r.output;
    RunKxctl(L"sync del");
    r = RunKxctl(L"sync list");
    EXPECT_TRUE(Has(r, "0 event registrations")) << r.output;
}

TEST_F(KxctlProcessTest, LogTakesTheTextAsItIs) {
    KxctlRun r = RunKxctl(L"log \"100% done %s\"");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    HANDLE f = ::CreateFileW(kxtest::kDebugLog, GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    wchar_t text[64] = {};
    DWORD got = 0;
    ::ReadFile(f, text, sizeof text, &got, nullptr);
    ::CloseHandle(f);
    EXPECT_EQ(std::wstring(text, got / 2), L"100% done %s\n");
}

TEST_F(KxctlProcessTest, BadArgumentsAreUsageErrors) {
    for (const wchar_t* args :
         {L"realtime", L"realtime maybe", L"realtime on --later", L"wappush on --wait extra",
          L"kill", L"sync", L"sync now", L"log"}) {
        const KxctlRun r = RunKxctl(args);
        EXPECT_EQ(r.exitCode, 2u) << testing::PrintToString(std::wstring(args)) << r.output;
    }
}

}  // namespace
