#include "kxcommon/B64.h"

#include <cstddef>

// The alphabet, then the pad character at position 64.
const unsigned short B64::m_base64Key[] = {
    'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O', 'P', 'Q',
    'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z', 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h',
    'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p', 'q', 'r', 's', 't', 'u', 'v', 'w', 'x', 'y',
    'z', '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', '+', '/', '=', 0};

namespace {

constexpr unsigned char kNotADigit = 255;
constexpr int kPad = 64;

// The inverse of the alphabet for every 8-bit code; units above 0xFF are never digits. Built at
// compile time so decoding looks a digit up instead of searching the alphabet for it.
struct DigitTable {
    unsigned char value[256];
    constexpr DigitTable() : value() {
        for (int i = 0; i < 256; ++i) value[i] = kNotADigit;
        const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; i < 64; ++i)
            value[static_cast<unsigned char>(alphabet[i])] = static_cast<unsigned char>(i);
    }
};
constexpr DigitTable kDigits;

}  // namespace

unsigned char B64::IndexOfBase64(unsigned short c) {
    return c < 256 ? kDigits.value[c] : kNotADigit;
}

int B64::BinaryToBase64(unsigned char* data, unsigned long length, unsigned short* text,
                        unsigned int size) {
    if (data == nullptr || length == 0 || text == nullptr || size == 0) return 0;
    text[0] = 0;

    const size_t groupsNeeded = (static_cast<size_t>(length) + 2) / 3;
    const size_t groupsRoom = (static_cast<size_t>(size) - 1) / 4;
    const size_t groups = groupsNeeded < groupsRoom ? groupsNeeded : groupsRoom;
    const size_t fullGroups = groups < length / 3 ? groups : length / 3;
    const unsigned short* key = m_base64Key;

    const unsigned char* in = data;
    unsigned short* out = text;
    for (size_t g = 0; g < fullGroups; ++g, in += 3, out += 4) {
        const unsigned b0 = in[0], b1 = in[1], b2 = in[2];
        out[0] = key[b0 >> 2];
        out[1] = key[((b0 & 0x03) << 4) | (b1 >> 4)];
        out[2] = key[((b1 & 0x0F) << 2) | (b2 >> 6)];
        out[3] = key[b2 & 0x3F];
    }
    if (groups > fullGroups) {  // the last one or two bytes, padded
        const size_t rest = length - fullGroups * 3;
        const unsigned b0 = in[0];
        const unsigned b1 = rest > 1 ? in[1] : 0;
        out[0] = key[b0 >> 2];
        out[1] = key[((b0 & 0x03) << 4) | (b1 >> 4)];
        out[2] = rest > 1 ? key[(b1 & 0x0F) << 2] : key[kPad];
        out[3] = key[kPad];
        out += 4;
    }
    *out = 0;
    return static_cast<int>(groups * 3);
}

int B64::Base64ToBinary(const unsigned short* text, unsigned char* data, unsigned int size) {
    if (text == nullptr || data == nullptr) return 0;
    size_t n = 0;
    while (text[n] != 0) ++n;
    if (n == 0 || n % 4 != 0) return 0;
    // Admits a buffer that holds the groups when the last carries two pads.
    if (static_cast<size_t>(size) + 2 < 3 * (n / 4)) return 0;

    const size_t room = size;
    size_t count = 0;
    for (size_t g = 0; g < n; g += 4) {
        const unsigned i0 = IndexOfBase64(text[g]);
        const unsigned i1 = IndexOfBase64(text[g + 1]);
        if (i0 == kNotADigit || i1 == kNotADigit) break;
        const unsigned i2 = IndexOfBase64(text[g + 2]);
        const unsigned i3 = IndexOfBase64(text[g + 3]);
        unsigned char bytes[3];
        bytes[0] = static_cast<unsigned char>((i0 << 2) | (i1 >> 4));
        size_t carried = 1;
        if (i2 != kNotADigit) {
            bytes[1] = static_cast<unsigned char>(((i1 << 4) & 0xFF) | (i2 >> 2));
            carried = 2;
            if (i3 != kNotADigit) {
                bytes[2] = static_cast<unsigned char>(((i2 << 6) & 0xFF) | i3);
                carried = 3;
            }
        }
        if (carried == 3 && count + 3 <= room) {  // the usual case: a whole group that fits
            data[count] = bytes[0];
            data[count + 1] = bytes[1];
            data[count + 2] = bytes[2];
            count += 3;
            continue;
        }
        for (size_t k = 0; k < carried && count < room; ++k) data[count++] = bytes[k];
        if (carried < 3 || count == room) break;
    }
    return static_cast<int>(count);
}
