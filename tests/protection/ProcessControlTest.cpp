// Switching real-time scanning and the WAP-push filter through a real hook loader process,
// ending programs, and the synchronisation logger's registrations.
#include "DeviceFixture.h"

#include <kxcommon/KxConfig.h>
#include <kxcommon/AppUtil.h>
#include <kxcommon/KxStatus.h>
#include <wince/wince.h>

#include <cstring>

#include <string>
#include <vector>

namespace {

using kxtest::RawGetValue;
using kxtest::RawKeyExists;
using kxtest::RawSetValue;

constexpr wchar_t kProductKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0";
constexpr wchar_t kHookLoaderRecord[] = L"SOFTWARE\\KxStandIns\\KxHookLoader";
constexpr wchar_t kReplLogRecord[] = L"SOFTWARE\\KxStandIns\\repllog";
constexpr wchar_t kRegistrations[] = L"SOFTWARE\\WinCE Platform\\Notifications";
constexpr wchar_t kSystemDir[] = L"\\kxtest\\sys";

class ProcessControlTest : public kxtest::DeviceTest {
protected:
    // Programs the tests started from the scratch folder end with them, so that the folder can
    // be emptied for the next test.
    void TearDown() override {
        const wchar_t hookLoader[] = L"\\kxtest\\sys\\KxHookLoader.exe";
        KxConfig::KillProcess(0, hookLoader, static_cast<const wchar_t*>(nullptr));
        // The image can be deleted once the process has gone.
        for (int i = 0;
             i < 50 && !::DeleteFileW(hookLoader) && ::GetLastError() != ERROR_FILE_NOT_FOUND &&
             ::GetLastError() != ERROR_PATH_NOT_FOUND;
             ++i)
            ::Sleep(100);
    }

    // The system directory holds the hook loader, as on the device.
    void StageHookLoader() {
        ::CreateDirectoryW(kxtest::kScratchDir, nullptr);
        ::CreateDirectoryW(kSystemDir, nullptr);
        ASSERT_TRUE(::CopyFileW(kxtest::SiblingPath(L"KxHookLoader.exe").c_str(),
                                (std::wstring(kSystemDir) + L"\\KxHookLoader.exe").c_str(), FALSE));
        const std::wstring dir = kSystemDir;
        RawSetValue(kProductKey, L"WinPath", REG_SZ, dir.c_str(),
                    static_cast<DWORD>((dir.size() + 1) * 2));
    }
};

std::wstring RecordedText(const wchar_t* key, const wchar_t* name) {
    DWORD type = 0;
    std::string bytes;
    if (!RawGetValue(key, name, &type, &bytes) || bytes.size() < 2) return L"<none>";
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2 - 1);
}

DWORD RecordedNumber(const wchar_t* key, const wchar_t* name) {
    DWORD type = 0;
    std::string bytes;
    DWORD value = 0xDEADBEEF;
    if (RawGetValue(key, name, &type, &bytes) && bytes.size() == 4)
        std::memcpy(&value, bytes.data(), 4);
    return value;
}

// ---- The hook loader -----------------------------------------------------------------------

TEST_F(ProcessControlTest, EachSwitchStartsTheHookLoaderWithExactlyItsKeyword) {
    StageHookLoader();
    const struct {
        int (*call)();
        const wchar_t* keyword;
        const wchar_t* feature;
        DWORD state;
    } cases[] = {
        {[] { return KxConfig::StartRealTimeScan(1, 0); }, L"ENABLE_REALTIME", L"RealTime", 1},
        {[] { return KxConfig::StopRealTimeScan(1); }, L"DISABLE_REALTIME", L"RealTime", 0},
        {[] { return KxConfig::StartRealTimeScan(1, 1); }, L"STARTUP_ENABLE_REALTIME", L"RealTime",
         1},
        {[] { return KxConfig::StartWapPushFilter(1); }, L"ENABLE_WapPushFilter", L"WapPushFilter",
         1},
        {[] { return KxConfig::StopWapPushFilter(1); }, L"DISABLE_WapPushFilter", L"WapPushFilter",
         0},
    };
    DWORD runs = 0;
    for (const auto& c : cases) {
        EXPECT_EQ(c.call(), KX_OK);
        EXPECT_EQ(RecordedText(kHookLoaderRecord, L"LastCommandLine"), c.keyword)
            << "the keyword is the whole command line";
        EXPECT_EQ(RecordedNumber(kHookLoaderRecord, c.feature), c.state);
        EXPECT_EQ(RecordedNumber(kHookLoaderRecord, L"Runs"), ++runs) << "waited for it to end";
    }
    EXPECT_EQ(RecordedNumber(kHookLoaderRecord, L"Rejected"), 0xDEADBEEFu);
    EXPECT_EQ(KxConfig::DisableAllFeature(), 0);
}

