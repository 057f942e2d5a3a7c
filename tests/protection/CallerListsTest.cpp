// Caller lists: storage under each list's own key, the look-up and containment rules, and
// enumeration with its capacity protocol.
#include "RegistryRows.h"

#include <kxcommon/CallerInfo.h>

#include <algorithm>
#include <set>

namespace {

using Info = CallerInfo_tag;

// A record; a null number fills its field unterminated, as does a name of "(full)".
Info Entry(const wchar_t* number, const wchar_t* name = L"") {
    Info entry;
    std::wmemset(entry.Number, L'7', KX_CALLER_NUMBER_CHARS);
    std::wmemset(entry.Name, L'n', KX_CALLER_NAME_CHARS);
    if (number != nullptr) std::wcscpy(entry.Number, number);
    if (std::wcscmp(name, L"(full)") != 0) std::wcscpy(entry.Name, name);
    return entry;
}
// Whether a record still holds nothing but the 0xBD fill.
bool IsFilled(const Info& entry) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&entry);
    return std::count(bytes, bytes + sizeof entry, 0xBD) == sizeof entry;
}

struct List {
    const char* key;  // below the product's key
    // The accept and reject lists look up a record, and they alone test containment (fuzzy);
    // the WAP-push ones look up the number alone.
    KXSTATUS (*add)(Info&);
    KXSTATUS (*del)(Info&);
    KXSTATUS (*lookUp)(Info&) = nullptr;
    KXSTATUS (*byNumber)(const wchar_t*) = nullptr;
    KXSTATUS (*enumerate)(Info*, unsigned long&);
    KXSTATUS (*fuzzy)(Info&, int&) = nullptr;
};
// clang-format off
const List kLists[] = {
    {.key = "AcceptList\\", .add = KxConfig::AddAccepter, .del = KxConfig::DelAccepter,
     .lookUp = KxConfig::GetAcceptr, .enumerate = KxConfig::GetAcceptList, .fuzzy = KxConfig::InAccepterFuzzy},
    {.key = "RejectList\\", .add = KxConfig::AddRejecter, .del = KxConfig::DelRejecter,
     .lookUp = KxConfig::GetRejecter, .enumerate = KxConfig::GetRejectList, .fuzzy = KxConfig::InRejecterFuzzy},
    {.key = "WapPush\\AcceptList\\", .add = KxConfig::AddWapPushAccepter, .del = KxConfig::DelWapPushAccepter,
     .byNumber = KxConfig::GetWapPushAcceptr, .enumerate = KxConfig::GetWapPushAcceptList},
    {.key = "WapPush\\ForceList\\", .add = KxConfig::AddForceListAccepter, .del = KxConfig::DelForceListAccepter,
     .byNumber = KxConfig::GetForceListAcceptr, .enumerate = KxConfig::GetForceAcceptList},
};
// clang-format on

class CallerListsTest : public kxtest::DeviceTest {};

