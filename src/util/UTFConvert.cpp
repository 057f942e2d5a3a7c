#include "kxcommon/UTFConvert.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

constexpr int kOk = 0;
constexpr int kMalformed = -2;
constexpr int kByteOrderMark = 2;

// Room a character of UTF-8 may need at most; a character is started only with this much left.
constexpr size_t kUtf8CharRoom = 6;

enum class ByteOrder { kLittle, kBig };

template <ByteOrder order>
inline uint32_t ReadUnit(const unsigned char* p) {
    return order == ByteOrder::kLittle ? (p[0] | (uint32_t{p[1]} << 8))
                                       : ((uint32_t{p[0]} << 8) | p[1]);
}

template <ByteOrder order>
inline void WriteUnit(unsigned char* p, uint32_t unit) {
    const unsigned char low = static_cast<unsigned char>(unit);
    const unsigned char high = static_cast<unsigned char>(unit >> 8);
    p[order == ByteOrder::kLittle ? 0 : 1] = low;
    p[order == ByteOrder::kLittle ? 1 : 0] = high;
}

// True when the four units at `p` are all below 0x80: tested eight bytes at once, since the
// ASCII runs of text make up most of it.
template <ByteOrder order>
inline bool FourAsciiUnits(const unsigned char* p) {
    static const unsigned char kLittleMask[8] = {0x80, 0xFF, 0x80, 0xFF, 0x80, 0xFF, 0x80, 0xFF};
    static const unsigned char kBigMask[8] = {0xFF, 0x80, 0xFF, 0x80, 0xFF, 0x80, 0xFF, 0x80};
    uint64_t units, mask;
    std::memcpy(&units, p, sizeof units);
    std::memcpy(&mask, order == ByteOrder::kLittle ? kLittleMask : kBigMask, sizeof mask);
    return (units & mask) == 0;
}

// True when the eight bytes at `p` are all below 0x80.
inline bool EightAsciiBytes(const unsigned char* p) {
    uint64_t bytes;
    std::memcpy(&bytes, p, sizeof bytes);
    return (bytes & 0x8080808080808080u) == 0;
}

// Two ASCII characters as the four bytes of their units, in a word laid out in memory as the
// units go: one store instead of four, which matters where the compiler does not merge them.
template <ByteOrder order>
inline uint32_t TwoAsciiUnits(uint32_t first, uint32_t second) {
    const uint16_t probe = 1;
    unsigned char lowByteFirst = 0;
    std::memcpy(&lowByteFirst, &probe, 1);
    // The bit each character's byte starts at, counted from the word's low end.
    const bool hostLittle = lowByteFirst == 1;
    const int firstShift = hostLittle ? (order == ByteOrder::kLittle ? 0 : 8)
                                      : (order == ByteOrder::kLittle ? 24 : 16);
    const int secondShift = hostLittle ? (order == ByteOrder::kLittle ? 16 : 24)
                                       : (order == ByteOrder::kLittle ? 8 : 0);
    return (first << firstShift) | (second << secondShift);
}

// Checks the pointers and clamps the lengths; false when the call cannot even report counts.
bool Prepare(unsigned char* out, int* outLength, const unsigned char* in, int* inLength,
             bool inMayBeNull, size_t* capacity, size_t* length) {
    if (outLength == nullptr || inLength == nullptr) return false;
    *capacity = *outLength > 0 ? static_cast<size_t>(*outLength) : 0;
    *length = *inLength > 0 ? static_cast<size_t>(*inLength) : 0;
    if ((out == nullptr && *capacity != 0) || (in == nullptr && *length != 0 && !inMayBeNull)) {
        *outLength = 0;
        *inLength = 0;
        return false;
    }
    return true;
}

int Finish(int result, int* outLength, size_t written, int* inLength, size_t consumed) {
    *outLength = static_cast<int>(written);
    *inLength = static_cast<int>(consumed);
    return result;
}

