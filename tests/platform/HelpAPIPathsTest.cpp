// Path and file-name helpers, and the fixed names a scan leaves out.
#include "DeviceFixture.h"

#include <kxcommon/HelpAPI.h>

namespace {

constexpr wchar_t kFill = 0xBDBD;

// A helper that answers for one path: with a number, or with a text (null when it answers null).
struct Question {
    const char* function;
    int (*number)(const wchar_t* path);
    const wchar_t* (*text)(const wchar_t* path);
};
const Question kFileExt{"GetFileExt", nullptr,
                        [](const wchar_t* path) { return HelpAPI::GetFileExt(path); }};
const Question kFileName{"GetFileName", nullptr,
                         [](const wchar_t* path) { return HelpAPI::GetFileName(path); }};
const Question kShortPath{"GetShortPathFile", nullptr, [](const wchar_t* path) {
                              static std::wstring shortened;
                              shortened = GetShortPathFile(path);
                              return shortened.c_str();
                          }};
const Question kMainModule{"IsInMainModule",
                           [](const wchar_t* path) { return IsInMainModule(path) ? 1 : 0; }};
const Question kAccess{"Access", HelpAPI::Access};
const Question kIsDir{"IsDir", HelpAPI::IsDir};
const Question kRomFile{"isRomFile", HelpAPI::isRomFile};
const Question kServiceHost{"isIgnoreFile", HelpAPI::isIgnoreFile};
const Question kProductModule{"isIgnoreDllFile", HelpAPI::isIgnoreDllFile};

struct PathRow {
    Question question;
    const wchar_t* path;
    int number;           // the answer of a question answered with a number
    const wchar_t* text;  // the answer of a question answered with a text
};

std::string Shown(const wchar_t* text) {
    return text ? testing::PrintToString(std::wstring(text)) : "null";
}

::testing::AssertionResult AnswersFor(const PathRow& row) {
    std::string got = Shown(row.question.text ? row.question.text(row.path) : nullptr);
    std::string expected = Shown(row.text);
    if (row.question.number != nullptr) {
        got = std::to_string(row.question.number(row.path));
        expected = std::to_string(row.number);
    }
    if (got == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << row.question.function << "(" << Shown(row.path)
                                         << ") answered " << got << ", expected " << expected;
}

class HelpAPIPathsTest : public kxtest::DeviceTest {};

// The extension is after the last dot past the first character (the walk does not stop at
// separators; a dot at the end gives the terminator); the name after the last backslash. A
// short path keeps the last hundred characters. The main module is a bare file name in any case.
// Attributes other than the directory bit do not make a directory. ROM files are what the device
// says, and unreadable files count as ROM. The system's service program is left out by its whole
// path; the product's own libraries by name, in any case and any folder. Names are compared unit
// for unit ignoring case, never by a collation that passes over a soft hyphen.
TEST_F(HelpAPIPathsTest, OnePathAnswers) {
    const std::wstring hidden = kxtest::MakeScratchFile(L"hidden.txt");
    const std::wstring romModule = kxtest::MakeScratchFile(L"m.dll");
    const std::wstring inRom = kxtest::MakeScratchFile(L"in.dll");
    ::SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(WinceMarkRomFile(inRom.c_str(), FILE_ATTRIBUTE_INROM));
    ASSERT_TRUE(WinceMarkRomFile(romModule.c_str(), FILE_ATTRIBUTE_ROMMODULE));
    // One more than a short path keeps: the first character goes.
    const std::wstring hundred = L"\\" + std::wstring(99, L'p'), longer = hundred + L"x";
    const std::wstring shortened = L"..." + longer.substr(1);
    const PathRow rows[] = {
        {.question = kFileExt, .path = L"a.tar.gz", .text = L"gz"},
        {.question = kFileExt, .path = L"name.", .text = L""},
        {.question = kFileExt, .path = L".profile", .text = nullptr},
        {.question = kFileExt, .path = L"\\Windows\\dir.d\\file", .text = L"d\\file"},
        {.question = kFileExt, .path = nullptr, .text = nullptr},
        {.question = kFileName, .path = L"\\Windows\\dir.d\\file", .text = L"file"},
        {.question = kFileName, .path = L"\\a/b", .text = L"a/b"},  // a slash is no separator
        {.question = kFileName, .path = nullptr, .text = nullptr},
        {.question = kShortPath, .path = hundred.c_str(), .text = hundred.c_str()},
        {.question = kShortPath, .path = longer.c_str(), .text = shortened.c_str()},
        {.question = kShortPath, .path = nullptr, .text = L""},
        {.question = kMainModule, .path = L"KXMAIN.EXE", .number = 1},
        {.question = kMainModule, .path = L"\\Windows\\KxMain.exe", .number = 0},
        {.question = kMainModule, .path = L"KxMain.ex", .number = 0},
        {.question = kMainModule, .path = L"Kx\u00ADMain.exe", .number = 0},
        {.question = kMainModule, .path = nullptr, .number = 0},
        {.question = kAccess, .path = hidden.c_str(), .number = 1},
        {.question = kAccess, .path = L"\\kxtest\\absent.txt", .number = 0},
        {.question = kAccess, .path = nullptr, .number = 0},
        {.question = kIsDir, .path = hidden.c_str(), .number = 0},
        {.question = kIsDir, .path = L"\\kxtest\\", .number = 1},
        {.question = kIsDir, .path = L"\\kxtest\\absent.txt", .number = 0},
        {.question = kIsDir, .path = nullptr, .number = 0},
        {.question = kRomFile, .path = hidden.c_str(), .number = 0},
        {.question = kRomFile, .path = inRom.c_str(), .number = 1},
        {.question = kRomFile, .path = romModule.c_str(), .number = 1},
        {.question = kRomFile, .path = L"\\kxtest\\absent.dll", .number = 1},
        {.question = kRomFile, .path = nullptr, .number = 1},
        {.question = kServiceHost, .path = L"\\WINDOWS\\Service.exe", .number = 1},
        {.question = kServiceHost, .path = L"service.exe", .number = 0},
        {.question = kServiceHost, .path = nullptr, .number = 0},
        {.question = kProductModule, .path = L"\\Windows\\ZRAPICE.DLL", .number = 1},
        {.question = kProductModule, .path = L"\\Program Files\\kxupdate.dll", .number = 1},
        {.question = kProductModule, .path = L"\\Windows\\zrapice.dll.bak", .number = 0},
        {.question = kProductModule, .path = nullptr, .number = 0},
    };
    for (const PathRow& row : rows) EXPECT_TRUE(AnswersFor(row));
    wchar_t writable[] = L"\\Temp\\file.txt";
    EXPECT_EQ(HelpAPI::GetFileName(writable), writable + 6) << "GetFileName points into the path";
    EXPECT_EQ(HelpAPI::GetFileExt(writable), writable + 11) << "GetFileExt points into the path";
}

struct SeparatorRow {
    const wchar_t* path;
    const wchar_t* result;
};

// One separator added, and nothing written past it.
::testing::AssertionResult AppendsOne(const SeparatorRow& row) {
    std::wstring buffer(16, kFill);
    std::wcscpy(&buffer[0], row.path);
    HelpAPI::AppendASeparator(&buffer[0]);
    const std::wstring got = buffer.c_str();
    if (got == row.result && buffer[got.size() + 1] == kFill) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "AppendASeparator made " << Shown(row.path) << " into " << testing::PrintToString(got)
           << ", expected " << Shown(row.result) << " with nothing written after it";
}

TEST(HelpAPIPaths, AppendASeparator) {
    const SeparatorRow rows[] = {
        {.path = L"\\Windows", .result = L"\\Windows\\"},
        {.path = L"\\Windows\\", .result = L"\\Windows\\"},
        {.path = L"", .result = L"\\"},
        {.path = L"\\dir/", .result = L"\\dir/\\"},
    };
    for (const SeparatorRow& row : rows) EXPECT_TRUE(AppendsOne(row));
    HelpAPI::AppendASeparator(nullptr);  // must not fault
}

struct JoinRow {
    const wchar_t *dir, *file;  // the directory and the file name joined
    int size;                   // the output's capacity in characters
    const wchar_t* out;         // what is written, null: the output is left alone
};

::testing::AssertionResult Joins(const JoinRow& row) {
    std::wstring out(65, kFill);
    HelpAPI::CatPathWithFile(row.dir, row.file, &out[0], row.size);
    const bool untouched = out == std::wstring(65, kFill);
    const std::wstring got = untouched ? L"" : out.c_str();
    const bool past = row.size > 0 && out[row.size] != kFill;
    if (!past && (row.out ? !untouched && got == row.out : untouched))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "CatPathWithFile(" << Shown(row.dir) << ", " << Shown(row.file) << ") into "
           << row.size << " wrote " << (untouched ? "nothing" : testing::PrintToString(got))
           << (past ? " and past the buffer" : "") << ", expected " << Shown(row.out);
}

// One separator between the parts; cut and terminated within the buffer; bad arguments leave
// the output alone.
TEST(HelpAPIPaths, CatPathWithFile) {
    const JoinRow rows[] = {
        {.dir = L"\\Windows", .file = L"KXSVC.dll", .size = 64, .out = L"\\Windows\\KXSVC.dll"},
        {.dir = L"\\Windows\\", .file = L"KXSVC.dll", .size = 64, .out = L"\\Windows\\KXSVC.dll"},
        {.dir = L"\\Windows/", .file = L"KXSVC.dll", .size = 64, .out = L"\\Windows/KXSVC.dll"},
        {.dir = L"", .file = L"KXSVC.dll", .size = 64, .out = L"KXSVC.dll"},
        {.dir = L"\\Windows", .file = L"KXSVC.dll", .size = 8, .out = L"\\Window"},
        {.dir = L"\\W", .file = L"f", .size = 1, .out = L""},
        {.dir = nullptr, .file = L"f", .size = 4, .out = nullptr},
        {.dir = L"\\d", .file = nullptr, .size = 4, .out = nullptr},
        {.dir = L"\\d", .file = L"f", .size = 0, .out = nullptr},
    };
    for (const JoinRow& row : rows) EXPECT_TRUE(Joins(row));
    HelpAPI::CatPathWithFile(L"\\d", L"f", nullptr, 4);  // must not crash
}

}  // namespace
