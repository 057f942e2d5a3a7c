// Version number formats and the option index tables.
#include <gtest/gtest.h>

#include <kxcommon/FmtVer.h>
#include <kxcommon/Options.h>

#include <string>

namespace {

using Text = std::basic_string<unsigned short>;

Text U(const char* ascii) {
    Text t;
    for (; *ascii; ++ascii) t += static_cast<unsigned short>(*ascii);
    return t;
}

std::string A(const unsigned short* text) {
    std::string s;
    for (; *text; ++text) s += static_cast<char>(*text);
    return s;
}

constexpr unsigned short kFill = 0xBDBD;

TEST(FmtVer, PackedVersionToTextAndBack) {
    unsigned short text[32];
    EXPECT_EQ(FmtVer::Convert(0x20000ul, 1050ul, text, 32), 10);
    EXPECT_EQ(A(text), "2.0.0.1050");

    unsigned long high = 0, low = 0;
    EXPECT_EQ(FmtVer::Convert(U("2.0.0.1050").c_str(), high, low), 4);
    EXPECT_EQ(high, 0x20000ul);
    EXPECT_EQ(low, 1050ul);

    EXPECT_EQ(FmtVer::Convert(0xFFFFFFFFul, 0xFFFFFFFFul, text, 32), 23);
    EXPECT_EQ(A(text), "65535.65535.65535.65535");
}

TEST(FmtVer, ScanningVersionTexts) {
    const struct {
        const char* text;
        int parts;
        unsigned long high, low;
    } cases[] = {
        {"1.2", 2, 0x10002, 0},
        {"65537.1.2.3", 4, 0x10001, 0x20003},  // parts keep their low 16 bits
        {"1.2.3.4.5", 4, 0x10002, 0x30004},
        {"7", 1, 0x70000, 0},
        {"1.x.3", 1, 0x10000, 0},
        {" 3. 4", 2, 0x30004, 0},  // "%d" skips white space before a number
        {"abc", 0, 0, 0},
        {"", -1, 0, 0},
        {"   ", -1, 0, 0},
        {"-1.0", 2, 0xFFFF0000, 0},
    };
    for (const auto& c : cases) {
        unsigned long high = 0xDEAD, low = 0xBEEF;
        EXPECT_EQ(FmtVer::Convert(U(c.text).c_str(), high, low), c.parts) << c.text;
        EXPECT_EQ(high, c.high) << c.text;
        EXPECT_EQ(low, c.low) << c.text;
    }
}

TEST(FmtVer, FormattingStopsAtTheBufferEnd) {
    unsigned short text[8];
    std::fill(text, text + 8, kFill);
    EXPECT_EQ(FmtVer::Convert(0x20000ul, 1050ul, text, 7), -1);
    EXPECT_EQ(A(text), "2.0.0.");
    EXPECT_EQ(text[7], kFill);
    std::fill(text, text + 8, kFill);
    EXPECT_EQ(FmtVer::ConvertPattern(312345ul, text, 4), -1);
    EXPECT_EQ(A(text), "3.1");
    EXPECT_EQ(text[4], kFill);
    EXPECT_EQ(FmtVer::Convert(1ul, 1ul, nullptr, 8), -1);
    std::fill(text, text + 8, kFill);
    EXPECT_EQ(FmtVer::Convert(1ul, 1ul, text, 0), -1);
    EXPECT_EQ(text[0], kFill);
}

TEST(FmtVer, PatternNumbers) {
    const struct {
        unsigned long pattern;
        const char* text;
    } cases[] = {
        {0, "000"},         {7, "007"},           {999, "999"},           {1000, "0.010.00"},
        {1234, "0.012.34"}, {312345, "3.123.45"}, {1000000, "10.000.00"}, {99999, "0.999.99"},
    };
    for (const auto& c : cases) {
        unsigned short text[32];
        EXPECT_EQ(FmtVer::ConvertPattern(c.pattern, text, 32),
                  static_cast<int>(std::string(c.text).size()));
        EXPECT_EQ(A(text), c.text) << c.pattern;
    }
    unsigned long major = 9, minor = 9, build = 9;
    EXPECT_EQ(FmtVer::ConvertPattern(999ul, major, minor, build), 0);
    EXPECT_EQ(major + minor + build, 0ul);
    EXPECT_EQ(FmtVer::ConvertPattern(312345ul, major, minor, build), 0);
    EXPECT_EQ(major, 3ul);
    EXPECT_EQ(minor, 123ul);
    EXPECT_EQ(build, 45ul);
}

TEST(Options, TablesInBothDirections) {
    EXPECT_EQ(AVOpt::ConvertBetweenIndexAndFT(2, true), 0x7FFFFFFFul);
    EXPECT_EQ(AVOpt::ConvertBetweenIndexAndFT(0, true), 7ul);
    EXPECT_EQ(AVOpt::ConvertBetweenIndexAndFT(7, false), 0ul);
    EXPECT_EQ(AVOpt::ConvertBetweenIndexAndFT(3, false), 1ul);
    EXPECT_EQ(AVOpt::ConvertBetweenIndexAndFT(0x7FFFFFFF, false), 2ul);
    EXPECT_EQ(AVOpt::ConvertBetweenIndexAndFT(5, false), 0ul);
    EXPECT_EQ(AVOpt::ConvertBetweenIndexAndFT(3, true), 0ul);

    EXPECT_EQ(AVOpt::ConvertBetweenIndexAndRTOpt(1, true), 2ul);
    EXPECT_EQ(AVOpt::ConvertBetweenIndexAndRTOpt(2, false), 1ul);
    EXPECT_EQ(AVOpt::ConvertBetweenIndexAndRTOpt(2, true), 0ul);

    EXPECT_EQ(SUOpt::ConvertBetweenIndexAndFrequency(3, true), 30ul);
    EXPECT_EQ(SUOpt::ConvertBetweenIndexAndFrequency(4, true), 0ul);
    EXPECT_EQ(SUOpt::ConvertBetweenIndexAndFrequency(14, false), 2ul);
    EXPECT_EQ(SUOpt::ConvertBetweenIndexAndFrequency(10, false), 0ul);
}

TEST(Options, ScanLevelIsClamped) {
    const unsigned long expected[] = {1, 1, 2, 3, 3, 3};
    for (unsigned long level = 0; level < 6; ++level)
        EXPECT_EQ(AVOpt::CheckScanLevel(level), expected[level]) << level;
    EXPECT_EQ(AVOpt::CheckScanLevel(100), 3ul);
    EXPECT_EQ(AVOpt::CheckScanLevel(0xFFFFFFFF), 3ul);
}

}  // namespace
