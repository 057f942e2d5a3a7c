// Version number formats and the option index tables.
#include <gtest/gtest.h>

#include <kxcommon/FmtVer.h>
#include <kxcommon/Options.h>

static constexpr unsigned short kFill = 0xBDBD;

static std::basic_string<unsigned short> U(const std::string& s) { return {s.begin(), s.end()}; }

// "result:text" of formatting into `size` units ("#": the buffer left alone); nothing may be
// written past them.
static std::string Format(bool pattern, unsigned long high, unsigned long low, unsigned size) {
    std::vector<unsigned short> text(size + 1, kFill);
    const int result = pattern ? FmtVer::ConvertPattern(high, text.data(), size)
                               : FmtVer::Convert(high, low, text.data(), size);
    std::string s = std::to_string(result) + ":" + (text[0] == kFill ? "#" : "");
    EXPECT_EQ(text[size], kFill) << "written past the buffer";
    for (size_t i = 0; i < size && text[i] != 0 && text[i] != kFill; ++i) s += char(text[i]);
    return s;
}

// Packed versions and pattern numbers to text, within the caller's buffer: -1 when it did not
// fit, with what fitted written and terminated.
TEST(FmtVer, Formatting) {
    struct Row {
        bool pattern;
        unsigned long high, low, size;
        const char* expected;
    } const rows[] = {
        {false, 0x20000, 1050, 32, "10:2.0.0.1050"},
        {false, 0xFFFFFFFF, 0xFFFFFFFF, 32, "23:65535.65535.65535.65535"},
        {false, 0x20000, 1050, 7, "-1:2.0.0."},
        {false, 1, 1, 0, "-1:#"},
        {true, 7, 0, 32, "3:007"},
        {true, 999, 0, 32, "3:999"},
        {true, 1000, 0, 32, "8:0.010.00"},
        {true, 312345, 0, 32, "8:3.123.45"},
        {true, 1000000, 0, 32, "9:10.000.00"},
        {true, 312345, 0, 4, "-1:3.1"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(Format(r.pattern, r.high, r.low, r.size), r.expected) << r.high << "/" << r.size;
    EXPECT_EQ(FmtVer::Convert(1ul, 1ul, nullptr, 8), -1);
}

// Parts keep their low 16 bits; "%d" skips white space before a number; -1 for no text at all.
TEST(FmtVer, Scanning) {
    struct Row {
        const char* text;
        int parts;
        unsigned long high, low;
    } const rows[] = {
        {"1.2", 2, 0x10002, 0},
        {"65537.1.2.3", 4, 0x10001, 0x20003},
        {"1.2.3.4.5", 4, 0x10002, 0x30004},
        {"1.x.3", 1, 0x10000, 0},
        {" 3. 4", 2, 0x30004, 0},
        {"abc", 0, 0, 0},
        {"", -1, 0, 0},
        {"   ", -1, 0, 0},
        {"-1.0", 2, 0xFFFF0000, 0},
    };
    for (const Row& r : rows) {
        unsigned long high = 0xDEAD, low = 0xBEEF;
        const int parts = FmtVer::Convert(U(r.text).c_str(), high, low);
        EXPECT_EQ(std::tuple(parts, high, low), std::tuple(r.parts, r.high, r.low)) << r.text;
    }
    unsigned long major = 9, minor = 9, build = 9;
    EXPECT_EQ(FmtVer::ConvertPattern(999ul, major, minor, build), 0);
    EXPECT_EQ(major + minor + build, 0ul);
    EXPECT_EQ(FmtVer::ConvertPattern(312345ul, major, minor, build), 0);
    EXPECT_EQ(major * 1000000 + minor * 1000 + build, 3123045ul);
}

// Index to option value (to = true) and back; unknown entries give 0. Scan levels are kept
// within 1 to 3.
TEST(Options, Tables) {
    const auto check = [](auto table, std::vector<std::vector<unsigned long>> rows) {
        for (const auto& r : rows) EXPECT_EQ(table(r[0], r[1] != 0), r[2]) << r[0] << " " << r[1];
    };
    // Rows of index or value, `to`, result.
    check(AVOpt::ConvertBetweenIndexAndFT, {{2, 1, 0x7FFFFFFF}, {3, 1, 0}, {3, 0, 1}, {5, 0, 0}});
    check(AVOpt::ConvertBetweenIndexAndRTOpt, {{1, 1, 2}, {2, 0, 1}});
    check(SUOpt::ConvertBetweenIndexAndFrequency, {{3, 1, 30}, {14, 0, 2}, {10, 0, 0}});
    check([](unsigned long level, bool) { return AVOpt::CheckScanLevel(level); },
          {{0, 0, 1}, {1, 0, 1}, {3, 0, 3}, {4, 0, 3}});
}
