// What registry tests compare: a stored value, a whole key, an output buffer, each as one
// string, so that a row states its whole expected result.
#pragma once

#include "DeviceFixture.h"

namespace kxtest {

// Units of a buffer: '~' for a unit still holding the 0xBD fill, '|' for NUL, printable ASCII
// as itself, anything else as {hex}.
template <typename T>
std::string Image(const T* units, size_t count) {
    std::string image;
    for (size_t i = 0; i < count; ++i) {
        const unsigned long u =
            static_cast<unsigned long>(units[i]) & (sizeof(T) == 1 ? 0xFF : 0xFFFF);
        char hex[12];
        std::snprintf(hex, sizeof hex, "{%lx}", u);
        image += u == (sizeof(T) == 1 ? 0xBDul : 0xBDBDul) ? "~"
                 : u == 0                                  ? "|"
                 : u >= 0x20 && u < 0x7F                   ? std::string(1, char(u))
                                                           : hex;
    }
    return image;
}

// A value as "sz:text" (terminator shown), "dw:hex" or "bin:bytes"; "none" or "no key".
inline std::string Stored(const wchar_t* key, const wchar_t* name) {
    DWORD type = 0, number = 0;
    std::string bytes;
    if (!RawKeyExists(key)) return "no key";
    if (!RawGetValue(key, name, &type, &bytes)) return "none";
    if (type == REG_SZ)
        return "sz:" + Image(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    if (type != REG_DWORD || bytes.size() != 4) return "bin:" + Image(bytes.data(), bytes.size());
    std::memcpy(&number, bytes.data(), 4);
    char text[16];
    std::snprintf(text, sizeof text, "dw:%lx", static_cast<unsigned long>(number));
    return text;
}

// Every value of a key in the registry's order, "name=stored;" each; "no key" when missing. With
// `subkeys`, the subkeys' values follow, each named by its path below `key` ("sub\\name=...").
inline std::string Dump(const std::wstring& key, bool subkeys = false, const std::string& at = "") {
    HKEY handle = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle)) return "no key";
    std::string dump;
    wchar_t name[1100];
    for (DWORD i = 0, chars = 1100; !::RegEnumValueW(handle, i, name, &chars, 0, 0, 0, 0);
         chars = 1100, ++i)
        dump += at + Image(name, chars) + "=" + Stored(key.c_str(), name) + ";";
    for (DWORD i = 0, chars = 1100;
         subkeys && !::RegEnumKeyExW(handle, i, name, &chars, 0, 0, 0, 0); chars = 1100, ++i)
        dump += Dump(key + L"\\" + name, true, at + Image(name, chars) + "\\");
    ::RegCloseKey(handle);
    return dump;
}

// Texts as stored bytes, with and without their terminator.
inline std::string Wz(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * 2);
}
inline std::string Wn(const std::wstring& text) { return Wz(text).substr(0, text.size() * 2); }

}  // namespace kxtest
