// The update bookkeeping of KxConfig against the running reference scan service: the schedule
// it receives, the versions copied from it, the last pattern's name and the message server's
// digest.
#include "RegistryRows.h"
#include "ServiceFixture.h"

namespace {

using namespace kxtest;

class UpdateBookkeepingTest : public ServiceTest {};

void StoreNumber(const wchar_t* name, DWORD number) {
    kxtest::StoreNumber(kProductKey, name, number);
}
void StoreText(const wchar_t* name, const std::wstring& text) {
    kxtest::StoreText(kProductKey, name, text);
}

// The service's schedule as "y-m-d h:m", or "off".
std::string Schedule() {
    ServiceSnapshot s{};
    EXPECT_TRUE(ReadServiceState(&s));
    char text[32];
    std::snprintf(text, sizeof text, "%d-%d-%d %d:%02d", s.schedule.wYear, s.schedule.wMonth,
                  s.schedule.wDay, s.schedule.wHour, s.schedule.wMinute);
    return s.hasSchedule != 0 ? text : "off";
}

// ScheduleUpdateOption 1 schedules the start plus ScheduleUpdateFrequency days (30 when not
// stored) by the calendar; 0 or a missing option turns scheduling off.
TEST_F(UpdateBookkeepingTest, ScheduleAddsTheFrequencyByTheCalendar) {
    const DWORD kUnset = 99;
    const struct Row {
        DWORD option, days;
        SYSTEMTIME start;
        const char* expected;
    } rows[] = {
        {1, kUnset, {2006, 1, 0, 30, 10}, "2006-3-1 10:00"},
        {1, 1, {2006, 12, 0, 31, 23, 59}, "2007-1-1 23:59"},
        {1, 14, {2008, 2, 0, 20, 8, 30}, "2008-3-5 8:30"},  // leap year
        {0, 7, {2006, 1, 0, 30, 10}, "off"},
        {kUnset, 7, {2006, 1, 0, 30, 10}, "off"},
    };
    for (const Row& row : rows) {
        ResetDevice();
        StoreNumber(L"ScheduleUpdateOption", 1);
        KxConfig::SetUpdateSchedule(&row.start);  // a schedule that an "off" row must clear
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kProductKey, L"ScheduleUpdateOption");
        if (row.option != kUnset) StoreNumber(L"ScheduleUpdateOption", row.option);
        if (row.days != kUnset) StoreNumber(L"ScheduleUpdateFrequency", row.days);
        EXPECT_EQ(KxConfig::SetUpdateSchedule(&row.start) ? "failed" : Schedule(), row.expected)
            << row.option << " " << row.days;
    }
}

// The versions are copied when the service answers, and left when it cannot be loaded.
TEST_F(UpdateBookkeepingTest, VersionsAreCopiedFromTheServiceWhenItAnswers) {
    StoreText(L"ZRAPIEngineVer", L"1.9.9");
    const auto copy = [](int expected) {
        EXPECT_EQ(KxConfig::SetZRApiVersionReg(), expected);
        return Stored(kProductKey, L"ZRAPIEngineVer") + ", " +
               Stored(kProductKey, L"ZRAPIPatternVer");
    };
    // The blocking lasts until the end of the statement.
    EXPECT_EQ((BlockServiceLoading(), copy(KX_E_SERVICE_NOT_FOUND)), "text \"1.9.9\", (missing)");
    WritePattern("version 312345\nengine 2.1.7\n");
    // 312345 is 0x4c419.
    EXPECT_EQ(copy(0), "text \"2.1.7\", number 0x4c419");
}

// Lower case, and a pattern file's extension cut to its three-digit number. The buffer is
// normalised whatever the read said, terminated within its size: nothing is written past it.
TEST_F(UpdateBookkeepingTest, LastPatternIsNormalised) {
    const std::wstring kReg = std::to_wstring(KX_E_REGISTRY);
    const struct Row {
        const wchar_t* stored;  // null: none
        unsigned long room;
        std::wstring expected;  // status and buffer
    } rows[] = {
        {L"\\Temp\\SCVPNWCE.456.BAK", 64, L"0 \\temp\\scvpnwce.456"},
        {L"scvpnwce.12", 64, L"0 scvpnwce.12"},  // a shorter extension is kept whole
        {nullptr, 8, kReg + L" aaaaaaa"},        // normalised whatever the read said
        // Longer than the buffer: the buffer holds no terminator, one goes in its last unit.
        {L"\\Temp\\scvpnwce.456", 5, kReg + L" aaaa"},
    };
    for (const Row& row : rows) {
        ResetDevice();
        if (row.stored != nullptr) StoreText(L"LastPatternFilename", row.stored);
        std::wstring buf(65, L'A');
        const int got = KxConfig::GetLastPattern(&buf[0], row.room);
        EXPECT_EQ(std::to_wstring(got) + L" " + buf.c_str() + buf[row.room], row.expected + L"A");
    }
    EXPECT_EQ(KxConfig::GetLastPattern(nullptr, 8), KX_E_INVALIDARG);
}

// The digest is stored on the first SetMD5 that finds the message server and kept after.
TEST_F(UpdateBookkeepingTest, DigestOfTheMessageServer) {
    StoreText(L"WinPath", L"\\kxtest");
    std::string digest(17, '\x5A');
    EXPECT_EQ(KxConfig::SetMD5() + KxConfig::GetMD5(&digest[0]), 2 * KX_E_REGISTRY);
    EXPECT_EQ(Stored(kProductKey, L"RepMD5"), "(missing)");
    MakeScratchFile(L"KxMsgSvr.exe", "abc");
    const std::string abc = "\x90\x01\x50\x98\x3c\xd2\x4f\xb0\xd6\x96\x3f\x7d\x28\xe1\x7f\x72";
    EXPECT_EQ(KxConfig::SetMD5() || KxConfig::GetMD5(&digest[0]) ? "failed" : digest, abc + "\x5A");
    ASSERT_TRUE(::DeleteFileW(L"\\kxtest\\KxMsgSvr.exe"));
    EXPECT_EQ(KxConfig::SetMD5(), KX_E_REGISTRY) << "SetMD5 with the message server gone";
    EXPECT_EQ(Stored(kProductKey, L"RepMD5"),
              "bytes 90 01 50 98 3c d2 4f b0 d6 96 3f 7d 28 e1 7f 72");
}

}  // namespace
