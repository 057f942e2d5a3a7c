// Base64: one vector per padding class, the rules that end decoding early, and the caller's
// buffer bounds (every call is checked for writing nothing past what it reports).
#include <kxcommon/B64.h>

#include <gtest/gtest.h>

using Text = std::basic_string<unsigned short>;
static constexpr unsigned short kFill = 0xBDBD;

static Text Digits(const std::string& text) { return Text(text.begin(), text.end()); }

// "text|result" of encoding into `size` units ("#": the buffer left alone).
static std::string Encode(const std::string& data, unsigned size) {
    std::vector<unsigned short> out(size + 1, kFill);
    std::vector<unsigned char> bytes(data.begin(), data.end());
    const int result = B64::BinaryToBase64(bytes.data(), bytes.size(), out.data(), size);
    EXPECT_EQ(out[size], kFill) << "written past the buffer";
    std::string text = out[0] == kFill ? "#" : "";
    for (size_t i = 0; i < size && out[i] != 0 && out[i] != kFill; ++i) text += char(out[i]);
    return text + "|" + std::to_string(result);
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
// with the terminator are written ("#": the buffer left alone).
TEST(B64, Encoding) {
    const struct Row {
        const char* data;
        unsigned size;
        const char* expected;
    } rows[] = {
        {"fo", 64, "Zm8=|3"},  // one pad; none and two pads in the last row
        {"", 8, "#|0"},           {"foobar!", 0, "#|0"},
        {"foobar!", 4, "|0"},  // a group without room for the terminator
        {"foobar!", 5, "Zm9v|3"}, {"foobar!", 13, "Zm9vYmFyIQ==|9"},
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
    const Text nonZ = {0x015A, 'm', '9', 'v'}, nonM = {'Z', 'm', 0x0139, 'v'};
    std::string all;  // every byte value, through the encoder and back
    for (unsigned i = 0; i < 256; ++i) all += char(255 - i);
    const struct Row {
        Text text;
        unsigned size;
        std::string bytes;
    } rows[] = {
        {Digits("Zm8="), 64, "fo"},  // one pad; two pads and none in the round trip
        {Digits(""), 16, ""},
        {Digits("Zm9vYmF"), 16, ""},
        {Digits("Zg==Zm9v"), 16, "f"},
        {Digits("Zm9vZ==="), 16, "foo"},
        {Digits("Zm9vZm\r\n"), 16, "foof"},
        {Digits("Zm9vZm9 "), 16, "foofo"},
        {Digits("=m9vZm9v"), 16, ""},
        {nonZ, 16, ""},
        {nonM, 16, "f"},
        {Digits("Zm9vYmFy"), 3, ""},
        {Digits("Zm9vYmFy"), 4, "foob"},
        {Digits("Zm9v"), 1, "f"},
        {Digits(Encode(all, 345).substr(0, 344)), 256, all},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Decode(row.text, row.size), row.bytes)
            << "Base64ToBinary of "
            << testing::PrintToString(std::string(row.text.begin(), row.text.end())).substr(0, 80)
            << " into " << row.size << " bytes";
    EXPECT_EQ(B64::Base64ToBinary(nullptr, std::vector<unsigned char>(4).data(), 4), 0);
}
