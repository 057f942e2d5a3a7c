// The key file of the management-server link ("mgi.key"), read from its bytes apart from the
// file calls so that it is built and fuzzed natively as well:
//
//   offset 0       4 bytes   length L1 of the first component, unsigned little-endian, never 0
//   offset 4       L1 bytes  the first component
//   offset 4 + L1  4 bytes   length L2 of the second component, likewise
//   offset 8 + L1  L2 bytes  the second component
//   offset 8+L1+L2 1 byte    flag, written as 1; a file that ends before it reads as 0
//
// Bytes after the flag are not looked at.
#pragma once

#include <cstddef>

namespace kx {

struct KeyFileParts {
    const unsigned char* first = nullptr;  // into the file's bytes
    const unsigned char* second = nullptr;
    unsigned char flag = 0;
};

// Finds the components in the file's `size` bytes. `firstLength` and `secondLength` come in as
// the capacities, in bytes, of the buffers the components are for, and each receives its stored
// length as soon as that is read. True when both components are there whole and each fits its
// buffer; `parts` is set only then.
bool ParseKeyFile(const unsigned char* bytes, size_t size, unsigned long& firstLength,
                  unsigned long& secondLength, KeyFileParts& parts);

// The most bytes a key file is read for, given the capacities: all a parse can look at.
unsigned long long KeyFileBytesWanted(unsigned long firstCapacity, unsigned long secondCapacity);

}  // namespace kx