template <ByteOrder order>
int Utf16ToUtf8(unsigned char* out, int* outLength, const unsigned char* in, int* inLength) {
    size_t capacity = 0, length = 0;
    if (!Prepare(out, outLength, in, inLength, false, &capacity, &length)) return kMalformed;
    if (length % 2 != 0) {
        --length;
        *inLength = static_cast<int>(length);
    }

    size_t i = 0;  // input bytes consumed
    size_t w = 0;  // output bytes written
    int result = kOk;
    while (i < length && w + kUtf8CharRoom <= capacity) {
        uint32_t c = ReadUnit<order>(in + i);
        if (c < 0x80) {
            // Text is mostly ASCII: copy the whole run that the six-byte rule lets start.
            const size_t limit = std::min((length - i) / 2, capacity - (kUtf8CharRoom - 1) - w);
            size_t k = 0;
            for (; k + 4 <= limit && FourAsciiUnits<order>(in + i + 2 * k); k += 4) {
                for (size_t j = 0; j < 4; ++j)
                    out[w + k + j] = in[i + 2 * (k + j) + (order == ByteOrder::kLittle ? 0 : 1)];
            }
            for (; k < limit; ++k) {
                const uint32_t unit = ReadUnit<order>(in + i + 2 * k);
                if (unit >= 0x80) break;
                out[w + k] = static_cast<unsigned char>(unit);
            }
            w += k;
            i += 2 * k;
            continue;
        }
        size_t units = 1;
        if ((c & 0xFC00) == 0xD800) {
            if (i + 2 >= length) {
                // The pair may continue in the caller's next piece; the big-endian stream has
                // always treated an unpaired ending as broken.
                if (order == ByteOrder::kBig) result = kMalformed;
                break;
            }
            const uint32_t d = ReadUnit<order>(in + i + 2);
            if ((d & 0xFC00) != 0xDC00) {
                result = kMalformed;
                break;
            }
            c = (((c & 0x3FF) << 10) | (d & 0x3FF)) + 0x10000;
            units = 2;
        }
        if (c < 0x800) {
            out[w] = static_cast<unsigned char>(0xC0 | ((c >> 6) & 0x1F));
            out[w + 1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
            w += 2;
        } else if (c < 0x10000) {
            out[w] = static_cast<unsigned char>(0xE0 | ((c >> 12) & 0x0F));
            out[w + 1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
            out[w + 2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
            w += 3;
        } else {
            out[w] = static_cast<unsigned char>(0xF0 | ((c >> 18) & 0x07));
            out[w + 1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
            out[w + 2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
            out[w + 3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
            w += 4;
        }
        i += units * 2;
    }
    return Finish(result, outLength, w, inLength, i);
}

template <ByteOrder order>
int Utf8ToUtf16(unsigned char* out, int* outLength, const unsigned char* in, int* inLength) {
    size_t capacity = 0, length = 0;
    if (!Prepare(out, outLength, in, inLength, true, &capacity, &length)) return kMalformed;
    if (in == nullptr) {
        if (capacity < 2) return Finish(kOk, outLength, 0, inLength, 0);
        WriteUnit<order>(out, 0xFEFF);
        return Finish(kByteOrderMark, outLength, 2, inLength, 0);
    }

    const size_t room = capacity / 2 * 2;  // whole units only
    size_t i = 0;
    size_t w = 0;
    int result = kOk;
    while (i < length) {
        uint32_t c = in[i];
        if (c < 0x80) {
            const size_t limit = std::min(length - i, (room - w) / 2);
            if (limit == 0) break;
            size_t k = 0;
            for (; k + 8 <= limit && EightAsciiBytes(in + i + k); k += 8) {
                for (size_t j = 0; j < 8; j += 2) {
                    const uint32_t units = TwoAsciiUnits<order>(in[i + k + j], in[i + k + j + 1]);
                    std::memcpy(out + w + 2 * (k + j), &units, sizeof units);
                }
            }
            for (; k < limit && in[i + k] < 0x80; ++k) WriteUnit<order>(out + w + 2 * k, in[i + k]);
            w += 2 * k;
            i += k;
            continue;
        }
        size_t trail;
        if (c < 0xC0) {
            result = kMalformed;
            break;
        } else if (c < 0xE0) {
            c &= 0x1F;
            trail = 1;
        } else if (c < 0xF0) {
            c &= 0x0F;
            trail = 2;
        } else if (c < 0xF8) {
            c &= 0x07;
            trail = 3;
        } else {
            result = kMalformed;
            break;
        }
        if (length - i - 1 < trail) break;  // cut off: wait for the rest
        bool broken = false;
        for (size_t k = 1; k <= trail; ++k) {
            const uint32_t b = in[i + k];
            broken |= (b & 0xC0) != 0x80;
            c = (c << 6) | (b & 0x3F);
        }
        if (broken) {
            result = kMalformed;
            break;
        }
        if (c < 0x10000) {
            if (w + 2 > room) break;
            WriteUnit<order>(out + w, c);
            w += 2;
        } else if (c <= 0x10FFFF) {
            if (w + 4 > room) break;
            c -= 0x10000;
            WriteUnit<order>(out + w, 0xD800 | (c >> 10));
            WriteUnit<order>(out + w + 2, 0xDC00 | (c & 0x3FF));
            w += 4;
        } else {
            break;  // beyond the code space: stops like the end of the input
        }
        i += trail + 1;
    }
    return Finish(result, outLength, w, inLength, i);
}

}  // namespace

int UTF16LEToUTF8(unsigned char* out, int* outLength, const unsigned char* in, int* inLength) {
    return Utf16ToUtf8<ByteOrder::kLittle>(out, outLength, in, inLength);
}

int UTF16BEToUTF8(unsigned char* out, int* outLength, const unsigned char* in, int* inLength) {
    return Utf16ToUtf8<ByteOrder::kBig>(out, outLength, in, inLength);
}

int UTF8ToUTF16LE(unsigned char* out, int* outLength, const unsigned char* in, int* inLength) {
    return Utf8ToUtf16<ByteOrder::kLittle>(out, outLength, in, inLength);
}

int UTF8ToUTF16BE(unsigned char* out, int* outLength, const unsigned char* in, int* inLength) {
    return Utf8ToUtf16<ByteOrder::kBig>(out, outLength, in, inLength);
}
