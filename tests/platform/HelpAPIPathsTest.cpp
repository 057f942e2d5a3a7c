// Path and file-name helpers, and the fixed names a scan leaves out.
#include "DeviceFixture.h"

#include <kxcommon/HelpAPI.h>

using kxtest::MakeScratchFile;

static constexpr wchar_t kFill = 0xBDBD;

static std::wstring OrNull(const wchar_t* p) { return p != nullptr ? std::wstring(p) : L"<null>"; }

// The answers of the helpers that take one path, as text.
static std::wstring ExtName(const wchar_t* p) {
    return OrNull(HelpAPI::GetFileExt(p)) + L"|" + OrNull(HelpAPI::GetFileName(p));
}
static std::wstring Short(const wchar_t* p) { return GetShortPathFile(p); }
static std::wstring Main(const wchar_t* p) { return std::to_wstring(IsInMainModule(p)); }
static std::wstring AccessDir(const wchar_t* p) {
    return std::to_wstring(HelpAPI::Access(p)) + std::to_wstring(HelpAPI::IsDir(p));
}
static std::wstring Rom(const wchar_t* p) { return std::to_wstring(HelpAPI::isRomFile(p)); }
static std::wstring Ignored(const wchar_t* p) {
    return std::to_wstring(HelpAPI::isIgnoreFile(p)) + std::to_wstring(HelpAPI::isIgnoreDllFile(p));
}
// One separator added, and nothing written past it.
static std::wstring Append(const wchar_t* p) {
    wchar_t path[16];
    std::fill(path, path + 16, kFill);
    std::wcscpy(path, p);
    HelpAPI::AppendASeparator(path);
    return path[std::wcslen(path) + 1] == kFill ? path : L"<past>";
}

class HelpAPIPathsTest : public kxtest::DeviceTest {};

// The extension is after the last dot past the first character (the walk does not stop at
// separators; a dot at the end gives the terminator); the name after the last backslash. A
// short path keeps the last hundred characters. The main module is a bare file name in any
// case. Attributes other than the directory bit do not make a directory. ROM files are what
// the device says. The system's service
// program is left out by its whole path; the product's own libraries by name, in any case and
// any folder.
TEST_F(HelpAPIPathsTest, OnePathAnswers) {
    const std::wstring hidden = MakeScratchFile(L"hidden.txt"), mod = MakeScratchFile(L"m.dll");
    const std::wstring indexed = MakeScratchFile(L"ci.dll"), inRom = MakeScratchFile(L"in.dll");
    ::SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(WinceMarkRomFile(inRom.c_str(), FILE_ATTRIBUTE_INROM));
    ASSERT_TRUE(WinceMarkRomFile(mod.c_str(), FILE_ATTRIBUTE_ROMMODULE));
    ASSERT_TRUE(::SetFileAttributesW(indexed.c_str(), FILE_ATTRIBUTE_NOT_CONTENT_INDEXED));
    // One more than a short path keeps: the first character goes.
    const std::wstring hundred = L"\\" + std::wstring(99, L'p'), longer = hundred + L"x";
    const struct Row {
        std::wstring (*f)(const wchar_t*);
        std::wstring in, out;
    } rows[] = {
        {ExtName, L"a.tar.gz", L"gz|a.tar.gz"},
        {ExtName, L"name.", L"|name."},
        {ExtName, L".profile", L"<null>|.profile"},
        {ExtName, L"", L"<null>|"},
        {ExtName, L"\\Windows\\dir.d\\file", L"d\\file|file"},
        {ExtName, L"\\Windows\\", L"<null>|"},
        {ExtName, L"\\a/b", L"<null>|a/b"},  // a slash is no separator
        {Append, L"\\Windows", L"\\Windows\\"},
        {Append, L"\\Windows\\", L"\\Windows\\"},
        {Append, L"", L"\\"},
        {Append, L"\\dir/", L"\\dir/\\"},
        {Short, hundred, hundred},
        {Short, longer, L"..." + longer.substr(1)},
        {Short, L"", L""},
        {Main, L"KXMAIN.EXE", L"1"},
        {Main, L"\\Windows\\KxMain.exe", L"0"},
        {Main, L"KxMain.ex", L"0"},
        {Main, L"KxAgent.exe", L"0"},
        {AccessDir, hidden, L"10"},
        {AccessDir, kxtest::kScratchDir, L"11"},
        {AccessDir, L"\\kxtest\\", L"11"},
        {AccessDir, L"\\kxtest\\absent.txt", L"00"},
        {Rom, hidden, L"0"},
        {Rom, indexed, L"0"},  // the desktop's own meaning of the ROM bits is not ROM
        {Rom, inRom, L"1"},
        {Rom, mod, L"1"},
        {Rom, L"\\kxtest\\absent.dll", L"1"},  // unreadable files count as ROM
        {Ignored, L"\\WINDOWS\\Service.exe", L"10"},
        {Ignored, L"service.exe", L"00"},
        {Ignored, L"zrapice.dll", L"01"},
        {Ignored, L"\\Windows\\ZRAPICE.DLL", L"01"},
        {Ignored, L"\\Program Files\\kxupdate.dll", L"01"},
        {Ignored, L"\\Windows\\zrapice.dll.bak", L"00"},
        // Names are compared unit for unit ignoring case, never by a collation that passes
        // over a soft hyphen (U+00AD) inside them.
        {Ignored, L"\\Windows\\ser\u00ADvice.exe", L"00"},
        {Ignored, L"\\Windows\\KX\u00ADSVC.dll", L"00"},
        {Main, L"Kx\u00ADMain.exe", L"0"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.f(r.in.c_str()), r.out) << testing::PrintToString(r.in);
    EXPECT_EQ(ExtName(nullptr) + Short(nullptr) + Main(nullptr) + AccessDir(nullptr) +
                  Ignored(nullptr) + Rom(nullptr),
              L"<null>|<null>000001");
    HelpAPI::AppendASeparator(nullptr);  // must not fault
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
        {L"\\W", L"f", 1, L""},
        {nullptr, L"f", 4, L"#"},
        {L"\\d", nullptr, 4, L"#"},
        {L"\\d", L"f", 0, L"#"},
    };
    for (const Row& r : rows) {
        std::wstring out(65, kFill);
        HelpAPI::CatPathWithFile(r.dir, r.file, &out[0], r.size);
        if (r.size > 0 && out[r.size] != kFill) out = L"past the buffer";
        EXPECT_EQ(std::wstring(out[0] == kFill ? L"#" : out.c_str()), r.out)
            << OrNull(r.dir) << " + " << OrNull(r.file) << " in " << r.size;
    }
    HelpAPI::CatPathWithFile(L"\\d", L"f", nullptr, 4);  // must not crash
}
