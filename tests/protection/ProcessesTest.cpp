// Ending programs by path, and the synchronisation logger's registrations and run.
#include "RegistryRows.h"

#include <kxcommon/AppUtil.h>

class ProcessesTest : public kxtest::DeviceTest {};

TEST_F(ProcessesTest, KillProcessEndsEveryInstanceOfTheNamedPathsOnly) {
    for (const wchar_t* dir : {L"\\kxtest", L"\\kxtest\\a", L"\\kxtest\\b", L"\\kxtest\\sys"})
        ::CreateDirectoryW(dir, nullptr);
    const wchar_t *a = L"\\kxtest\\a\\app.exe", *b = L"\\kxtest\\b\\app.exe",
                  *c = L"\\kxtest\\sys\\c.exe";
    for (const wchar_t* path : {a, b, c})
        ASSERT_TRUE(::CopyFileW(kxtest::SiblingPath(L"kxtest_sleeper.exe").c_str(), path, FALSE));
    kxtest::RawSetValue(kxtest::kProductKey, L"WinPath", REG_SZ, L"\\kxtest\\sys", 24);
    kxtest::RunningProgram first(a), second(a), other(b), inSystem(c);
    ASSERT_TRUE(first.Started() && second.Started() && other.Started() && inSystem.Started());

    // Any case of the path; names joined with the selected directory.
    const wchar_t* end = nullptr;
    EXPECT_EQ(KxConfig::KillProcess(0, L"\\KXTEST\\A\\APP.EXE", end), 0);
    EXPECT_EQ(KxConfig::KillProcess(KX_DIR_SYSTEM, L"x.exe", L"c.exe", end), 0);
    const std::vector<DWORD> exits = {first.ExitCode(5000), second.ExitCode(5000),
                                      inSystem.ExitCode(5000), other.ExitCode(200)};
    EXPECT_EQ(exits, (std::vector<DWORD>{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, STILL_ACTIVE}));
    EXPECT_EQ(KxConfig::KillUIProcess(), 0) << "nothing of the product's running";
}

// Registered as event 9 under the logger's full path; removed in both forms, in any case. Each
// step: its status and which of the logger's, its bare name's and another program's
// registrations are there. Run, the logger starts as the event would start it.
TEST_F(ProcessesTest, SyncEventRegistrationIsKeptAndRemovedAndRunStartsTheLogger) {
    std::string steps;
    const auto step = [&steps](int status) {
        steps += std::to_string(status) + " ";
        for (const wchar_t* name :
             {L"9 \\Windows\\repllog.exe", L"5 REPLLOG.EXE", L"9 \\Windows\\other.exe"})
            steps += "01"[kxtest::RawValueExists(L"SOFTWARE\\WinCE Platform\\Notifications", name)];
        steps += ", ";
    };
    step(KxConfig::SetActiveSynEvent(0));  // the zero guard
    step(KxConfig::SetActiveSynEvent(1));
    wchar_t bare[] = L"REPLLOG.EXE", other[] = L"\\Windows\\other.exe";
    step(::CeRunAppAtEvent(bare, 5) && ::CeRunAppAtEvent(other, 9));
    step(KxConfig::DelActiveSynEvent(0));
    step(KxConfig::DelActiveSynEvent(7));
    const std::string refused = std::to_string(KX_E_INVALIDARG);
    EXPECT_EQ(steps, refused + " 000, 0 100, 1 111, " + refused + " 111, 0 001, ");
    constexpr wchar_t kRecord[] = L"SOFTWARE\\KxStandIns\\repllog";
    EXPECT_EQ(KxConfig::RunActiveSynEvent(), 0);
    // It runs on alone, out of reach of a wait; its record is polled for up to 10 seconds.
    for (int i = 0; i < 200 && !kxtest::RawValueExists(kRecord, L"Priority"); ++i) ::Sleep(50);
    // Raised to the highest level (15).
    EXPECT_EQ(kxtest::Dump(kRecord),
              "LastCommandLine=sz:AppRunAtRs232Detect|;Priority=dw:f;Runs=dw:1;");
}
