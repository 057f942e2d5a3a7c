// The key file of the management-server link: any bytes for buffers of any capacity. A parse
// that succeeds points inside the file at components of the stored lengths, each fitting its
// buffer; a failed one sets no parts; and the bytes a read is sized for are all a parse uses.
#include "../src/protection/KeyFile.h"

#include "FuzzCheck.h"

#include <vector>

namespace {

unsigned long Word(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<unsigned long>(p[3]) << 24;
}

// A capacity from the input: small ones reach the bounds, the largest value stands for a
// caller that asks for everything.
unsigned long Capacity(const uint8_t** data, size_t* size) {
    const unsigned unit = TakeUnit(data, size);
    return unit == 0xFFFF ? 0xFFFFFFFFul : unit % 1024;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const unsigned long firstCapacity = Capacity(&data, &size);
    const unsigned long secondCapacity = Capacity(&data, &size);
    const std::vector<unsigned char> file(data, data + size);  // exactly the file's bytes

    unsigned long l1 = firstCapacity, l2 = secondCapacity;
    kx::KeyFileParts parts;
    parts.flag = 0xBD;
    const bool parsed = kx::ParseKeyFile(file.data(), file.size(), l1, l2, parts);
    if (size >= 4) KX_FUZZ_CHECK(l1 == Word(file.data()));
    if (!parsed) {
        KX_FUZZ_CHECK(parts.first == nullptr && parts.second == nullptr && parts.flag == 0xBD);
    } else {
        KX_FUZZ_CHECK(l1 != 0 && l1 <= firstCapacity && l2 != 0 && l2 <= secondCapacity);
        KX_FUZZ_CHECK(parts.first == file.data() + 4);
        KX_FUZZ_CHECK(l2 == Word(file.data() + 4 + l1));
        KX_FUZZ_CHECK(parts.second == file.data() + 8 + l1);
        const size_t end = 8 + l1 + l2;
        KX_FUZZ_CHECK(end <= size);
        KX_FUZZ_CHECK(parts.flag == (end < size ? file[end] : 0));
        unsigned sum = 0;  // every byte of both components is inside the file
        for (unsigned long i = 0; i < l1; ++i) sum += parts.first[i];
        for (unsigned long i = 0; i < l2; ++i) sum += parts.second[i];
        (void)sum;
    }

    // Read only as many bytes as wanted: the same answer.
    const unsigned long long wanted = kx::KeyFileBytesWanted(firstCapacity, secondCapacity);
    if (wanted < size) {
        const std::vector<unsigned char> prefix(file.begin(), file.begin() + wanted);
        unsigned long p1 = firstCapacity, p2 = secondCapacity;
        kx::KeyFileParts prefixParts;
        KX_FUZZ_CHECK(kx::ParseKeyFile(prefix.data(), prefix.size(), p1, p2, prefixParts) ==
                      parsed);
        KX_FUZZ_CHECK(!parsed || (p1 == l1 && p2 == l2 && prefixParts.flag == parts.flag));
    }
    return 0;
}
