// RegKey, RegQV and the 16-byte time records.
#include "DeviceFixture.h"

#include <kxcommon/KxRegUtil.h>

#include <cstring>
#include <utility>

namespace {

using kxtest::RawKeyExists;
using kxtest::RawSetValue;

constexpr wchar_t kKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\Test";

class RegKeyTest : public kxtest::DeviceTest {};

bool HandleWorks(HKEY key) {
    DWORD values = 0;
    return ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                              nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// ---- RegKey -------------------------------------------------------------------------------

TEST_F(RegKeyTest, OpeningAMissingKeyHoldsNothing) {
    RegKey key(kKey);
    EXPECT_EQ(static_cast<HKEY>(key), nullptr);
    EXPECT_FALSE(key.AlreadyExists());
    EXPECT_FALSE(RawKeyExists(kKey)) << "opening never creates";
}

TEST_F(RegKeyTest, CreateReportsWhetherTheKeyWasThere) {
    {
        RegKey created(kKey, true);
        ASSERT_NE(static_cast<HKEY>(created), nullptr);
        EXPECT_FALSE(created.AlreadyExists());
    }
    EXPECT_TRUE(RawKeyExists(kKey));
    RegKey again(kKey, true);
    EXPECT_TRUE(again.AlreadyExists());
    RegKey opened(kKey);
    ASSERT_NE(static_cast<HKEY>(opened), nullptr);
    EXPECT_TRUE(opened.AlreadyExists());
}

TEST_F(RegKeyTest, CopiesOwnHandlesOfTheirOwn) {
    RegKey original(kKey, true);
    ASSERT_NE(static_cast<HKEY>(original), nullptr);
    {
        RegKey copy(original);
        ASSERT_NE(static_cast<HKEY>(copy), nullptr);
        EXPECT_NE(static_cast<HKEY>(copy), static_cast<HKEY>(original));
        EXPECT_EQ(copy.AlreadyExists(), original.AlreadyExists());
        RegKey assigned(L"SOFTWARE\\Quorlend\\Other", true);
        assigned = copy;
        EXPECT_NE(static_cast<HKEY>(assigned), static_cast<HKEY>(copy));
        EXPECT_TRUE(HandleWorks(assigned));
    }  // both copies closed here
    EXPECT_TRUE(HandleWorks(original)) << "closing a copy must not close the original";
    EXPECT_EQ(::RegSetValueExW(original, L"V", 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>("\1\0\0\0"), 4),
              ERROR_SUCCESS);
}

TEST_F(RegKeyTest, CopyOfAnEmptyKeyIsEmpty) {
    RegKey missing(kKey);
    RegKey copy(missing);
    EXPECT_EQ(static_cast<HKEY>(copy), nullptr);
    EXPECT_FALSE(copy.AlreadyExists());
}

TEST_F(RegKeyTest, MoveHandsTheHandleOver) {
    RegKey source(kKey, true);
    const HKEY handle = source;
    RegKey target(std::move(source));
    EXPECT_EQ(static_cast<HKEY>(target), handle);
    EXPECT_EQ(static_cast<HKEY>(source), nullptr);
    EXPECT_TRUE(HandleWorks(target));
}

// ---- RegQV --------------------------------------------------------------------------------

TEST_F(RegKeyTest, QueryFillsTheRecordAndReusesItsBuffer) {
    RegKey key(kKey, true);
    RawSetValue(kKey, L"Long", REG_SZ, L"a longer text value", 40);
    RawSetValue(kKey, L"Num", REG_DWORD, "\x05\0\0\0", 4);
    RegQV query(key);

    RegValueData record;
    ASSERT_TRUE(query(L"Long", record));
    EXPECT_STREQ(record.name, L"Long");
    EXPECT_EQ(record.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(record.size, 40u);
    EXPECT_EQ(std::memcmp(record.data, L"a longer text value", 40), 0);
    const unsigned char* buffer = record.data;

    ASSERT_TRUE(query(L"Num", record));
    EXPECT_EQ(record.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(record.size, 4u);
    EXPECT_EQ(record.data, buffer) << "a smaller value reuses the buffer";
    EXPECT_EQ(record.data[0], 5);
}

TEST_F(RegKeyTest, QueryOfAMissingValueLeavesTheRecord) {
    RegKey key(kKey, true);
    RegQV query(key);
    const wchar_t name[] = L"Before";
    const unsigned char bytes[] = {1};
    RegValueData record(name, 77, bytes, 1);
    EXPECT_FALSE(query(L"Absent", record));
    EXPECT_EQ(record.name, name);
    EXPECT_EQ(record.type, 77u);
    EXPECT_EQ(record.data, bytes);
    EXPECT_EQ(record.size, 1u);
}

TEST_F(RegKeyTest, CopiedQueryKeepsItsOwnBuffer) {
    RegKey key(kKey, true);
    RawSetValue(kKey, L"A", REG_SZ, L"first", 12);
    RawSetValue(kKey, L"B", REG_SZ, L"other", 12);
    RegQV query(key);
    RegValueData fromOriginal;
    ASSERT_TRUE(query(L"A", fromOriginal));
    {
        RegQV copy(query);
        RegValueData fromCopy;
        ASSERT_TRUE(copy(L"B", fromCopy));
        EXPECT_NE(fromCopy.data, fromOriginal.data);
    }
    EXPECT_EQ(std::memcmp(fromOriginal.data, L"first", 12), 0);
}

TEST_F(RegKeyTest, KeyDataKeepsBothPointersAsGiven) {
    const wchar_t a[] = L"a";
    const wchar_t b[] = L"b";
    RegKeyData pair(a, b);
    RegKeyData other(b, a);
    other = pair;
    EXPECT_EQ(other.first, a);
    EXPECT_EQ(other.second, b);
}

// ---- Time records -------------------------------------------------------------------------

SYSTEMTIME SampleTime() {
    SYSTEMTIME t{};
    t.wYear = 2026;
    t.wMonth = 12;
    t.wDayOfWeek = 6;
    t.wDay = 5;
    t.wHour = 14;
    t.wMinute = 30;
    t.wSecond = 15;
    t.wMilliseconds = 250;
    return t;
}

TEST_F(RegKeyTest, TimeRecordRoundTripsAsSixteenBytes) {
    const SYSTEMTIME written = SampleTime();
    ASSERT_TRUE(RegSetSystemTime(kKey, L"When", &written));
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(kxtest::RawGetValue(kKey, L"When", &type, &bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    ASSERT_EQ(bytes.size(), 16u);
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xEA\x07", 2)) << "year 2026, little-endian";

    SYSTEMTIME read;
    std::memset(&read, 0xBD, sizeof read);
    ASSERT_TRUE(RegGetSystemTime(kKey, L"When", &read));
    EXPECT_EQ(std::memcmp(&read, &written, sizeof read), 0);
}

TEST_F(RegKeyTest, ShortTimeRecordFailsAfterFillingItsBytes) {
    RawSetValue(kKey, L"When", REG_BINARY, "\x01\x02\x03\x04\x05\x06\x07\x08", 8);
    SYSTEMTIME read;
    std::memset(&read, 0xBD, sizeof read);
    EXPECT_FALSE(RegGetSystemTime(kKey, L"When", &read));
    const auto* bytes = reinterpret_cast<const unsigned char*>(&read);
    EXPECT_EQ(bytes[0], 0x01);
    EXPECT_EQ(bytes[7], 0x08);
    for (int i = 8; i < 16; ++i) EXPECT_EQ(bytes[i], 0xBD) << i;
}

TEST_F(RegKeyTest, ReadingATimeCreatesItsKey) {
    SYSTEMTIME read{};
    EXPECT_FALSE(RegGetSystemTime(kKey, L"When", &read));
    EXPECT_TRUE(RawKeyExists(kKey));
    EXPECT_FALSE(RegGetSystemTime(kKey, L"When", nullptr));
    EXPECT_FALSE(RegSetSystemTime(kKey, L"When", nullptr));
    EXPECT_FALSE(kxtest::RawValueExists(kKey, L"When"));
}

}  // namespace
