// String helpers: the caller's number of an SMS sender text, and the three trims.
#include <kxcommon/HelpAPI.h>

#include <gtest/gtest.h>

static constexpr wchar_t kFill = 0xBDBD;

// The number of a quoted name in angle brackets ending at the first closing bracket, else the
// whole text; cut to the buffer; only the first 259 characters of the sender count. Without a
// sender or room nothing is written ("#"), and nothing ever past the buffer.
TEST(HelpAPIStrings, GetSMSCallId) {
    const std::wstring longNumber = L"\"A\" <" + std::wstring(253, L'7') + L">";
    const std::wstring tooLong = L"\"A\" <" + std::wstring(254, L'7') + L">";
    struct Row {
        const wchar_t* sender;
        int size;
        std::wstring id;
    } const rows[] = {{L"\"Alice\" <+441234567>", 64, L"+441234567"},
                      {L"\"Bob <x>\" <5550101>", 64, L"5550101"},
                      {L"\"Bob\" <55\"01>0>", 64, L"55\"01"},
                      {L"+441234567", 64, L"+441234567"},
                      {L"Alice <+441234567>", 64, L"Alice <+441234567>"},
                      {L"\"Alice\" <>", 64, L"\"Alice\" <>"},
                      {L"\"Alice\" <123", 64, L"\"Alice\" <123"},
                      {L"", 64, L""},
                      {L"\"A\" <123456789>", 5, L"1234"},
                      {L"\"A\" <1>", 1, L""},
                      {longNumber.c_str(), 300, std::wstring(253, L'7')},
                      {tooLong.c_str(), 300, tooLong.substr(0, 259)},
                      {nullptr, 4, L"#"},
                      {L"123", 0, L"#"}};
    for (const Row& r : rows) {
        std::vector<wchar_t> out(r.size + 1, kFill);
        HelpAPI::GetSMSCallId(r.sender, out.data(), r.size);
        const std::wstring past = out[r.size] == kFill ? L"" : L" past";
        EXPECT_EQ(out[0] == kFill ? L"#" : out.data() + past, r.id)
            << testing::PrintToString(std::wstring(r.sender ? r.sender : L"<null>"));
    }
    HelpAPI::GetSMSCallId(L"123", nullptr, 4);  // must not crash
}

// Space, tab, CR, LF and form feed only: not the vertical tab nor U+00A0. Nothing is written
// past the terminator.
TEST(HelpAPIStrings, TrimsRemoveExactlyTheFiveWhiteSpaceCharacters) {
    struct Row {
        const wchar_t *text, *ends, *inner;
    } const rows[] = {{L"  a b  ", L"a b", L"ab"},
                      {L"\t\r\n\f x\ty \n", L"x\ty", L"xy"},
                      {L"   ", L"", L""},
                      {L"", L"", L""},
                      {L"\va\v", L"\va\v", L"\va\v"},
                      {L"\x00A0x", L"\x00A0x", L"\x00A0x"}};
    for (const Row& r : rows) {
        std::wstring s = r.text;
        HelpAPI::Str_TrimAll(s);
        std::vector<wchar_t> ends(r.text, r.text + std::wcslen(r.text) + 1), inner = ends;
        ends.push_back(kFill);
        HelpAPI::StrTrimAll(ends.data());
        HelpAPI::StrTrimInerStr(inner.data());
        EXPECT_EQ(s + L"|" + ends.data() + L"|" + inner.data() + ends.back(),
                  std::wstring(r.ends) + L"|" + r.ends + L"|" + r.inner + kFill)
            << testing::PrintToString(std::wstring(r.text));
    }
    HelpAPI::StrTrimAll(nullptr);
    HelpAPI::StrTrimInerStr(nullptr);
}
