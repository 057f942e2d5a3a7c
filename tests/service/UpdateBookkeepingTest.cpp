// The update bookkeeping of KxConfig against the running reference scan service: the schedule
// it receives, the versions copied from it, the last pattern's name and the message server's
// digest.
#include "ServiceFixture.h"

#include <kxcommon/KxConfig.h>

#include <cstring>
#include <string>

namespace {

using kxtest::RawSetValue;
using kxtest::ReadServiceState;
using kxtest::ServiceSnapshot;

class UpdateBookkeepingTest : public kxtest::ServiceTest {
protected:
    static void StoreNumber(const wchar_t* name, DWORD number) {
        RawSetValue(kxtest::kProductKey, name, REG_DWORD, &number, sizeof number);
    }
    static void StoreText(const wchar_t* name, const std::wstring& text) {
        RawSetValue(kxtest::kProductKey, name, REG_SZ, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    static std::string Stored(const wchar_t* name, DWORD expectedType) {
        DWORD type = 0;
        std::string bytes;
        if (!kxtest::RawGetValue(kxtest::kProductKey, name, &type, &bytes)) return "(missing)";
        EXPECT_EQ(type, expectedType) << "value " << name;
        return bytes;
    }
    static std::string Utf16(const std::wstring& text) {
        return std::string(reinterpret_cast<const char*>(text.c_str()),
                           (text.size() + 1) * sizeof(wchar_t));
    }
};

SYSTEMTIME Time(WORD y, WORD mo, WORD d, WORD h, WORD mi) {
    SYSTEMTIME t{};
    t.wYear = y;
    t.wMonth = mo;
    t.wDay = d;
    t.wHour = h;
    t.wMinute = mi;
    return t;
}

ServiceSnapshot State() {
    ServiceSnapshot state{};
    EXPECT_TRUE(ReadServiceState(&state));
    return state;
}

TEST_F(UpdateBookkeepingTest, ScheduleAddsTheFrequencyByTheCalendar) {
    struct Case {
        DWORD days;  // 0: not stored
        SYSTEMTIME start, expected;
    };
    const Case cases[] = {
        {7, Time(2006, 1, 30, 10, 0), Time(2006, 2, 6, 10, 0)},
        {0, Time(2006, 1, 30, 10, 0), Time(2006, 3, 1, 10, 0)},  // 30 days by default
        {1, Time(2006, 12, 31, 23, 59), Time(2007, 1, 1, 23, 59)},
        {14, Time(2008, 2, 20, 8, 30), Time(2008, 3, 5, 8, 30)},  // leap year
        {30, Time(2007, 2, 1, 0, 0), Time(2007, 3, 3, 0, 0)},
    };
    for (const Case& c : cases) {
        kxtest::ResetDevice();
        StoreNumber(L"ScheduleUpdateOption", 1);
        if (c.days != 0) StoreNumber(L"ScheduleUpdateFrequency", c.days);
        EXPECT_EQ(KxConfig::SetUpdateSchedule(&c.start), 0);
        const ServiceSnapshot state = State();
        ASSERT_EQ(state.hasSchedule, 1u) << c.days;
        EXPECT_EQ(state.schedule.wYear, c.expected.wYear) << c.days;
        EXPECT_EQ(state.schedule.wMonth, c.expected.wMonth) << c.days;
        EXPECT_EQ(state.schedule.wDay, c.expected.wDay) << c.days;
        EXPECT_EQ(state.schedule.wHour, c.expected.wHour) << c.days;
        EXPECT_EQ(state.schedule.wMinute, c.expected.wMinute) << c.days;
    }
}

TEST_F(UpdateBookkeepingTest, ScheduleFromNowWhenNoStartIsGiven) {
    StoreNumber(L"ScheduleUpdateOption", 1);
    StoreNumber(L"ScheduleUpdateFrequency", 1);
    SYSTEMTIME before;
    ::GetLocalTime(&before);
    EXPECT_EQ(KxConfig::SetUpdateSchedule(nullptr), 0);
    const ServiceSnapshot state = State();
    ASSERT_EQ(state.hasSchedule, 1u);
    FILETIME a, b;
    ASSERT_TRUE(::SystemTimeToFileTime(&before, &a));
    ASSERT_TRUE(::SystemTimeToFileTime(&state.schedule, &b));
    const LONGLONG ahead = ((static_cast<LONGLONG>(b.dwHighDateTime) << 32) | b.dwLowDateTime) -
                           ((static_cast<LONGLONG>(a.dwHighDateTime) << 32) | a.dwLowDateTime);
    const LONGLONG day = 864000000000LL;
    EXPECT_GE(ahead, day);
    EXPECT_LT(ahead, day + 600000000LL) << "one day after the call, within a minute";
}

TEST_F(UpdateBookkeepingTest, ScheduleOffClearsTheServicesSchedule) {
    const SYSTEMTIME start = Time(2006, 1, 30, 10, 0);
    StoreNumber(L"ScheduleUpdateOption", 1);
    KxConfig::SetUpdateSchedule(&start);
    ASSERT_EQ(State().hasSchedule, 1u);

    StoreNumber(L"ScheduleUpdateOption", 0);
    EXPECT_EQ(KxConfig::SetUpdateSchedule(&start), 0);
    EXPECT_EQ(State().hasSchedule, 0u);

    KxConfig::SetUpdateSchedule(nullptr);
    kxtest::ResetDevice();  // no option stored at all
    StoreNumber(L"ScheduleUpdateOption", 1);
    KxConfig::SetUpdateSchedule(&start);
    ASSERT_EQ(State().hasSchedule, 1u);
    ASSERT_EQ(
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kxtest::kProductKey, L"ScheduleUpdateOption"),
        ERROR_SUCCESS);
    EXPECT_EQ(KxConfig::SetUpdateSchedule(&start), 0);
    EXPECT_EQ(State().hasSchedule, 0u);
}

TEST_F(UpdateBookkeepingTest, VersionsAreCopiedFromTheService) {
    kxtest::WritePattern("version 312345\nengine 2.1.7\n");
    EXPECT_EQ(KxConfig::SetZRApiVersionReg(), 0);
    EXPECT_EQ(Stored(L"ZRAPIEngineVer", REG_SZ), Utf16(L"2.1.7"));
    const DWORD pattern = 312345;
    EXPECT_EQ(Stored(L"ZRAPIPatternVer", REG_DWORD),
              std::string(reinterpret_cast<const char*>(&pattern), sizeof pattern));
}

TEST_F(UpdateBookkeepingTest, VersionsKeptWhenTheServiceIsUnreachable) {
    StoreText(L"ZRAPIEngineVer", L"1.9.9");
    {
        kxtest::BlockServiceLoading blocked;
        EXPECT_EQ(KxConfig::SetZRApiVersionReg(), KX_E_SERVICE_NOT_FOUND);
    }
    EXPECT_EQ(Stored(L"ZRAPIEngineVer", REG_SZ), Utf16(L"1.9.9"));
    EXPECT_EQ(Stored(L"ZRAPIPatternVer", REG_DWORD), "(missing)");
}

TEST_F(UpdateBookkeepingTest, LastPatternIsNormalised) {
    struct Case {
        const wchar_t* stored;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"\\Temp\\SCVPNWCE.456.BAK", L"\\temp\\scvpnwce.456"},
        {L"\\Temp\\Other.File.TXT", L"\\temp\\other.file.txt"},
        {L"scvpnwce.12", L"scvpnwce.12"},  // a shorter extension is kept whole
        {L"scvpnwce.", L"scvpnwce."},
        {L"X\\SCVPNWCE.123456", L"x\\scvpnwce.123"},
    };
    for (const Case& c : cases) {
        StoreText(L"LastPatternFilename", c.stored);
        wchar_t name[64];
        EXPECT_EQ(KxConfig::GetLastPattern(name, 64), KX_OK) << c.stored;
        EXPECT_STREQ(name, c.expected);
    }
}

TEST_F(UpdateBookkeepingTest, LastPatternFailuresStayInTheBuffer) {
    wchar_t name[8] = L"ABC";
    EXPECT_EQ(KxConfig::GetLastPattern(name, 8), KX_E_REGISTRY);
    EXPECT_STREQ(name, L"abc") << "the buffer is normalised whatever the read reported";
    EXPECT_EQ(KxConfig::GetLastPattern(nullptr, 8), KX_E_INVALIDARG);

    // A stored name longer than the buffer is refused; nothing is written past it.
    StoreText(L"LastPatternFilename", L"\\Temp\\scvpnwce.456");
    wchar_t small[9];
    std::wmemset(small, L'#', 9);
    small[4] = L'\0';
    EXPECT_EQ(KxConfig::GetLastPattern(small, 8), KX_E_REGISTRY);
    EXPECT_EQ(small[8], L'#');
}

TEST_F(UpdateBookkeepingTest, DigestOfTheMessageServer) {
    StoreText(L"WinPath", L"\\kxtest");
    char digest[17];
    std::memset(digest, 0x5A, sizeof digest);
    EXPECT_EQ(KxConfig::GetMD5(digest), KX_E_REGISTRY);

    // No message server: nothing is stored.
    EXPECT_EQ(KxConfig::SetMD5(), KX_E_REGISTRY);
    EXPECT_EQ(Stored(L"RepMD5", REG_BINARY), "(missing)");

    kxtest::MakeScratchFile(L"KxMsgSvr.exe", "abc");
    EXPECT_EQ(KxConfig::SetMD5(), KX_OK);
    // RFC 1321, MD5("abc").
    const unsigned char abc[16] = {0x90, 0x01, 0x50, 0x98, 0x3c, 0xd2, 0x4f, 0xb0,
                                   0xd6, 0x96, 0x3f, 0x7d, 0x28, 0xe1, 0x7f, 0x72};
    EXPECT_EQ(Stored(L"RepMD5", REG_BINARY), std::string(reinterpret_cast<const char*>(abc), 16));
    EXPECT_EQ(KxConfig::GetMD5(digest), KX_OK);
    EXPECT_EQ(std::memcmp(digest, abc, 16), 0);
    EXPECT_EQ(digest[16], 0x5A);

    // The file gone again: the stored digest stays.
    ASSERT_TRUE(::DeleteFileW(L"\\kxtest\\KxMsgSvr.exe"));
    EXPECT_EQ(KxConfig::SetMD5(), KX_E_REGISTRY);
    EXPECT_EQ(Stored(L"RepMD5", REG_BINARY), std::string(reinterpret_cast<const char*>(abc), 16));
}

}  // namespace
