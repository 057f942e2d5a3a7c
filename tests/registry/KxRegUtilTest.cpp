// KxRegUtil: typed reads and writes, deletion, the seven-character tail rule and the two walks.
#include "DeviceFixture.h"

#include <kxcommon/KxRegUtil.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using kxtest::kProductKey;
using kxtest::RawGetValue;
using kxtest::RawKeyExists;
using kxtest::RawSetValue;

constexpr wchar_t kKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\Test";
constexpr unsigned char kFill = 0xBD;
constexpr wchar_t kWideFill = 0xBDBD;

class KxRegUtilTest : public kxtest::DeviceTest {
protected:
    KxRegUtil reg;
};

std::string Bytes(const void* p, size_t n) { return std::string(static_cast<const char*>(p), n); }

// A page the process may read but not write.
class ReadOnlyPage {
public:
    ReadOnlyPage() {
        page_ = ::VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        std::memset(page_, 'a', 4096);
        DWORD old = 0;
        ::VirtualProtect(page_, 4096, PAGE_READONLY, &old);
    }
    ~ReadOnlyPage() { ::VirtualFree(page_, 0, MEM_RELEASE); }
    template <typename T>
    T* As() const {
        return static_cast<T*>(page_);
    }

private:
    void* page_;
};

// ---- Writes -------------------------------------------------------------------------------

