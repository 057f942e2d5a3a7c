// kxctl's settings verbs: what they store goes through the library's accessors, and a value that
// does not parse for its setting writes nothing.
#include "DeviceFixture.h"
#include "KxctlRunner.h"

#include <cstring>
#include <string>

namespace {

using kxtest::KxctlRun;
using kxtest::RawGetValue;
using kxtest::RawValueExists;
using kxtest::RunKxctl;

constexpr wchar_t P[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0";
constexpr wchar_t S[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent";

class KxctlSettingsTest : public kxtest::DeviceTest {};

DWORD StoredNumber(const wchar_t* key, const wchar_t* name) {
    DWORD type = 0, number = 0xDEADBEEF;
    std::string bytes;
    if (RawGetValue(key, name, &type, &bytes) && bytes.size() == 4)
        std::memcpy(&number, bytes.data(), 4);
    return number;
}

bool Has(const KxctlRun& r, const char* text) { return r.output.find(text) != std::string::npos; }

TEST_F(KxctlSettingsTest, InitThenShowListsTheFirstRunValues) {
    KxctlRun r = RunKxctl(L"show");
    ASSERT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_TRUE(Has(r, "FileScanType  (not set)")) << r.output;
    EXPECT_TRUE(Has(r, "TaskLogFilename  (not set)")) << r.output;

    r = RunKxctl(L"init");
    ASSERT_EQ(r.exitCode, 0u) << r.output;
    r = RunKxctl(L"show");
    ASSERT_EQ(r.exitCode, 0u) << r.output;
    for (const char* line : {"FileScanType = 2147483647 (0x7FFFFFFF)", "RealTimeScan = 1",
                             "TaskLogFilename = \"task11.log\"", "SMSSpamFolderName = \"Spam\"",
                             "PrimaryUpdateServer = \"\\Renovix\"", "UpdateTempFactor = 9",
                             "ProxyPassword = \"\"", "LastScanTime = 20"})
        EXPECT_TRUE(Has(r, line)) << line << "\n" << r.output;
    EXPECT_TRUE(Has(r, "DebugLogFileSize  (not set)")) << "init writes only its own values";
}

TEST_F(KxctlSettingsTest, SetStoresWhatTheAccessorStores) {
    const struct {
        const wchar_t* args;
        const wchar_t* key;
        const wchar_t* name;
        DWORD stored;
    } cases[] = {
        {L"set RealTimeScan 5", P, L"RealTimeScan", 1},
        {L"set CompressedFileScanLayer 9", P, L"CompressedFileScanLayer", 3},
        {L"set ScheduleUpdateFrequency 10", P, L"ScheduleUpdateFrequency", 1},
        {L"set ScheduleUpdateFrequency 14", P, L"ScheduleUpdateFrequency", 14},
        {L"set HostPort 8080", S, L"HostPort", 8080},
        {L"set logfilesize 0x8000", P, L"LogFileSize", 32768},  // names in any case
    };
    for (const auto& c : cases) {
        const KxctlRun r = RunKxctl(c.args);
        EXPECT_EQ(r.exitCode, 0u) << r.output;
        EXPECT_EQ(StoredNumber(c.key, c.name), c.stored)
            << testing::PrintToString(std::wstring(c.args));
    }
    const KxctlRun r = RunKxctl(L"get RealTimeScan");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(Has(r, "RealTimeScan = 1")) << r.output;
}

TEST_F(KxctlSettingsTest, UnparsableValuesWriteNothing) {
    const wchar_t* bad[] = {
        L"set RealTimeScan yes",
        L"set LogFileSize -1",
        L"set LogFileSize 4294967296",
        L"set HostPort 65536",
        L"set FullVersionNum 2.0.1",
        L"set FullVersionNum 2.0.1.70000",
        L"set LastUpdateTime 2026-13-01 00:00:00",
        L"set LastUpdateTime yesterday",
        L"set StartupTime later",
        L"set AppPath \\Program",  // read only
        L"set NoSuchSetting 1",
        L"delete LogFileSize",  // no deleter
        L"get",
    };
    for (const wchar_t* args : bad) {
        const KxctlRun r = RunKxctl(args);
        EXPECT_EQ(r.exitCode, 2u) << testing::PrintToString(std::wstring(args)) << r.output;
    }
    for (const wchar_t* name : {L"RealTimeScan", L"LogFileSize", L"FullVersionNum",
                                L"LastUpdateTime", L"StartupTime", L"AppPath"})
        EXPECT_FALSE(RawValueExists(P, name)) << testing::PrintToString(std::wstring(name));
    EXPECT_FALSE(RawValueExists(S, L"HostPort"));
}

TEST_F(KxctlSettingsTest, TextsTimesAndDeletion) {
    KxctlRun r = RunKxctl(L"set StartupTemp \"\\Temp\\setup 1.cab\"");
    ASSERT_EQ(r.exitCode, 0u) << r.output;
    r = RunKxctl(L"get StartupTemp");
    EXPECT_TRUE(Has(r, "StartupTemp = \"\\Temp\\setup 1.cab\"")) << r.output;
    r = RunKxctl(L"delete StartupTemp");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_FALSE(RawValueExists(P, L"StartupTemp"));
    r = RunKxctl(L"get StartupTemp");
    EXPECT_EQ(r.exitCode, 1u) << "not set";
    r = RunKxctl(L"delete StartupTemp");
    EXPECT_EQ(r.exitCode, 1u) << "nothing to delete";

    r = RunKxctl(L"set ScheduleUpdateTime \"2026-12-24 03:00:00\"");
    ASSERT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_TRUE(Has(r, "ScheduleUpdateTime = 2026-12-24 03:00:00.000")) << r.output;
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(RawGetValue(P, L"ScheduleUpdateTime", &type, &bytes));
    ASSERT_EQ(bytes.size(), 16u);
    EXPECT_EQ(bytes[4], 4) << "day of week worked out: a Thursday";
}

TEST_F(KxctlSettingsTest, VersionAndBump) {
    KxctlRun r = RunKxctl(L"version");
    EXPECT_EQ(r.exitCode, 1u) << "no version stored yet";
    r = RunKxctl(L"set FullVersionNum 2.0.1.1021");
    ASSERT_EQ(r.exitCode, 0u) << r.output;
    r = RunKxctl(L"version");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(Has(r,
                    "2.0.1.1021  (high 0x00020000, low 0x000103FD, product version "
                    "0x00020000000103FD)"))
        << r.output;
    r = RunKxctl(L"version bump");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(Has(r, "2.0.2.1021")) << r.output;
}

}  // namespace
