// UTF-8 and UTF-16 conversion: boundary code points, surrogates, cuts, output room ending inside
// a character, and the piece-by-piece protocol of consumed and written counts.
#include <kxcommon/UTFConvert.h>

#include <gtest/gtest.h>

#include <algorithm>

using Bytes = std::vector<unsigned char>;
using Converter = int (*)(unsigned char*, int*, const unsigned char*, int*);
static constexpr Converter kLE8 = UTF16LEToUTF8, kBE8 = UTF16BEToUTF8;
static constexpr Converter kLE16 = UTF8ToUTF16LE, kBE16 = UTF8ToUTF16BE;

// The result, the input consumed and the bytes written into `room` (nothing past them).
static std::tuple<int, int, Bytes> Convert(Converter convert, const Bytes& in, int room) {
    Bytes buffer(static_cast<size_t>(room) + 8, 0xBD);
    int written = room, consumed = static_cast<int>(in.size());
    const int result = convert(buffer.data(), &written, in.data(), &consumed);
    EXPECT_TRUE(written >= 0 && written <= room) << written;
    for (size_t i = room; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], 0xBD) << "past the room";
    return {result, consumed, Bytes(buffer.begin(), buffer.begin() + std::clamp(written, 0, room))};
}

static Bytes U16(const std::vector<unsigned>& units, bool big = false) {
    Bytes b;
    for (unsigned u : units) b.push_back(big ? u >> 8 : u), b.push_back(big ? u : u >> 8);
    return b;
}

// The first and last code point of each length, both ways in both byte orders; every cut inside
// a UTF-8 sequence stops before it, consuming only the characters before.
TEST(UTFConvert, BoundaryCodePoints) {
    const struct {
        Bytes utf8;
        std::vector<unsigned> utf16;
    } rows[] = {
        {{0x7F}, {0x007F}},
        {{0xC2, 0x80}, {0x0080}},
        {{0xDF, 0xBF}, {0x07FF}},
        {{0xE0, 0xA0, 0x80}, {0x0800}},
        {{0xEF, 0xBF, 0xBF}, {0xFFFF}},
        {{0xF0, 0x90, 0x80, 0x80}, {0xD800, 0xDC00}},
        {{0xF4, 0x8F, 0xBF, 0xBF}, {0xDBFF, 0xDFFF}},
    };
    for (const auto& cp : rows) {
        SCOPED_TRACE(testing::PrintToString(cp.utf8));
        for (bool big : {false, true}) {
            const Bytes utf16 = U16(cp.utf16, big);
            EXPECT_EQ(Convert(big ? kBE8 : kLE8, utf16, 16),
                      std::tuple(0, int(utf16.size()), cp.utf8));
            EXPECT_EQ(Convert(big ? kBE16 : kLE16, cp.utf8, 16),
                      std::tuple(0, int(cp.utf8.size()), utf16));
            for (size_t cut = 1; cut < cp.utf8.size(); ++cut) {
                Bytes in = {'a'};
                in.insert(in.end(), cp.utf8.begin(), cp.utf8.begin() + cut);
                EXPECT_EQ(Convert(big ? kBE16 : kLE16, in, 16), std::tuple(0, 1, U16({'a'}, big)));
            }
        }
    }
}

