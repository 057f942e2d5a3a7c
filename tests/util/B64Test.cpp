// Base64: RFC 4648 vectors, the rules that end decoding early, and the caller's buffer bounds.
#include <kxcommon/B64.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Text = std::basic_string<unsigned short>;

constexpr unsigned short kFill = 0xBDBD;
constexpr unsigned char kCanary = 0xBD;

Text T(const char* ascii) { return Text(ascii, ascii + std::char_traits<char>::length(ascii)); }

std::string Narrow(const unsigned short* text) {
    std::string s;
    for (; *text != 0; ++text) s += static_cast<char>(*text);
    return s;
}

std::vector<unsigned char> Bytes(const std::string& s) {
    return std::vector<unsigned char>(s.begin(), s.end());
}

// Encodes into a buffer of `size` units followed by a canary unit.
struct Encoded {
    int result;
    std::string text;
    bool canaryKept;
};

Encoded Encode(std::vector<unsigned char> data, unsigned int size) {
    std::vector<unsigned short> buffer(size + 1, kFill);
    const int result = B64::BinaryToBase64(data.data(), static_cast<unsigned long>(data.size()),
                                           buffer.data(), size);
    return {result, Narrow(buffer.data()), buffer[size] == kFill};
}

// Decodes into a buffer of `size` bytes followed by a canary byte.
struct Decoded {
    int result;
    std::vector<unsigned char> data;  // the whole buffer, canary excluded
    bool canaryKept;
};

Decoded Decode(const Text& text, unsigned int size) {
    std::vector<unsigned char> buffer(size + 1, kCanary);
    const int result = B64::Base64ToBinary(text.c_str(), buffer.data(), size);
    const bool kept = buffer[size] == kCanary;
    buffer.pop_back();
    return {result, buffer, kept};
}

