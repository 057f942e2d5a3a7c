// Caller lists: storage under each list's own key, the look-up and containment rules, and
// enumeration with its capacity protocol.
#include "DeviceFixture.h"

#include <kxcommon/CallerInfo.h>

#include <set>
#include <utility>

namespace {

constexpr KXSTATUS kOk = KX_OK, kNo = KX_E_NO_MATCH, kReg = KX_E_REGISTRY, kArg = KX_E_INVALIDARG;
using Info = CallerInfo_tag;

// A record; a null number fills its field unterminated, as does a name of "(full)".
Info Entry(const wchar_t* number, const wchar_t* name = L"") {
    Info e = {};
    if (number == nullptr) std::wmemset(e.Number, L'7', KX_CALLER_NUMBER_CHARS);
    if (number != nullptr) std::wcscpy(e.Number, number);
    if (std::wcscmp(name, L"(full)") == 0) std::wmemset(e.Name, L'n', KX_CALLER_NAME_CHARS);
    if (std::wcscmp(name, L"(full)") != 0) std::wcscpy(e.Name, name);
    return e;
}
const Info kFilled = [] {
    Info e;
    std::memset(&e, 0xBD, sizeof e);
    return e;
}();
bool IsFilled(const Info& e) { return std::memcmp(&e, &kFilled, sizeof e) == 0; }

struct List {
    const char* label;
    const wchar_t* key;
    KXSTATUS (*add)(Info&);
    KXSTATUS (*del)(Info&);
    KXSTATUS (*lookup)(const wchar_t*);
    KXSTATUS (*enumerate)(Info*, unsigned long&);
};
// The accept and reject look-ups take a record; the WAP-push ones take the number alone.
template <KXSTATUS (*LookUp)(Info&)>
KXSTATUS ByNumber(const wchar_t* number) {
    Info e = Entry(number);
    return LookUp(e);
}
using K = KxConfig;
const List kLists[] = {
    {"Accept", L"SOFTWARE\\Quorlend\\Scutara\\2.0\\AcceptList", K::AddAccepter, K::DelAccepter,
     ByNumber<K::GetAcceptr>, K::GetAcceptList},
    {"Reject", L"SOFTWARE\\Quorlend\\Scutara\\2.0\\RejectList", K::AddRejecter, K::DelRejecter,
     ByNumber<K::GetRejecter>, K::GetRejectList},
    {"WapPushAccept", L"SOFTWARE\\Quorlend\\Scutara\\2.0\\WapPush\\AcceptList",
     K::AddWapPushAccepter, K::DelWapPushAccepter, K::GetWapPushAcceptr, K::GetWapPushAcceptList},
    {"WapPushForce", L"SOFTWARE\\Quorlend\\Scutara\\2.0\\WapPush\\ForceList",
     K::AddForceListAccepter, K::DelForceListAccepter, K::GetForceListAcceptr,
     K::GetForceAcceptList},
};

// The key's values as "number=name;" in order; "!" marks a value that is no terminated REG_SZ.
std::wstring Dump(const wchar_t* path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != 0) return L"(no key)";
    std::set<std::wstring> values;
    wchar_t name[512], text[2048];
    for (DWORD i = 0, n = 512, bytes = sizeof text, type = 0;
         ::RegEnumValueW(key, i, name, &n, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes) ==
         0;
         ++i, n = 512, bytes = sizeof text) {
        const bool ok = type == REG_SZ && bytes >= 2 && std::wcslen(text) == bytes / 2 - 1;
        values.insert(std::wstring(name) + L"=" + std::wstring(text, bytes / 2).c_str() +
                      (ok ? L";" : L"!;"));
    }
    ::RegCloseKey(key);
    std::wstring all;
    for (const std::wstring& v : values) all += v;
    return all;
}

class CallerListsTest : public kxtest::DeviceTest {};

