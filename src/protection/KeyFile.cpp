#include "KeyFile.h"

namespace kx {
namespace {

constexpr size_t kLengthBytes = 4;
constexpr size_t kFlagBytes = 1;

// One component at `offset`: its length word, then its bytes. `length` receives the stored
// length once the word is read; `offset` moves past the component when it is whole and fits.
bool TakeComponent(const unsigned char* bytes, size_t size, size_t& offset, unsigned long& length,
                   const unsigned char*& component) {
    const unsigned long capacity = length;
    if (size - offset < kLengthBytes) return false;
    unsigned long stored = 0;
    for (size_t i = 0; i < kLengthBytes; ++i)
        stored |= static_cast<unsigned long>(bytes[offset + i]) << (8 * i);
    offset += kLengthBytes;
    length = stored;
    if (stored == 0 || stored > capacity || stored > size - offset) return false;
    component = bytes + offset;
    offset += stored;
    return true;
}

}  // namespace

bool ParseKeyFile(const unsigned char* bytes, size_t size, unsigned long& firstLength,
                  unsigned long& secondLength, KeyFileParts& parts) {
    if (bytes == nullptr) size = 0;
    size_t offset = 0;
    KeyFileParts found;
    if (!TakeComponent(bytes, size, offset, firstLength, found.first) ||
        !TakeComponent(bytes, size, offset, secondLength, found.second))
        return false;
    found.flag = offset < size ? bytes[offset] : 0;
    parts = found;
    return true;
}

unsigned long long KeyFileBytesWanted(unsigned long firstCapacity, unsigned long secondCapacity) {
    return 2 * kLengthBytes + static_cast<unsigned long long>(firstCapacity) + secondCapacity +
           kFlagBytes;
}

}  // namespace kx
