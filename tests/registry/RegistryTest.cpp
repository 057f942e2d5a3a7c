// KxRegUtil, RegKey, RegQV and the time records: what is stored, what reads hand back, and that
// a refused call leaves the caller's buffer and the registry as they were.
#include "RegistryRows.h"

#include <kxcommon/KxRegUtil.h>

#include <atomic>
#include <thread>

namespace kxtest {
namespace {

constexpr wchar_t kTestKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\Test", kValue[] = L"V";
constexpr wchar_t kSub[] = L"SOFTWARE\\Quorlend\\Sub";
// In the image's read-only data: a write may come from there, a read never goes there.
const unsigned char kRaw[] = {'a', 'b', 0, 'c'};

class RegistryTest : public DeviceTest {};

KXSTATUS StatusOf(bool done) { return done ? KX_OK : KX_E_REGISTRY; }

// Bytes are stored with their type and exact size (texts, numbers and time records as the
// settings store them, a null text refused and a value deleted: SettingsTest); a refused write
// stores nothing and creates no key, nor does a deletion.
struct WriteRow {
    const char* name;
    KXSTATUS (*write)(KxRegUtil& registry);
    KXSTATUS status;
    std::string key;  // the test key's dump afterwards
};
TEST_F(RegistryTest, WritesStoreTheirTypeAndExactBytes) {
    // clang-format off
    const WriteRow rows[] = {
        // Readable memory is enough for a write.
        {.name = "bytes from read-only data",
         .write = [](KxRegUtil& registry) { return registry.SetValue(kTestKey, kValue, kRaw, 4); },
         .status = KX_OK, .key = "V = bytes 61 62 00 63\n"},
        {.name = "null bytes",
         .write = [](KxRegUtil& registry) {
             return registry.SetValue(kTestKey, kValue, static_cast<const BYTE*>(nullptr), 4); },
         .status = KX_E_REGISTRY, .key = "(no key)\n"},
        {.name = "null time", .write = [](KxRegUtil&) { return StatusOf(RegSetSystemTime(kTestKey, kValue, nullptr)); },
         .status = KX_E_REGISTRY, .key = "(no key)\n"},
        {.name = "deletion in a missing key", .write = [](KxRegUtil& registry) { return registry.DelValue(kTestKey, kValue); },
         .status = KX_E_REGISTRY, .key = "(no key)\n"},
    };
    // clang-format on
    for (const WriteRow& row : rows) {
        ResetDevice();
        KxRegUtil registry;
        const KXSTATUS status = row.write(registry);
        const std::string key = Dump(kTestKey);
        EXPECT_TRUE(status == row.status && key == row.key)
            << row.name << ": answered " << Hex(status) << " leaving the key as\n"
            << key << "expected " << Hex(row.status) << " and\n"
            << row.key;
    }
}

enum ReadKind { kText, kBytes, kNumber, kTime };
enum Buffer { kWritable, kNullBuffer, kReadOnly };
constexpr DWORD kNothingStored = 0xFFFF;

// A read hands back the whole value or fails with the output untouched. (A text that just fits
// or lacks one unit: DirectoriesTest; the longest text: the walks below; a missing number,
// numbers and time records that are there: SettingsTest.)
struct ReadRow {
    const char* name;
    ReadKind kind;
    Buffer buffer = kWritable;
    DWORD type;               // of the stored value, or kNothingStored
    std::string stored = "";  // the stored bytes
    unsigned long size;       // what the read is given: characters for a text, else bytes
    KXSTATUS status;
    std::string written = "";  // the output's bytes up to the last one the read changed
    bool keyAfter = true;      // whether the test key exists afterwards
};
TEST_F(RegistryTest, ReadsGiveTheWholeValueOrLeaveTheOutput) {
    // clang-format off
    const ReadRow rows[] = {
        // Texts written by other tools may lack the terminator: it is added where it fits,
        // and three stored characters cannot be terminated within three.
        {.name = "unterminated text", .kind = kText, .type = REG_SZ, .stored = UnterminatedTextBytes(L"abc"), .size = 4,
         .status = KX_OK, .written = TextBytes(L"abc")},
        {.name = "unterminated text filling the buffer", .kind = kText, .type = REG_SZ,
         .stored = UnterminatedTextBytes(L"abc"), .size = 3, .status = KX_E_REGISTRY},
        {.name = "stored type not checked", .kind = kText, .type = REG_DWORD, .stored = UnterminatedTextBytes(L"BA"),
         .size = 4, .status = KX_OK, .written = TextBytes(L"BA")},
        {.name = "missing key, none created", .kind = kText, .type = kNothingStored, .size = 4, .status = KX_E_REGISTRY,
         .keyAfter = false},
        {.name = "null text buffer", .kind = kText, .buffer = kNullBuffer, .type = REG_SZ, .stored = TextBytes(L"a"),
         .size = 32, .status = KX_E_REGISTRY},
        {.name = "bytes as stored, no more", .kind = kBytes, .type = REG_BINARY, .stored = "abc", .size = 8,
         .status = KX_OK, .written = "abc"},
        {.name = "value larger than the buffer", .kind = kBytes, .type = REG_SZ, .stored = TextBytes(L"0123456789"),
         .size = 21, .status = KX_E_REGISTRY},
        {.name = "read-only byte buffer", .kind = kBytes, .buffer = kReadOnly, .type = REG_BINARY, .stored = "abc",
         .size = 8, .status = KX_E_REGISTRY},
        {.name = "two stored bytes fill the low bytes", .kind = kNumber, .type = REG_BINARY, .stored = "42", .size = 4,
         .status = KX_OK, .written = "42"},
        // A short record fails after filling its bytes.
        {.name = "short time record", .kind = kTime, .type = REG_BINARY, .stored = "12345678", .size = 16,
         .status = KX_E_REGISTRY, .written = "12345678"},
        {.name = "missing time creates its key", .kind = kTime, .type = kNothingStored, .size = 16, .status = KX_E_REGISTRY},
        {.name = "null time", .kind = kTime, .buffer = kNullBuffer, .type = REG_BINARY, .stored = "2026-12-05 14:30",
         .size = 16, .status = KX_E_REGISTRY},
    };
    // clang-format on
    for (const ReadRow& row : rows) {
        ResetDevice();
        const std::string data = row.stored + "XX";  // no NUL after the value: stored as given
        if (row.type != kNothingStored)
            RawSetValue(kTestKey, kValue, row.type, data.data(), DWORD(row.stored.size()));
        std::vector<unsigned char> out(2100, 0xBD);
        unsigned char* output = row.buffer == kNullBuffer ? nullptr
                                : row.buffer == kReadOnly ? const_cast<unsigned char*>(kRaw)
                                                          : out.data();
        KxRegUtil registry;
        KXSTATUS status = KX_E_INVALIDARG;
        if (row.kind == kText)
            status =
                registry.GetValue(kTestKey, kValue, reinterpret_cast<wchar_t*>(output), row.size);
        if (row.kind == kBytes) status = registry.GetValue(kTestKey, kValue, output, row.size);
        if (row.kind == kNumber)
            status = registry.GetValue(kTestKey, kValue, *reinterpret_cast<unsigned long*>(output));
        if (row.kind == kTime)
            status =
                StatusOf(RegGetSystemTime(kTestKey, kValue, reinterpret_cast<SYSTEMTIME*>(output)));
        // One unit past the size given, where nothing may be written either.
        size_t looked = row.kind == kText ? (row.size + 1) * 2 : row.size + 1;
        while (looked > 0 && out[looked - 1] == 0xBD) --looked;
        const std::string written(reinterpret_cast<const char*>(out.data()), looked);
        EXPECT_TRUE(status == row.status && written == row.written &&
                    RawKeyExists(kTestKey) == row.keyAfter)
            << row.name << ": answered " << Hex(status) << " having written "
            << Describe(REG_BINARY, written) << (RawKeyExists(kTestKey) ? "" : ", with no key left")
            << "; expected " << Hex(row.status) << " having written "
            << Describe(REG_BINARY, row.written) << (row.keyAfter ? "" : ", with no key left");
    }
}

// A number is found by its exact name or by the last seven characters of a longer one. (A
// ten-digit caller found by the tail of a longer stored number: the caller lists' look-ups,
// CallerListsTest.)
struct QueryRow {
    const wchar_t* query;
    KXSTATUS status;
};
TEST_F(RegistryTest, QueryKeyExistMatchesTheExactNameOrASevenCharacterTail) {
    KxRegUtil registry;
    EXPECT_TRUE(registry.QueryKeyExist(kTestKey, L"0912345678") == KX_E_REGISTRY &&
                !RawKeyExists(kTestKey))
        << "QueryKeyExist in a missing key: no key made";
    const std::wstring longest = std::wstring(1016, L'9') + L"1234567";  // the longest name read
    for (const wchar_t* name : {L"+886912345678", L"12345", L"abcDEFG", longest.c_str()})
        registry.SetValue(kTestKey, name, L"x");
    const QueryRow rows[] = {
        {.query = L"12345", .status = KX_OK},               // exact: a name under seven has no tail
        {.query = L"2345678", .status = KX_E_NO_MATCH},     // seven characters: exact only
        {.query = L"0000012345", .status = KX_E_NO_MATCH},  // a stored name under seven has no tail
        {.query = L"xxxabcdefg", .status = KX_E_NO_MATCH},  // tails compare code units ("abcDEFG")
        {.query = L"xxxabcDEFG", .status = KX_OK},          // a stored name of exactly seven
        {.query = L"0912345670", .status = KX_E_NO_MATCH},
        {.query = L"009991234567", .status = KX_OK},  // the tail of the longest readable name
    };
    for (const QueryRow& row : rows) {
        const KXSTATUS status = registry.QueryKeyExist(kTestKey, row.query);
        EXPECT_TRUE(status == row.status) << "QueryKeyExist(" << Narrow(row.query) << ") answered "
                                          << Hex(status) << "; expected " << Hex(row.status);
    }
}

int Collect(const wchar_t* name, const wchar_t* data, void* seen) {
    *static_cast<std::string*>(seen) += Narrow(name) + " = " + Narrow(data) + "\n";
    return 1;
}
int CollectFirst(const wchar_t* name, const wchar_t* data, void* seen) {
    Collect(name, data, seen);
    return 0;
}

// EnumKeys visits each text value that fits its 1024 characters, until the callback says stop;
// EnumSubKey appends full paths after the caller's own entries, or nothing; a caller-list array
// of exactly the entry count is enough. (A missing key's walk and a smaller array's count: the
// caller lists, CallerListsTest.)
struct WalkRow {
    const char* name;
    KxRegUtil::EnumKeysCallback callback;
    KXSTATUS status;
    std::string seen;  // what the callback was given, a line each
};
struct SubkeyRow {
    const wchar_t* key;
    KXSTATUS status;
    std::string listed;  // the list afterwards, starting with the caller's own entry "own"
};
TEST_F(RegistryTest, WalksVisitValuesAndListSubkeys) {
    KxRegUtil registry;
    const std::wstring longest(1023, L'd');
    registry.SetValue(kTestKey, L"A", L"alpha");
    registry.SetValue(kTestKey, L"Longest", longest.c_str());
    registry.SetValue(kTestKey, L"Overlong", (longest + L"o").c_str());
    registry.SetValue(kTestKey, L"Z", L"zulu");
    // clang-format off
    const WalkRow rows[] = {
        {.name = "texts that fit", .callback = Collect, .status = KX_OK,
         .seen = "A = alpha\nLongest = " + std::string(1023, 'd') + "\nZ = zulu\n"},
        {.name = "stopped by the callback", .callback = CollectFirst, .status = KX_OK, .seen = "A = alpha\n"},
        {.name = "no callback", .callback = nullptr, .status = KX_E_INVALIDARG, .seen = ""},
    };
    // clang-format on
    for (const WalkRow& row : rows) {
        std::string seen;
        const KXSTATUS status = registry.EnumKeys(kTestKey, row.callback, &seen);
        EXPECT_TRUE(status == row.status && seen == row.seen)
            << "EnumKeys, " << row.name << ": answered " << Hex(status) << " having seen\n"
            << seen << "expected " << Hex(row.status) << " having seen\n"
            << row.seen;
    }

    registry.SetValue(kSub, kValue, 1ul);
    // clang-format off
    const SubkeyRow lists[] = {
        {.key = kProductKey, .status = KX_OK, .listed = "own; SOFTWARE\\Quorlend\\Scutara\\2.0\\Test; "},
        {.key = L"SOFTWARE\\Quorlend\\", .status = KX_OK,
         .listed = "own; SOFTWARE\\Quorlend\\Scutara; SOFTWARE\\Quorlend\\Sub; "},
        {.key = L"SOFTWARE\\Quorlend\\Nowhere", .status = KX_E_REGISTRY, .listed = "own; "},
    };
    // clang-format on
    for (const SubkeyRow& row : lists) {
        std::vector<wchar_t*> keys{new wchar_t[4]{L'o', L'w', L'n', 0}};
        const KXSTATUS status = registry.EnumSubKey(row.key, keys);
        std::string listed;
        for (wchar_t* key : keys) listed += Narrow(key) + "; ";
        EXPECT_TRUE(status == row.status && listed == row.listed)
            << "EnumSubKey(" << Narrow(row.key) << ") answered " << Hex(status) << " listing "
            << listed << "; expected " << Hex(row.status) << " listing " << row.listed;
        EXPECT_TRUE(registry.ReleaseKeyList(keys) == KX_OK && keys.empty())
            << "ReleaseKeyList left " << keys.size() << " entries";
    }
    CallerInfo_tag entry;
    unsigned long exact = 1;
    const KXSTATUS status = registry.EnumVaule(kSub, &entry, exact);
    EXPECT_TRUE(status == KX_OK && exact == 1)
        << "EnumVaule into an array of exactly its one entry answered " << Hex(status)
        << " with count " << exact << "; expected 0 with count 1";
}

// A read that races a rewrite of its value sees the old value or the new one, never a failure:
// another thread rewrites the value between a short and a long content while each reader reads
// it again and again. The long content is larger than a read's stack scratch, so the reads also
// take the path that grows a buffer. (Texts are read through the same path as bytes.)
TEST_F(RegistryTest, AReadRacingARewriteSeesTheOldOrTheNewValue) {
    struct RacingRead {
        const char* reader;
        // Reads the value once: true with what was read, false when the read failed.
        bool (*read)(std::string& got);
    };
    // clang-format off
    const RacingRead reads[] = {
        {.reader = "KxRegUtil::GetValue of bytes (8192 bytes)", .read = [](std::string& got) {
             std::vector<unsigned char> bytes(8192, 0);
             if (KxRegUtil().GetValue(kTestKey, kValue, bytes.data(), 8192) != KX_OK) return false;
             // Bytes past the value stay zero; both contents are free of zeros.
             got.assign(reinterpret_cast<const char*>(bytes.data()));
             return true; }},
        {.reader = "RegQV", .read = [](std::string& got) {
             RegKey key(kTestKey);
             RegQV query(key);
             RegValueData record;
             if (!query(kValue, record)) return false;
             got.assign(reinterpret_cast<const char*>(record.data), record.size);
             return true; }},
    };
    // clang-format on
    const std::string shortValue(16, 's'), longValue(5000, 'B');
    constexpr int kReads = 1500;
    for (const RacingRead& race : reads) {
        SCOPED_TRACE(race.reader);
        RawSetValue(kTestKey, kValue, REG_BINARY, shortValue.data(), DWORD(shortValue.size()));
        std::atomic<bool> reading{true};
        std::thread writer([&] {
            for (bool longer = true; reading; longer = !longer) {
                const std::string& value = longer ? longValue : shortValue;
                RawSetValue(kTestKey, kValue, REG_BINARY, value.data(), DWORD(value.size()));
            }
        });
        int failed = 0, neither = 0;
        for (int i = 0; i < kReads; ++i) {
            std::string got;
            if (!race.read(got))
                ++failed;
            else if (got != shortValue && got != longValue)
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
    EXPECT_TRUE(!RegKey(kTestKey) && !RawKeyExists(kTestKey)) << "opening never creates";
    HKEY closed = nullptr;
    {
        RegKey created(kTestKey, true), again(kTestKey, true), opened(kTestKey),
            empty(L"SOFTWARE\\Quorlend\\None");
        closed = created;
        // Whether each existed before, and whether a copy of the empty one holds a handle.
        EXPECT_TRUE(!created.AlreadyExists() && again.AlreadyExists() && opened.AlreadyExists() &&
                    !RegKey(empty).AlreadyExists() && RegKey(empty) == nullptr)
            << "AlreadyExists: created " << created.AlreadyExists() << ", created again "
            << again.AlreadyExists() << ", opened " << opened.AlreadyExists()
            << "; expected 0, 1, 1, and a copy of a missing key with no handle";
        // A copy (made by assignment) is moved into another key, and both go.
        RegKey(L"SOFTWARE\\Quorlend\\Other", true) = RegKey(opened);
        EXPECT_EQ(::RegSetValueExW(opened, L"O", 0, REG_DWORD, kRaw, 4), ERROR_SUCCESS)
            << "closing a copy must not close the original";
        const HKEY handle = again;
        RegKey moved(std::move(again));
        EXPECT_TRUE(HKEY(moved) == handle && HKEY(again) == nullptr)
            << "a move must hand the handle over and leave none behind";
        EXPECT_TRUE(::GetHandleInformation(closed, &flags)) << "the key was closed while owned";
    }
    EXPECT_FALSE(::GetHandleInformation(closed, &flags)) << "the key was left open";
}

// A record as "Name = value".
std::string Record(const RegValueData& record) {
    return Narrow(record.name) + " = " +
           Describe(record.type,
                    std::string(reinterpret_cast<const char*>(record.data), record.size));
}

// RegQV fills the record from one buffer of its own, grown when needed; a missing value leaves
// the record as it was, and a copy reads into a buffer of its own.
TEST_F(RegistryTest, RegQVReadsIntoItsOwnBuffer) {
    StoreText(kTestKey, L"Long", L"a longer text");
    StoreNumber(kTestKey, L"Num", 5);
    RegKey key(kTestKey);
    RegQV query(key);
    RegValueData record, kept(L"Before", REG_BINARY, kRaw, 1);
    ASSERT_TRUE(query(L"Long", record));
    const unsigned char* buffer = record.data;
    EXPECT_EQ(Record(record), "Long = text \"a longer text\"");
    ASSERT_TRUE(query(L"Num", record));
    EXPECT_EQ(Record(record), "Num = number 0x5");
    EXPECT_EQ(record.data, buffer) << "the shorter value reuses the record's buffer";
    EXPECT_TRUE(!query(L"Absent", kept) && Record(kept) == "Before = bytes 61" && kept.data == kRaw)
        << "a missing value changed the record to " << Record(kept);
    EXPECT_TRUE(RegQV(query)(L"Long", kept) && kept.data != record.data)
        << "a copy of the query must read into a buffer of its own";
    EXPECT_EQ(record.data[0], 5) << "the copy's buffer went, not the original's";
}

}  // namespace
}  // namespace kxtest