TEST_F(CallerListsTest, EachListStoresEntriesUnderItsOwnKey) {
    const wchar_t *kNoKey = L"(no key)", *kTwo = L"+44 20-7946=;0912345678=Bob;";
    const struct Row {
        const char* name;
        bool add;
        Info entry;
        KXSTATUS expected;
        const wchar_t* dump;  // the list's key afterwards
    } rows[] = {
        {"delete, never written", false, Entry(L"0912345678"), kReg, kNoKey},
        {"unterminated number", true, Entry(nullptr), kArg, kNoKey},
        {"unterminated name", true, Entry(L"5551234", L"(full)"), kArg, kNoKey},
        {"add", true, Entry(L"0912345678", L"Alice"), kOk, L"0912345678=Alice;"},
        {"as given", true, Entry(L"+44 20-7946"), kOk, L"+44 20-7946=;0912345678=Alice;"},
        {"again replaces the name", true, Entry(L"0912345678", L"Bob"), kOk, kTwo},
        {"deletes the exact number only", false, Entry(L"+886912345678"), kReg, kTwo},
        {"delete", false, Entry(L"0912345678"), kOk, L"+44 20-7946=;"},
    };
    for (const List& list : kLists) {
        kxtest::ResetDevice();
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(list.label) + ": " + row.name);
            Info e = row.entry;
            EXPECT_EQ(row.add ? list.add(e) : list.del(e), row.expected);
            EXPECT_EQ(Dump(list.key), row.dump);
        }
        for (const List& other : kLists)
            if (other.key != list.key) EXPECT_EQ(Dump(other.key), kNoKey) << other.label;
    }
}

// Look-up: the exact number, else the last seven characters of a caller longer than seven
// against a stored number of at least seven. Containment (accept and reject lists): either
// number within the other, case-sensitively; the stored name is not looked at.
TEST_F(CallerListsTest, LookUpAndContainment) {
    const int kNone = -1;  // the look-up's found flag
    const struct Row {
        const wchar_t* stored;  // null: the list was never written; "": emptied
        const wchar_t* caller;  // null: a number that fills its field unterminated
        KXSTATUS lookup;
        std::pair<KXSTATUS, int> contains;
    } rows[] = {
        {nullptr, L"0912345678", kReg, {kReg, 0}},
        {L"-", L"0912345678", kNo, {kOk, 0}},
        {L"0912345678", L"0912345678", kOk, {kOk, 1}},
        {L"0912345678", L"+886912345678", kOk, {kOk, 0}},  // the last seven
        {L"0912345678", L"0912345679", kNo, {kOk, 0}},
        {L"0912345678", L"2345678", kNo, {kOk, 1}},  // caller within stored; seven: no tail rule
        {L"0912345678", L"00912345678", kOk, {kOk, 1}},        // stored within caller
        {L"1234567", L"991234567", kOk, {kOk, 1}},             // stored of seven, the bound
        {L"555123", L"99555123", kNo, {kOk, 1}},               // stored shorter than seven
        {L"sender-ABCDEFG", L"other-abcdefg", kNo, {kOk, 0}},  // case counts
        {L"12345", L"4499999", kNo, {kOk, 0}},                 // the stored name
        {L"12345", nullptr, kArg, {kArg, 0}},
    };
    using Contains = KXSTATUS (*)(Info&, int&);
    const Contains contains[] = {K::InAccepterFuzzy, K::InRejecterFuzzy, nullptr, nullptr};
    for (int l = 0; l < 4; ++l) {
        const List& list = kLists[l];
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(list.label) + " " + testing::PrintToString(row.caller));
            kxtest::ResetDevice();
            Info stored = Entry(row.stored ? row.stored : L"", L"4499999");
            if (row.stored != nullptr) list.add(stored);
            if (row.stored != nullptr && *row.stored == L'-') list.del(stored);
            Info caller = Entry(row.caller);
            int found = kNone;
            const KXSTATUS status = contains[l] ? contains[l](caller, found) : kNo;
            if (contains[l]) EXPECT_EQ(std::make_pair(status, found), row.contains);
            // null: an unterminated record for containment, a null number for the WAP look-ups.
            if (row.caller == nullptr && l < 2) continue;
            EXPECT_EQ(list.lookup(row.caller), row.lookup);
        }
    }
}

