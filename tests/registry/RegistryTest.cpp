// KxRegUtil, RegKey, RegQV and the time records: what is stored, what reads hand back, and that
// a refused call leaves the caller's buffer and the registry as they were.
#include "RegistryRows.h"

#include <kxcommon/KxRegUtil.h>

namespace kxtest {
namespace {

using R = KxRegUtil&;
constexpr wchar_t K[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\Test";
constexpr wchar_t V[] = L"V";
constexpr wchar_t kSub[] = L"SOFTWARE\\Quorlend\\Sub";
constexpr KXSTATUS E = KX_E_REGISTRY;
const unsigned char kRaw[] = {'a', 'b', 0, 'c'};
const std::string kTimeText = "2026-12-05 14:30";  // any 16 bytes are a time record
SYSTEMTIME g_time;

class RegistryTest : public DeviceTest {};

KXSTATUS St(bool ok) { return ok ? KX_OK : E; }
// A status as a row writes it before the result: nothing for success, "E:" for the registry's.
std::string Said(KXSTATUS s) { return s == KX_OK ? "" : s == E ? "E:" : std::to_string(s) + ":"; }
std::string Fill(size_t units) { return std::string(units, '~'); }

// A page filled with 'a' that the process may read but not write.
struct ReadOnlyPage {
    unsigned char* p =
        static_cast<unsigned char*>(::VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
    ReadOnlyPage() {
        std::memset(p, 'a', 4096);
        DWORD old = 0;
        ::VirtualProtect(p, 4096, PAGE_READONLY, &old);
        std::memcpy(&g_time, kTimeText.data(), 16);
    }
} const g_readOnly;

// Each kind is stored with its type and exact size, texts with their terminator; a refused write
// stores nothing and creates no key; deletion takes one value.
TEST_F(RegistryTest, WritesStoreTheirTypeAndExactBytes) {
    const struct Row {
        const char* name;
        KXSTATUS (*write)(R);
        const char* dump;
    } rows[] = {
        {"text and terminator", [](R r) { return r.SetValue(K, V, L"abc"); }, "V=sz:abc|;"},
        {"number", [](R r) { return r.SetValue(K, V, 0x8000000Bul); }, "V=dw:8000000b;"},
        {"bytes", [](R r) { return r.SetValue(K, V, kRaw, 4); }, "V=bin:ab|c;"},
        // Readable memory is enough for a write.
        {"bytes from a read-only page", [](R r) { return r.SetValue(K, V, g_readOnly.p, 3); },
         "V=bin:aaa;"},
        {"null text", [](R r) { return r.SetValue(K, V, (const wchar_t*)nullptr); }, "E:no key"},
        {"null bytes", [](R r) { return r.SetValue(K, V, (const unsigned char*)nullptr, 4); },
         "E:no key"},
        {"time record", [](R) { return St(RegSetSystemTime(K, V, &g_time)); },
         "V=bin:2026-12-05 14:30;"},
        {"null time", [](R) { return St(RegSetSystemTime(K, V, nullptr)); }, "E:no key"},
        {"one value deleted",
         [](R r) { return r.SetValue(K, V, 1ul), r.SetValue(K, L"W", 2ul), r.DelValue(K, V); },
         "W=dw:2;"},
        {"deleting a missing value", [](R r) { return r.SetValue(K, L"W", 2ul), r.DelValue(K, V); },
         "E:W=dw:2;"},
        {"deletion in a missing key", [](R r) { return r.DelValue(K, V); }, "E:no key"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ResetDevice();
        KxRegUtil reg;
        const std::string said = Said(row.write(reg));
        EXPECT_EQ(said + Dump(K), row.dump);
    }
}

enum Kind { kText = 1, kBytes = 2, kNumber = 3, kTime = 4, kNull = 8, kReadOnly = 16 };
constexpr DWORD kNoKey = 0x100, kOther = 0x101;  // stored: nothing, or under another name

// A read hands back the whole value or fails with the output untouched: the image shows the
// buffer one unit past the size given ('~': untouched), "/no key" when no key is left.
TEST_F(RegistryTest, ReadsGiveTheWholeValueOrLeaveTheOutput) {
    const std::wstring n1023(1023, L'n');
    const struct Row {
        const char* name;
        int kind;
        DWORD type;
        std::string stored;
        unsigned long size;
        std::string image;  // "E:" first when refused
    } rows[] = {
        {"text and terminator fit", kText, REG_SZ, Wz(L"abcd"), 5, "abcd|~"},
        {"no room for the terminator", kText, REG_SZ, Wz(L"abcd"), 4, "E:" + Fill(5)},
        {"longest text of 1024", kText, REG_SZ, Wz(n1023), 1024, std::string(1023, 'n') + "|~"},
        {"one character more", kText, REG_SZ, Wz(n1023 + L"n"), 1024, "E:" + Fill(1025)},
        // Texts written by other tools may lack the terminator: it is added where it fits,
        // and three stored characters cannot be terminated within three.
        {"unterminated text", kText, REG_SZ, Wn(L"abc"), 4, "abc|~"},
        {"unterminated text filling the buffer", kText, REG_SZ, Wn(L"abc"), 3, "E:" + Fill(4)},
        {"stored type not checked", kText, REG_DWORD, Wn(L"BA"), 4, "BA|~~"},
        {"missing key, none created", kText, kNoKey, "", 4, "E:" + Fill(5) + "/no key"},
        {"null text buffer", kText | kNull, REG_SZ, Wz(L"a"), 32, "E:"},
        {"bytes as stored, no more", kBytes, REG_BINARY, "abc", 8, "abc~~~~~~"},
        {"value larger than the buffer", kBytes, REG_SZ, Wz(L"0123456789"), 21, "E:" + Fill(22)},
        {"missing value", kBytes, kOther, "abc", 8, "E:" + Fill(9)},
        {"read-only byte buffer", kBytes | kReadOnly, REG_BINARY, "abc", 8, "E:"},
        {"number", kNumber, REG_DWORD, "wxyz", 4, "wxyz"},
        {"two stored bytes fill the low bytes", kNumber, REG_BINARY, "42", 4, "42~~"},
        {"missing number", kNumber, kOther, "42", 4, "E:" + Fill(4)},
        {"time record", kTime, REG_BINARY, kTimeText, 16, kTimeText},
        // A short record fails after filling its bytes.
        {"short time record", kTime, REG_BINARY, "12345678", 16, "E:12345678" + Fill(8)},
        {"missing time creates its key", kTime, kNoKey, "", 16, "E:" + Fill(16)},
        {"null time", kTime | kNull, REG_BINARY, kTimeText, 16, "E:"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ResetDevice();
        const std::string data = row.stored + "XX";  // no NUL after the value: stored as given
        if (row.type != kNoKey)
            RawSetValue(K, row.type == kOther ? L"W" : V,
                        row.type == kOther ? REG_BINARY : row.type, data.data(),
                        DWORD(row.stored.size()));
        std::vector<unsigned char> out(2100, 0xBD);
        unsigned char* p = row.kind & kNull       ? nullptr
                           : row.kind & kReadOnly ? g_readOnly.p
                                                  : out.data();
        const int kind = row.kind & 7;
        KxRegUtil reg;
        KXSTATUS status = KX_E_INVALIDARG;
        if (kind == kText) status = reg.GetValue(K, V, reinterpret_cast<wchar_t*>(p), row.size);
        if (kind == kBytes) status = reg.GetValue(K, V, p, row.size);
        if (kind == kNumber) status = reg.GetValue(K, V, *reinterpret_cast<unsigned long*>(p));
        if (kind == kTime) status = St(RegGetSystemTime(K, V, reinterpret_cast<SYSTEMTIME*>(p)));
        std::string image = p != out.data() ? ""
                            : kind == kText ? Image(reinterpret_cast<wchar_t*>(p), row.size + 1)
                                            : Image(p, kind == kBytes ? row.size + 1 : row.size);
        EXPECT_EQ(Said(status) + image + (RawKeyExists(K) ? "" : "/no key"), row.image);
    }
}

// A number is found by its exact name or by the last seven characters of a longer one.
TEST_F(RegistryTest, QueryKeyExistMatchesTheExactNameOrASevenCharacterTail) {
    KxRegUtil reg;
    EXPECT_EQ(Said(reg.QueryKeyExist(K, L"0912345678")) + Dump(K), "E:no key");
    const std::wstring longest = std::wstring(1016, L'9') + L"1234567";  // the longest name read
    for (const wchar_t* name : {L"+886912345678", L"12345", L"abcDEFG", longest.c_str()})
        reg.SetValue(K, name, L"x");
    const struct {
        const wchar_t* query;
        KXSTATUS status;
    } rows[] = {
        {L"+886912345678", KX_OK},       // exact
        {L"0912345678", KX_OK},          // ten digits, same tail as the stored name
        {L"2345678", KX_E_NO_MATCH},     // seven characters are matched exactly only
        {L"12345", KX_OK},               // a short stored name, exact
        {L"0000012345", KX_E_NO_MATCH},  // a stored name shorter than seven never tail-matches
        {L"xxxabcdefg", KX_E_NO_MATCH},  // tail matching compares code units
        {L"xxxabcDEFG", KX_OK},
        {L"0912345670", KX_E_NO_MATCH},
        {L"", KX_E_NO_MATCH},
        {L"009991234567", KX_OK},  // the tail of the longest readable name
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.query)));
        EXPECT_EQ(reg.QueryKeyExist(K, row.query), row.status);
    }
}

int Collect(const wchar_t* name, const wchar_t* data, void* seen) {
    *static_cast<std::wstring*>(seen) += std::wstring(name) + L"=" + data + L";";
    return 1;
}
int First(const wchar_t* name, const wchar_t* data, void* seen) {
    return Collect(name, data, seen) - 1;
}

// EnumKeys visits each text value that fits its 1024 characters, until the callback says stop;
// EnumSubKey appends full paths after the caller's own entries, or nothing; a caller-list array
// of exactly the entry count is enough, and a smaller one learns the count.
TEST_F(RegistryTest, WalksVisitValuesAndListSubkeys) {
    KxRegUtil reg;
    const std::wstring d1023(1023, L'd');
    for (const auto& [name, text] : {std::pair<const wchar_t*, std::wstring>{L"A", L"alpha"},
                                     {L"Longest", d1023},
                                     {L"Overlong", d1023 + L"o"},
                                     {L"Z", L"zulu"}})
        reg.SetValue(K, name, text.c_str());
    const struct {
        const char* name;
        const wchar_t* key;
        KxRegUtil::EnumKeysCallback callback;
        KXSTATUS status;
        std::wstring seen;
    } rows[] = {
        {"every text that fits", K, Collect, KX_OK, L"A=alpha;Longest=" + d1023 + L";Z=zulu;"},
        {"stopped by the callback", K, First, KX_OK, L"A=alpha;"},
        {"no callback", K, nullptr, KX_E_INVALIDARG, L""},
        {"missing key", L"SOFTWARE\\Quorlend\\Nowhere", Collect, E, L""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::wstring seen;
        EXPECT_EQ(reg.EnumKeys(row.key, row.callback, &seen), row.status);
        EXPECT_EQ(seen, row.seen);
    }

    reg.SetValue(kSub, V, 1ul);
    const struct {
        const wchar_t* key;
        KXSTATUS status;
        std::wstring listed;
    } lists[] = {
        {kProductKey, KX_OK, L"own;SOFTWARE\\Quorlend\\Scutara\\2.0\\Test;"},
        {L"SOFTWARE\\Quorlend\\", KX_OK,
         L"own;SOFTWARE\\Quorlend\\Scutara;SOFTWARE\\Quorlend\\Sub;"},
        {L"SOFTWARE\\Quorlend\\Nowhere", E, L"own;"},
    };
    for (const auto& row : lists) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.key)));
        std::vector<wchar_t*> keys{new wchar_t[4]{L'o', L'w', L'n', 0}};
        EXPECT_EQ(reg.EnumSubKey(row.key, keys), row.status);
        std::wstring listed;
        for (wchar_t* key : keys) listed += std::wstring(key) + L";";
        EXPECT_EQ(listed, row.listed);
        EXPECT_TRUE(reg.ReleaseKeyList(keys) == KX_OK && keys.empty());
    }
    CallerInfo_tag entry;
    unsigned long exact = 1, none = 0;
    const KXSTATUS fits = reg.EnumVaule(kSub, &entry, exact),
                   small = reg.EnumVaule(kSub, &entry, none);
    EXPECT_EQ(Said(fits) + Said(small) + std::to_string(exact) + std::to_string(none),
              std::to_string(KX_E_ARRAY_TOO_SMALL) + ":11");
}

