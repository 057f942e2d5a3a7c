// Base64: decoding arbitrary UTF-16 text into a buffer of arbitrary size, and encoding
// arbitrary bytes into a text buffer of arbitrary size, then back. Buffers are allocated at
// their exact size so that AddressSanitizer sees any write beyond them.
#include <kxcommon/B64.h>

#include "FuzzCheck.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t room = TakeSize(&data, &size, 4096);

    // Decode: the bytes as 16-bit units, terminated.
    std::vector<unsigned short> text(size / 2 + 1, 0);
    for (size_t i = 0; i + 1 < size; i += 2)
        text[i / 2] = static_cast<unsigned short>(data[i] | (data[i + 1] << 8));
    unsigned char* out = new unsigned char[room + 1];  // +1: new[0] is not a buffer
    const int decoded = B64::Base64ToBinary(text.data(), out, static_cast<unsigned int>(room));
    KX_FUZZ_CHECK(decoded >= 0);
    KX_FUZZ_CHECK(static_cast<size_t>(decoded) <= room);
    delete[] out;

    // Encode into a buffer of `room` units, then decode what was written.
    if (size == 0) return 0;
    unsigned short* encoded = new unsigned short[room + 1];
    const unsigned int units = static_cast<unsigned int>(room);
    const int position = B64::BinaryToBase64(const_cast<uint8_t*>(data), size, encoded, units);
    const size_t whole = (size + 2) / 3 * 3;
    if (room == 0) {
        KX_FUZZ_CHECK(position == 0);
    } else {
        KX_FUZZ_CHECK(position >= 0 && position % 3 == 0);
        KX_FUZZ_CHECK(static_cast<size_t>(position) <= whole);
        size_t length = 0;
        while (encoded[length] != 0) ++length;
        KX_FUZZ_CHECK(length == static_cast<size_t>(position) / 3 * 4);
        KX_FUZZ_CHECK(length < room);
        // What was encoded decodes back to the bytes it covers.
        const size_t covered = position == static_cast<int>(whole) ? size : position;
        std::vector<unsigned char> back(covered + 3);
        const int got =
            B64::Base64ToBinary(encoded, back.data(), static_cast<unsigned int>(back.size()));
        KX_FUZZ_CHECK(static_cast<size_t>(got) == covered);
        KX_FUZZ_CHECK(covered == 0 || std::memcmp(back.data(), data, covered) == 0);
    }
    delete[] encoded;
    return 0;
}