// One terminated REG_SZ per entry, named by its number, under the list's key and nowhere else in
// the product's tree.
struct ListChange {
    const char* name;
    std::vector<Info> before;  // added first
    bool add;                  // else delete
    Info entry;
    KXSTATUS status;
    std::vector<std::string> entries;  // the list afterwards, "number = stored name" each
};
TEST_F(CallerListsTest, EachListStoresEntriesUnderItsOwnKey) {
    const Info alice = Entry(L"0912345678", L"Alice"), bob = Entry(L"0912345678", L"Bob");
    const Info london = Entry(L"+44 20-7946");
    const std::vector<std::string> two = {"+44 20-7946 = text \"\"", "0912345678 = text \"Bob\""};
    // clang-format off
    const ListChange rows[] = {
        {.name = "delete, never written", .add = false, .entry = Entry(L"0912345678"), .status = KX_E_REGISTRY, .entries = {}},
        {.name = "unterminated number", .add = true, .entry = Entry(nullptr), .status = KX_E_INVALIDARG, .entries = {}},
        {.name = "unterminated name", .add = true, .entry = Entry(L"5551234", L"(full)"), .status = KX_E_INVALIDARG, .entries = {}},
        {.name = "as given", .before = {alice}, .add = true, .entry = london, .status = KX_OK,
         .entries = {"+44 20-7946 = text \"\"", "0912345678 = text \"Alice\""}},
        {.name = "again replaces the name", .before = {alice, london}, .add = true, .entry = bob, .status = KX_OK, .entries = two},
        {.name = "deletes the exact number only", .before = {bob, london}, .add = false, .entry = Entry(L"+886912345678"),
         .status = KX_E_REGISTRY, .entries = two},
        {.name = "delete", .before = {bob, london}, .add = false, .entry = Entry(L"0912345678"), .status = KX_OK,
         .entries = {"+44 20-7946 = text \"\""}},
    };
    // clang-format on
    for (const List& list : kLists) {
        for (const ListChange& row : rows) {
            kxtest::ResetDevice();
            for (Info entry : row.before) list.add(entry);
            Info entry = row.entry;
            const KXSTATUS status = row.add ? list.add(entry) : list.del(entry);
            std::string expected = row.entries.empty() ? "(no key)\n" : "";
            for (const std::string& line : row.entries) expected += list.key + line + "\n";
            const std::string tree = kxtest::Dump(kxtest::kProductKey, true);
            EXPECT_TRUE(status == row.status && tree == expected)
                << list.key << ", " << row.name << ": answered " << kxtest::Hex(status)
                << " leaving the product's tree as\n"
                << tree << "expected " << kxtest::Hex(row.status) << " and\n"
                << expected;
        }
    }
}

// Look-up: the exact number, else the last seven characters of a caller longer than seven
// against a stored number of at least seven. Containment (accept and reject lists): either
// number within the other, case-sensitively; the stored name is not looked at.
struct LookUpRow {
    const wchar_t* stored;  // null: the list was never written
    const wchar_t* caller;  // null: a number that fills its field unterminated
    KXSTATUS lookUp;
    KXSTATUS fuzzy;  // the containment test's status
    int found;       // and its found flag
};
TEST_F(CallerListsTest, LookUpAndContainment) {
    // clang-format off
    const LookUpRow rows[] = {
        {.stored = nullptr,           .caller = L"0912345678",    .lookUp = KX_E_REGISTRY, .fuzzy = KX_E_REGISTRY, .found = 0},
        {.stored = L"0912345678",     .caller = L"0912345678",    .lookUp = KX_OK,  .fuzzy = KX_OK,  .found = 1},
        {.stored = L"0912345678",     .caller = L"+886912345678", .lookUp = KX_OK,  .fuzzy = KX_OK,  .found = 0},  // the last seven
        // The caller within the stored number; seven characters have no tail rule.
        {.stored = L"0912345678",     .caller = L"2345678",       .lookUp = KX_E_NO_MATCH,  .fuzzy = KX_OK,  .found = 1},
        {.stored = L"0912345678",     .caller = L"00912345678",   .lookUp = KX_OK,  .fuzzy = KX_OK,  .found = 1},  // stored within
        {.stored = L"sender-ABCDEFG", .caller = L"abcdefg",       .lookUp = KX_E_NO_MATCH,  .fuzzy = KX_OK,  .found = 0},  // case counts
        {.stored = L"12345",          .caller = L"4499999",       .lookUp = KX_E_NO_MATCH,  .fuzzy = KX_OK,  .found = 0},  // the stored name
        {.stored = L"12345",          .caller = nullptr,          .lookUp = KX_E_INVALIDARG, .fuzzy = KX_E_INVALIDARG, .found = 0},
    };
    // clang-format on
    for (const List& list : kLists)
        for (const LookUpRow& row : rows) {
            kxtest::ResetDevice();
            Info stored = Entry(row.stored ? row.stored : L"", L"4499999");
            if (row.stored != nullptr) list.add(stored);
            Info caller = Entry(row.caller);
            int found = -1;  // the containment test sets it in every case
            const KXSTATUS fuzzy = list.fuzzy ? list.fuzzy(caller, found) : row.fuzzy;
            if (!list.fuzzy) found = row.found;
            const KXSTATUS lookUp = list.lookUp ? list.lookUp(caller) : list.byNumber(row.caller);
            EXPECT_TRUE(lookUp == row.lookUp && fuzzy == row.fuzzy && found == row.found)
                << list.key << ", caller "
                << (row.caller ? kxtest::Narrow(row.caller) : "unterminated") << " against "
                << (row.stored ? kxtest::Narrow(row.stored) : "no list") << ": look-up answered "
                << kxtest::Hex(lookUp) << ", containment " << kxtest::Hex(fuzzy) << " with found "
                << found << "; expected " << kxtest::Hex(row.lookUp) << ", "
                << kxtest::Hex(row.fuzzy) << " with " << row.found;
        }
}