// A RegKey owns one handle of its own: it opens without creating, tells whether it created, its
// copies hold other handles, a move hands the handle over, and the handle is closed at the end.
TEST_F(RegistryTest, RegKeyOwnsOneHandleOfItsOwn) {
    DWORD flags = 0;
    EXPECT_TRUE(!RegKey(K) && !RawKeyExists(K)) << "opening never creates";
    HKEY closed = nullptr;
    {
        RegKey created(K, true), again(K, true), opened(K), empty(L"SOFTWARE\\Quorlend\\None");
        closed = created;
        // Whether each existed before, and whether a copy of the empty one holds a handle.
        EXPECT_EQ(std::string() + "ny"[created.AlreadyExists()] + "ny"[again.AlreadyExists()] +
                      "ny"[opened.AlreadyExists()] + "ny"[RegKey(empty).AlreadyExists()] +
                      "ny"[RegKey(empty) != nullptr],
                  "nyynn");
        {
            RegKey copy(opened), assigned(L"SOFTWARE\\Quorlend\\Other", true);
            assigned = copy;
        }
        EXPECT_EQ(::RegSetValueExW(opened, L"O", 0, REG_DWORD, kRaw, 4), ERROR_SUCCESS)
            << "closing a copy must not close the original";
        const HKEY handle = again;
        RegKey moved(std::move(again));
        EXPECT_TRUE(HKEY(moved) == handle && HKEY(again) == nullptr);
        EXPECT_TRUE(::GetHandleInformation(closed, &flags));
    }
    EXPECT_FALSE(::GetHandleInformation(closed, &flags)) << "the key was left open";
}

