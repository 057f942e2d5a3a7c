// Caller lists: storage, the look-up and containment rules, enumeration with its capacity
// protocol, bad records, and two processes writing one list at once.
#include "DeviceFixture.h"

#include <kxcommon/CallerInfo.h>
#include <kxcommon/KxConfig.h>
#include <kxcommon/KxRegUtil.h>

#include <algorithm>
#include <cwchar>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace {

using kxtest::RawGetValue;
using kxtest::RawKeyExists;
using kxtest::RawSetValue;

constexpr wchar_t kWideFill = 0xBDBD;

CallerInfo_tag Entry(const std::wstring& number, const std::wstring& name = L"") {
    CallerInfo_tag entry = {};
    std::wmemcpy(entry.Number, number.c_str(), number.size());
    std::wmemcpy(entry.Name, name.c_str(), name.size());
    return entry;
}

CallerInfo_tag Filled() {
    CallerInfo_tag entry;
    std::fill(std::begin(entry.Number), std::end(entry.Number), kWideFill);
    std::fill(std::begin(entry.Name), std::end(entry.Name), kWideFill);
    return entry;
}

bool IsFilled(const CallerInfo_tag& entry) {
    return std::all_of(std::begin(entry.Number), std::end(entry.Number),
                       [](wchar_t c) { return c == kWideFill; }) &&
           std::all_of(std::begin(entry.Name), std::end(entry.Name),
                       [](wchar_t c) { return c == kWideFill; });
}

// One list's operations, so that every rule is checked on all four lists and on its own key.
struct ListOps {
    const char* label;
    const wchar_t* key;
    KXSTATUS (*add)(CallerInfo_tag&);
    KXSTATUS (*del)(CallerInfo_tag&);
    KXSTATUS (*lookup)(const wchar_t*);
    KXSTATUS (*enumerate)(CallerInfo_tag*, unsigned long&);
};

void PrintTo(const ListOps& ops, std::ostream* out) { *out << ops.label; }

// The accept and reject look-ups take a record; the WAP-push ones take the number alone.
template <KXSTATUS (*LookUpEntry)(CallerInfo_tag&)>
KXSTATUS LookUpNumber(const wchar_t* number) {
    CallerInfo_tag entry = Entry(number);
    return LookUpEntry(entry);
}

const ListOps kLists[] = {
    {"Accept", L"SOFTWARE\\Quorlend\\Scutara\\2.0\\AcceptList", KxConfig::AddAccepter,
     KxConfig::DelAccepter, LookUpNumber<KxConfig::GetAcceptr>, KxConfig::GetAcceptList},
    {"Reject", L"SOFTWARE\\Quorlend\\Scutara\\2.0\\RejectList", KxConfig::AddRejecter,
     KxConfig::DelRejecter, LookUpNumber<KxConfig::GetRejecter>, KxConfig::GetRejectList},
    {"WapPushAccept", L"SOFTWARE\\Quorlend\\Scutara\\2.0\\WapPush\\AcceptList",
     KxConfig::AddWapPushAccepter, KxConfig::DelWapPushAccepter, KxConfig::GetWapPushAcceptr,
     KxConfig::GetWapPushAcceptList},
    {"WapPushForce", L"SOFTWARE\\Quorlend\\Scutara\\2.0\\WapPush\\ForceList",
     KxConfig::AddForceListAccepter, KxConfig::DelForceListAccepter, KxConfig::GetForceListAcceptr,
     KxConfig::GetForceAcceptList},
};

class CallerListTest : public kxtest::DeviceTest, public ::testing::WithParamInterface<ListOps> {
protected:
    const ListOps& list = GetParam();

    void Add(const std::wstring& number, const std::wstring& name = L"") {
        CallerInfo_tag entry = Entry(number, name);
        ASSERT_EQ(list.add(entry), KX_OK) << testing::PrintToString(number);
    }