TEST(UTFConvert, Conversions) {
    const Bytes pair = U16({0x41, 0xD83D, 0xDE00});                        // A and U+1F600
    const Bytes mixed = {0x41, 0xF0, 0x9F, 0x98, 0x80, 0xE2, 0x82, 0xAC};  // A, U+1F600, U+20AC
    const Bytes head(pair.begin(), pair.begin() + 5), a16 = {0x41, 0};
    const struct Row {
        const char* name;
        Converter f;
        Bytes in;
        int room, result, consumed;
        Bytes out;
    } rows[] = {
        {"lone low", kLE8, U16({0xDC00, 0x41}), 16, 0, 4, {0xED, 0xB0, 0x80, 0x41}},
        {"reversed", kLE8, U16({0x41, 0xDC00, 0xD800, 0x41}), 16, -2, 4, {0x41, 0xED, 0xB0, 0x80}},
        {"two highs", kLE8, U16({0xD800, 0xD800, 0xDC00}), 32, -2, 0, {}},
        // A trailing high surrogate may be completed by the next piece of a little-endian stream.
        {"trailing high LE", kLE8, U16({0x41, 0xD83D}), 16, 0, 2, {0x41}},
        {"trailing high BE", kBE8, U16({0x41, 0xD83D}, true), 16, -2, 2, {0x41}},
        {"odd length", kLE8, {0x41, 0x00, 0x42}, 16, 0, 2, {0x41}},
        {"utf16 cut in the pair", kLE8, head, 32, 0, 2, {0x41}},
        // A character is started only with six bytes of room, whatever its length.
        {"room 6, four", kLE8, U16({0xD83D, 0xDE00, 0x41}), 6, 0, 4, {0xF0, 0x9F, 0x98, 0x80}},
        {"room 5", kLE8, U16({0x41}), 5, 0, 0, {}},
        // A pair needs room for both units.
        {"room 1", kLE16, mixed, 1, 0, 0, {}},
        {"room 5", kLE16, mixed, 5, 0, 1, a16},
        {"room 6", kLE16, mixed, 6, 0, 5, pair},
        {"lone continuation", kLE16, {0x80}, 16, -2, 0, {}},
        {"no lead byte of five", kLE16, {0xF8, 0x80, 0x80, 0x80}, 16, -2, 0, {}},
        {"lead without continuation", kLE16, {0x41, 0xC3, 0x41}, 16, -2, 1, a16},
        {"above U+10FFFF stops", kLE16, {0xF4, 0x90, 0x80, 0x80}, 16, 0, 0, {}},
        // Overlong forms and encoded surrogates are written as computed.
        {"encoded surrogate", kBE16, {0xED, 0xA0, 0x80}, 8, 0, 3, {0xD8, 0x00}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(Convert(r.f, r.in, r.room), std::tuple(r.result, r.consumed, r.out));
    }
}

// Missing arguments; negative room counts as none; no input to UTF-16 writes the byte-order
// mark when it fits.
TEST(UTFConvert, NullArguments) {
    unsigned char out[8];
    const unsigned char in[2] = {0x41, 0x00};
    for (Converter f : {kLE8, kBE8, kLE16, kBE16}) {
        int written = 8, consumed = 2;
        EXPECT_EQ(f(out, nullptr, in, &consumed) + f(out, &written, in, nullptr), -4);
        const int noOut = f(nullptr, &written, in, &consumed);
        EXPECT_EQ(noOut * 100 + written * 10 + consumed, -200);
        written = -5, consumed = 2;
        const int noRoom = f(out, &written, in, &consumed);
        EXPECT_EQ(noRoom * 100 + written * 10 + consumed, 0);
    }
    int written = 8, consumed = 2;
    EXPECT_EQ(kLE8(out, &written, nullptr, &consumed), -2);
    for (int room : {2, 1}) {
        for (bool big : {false, true}) {
            unsigned char mark[3] = {0xBD, 0xBD, 0xBD};
            written = room, consumed = 7;
            const int result = (big ? kBE16 : kLE16)(mark, &written, nullptr, &consumed);
            EXPECT_EQ(result * 100 + written * 10 + consumed, room == 2 ? 220 : 0);
            EXPECT_EQ(Bytes(mark, mark + 3), room == 1 ? Bytes(3, 0xBD)
                                             : big     ? Bytes({0xFE, 0xFF, 0xBD})
                                                       : Bytes({0xFF, 0xFE, 0xBD}));
        }
    }
}

// A long text fed in pieces of varying size into small buffers, each call continuing where the
// previous one stopped, gives exactly the conversion of the whole. Only the little-endian stream
// waits for the low half of a pair cut off at a piece's end.
static Bytes InPieces(Converter f, const Bytes& in, size_t piece, int room, int roomSteps) {
    Bytes out;
    for (size_t at = 0, step = 0; at < in.size() && step < 10000; ++step) {
        const size_t n = std::min<size_t>(1 + step % piece, in.size() - at);
        const auto [result, consumed, written] =
            Convert(f, Bytes(in.begin() + at, in.begin() + at + n), room + step % roomSteps);
        EXPECT_EQ(result, 0);
        out.insert(out.end(), written.begin(), written.end());
        at += consumed;
    }
    return out;
}

TEST(UTFConvert, PieceByPieceConversionEqualsTheWhole) {
    const Bytes sample = {'K',  'x',  0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xF0, 0x9F,
                          0x98, 0x80, 0xD0, 0x96, 0xE4, 0xB8, 0xAD, ' '};
    Bytes utf8;
    for (int i = 0; i < 40; ++i) utf8.insert(utf8.end(), sample.begin(), sample.end());
    EXPECT_EQ(InPieces(kBE16, utf8, 7, 2, 5), std::get<2>(Convert(kBE16, utf8, 4096)));
    const Bytes utf16 = InPieces(kLE16, utf8, 7, 2, 5);
    EXPECT_EQ(utf16, std::get<2>(Convert(kLE16, utf8, 4096)));
    EXPECT_EQ(InPieces(kLE8, utf16, 10, 6, 4), utf8);
}
