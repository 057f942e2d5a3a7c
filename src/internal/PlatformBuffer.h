// A zero-filled byte buffer as large as the platform says a record or value is, allocated
// without throwing: a buffer without memory is empty, and its user fails as it does when the
// platform call fails.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

namespace kx {

class PlatformBuffer {
public:
    explicit PlatformBuffer(size_t bytes)
        : bytes_(new (std::nothrow) unsigned char[bytes]()), size_(bytes_ ? bytes : 0) {}

    explicit operator bool() const { return bytes_ != nullptr; }
    unsigned char* data() const { return bytes_.get(); }
    size_t size() const { return size_; }
    // The buffer's start as a platform record.
    template <typename Record>
    Record* As() const {
        return reinterpret_cast<Record*>(bytes_.get());
    }

private:
    std::unique_ptr<unsigned char[]> bytes_;
    size_t size_;
};

}  // namespace kx
