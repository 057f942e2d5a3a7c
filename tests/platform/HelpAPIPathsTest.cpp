// Path and file-name helpers.
#include "DeviceFixture.h"

#include <kxcommon/HelpAPI.h>

#include <algorithm>
#include <string>

namespace {

constexpr wchar_t kFill = 0xBDBD;

class HelpAPIPathsTest : public kxtest::DeviceTest {};

std::wstring OrNull(const wchar_t* p) { return p != nullptr ? std::wstring(p) : L"<null>"; }

TEST(HelpAPIPaths, GetFileExtFindsTheLastDotAfterTheFirstCharacter) {
    struct Case {
        const wchar_t* path;
        const wchar_t* expected;  // text after the dot, or null
    } const cases[] = {
        {L"virus.exe", L"exe"},
        {L"a.tar.gz", L"gz"},
        {L"name.", L""},         // dot at the end: the terminator
        {L".profile", nullptr},  // a dot at index 0 is no extension
        {L"x", nullptr},         // fewer than two characters
        {L"", nullptr},
        {L"ab", nullptr},
        {L"\\Windows\\dir.d\\file", L"d\\file"},  // the walk does not stop at separators
        {L"\\Windows\\StartUp\\x.lnk", L"lnk"},
    };
    for (const Case& c : cases) {
        const wchar_t* got = HelpAPI::GetFileExt(c.path);
        if (c.expected == nullptr) {
            EXPECT_EQ(got, nullptr) << testing::PrintToString(std::wstring(c.path));
        } else {
            ASSERT_NE(got, nullptr) << testing::PrintToString(std::wstring(c.path));
            EXPECT_EQ(std::wstring(got), c.expected);
            EXPECT_TRUE(got >= c.path && got <= c.path + std::wcslen(c.path)) << "points into";
        }
    }
    EXPECT_EQ(HelpAPI::GetFileExt(nullptr), nullptr);
}

TEST(HelpAPIPaths, GetFileNameTakesTheTextAfterTheLastBackslash) {
    struct Case {
        const wchar_t* path;
        const wchar_t* expected;
    } const cases[] = {
        {L"\\Windows\\StartUp\\x.lnk", L"x.lnk"},
        {L"\\Windows\\", L""},
        {L"KxMain.exe", L"KxMain.exe"},
        {L"", L""},
        {L"\\a/b", L"a/b"},  // a slash is no separator here
        {L"\\", L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(OrNull(HelpAPI::GetFileName(c.path)), c.expected)
            << testing::PrintToString(std::wstring(c.path));
    }
    EXPECT_EQ(HelpAPI::GetFileName(static_cast<const wchar_t*>(nullptr)), nullptr);

    wchar_t writable[] = L"\\Temp\\file.txt";
    wchar_t* name = HelpAPI::GetFileName(writable);
    ASSERT_EQ(name, writable + 6);
    name[0] = L'F';
    EXPECT_STREQ(writable, L"\\Temp\\File.txt");
}

TEST(HelpAPIPaths, CatPathWithFileJoinsWithOneSeparator) {
    struct Case {
        const wchar_t* directory;
        const wchar_t* file;
        const wchar_t* expected;
    } const cases[] = {
        {L"\\Windows", L"KXSVC.dll", L"\\Windows\\KXSVC.dll"},
        {L"\\Windows\\", L"KXSVC.dll", L"\\Windows\\KXSVC.dll"},
        {L"\\Windows/", L"KXSVC.dll", L"\\Windows/KXSVC.dll"},
        {L"", L"KXSVC.dll", L"KXSVC.dll"},
        {L"\\Windows", L"", L"\\Windows\\"},
    };
    for (const Case& c : cases) {
        wchar_t out[64];
        HelpAPI::CatPathWithFile(c.directory, c.file, out, 64);
        EXPECT_STREQ(out, c.expected);
    }
}

TEST(HelpAPIPaths, CatPathWithFileCutsAndTerminatesWithinTheBuffer) {
    wchar_t out[9];
    std::fill(out, out + 9, kFill);
    HelpAPI::CatPathWithFile(L"\\Windows", L"KXSVC.dll", out, 8);
    EXPECT_STREQ(out, L"\\Window");  // seven characters and the terminator
    EXPECT_EQ(out[8], kFill) << "canary after the buffer";

    std::fill(out, out + 9, kFill);
    HelpAPI::CatPathWithFile(L"", L"KXSVC.dll", out, 4);
    EXPECT_STREQ(out, L"KXS");
    EXPECT_EQ(out[4], kFill);

    std::fill(out, out + 9, kFill);
    HelpAPI::CatPathWithFile(L"\\W", L"f", out, 1);
    EXPECT_EQ(out[0], L'\0');
    EXPECT_EQ(out[1], kFill);
}

TEST(HelpAPIPaths, CatPathWithFileLeavesOutputAloneOnBadArguments) {
    wchar_t out[4] = {kFill, kFill, kFill, kFill};
    HelpAPI::CatPathWithFile(nullptr, L"f", out, 4);
    HelpAPI::CatPathWithFile(L"\\d", nullptr, out, 4);
    HelpAPI::CatPathWithFile(L"\\d", L"f", out, 0);
    HelpAPI::CatPathWithFile(L"\\d", L"f", out, -1);
    HelpAPI::CatPathWithFile(L"\\d", L"f", nullptr, 4);
    for (wchar_t c : out) EXPECT_EQ(c, kFill);
}

TEST(HelpAPIPaths, AppendASeparatorAddsOnlyOne) {
    wchar_t path[16] = L"\\Windows";
    HelpAPI::AppendASeparator(path);
    EXPECT_STREQ(path, L"\\Windows\\");
    HelpAPI::AppendASeparator(path);
    EXPECT_STREQ(path, L"\\Windows\\");

    wchar_t empty[4] = {L'\0', kFill, kFill, kFill};
    HelpAPI::AppendASeparator(empty);
    EXPECT_STREQ(empty, L"\\");
    EXPECT_EQ(empty[2], kFill);

    wchar_t slash[8] = L"\\dir/";
    HelpAPI::AppendASeparator(slash);
    EXPECT_STREQ(slash, L"\\dir/\\");
    HelpAPI::AppendASeparator(nullptr);  // must not fault
}

TEST(HelpAPIPaths, ShortPathKeepsTheLastHundredCharacters) {
    const std::wstring hundred = L"\\" + std::wstring(99, L'p');
    EXPECT_EQ(GetShortPathFile(hundred.c_str()), hundred);

    const std::wstring longer = L"\\" + std::wstring(50, L'a') + std::wstring(50, L'b');
    ASSERT_EQ(longer.size(), 101u);
    const std::wstring shortened = GetShortPathFile(longer.c_str());
    EXPECT_EQ(shortened.size(), 103u);
    EXPECT_EQ(shortened, L"..." + longer.substr(1));

    EXPECT_EQ(GetShortPathFile(L""), L"");
    EXPECT_EQ(GetShortPathFile(nullptr), L"");
}

TEST(HelpAPIPaths, MainModuleIsRecognisedInAnyCase) {
    EXPECT_TRUE(IsInMainModule(L"KxMain.exe"));
    EXPECT_TRUE(IsInMainModule(L"KXMAIN.EXE"));
    EXPECT_FALSE(IsInMainModule(L"\\Windows\\KxMain.exe")) << "a bare file name, not a path";
    EXPECT_FALSE(IsInMainModule(L"KxMain.ex"));
    EXPECT_FALSE(IsInMainModule(L"KxAgent.exe"));
    EXPECT_FALSE(IsInMainModule(nullptr));
}

TEST_F(HelpAPIPathsTest, ExistenceAndDirectoryTests) {
    const std::wstring file = kxtest::MakeScratchFile(L"present.txt");
    const std::wstring dir = kxtest::kScratchDir;

    EXPECT_EQ(HelpAPI::Access(file.c_str()), 1);
    EXPECT_EQ(HelpAPI::IsDir(file.c_str()), 0);
    EXPECT_EQ(HelpAPI::Access(dir.c_str()), 1);
    EXPECT_EQ(HelpAPI::IsDir(dir.c_str()), 1);
    EXPECT_EQ(HelpAPI::IsDir((dir + L"\\").c_str()), 1);

    const std::wstring absent = dir + L"\\absent.txt";
    EXPECT_EQ(HelpAPI::Access(absent.c_str()), 0);
    EXPECT_EQ(HelpAPI::IsDir(absent.c_str()), 0);
    EXPECT_EQ(HelpAPI::Access(nullptr), 0);
    EXPECT_EQ(HelpAPI::IsDir(nullptr), 0);

    // Attributes other than the directory bit do not make a directory.
    ASSERT_TRUE(
        ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(HelpAPI::IsDir(file.c_str()), 0);
    EXPECT_EQ(HelpAPI::Access(file.c_str()), 1);
}

}  // namespace
