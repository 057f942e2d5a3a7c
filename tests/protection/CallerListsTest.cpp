// Caller lists: storage under each list's own key, the look-up and containment rules, and
// enumeration with its capacity protocol.
#include "RegistryRows.h"

#include <kxcommon/CallerInfo.h>

#include <process.h>

#include <algorithm>
#include <set>

namespace {

constexpr KXSTATUS kOk = KX_OK, kNo = KX_E_NO_MATCH, kReg = KX_E_REGISTRY, kArg = KX_E_INVALIDARG;
using Info = CallerInfo_tag;
using K = KxConfig;

// A record; a null number fills its field unterminated, as does a name of "(full)".
Info Entry(const wchar_t* number, const wchar_t* name = L"") {
    Info e;
    std::wmemset(e.Number, L'7', KX_CALLER_NUMBER_CHARS);
    std::wmemset(e.Name, L'n', KX_CALLER_NAME_CHARS);
    if (number != nullptr) std::wcscpy(e.Number, number);
    if (std::wcscmp(name, L"(full)") != 0) std::wcscpy(e.Name, name);
    return e;
}
// Whether a record still holds nothing but the 0xBD fill.
bool IsFilled(const Info& e) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&e);
    return std::count(bytes, bytes + sizeof e, 0xBD) == sizeof e;
}

struct List {
    const char* key;  // below the product's key
    // The accept and reject lists look up a record, and they alone test containment (fuzzy);
    // the WAP-push ones look up the number alone.
    KXSTATUS (*add)(Info&), (*del)(Info&), (*lookUp)(Info&), (*byNumber)(const wchar_t*);
    KXSTATUS (*enumerate)(Info*, unsigned long&), (*fuzzy)(Info&, int&);
};
const List kLists[] = {
    {"AcceptList\\", K::AddAccepter, K::DelAccepter, K::GetAcceptr, nullptr, K::GetAcceptList,
     K::InAccepterFuzzy},
    {"RejectList\\", K::AddRejecter, K::DelRejecter, K::GetRejecter, nullptr, K::GetRejectList,
     K::InRejecterFuzzy},
    {"WapPush\\AcceptList\\", K::AddWapPushAccepter, K::DelWapPushAccepter, nullptr,
     K::GetWapPushAcceptr, K::GetWapPushAcceptList},
    {"WapPush\\ForceList\\", K::AddForceListAccepter, K::DelForceListAccepter, nullptr,
     K::GetForceListAcceptr, K::GetForceAcceptList},
};

class CallerListsTest : public kxtest::DeviceTest {};

// One terminated REG_SZ per entry, named by its number, under the list's key and nowhere else in
// the product's tree. The rows run in order on one list, each after the one above.
struct ListStep {
    const char* name;
    bool add;  // else delete
    Info entry;
    KXSTATUS status;
    std::vector<std::string> entries;  // the list afterwards, "number = stored name" each
};
TEST_F(CallerListsTest, EachListStoresEntriesUnderItsOwnKey) {
    const std::vector<std::string> two = {"+44 20-7946 = text \"\"", "0912345678 = text \"Bob\""};
    const ListStep steps[] = {
        {.name = "delete, never written",
         .add = false,
         .entry = Entry(L"0912345678"),
         .status = kReg,
         .entries = {}},
        {.name = "unterminated number",
         .add = true,
         .entry = Entry(nullptr),
         .status = kArg,
         .entries = {}},
        {.name = "unterminated name",
         .add = true,
         .entry = Entry(L"5551234", L"(full)"),
         .status = kArg,
         .entries = {}},
        {.name = "add",
         .add = true,
         .entry = Entry(L"0912345678", L"Alice"),
         .status = kOk,
         .entries = {"0912345678 = text \"Alice\""}},
        {.name = "as given",
         .add = true,
         .entry = Entry(L"+44 20-7946"),
         .status = kOk,
         .entries = {"+44 20-7946 = text \"\"", "0912345678 = text \"Alice\""}},
        {.name = "again replaces the name",
         .add = true,
         .entry = Entry(L"0912345678", L"Bob"),
         .status = kOk,
         .entries = two},
        {.name = "deletes the exact number only",
         .add = false,
         .entry = Entry(L"+886912345678"),
         .status = kReg,
         .entries = two},
        {.name = "delete",
         .add = false,
         .entry = Entry(L"0912345678"),
         .status = kOk,
         .entries = {"+44 20-7946 = text \"\""}},
    };
    for (const List& list : kLists) {
        kxtest::ResetDevice();
        for (const ListStep& step : steps) {
            Info entry = step.entry;
            const KXSTATUS status = step.add ? list.add(entry) : list.del(entry);
            std::string expected = step.entries.empty() ? "(no key)\n" : "";
            for (const std::string& line : step.entries) expected += list.key + line + "\n";
            const std::string tree = kxtest::Dump(kxtest::kProductKey, true);
            EXPECT_TRUE(status == step.status && tree == expected)
                << list.key << ", " << step.name << ": answered " << status
                << " leaving the product's tree as\n"
                << tree << "expected " << step.status << " and\n"
                << expected;
        }
    }
}

