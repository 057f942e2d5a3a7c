// UTF-8 and UTF-16 conversion: boundary code points, surrogates, cuts at every byte, output room
// ending inside a character, and the piece-by-piece protocol of consumed and written counts.
#include <kxcommon/UTFConvert.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using Converter = int (*)(unsigned char*, int*, const unsigned char*, int*);

constexpr unsigned char kCanary = 0xBD;

struct Outcome {
    int result;
    int written;
    int consumed;
    Bytes out;  // the bytes written
    bool canaryKept;
};

// Converts `in` with an output buffer of `capacity` bytes followed by canaries.
Outcome Convert(Converter convert, const Bytes& in, int capacity) {
    Bytes buffer(static_cast<size_t>(capacity) + 8, kCanary);
    int written = capacity;
    int consumed = static_cast<int>(in.size());
    const int result = convert(buffer.data(), &written, in.data(), &consumed);
    bool kept = true;
    for (size_t i = static_cast<size_t>(capacity); i < buffer.size(); ++i)
        kept = kept && buffer[i] == kCanary;
    const size_t n = written >= 0 && written <= capacity ? static_cast<size_t>(written) : 0;
    return {result, written, consumed, Bytes(buffer.begin(), buffer.begin() + n), kept};
}

Bytes Utf16(const std::vector<unsigned>& units, bool bigEndian) {
    Bytes b;
    for (unsigned u : units) {
        const unsigned char low = static_cast<unsigned char>(u);
        const unsigned char high = static_cast<unsigned char>(u >> 8);
        b.push_back(bigEndian ? high : low);
        b.push_back(bigEndian ? low : high);
    }
    return b;
}

Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Boundary code points with their UTF-8 and UTF-16 forms.
struct CodePoint {
    unsigned value;
    Bytes utf8;
    std::vector<unsigned> utf16;
};
const CodePoint kBoundaries[] = {
    {0x0000, {0x00}, {0x0000}},
    {0x007F, {0x7F}, {0x007F}},
    {0x0080, {0xC2, 0x80}, {0x0080}},
    {0x07FF, {0xDF, 0xBF}, {0x07FF}},
    {0x0800, {0xE0, 0xA0, 0x80}, {0x0800}},
    {0x20AC, {0xE2, 0x82, 0xAC}, {0x20AC}},
    {0xFFFF, {0xEF, 0xBF, 0xBF}, {0xFFFF}},
    {0x10000, {0xF0, 0x90, 0x80, 0x80}, {0xD800, 0xDC00}},
    {0x1F600, {0xF0, 0x9F, 0x98, 0x80}, {0xD83D, 0xDE00}},
    {0x10FFFF, {0xF4, 0x8F, 0xBF, 0xBF}, {0xDBFF, 0xDFFF}},
};

TEST(UTFConvert, BoundaryCodePointsConvertBothWaysInBothByteOrders) {
    for (const CodePoint& cp : kBoundaries) {
        for (bool big : {false, true}) {
            const Bytes utf16 = Utf16(cp.utf16, big);
            Outcome r = Convert(big ? UTF16BEToUTF8 : UTF16LEToUTF8, utf16, 16);
            EXPECT_EQ(r.result, 0) << std::hex << cp.value;
            EXPECT_EQ(r.out, cp.utf8) << std::hex << cp.value << (big ? " BE" : " LE");
            EXPECT_EQ(r.consumed, static_cast<int>(utf16.size()));

            r = Convert(big ? UTF8ToUTF16BE : UTF8ToUTF16LE, cp.utf8, 16);
            EXPECT_EQ(r.result, 0) << std::hex << cp.value;
            EXPECT_EQ(r.out, utf16) << std::hex << cp.value << (big ? " BE" : " LE");
            EXPECT_EQ(r.consumed, static_cast<int>(cp.utf8.size()));
        }
    }
}

TEST(UTFConvert, Utf16SurrogatesOutOfPlace) {
    // A low surrogate on its own is converted as its own value.
    Outcome r = Convert(UTF16LEToUTF8, Utf16({0xDC00, 0x41}, false), 16);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.out, (Bytes{0xED, 0xB0, 0x80, 0x41}));

    // Reversed pair: the low one converts, the high one then meets "A" and is malformed.
    for (bool big : {false, true}) {
        r = Convert(big ? UTF16BEToUTF8 : UTF16LEToUTF8, Utf16({0x41, 0xDC00, 0xD800, 0x41}, big),
                    32);
        EXPECT_EQ(r.result, -2);
        EXPECT_EQ(r.out, (Bytes{0x41, 0xED, 0xB0, 0x80}));
        EXPECT_EQ(r.consumed, 4) << "the input before the high surrogate";
    }

    // Two high surrogates in a row.
    r = Convert(UTF16LEToUTF8, Utf16({0xD800, 0xD800, 0xDC00}, false), 32);
    EXPECT_EQ(r.result, -2);
    EXPECT_EQ(r.written, 0);
    EXPECT_EQ(r.consumed, 0);
}

