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

// Registered as event 9 under the logger's full path; removed in both forms, in any case; a zero
// guard does nothing. Run, the logger starts as the event would start it.
struct SyncEventStep {
    const char* name;
    int (*call)();
    int status;
    bool logger, bareName, other;  // whose registrations are there afterwards
};
TEST_F(ProcessesTest, SyncEventRegistrationIsKeptAndRemovedAndRunStartsTheLogger) {
    // The steps run in order, each on what the one above left.
    // clang-format off
    const SyncEventStep steps[] = {
        {.name = "registered with a zero guard", .call = [] { return KxConfig::SetActiveSynEvent(0); },
         .status = KX_E_INVALIDARG, .logger = false, .bareName = false, .other = false},
        {.name = "registered", .call = [] { return KxConfig::SetActiveSynEvent(1); },
         .status = KX_OK, .logger = true, .bareName = false, .other = false},
        {.name = "the bare name and another program registered by the platform", .call = [] {
             wchar_t bare[] = L"REPLLOG.EXE", other[] = L"\\Windows\\other.exe";
             return int(::CeRunAppAtEvent(bare, 5) && ::CeRunAppAtEvent(other, 9)); },
         .status = 1, .logger = true, .bareName = true, .other = true},
        {.name = "removed with a zero guard", .call = [] { return KxConfig::DelActiveSynEvent(0); },
         .status = KX_E_INVALIDARG, .logger = true, .bareName = true, .other = true},
        {.name = "removed", .call = [] { return KxConfig::DelActiveSynEvent(7); },
         .status = KX_OK, .logger = false, .bareName = false, .other = true},
    };
    // clang-format on
    constexpr wchar_t kEvents[] = L"SOFTWARE\\WinCE Platform\\Notifications";
    for (const SyncEventStep& step : steps) {
        const int status = step.call();
        const bool logger = kxtest::RawValueExists(kEvents, L"9 \\Windows\\repllog.exe");
        const bool bareName = kxtest::RawValueExists(kEvents, L"5 REPLLOG.EXE");
        const bool other = kxtest::RawValueExists(kEvents, L"9 \\Windows\\other.exe");
        EXPECT_TRUE(status == step.status && logger == step.logger && bareName == step.bareName &&
                    other == step.other)
            << step.name << ": answered " << status << "; registered afterwards: the logger "
            << logger << ", its bare name " << bareName << ", another program " << other
            << "; expected " << step.status << "; " << step.logger << ", " << step.bareName << ", "
            << step.other;
    }
    constexpr wchar_t kRecord[] = L"SOFTWARE\\KxStandIns\\repllog";
    EXPECT_EQ(KxConfig::RunActiveSynEvent(), 0);
    // It runs on alone, out of reach of a wait; its record is polled for up to 10 seconds.
    for (int i = 0; i < 200 && !kxtest::RawValueExists(kRecord, L"Priority"); ++i) ::Sleep(50);
    // Raised to the highest level (15).
    EXPECT_EQ(kxtest::Dump(kRecord),
              "LastCommandLine = text \"AppRunAtRs232Detect\"\nPriority = number 0xf\n"
              "Runs = number 0x1\n");
}
