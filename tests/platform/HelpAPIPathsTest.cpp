// Path and file-name helpers.
#include "DeviceFixture.h"

#include <kxcommon/HelpAPI.h>

#include <algorithm>
#include <string>

namespace {

constexpr wchar_t kFill = 0xBDBD;

std::wstring OrNull(const wchar_t* p) { return p != nullptr ? std::wstring(p) : L"<null>"; }

// The extension is after the last dot past the first character (the walk does not stop at
// separators; a dot at the end gives the terminator); the name after the last backslash.
TEST(HelpAPIPaths, ExtensionAndName) {
    struct Row {
        const wchar_t *path, *ext, *name;
    } const rows[] = {
        {L"virus.exe", L"exe", L"virus.exe"},
        {L"a.tar.gz", L"gz", L"a.tar.gz"},
        {L"name.", L"", L"name."},
        {L".profile", L"<null>", L".profile"},
        {L"x", L"<null>", L"x"},
        {L"", L"<null>", L""},
        {L"ab", L"<null>", L"ab"},
        {L"\\Windows\\dir.d\\file", L"d\\file", L"file"},
        {L"\\Windows\\StartUp\\x.lnk", L"lnk", L"x.lnk"},
        {L"\\Windows\\", L"<null>", L""},
        {L"\\a/b", L"<null>", L"a/b"},  // a slash is no separator
        {L"\\", L"<null>", L""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(r.path)));
        EXPECT_EQ(OrNull(HelpAPI::GetFileExt(r.path)), r.ext);
        EXPECT_EQ(OrNull(HelpAPI::GetFileName(r.path)), r.name);
    }
    EXPECT_EQ(HelpAPI::GetFileExt(nullptr), nullptr);
    EXPECT_EQ(HelpAPI::GetFileName(static_cast<const wchar_t*>(nullptr)), nullptr);
    wchar_t writable[] = L"\\Temp\\file.txt";
    EXPECT_EQ(HelpAPI::GetFileName(writable), writable + 6) << "points into the path";
    EXPECT_EQ(HelpAPI::GetFileExt(writable), writable + 11);
}

// One separator between the parts; cut and terminated within the buffer; bad arguments leave
// the output alone ("#").
TEST(HelpAPIPaths, CatPathWithFile) {
    struct Row {
        const wchar_t *dir, *file;
        int size;
        const wchar_t* out;
    } const rows[] = {
        {L"\\Windows", L"KXSVC.dll", 64, L"\\Windows\\KXSVC.dll"},
        {L"\\Windows\\", L"KXSVC.dll", 64, L"\\Windows\\KXSVC.dll"},
        {L"\\Windows/", L"KXSVC.dll", 64, L"\\Windows/KXSVC.dll"},
        {L"", L"KXSVC.dll", 64, L"KXSVC.dll"},
        {L"\\Windows", L"", 64, L"\\Windows\\"},
        {L"\\Windows", L"KXSVC.dll", 8, L"\\Window"},
        {L"", L"KXSVC.dll", 4, L"KXS"},
        {L"\\W", L"f", 1, L""},
        {nullptr, L"f", 4, L"#"},
        {L"\\d", nullptr, 4, L"#"},
        {L"\\d", L"f", 0, L"#"},
        {L"\\d", L"f", -1, L"#"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message()
                     << OrNull(r.dir) << " + " << OrNull(r.file) << " in " << r.size);
        wchar_t out[65];
        std::fill(out, out + 65, kFill);
        HelpAPI::CatPathWithFile(r.dir, r.file, out, r.size);
        EXPECT_EQ(out[0] == kFill ? L"#" : std::wstring(out), r.out);
        EXPECT_EQ(out[std::max(r.size, 0)], r.size > 0 ? kFill : out[0]) << "past the buffer";
    }
    HelpAPI::CatPathWithFile(L"\\d", L"f", nullptr, 4);  // must not crash
}

TEST(HelpAPIPaths, AppendASeparatorAddsOnlyOne) {
    struct Row {
        const wchar_t *in, *out;
    } const rows[] = {{L"\\Windows", L"\\Windows\\"},
                      {L"\\Windows\\", L"\\Windows\\"},
                      {L"", L"\\"},
                      {L"\\dir/", L"\\dir/\\"}};
    for (const Row& r : rows) {
        wchar_t path[16];
        std::fill(path, path + 16, kFill);
        std::wcscpy(path, r.in);
        HelpAPI::AppendASeparator(path);
        EXPECT_EQ(path, std::wstring(r.out));
        EXPECT_EQ(path[std::wcslen(r.out) + 1], kFill);
    }
    HelpAPI::AppendASeparator(nullptr);  // must not fault
}

TEST(HelpAPIPaths, ShortPathAndMainModule) {
    const std::wstring hundred = L"\\" + std::wstring(99, L'p');
    const std::wstring longer = L"\\" + std::wstring(50, L'a') + std::wstring(50, L'b');
    EXPECT_EQ(GetShortPathFile(hundred.c_str()), hundred);
    EXPECT_EQ(GetShortPathFile(longer.c_str()), L"..." + longer.substr(1)) << "last hundred";
    EXPECT_EQ(GetShortPathFile(L"") + GetShortPathFile(nullptr), L"");
    // A bare file name in any case, not a path.
    for (const wchar_t* name : {L"KxMain.exe", L"KXMAIN.EXE"}) EXPECT_TRUE(IsInMainModule(name));
    for (const wchar_t* name : {L"\\Windows\\KxMain.exe", L"KxMain.ex", L"KxAgent.exe", L""})
        EXPECT_FALSE(IsInMainModule(name)) << testing::PrintToString(std::wstring(name));
    EXPECT_FALSE(IsInMainModule(nullptr));
}

class HelpAPIPathsTest : public kxtest::DeviceTest {};

// Attributes other than the directory bit do not make a directory.
TEST_F(HelpAPIPathsTest, ExistenceAndDirectoryTests) {
    const std::wstring file = kxtest::MakeScratchFile(L"present.txt");
    const std::wstring hidden = kxtest::MakeScratchFile(L"hidden.txt");
    ::SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    struct Row {
        std::wstring path;
        int access, dir;
    } const rows[] = {{file, 1, 0},
                      {hidden, 1, 0},
                      {kxtest::kScratchDir, 1, 1},
                      {L"\\kxtest\\", 1, 1},
                      {L"\\kxtest\\absent.txt", 0, 0}};
    for (const Row& r : rows) {
        EXPECT_EQ(HelpAPI::Access(r.path.c_str()), r.access) << testing::PrintToString(r.path);
        EXPECT_EQ(HelpAPI::IsDir(r.path.c_str()), r.dir) << testing::PrintToString(r.path);
    }
    EXPECT_EQ(HelpAPI::Access(nullptr) + HelpAPI::IsDir(nullptr), 0);
}

}  // namespace
