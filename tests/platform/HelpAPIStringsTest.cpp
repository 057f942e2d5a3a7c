// String helpers: the caller's number of an SMS sender text, and the three trims.
#include <kxcommon/HelpAPI.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr wchar_t kFill = 0xBDBD;

// Runs GetSMSCallId into a buffer of `size` characters followed by a canary.
std::wstring CallId(const wchar_t* sender, int size = 64) {
    std::vector<wchar_t> out(static_cast<size_t>(size) + 1, kFill);
    HelpAPI::GetSMSCallId(sender, out.data(), size);
    EXPECT_EQ(out[static_cast<size_t>(size)], kFill) << "wrote past the output";
    return std::wstring(out.data());
}

TEST(HelpAPIStrings, GetSMSCallIdTakesTheNumberOfAQuotedNameOnly) {
    const struct {
        const wchar_t* sender;
        const wchar_t* expected;
    } cases[] = {
        {L"\"Alice\" <+441234567>", L"+441234567"},
        {L"\"\" <5550100>", L"5550100"},
        {L"\"Bob <x>\" <5550101>", L"5550101"},          // brackets before the quotes are text
        {L"\"Bob\" <55\"01>0>", L"55\"01"},              // ends at the first closing bracket
        {L"+441234567", L"+441234567"},                  // bare number: whole text
        {L"Alice <+441234567>", L"Alice <+441234567>"},  // no quotes: whole text
        {L"\"Alice\" <>", L"\"Alice\" <>"},              // empty brackets: whole text
        {L"\"Alice\" <123", L"\"Alice\" <123"},          // never closed: whole text
        {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CallId(c.sender), c.expected) << testing::PrintToString(std::wstring(c.sender));
}

TEST(HelpAPIStrings, GetSMSCallIdStaysWithinItsBuffers) {
    EXPECT_EQ(CallId(L"\"A\" <123456789>", 5), L"1234") << "a long number is cut";
    EXPECT_EQ(CallId(L"+441234567", 4), L"+44") << "a long sender is cut";
    EXPECT_EQ(CallId(L"\"A\" <1>", 1), L"");

    // Only the first 259 characters of the sender count: a closing bracket beyond them is
    // never seen.
    std::wstring sender = L"\"A\" <" + std::wstring(253, L'7') + L">";
    ASSERT_EQ(sender.size(), 259u);
    EXPECT_EQ(CallId(sender.c_str(), 300), std::wstring(253, L'7'));
    sender.insert(5, L"7");
    EXPECT_EQ(CallId(sender.c_str(), 300), sender.substr(0, 259));

    wchar_t out[4] = {kFill, kFill, kFill, kFill};
    HelpAPI::GetSMSCallId(nullptr, out, 4);
    HelpAPI::GetSMSCallId(L"123", out, 0);
    EXPECT_EQ(out[0], kFill);
    HelpAPI::GetSMSCallId(L"123", nullptr, 4);  // must not crash
}

TEST(HelpAPIStrings, TrimsRemoveExactlyTheFiveWhiteSpaceCharacters) {
    const struct {
        const wchar_t* text;
        const wchar_t* bothEnds;
        const wchar_t* inner;
    } cases[] = {
        {L"  a b  ", L"a b", L"ab"},
        {L"\t\r\n\f x\ty \n", L"x\ty", L"xy"},
        {L"   ", L"", L""},
        {L"", L"", L""},
        {L"abc", L"abc", L"abc"},
        {L"\va\v", L"\va\v", L"\va\v"},  // vertical tab is not white space here
        {L"\x00A0x", L"\x00A0x", L"\x00A0x"},
        {L" +44 123\r\n456 ", L"+44 123\r\n456", L"+44123456"},
    };
    for (const auto& c : cases) {
        const std::string label = testing::PrintToString(std::wstring(c.text));
        std::wstring s = c.text;
        HelpAPI::Str_TrimAll(s);
        EXPECT_EQ(s, c.bothEnds) << label;

        std::vector<wchar_t> buffer(c.text, c.text + std::wcslen(c.text) + 1);
        buffer.push_back(kFill);
        HelpAPI::StrTrimAll(buffer.data());
        EXPECT_EQ(std::wstring(buffer.data()), c.bothEnds) << label;
        EXPECT_EQ(buffer.back(), kFill) << label;

        std::vector<wchar_t> inner(c.text, c.text + std::wcslen(c.text) + 1);
        HelpAPI::StrTrimInerStr(inner.data());
        EXPECT_EQ(std::wstring(inner.data()), c.inner) << label;
    }
    HelpAPI::StrTrimAll(nullptr);
    HelpAPI::StrTrimInerStr(nullptr);
}

}  // namespace