// A high surrogate as the last unit may be completed by the next piece of a little-endian
// stream; the big-endian form treats it as malformed.
TEST(UTFConvert, TrailingHighSurrogateDiffersBetweenByteOrders) {
    Outcome le = Convert(UTF16LEToUTF8, Utf16({0x41, 0xD83D}, false), 16);
    EXPECT_EQ(le.result, 0);
    EXPECT_EQ(le.out, Bytes{0x41});
    EXPECT_EQ(le.consumed, 2) << "the surrogate is not consumed";

    Outcome be = Convert(UTF16BEToUTF8, Utf16({0x41, 0xD83D}, true), 16);
    EXPECT_EQ(be.result, -2);
    EXPECT_EQ(be.out, Bytes{0x41});
    EXPECT_EQ(be.consumed, 2);

    // The same with an odd byte after the surrogate, which is dropped first.
    le = Convert(UTF16LEToUTF8, Cat(Utf16({0xD83D}, false), {0xDE}), 16);
    EXPECT_EQ(le.result, 0);
    EXPECT_EQ(le.consumed, 0);
}

TEST(UTFConvert, Utf16OddLengthIsReducedToWholeUnits) {
    const Bytes in = {0x41, 0x00, 0x42};
    int written = 16;
    int length = 3;
    unsigned char out[16];
    EXPECT_EQ(UTF16LEToUTF8(out, &written, in.data(), &length), 0);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(written, 1);

    const Outcome r = Convert(UTF16LEToUTF8, {0x41}, 16);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.written, 0);
    EXPECT_EQ(r.consumed, 0);
}

// Every cut inside a UTF-8 sequence stops before it, consuming only the characters before.
TEST(UTFConvert, Utf8CutAtEveryByteStopsBeforeTheCharacter) {
    for (const CodePoint& cp : kBoundaries) {
        for (size_t cut = 1; cut < cp.utf8.size(); ++cut) {
            const Bytes in = Cat({'a'}, Bytes(cp.utf8.begin(), cp.utf8.begin() + cut));
            for (Converter convert : {UTF8ToUTF16LE, UTF8ToUTF16BE}) {
                const Outcome r = Convert(convert, in, 16);
                EXPECT_EQ(r.result, 0) << std::hex << cp.value << " cut " << cut;
                EXPECT_EQ(r.consumed, 1) << std::hex << cp.value << " cut " << cut;
                EXPECT_EQ(r.written, 2);
            }
        }
    }
    // The rest of the character completes it in the next piece.
    Outcome r = Convert(UTF8ToUTF16LE, {0xE2, 0x82}, 16);
    EXPECT_EQ(r.consumed, 0);
    EXPECT_EQ(r.written, 0);
    r = Convert(UTF8ToUTF16LE, {0xE2, 0x82, 0xAC}, 16);
    EXPECT_EQ(r.out, (Bytes{0xAC, 0x20}));
}

TEST(UTFConvert, Utf16CutAtEveryByte) {
    const Bytes whole = Utf16({0x41, 0xD83D, 0xDE00}, false);
    const struct {
        size_t cut;
        int consumed;
        Bytes out;
    } cases[] = {
        {1, 0, {}},     {2, 2, {0x41}}, {3, 2, {0x41}},
        {4, 2, {0x41}}, {5, 2, {0x41}}, {6, 6, {0x41, 0xF0, 0x9F, 0x98, 0x80}},
    };
    for (const auto& c : cases) {
        const Outcome r = Convert(UTF16LEToUTF8, Bytes(whole.begin(), whole.begin() + c.cut), 32);
        EXPECT_EQ(r.result, 0) << "cut " << c.cut;
        EXPECT_EQ(r.consumed, c.consumed) << "cut " << c.cut;
        EXPECT_EQ(r.out, c.out) << "cut " << c.cut;
    }
}

