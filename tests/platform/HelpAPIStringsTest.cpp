// String helpers: the caller's number of an SMS sender text, and the three trims.
#include <kxcommon/HelpAPI.h>

#include <gtest/gtest.h>

namespace {

constexpr wchar_t kFill = 0xBDBD;

struct CallIdRow {
    const wchar_t* sender;
    int size;           // the output's capacity in characters
    const wchar_t* id;  // what is written, null: the output is left alone
};

::testing::AssertionResult FindsNumber(const CallIdRow& row) {
    std::vector<wchar_t> out(row.size + 1, kFill);
    HelpAPI::GetSMSCallId(row.sender, out.data(), row.size);
    const bool untouched = out[0] == kFill, past = out[row.size] != kFill;
    const std::wstring got = untouched ? L"" : out.data();
    if (!past && (row.id ? !untouched && got == row.id : untouched))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "GetSMSCallId(" << testing::PrintToString(row.sender) << ") into " << row.size
           << " wrote " << (untouched ? "nothing" : testing::PrintToString(got))
           << (past ? " and past the buffer" : "") << ", expected "
           << testing::PrintToString(row.id);
}

// The number of a quoted name in angle brackets ending at the first closing bracket, else the
// whole text; cut to the buffer; only the first 259 characters of the sender count. Without a
// sender or room nothing is written, and nothing ever past the buffer.
TEST(HelpAPIStrings, GetSMSCallId) {
    const std::wstring longNumber = L"\"A\" <" + std::wstring(253, L'7') + L">";
    const std::wstring tooLong = L"\"A\" <" + std::wstring(254, L'7') + L">";
    const std::wstring longId(253, L'7'), tooLongCut = tooLong.substr(0, 259);
    const CallIdRow rows[] = {
        {.sender = L"\"Alice\" <+441234567>", .size = 64, .id = L"+441234567"},
        {.sender = L"\"Bob <x>\" <5550101>", .size = 64, .id = L"5550101"},
        {.sender = L"\"Bob\" <55\"01>0>", .size = 64, .id = L"55\"01"},
        {.sender = L"Alice <+441234567>", .size = 64, .id = L"Alice <+441234567>"},
        {.sender = L"\"Alice\" <>", .size = 64, .id = L"\"Alice\" <>"},
        {.sender = L"\"Alice\" <123", .size = 64, .id = L"\"Alice\" <123"},
        {.sender = L"\"A\" <123456789>", .size = 5, .id = L"1234"},
        {.sender = L"\"A\" <1>", .size = 1, .id = L""},
        {.sender = longNumber.c_str(), .size = 300, .id = longId.c_str()},
        {.sender = tooLong.c_str(), .size = 300, .id = tooLongCut.c_str()},
        {.sender = nullptr, .size = 4, .id = nullptr},
        {.sender = L"123", .size = 0, .id = nullptr},
    };
    for (const CallIdRow& row : rows) EXPECT_TRUE(FindsNumber(row));
    HelpAPI::GetSMSCallId(L"123", nullptr, 4);  // must not crash
}

struct TrimRow {
    const wchar_t* text;
    const wchar_t* trimmed;   // by Str_TrimAll and StrTrimAll: white space gone from both ends
    const wchar_t* squeezed;  // by StrTrimInerStr: every white-space character gone
};

::testing::AssertionResult Trims(const TrimRow& row) {
    std::wstring text = row.text;
    HelpAPI::Str_TrimAll(text);
    std::vector<wchar_t> ends(row.text, row.text + std::wcslen(row.text) + 1), inner = ends;
    ends.push_back(kFill);
    HelpAPI::StrTrimAll(ends.data());
    HelpAPI::StrTrimInerStr(inner.data());
    if (text == row.trimmed && std::wstring(ends.data()) == row.trimmed && ends.back() == kFill &&
        std::wstring(inner.data()) == row.squeezed)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "from " << testing::PrintToString(row.text) << " Str_TrimAll made "
           << testing::PrintToString(text) << ", StrTrimAll "
           << testing::PrintToString(std::wstring(ends.data()))
           << (ends.back() == kFill ? "" : " writing past the terminator") << ", StrTrimInerStr "
           << testing::PrintToString(std::wstring(inner.data())) << "; expected "
           << testing::PrintToString(row.trimmed) << " and "
           << testing::PrintToString(row.squeezed);
}

// Space, tab, CR, LF and form feed only: not the vertical tab nor U+00A0. Nothing is written
// past the terminator.
TEST(HelpAPIStrings, TrimsRemoveExactlyTheFiveWhiteSpaceCharacters) {
    const TrimRow rows[] = {
        {.text = L"\t\r\n\f x\ty \n", .trimmed = L"x\ty", .squeezed = L"xy"},
        {.text = L"   ", .trimmed = L"", .squeezed = L""},
        {.text = L"", .trimmed = L"", .squeezed = L""},
        {.text = L"\x00A0x\v", .trimmed = L"\x00A0x\v", .squeezed = L"\x00A0x\v"},
    };
    for (const TrimRow& row : rows) EXPECT_TRUE(Trims(row));
    HelpAPI::StrTrimAll(nullptr);
    HelpAPI::StrTrimInerStr(nullptr);
}

}  // namespace
