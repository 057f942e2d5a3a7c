// KxRegUtil, RegKey, RegQV and the time records: what is stored, what reads hand back, and that
// a refused call leaves the caller's buffer and the registry as they were.
#include "RegistryRows.h"

#include <kxcommon/KxRegUtil.h>

#include <atomic>
#include <thread>

namespace kxtest {
namespace {

using R = KxRegUtil&;
constexpr wchar_t K[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\Test", V[] = L"V";
constexpr wchar_t kSub[] = L"SOFTWARE\\Quorlend\\Sub";
constexpr KXSTATUS E = KX_E_REGISTRY;
// In the image's read-only data: a write may come from there, a read never goes there.
const unsigned char kRaw[] = {'a', 'b', 0, 'c'};

class RegistryTest : public DeviceTest {};

KXSTATUS St(bool ok) { return ok ? KX_OK : E; }
// A status as a row writes it before the result: nothing for success, "E:" for the registry's.
std::string Said(KXSTATUS s) { return s == KX_OK ? "" : s == E ? "E:" : std::to_string(s) + ":"; }
std::string Fill(size_t units) { return std::string(units, '~'); }
std::string Text(const wchar_t* text) { return Image(text, std::wcslen(text)); }

// Bytes are stored with their type and exact size (texts, numbers and time records as the
// settings store them: SettingsTest); a refused write stores nothing and creates no key;
// deletion takes one value.
TEST_F(RegistryTest, WritesStoreTheirTypeAndExactBytes) {
    const struct Row {
        const char *name, *dump;
        KXSTATUS (*write)(R);
    } rows[] = {
        // Readable memory is enough for a write.
        {"bytes from read-only data", "V=bin:ab|c;", [](R r) { return r.SetValue(K, V, kRaw, 4); }},
        {"null text", "E:no key", [](R r) { return r.SetValue(K, V, (const wchar_t*)nullptr); }},
        {"null bytes", "E:no key", [](R r) { return r.SetValue(K, V, (const BYTE*)nullptr, 4); }},
        {"null time", "E:no key", [](R) { return St(RegSetSystemTime(K, V, nullptr)); }},
        {"one value deleted", "W=dw:2;",
         [](R r) { return r.SetValue(K, V, 1ul), r.SetValue(K, L"W", 2ul), r.DelValue(K, V); }},
        {"deleting a missing value", "E:W=dw:2;",
         [](R r) { return r.SetValue(K, L"W", 2ul), r.DelValue(K, V); }},
        {"deletion in a missing key", "E:no key", [](R r) { return r.DelValue(K, V); }},
    };
    for (const Row& row : rows) {
        ResetDevice();
        KxRegUtil reg;
        const std::string said = Said(row.write(reg));
        EXPECT_EQ(said + Dump(K), row.dump) << row.name;
    }
}

// The kinds of read and where they go; kNoKey as the stored type: nothing stored.
enum : DWORD { kText = 1, kBytes, kNumber, kTime, kNull = 8, kReadOnly = 16, kNoKey = 0x100 };

// A read hands back the whole value or fails with the output untouched: the image shows the
// buffer one unit past the size given ('~': untouched), "/no key" when no key is left. (A text
// that just fits or lacks one unit: DirectoriesTest; a missing number, numbers and time records
// that are there: SettingsTest.)
TEST_F(RegistryTest, ReadsGiveTheWholeValueOrLeaveTheOutput) {
    const struct Row {
        const char* name;
        DWORD kind, type, size;
        std::string stored, image;  // image: "E:" first when refused
    } rows[] = {
        {"longest text of 1024", kText, REG_SZ, 1024, Wz(std::wstring(1023, L'n')),
         std::string(1023, 'n') + "|~"},
        // Texts written by other tools may lack the terminator: it is added where it fits,
        // and three stored characters cannot be terminated within three.
        {"unterminated text", kText, REG_SZ, 4, Wn(L"abc"), "abc|~"},
        {"unterminated text filling the buffer", kText, REG_SZ, 3, Wn(L"abc"), "E:" + Fill(4)},
        {"stored type not checked", kText, REG_DWORD, 4, Wn(L"BA"), "BA|~~"},
        {"missing key, none created", kText, kNoKey, 4, "", "E:" + Fill(5) + "/no key"},
        {"null text buffer", kText | kNull, REG_SZ, 32, Wz(L"a"), "E:"},
        {"bytes as stored, no more", kBytes, REG_BINARY, 8, "abc", "abc~~~~~~"},
        {"value larger than the buffer", kBytes, REG_SZ, 21, Wz(L"0123456789"), "E:" + Fill(22)},
        {"read-only byte buffer", kBytes | kReadOnly, REG_BINARY, 8, "abc", "E:"},
        {"two stored bytes fill the low bytes", kNumber, REG_BINARY, 4, "42", "42~~"},
        // A short record fails after filling its bytes.
        {"short time record", kTime, REG_BINARY, 16, "12345678", "E:12345678" + Fill(8)},
        {"missing time creates its key", kTime, kNoKey, 16, "", "E:" + Fill(16)},
        {"null time", kTime | kNull, REG_BINARY, 16, "2026-12-05 14:30", "E:"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ResetDevice();
        const std::string data = row.stored + "XX";  // no NUL after the value: stored as given
        if (row.type != kNoKey) RawSetValue(K, V, row.type, data.data(), DWORD(row.stored.size()));
        std::vector<unsigned char> out(2100, 0xBD);
        unsigned char* p = row.kind & kNull       ? nullptr
                           : row.kind & kReadOnly ? const_cast<unsigned char*>(kRaw)
                                                  : out.data();
        const DWORD kind = row.kind & 7;
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
    EXPECT_TRUE(reg.QueryKeyExist(K, L"0912345678") == E && !RawKeyExists(K)) << "no key made";
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
        {L"0000012345", KX_E_NO_MATCH},  // a stored name shorter than seven never tail-matches
        {L"xxxabcdefg", KX_E_NO_MATCH},  // tail matching compares code units ("abcDEFG")
        {L"xxxabcDEFG", KX_OK},          // a stored name of exactly seven has a tail
        {L"0912345670", KX_E_NO_MATCH},
        {L"009991234567", KX_OK},  // the tail of the longest readable name
    };
    for (const auto& row : rows)
        EXPECT_EQ(reg.QueryKeyExist(K, row.query), row.status) << row.query;
}

int Collect(const wchar_t* name, const wchar_t* data, void* seen) {
    *static_cast<std::string*>(seen) += Text(name) + "=" + Text(data) + ";";
    return 1;
}
int First(const wchar_t* n, const wchar_t* d, void* seen) { return Collect(n, d, seen) - 1; }

// EnumKeys visits each text value that fits its 1024 characters, until the callback says stop;
// EnumSubKey appends full paths after the caller's own entries, or nothing; a caller-list array
// of exactly the entry count is enough, and a smaller one learns the count.
TEST_F(RegistryTest, WalksVisitValuesAndListSubkeys) {
    KxRegUtil reg;
    const std::wstring d1023(1023, L'd');
    reg.SetValue(K, L"A", L"alpha");
    reg.SetValue(K, L"Longest", d1023.c_str());
    reg.SetValue(K, L"Overlong", (d1023 + L"o").c_str());
    reg.SetValue(K, L"Z", L"zulu");
    const struct {
        const char* name;
        const wchar_t* key;
        KxRegUtil::EnumKeysCallback callback;
        std::string seen;  // "E:" first when refused
    } rows[] = {
        {"texts that fit", K, Collect, "A=alpha;Longest=" + std::string(1023, 'd') + ";Z=zulu;"},
        {"stopped by the callback", K, First, "A=alpha;"},
        {"no callback", K, nullptr, std::to_string(KX_E_INVALIDARG) + ":"},
        {"missing key", L"SOFTWARE\\Quorlend\\Nowhere", Collect, "E:"},
    };
    for (const auto& row : rows) {
        std::string seen;
        const KXSTATUS status = reg.EnumKeys(row.key, row.callback, &seen);
        EXPECT_EQ(Said(status) + seen, row.seen) << row.name;
    }

    reg.SetValue(kSub, V, 1ul);
    const struct {
        const wchar_t* key;
        std::string listed;  // "E:" first when refused
    } lists[] = {
        {kProductKey, "own;SOFTWARE\\Quorlend\\Scutara\\2.0\\Test;"},
        {L"SOFTWARE\\Quorlend\\", "own;SOFTWARE\\Quorlend\\Scutara;SOFTWARE\\Quorlend\\Sub;"},
        {L"SOFTWARE\\Quorlend\\Nowhere", "E:own;"},
    };
    for (const auto& row : lists) {
        std::vector<wchar_t*> keys{new wchar_t[4]{L'o', L'w', L'n', 0}};
        std::string listed = Said(reg.EnumSubKey(row.key, keys));
        for (wchar_t* key : keys) listed += Text(key) + ";";
        EXPECT_EQ(listed, row.listed) << row.key;
        EXPECT_TRUE(reg.ReleaseKeyList(keys) == KX_OK && keys.empty());
    }
    CallerInfo_tag entry;
    unsigned long exact = 1, none = 0;
    EXPECT_TRUE(reg.EnumVaule(kSub, &entry, exact) == KX_OK && exact == 1 &&
                reg.EnumVaule(kSub, &entry, none) == KX_E_ARRAY_TOO_SMALL && none == 1);
}

// A read that races a rewrite of its value sees the old value or the new one, never a failure:
// another thread rewrites the value between a short and a long content while each reader reads
// it again and again. The long content of the byte and RegQV readers is larger than a read's
// stack scratch, so those reads also take the path that grows a buffer.
TEST_F(RegistryTest, AReadRacingARewriteSeesTheOldOrTheNewValue) {
    struct RacingRead {
        const char* reader;
        DWORD type;
        std::string shortValue, longValue;
        // Reads the value once: true with what was read, false when the read failed.
        bool (*read)(std::string& got);
    };
    static const std::string kShortText = Wz(L"short"), kLongText = Wz(std::wstring(900, L'L'));
    static const std::string kShortBytes(16, 's'), kLongBytes(5000, 'B');
    const RacingRead reads[] = {
        {.reader = "KxRegUtil::GetValue of a text (1024 characters)",
         .type = REG_SZ,
         .shortValue = kShortText,
         .longValue = kLongText,
         .read =
             [](std::string& got) {
                 wchar_t text[1024];
                 if (KxRegUtil().GetValue(K, V, text, 1024) != KX_OK) return false;
                 got = Wz(text);
                 return true;
             }},
        {.reader = "KxRegUtil::GetValue of bytes (8192 bytes)",
         .type = REG_BINARY,
         .shortValue = kShortBytes,
         .longValue = kLongBytes,
         .read =
             [](std::string& got) {
                 std::vector<unsigned char> bytes(8192, 0);
                 if (KxRegUtil().GetValue(K, V, bytes.data(), 8192) != KX_OK) return false;
                 // Bytes past the value stay zero; both contents are free of zeros.
                 got.assign(reinterpret_cast<const char*>(bytes.data()));
                 return true;
             }},
        {.reader = "RegQV",
         .type = REG_BINARY,
         .shortValue = kShortBytes,
         .longValue = kLongBytes,
         .read =
             [](std::string& got) {
                 RegKey key(K);
                 RegQV query(key);
                 RegValueData record;
                 if (!query(V, record)) return false;
                 got.assign(reinterpret_cast<const char*>(record.data), record.size);
                 return true;
             }},
    };
    constexpr int kReads = 1500;
    for (const RacingRead& race : reads) {
        SCOPED_TRACE(race.reader);
        RawSetValue(K, V, race.type, race.shortValue.data(), DWORD(race.shortValue.size()));
        std::atomic<bool> reading{true};
        std::thread writer([&] {
            for (bool longer = true; reading; longer = !longer) {
                const std::string& value = longer ? race.longValue : race.shortValue;
                RawSetValue(K, V, race.type, value.data(), DWORD(value.size()));
            }
        });
        int failed = 0, neither = 0;
        for (int i = 0; i < kReads; ++i) {
            std::string got;
            if (!race.read(got))
                ++failed;
            else if (got != race.shortValue && got != race.longValue)
                ++neither;
        }
        reading = false;
        writer.join();
        EXPECT_EQ(failed, 0) << "reads that failed while the value was rewritten, of " << kReads;
        EXPECT_EQ(neither, 0) << "reads that gave neither the old nor the new value";
    }
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
        EXPECT_TRUE(!created.AlreadyExists() && again.AlreadyExists() && opened.AlreadyExists() &&
                    !RegKey(empty).AlreadyExists() && RegKey(empty) == nullptr);
        // A copy (made by assignment) is moved into another key, and both go.
        RegKey(L"SOFTWARE\\Quorlend\\Other", true) = RegKey(opened);
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
    return Text(r.name) + ":" + std::to_string(r.type) + ":" + Image(r.data, r.size);
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
    EXPECT_EQ(first + " " + Record(record) + (record.data == buffer ? "" : " (new buffer)"),
              "Long:1:a| |l|o|n|g|e|r| |t|e|x|t||| Num:4:{5}|||");
    EXPECT_TRUE(!query(L"Absent", kept) && Record(kept) == "Before:77:a" && kept.data == kRaw);
    EXPECT_TRUE(RegQV(query)(L"Long", kept) && kept.data != record.data);
    EXPECT_EQ(record.data[0], 5) << "the copy's buffer went, not the original's";
}

}  // namespace
}  // namespace kxtest
