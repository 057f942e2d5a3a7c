// UTF-8 and UTF-16 conversion: boundary code points, surrogates, cuts, output room ending inside
// a character, and the piece-by-piece protocol of consumed and written counts.
#include <kxcommon/UTFConvert.h>

#include <gtest/gtest.h>

#include <algorithm>

using Bytes = std::basic_string<unsigned char>;
using Converter = int (*)(unsigned char*, int*, const unsigned char*, int*);
static constexpr Converter kLE8 = UTF16LEToUTF8, kBE8 = UTF16BEToUTF8;
static constexpr Converter kLE16 = UTF8ToUTF16LE, kBE16 = UTF8ToUTF16BE;

// The result, the input consumed and the bytes written into `room` (nothing past them).
static std::tuple<int, int, Bytes> Convert(Converter convert, const Bytes& in, int room) {
    Bytes buffer(room + 8, 0xBD);
    int written = room, consumed = static_cast<int>(in.size());
    const int result = convert(buffer.data(), &written, in.data(), &consumed);
    EXPECT_TRUE(written >= 0 && written <= room) << written;
    EXPECT_EQ(buffer.substr(room), Bytes(8, 0xBD)) << "past the room";
    return {result, consumed, buffer.substr(0, std::clamp(written, 0, room))};
}

static Bytes U16(const std::vector<unsigned>& units, bool big = false) {
    Bytes bytes;
    for (unsigned unit : units) {
        bytes.push_back(big ? unit >> 8 : unit);
        bytes.push_back(big ? unit : unit >> 8);
    }
    return bytes;
}

TEST(UTFConvert, Conversions) {
    const Bytes pair = U16({0x41, 0xD83D, 0xDE00});                        // A and U+1F600
    const Bytes mixed = {0x41, 0xF0, 0x9F, 0x98, 0x80, 0xE2, 0x82, 0xAC};  // A, U+1F600, U+20AC
    const struct Row {
        const char* name;
        Converter convert;
        int room, result, consumed;
        Bytes in, out;
    } rows[] = {
        // clang-format off
        // A low surrogate alone is converted as its own value; a high one needs a low one next.
        {.name = "reversed", .convert = kLE8, .room = 16, .result = -2, .consumed = 4,
         .in = U16({0x41, 0xDC00, 0xD800, 0x41}), .out = {0x41, 0xED, 0xB0, 0x80}},
        {.name = "two highs", .convert = kLE8, .room = 32, .result = -2, .consumed = 0,
         .in = U16({0xD800, 0xD800, 0xDC00}), .out = {}},
        // An odd last byte is dropped first, here from the low half of a pair; the high surrogate
        // left at the end may be completed by the next piece of a little-endian stream only.
        {.name = "utf16 cut in the pair", .convert = kLE8, .room = 32, .result = 0, .consumed = 2,
         .in = pair.substr(0, 5), .out = {0x41}},
        {.name = "trailing high BE", .convert = kBE8, .room = 16, .result = -2, .consumed = 2,
         .in = U16({0x41, 0xD83D}, true), .out = {0x41}},
        // A character is started only with six bytes of room, whatever its length.
        {.name = "room 6, four", .convert = kLE8, .room = 6, .result = 0, .consumed = 4,
         .in = U16({0xD83D, 0xDE00, 0x41}), .out = {0xF0, 0x9F, 0x98, 0x80}},
        {.name = "room 5", .convert = kLE8, .room = 5, .result = 0, .consumed = 0, .in = U16({0x41}), .out = {}},
        // A pair needs room for both units.
        {.name = "room 5", .convert = kLE16, .room = 5, .result = 0, .consumed = 1, .in = mixed, .out = U16({'A'})},
        {.name = "room 6", .convert = kLE16, .room = 6, .result = 0, .consumed = 5, .in = mixed, .out = pair},
        {.name = "lone continuation", .convert = kLE16, .room = 16, .result = -2, .consumed = 0,
         .in = {0x80}, .out = {}},
        {.name = "no lead byte of five", .convert = kLE16, .room = 16, .result = -2, .consumed = 0,
         .in = {0xF8, 0x80, 0x80, 0x80}, .out = {}},
        {.name = "lead without continuation", .convert = kLE16, .room = 16, .result = -2, .consumed = 1,
         .in = {0x41, 0xC3, 0x41}, .out = U16({'A'})},
        {.name = "above U+10FFFF stops", .convert = kLE16, .room = 16, .result = 0, .consumed = 0,
         .in = {0xF4, 0x90, 0x80, 0x80}, .out = {}},
        // Overlong forms and encoded surrogates are written as computed.
        {.name = "encoded surrogate", .convert = kBE16, .room = 8, .result = 0, .consumed = 3,
         .in = {0xED, 0xA0, 0x80}, .out = {0xD8, 0x00}},
        // clang-format on
    };
    for (const Row& row : rows)
        EXPECT_EQ(Convert(row.convert, row.in, row.room),
                  std::tuple(row.result, row.consumed, row.out))
            << "the conversion " << row.name << ": result, input consumed and bytes written";
}