TEST_F(ProcessControlTest, AMissingHookLoaderIsReportedAtOnce) {
    ::CreateDirectoryW(kxtest::kScratchDir, nullptr);
    const std::wstring dir = L"\\kxtest\\empty";
    RawSetValue(kProductKey, L"WinPath", REG_SZ, dir.c_str(),
                static_cast<DWORD>((dir.size() + 1) * 2));
    EXPECT_EQ(KxConfig::StartRealTimeScan(1, 0), KX_E_PROGRAM_NOT_STARTED);
    EXPECT_EQ(KxConfig::StopRealTimeScan(1), KX_E_PROGRAM_NOT_STARTED);
    EXPECT_EQ(KxConfig::StartWapPushFilter(1), KX_E_WAPFILTER_NOT_STARTED);
    EXPECT_EQ(KxConfig::StopWapPushFilter(0), KX_E_WAPFILTER_NOT_STARTED);
    EXPECT_FALSE(RawKeyExists(kHookLoaderRecord));
}

TEST_F(ProcessControlTest, WithoutWaitingTheResultComesAtOnce) {
    StageHookLoader();
    const DWORD delay = 3000;
    RawSetValue(kHookLoaderRecord, L"DelayMs", REG_DWORD, &delay, 4);
    const DWORD start = ::GetTickCount();
    EXPECT_EQ(KxConfig::StartWapPushFilter(0), KX_OK);
    EXPECT_LT(::GetTickCount() - start, delay) << "did not wait for the hook loader";
}

// The one test that waits the 30 seconds out: a hook loader that works for 35.
TEST_F(ProcessControlTest, AHookLoaderThatOutlastsTheWaitIsATimeOut) {
    StageHookLoader();
    const DWORD delay = 35000;
    RawSetValue(kHookLoaderRecord, L"DelayMs", REG_DWORD, &delay, 4);
    EXPECT_EQ(KxConfig::StopRealTimeScan(1), KX_E_RTSCAN_STOP_TIMEOUT);
    EXPECT_EQ(RecordedText(kHookLoaderRecord, L"LastCommandLine"), L"DISABLE_REALTIME")
        << "it still did its work";
}

// ---- Ending programs -----------------------------------------------------------------------

TEST_F(ProcessControlTest, KillProcessEndsEveryInstanceOfOnePathAndNoOther) {
    for (const wchar_t* dir : {L"\\kxtest", L"\\kxtest\\a", L"\\kxtest\\b"})
        ::CreateDirectoryW(dir, nullptr);
    for (const wchar_t* copy : {L"\\kxtest\\a\\app.exe", L"\\kxtest\\b\\app.exe"})
        ASSERT_TRUE(::CopyFileW(kxtest::SiblingPath(L"kxtest_sleeper.exe").c_str(), copy, FALSE));
    kxtest::RunningProgram first(L"\\kxtest\\a\\app.exe");
    kxtest::RunningProgram second(L"\\kxtest\\a\\app.exe");
    kxtest::RunningProgram other(L"\\kxtest\\b\\app.exe");
    ASSERT_TRUE(first.Started() && second.Started() && other.Started());

    EXPECT_EQ(KxConfig::KillProcess(0, L"\\KXTEST\\A\\APP.EXE", L"\\kxtest\\a\\app.exe",
                                    static_cast<const wchar_t*>(nullptr)),
              0);
    EXPECT_EQ(first.ExitCode(5000), 0xFFFFFFFFu);
    EXPECT_EQ(second.ExitCode(5000), 0xFFFFFFFFu);
    EXPECT_EQ(other.ExitCode(200), static_cast<DWORD>(STILL_ACTIVE))
        << "another directory's program";
}

