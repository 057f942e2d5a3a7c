// Version texts: any text scans to a documented count with both words written, and a formatted
// version scans back to its words; formatting into a buffer of any size stays inside it and
// either fits or says it did not, terminated either way.
#include <kxcommon/FmtVer.h>

#include "FuzzCheck.h"

#include <vector>

namespace {

constexpr unsigned long kWordMask = 0xFFFFFFFFul;

bool IsSpace(unsigned c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

size_t Length(const unsigned short* text) {
    size_t n = 0;
    while (text[n] != 0) ++n;
    return n;
}

// Formats into a buffer of exactly `room` units with a canary after it.
template <typename Format>
void CheckFormat(size_t room, Format format) {
    std::vector<unsigned short> out(room + 1, 0xBDBD);
    const int result = format(out.data(), static_cast<unsigned long>(room));
    KX_FUZZ_CHECK(out[room] == 0xBDBD);
    if (room == 0) {
        KX_FUZZ_CHECK(result == -1);
        return;
    }
    const size_t length = Length(out.data());
    KX_FUZZ_CHECK(length < room);
    KX_FUZZ_CHECK(result == -1 || static_cast<size_t>(result) == length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t room = TakeSize(&data, &size, 40);
    unsigned long words[4];
    for (unsigned long& word : words) word = TakeUnit(&data, &size);
    const unsigned long high = (words[0] << 16 | words[1]) & kWordMask;
    const unsigned long low = (words[2] << 16 | words[3]) & kWordMask;

    // Any text.
    std::vector<unsigned short> text(size / 2 + 1, 0);
    for (size_t i = 0; i + 1 < size; i += 2)
        text[i / 2] = static_cast<unsigned short>(data[i] | (data[i + 1] << 8));
    unsigned long h = 0xDEADBEEF, l = 0xDEADBEEF;
    const int parts = FmtVer::Convert(text.data(), h, l);
    KX_FUZZ_CHECK(parts >= -1 && parts <= 4);
    KX_FUZZ_CHECK(h <= kWordMask && l <= kWordMask);
    size_t blank = 0;
    while (IsSpace(text[blank])) ++blank;
    KX_FUZZ_CHECK((parts == -1) == (text[blank] == 0));
    if (parts <= 0) KX_FUZZ_CHECK(h == 0 && l == 0);

    // A formatted version scans back to its words.
    unsigned short formatted[64];
    const int length = FmtVer::Convert(high, low, formatted, 64);
    KX_FUZZ_CHECK(length > 0 && static_cast<size_t>(length) == Length(formatted));
    KX_FUZZ_CHECK(FmtVer::Convert(formatted, h, l) == 4 && h == high && l == low);
    CheckFormat(room, [&](unsigned short* out, unsigned long n) {
        return FmtVer::Convert(high, low, out, n);
    });

    // Pattern numbers.
    unsigned long major = 1, minor = 1, build = 1;
    KX_FUZZ_CHECK(FmtVer::ConvertPattern(high, major, minor, build) == 0);
    if (high <= 999)
        KX_FUZZ_CHECK(major == 0 && minor == 0 && build == 0);
    else
        KX_FUZZ_CHECK(minor <= 999 && build <= 99 && major * 100000 + minor * 100 + build == high);
    CheckFormat(room, [&](unsigned short* out, unsigned long n) {
        return FmtVer::ConvertPattern(high, out, n);
    });
    return 0;
}
