// KxRegUtil, RegKey, RegQV and the time records: what is stored, what reads hand back, and that
// a refused call leaves the caller's buffer and the registry as they were.
#include "RegistryRows.h"

#include <kxcommon/KxRegUtil.h>

#include <algorithm>

namespace kxtest {
namespace {

using R = KxRegUtil&;
constexpr wchar_t K[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\Test";
constexpr wchar_t V[] = L"V";
constexpr KXSTATUS E = KX_E_REGISTRY;
const unsigned char kRaw[] = {'a', 'b', 0, 'c'};
const std::string kTimeText = "2026-12-05 14:30";  // any 16 bytes are a time record
SYSTEMTIME g_time;

class RegistryTest : public DeviceTest {};

KXSTATUS St(bool ok) { return ok ? KX_OK : E; }
std::string Fill(size_t units) { return std::string(units, '~'); }

// A page filled with 'a' that the process may read but not write.
struct ReadOnlyPage {
    char* p = static_cast<char*>(::VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
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
        KXSTATUS status;
        const char* dump;
    } rows[] = {
        {"text and terminator", [](R r) { return r.SetValue(K, V, L"abc"); }, KX_OK, "V=sz:abc|;"},
        {"number", [](R r) { return r.SetValue(K, V, 0x8000000Bul); }, KX_OK, "V=dw:8000000b;"},
        {"bytes", [](R r) { return r.SetValue(K, V, kRaw, 4); }, KX_OK, "V=bin:ab|c;"},
        // Readable memory is enough for a write.
        {"bytes from a read-only page",
         [](R r) { return r.SetValue(K, V, reinterpret_cast<unsigned char*>(g_readOnly.p), 3); },
         KX_OK, "V=bin:aaa;"},
        {"null text", [](R r) { return r.SetValue(K, V, (const wchar_t*)nullptr); }, E, "no key"},
        {"null bytes", [](R r) { return r.SetValue(K, V, (const unsigned char*)nullptr, 4); }, E,
         "no key"},
        {"zero size", [](R r) { return r.SetValue(K, V, kRaw, 0); }, E, "no key"},
        {"time record", [](R) { return St(RegSetSystemTime(K, V, &g_time)); }, KX_OK,
         "V=bin:2026-12-05 14:30;"},
        {"null time", [](R) { return St(RegSetSystemTime(K, V, nullptr)); }, E, "no key"},
        {"one value deleted",
         [](R r) { return r.SetValue(K, V, 1ul), r.SetValue(K, L"W", 2ul), r.DelValue(K, V); },
         KX_OK, "W=dw:2;"},
        {"deleting a missing value", [](R r) { return r.SetValue(K, L"W", 2ul), r.DelValue(K, V); },
         E, "W=dw:2;"},
        {"deletion in a missing key", [](R r) { return r.DelValue(K, V); }, E, "no key"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ResetDevice();
        KxRegUtil reg;
        EXPECT_EQ(row.write(reg), row.status);
        EXPECT_EQ(Dump(K), row.dump);
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
        KXSTATUS status;
        std::string image;
    } rows[] = {
        {"text and terminator fit", kText, REG_SZ, Wz(L"abcd"), 5, KX_OK, "abcd|~"},
        {"no room for the terminator", kText, REG_SZ, Wz(L"abcd"), 4, E, Fill(5)},
        {"longest text of 1024", kText, REG_SZ, Wz(n1023), 1024, KX_OK,
         std::string(1023, 'n') + "|~"},
        {"one character more", kText, REG_SZ, Wz(n1023 + L"n"), 1024, E, Fill(1025)},
        // Texts written by other tools may lack the terminator: it is added where it fits,
        // and three stored characters cannot be terminated within three.
        {"unterminated text", kText, REG_SZ, Wn(L"abc"), 4, KX_OK, "abc|~"},
        {"unterminated text filling the buffer", kText, REG_SZ, Wn(L"abc"), 3, E, Fill(4)},
        {"stored type not checked", kText, REG_DWORD, Wn(L"BA"), 4, KX_OK, "BA|~~"},
        {"zero length", kText, REG_SZ, Wz(L"a"), 0, E, Fill(1)},
        {"missing key, none created", kText, kNoKey, "", 4, E, Fill(5) + "/no key"},
        {"null text buffer", kText | kNull, REG_SZ, Wz(L"a"), 32, E, ""},
        {"bytes as stored, no more", kBytes, REG_BINARY, "abc", 8, KX_OK, "abc~~~~~~"},
        {"value larger than the buffer", kBytes, REG_SZ, Wz(L"0123456789"), 21, E, Fill(22)},
        {"zero size", kBytes, REG_BINARY, "abc", 0, E, Fill(1)},
        {"missing value", kBytes, kOther, "abc", 8, E, Fill(9)},
        {"read-only byte buffer", kBytes | kReadOnly, REG_BINARY, "abc", 8, E, ""},
        {"number", kNumber, REG_DWORD, "wxyz", 4, KX_OK, "wxyz"},
        {"two stored bytes fill the low bytes", kNumber, REG_BINARY, "42", 4, KX_OK, "42~~"},
        {"missing number", kNumber, kOther, "42", 4, E, Fill(4)},
        {"time record", kTime, REG_BINARY, kTimeText, 16, KX_OK, kTimeText},
        // A short record fails after filling its bytes.
        {"short time record", kTime, REG_BINARY, "12345678", 16, E, "12345678" + Fill(8)},
        {"missing time creates its key", kTime, kNoKey, "", 16, E, Fill(16)},
        {"null time", kTime | kNull, REG_BINARY, kTimeText, 16, E, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ResetDevice();
        const std::string data = row.stored + "XX";  // no NUL after the value: stored as given
        if (row.type != kNoKey)
            RawSetValue(K, row.type == kOther ? L"W" : V,
                        row.type == kOther ? REG_BINARY : row.type, data.data(),
                        DWORD(row.stored.size()));
        std::vector<char> out(2100, '\xBD');
        char* p = row.kind & kNull ? nullptr : row.kind & kReadOnly ? g_readOnly.p : out.data();
        const int kind = row.kind & 7;
        KxRegUtil reg;
        KXSTATUS status = KX_E_INVALIDARG;
        if (kind == kText) status = reg.GetValue(K, V, reinterpret_cast<wchar_t*>(p), row.size);
        if (kind == kBytes)
            status = reg.GetValue(K, V, reinterpret_cast<unsigned char*>(p), row.size);
        if (kind == kNumber) status = reg.GetValue(K, V, *reinterpret_cast<unsigned long*>(p));
        if (kind == kTime) status = St(RegGetSystemTime(K, V, reinterpret_cast<SYSTEMTIME*>(p)));
        std::string image = p != out.data() ? ""
                            : kind == kText ? Image(reinterpret_cast<wchar_t*>(p), row.size + 1)
                                            : Image(p, kind == kBytes ? row.size + 1 : row.size);
        EXPECT_EQ(status, row.status);
        EXPECT_EQ(image + (RawKeyExists(K) ? "" : "/no key"), row.image);
        EXPECT_EQ(g_readOnly.p[0], 'a');
    }
}

// A number is found by its exact name or by the last seven characters of a longer one.
TEST_F(RegistryTest, QueryKeyExistMatchesTheExactNameOrASevenCharacterTail) {
    KxRegUtil reg;
    EXPECT_EQ(reg.QueryKeyExist(K, L"0912345678"), E) << "missing key";
    EXPECT_FALSE(RawKeyExists(K));
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

struct Seen {
    bool stop;
    std::wstring all;
};
int Collect(const wchar_t* name, const wchar_t* data, void* context) {
    auto* seen = static_cast<Seen*>(context);
    seen->all += std::wstring(name) + L"=" + data + L";";
    return seen->stop ? 0 : 1;
}

// EnumKeys visits each text value that fits its 1024 characters, until the callback says stop;
// EnumSubKey appends full paths after the caller's own entries, or nothing.
TEST_F(RegistryTest, WalksVisitValuesAndListSubkeys) {
    KxRegUtil reg;
    const std::wstring d1023(1023, L'd');
    for (const wchar_t* name : {L"A", L"Longest", L"Overlong", L"Z"})
        reg.SetValue(K, name,
                     name[0] == L'A'   ? L"alpha"
                     : name[0] == L'Z' ? L"zulu"
                     : name[0] == L'L' ? d1023.c_str()
                                       : (d1023 + L"o").c_str());
    const struct {
        const char* name;
        const wchar_t* key;
        KxRegUtil::EnumKeysCallback callback;
        bool stop;
        KXSTATUS status;
        std::wstring seen;
    } rows[] = {
        {"every text that fits", K, Collect, false, KX_OK,
         L"A=alpha;Longest=" + d1023 + L";Z=zulu;"},
        {"stopped by the callback", K, Collect, true, KX_OK, L"A=alpha;"},
        {"no callback", K, nullptr, false, KX_E_INVALIDARG, L""},
        {"missing key", L"SOFTWARE\\Quorlend\\Nowhere", Collect, false, E, L""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Seen seen{row.stop, L""};
        EXPECT_EQ(reg.EnumKeys(row.key, row.callback, &seen), row.status);
        EXPECT_EQ(seen.all, row.seen);
    }

    reg.SetValue(L"SOFTWARE\\Quorlend\\Sub", V, 1ul);
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
        std::sort(keys.begin() + 1, keys.end(),
                  [](wchar_t* a, wchar_t* b) { return wcscmp(a, b) < 0; });
        std::wstring listed;
        for (wchar_t* key : keys) listed += std::wstring(key) + L";";
        EXPECT_EQ(listed, row.listed);
        EXPECT_EQ(reg.ReleaseKeyList(keys), KX_OK);
        EXPECT_TRUE(keys.empty());
    }
    // A caller-list array of exactly the entry count is enough; a smaller one learns the count.
    CallerInfo_tag entry;
    unsigned long exact = 1, none = 0;
    EXPECT_EQ(reg.EnumVaule(L"SOFTWARE\\Quorlend\\Sub", &entry, exact), KX_OK);
    EXPECT_EQ(reg.EnumVaule(L"SOFTWARE\\Quorlend\\Sub", &entry, none), KX_E_ARRAY_TOO_SMALL);
    EXPECT_EQ(std::to_string(exact) + std::to_string(none), "11");
}

// A RegKey owns one handle of its own: it opens without creating, tells whether it created, its
// copies hold other handles, a move hands the handle over, and the handle is closed at the end.
TEST_F(RegistryTest, RegKeyOwnsOneHandleOfItsOwn) {
    DWORD flags = 0;
    EXPECT_EQ(static_cast<HKEY>(RegKey(K)), nullptr);
    EXPECT_FALSE(RawKeyExists(K)) << "opening never creates";
    HKEY closed = nullptr;
    {
        RegKey created(K, true), again(K, true), opened(K), empty(L"SOFTWARE\\Quorlend\\None");
        closed = created;
        EXPECT_EQ(std::string() + "ny"[created.AlreadyExists()] + "ny"[again.AlreadyExists()] +
                      "ny"[opened.AlreadyExists()] + "ny"[RegKey(empty).AlreadyExists()],
                  "nyyn");
        EXPECT_EQ(static_cast<HKEY>(RegKey(empty)), nullptr);
        {
            RegKey copy(opened), assigned(L"SOFTWARE\\Quorlend\\Other", true);
            assigned = copy;
        }
        EXPECT_EQ(::RegSetValueExW(opened, L"O", 0, REG_DWORD, kRaw, 4), ERROR_SUCCESS)
            << "closing a copy must not close the original";
        const HKEY handle = again;
        RegKey moved(std::move(again));
        EXPECT_EQ(static_cast<HKEY>(moved), handle);
        EXPECT_EQ(static_cast<HKEY>(again), nullptr);
        EXPECT_TRUE(::GetHandleInformation(closed, &flags));
    }
    EXPECT_FALSE(::GetHandleInformation(closed, &flags)) << "the key was left open";
}

// RegQV fills the record from one buffer of its own, grown when needed; a missing value leaves
// the record as it was, and a copy reads into a buffer of its own.
TEST_F(RegistryTest, RegQVReadsIntoItsOwnBuffer) {
    RawSetValue(K, L"Long", REG_SZ, L"a longer text value", 40);
    RawSetValue(K, L"Num", REG_DWORD, "\x05\0\0\0", 4);
    RegKey key(K);
    RegQV query(key);
    RegValueData record, kept(L"Before", 77, kRaw, 1);
    ASSERT_TRUE(query(L"Long", record));
    EXPECT_EQ(std::wstring(record.name) + L":" + std::to_wstring(record.type) + L":" +
                  std::wstring(reinterpret_cast<const wchar_t*>(record.data), record.size / 2),
              std::wstring(L"Long:1:a longer text value") + L'\0');
    const unsigned char* buffer = record.data;
    ASSERT_TRUE(query(L"Num", record));
    EXPECT_EQ(Image(record.data, record.size) + std::to_string(record.type), "{5}|||4");
    EXPECT_EQ(record.data, buffer) << "a smaller value reuses the buffer";
    EXPECT_FALSE(query(L"Absent", kept));
    EXPECT_TRUE(std::wstring(kept.name) == L"Before" && kept.type == 77 && kept.data == kRaw &&
                kept.size == 1);
    {
        RegQV copy(query);
        ASSERT_TRUE(copy(L"Long", kept));
        EXPECT_NE(kept.data, record.data);
    }
    EXPECT_EQ(record.data[0], 5) << "the copy's buffer went, not the original's";
}

}  // namespace
}  // namespace kxtest