// Enumeration into rooms of 0 to 5 for three entries whose first fills both fields: a list of
// more entries than the room answers the count needed; a refused call writes nothing, nor does
// any call past the entries; an emptied list needs no array.
enum class ListState { kNeverWritten, kThreeEntries, kEmptied };
// Unless a row says otherwise, the list holds the three entries and the array is there.
struct EnumerationRow {
    const char* name;
    ListState list = ListState::kThreeEntries;
    bool nullArray = false;
    unsigned long room;
    KXSTATUS status;
    unsigned long count;  // what the call leaves in its count
    int untouched;        // entries of the array of five left as they were
};
TEST_F(CallerListsTest, EnumerationAnswersTheCountNeededAndNeverWritesPastTheArray) {
    const std::wstring number(259, L'9'), name(1023, L'n');
    const Info three[] = {Entry(number.c_str(), name.c_str()), Entry(L"555", L"Bob"), Entry(L"+8")};
    // clang-format off
    const EnumerationRow rows[] = {
        {.name = "never written", .list = ListState::kNeverWritten, .room = 5, .status = KX_E_REGISTRY, .count = 5, .untouched = 5},
        {.name = "room for two",                            .room = 2, .status = KX_E_ARRAY_TOO_SMALL, .count = 3, .untouched = 5},
        {.name = "room for exactly three",                  .room = 3, .status = KX_OK,                  .count = 3, .untouched = 2},
        {.name = "room for five",                           .room = 5, .status = KX_OK,                  .count = 3, .untouched = 2},
        {.name = "null array", .nullArray = true,           .room = 4, .status = KX_E_INVALIDARG,                 .count = 4, .untouched = 5},
        {.name = "emptied, null array", .list = ListState::kEmptied, .nullArray = true, .room = 4, .status = KX_OK, .count = 0,
         .untouched = 5},
    };
    // clang-format on
    for (const List& list : kLists) {
        for (const EnumerationRow& row : rows) {
            kxtest::ResetDevice();
            for (Info entry : three)
                if (row.list != ListState::kNeverWritten) list.add(entry);
            for (Info entry : three)
                if (row.list == ListState::kEmptied) list.del(entry);
            Info array[5];
            std::memset(array, 0xBD, sizeof array);
            unsigned long count = row.room;
            const KXSTATUS status = list.enumerate(row.nullArray ? nullptr : array, count);
            const int untouched = int(std::count_if(array, array + 5, IsFilled));
            EXPECT_TRUE(status == row.status && count == row.count && untouched == row.untouched)
                << list.key << ", " << row.name << ": answered " << kxtest::Hex(status)
                << " with count " << count << ", " << untouched
                << " of 5 entries untouched; expected " << kxtest::Hex(row.status) << " with count "
                << row.count << ", " << row.untouched;
            if (row.status != KX_OK || row.nullArray) continue;  // no entries to look at
            std::set<std::wstring> seen;
            for (int i = 0; i < 3; ++i)
                seen.insert(std::wstring(array[i].Number) + L"=" + array[i].Name);
            EXPECT_EQ(seen, (std::set<std::wstring>{number + L"=" + name, L"555=Bob", L"+8="}))
                << list.key << ", " << row.name << ": the entries written";
        }
    }
}

}  // namespace
