// Storing one value under a key that may not exist yet, as every part of the product writes its
// settings and records: the key is created when missing, opened only for the write, and closed at
// once. The platform's own result comes back, for a caller that keeps it for GetLastError.
#pragma once

#include "ScopedHandle.h"

#include <cwchar>

namespace kx {

inline LSTATUS CreateKeyAndSetValue(HKEY root, const wchar_t* path, const wchar_t* name, DWORD type,
                                    const void* data, DWORD size, REGSAM access = KEY_SET_VALUE) {
    UniqueKey key;
    const LSTATUS created =
        ::RegCreateKeyExW(root, path, 0, nullptr, 0, access, nullptr, key.Receive(), nullptr);
    if (created != ERROR_SUCCESS) return created;
    return ::RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size);
}

// A text is stored with its terminator.
inline LSTATUS CreateKeyAndSetText(HKEY root, const wchar_t* path, const wchar_t* name,
                                   const wchar_t* text) {
    const DWORD bytes = static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(wchar_t));
    return CreateKeyAndSetValue(root, path, name, REG_SZ, text, bytes);
}

inline LSTATUS CreateKeyAndSetNumber(HKEY root, const wchar_t* path, const wchar_t* name,
                                     DWORD number) {
    return CreateKeyAndSetValue(root, path, name, REG_DWORD, &number, sizeof number);
}

}  // namespace kx
