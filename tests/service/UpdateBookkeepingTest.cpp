// The update bookkeeping of KxConfig against the running reference scan service: the schedule
// it receives, the versions copied from it, the last pattern's name and the message server's
// digest.
#include "RegistryRows.h"
#include "ServiceFixture.h"

namespace {

using namespace kxtest;

class UpdateBookkeepingTest : public ServiceTest {};

// The service's schedule as "y-m-d h:m", or "off".
std::string Schedule() {
    ServiceSnapshot state{};
    EXPECT_TRUE(ReadServiceState(&state));
    const SYSTEMTIME& when = state.schedule;
    char text[32];
    std::snprintf(text, sizeof text, "%d-%d-%d %d:%02d", when.wYear, when.wMonth, when.wDay,
                  when.wHour, when.wMinute);
    return state.hasSchedule != 0 ? text : "off";
}

// ScheduleUpdateOption 1 schedules the start plus ScheduleUpdateFrequency days (30 when not
// stored) by the calendar, months and years rolling over; 0, as a missing option reads, turns
// scheduling off.
constexpr DWORD kUnset = 99;  // as an option or frequency: nothing stored
struct ScheduleRow {
    DWORD option, days;
    SYSTEMTIME start;
    const char* expected;  // the service's schedule afterwards
};
TEST_F(UpdateBookkeepingTest, ScheduleAddsTheFrequencyByTheCalendar) {
    // clang-format off
    const ScheduleRow rows[] = {
        {.option = 1,      .days = kUnset, .start = {2006, 1, 0, 30, 10},      .expected = "2006-3-1 10:00"},
        {.option = 1,      .days = 1,      .start = {2006, 12, 0, 31, 23, 59}, .expected = "2007-1-1 23:59"},
        {.option = kUnset, .days = 7,      .start = {2006, 1, 0, 30, 10},      .expected = "off"},
    };
    // clang-format on
    for (const ScheduleRow& row : rows) {
        ResetDevice();
        StoreNumber(kProductKey, L"ScheduleUpdateOption", 1);
        KxConfig::SetUpdateSchedule(&row.start);  // a schedule that an "off" row must clear
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kProductKey, L"ScheduleUpdateOption");
        if (row.option != kUnset) StoreNumber(kProductKey, L"ScheduleUpdateOption", row.option);
        if (row.days != kUnset) StoreNumber(kProductKey, L"ScheduleUpdateFrequency", row.days);
        EXPECT_EQ(KxConfig::SetUpdateSchedule(&row.start) ? "failed" : Schedule(), row.expected)
            << "SetUpdateSchedule with ScheduleUpdateOption " << row.option
            << " and ScheduleUpdateFrequency " << row.days << " (99: not stored)";
    }
}

// The versions are copied when the service answers, and left when it cannot be loaded.
TEST_F(UpdateBookkeepingTest, VersionsAreCopiedFromTheServiceWhenItAnswers) {
    StoreText(kProductKey, L"ZRAPIEngineVer", L"1.9.9");
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
struct LastPatternRow {
    const wchar_t* stored;  // null: none
    unsigned long room;
    KXSTATUS status;
    std::wstring text;  // the buffer up to its terminator
};
TEST_F(UpdateBookkeepingTest, LastPatternIsNormalised) {
    // clang-format off
    const LastPatternRow rows[] = {
        {.stored = L"\\Temp\\SCVPNWCE.456.BAK", .room = 64, .status = KX_OK, .text = L"\\temp\\scvpnwce.456"},
        {.stored = L"scvpnwce.12", .room = 64, .status = KX_OK, .text = L"scvpnwce.12"},  // a shorter extension kept whole
        {.stored = nullptr, .room = 8, .status = KX_E_REGISTRY, .text = L"aaaaaaa"},  // normalised whatever the read said
        // Longer than the buffer: the buffer holds no terminator, one goes in its last unit.
        {.stored = L"\\Temp\\scvpnwce.456", .room = 5, .status = KX_E_REGISTRY, .text = L"aaaa"},
    };
    // clang-format on
    for (const LastPatternRow& row : rows) {
        ResetDevice();
        if (row.stored != nullptr) StoreText(kProductKey, L"LastPatternFilename", row.stored);
        std::wstring buffer(65, L'A');
        const KXSTATUS status = KxConfig::GetLastPattern(&buffer[0], row.room);
        const std::wstring text = buffer.c_str();
        EXPECT_TRUE(status == row.status && text == row.text && buffer[row.room] == L'A')
            << "GetLastPattern into " << row.room << " characters, with "
            << Stored(kProductKey, L"LastPatternFilename") << " stored, answered " << Hex(status)
            << " with \"" << Narrow(text) << "\"" << (buffer[row.room] == L'A' ? "" : ", past it")
            << "; expected " << Hex(row.status) << " with \"" << Narrow(row.text) << "\"";
    }
    EXPECT_EQ(KxConfig::GetLastPattern(nullptr, 8), KX_E_INVALIDARG);
}

// The digest is stored on the first SetMD5 that finds the message server and kept after.
TEST_F(UpdateBookkeepingTest, DigestOfTheMessageServer) {
    StoreText(kProductKey, L"WinPath", L"\\kxtest");
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
