// Base64: one vector per padding class, the rules that end decoding early, and the caller's
// buffer bounds (every call is checked for writing nothing past what it reports).
#include <kxcommon/B64.h>

#include <gtest/gtest.h>

#include <optional>

#include "DeviceFixture.h"

using Text = std::basic_string<unsigned short>;
static constexpr unsigned short kFill = 0xBDBD;

static Text Digits(const std::string& text) { return Text(text.begin(), text.end()); }

// What encoding into `size` units answered and wrote (null: the buffer left alone); nothing may
// be written past them.
using Encoded = kxtest::Written;

static Encoded Encode(const std::string& data, unsigned size) {
    std::vector<unsigned short> out(size + 1, kFill);
    std::vector<unsigned char> bytes(data.begin(), data.end());
    const int result = B64::BinaryToBase64(bytes.data(), bytes.size(), out.data(), size);
    EXPECT_EQ(out[size], kFill) << "BinaryToBase64 wrote past the buffer of " << size;
    if (out[0] == kFill) return {result, std::nullopt};
    std::string text;
    for (size_t i = 0; i < size && out[i] != 0 && out[i] != kFill; ++i) text += char(out[i]);
    return {result, text};
}

// Decodes into `size` bytes; checks that nothing is written past the bytes it reports.
static std::string Decode(const Text& text, unsigned size) {
    std::vector<unsigned char> out(size + 1, 0xBD);
    const int decoded = B64::Base64ToBinary(text.c_str(), out.data(), size);
    for (size_t i = decoded; i <= size; ++i)
        EXPECT_EQ(out[i], 0xBD) << "Base64ToBinary wrote byte " << i << " past the " << decoded
                                << " it reported";
    return std::string(out.begin(), out.begin() + decoded);
}

// The result is the length rounded up to whole groups of three; only whole groups that fit
// with the terminator are written.
TEST(B64, Encoding) {
    const struct Row {
        const char* data;
        unsigned size;
        Encoded expected;
    } rows[] = {
        // clang-format off
        {.data = "fo",      .size = 64, .expected = {.result = 3, .text = "Zm8="}},  // one pad; none and two in the last row
        {.data = "",        .size = 8,  .expected = {.result = 0, .text = std::nullopt}},
        {.data = "foobar!", .size = 0,  .expected = {.result = 0, .text = std::nullopt}},
        {.data = "foobar!", .size = 4,  .expected = {.result = 0, .text = ""}},  // no room for the terminator
        {.data = "foobar!", .size = 5,  .expected = {.result = 3, .text = "Zm9v"}},
        {.data = "foobar!", .size = 13, .expected = {.result = 9, .text = "Zm9vYmFyIQ=="}},
        // clang-format on
    };
    for (const Row& row : rows)
        EXPECT_EQ(Encode(row.data, row.size), row.expected)
            << "BinaryToBase64 of \"" << row.data << "\" into " << row.size << " units";
    unsigned short text[8] = {kFill};
    unsigned char data[3] = {1, 2, 3};
    EXPECT_EQ(B64::BinaryToBase64(nullptr, 3, text, 8), 0) << "BinaryToBase64 without data";
    EXPECT_EQ(B64::BinaryToBase64(data, 3, nullptr, 8), 0) << "BinaryToBase64 without output";
    EXPECT_EQ(text[0], kFill) << "BinaryToBase64 without data wrote its output";
}

// Decoding ends at the first character that is not one of the 64 digits, keeping what its group
// still carries; texts that are not whole groups are refused; the buffer check admits
// 3 * (n / 4) - 2 bytes, and no more than the buffer is filled. Every byte value survives a round
// trip.
TEST(B64, Decoding) {
    // U+015A is not 'Z', though its low byte is.
    const Text nonZ = {0x015A, 'm', '9', 'v'};
    std::string all;  // every byte value, through the encoder and back
    for (unsigned i = 0; i < 256; ++i) all += char(255 - i);
    const struct Row {
        Text text;
        unsigned size;
        std::string bytes;
    } rows[] = {
        // clang-format off
        {.text = Digits("Zm8="), .size = 64, .bytes = "fo"},  // one pad; two pads and none in the round trip
        {.text = Digits("Zm9vYmF"), .size = 16, .bytes = ""},
        {.text = Digits("Zg==Zm9v"), .size = 16, .bytes = "f"},
        {.text = Digits("Zm9vZ==="), .size = 16, .bytes = "foo"},
        {.text = Digits("=m9vZm9v"), .size = 16, .bytes = ""},
        {.text = nonZ, .size = 16, .bytes = ""},
        {.text = Digits("Zm9vYmFy"), .size = 3, .bytes = ""},
        {.text = Digits("Zm9vYmFy"), .size = 4, .bytes = "foob"},
        {.text = Digits(Encode(all, 345).text.value_or("")), .size = 256, .bytes = all},
        // clang-format on
    };
    for (const Row& row : rows)
        EXPECT_EQ(Decode(row.text, row.size), row.bytes)
            << "Base64ToBinary of "
            << testing::PrintToString(std::string(row.text.begin(), row.text.end())).substr(0, 80)
            << " into " << row.size << " bytes";
    EXPECT_EQ(B64::Base64ToBinary(nullptr, std::vector<unsigned char>(4).data(), 4), 0);
}
