// What registry tests compare, as plain text a row states: a stored value reads
// number 0x7fffffff, text "task11.log", text "abc" (no terminator), bytes 30 31 32, (missing) or
// (no key); a key's dump is one such line per value, "Name = number 0x1".
#pragma once

#include "DeviceFixture.h"

namespace kxtest {

// A wide text as narrow text: printable ASCII as itself, any other unit as \x{hex}.
inline std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (const wchar_t unit : text) {
        char escaped[16];
        std::snprintf(escaped, sizeof escaped, "\\x{%x}", static_cast<unsigned>(unit) & 0xFFFF);
        narrow += unit >= 0x20 && unit < 0x7F ? std::string(1, char(unit)) : escaped;
    }
    return narrow;
}

// A value's type and bytes as one line.
inline std::string Describe(DWORD type, const std::string& bytes) {
    char hex[16];
    if (type == REG_DWORD && bytes.size() == 4) {
        DWORD number = 0;
        std::memcpy(&number, bytes.data(), 4);
        std::snprintf(hex, sizeof hex, "0x%lx", static_cast<unsigned long>(number));
        return std::string("number ") + hex;
    }
    if (type == REG_SZ && bytes.size() % 2 == 0) {
        std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
        const bool terminated = !text.empty() && text.back() == L'\0';
        if (terminated) text.pop_back();
        return "text \"" + Narrow(text) + "\"" + (terminated ? "" : " (no terminator)");
    }
    std::string described =
        type == REG_BINARY ? "bytes" : "type " + std::to_string(type) + " bytes";
    for (const char byte : bytes) {
        std::snprintf(hex, sizeof hex, " %02x", static_cast<unsigned char>(byte));
        described += hex;
    }
    return described;
}

inline std::string Stored(const wchar_t* key, const wchar_t* name) {
    DWORD type = 0;
    std::string bytes;
    if (!RawKeyExists(key)) return "(no key)";
    if (!RawGetValue(key, name, &type, &bytes)) return "(missing)";
    return Describe(type, bytes);
}

// Every value of a key in the registry's order, a line "Name = value" each; "(no key)" when
// the key is missing. With `subkeys`, the subkeys' values follow, each named by its path below
// `key` ("Sub\\Name = ...").
inline std::string Dump(const std::wstring& key, bool subkeys = false, const std::string& at = "") {
    HKEY handle = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle)) return "(no key)\n";
    std::string dump;
    wchar_t name[1100];
    for (DWORD i = 0, chars = 1100; !::RegEnumValueW(handle, i, name, &chars, 0, 0, 0, 0);
         chars = 1100, ++i)
        dump += at + Narrow(name) + " = " + Stored(key.c_str(), name) + "\n";
    for (DWORD i = 0, chars = 1100;
         subkeys && !::RegEnumKeyExW(handle, i, name, &chars, 0, 0, 0, 0); chars = 1100, ++i)
        dump += Dump(key + L"\\" + name, true, at + Narrow(name) + "\\");
    ::RegCloseKey(handle);
    return dump;
}

// A text's bytes as the registry stores it: with its terminator, or without as some tools write.
inline std::string TextBytes(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * 2);
}
inline std::string UnterminatedTextBytes(const std::wstring& text) {
    return TextBytes(text).substr(0, text.size() * 2);
}
inline std::string Wn(const std::wstring& text) { return UnterminatedTextBytes(text); }

// Stores a number or a terminated text as the product's other programs would.
inline void StoreNumber(const wchar_t* key, const wchar_t* name, DWORD number) {
    RawSetValue(key, name, REG_DWORD, &number, sizeof number);
}
inline void StoreText(const wchar_t* key, const wchar_t* name, const std::wstring& text) {
    RawSetValue(key, name, REG_SZ, text.c_str(), DWORD(text.size() + 1) * sizeof(wchar_t));
}

}  // namespace kxtest
