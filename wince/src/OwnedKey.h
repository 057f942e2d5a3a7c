// Owns an open registry key of the platform layer, closed once when the owner goes.
#pragma once

#include <windows.h>

namespace wince {

class OwnedKey {
public:
    OwnedKey() = default;
    ~OwnedKey() {
        if (key_ != nullptr) ::RegCloseKey(key_);
    }
    OwnedKey(const OwnedKey&) = delete;
    OwnedKey& operator=(const OwnedKey&) = delete;

    HKEY Get() const { return key_; }
    // For the out-parameter of an open or create call; the key must not be held yet.
    HKEY* Receive() { return &key_; }

private:
    HKEY key_ = nullptr;
};

}  // namespace wince