// The status and count of each call, with rooms of 0 to 5 for three entries whose first fills
// both fields; a refused call writes nothing, nor does any call past the entries.
TEST_F(CallerListsTest, EnumerationAnswersTheCountNeededAndNeverWritesPastTheArray) {
    const std::wstring number(259, L'9'), name(1023, L'n');
    const std::wstring small = std::to_wstring(KX_E_ARRAY_TOO_SMALL) + L"/3 ";
    for (const List& list : kLists) {
        SCOPED_TRACE(list.label);
        kxtest::ResetDevice();
        Info a[5] = {kFilled, kFilled, kFilled, kFilled, kFilled};
        unsigned long count = 5;
        std::wstring answers = std::to_wstring(list.enumerate(a, count)) + L" ";  // never written
        for (Info e : {Entry(number.c_str(), name.c_str()), Entry(L"555", L"Bob"), Entry(L"+8")})
            ASSERT_EQ(list.add(e), kOk);
        for (unsigned long room : {0ul, 2ul, 3ul, 5ul}) {
            count = room;
            const KXSTATUS status = list.enumerate(a, count);
            answers += std::to_wstring(status) + L"/" + std::to_wstring(count) + L" ";
            if (room == 2) EXPECT_TRUE(IsFilled(a[0])) << "a refused call writes nothing";
        }
        count = 4;
        answers += std::to_wstring(list.enumerate(nullptr, count));
        answers += L"/" + std::to_wstring(count);
        EXPECT_EQ(answers, std::to_wstring(kReg) + L" " + small + small + L"0/3 0/3 " +
                               std::to_wstring(kArg) + L"/4");
        EXPECT_TRUE(IsFilled(a[3]) && IsFilled(a[4])) << "room beyond the entries is left";
        std::set<std::wstring> seen;
        for (int i = 0; i < 3; ++i) seen.insert(std::wstring(a[i].Number) + L"=" + a[i].Name);
        EXPECT_EQ(seen, (std::set<std::wstring>{number + L"=" + name, L"555=Bob", L"+8="}));
        for (Info e : {Entry(number.c_str()), Entry(L"555"), Entry(L"+8")}) list.del(e);
        EXPECT_EQ(list.enumerate(nullptr, count), kOk) << "emptied: no array needed";
        EXPECT_EQ(count, 0u);
    }
}

// Two processes adding 100 numbers each at once: none is lost.
TEST_F(CallerListsTest, TwoWritersAtOnceLoseNoEntry) {
    const wchar_t kEvent[] = L"kxtest-listwriters-start";
    HANDLE start = ::CreateEventW(nullptr, TRUE, FALSE, kEvent);
    std::vector<HANDLE> writers;
    for (const wchar_t* first : {L"910000000", L"920000000"}) {
        std::wstring command = L"\"" + kxtest::SiblingPath(L"kxtest_listwriter.exe") + L"\" " +
                               first + L" 100 " + kEvent;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                     nullptr, &startup, &process));
        ::CloseHandle(process.hThread);
        writers.push_back(process.hProcess);
    }
    ::SetEvent(start);
    std::vector<DWORD> refused;
    for (HANDLE process : writers) {
        DWORD code = 0xFFFFFFFF;
        if (::WaitForSingleObject(process, 120000) == 0) ::GetExitCodeProcess(process, &code);
        refused.push_back(code);
        ::CloseHandle(process);
    }
    ::CloseHandle(start);
    EXPECT_EQ(refused, (std::vector<DWORD>{0, 0}));
    std::vector<Info> entries(201);
    unsigned long count = 201;
    ASSERT_EQ(K::GetAcceptList(entries.data(), count), kOk);
    std::set<std::wstring> numbers;
    for (unsigned long i = 0; i < count; ++i) numbers.insert(entries[i].Number);
    EXPECT_EQ(numbers.size(), 200u);
}

}  // namespace
