// kxctl as a user runs it: a separate process, its output and its exit code.
#include "DeviceFixture.h"
#include "KxctlRunner.h"

#include <string>

namespace {

using kxtest::KxctlRun;
using kxtest::RunKxctl;

class KxctlTest : public kxtest::DeviceTest {};

constexpr wchar_t kKeyArg[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0";

TEST_F(KxctlTest, WritesReadsListsAndDeletesValues) {
    const std::wstring key = kKeyArg;
    KxctlRun r = RunKxctl(L"reg add " + key + L" LogFileSize num 32768");
    ASSERT_EQ(r.exitCode, 0u) << r.output;
    r = RunKxctl(L"reg add " + key + L" TaskLogFilename text task11.log");
    ASSERT_EQ(r.exitCode, 0u) << r.output;
    r = RunKxctl(L"reg add HKLM\\" + key + L" RepMD5 bytes \"00 01 fe ff\"");
    ASSERT_EQ(r.exitCode, 0u) << r.output;

    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(kxtest::RawGetValue(kKeyArg, L"RepMD5", &type, &bytes));
    EXPECT_EQ(bytes, std::string("\x00\x01\xfe\xff", 4));

    r = RunKxctl(L"reg query " + key + L" LogFileSize");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_NE(r.output.find("0x00008000 (32768)"), std::string::npos) << r.output;

    r = RunKxctl(L"reg query " + key);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_NE(r.output.find("TaskLogFilename  text  \"task11.log\""), std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("RepMD5  bytes  00 01 fe ff"), std::string::npos) << r.output;

    r = RunKxctl(L"reg delete " + key + L" LogFileSize");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_FALSE(kxtest::RawValueExists(kKeyArg, L"LogFileSize"));
    r = RunKxctl(L"reg delete " + key + L" LogFileSize");
    EXPECT_EQ(r.exitCode, 1u) << "deleting what is not there is a failed call";
    EXPECT_NE(r.output.find("0x30000"), std::string::npos) << r.output;
}

TEST_F(KxctlTest, ListsSubkeysWithFullPaths) {
    kxtest::RawSetValue(L"SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent", L"HostPort", REG_DWORD,
                        "\x90\x1f\0\0", 4);
    KxctlRun r = RunKxctl(L"reg subkeys " + std::wstring(kKeyArg));
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_NE(r.output.find("HKLM\\SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent"),
              std::string::npos)
        << r.output;
}

TEST_F(KxctlTest, BadArgumentsAreUsageErrorsAndWriteNothing) {
    const std::wstring key = kKeyArg;
    const std::wstring bad[] = {
        L"",
        L"nonsense",
        L"reg",
        L"reg query",
        L"reg add " + key + L" V num twelve",
        L"reg add " + key + L" V num 0x100000000",
        L"reg add " + key + L" V bytes 0g",
        L"reg add " + key + L" V bytes 012",
        L"reg add " + key + L" V bytes \xFF21\xFF21",  // full-width hex digits are not ASCII ones
        L"reg add " + key + L" V float 1.5",
        L"reg delete " + key,
    };
    for (const std::wstring& arguments : bad) {
        const KxctlRun r = RunKxctl(arguments);
        EXPECT_EQ(r.exitCode, 2u) << testing::PrintToString(arguments) << r.output;
        EXPECT_FALSE(r.output.empty()) << "a usage error says what was wrong";
    }
    EXPECT_FALSE(kxtest::RawKeyExists(kKeyArg));
}

TEST_F(KxctlTest, QueryOfMissingKeyOrValueFails) {
    KxctlRun r = RunKxctl(L"reg query " + std::wstring(kKeyArg));
    EXPECT_EQ(r.exitCode, 1u) << r.output;
    kxtest::RawSetValue(kKeyArg, L"Present", REG_DWORD, "\1\0\0\0", 4);
    r = RunKxctl(L"reg query " + std::wstring(kKeyArg) + L" Absent");
    EXPECT_EQ(r.exitCode, 1u) << r.output;
}

}  // namespace
