// Ending programs by path, and the synchronisation logger's registrations and run.
#include "DeviceFixture.h"

#include <kxcommon/AppUtil.h>
#include <kxcommon/KxStatus.h>

namespace {

constexpr wchar_t kReplLogRecord[] = L"SOFTWARE\\KxStandIns\\repllog";
constexpr wchar_t kRegistrations[] = L"SOFTWARE\\WinCE Platform\\Notifications";
constexpr DWORD kKilled = 0xFFFFFFFF, kRunning = STILL_ACTIVE;

class ProcessesTest : public kxtest::DeviceTest {};

// Copies of a program that runs until ended, at each device path.
void Place(std::initializer_list<const wchar_t*> paths) {
    for (const wchar_t* dir : {L"\\kxtest", L"\\kxtest\\a", L"\\kxtest\\b", L"\\kxtest\\sys"})
        ::CreateDirectoryW(dir, nullptr);
    for (const wchar_t* path : paths)
        ASSERT_TRUE(::CopyFileW(kxtest::SiblingPath(L"kxtest_sleeper.exe").c_str(), path, FALSE));
}

TEST_F(ProcessesTest, KillProcessEndsEveryInstanceOfTheNamedPathsOnly) {
    Place({L"\\kxtest\\a\\app.exe", L"\\kxtest\\b\\app.exe", L"\\kxtest\\sys\\c.exe"});
    const std::wstring sys = L"\\kxtest\\sys";
    kxtest::RawSetValue(kxtest::kProductKey, L"WinPath", REG_SZ, sys.c_str(), 24);
    kxtest::RunningProgram first(L"\\kxtest\\a\\app.exe"), second(L"\\kxtest\\a\\app.exe");
    kxtest::RunningProgram other(L"\\kxtest\\b\\app.exe"), inSystem(L"\\kxtest\\sys\\c.exe");
    ASSERT_TRUE(first.Started() && second.Started() && other.Started() && inSystem.Started());

    // Any case of the path; names joined with the selected directory.
    EXPECT_EQ(
        KxConfig::KillProcess(0, L"\\KXTEST\\A\\APP.EXE", static_cast<const wchar_t*>(nullptr)), 0);
    EXPECT_EQ(KxConfig::KillProcess(KX_DIR_SYSTEM, L"x.exe", L"c.exe",
                                    static_cast<const wchar_t*>(nullptr)),
              0);
    const std::vector<DWORD> exits = {first.ExitCode(5000), second.ExitCode(5000),
                                      inSystem.ExitCode(5000), other.ExitCode(200)};
    EXPECT_EQ(exits, (std::vector<DWORD>{kKilled, kKilled, kKilled, kRunning}));
    EXPECT_EQ(KxConfig::KillUIProcess(), 0) << "nothing of the product's running";
}

// Registered as event 9 under the logger's full path; removed in both forms, in any case.
TEST_F(ProcessesTest, SyncEventRegistrationIsKeptAndRemoved) {
    const auto has = [](const wchar_t* name) {
        return int(kxtest::RawValueExists(kRegistrations, name));
    };
    const wchar_t* logger = L"9 \\Windows\\repllog.exe";
    EXPECT_EQ(KxConfig::SetActiveSynEvent(0) + has(logger), KX_E_INVALIDARG) << "zero guard";
    EXPECT_EQ(KxConfig::SetActiveSynEvent(1), 0);
    EXPECT_EQ(has(logger), 1);
    wchar_t bare[] = L"REPLLOG.EXE", other[] = L"\\Windows\\other.exe";
    ::CeRunAppAtEvent(bare, 5);
    ::CeRunAppAtEvent(other, 9);
    EXPECT_EQ(KxConfig::DelActiveSynEvent(0) + has(logger) + has(L"5 REPLLOG.EXE"),
              KX_E_INVALIDARG + 2);
    EXPECT_EQ(KxConfig::DelActiveSynEvent(7), 0);
    EXPECT_EQ(std::to_string(has(logger)) + std::to_string(has(L"5 REPLLOG.EXE")) +
                  std::to_string(has(L"9 \\Windows\\other.exe")),
              "001");
}

DWORD RecordedNumber(const wchar_t* name) {
    DWORD type = 0, value = 0xDEADBEEF;
    std::string bytes;
    if (kxtest::RawGetValue(kReplLogRecord, name, &type, &bytes) && bytes.size() == 4)
        std::memcpy(&value, bytes.data(), 4);
    return value;
}

TEST_F(ProcessesTest, RunActiveSynEventStartsTheLoggerAsTheEventWould) {
    EXPECT_EQ(KxConfig::RunActiveSynEvent(), 0);
    // It runs on alone, out of reach of a wait; its record is polled for up to 10 seconds.
    for (int i = 0; i < 200 && RecordedNumber(L"Priority") == 0xDEADBEEF; ++i) ::Sleep(50);
    DWORD type = 0;
    std::string line;
    kxtest::RawGetValue(kReplLogRecord, L"LastCommandLine", &type, &line);
    EXPECT_EQ(line, std::string(reinterpret_cast<const char*>(L"AppRunAtRs232Detect"), 40));
    EXPECT_EQ(RecordedNumber(L"Priority"), static_cast<DWORD>(THREAD_PRIORITY_TIME_CRITICAL))
        << "raised to the highest level";
}

}  // namespace
