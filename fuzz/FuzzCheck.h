// What the fuzz targets share: a check that ends the run with a report, and reading the
// fuzzer's bytes as sizes and texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#define KX_FUZZ_CHECK(condition)                                                               \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

// Takes the first two bytes as a size below `limit` (0 when the input is shorter).
inline size_t TakeSize(const uint8_t** data, size_t* size, size_t limit) {
    if (*size < 2) return 0;
    const size_t value = ((*data)[0] | (size_t{(*data)[1]} << 8)) % limit;
    *data += 2;
    *size -= 2;
    return value;
}

// Runs `check(bigEndian, input, inputSize, room)` for both byte orders, with the room taken
// from the first two bytes and the rest copied to a buffer of its exact size, so that a read
// past the input is seen.
template <typename Check>
void CheckBothByteOrders(const uint8_t* data, size_t size, Check check) {
    const size_t room = TakeSize(&data, &size, 1024);
    unsigned char* in = new unsigned char[size + 1];
    if (size != 0) std::memcpy(in, data, size);
    check(false, in, size, room);
    check(true, in, size, room);
    delete[] in;
}

// Takes the next 16-bit little-endian unit (0 when fewer than two bytes are left).
inline unsigned TakeUnit(const uint8_t** data, size_t* size) {
    if (*size < 2) return 0;
    const unsigned unit = (*data)[0] | (unsigned{(*data)[1]} << 8);
    *data += 2;
    *size -= 2;
    return unit;
}

// The rest of the input as 16-bit little-endian units, the library's UTF-16 code units, in a
// terminated text allocated at its exact size (a read past the terminator is seen). wchar_t
// holds a unit on every platform; an odd last byte is dropped. A zero unit ends the text early
// for the parsers, as it would on the device.
inline std::vector<wchar_t> TakeWideText(const uint8_t* data, size_t size) {
    std::vector<wchar_t> text(size / 2 + 1, 0);
    for (size_t i = 0; i + 1 < size; i += 2)
        text[i / 2] = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    return text;
}