// A character is started only with six bytes of room, whatever its length: capacity 6 gives
// exactly one character, and no output ever passes the capacity.
TEST(UTFConvert, Utf16ToUtf8OutputRoomEndingInsideACharacter) {
    const Bytes in = Utf16({0x41, 0x07FF, 0x20AC, 0xD83D, 0xDE00, 0x42}, false);
    const Bytes full = {0x41, 0xDF, 0xBF, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x98, 0x80, 0x42};
    const Bytes four = {0xF0, 0x9F, 0x98, 0x80};
    EXPECT_EQ(Convert(UTF16LEToUTF8, Utf16({0xD83D, 0xDE00, 0x41}, false), 6).out, four);
    EXPECT_EQ(Convert(UTF16LEToUTF8, Utf16({0x20AC, 0x41}, false), 6).out,
              (Bytes{0xE2, 0x82, 0xAC}));

    for (int capacity = 0; capacity <= 20; ++capacity) {
        const Outcome r = Convert(UTF16LEToUTF8, in, capacity);
        EXPECT_EQ(r.result, 0);
        EXPECT_TRUE(r.canaryKept) << "capacity " << capacity;
        ASSERT_LE(r.written, capacity);
        EXPECT_EQ(r.out, Bytes(full.begin(), full.begin() + r.written)) << "capacity " << capacity;
        if (capacity < 6) {
            EXPECT_EQ(r.written, 0) << "capacity " << capacity;
        }
        // Consumed and written describe the same whole characters.
        const Bytes consumed(in.begin(), in.begin() + r.consumed);
        const Outcome again = Convert(UTF16LEToUTF8, consumed, 64);
        EXPECT_EQ(again.out, r.out) << "capacity " << capacity;
    }
}

TEST(UTFConvert, Utf8ToUtf16OutputRoomEndingInsideACharacter) {
    const Bytes in = {0x41, 0xF0, 0x9F, 0x98, 0x80, 0xE2, 0x82, 0xAC};
    const struct {
        int capacity;
        int written;
        int consumed;
    } cases[] = {
        {0, 0, 0}, {1, 0, 0}, {2, 2, 1}, {3, 2, 1}, {4, 2, 1},  // the pair needs two units
        {5, 2, 1}, {6, 6, 5}, {7, 6, 5}, {8, 8, 8}, {9, 8, 8},
    };
    for (const auto& c : cases) {
        for (Converter convert : {UTF8ToUTF16LE, UTF8ToUTF16BE}) {
            const Outcome r = Convert(convert, in, c.capacity);
            EXPECT_EQ(r.result, 0);
            EXPECT_EQ(r.written, c.written) << "capacity " << c.capacity;
            EXPECT_EQ(r.consumed, c.consumed) << "capacity " << c.capacity;
            EXPECT_TRUE(r.canaryKept) << "capacity " << c.capacity;
        }
    }
}

TEST(UTFConvert, MalformedUtf8) {
    const struct {
        Bytes in;
        int result;
        int consumed;
    } cases[] = {
        {{0x80}, -2, 0},  // lone continuation byte
        {{0x41, 0xBF, 0x41}, -2, 1},
        {{0xF8, 0x80, 0x80, 0x80}, -2, 0},  // no lead byte of five or more
        {{0xFF}, -2, 0},
        {{0x41, 0xC3, 0x41}, -2, 1},  // lead byte followed by no continuation byte
        {{0xE2, 0x82, 0x41}, -2, 0},
        {{0xF4, 0x90, 0x80, 0x80}, 0, 0},  // above U+10FFFF: stops, not malformed
        {{0x41, 0xF7, 0xBF, 0xBF, 0xBF}, 0, 1},
    };
    for (const auto& c : cases) {
        for (Converter convert : {UTF8ToUTF16LE, UTF8ToUTF16BE}) {
            const Outcome r = Convert(convert, c.in, 16);
            EXPECT_EQ(r.result, c.result) << testing::PrintToString(c.in);
            EXPECT_EQ(r.consumed, c.consumed) << testing::PrintToString(c.in);
            EXPECT_EQ(r.written, 2 * c.consumed) << testing::PrintToString(c.in);
        }
    }
}

TEST(UTFConvert, Utf8OverlongFormsAndEncodedSurrogatesAreWrittenAsComputed) {
    EXPECT_EQ(Convert(UTF8ToUTF16LE, {0xC0, 0x80}, 8).out, (Bytes{0x00, 0x00}));
    EXPECT_EQ(Convert(UTF8ToUTF16LE, {0xE0, 0x81, 0x81}, 8).out, (Bytes{0x41, 0x00}));
    EXPECT_EQ(Convert(UTF8ToUTF16BE, {0xED, 0xA0, 0x80}, 8).out, (Bytes{0xD8, 0x00}));
}