// RFC 4648, section 10 (the empty input is refused by the encoder and covered below).
struct Vector {
    const char* data;
    const char* text;
} const kRfc4648[] = {
    {"f", "Zg=="},        {"fo", "Zm8="},        {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
};

TEST(B64, EncodesTheRfc4648VectorsAndReturnsTheLengthRoundedUpToThree) {
    for (const Vector& v : kRfc4648) {
        const std::string data = v.data;
        const Encoded e = Encode(Bytes(data), 64);
        EXPECT_EQ(e.text, v.text) << data;
        EXPECT_EQ(e.result, static_cast<int>((data.size() + 2) / 3 * 3)) << data;
    }
}

TEST(B64, DecodesTheRfc4648Vectors) {
    for (const Vector& v : kRfc4648) {
        const std::string data = v.data;
        const Decoded d = Decode(T(v.text), 64);
        ASSERT_EQ(d.result, static_cast<int>(data.size())) << v.text;
        EXPECT_EQ(std::string(d.data.begin(), d.data.begin() + d.result), data);
        EXPECT_EQ(d.data[data.size()], kCanary) << "nothing written after the bytes";
    }
}

TEST(B64, EveryByteValueSurvivesARoundTrip) {
    for (size_t length = 1; length <= 256; length += 85) {  // lengths 1, 86, 171, 256
        std::vector<unsigned char> all(length);
        for (size_t i = 0; i < length; ++i) all[i] = static_cast<unsigned char>(255 - i);
        const size_t chars = (length + 2) / 3 * 4;
        const Encoded e = Encode(all, static_cast<unsigned int>(chars + 1));
        ASSERT_EQ(e.text.size(), chars);
        ASSERT_TRUE(e.canaryKept);
        const Decoded d = Decode(T(e.text.c_str()), static_cast<unsigned int>(length));
        ASSERT_EQ(d.result, static_cast<int>(length));
        EXPECT_EQ(d.data, all);
        EXPECT_TRUE(d.canaryKept);
    }
}

TEST(B64, EncoderRefusesMissingArgumentsAndLeavesTheTextAlone) {
    unsigned char data[] = {1, 2, 3};
    unsigned short text[8] = {kFill, kFill};
    EXPECT_EQ(B64::BinaryToBase64(nullptr, 3, text, 8), 0);
    EXPECT_EQ(B64::BinaryToBase64(data, 0, text, 8), 0);
    EXPECT_EQ(B64::BinaryToBase64(data, 3, nullptr, 8), 0);
    EXPECT_EQ(B64::BinaryToBase64(data, 3, text, 0), 0);
    EXPECT_EQ(text[0], kFill);
}

TEST(B64, EncoderWritesOnlyTheWholeGroupsThatFitAndSaysHowFarItGot) {
    const std::vector<unsigned char> data = Bytes("foobar!");  // three groups, the last padded
    struct Case {
        unsigned int size;
        const char* text;
        int result;
    } const cases[] = {
        {1, "", 0},         {4, "", 0},          {5, "Zm9v", 3},          {8, "Zm9v", 3},
        {9, "Zm9vYmFy", 6}, {12, "Zm9vYmFy", 6}, {13, "Zm9vYmFyIQ==", 9},
    };
    for (const Case& c : cases) {
        const Encoded e = Encode(data, c.size);
        EXPECT_EQ(e.text, c.text) << "size " << c.size;
        EXPECT_EQ(e.result, c.result) << "size " << c.size;
        EXPECT_TRUE(e.canaryKept) << "size " << c.size;
    }
}

TEST(B64, DecoderRefusesTextsThatAreNotWholeGroups) {
    for (const char* text : {"", "Z", "Zm9", "Zm9vY", "Zm9vYmF"}) {
        const Decoded d = Decode(T(text), 16);
        EXPECT_EQ(d.result, 0) << text;
        EXPECT_EQ(d.data[0], kCanary) << text;
    }
    unsigned char data[4] = {kCanary};
    EXPECT_EQ(B64::Base64ToBinary(nullptr, data, 4), 0);
    EXPECT_EQ(data[0], kCanary);
}

// Decoding ends at the first character that is not one of the 64 digits, keeping what its
// group still carries, and ignores everything after it.
TEST(B64, DecoderStopsAtTheFirstCharacterOutsideTheAlphabet) {
    struct Case {
        Text text;
        std::string bytes;
    } const cases[] = {
        {T("Zg==Zm9v"), "f"},  // a pad ends the text, whatever follows
        {T("Zm8=Zm9v"), "fo"},
        {T("Zm9vZ==="), "foo"},     // second character of a group is the pad
        {T("Zm9v\nZm9"), "foo"},    // a line break where the second group starts
        {T("Zm9vZm\r\n"), "foof"},  // line break in third position: one byte of the group
        {T("Zm9vZm9 "), "foofo"},   // a space in fourth position: two bytes
        {T("=m9vZm9v"), ""},
        {Text{0x015A, 'm', '9', 'v'}, ""},  // U+015A is not 'Z', though its low byte is
        {Text{'Z', 'm', 0x0139, 'v'}, "f"},
    };
    for (const Case& c : cases) {
        const Decoded d = Decode(c.text, 16);
        ASSERT_EQ(d.result, static_cast<int>(c.bytes.size())) << Narrow(c.text.c_str());
        EXPECT_EQ(std::string(d.data.begin(), d.data.begin() + d.result), c.bytes);
        EXPECT_EQ(d.data[c.bytes.size()], kCanary) << Narrow(c.text.c_str());
    }
}

TEST(B64, DecoderChecksTheBufferAndFillsItToItsEndAtMost) {
    // The check admits 3 * (n / 4) - 2 bytes: enough only for a last group with two pads.
    Decoded d = Decode(T("Zg=="), 1);
    EXPECT_EQ(d.result, 1);
    EXPECT_EQ(d.data[0], 'f');
    EXPECT_TRUE(d.canaryKept);

    d = Decode(T("Zm9vYmFy"), 3);  // needs at least 4
    EXPECT_EQ(d.result, 0);
    EXPECT_EQ(d.data, std::vector<unsigned char>(3, kCanary)) << "a refused call writes nothing";

    d = Decode(T("Zm9vYmFy"), 4);  // passes the check; six bytes would follow
    EXPECT_EQ(d.result, 4);
    EXPECT_EQ(std::string(d.data.begin(), d.data.end()), "foob");
    EXPECT_TRUE(d.canaryKept);

    d = Decode(T("Zm9v"), 1);
    EXPECT_EQ(d.result, 1);
    EXPECT_TRUE(d.canaryKept);

    d = Decode(T("Zm9vYmE="), 4);
    EXPECT_EQ(d.result, 4);
    EXPECT_TRUE(d.canaryKept);
}

}  // namespace
