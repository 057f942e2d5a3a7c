// Whether a caller's buffer may be read or written for a number of bytes, asked of the virtual
// memory manager instead of by touching the bytes, so a bad buffer is refused before any platform
// call could write into it.
#pragma once

#include <cstddef>

namespace kx {

bool IsReadableRange(const void* p, size_t bytes);
bool IsWritableRange(void* p, size_t bytes);

}  // namespace kx