TEST(UTFConvert, NullInputWritesTheByteOrderMark) {
    for (bool big : {false, true}) {
        Converter convert = big ? UTF8ToUTF16BE : UTF8ToUTF16LE;
        unsigned char out[4] = {kCanary, kCanary, kCanary, kCanary};
        int written = 2, consumed = 7;
        EXPECT_EQ(convert(out, &written, nullptr, &consumed), 2);
        EXPECT_EQ(written, 2);
        EXPECT_EQ(consumed, 0);
        EXPECT_EQ(out[0], big ? 0xFE : 0xFF);
        EXPECT_EQ(out[1], big ? 0xFF : 0xFE);
        EXPECT_EQ(out[2], kCanary);

        out[0] = kCanary;
        written = 1;
        consumed = 7;
        EXPECT_EQ(convert(out, &written, nullptr, &consumed), 0);
        EXPECT_EQ(written, 0);
        EXPECT_EQ(consumed, 0);
        EXPECT_EQ(out[0], kCanary);
    }
}

TEST(UTFConvert, MissingArgumentsAreRefused) {
    unsigned char out[8];
    const unsigned char in[2] = {0x41, 0x00};
    int written = 8, consumed = 2;
    for (Converter convert : {UTF16LEToUTF8, UTF16BEToUTF8, UTF8ToUTF16LE, UTF8ToUTF16BE}) {
        EXPECT_EQ(convert(out, nullptr, in, &consumed), -2);
        EXPECT_EQ(convert(out, &written, in, nullptr), -2);
        written = 8, consumed = 2;
        EXPECT_EQ(convert(nullptr, &written, in, &consumed), -2);
        EXPECT_EQ(written, 0);
        EXPECT_EQ(consumed, 0);
        written = -5, consumed = 2;
        EXPECT_EQ(convert(out, &written, in, &consumed), 0) << "negative room counts as none";
        EXPECT_EQ(written, 0);
        EXPECT_EQ(consumed, 0);
    }
    written = 8, consumed = 2;
    EXPECT_EQ(UTF16LEToUTF8(out, &written, nullptr, &consumed), -2);
}

// A long text fed in pieces of varying size into small output buffers, each call continuing
// where the previous one stopped, gives exactly the conversion of the whole.
TEST(UTFConvert, PieceByPieceConversionEqualsTheWhole) {
    Bytes utf8;
    const Bytes sample = {'K',  'x',  0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xF0, 0x9F,
                          0x98, 0x80, 0xD0, 0x96, 0xE4, 0xB8, 0xAD, ' '};
    for (int i = 0; i < 40; ++i) utf8.insert(utf8.end(), sample.begin(), sample.end());

    for (bool big : {false, true}) {
        const Converter toUtf16 = big ? UTF8ToUTF16BE : UTF8ToUTF16LE;
        const Converter toUtf8 = big ? UTF16BEToUTF8 : UTF16LEToUTF8;
        const Outcome whole16 = Convert(toUtf16, utf8, 4096);
        ASSERT_EQ(whole16.consumed, static_cast<int>(utf8.size()));

        Bytes pieces16;
        size_t at = 0;
        for (int step = 0; at < utf8.size(); ++step) {
            ASSERT_LT(step, 10000) << "no progress";
            const size_t piece = std::min<size_t>(1 + step % 7, utf8.size() - at);
            const Outcome r =
                Convert(toUtf16, Bytes(utf8.begin() + at, utf8.begin() + at + piece), 2 + step % 5);
            ASSERT_EQ(r.result, 0);
            ASSERT_TRUE(r.canaryKept);
            pieces16.insert(pieces16.end(), r.out.begin(), r.out.end());
            at += r.consumed;
        }
        EXPECT_EQ(pieces16, whole16.out) << (big ? "BE" : "LE");
        // Only the little-endian stream waits for the low half of a pair cut off at a piece's
        // end; the big-endian one reports it as malformed.
        if (big) continue;

        Bytes pieces8;
        at = 0;
        for (int step = 0; at < pieces16.size(); ++step) {
            ASSERT_LT(step, 10000) << "no progress";
            const size_t piece = std::min<size_t>(2 + step % 9, pieces16.size() - at);
            const Outcome r = Convert(
                toUtf8, Bytes(pieces16.begin() + at, pieces16.begin() + at + piece), 6 + step % 4);
            ASSERT_EQ(r.result, 0);
            ASSERT_TRUE(r.canaryKept);
            pieces8.insert(pieces8.end(), r.out.begin(), r.out.end());
            at += r.consumed;
        }
        EXPECT_EQ(pieces8, utf8);
    }
}

}  // namespace