// Look-up: the exact number, else the last seven characters of a caller longer than seven
// against a stored number of at least seven. Containment (accept and reject lists): either
// number within the other, case-sensitively; the stored name is not looked at.
TEST_F(CallerListsTest, LookUpAndContainment) {
    const struct Row {
        // stored null: the list was never written; caller null: a number that fills its field
        // unterminated
        const wchar_t *stored, *caller;
        KXSTATUS lookup;
        std::pair<KXSTATUS, int> fuzzy;  // and the found flag
    } rows[] = {
        {nullptr, L"0912345678", kReg, {kReg, 0}},
        {L"0912345678", L"0912345678", kOk, {kOk, 1}},
        {L"0912345678", L"+886912345678", kOk, {kOk, 0}},  // the last seven
        {L"0912345678", L"2345678", kNo, {kOk, 1}},  // caller within stored; seven: no tail rule
        {L"0912345678", L"00912345678", kOk, {kOk, 1}},  // stored within caller
        {L"sender-ABCDEFG", L"abcdefg", kNo, {kOk, 0}},  // case counts
        {L"12345", L"4499999", kNo, {kOk, 0}},           // the stored name
        {L"12345", nullptr, kArg, {kArg, 0}},
    };
    for (const List& list : kLists)
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(list.key) + " " + testing::PrintToString(row.caller));
            kxtest::ResetDevice();
            Info stored = Entry(row.stored ? row.stored : L"", L"4499999");
            if (row.stored != nullptr) list.add(stored);
            Info caller = Entry(row.caller);
            int found = -1;
            if (list.fuzzy) EXPECT_EQ(std::make_pair(list.fuzzy(caller, found), found), row.fuzzy);
            EXPECT_EQ(list.lookUp ? list.lookUp(caller) : list.byNumber(row.caller), row.lookup);
        }
}

// The status and count of each call ("status/count/entries of the array left untouched"), with
// rooms of 0 to 5 for three entries whose first fills both fields; a refused call writes
// nothing, nor does any call past the entries.
TEST_F(CallerListsTest, EnumerationAnswersTheCountNeededAndNeverWritesPastTheArray) {
    const std::wstring number(259, L'9'), name(1023, L'n');
    const std::string small = std::to_string(KX_E_ARRAY_TOO_SMALL) + "/3/5 ";
    for (const List& list : kLists) {
        SCOPED_TRACE(list.key);
        kxtest::ResetDevice();
        Info a[5];
        std::memset(a, 0xBD, sizeof a);
        std::string answers;
        const auto call = [&](Info* array, unsigned long count) {
            const KXSTATUS status = list.enumerate(array, count);
            answers += std::to_string(status) + "/" + std::to_string(count) + "/" +
                       std::to_string(std::count_if(a, a + 5, IsFilled)) + " ";
        };
        call(a, 5);  // never written
        for (Info e : {Entry(number.c_str(), name.c_str()), Entry(L"555", L"Bob"), Entry(L"+8")})
            ASSERT_EQ(list.add(e), kOk);
        for (unsigned long room : {0ul, 2ul, 3ul, 5ul}) call(a, room);
        call(nullptr, 4);
        std::set<std::wstring> seen;
        for (int i = 0; i < 3; ++i) seen.insert(std::wstring(a[i].Number) + L"=" + a[i].Name);
        EXPECT_EQ(seen, (std::set<std::wstring>{number + L"=" + name, L"555=Bob", L"+8="}));
        for (Info e : {Entry(number.c_str()), Entry(L"555"), Entry(L"+8")}) list.del(e);
        call(nullptr, 4);  // emptied: no array needed
        EXPECT_EQ(answers, std::to_string(kReg) + "/5/5 " + small + small + "0/3/2 0/3/2 " +
                               std::to_string(kArg) + "/4/2 0/0/2 ");
    }
}

// Two processes adding 100 numbers each at once: none is lost.
TEST_F(CallerListsTest, TwoWritersAtOnceLoseNoEntry) {
    const wchar_t kEvent[] = L"kxtest-listwriters-start";
    const std::wstring writer = kxtest::SiblingPath(L"kxtest_listwriter.exe");
    HANDLE start = ::CreateEventW(nullptr, TRUE, FALSE, kEvent);
    std::vector<intptr_t> writers;
    for (const wchar_t* first : {L"910000000", L"920000000"})
        writers.push_back(::_wspawnl(_P_NOWAIT, writer.c_str(), L"writer", first, kEvent, nullptr));
    ::SetEvent(start);
    int lost[2] = {-1, -1};  // the additions refused to each writer
    for (int i : {0, 1}) ::_cwait(&lost[i], writers[i], 0);
    ::CloseHandle(start);
    std::vector<Info> entries(201);
    unsigned long count = 201;
    const KXSTATUS status = K::GetAcceptList(entries.data(), count);
    EXPECT_EQ(std::make_tuple(lost[0], lost[1], status, count), std::make_tuple(0, 0, kOk, 200ul));
}

}  // namespace
