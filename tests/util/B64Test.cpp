// Base64: the RFC 4648 vectors, the rules that end decoding early, and the caller's buffer bounds
// (every call is checked for writing nothing past what it reports).
#include <kxcommon/B64.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Text = std::basic_string<unsigned short>;
constexpr unsigned short kFill = 0xBDBD;
constexpr unsigned char kCanary = 0xBD;

Text T(const char* s) { return Text(s, s + std::char_traits<char>::length(s)); }

// Encodes into `size` units; "#" when the buffer was left alone.
std::string Encode(const std::string& data, unsigned size, int* result) {
    std::vector<unsigned short> out(size + 1, kFill);
    std::vector<unsigned char> bytes(data.begin(), data.end());
    *result = B64::BinaryToBase64(bytes.data(), static_cast<unsigned long>(bytes.size()),
                                  out.data(), size);
    EXPECT_EQ(out[size], kFill) << "written past the buffer";
    std::string text;
    for (size_t i = 0; i < size && out[i] != 0 && out[i] != kFill; ++i) text += char(out[i]);
    return out[0] == kFill ? "#" : text;
}

// Decodes into `size` bytes; checks that nothing is written past the bytes it reports.
std::string Decode(const Text& text, unsigned size) {
    std::vector<unsigned char> out(size + 1, kCanary);
    const int n = B64::Base64ToBinary(text.c_str(), out.data(), size);
    for (size_t i = n; i <= size; ++i) EXPECT_EQ(out[i], kCanary) << "byte " << i;
    return std::string(out.begin(), out.begin() + n);
}

// The result is the length rounded up to whole groups of three; only whole groups that fit
// with the terminator are written ("#": the buffer left alone).
TEST(B64, Encoding) {
    struct Row {
        const char *data, *text;
        unsigned size;
        int result;
    } const rows[] = {
        {"f", "Zg==", 64, 3},
        {"fo", "Zm8=", 64, 3},
        {"foo", "Zm9v", 64, 3},
        {"foob", "Zm9vYg==", 64, 6},
        {"fooba", "Zm9vYmE=", 64, 6},
        {"foobar", "Zm9vYmFy", 64, 6},
        {"", "#", 8, 0},
        {"foobar!", "#", 0, 0},
        {"foobar!", "", 1, 0},
        {"foobar!", "", 4, 0},
        {"foobar!", "Zm9v", 5, 3},
        {"foobar!", "Zm9v", 8, 3},
        {"foobar!", "Zm9vYmFy", 9, 6},
        {"foobar!", "Zm9vYmFy", 12, 6},
        {"foobar!", "Zm9vYmFyIQ==", 13, 9},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.data << " into " << r.size);
        int result = -1;
        EXPECT_EQ(Encode(r.data, r.size, &result), r.text);
        EXPECT_EQ(result, r.result);
    }
    unsigned short text[8] = {kFill};
    unsigned char data[3] = {1, 2, 3};
    EXPECT_EQ(B64::BinaryToBase64(nullptr, 3, text, 8) + B64::BinaryToBase64(data, 3, nullptr, 8),
              0);
    EXPECT_EQ(text[0], kFill);
}

// Decoding ends at the first character that is not one of the 64 digits, keeping what its group
// still carries; texts that are not whole groups are refused; the buffer check admits
// 3 * (n / 4) - 2 bytes, and no more than the buffer is filled.
TEST(B64, Decoding) {
    // U+015A is not 'Z', though its low byte is.
    const Text nonZ = {0x015A, 'm', '9', 'v'}, nonM = {'Z', 'm', 0x0139, 'v'};
    struct Row {
        Text text;
        unsigned size;
        std::string bytes;
    } const rows[] = {
        {T("Zg=="), 64, "f"},
        {T("Zm8="), 64, "fo"},
        {T("Zm9v"), 64, "foo"},
        {T("Zm9vYg=="), 64, "foob"},
        {T("Zm9vYmE="), 64, "fooba"},
        {T("Zm9vYmFy"), 64, "foobar"},
        {T(""), 16, ""},
        {T("Z"), 16, ""},
        {T("Zm9"), 16, ""},
        {T("Zm9vY"), 16, ""},
        {T("Zm9vYmF"), 16, ""},
        {T("Zg==Zm9v"), 16, "f"},
        {T("Zm8=Zm9v"), 16, "fo"},
        {T("Zm9vZ==="), 16, "foo"},
        {T("Zm9v\nZm9"), 16, "foo"},
        {T("Zm9vZm\r\n"), 16, "foof"},
        {T("Zm9vZm9 "), 16, "foofo"},
        {T("=m9vZm9v"), 16, ""},
        {nonZ, 16, ""},
        {nonM, 16, "f"},
        {T("Zg=="), 1, "f"},
        {T("Zm9vYmFy"), 3, ""},
        {T("Zm9vYmFy"), 4, "foob"},
        {T("Zm9v"), 1, "f"},
        {T("Zm9vYmE="), 4, "foob"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message()
                     << std::string(r.text.begin(), r.text.end()) << " into " << r.size);
        EXPECT_EQ(Decode(r.text, r.size), r.bytes);
    }
    unsigned char data[4];
    EXPECT_EQ(B64::Base64ToBinary(nullptr, data, 4), 0);
}

TEST(B64, EveryByteValueSurvivesARoundTrip) {
    for (unsigned length = 1; length <= 256; length += 85) {
        std::string all;
        for (unsigned i = 0; i < length; ++i) all += char(255 - i);
        int result = 0;
        const std::string text = Encode(all, (length + 2) / 3 * 4 + 1, &result);
        EXPECT_EQ(Decode(T(text.c_str()), length), all) << length;
    }
}

}  // namespace