// A record as "name:type:bytes".
std::string Record(const RegValueData& r) {
    return Image(r.name, std::wcslen(r.name)) + ":" + std::to_string(r.type) + ":" +
           Image(r.data, r.size);
}

// RegQV fills the record from one buffer of its own, grown when needed; a missing value leaves
// the record as it was, and a copy reads into a buffer of its own.
TEST_F(RegistryTest, RegQVReadsIntoItsOwnBuffer) {
    RawSetValue(K, L"Long", REG_SZ, L"a longer text", 28);
    RawSetValue(K, L"Num", REG_DWORD, "\x05\0\0\0", 4);
    RegKey key(K);
    RegQV query(key);
    RegValueData record, kept(L"Before", 77, kRaw, 1);
    ASSERT_TRUE(query(L"Long", record));
    const unsigned char* buffer = record.data;
    const std::string first = Record(record);
    ASSERT_TRUE(query(L"Num", record));
    EXPECT_EQ(first + " " + Record(record), "Long:1:a| |l|o|n|g|e|r| |t|e|x|t||| Num:4:{5}|||");
    EXPECT_EQ(record.data, buffer) << "a smaller value reuses the buffer";
    EXPECT_FALSE(query(L"Absent", kept));
    EXPECT_TRUE(Record(kept) == "Before:77:a" && kept.data == kRaw);
    {
        RegQV copy(query);
        ASSERT_TRUE(copy(L"Long", kept));
        EXPECT_NE(kept.data, record.data);
    }
    EXPECT_EQ(record.data[0], 5) << "the copy's buffer went, not the original's";
}

}  // namespace
}  // namespace kxtest