TEST_F(ProcessControlTest, KillProcessJoinsNamesWithTheSelectedDirectory) {
    StageHookLoader();  // WinPath = \kxtest\sys
    ASSERT_TRUE(::CopyFileW(kxtest::SiblingPath(L"kxtest_sleeper.exe").c_str(),
                            L"\\kxtest\\sys\\a.exe", FALSE));
    ASSERT_TRUE(::CopyFileW(kxtest::SiblingPath(L"kxtest_sleeper.exe").c_str(),
                            L"\\kxtest\\sys\\b.exe", FALSE));
    kxtest::RunningProgram a(L"\\kxtest\\sys\\a.exe");
    kxtest::RunningProgram b(L"\\kxtest\\sys\\b.exe");
    ASSERT_TRUE(a.Started() && b.Started());
    EXPECT_EQ(KxConfig::KillProcess(KX_DIR_SYSTEM, L"a.exe", L"b.exe", L"a.exe",
                                    static_cast<const wchar_t*>(nullptr)),
              0);
    EXPECT_EQ(a.ExitCode(5000), 0xFFFFFFFFu);
    EXPECT_EQ(b.ExitCode(5000), 0xFFFFFFFFu);
}

TEST_F(ProcessControlTest, KillUIProcessWithNothingRunningChangesNothing) {
    EXPECT_EQ(KxConfig::KillUIProcess(), 0);
    EXPECT_EQ(KxConfig::KillProcess(0, L"\\nowhere\\x.exe", static_cast<const wchar_t*>(nullptr)),
              0);
}

// ---- Synchronisation events ----------------------------------------------------------------

std::vector<std::wstring> Registrations() {
    std::vector<std::wstring> names;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRegistrations, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    wchar_t name[1024];
    for (DWORD i = 0;; ++i) {
        DWORD chars = 1024;
        if (::RegEnumValueW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.push_back(name);
    }
    ::RegCloseKey(key);
    return names;
}

TEST_F(ProcessControlTest, SyncEventRegistrationIsKeptAndRemoved) {
    EXPECT_EQ(KxConfig::SetActiveSynEvent(0), KX_E_INVALIDARG);
    EXPECT_TRUE(Registrations().empty()) << "a zero guard registers nothing";
    EXPECT_EQ(KxConfig::SetActiveSynEvent(1), 0);
    EXPECT_EQ(Registrations(), std::vector<std::wstring>{L"9 \\Windows\\repllog.exe"});

    wchar_t bare[] = L"REPLLOG.EXE";
    ::CeRunAppAtEvent(bare, 5);
    wchar_t other[] = L"\\Windows\\other.exe";
    ::CeRunAppAtEvent(other, 9);
    EXPECT_EQ(Registrations().size(), 3u);

    EXPECT_EQ(KxConfig::DelActiveSynEvent(0), KX_E_INVALIDARG);
    EXPECT_EQ(Registrations().size(), 3u);
    EXPECT_EQ(KxConfig::DelActiveSynEvent(7), 0);
    EXPECT_EQ(Registrations(), std::vector<std::wstring>{L"9 \\Windows\\other.exe"})
        << "both forms of the logger's name removed, in any case; others kept";
}

TEST_F(ProcessControlTest, RunActiveSynEventStartsTheLoggerAsTheEventWould) {
    EXPECT_EQ(KxConfig::RunActiveSynEvent(), 0);
    // It runs on alone; give it a moment to record.
    for (int i = 0; i < 100 && RecordedNumber(kReplLogRecord, L"Runs") != 1; ++i) ::Sleep(50);
    EXPECT_EQ(RecordedNumber(kReplLogRecord, L"Runs"), 1u);
    EXPECT_EQ(RecordedText(kReplLogRecord, L"LastCommandLine"), L"AppRunAtRs232Detect");
    EXPECT_EQ(RecordedNumber(kReplLogRecord, L"Priority"),
              static_cast<DWORD>(THREAD_PRIORITY_TIME_CRITICAL))
        << "raised to the highest level";
}

}  // namespace