// One call's result and the counts it left: bytes written and input consumed.
static std::tuple<int, int, int> Counts(Converter convert, unsigned char* out, int room,
                                        const unsigned char* in, int length) {
    const int result = convert(out, &room, in, &length);
    return {result, room, length};
}

// Missing arguments; negative room counts as none; no input to UTF-16 writes the byte-order
// mark when it fits.
TEST(UTFConvert, NullArguments) {
    unsigned char out[8], in[2] = {0x41, 0x00};
    for (Converter convert : {kLE8, kBE8, kLE16, kBE16}) {
        int count = 2;
        EXPECT_EQ(convert(out, nullptr, in, &count), -2) << "no room count";
        EXPECT_EQ(convert(out, &count, in, nullptr), -2) << "no input count";
        EXPECT_EQ(Counts(convert, nullptr, 8, in, 2), std::tuple(-2, 0, 0)) << "no output";
        EXPECT_EQ(Counts(convert, out, -5, in, 2), std::tuple(0, 0, 0)) << "negative room";
    }
    EXPECT_EQ(Counts(kLE8, out, 8, nullptr, 2), std::tuple(-2, 0, 0)) << "no input";
    for (Converter convert : {kLE16, kBE16}) {
        Bytes mark(3, 0xBD);  // two bytes of room, then one
        EXPECT_EQ(Counts(convert, mark.data(), 2, nullptr, 7), std::tuple(2, 2, 0))
            << "no input to UTF-16 with room for the byte-order mark";
        EXPECT_EQ(Counts(convert, &mark[2], 1, nullptr, 7), std::tuple(0, 0, 0))
            << "no input to UTF-16 without room for the byte-order mark";
        EXPECT_EQ(mark, U16({0xFEFF}, convert == kBE16) + Bytes{0xBD});
    }
}

// A text fed in pieces of varying size into small buffers, each call continuing where the
// previous one stopped.
static Bytes InPieces(Converter convert, const Bytes& in, size_t piece, int room, int roomSteps) {
    Bytes out;
    for (size_t at = 0, step = 0; at < in.size() && step < 10000; ++step) {
        const auto [result, consumed, written] =
            Convert(convert, in.substr(at, 1 + step % piece), room + step % roomSteps);
        EXPECT_EQ(result, 0);
        out += written;
        at += consumed;
    }
    return out;
}

// The first and last code point of each length after a run of ASCII, both ways in both byte
// orders: whole, and in pieces, which give exactly the conversion of the whole (every cut inside
// a UTF-8 sequence stops before it, consuming only the characters before). Only the
// little-endian stream waits for the low half of a pair cut off at a piece's end.
TEST(UTFConvert, BoundaryCodePointsWholeAndInPieces) {
    const Bytes sample = {'K',  'x',  'y',  'z',  0x7F, 0xC2, 0x80, 0xDF, 0xBF, 0xE0, 0xA0, 0x80,
                          0xEF, 0xBF, 0xBF, 0xF0, 0x90, 0x80, 0x80, 0xF4, 0x8F, 0xBF, 0xBF};
    const std::vector<unsigned> units = {'K',   'x',    'y',    'z',    0x7F,   0x80,  0x7FF,
                                         0x800, 0xFFFF, 0xD800, 0xDC00, 0xDBFF, 0xDFFF};
    Bytes utf8, utf16;
    for (int i = 0; i < 40; ++i) utf8 += sample;
    for (bool big : {true, false}) {
        SCOPED_TRACE(big ? "big-endian" : "little-endian");
        utf16.clear();
        for (int i = 0; i < 40; ++i) utf16 += U16(units, big);
        const Converter to8 = big ? kBE8 : kLE8, to16 = big ? kBE16 : kLE16;
        EXPECT_EQ(Convert(to8, utf16, 4096), std::tuple(0, int(utf16.size()), utf8));
        EXPECT_EQ(Convert(to16, utf8, 4096), std::tuple(0, int(utf8.size()), utf16));
        EXPECT_EQ(InPieces(to16, utf8, 7, 2, 5), utf16);
    }
    EXPECT_EQ(InPieces(kLE8, utf16, 10, 6, 4), utf8);  // the little-endian text of the last round
}