    // The whole list through the capacity protocol, as a caller reads it.
    std::vector<CallerInfo_tag> ReadAll() {
        unsigned long count = 0;
        KXSTATUS status = list.enumerate(nullptr, count);
        std::vector<CallerInfo_tag> entries(count);
        if (status == KX_E_ARRAY_TOO_SMALL) status = list.enumerate(entries.data(), count);
        EXPECT_EQ(status, KX_OK);
        entries.resize(status == KX_OK ? count : 0);
        return entries;
    }
};

// ---- Storage ------------------------------------------------------------------------------

TEST_P(CallerListTest, AnEntryIsOneTextValueNamedByItsNumber) {
    Add(L"0912345678", L"Alice");
    Add(L"+44 20-7946", L"");

    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(RawGetValue(list.key, L"0912345678", &type, &bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(bytes, std::string(reinterpret_cast<const char*>(L"Alice"), 12));
    ASSERT_TRUE(RawGetValue(list.key, L"+44 20-7946", &type, &bytes))
        << "numbers are stored as given, blanks and dashes included";
    EXPECT_EQ(bytes, std::string(2, '\0')) << "an empty name is a lone terminator";

    for (const ListOps& other : kLists) {
        if (other.key == list.key) continue;
        EXPECT_FALSE(RawKeyExists(other.key)) << other.label;
    }
}

TEST_P(CallerListTest, AddingANumberAgainReplacesItsName) {
    Add(L"0912345678", L"first");
    Add(L"0912345678", L"second");
    const std::vector<CallerInfo_tag> entries = ReadAll();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_STREQ(entries[0].Name, L"second");
}

TEST_P(CallerListTest, DeletionRemovesOnlyThatNumber) {
    CallerInfo_tag absent = Entry(L"0912345678");
    EXPECT_EQ(list.del(absent), KX_E_REGISTRY) << "the list was never written";
    EXPECT_FALSE(RawKeyExists(list.key)) << "deletion creates no key";

    Add(L"0912345678");
    Add(L"5551234");
    CallerInfo_tag entry = Entry(L"0912345678");
    EXPECT_EQ(list.del(entry), KX_OK);
    EXPECT_FALSE(kxtest::RawValueExists(list.key, L"0912345678"));
    EXPECT_TRUE(kxtest::RawValueExists(list.key, L"5551234"));
    EXPECT_EQ(list.del(entry), KX_E_REGISTRY) << "the number is no longer there";

    CallerInfo_tag byTail = Entry(L"+886912345678");
    Add(L"0912345678");
    EXPECT_EQ(list.del(byTail), KX_E_REGISTRY) << "deletion takes the exact number only";
    EXPECT_TRUE(kxtest::RawValueExists(list.key, L"0912345678"));
}

TEST_P(CallerListTest, UnterminatedFieldsAreRefusedAndWriteNothing) {
    CallerInfo_tag fullNumber = Entry(L"");
    std::fill(std::begin(fullNumber.Number), std::end(fullNumber.Number), L'7');
    EXPECT_EQ(list.add(fullNumber), KX_E_INVALIDARG);
    EXPECT_EQ(list.del(fullNumber), KX_E_INVALIDARG);

    CallerInfo_tag name = Entry(L"0912345678");
    std::fill(std::begin(name.Name), std::end(name.Name), L'n');
    EXPECT_EQ(list.add(name), KX_E_INVALIDARG);
    EXPECT_FALSE(RawKeyExists(list.key));

    // The longest texts that fit their fields are accepted and come back whole.
    const std::wstring number(259, L'9');
    const std::wstring text(1023, L'n');
    CallerInfo_tag longest = Entry(number, text);
    EXPECT_EQ(list.add(longest), KX_OK);
    CallerInfo_tag array[2] = {Filled(), Filled()};
    unsigned long count = 1;
    ASSERT_EQ(list.enumerate(array, count), KX_OK);
    ASSERT_EQ(count, 1ul);
    EXPECT_EQ(std::wstring(array[0].Number), number);
    EXPECT_EQ(std::wstring(array[0].Name), text);
    EXPECT_TRUE(IsFilled(array[1])) << "a full-width Number stays within its entry";
}

// ---- Look-up rule ---------------------------------------------------------------------------

struct LookupCase {
    const wchar_t* number;
    KXSTATUS expected;
    const char* why;
};

TEST_P(CallerListTest, LookUpTakesTheExactNumberElseTheLastSevenCharacters) {
    EXPECT_EQ(list.lookup(L"0912345678"), KX_E_REGISTRY) << "a list never written";

    Add(L"0912345678");
    Add(L"1234567");
    Add(L"555123");
    Add(L"sender-ABCDEFG");

    const LookupCase cases[] = {
        {L"0912345678", KX_OK, "exact"},
        {L"+886912345678", KX_OK, "tail 2345678 of the stored 0912345678"},
        {L"0812345678", KX_OK, "differs only before the last seven"},
        {L"0912345679", KX_E_NO_MATCH, "last digit differs"},
        {L"2345678", KX_E_NO_MATCH, "seven characters are matched exactly only"},
        {L"1234567", KX_OK, "exact seven"},
        {L"991234567", KX_OK, "tail equal to the whole stored 1234567"},
        {L"555123", KX_OK, "exact six"},
        {L"99555123", KX_E_NO_MATCH, "stored names under seven never match by tail"},
        {L"SENDER-abcdefg", KX_OK, "exact step compares as the registry does"},
        {L"other-abcdefg", KX_E_NO_MATCH, "tail step is case-sensitive"},
        {L"other-ABCDEFG", KX_OK, "tail step"},
        {L"", KX_E_NO_MATCH, "empty"},
    };
    for (const LookupCase& c : cases)
        EXPECT_EQ(list.lookup(c.number), c.expected)
            << testing::PrintToString(std::wstring(c.number)) << ": " << c.why;

    for (const wchar_t* number : {L"0912345678", L"1234567", L"555123", L"sender-ABCDEFG"}) {
        CallerInfo_tag entry = Entry(number);
        ASSERT_EQ(list.del(entry), KX_OK);
    }
    EXPECT_EQ(list.lookup(L"+886912345678"), KX_E_NO_MATCH) << "an emptied list still exists";
}

// ---- Enumeration ----------------------------------------------------------------------------

TEST_P(CallerListTest, EnumerationAnswersTheCountNeededAndNeverWritesPastTheArray) {
    CallerInfo_tag array[5] = {Filled(), Filled(), Filled(), Filled(), Filled()};
    unsigned long count = 5;
    EXPECT_EQ(list.enumerate(array, count), KX_E_REGISTRY) << "a list never written";
    EXPECT_EQ(count, 5ul);
    EXPECT_TRUE(IsFilled(array[0]));

    Add(L"0912345678", L"Alice");
    Add(L"5551234", L"Bob");
    Add(L"+886912000000", L"Carol");

    count = 0;
    EXPECT_EQ(list.enumerate(array, count), KX_E_ARRAY_TOO_SMALL);
    EXPECT_EQ(count, 3ul);
    count = 2;
    EXPECT_EQ(list.enumerate(array, count), KX_E_ARRAY_TOO_SMALL);
    EXPECT_EQ(count, 3ul);
    EXPECT_TRUE(IsFilled(array[0]) && IsFilled(array[1])) << "a refused call writes nothing";

    count = 3;
    ASSERT_EQ(list.enumerate(array, count), KX_OK);
    EXPECT_EQ(count, 3ul);
    EXPECT_TRUE(IsFilled(array[3])) << "canary entry after the array";
    std::set<std::wstring> seen;
    for (int i = 0; i < 3; ++i) seen.insert(std::wstring(array[i].Number) + L"=" + array[i].Name);
    EXPECT_EQ(seen, (std::set<std::wstring>{L"0912345678=Alice", L"5551234=Bob",
                                            L"+886912000000=Carol"}));

    array[3] = Filled();
    count = 5;
    ASSERT_EQ(list.enumerate(array, count), KX_OK);
    EXPECT_EQ(count, 3ul);
    EXPECT_TRUE(IsFilled(array[3]) && IsFilled(array[4])) << "room beyond the entries is left";
}

TEST_P(CallerListTest, EmptiedListEnumeratesAsEmpty) {
    Add(L"0912345678");
    CallerInfo_tag entry = Entry(L"0912345678");
    ASSERT_EQ(list.del(entry), KX_OK);
    unsigned long count = 7;
    EXPECT_EQ(list.enumerate(nullptr, count), KX_OK) << "no entries, so no array is needed";
    EXPECT_EQ(count, 0ul);
}

TEST_P(CallerListTest, EnumerationRefusesAMissingArrayWithoutTouchingTheCount) {
    Add(L"0912345678");
    unsigned long count = 4;
    EXPECT_EQ(list.enumerate(nullptr, count), KX_E_INVALIDARG);
    EXPECT_EQ(count, 4ul);
}

TEST_P(CallerListTest, LongestNameComesBackWholeAndFieldsAreZeroPadded) {
    const std::wstring name(1023, L'n');
    Add(L"0912345678", name);
    CallerInfo_tag array[2] = {Filled(), Filled()};
    unsigned long count = 1;
    ASSERT_EQ(list.enumerate(array, count), KX_OK);
    ASSERT_EQ(count, 1ul);
    EXPECT_EQ(std::wstring(array[0].Name), name);
    EXPECT_EQ(array[0].Name[1023], L'\0');
    EXPECT_STREQ(array[0].Number, L"0912345678");
    EXPECT_EQ(array[0].Number[11], L'\0') << "the name is followed by two NULs";
    EXPECT_TRUE(IsFilled(array[1]));

    Add(L"0912345678", L"short");
    array[0] = Filled();
    ASSERT_EQ(list.enumerate(array, count), KX_OK);
    EXPECT_TRUE(std::all_of(array[0].Name + 5, array[0].Name + KX_CALLER_NAME_CHARS, [](wchar_t c) {
        return c == L'\0';
    })) << "Name is zero-padded to its full width";
}

INSTANTIATE_TEST_SUITE_P(AllLists, CallerListTest, ::testing::ValuesIn(kLists),
                         [](const testing::TestParamInfo<ListOps>& info) {
                             return std::string(info.param.label);
                         });

// ---- Containment rule -----------------------------------------------------------------------

struct FuzzyOps {
    const char* label;
    KXSTATUS (*add)(CallerInfo_tag&);
    KXSTATUS (*contains)(CallerInfo_tag&, int&);
};

void PrintTo(const FuzzyOps& ops, std::ostream* out) { *out << ops.label; }

const FuzzyOps kFuzzyLists[] = {
    {"Accept", KxConfig::AddAccepter, KxConfig::InAccepterFuzzy},
    {"Reject", KxConfig::AddRejecter, KxConfig::InRejecterFuzzy},
};

class ContainmentTest : public kxtest::DeviceTest, public ::testing::WithParamInterface<FuzzyOps> {
protected:
    const FuzzyOps& list = GetParam();

    void Add(const std::wstring& number, const std::wstring& name = L"") {
        CallerInfo_tag entry = Entry(number, name);
        ASSERT_EQ(list.add(entry), KX_OK);
    }
    // -1 when the call failed.
    int Found(const std::wstring& number) {
        CallerInfo_tag entry = Entry(number);
        int found = 7;
        return list.contains(entry, found) == KX_OK ? found : -1;
    }
};

TEST_P(ContainmentTest, MissingListAnswersRegistryFailureAndNotFound) {
    CallerInfo_tag entry = Entry(L"12345");
    int found = 7;
    EXPECT_EQ(list.contains(entry, found), KX_E_REGISTRY);
    EXPECT_EQ(found, 0);
}

TEST_P(ContainmentTest, EitherNumberMayContainTheOther) {
    Add(L"0012345678", L"+4499999");
    Add(L"12345");
    Add(L"sender-ABC");

    EXPECT_EQ(Found(L"12345"), 1) << "equal";
    EXPECT_EQ(Found(L"2345"), 1) << "caller within a stored number";
    EXPECT_EQ(Found(L"+4412345678"), 1) << "stored 12345 within the caller";
    EXPECT_EQ(Found(L"00123456789"), 1) << "stored 0012345678 within the caller";
    EXPECT_EQ(Found(L"+4499999"), 0) << "the stored name is not looked at";
    EXPECT_EQ(Found(L"1234"), 1) << "within 12345 and 0012345678";
    EXPECT_EQ(Found(L"9876"), 0);
    EXPECT_EQ(Found(L"sender-abc"), 0) << "case-sensitive";
    EXPECT_EQ(Found(L"SENDER-ABC"), 0) << "case-sensitive";
}

TEST_P(ContainmentTest, EmptyNumbersMatchEverything) {
    Add(L"0012345678");
    EXPECT_EQ(Found(L""), 1) << "the empty caller occurs in every stored number";
    EXPECT_EQ(Found(L"777"), 0);
    Add(L"");  // stored under the key's unnamed value
    EXPECT_EQ(Found(L"777"), 1) << "an empty stored number occurs in every caller";
}

TEST_P(ContainmentTest, UnterminatedNumberIsRefused) {
    Add(L"12345");
    CallerInfo_tag entry = Entry(L"");
    std::fill(std::begin(entry.Number), std::end(entry.Number), L'1');
    int found = 7;
    EXPECT_EQ(list.contains(entry, found), KX_E_INVALIDARG);
    EXPECT_EQ(found, 0);
}

INSTANTIATE_TEST_SUITE_P(AcceptAndReject, ContainmentTest, ::testing::ValuesIn(kFuzzyLists),
                         [](const testing::TestParamInfo<FuzzyOps>& info) {
                             return std::string(info.param.label);
                         });

// ---- Record-level edge cases --------------------------------------------------------------

class EnumVauleTest : public kxtest::DeviceTest {
protected:
    static constexpr wchar_t kKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\Test";
    KxRegUtil reg;
};

TEST_F(EnumVauleTest, AnyValueTypeIsTakenAsText) {
    const unsigned char number[] = {0x42, 0x00, 0x41, 0x00};
    RawSetValue(kKey, L"Number", REG_DWORD, number, sizeof number);
    const unsigned char odd[] = {'a', 0, 'b'};
    RawSetValue(kKey, L"Odd", REG_BINARY, odd, sizeof odd);
    CallerInfo_tag array[2] = {Filled(), Filled()};
    unsigned long count = 2;
    ASSERT_EQ(reg.EnumVaule(kKey, array, count), KX_OK);
    ASSERT_EQ(count, 2ul);
    for (const CallerInfo_tag& entry : array) {
        const bool isNumber = std::wstring(entry.Number) == L"Number";
        EXPECT_STREQ(entry.Name, isNumber ? L"BA" : L"a") << "an odd trailing byte is dropped";
    }
}

// Values another writer may leave that do not fit a record: the walk ends before the first of
// them, delivers the entries before it and reports only those.
TEST_F(EnumVauleTest, ValueThatDoesNotFitEndsTheWalkWithoutWritingIt) {
    const std::wstring longName(300, L'5');
    RawSetValue(kKey, L"0912345678", REG_SZ, L"ok", 6);
    RawSetValue(kKey, longName.c_str(), REG_SZ, L"", 2);
    const std::wstring fullData(1024, L'd');  // 2048 bytes and no terminator
    RawSetValue(kKey, L"5551234", REG_SZ, fullData.c_str(), 2048);
    RawSetValue(kKey, L"5550000", REG_SZ, L"ok", 6);
    const std::wstring tooLong(1500, L'd');
    RawSetValue(kKey, L"5559999", REG_SZ, tooLong.c_str(), 3002);

    // Which values come first is the registry's business; read its order independently.
    std::vector<std::wstring> order;
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    for (DWORD i = 0;; ++i) {
        wchar_t name[1024];
        DWORD chars = 1024;
        if (::RegEnumValueW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        order.push_back(name);
    }
    ::RegCloseKey(key);
    ASSERT_EQ(order.size(), 5u);
    size_t fitting = 0;
    while (fitting < order.size() &&
           (order[fitting] == L"0912345678" || order[fitting] == L"5550000"))
        ++fitting;

    CallerInfo_tag array[6] = {Filled(), Filled(), Filled(), Filled(), Filled(), Filled()};
    unsigned long count = 5;
    ASSERT_EQ(reg.EnumVaule(kKey, array, count), KX_OK);
    EXPECT_EQ(count, fitting);
    for (size_t i = 0; i < fitting; ++i) {
        EXPECT_EQ(std::wstring(array[i].Number), order[i]);
        EXPECT_STREQ(array[i].Name, L"ok");
    }
    for (size_t i = fitting; i < 6; ++i) EXPECT_TRUE(IsFilled(array[i])) << i;
}

TEST(WapPushLookUp, NullNumberIsRefused) {
    EXPECT_EQ(KxConfig::GetWapPushAcceptr(nullptr), KX_E_INVALIDARG);
    EXPECT_EQ(KxConfig::GetForceListAcceptr(nullptr), KX_E_INVALIDARG);
}

// ---- Two processes ------------------------------------------------------------------------

class ConcurrentWritersTest : public kxtest::DeviceTest {};

TEST_F(ConcurrentWritersTest, TwoProcessesAddingAtOnceLoseNoEntry) {
    const wchar_t kEvent[] = L"kxtest-listwriters-start";
    HANDLE start = ::CreateEventW(nullptr, TRUE, FALSE, kEvent);
    ASSERT_NE(start, nullptr);

    const std::wstring writer = kxtest::SiblingPath(L"kxtest_listwriter.exe");
    const unsigned long firsts[] = {910000000, 920000000};
    std::vector<PROCESS_INFORMATION> writers;
    for (unsigned long first : firsts) {
        std::wstring commandLine =
            L"\"" + writer + L"\" " + std::to_wstring(first) + L" 500 " + kEvent;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process)) {
            ::CloseHandle(process.hThread);
            writers.push_back(process);
        }
    }
    ::SetEvent(start);
    std::vector<DWORD> exitCodes;
    for (const PROCESS_INFORMATION& process : writers) {
        DWORD exitCode = 0xFFFFFFFF;
        if (::WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
            ::GetExitCodeProcess(process.hProcess, &exitCode);
        else
            ::TerminateProcess(process.hProcess, 0xFFFFFFFF);
        ::CloseHandle(process.hProcess);
        exitCodes.push_back(exitCode);
    }
    ::CloseHandle(start);
    ASSERT_EQ(writers.size(), 2u) << "cannot start " << testing::PrintToString(writer);
    EXPECT_EQ(exitCodes, (std::vector<DWORD>{0, 0})) << "refused additions per writer";

    unsigned long count = 0;
    ASSERT_EQ(KxConfig::GetAcceptList(nullptr, count), KX_E_ARRAY_TOO_SMALL);
    ASSERT_EQ(count, 1000ul);
    std::vector<CallerInfo_tag> entries(count + 1, Filled());
    ASSERT_EQ(KxConfig::GetAcceptList(entries.data(), count), KX_OK);
    ASSERT_EQ(count, 1000ul);
    EXPECT_TRUE(IsFilled(entries[1000]));

    std::set<std::wstring> expected;
    for (unsigned long first : firsts)
        for (unsigned long i = 0; i < 500; ++i) {
            wchar_t number[16];
            std::swprintf(number, 16, L"%010lu", first + i);
            expected.insert(number);
        }
    std::set<std::wstring> numbers;
    for (unsigned long i = 0; i < count; ++i) numbers.insert(entries[i].Number);
    EXPECT_TRUE(numbers == expected) << numbers.size() << " distinct numbers listed";
}

}  // namespace
