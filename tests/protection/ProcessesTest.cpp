// Ending programs by path, and the synchronisation logger's registrations and run.
#include "RegistryRows.h"

#include <kxcommon/AppUtil.h>

class ProcessesTest : public kxtest::DeviceTest {};

TEST_F(ProcessesTest, KillProcessEndsEveryInstanceOfTheNamedPathsOnly) {
    for (const wchar_t* dir : {L"\\kxtest", L"\\kxtest\\a", L"\\kxtest\\b", L"\\kxtest\\sys"})
        ::CreateDirectoryW(dir, nullptr);
    const wchar_t* const appInA = L"\\kxtest\\a\\app.exe";
    const wchar_t* const appInB = L"\\kxtest\\b\\app.exe";
    const wchar_t* const inSystemDir = L"\\kxtest\\sys\\c.exe";
    for (const wchar_t* path : {appInA, appInB, inSystemDir})
        ASSERT_TRUE(::CopyFileW(kxtest::SiblingPath(L"kxtest_sleeper.exe").c_str(), path, FALSE));
    kxtest::RawSetValue(kxtest::kProductKey, L"WinPath", REG_SZ, L"\\kxtest\\sys", 24);
    kxtest::RunningProgram first(appInA), second(appInA), other(appInB), inSystem(inSystemDir);
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

namespace {

// Whose registrations for an event are there: the logger's under its full path for event 9,
// its bare name in another case for event 5, and another program's for event 9.
struct Registrations {
    bool logger, bareName, other;
    bool operator==(const Registrations&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Registrations& registered) {
    return out << "the logger " << (registered.logger ? "registered" : "not registered")
               << ", its bare name " << (registered.bareName ? "registered" : "not registered")
               << ", another program " << (registered.other ? "registered" : "not registered");
}
constexpr wchar_t kEvents[] = L"SOFTWARE\\WinCE Platform\\Notifications";
void Register(const Registrations& wanted) {
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kEvents);
    wchar_t logger[] = L"\\Windows\\repllog.exe", bare[] = L"REPLLOG.EXE",
            other[] = L"\\Windows\\other.exe";
    if (wanted.logger) ::CeRunAppAtEvent(logger, NOTIFICATION_EVENT_RS232_DETECTED);
    if (wanted.bareName) ::CeRunAppAtEvent(bare, 5);
    if (wanted.other) ::CeRunAppAtEvent(other, NOTIFICATION_EVENT_RS232_DETECTED);
}
Registrations Registered() {
    return {.logger = kxtest::RawValueExists(kEvents, L"9 \\Windows\\repllog.exe"),
            .bareName = kxtest::RawValueExists(kEvents, L"5 REPLLOG.EXE"),
            .other = kxtest::RawValueExists(kEvents, L"9 \\Windows\\other.exe")};
}

struct SyncEventRow {
    const char* name;
    Registrations before;
    int (*call)();
    int status;
    Registrations after;
};
::testing::AssertionResult Registers(const SyncEventRow& row) {
    Register(row.before);
    const int status = row.call();
    const Registrations after = Registered();
    if (status == row.status && after == row.after) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << row.name << " (starting with " << row.before << ") answered " << status << " leaving "
           << after << "; expected " << row.status << " leaving " << row.after;
}

}  // namespace

// Registered as event 9 under the logger's full path; removed in both forms, in any case; a zero
// guard does nothing. Run, the logger starts as the event would start it.
TEST_F(ProcessesTest, SyncEventRegistrationIsKeptAndRemovedAndRunStartsTheLogger) {
    const Registrations none{}, everyone{.logger = true, .bareName = true, .other = true};
    // clang-format off
    const SyncEventRow rows[] = {
        {.name = "SetActiveSynEvent with a zero guard", .before = none,
         .call = [] { return KxConfig::SetActiveSynEvent(0); }, .status = KX_E_INVALIDARG, .after = none},
        {.name = "SetActiveSynEvent", .before = none,
         .call = [] { return KxConfig::SetActiveSynEvent(1); }, .status = KX_OK, .after = {.logger = true}},
        {.name = "DelActiveSynEvent with a zero guard", .before = everyone,
         .call = [] { return KxConfig::DelActiveSynEvent(0); }, .status = KX_E_INVALIDARG, .after = everyone},
        {.name = "DelActiveSynEvent", .before = everyone,
         .call = [] { return KxConfig::DelActiveSynEvent(7); }, .status = KX_OK, .after = {.other = true}},
    };
    // clang-format on
    for (const SyncEventRow& row : rows) EXPECT_TRUE(Registers(row));
    constexpr wchar_t kRecord[] = L"SOFTWARE\\KxStandIns\\repllog";
    EXPECT_EQ(KxConfig::RunActiveSynEvent(), 0);
    // It runs on alone, out of reach of a wait; its record is polled for up to 10 seconds.
    for (int i = 0; i < 200 && !kxtest::RawValueExists(kRecord, L"Priority"); ++i) ::Sleep(50);
    // Raised to the highest level (15).
    EXPECT_EQ(kxtest::Dump(kRecord),
              "LastCommandLine = text \"AppRunAtRs232Detect\"\nPriority = number 0xf\n"
              "Runs = number 0x1\n");
}