TEST_F(KxRegUtilTest, WritesEachKindWithItsTypeAndExactSize) {
    ASSERT_EQ(reg.SetValue(kKey, L"Text", L"abc"), KX_OK);
    ASSERT_EQ(reg.SetValue(kKey, L"Number", 0x12345678ul), KX_OK);
    const unsigned char raw[] = {1, 2, 3, 0, 5};
    ASSERT_EQ(reg.SetValue(kKey, L"Bytes", raw, sizeof raw), KX_OK);

    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(RawGetValue(kKey, L"Text", &type, &bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(bytes.size(), 8u) << "three characters and the terminator";
    EXPECT_EQ(bytes, Bytes(L"abc", 8));

    ASSERT_TRUE(RawGetValue(kKey, L"Number", &type, &bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(bytes, std::string("\x78\x56\x34\x12", 4));

    ASSERT_TRUE(RawGetValue(kKey, L"Bytes", &type, &bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(bytes, Bytes(raw, sizeof raw));
}

TEST_F(KxRegUtilTest, WriteCreatesTheWholeKeyPath) {
    const wchar_t deep[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\A\\B\\C";
    ASSERT_FALSE(RawKeyExists(L"SOFTWARE\\Quorlend"));
    EXPECT_EQ(reg.SetValue(deep, L"V", 1ul), KX_OK);
    EXPECT_TRUE(RawKeyExists(deep));
}

TEST_F(KxRegUtilTest, EmptyStringIsStoredWithItsTerminator) {
    ASSERT_EQ(reg.SetValue(kKey, L"Empty", L""), KX_OK);
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(RawGetValue(kKey, L"Empty", &type, &bytes));
    EXPECT_EQ(bytes, std::string(2, '\0'));
}

TEST_F(KxRegUtilTest, RefusedWritesTouchNothing) {
    ReadOnlyPage readOnly;
    EXPECT_EQ(reg.SetValue(kKey, L"Null", static_cast<const wchar_t*>(nullptr)), KX_E_REGISTRY);
    EXPECT_EQ(reg.SetValue(kKey, L"NullBytes", static_cast<const unsigned char*>(nullptr), 4),
              KX_E_REGISTRY);
    const unsigned char one = 1;
    EXPECT_EQ(reg.SetValue(kKey, L"ZeroSize", &one, 0), KX_E_REGISTRY);
    // Readable memory is enough for a write: the read-only page is accepted.
    EXPECT_EQ(reg.SetValue(kKey, L"FromReadOnly", readOnly.As<unsigned char>(), 16), KX_OK);
    DWORD type = 0;
    std::string bytes;
    EXPECT_FALSE(RawGetValue(kKey, L"Null", &type, &bytes));
    EXPECT_FALSE(RawGetValue(kKey, L"NullBytes", &type, &bytes));
    EXPECT_FALSE(RawGetValue(kKey, L"ZeroSize", &type, &bytes));
}

TEST_F(KxRegUtilTest, RefusedWriteCreatesNoKey) {
    const unsigned char one = 1;
    EXPECT_EQ(reg.SetValue(kKey, L"ZeroSize", &one, 0), KX_E_REGISTRY);
    EXPECT_FALSE(RawKeyExists(kKey));
}

// ---- Reads --------------------------------------------------------------------------------

TEST_F(KxRegUtilTest, ReadsBackWhatWasWritten) {
    ASSERT_EQ(reg.SetValue(kKey, L"Text", L"Renovix"), KX_OK);
    ASSERT_EQ(reg.SetValue(kKey, L"Number", 0xFFFFFFFFul), KX_OK);
    const unsigned char raw[] = {9, 8, 7};
    ASSERT_EQ(reg.SetValue(kKey, L"Bytes", raw, sizeof raw), KX_OK);

    wchar_t text[16];
    EXPECT_EQ(reg.GetValue(kKey, L"Text", text, 16), KX_OK);
    EXPECT_STREQ(text, L"Renovix");

    unsigned long number = 0;
    EXPECT_EQ(reg.GetValue(kKey, L"Number", number), KX_OK);
    EXPECT_EQ(number, 0xFFFFFFFFul);

    unsigned char bytes[8];
    std::memset(bytes, kFill, sizeof bytes);
    EXPECT_EQ(reg.GetValue(kKey, L"Bytes", bytes, sizeof bytes), KX_OK);
    EXPECT_EQ(Bytes(bytes, 3), Bytes(raw, 3));
    EXPECT_EQ(bytes[3], kFill) << "only the stored bytes are written";
}

TEST_F(KxRegUtilTest, ValueNamesAreCaseInsensitive) {
    ASSERT_EQ(reg.SetValue(kKey, L"RealTimeScan", 1ul), KX_OK);
    unsigned long number = 0;
    EXPECT_EQ(reg.GetValue(kKey, L"REALTIMESCAN", number), KX_OK);
    EXPECT_EQ(number, 1ul);
    EXPECT_EQ(reg.DelValue(kKey, L"realtimescan"), KX_OK);
}

TEST_F(KxRegUtilTest, KeyPathsAreCaseInsensitive) {
    ASSERT_EQ(reg.SetValue(kKey, L"V", 3ul), KX_OK);
    unsigned long number = 0;
    EXPECT_EQ(reg.GetValue(L"software\\QUORLEND\\scutara\\2.0\\test", L"V", number), KX_OK);
    EXPECT_EQ(number, 3ul);
}

TEST_F(KxRegUtilTest, TextNeedsRoomForItsTerminator) {
    ASSERT_EQ(reg.SetValue(kKey, L"Text", L"abcd"), KX_OK);
    wchar_t exact[6];
    std::fill(exact, exact + 6, kWideFill);
    EXPECT_EQ(reg.GetValue(kKey, L"Text", exact, 5), KX_OK);
    EXPECT_STREQ(exact, L"abcd");
    EXPECT_EQ(exact[5], kWideFill) << "canary after the buffer";

    wchar_t shortBuffer[5];
    std::fill(shortBuffer, shortBuffer + 5, kWideFill);
    EXPECT_EQ(reg.GetValue(kKey, L"Text", shortBuffer, 4), KX_E_REGISTRY);
    for (wchar_t c : shortBuffer) EXPECT_EQ(c, kWideFill) << "a failed read leaves the buffer";
}

TEST_F(KxRegUtilTest, LongestTextFitsAThousandTwentyFourCharacterBuffer) {
    const std::wstring longest(1023, L'n');
    ASSERT_EQ(reg.SetValue(kKey, L"Long", longest.c_str()), KX_OK);
    std::vector<wchar_t> buffer(1025, kWideFill);
    EXPECT_EQ(reg.GetValue(kKey, L"Long", buffer.data(), 1024), KX_OK);
    EXPECT_EQ(std::wstring(buffer.data()), longest);
    EXPECT_EQ(buffer[1024], kWideFill);

    const std::wstring tooLong(1024, L'n');
    ASSERT_EQ(reg.SetValue(kKey, L"TooLong", tooLong.c_str()), KX_OK);
    std::fill(buffer.begin(), buffer.end(), kWideFill);
    EXPECT_EQ(reg.GetValue(kKey, L"TooLong", buffer.data(), 1024), KX_E_REGISTRY);
    EXPECT_EQ(buffer[0], kWideFill);
}

TEST_F(KxRegUtilTest, UnterminatedStoredTextIsTerminatedWhenItFits) {
    RawSetValue(kKey, L"Raw", REG_SZ, L"abc", 6);  // no terminator stored
    wchar_t roomy[5];
    std::fill(roomy, roomy + 5, kWideFill);
    EXPECT_EQ(reg.GetValue(kKey, L"Raw", roomy, 4), KX_OK);
    EXPECT_STREQ(roomy, L"abc");
    EXPECT_EQ(roomy[4], kWideFill);

    wchar_t tight[4];
    std::fill(tight, tight + 4, kWideFill);
    EXPECT_EQ(reg.GetValue(kKey, L"Raw", tight, 3), KX_E_REGISTRY)
        << "three characters cannot be terminated within three";
    for (wchar_t c : tight) EXPECT_EQ(c, kWideFill);
}

TEST_F(KxRegUtilTest, NumberStoredAsTwoBytesFillsOnlyItsLowBytes) {
    const unsigned char two[] = {0x34, 0x12};
    RawSetValue(kKey, L"Short", REG_BINARY, two, sizeof two);
    unsigned long number = 0xDEADBEEF;
    EXPECT_EQ(reg.GetValue(kKey, L"Short", number), KX_OK);
    EXPECT_EQ(number, 0xDEAD1234ul);
}

TEST_F(KxRegUtilTest, StoredTypeIsNotChecked) {
    ASSERT_EQ(reg.SetValue(kKey, L"Number", 0x00410042ul), KX_OK);
    wchar_t text[4] = {kWideFill, kWideFill, kWideFill, kWideFill};
    EXPECT_EQ(reg.GetValue(kKey, L"Number", text, 4), KX_OK);
    EXPECT_EQ(text[0], L'B');
    EXPECT_EQ(text[1], L'A');
    EXPECT_EQ(text[2], L'\0');
}

TEST_F(KxRegUtilTest, FailedReadsLeaveTheOutputUntouched) {
    ASSERT_EQ(reg.SetValue(kKey, L"Big", L"0123456789"), KX_OK);
    ASSERT_EQ(reg.SetValue(kKey, L"Number", 7ul), KX_OK);
    ReadOnlyPage readOnly;

    struct Case {
        const char* what;
        const wchar_t* key;
        const wchar_t* value;
        unsigned long size;
        KXSTATUS expected;
    } const cases[] = {
        {"missing key", L"SOFTWARE\\Quorlend\\Nowhere", L"Big", 32, KX_E_REGISTRY},
        {"missing value", kKey, L"Absent", 32, KX_E_REGISTRY},
        {"value larger than the buffer", kKey, L"Big", 21, KX_E_REGISTRY},
        {"zero-sized buffer", kKey, L"Big", 0, KX_E_REGISTRY},
    };
    for (const Case& c : cases) {
        unsigned char buffer[33];
        std::memset(buffer, kFill, sizeof buffer);
        EXPECT_EQ(reg.GetValue(c.key, c.value, buffer, c.size), c.expected) << c.what;
        for (unsigned char b : buffer) ASSERT_EQ(b, kFill) << c.what;
    }

    unsigned long number = 0xDEADBEEF;
    EXPECT_EQ(reg.GetValue(kKey, L"Absent", number), KX_E_REGISTRY);
    EXPECT_EQ(number, 0xDEADBEEFul);

    wchar_t text[4] = {kWideFill, kWideFill, kWideFill, kWideFill};
    EXPECT_EQ(reg.GetValue(kKey, L"Big", text, 0), KX_E_REGISTRY);
    EXPECT_EQ(text[0], kWideFill);

    EXPECT_EQ(reg.GetValue(kKey, L"Big", static_cast<wchar_t*>(nullptr), 32), KX_E_REGISTRY);
    EXPECT_EQ(reg.GetValue(kKey, L"Big", static_cast<unsigned char*>(nullptr), 32), KX_E_REGISTRY);
    EXPECT_EQ(reg.GetValue(kKey, L"Number", readOnly.As<unsigned char>(), 4), KX_E_REGISTRY)
        << "a buffer that cannot be written is refused";
    EXPECT_EQ(reg.GetValue(kKey, L"Big", readOnly.As<wchar_t>(), 32), KX_E_REGISTRY);
    EXPECT_EQ(readOnly.As<unsigned char>()[0], 'a');
}

// ---- Deletion -----------------------------------------------------------------------------

TEST_F(KxRegUtilTest, DeletesOneValueAndReportsWhatWasNotThere) {
    ASSERT_EQ(reg.SetValue(kKey, L"Gone", 1ul), KX_OK);
    ASSERT_EQ(reg.SetValue(kKey, L"Kept", 2ul), KX_OK);
    EXPECT_EQ(reg.DelValue(kKey, L"Gone"), KX_OK);
    EXPECT_EQ(reg.DelValue(kKey, L"Gone"), KX_E_REGISTRY);
    EXPECT_EQ(reg.DelValue(L"SOFTWARE\\Quorlend\\Nowhere", L"Gone"), KX_E_REGISTRY);
    EXPECT_FALSE(RawKeyExists(L"SOFTWARE\\Quorlend\\Nowhere")) << "deletion creates no key";
    unsigned long kept = 0;
    EXPECT_EQ(reg.GetValue(kKey, L"Kept", kept), KX_OK);
    EXPECT_EQ(kept, 2ul);
}

// ---- Existence by exact name or seven-character tail ----------------------------------

TEST_F(KxRegUtilTest, QueryKeyExistMatchesExactNameOrSevenCharacterTail) {
    ASSERT_EQ(reg.SetValue(kKey, L"+886912345678", L"Alice"), KX_OK);  // 13 characters
    ASSERT_EQ(reg.SetValue(kKey, L"12345", L"Short"), KX_OK);
    ASSERT_EQ(reg.SetValue(kKey, L"abcDEFG", L"Seven"), KX_OK);

    struct Case {
        const wchar_t* query;
        KXSTATUS expected;
    } const cases[] = {
        {L"+886912345678", KX_OK},       // exact
        {L"0912345678", KX_OK},          // ten digits, same tail as the stored name
        {L"2345678", KX_E_NO_MATCH},     // seven characters are matched exactly only
        {L"12345", KX_OK},               // a short stored name, exact
        {L"0000012345", KX_E_NO_MATCH},  // a stored name shorter than seven never tail-matches
        {L"abcdefg", KX_OK},             // exact matching follows the registry: any case
        {L"xxxabcdefg", KX_E_NO_MATCH},  // tail matching compares code units
        {L"xxxabcDEFG", KX_OK},
        {L"0912345670", KX_E_NO_MATCH},
        {L"", KX_E_NO_MATCH},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(reg.QueryKeyExist(kKey, c.query), c.expected)
            << testing::PrintToString(std::wstring(c.query));
    }
}

TEST_F(KxRegUtilTest, QueryKeyExistInMissingKeyIsARegistryFailure) {
    EXPECT_EQ(reg.QueryKeyExist(kKey, L"0912345678"), KX_E_REGISTRY);
    EXPECT_FALSE(RawKeyExists(kKey));
}

TEST_F(KxRegUtilTest, QueryKeyExistFindsATailOnTheLongestReadableName) {
    const std::wstring longest = std::wstring(1016, L'9') + L"1234567";  // 1023 characters
    ASSERT_EQ(reg.SetValue(kKey, longest.c_str(), L"x"), KX_OK);
    EXPECT_EQ(reg.QueryKeyExist(kKey, L"001234567"), KX_OK);
}

// ---- Walks --------------------------------------------------------------------------------

struct Seen {
    std::vector<std::wstring> names;
    std::vector<std::wstring> data;
    size_t stopAfter = 0;  // 0: never stop
};

int Collect(const wchar_t* name, const wchar_t* data, void* context) {
    auto* seen = static_cast<Seen*>(context);
    seen->names.push_back(name);
    seen->data.push_back(data);
    return seen->stopAfter != 0 && seen->names.size() >= seen->stopAfter ? 0 : 1;
}

TEST_F(KxRegUtilTest, EnumKeysVisitsEveryTextValueAndSkipsOverlongOnes) {
    const std::wstring longest(1023, L'd');
    const std::wstring overlong(1024, L'o');
    ASSERT_EQ(reg.SetValue(kKey, L"A", L"alpha"), KX_OK);
    ASSERT_EQ(reg.SetValue(kKey, L"Overlong", overlong.c_str()), KX_OK);
    ASSERT_EQ(reg.SetValue(kKey, L"Longest", longest.c_str()), KX_OK);
    ASSERT_EQ(reg.SetValue(kKey, L"Z", L"zulu"), KX_OK);

    Seen seen;
    EXPECT_EQ(reg.EnumKeys(kKey, Collect, &seen), KX_OK);
    ASSERT_EQ(seen.names.size(), 3u);
    for (size_t i = 0; i < seen.names.size(); ++i) {
        EXPECT_NE(seen.names[i], L"Overlong");
        if (seen.names[i] == L"Longest") {
            EXPECT_EQ(seen.data[i], longest);
        }
        if (seen.names[i] == L"A") {
            EXPECT_EQ(seen.data[i], L"alpha");
        }
    }
}

TEST_F(KxRegUtilTest, EnumKeysStopsWhenTheCallbackSaysSo) {
    for (const wchar_t* name : {L"1", L"2", L"3", L"4"})
        ASSERT_EQ(reg.SetValue(kKey, name, name), KX_OK);
    Seen seen;
    seen.stopAfter = 2;
    EXPECT_EQ(reg.EnumKeys(kKey, Collect, &seen), KX_OK);
    EXPECT_EQ(seen.names.size(), 2u);
}

TEST_F(KxRegUtilTest, EnumKeysRefusesNullCallbackAndMissingKey) {
    Seen seen;
    EXPECT_EQ(reg.EnumKeys(kKey, nullptr, &seen), KX_E_INVALIDARG);
    EXPECT_EQ(reg.EnumKeys(kKey, Collect, &seen), KX_E_REGISTRY);
    EXPECT_TRUE(seen.names.empty());
}

TEST_F(KxRegUtilTest, EnumSubKeyAppendsFullPathsAfterExistingEntries) {
    ASSERT_EQ(reg.SetValue(L"SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent", L"V", 1ul), KX_OK);
    ASSERT_EQ(reg.SetValue(L"SOFTWARE\\Quorlend\\Scutara\\2.0\\WapPush", L"V", 1ul), KX_OK);

    std::vector<wchar_t*> keys;
    keys.push_back(new wchar_t[8]());  // a caller's own entry stays first
    EXPECT_EQ(reg.EnumSubKey(kProductKey, keys), KX_OK);
    ASSERT_EQ(keys.size(), 3u);
    std::vector<std::wstring> paths(keys.begin() + 1, keys.end());
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths[0], L"SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent");
    EXPECT_EQ(paths[1], L"SOFTWARE\\Quorlend\\Scutara\\2.0\\WapPush");

    EXPECT_EQ(reg.ReleaseKeyList(keys), KX_OK);
    EXPECT_TRUE(keys.empty());
}

TEST_F(KxRegUtilTest, EnumSubKeyAddsNoSecondSeparator) {
    ASSERT_EQ(reg.SetValue(L"SOFTWARE\\Quorlend\\Sub", L"V", 1ul), KX_OK);
    std::vector<wchar_t*> keys;
    EXPECT_EQ(reg.EnumSubKey(L"SOFTWARE\\Quorlend\\", keys), KX_OK);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_STREQ(keys[0], L"SOFTWARE\\Quorlend\\Sub");
    reg.ReleaseKeyList(keys);
}

TEST_F(KxRegUtilTest, EnumSubKeyOfMissingKeyFailsAndAddsNothing) {
    std::vector<wchar_t*> keys;
    EXPECT_EQ(reg.EnumSubKey(kProductKey, keys), KX_E_REGISTRY);
    EXPECT_TRUE(keys.empty());
}

}  // namespace
