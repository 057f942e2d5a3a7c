// Version number formats and the option index tables.
#include <gtest/gtest.h>

#include <kxcommon/FmtVer.h>
#include <kxcommon/Options.h>

#include <optional>

#include "DeviceFixture.h"

static constexpr unsigned short kFill = 0xBDBD;

static std::basic_string<unsigned short> Digits(const std::string& text) {
    return {text.begin(), text.end()};
}

// What formatting into `size` units answered and wrote (null: the buffer left alone); nothing
// may be written past them.
using Formatted = kxtest::Written;

static Formatted Format(bool pattern, unsigned long high, unsigned long low, unsigned size) {
    std::vector<unsigned short> text(size + 1, kFill);
    const int result = pattern ? FmtVer::ConvertPattern(high, text.data(), size)
                               : FmtVer::Convert(high, low, text.data(), size);
    EXPECT_EQ(text[size], kFill) << "FmtVer wrote past the buffer of " << size;
    if (text[0] == kFill) return {result, std::nullopt};
    std::string written;
    for (size_t i = 0; i < size && text[i] != 0 && text[i] != kFill; ++i) written += char(text[i]);
    return {result, written};
}

// Packed versions and pattern numbers to text, within the caller's buffer: -1 when it did not
// fit, with what fitted written and terminated.
TEST(FmtVer, Formatting) {
    struct Row {
        bool pattern;
        unsigned long high, low, size;
        Formatted expected;
    } const rows[] = {
        // clang-format off
        {.pattern = false, .high = 0x20000,    .low = 1050,       .size = 32, .expected = {10, "2.0.0.1050"}},
        {.pattern = false, .high = 0xFFFFFFFF, .low = 0xFFFFFFFF, .size = 32, .expected = {23, "65535.65535.65535.65535"}},
        {.pattern = false, .high = 0x20000,    .low = 1050,       .size = 7,  .expected = {-1, "2.0.0."}},
        {.pattern = false, .high = 1,          .low = 1,          .size = 0,  .expected = {-1, std::nullopt}},
        {.pattern = true,  .high = 7,          .low = 0,          .size = 32, .expected = {3, "007"}},
        {.pattern = true,  .high = 999,        .low = 0,          .size = 32, .expected = {3, "999"}},
        {.pattern = true,  .high = 1000,       .low = 0,          .size = 32, .expected = {8, "0.010.00"}},
        {.pattern = true,  .high = 312345,     .low = 0,          .size = 32, .expected = {8, "3.123.45"}},
        {.pattern = true,  .high = 312345,     .low = 0,          .size = 4,  .expected = {-1, "3.1"}},
        // clang-format on
    };
    for (const Row& row : rows)
        EXPECT_EQ(Format(row.pattern, row.high, row.low, row.size), row.expected)
            << (row.pattern ? "ConvertPattern of " : "Convert of ") << row.high << " and "
            << row.low << " into " << row.size << " units";
    EXPECT_EQ(FmtVer::Convert(1ul, 1ul, nullptr, 8), -1);
}

// Parts keep their low 16 bits; "%d" skips white space before a number; -1 for no text at all.
TEST(FmtVer, Scanning) {
    struct Row {
        const char* text;
        int parts;
        unsigned long high, low;
    } const rows[] = {
        // clang-format off
        {.text = "65537.1.2.3", .parts = 4,  .high = 0x10001,    .low = 0x20003},
        {.text = "1.2.3.4.5",   .parts = 4,  .high = 0x10002,    .low = 0x30004},
        {.text = "1.x.3",       .parts = 1,  .high = 0x10000,    .low = 0},
        {.text = " 3. 4",       .parts = 2,  .high = 0x30004,    .low = 0},
        {.text = "abc",         .parts = 0,  .high = 0,          .low = 0},
        {.text = "   ",         .parts = -1, .high = 0,          .low = 0},
        {.text = "-1.0",        .parts = 2,  .high = 0xFFFF0000, .low = 0},
        // clang-format on
    };
    for (const Row& row : rows) {
        unsigned long high = 0xDEAD, low = 0xBEEF;
        const int parts = FmtVer::Convert(Digits(row.text).c_str(), high, low);
        EXPECT_EQ(std::tuple(parts, high, low), std::tuple(row.parts, row.high, row.low))
            << "FmtVer::Convert of \"" << row.text << "\": parts, high and low";
    }
    unsigned long major = 9, minor = 9, build = 9;
    EXPECT_EQ(FmtVer::ConvertPattern(999ul, major, minor, build), 0);
    EXPECT_EQ(std::tuple(major, minor, build), std::tuple(0ul, 0ul, 0ul)) << "the parts of 999";
}

// Index to option value (to = true) and back; unknown entries give 0. Scan levels are kept
// within 1 to 3.
struct OptionTable {
    const char* name;
    unsigned long (*convert)(unsigned long, bool);
};
const OptionTable kFileTypes{"ConvertBetweenIndexAndFT", AVOpt::ConvertBetweenIndexAndFT};
const OptionTable kRealTime{"ConvertBetweenIndexAndRTOpt", AVOpt::ConvertBetweenIndexAndRTOpt};
const OptionTable kFrequency{"ConvertBetweenIndexAndFrequency",
                             SUOpt::ConvertBetweenIndexAndFrequency};

TEST(Options, Tables) {
    const struct {
        OptionTable table;
        unsigned long from;
        bool toValue;
        unsigned long result;
    } rows[] = {
        // clang-format off
        {.table = kFileTypes, .from = 2,  .toValue = true,  .result = 0x7FFFFFFF},
        {.table = kFileTypes, .from = 3,  .toValue = true,  .result = 0},
        {.table = kFileTypes, .from = 3,  .toValue = false, .result = 1},
        {.table = kRealTime,  .from = 1,  .toValue = true,  .result = 2},
        {.table = kFrequency, .from = 3,  .toValue = true,  .result = 30},
        {.table = kFrequency, .from = 14, .toValue = false, .result = 2},
        {.table = kFrequency, .from = 10, .toValue = false, .result = 0},
        // clang-format on
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.table.convert(row.from, row.toValue), row.result)
            << row.table.name << "(" << row.from
            << (row.toValue ? ", to the value)" : ", to the index)");
    const struct {
        unsigned long level, kept;
        // clang-format off
    } levels[] = {{.level = 0, .kept = 1}, {.level = 1, .kept = 1}, {.level = 3, .kept = 3}, {.level = 4, .kept = 3}};
    // clang-format on
    for (const auto& row : levels)
        EXPECT_EQ(AVOpt::CheckScanLevel(row.level), row.kept)
            << "CheckScanLevel(" << row.level << ")";
}
