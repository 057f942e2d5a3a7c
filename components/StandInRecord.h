// Where the stand-ins of the product's other programs record what they were asked to do: a
// registry key of their own per program, outside the product's tree, that tests and the demo
// read back.
//   HKLM\SOFTWARE\KxStandIns\<program>
//     "Runs"             number of times the program ran
//     "LastCommandLine"  the whole command line of the last run
//     "DelayMs"          read at start: how long to work before ending (0 when missing)
#pragma once

#include "internal/ScopedHandle.h"

#include <cwchar>
#include <string>

namespace standin {

inline std::wstring KeyOf(const wchar_t* program) {
    return std::wstring(L"SOFTWARE\\KxStandIns\\") + program;
}

inline void WriteNumber(HKEY key, const wchar_t* name, DWORD value) {
    ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

inline void WriteText(HKEY key, const wchar_t* name, const wchar_t* text) {
    ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                     static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(wchar_t)));
}

// Records this run and returns the key, open for further values (none when it failed).
inline kx::UniqueKey RecordRun(const wchar_t* program) {
    kx::UniqueKey key;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, KeyOf(program).c_str(), 0, nullptr, 0,
                          KEY_READ | KEY_WRITE, nullptr, key.Receive(), nullptr) != ERROR_SUCCESS)
        key.Reset();
    if (!key) return key;
    DWORD runs = 0;
    DWORD size = sizeof runs;
    ::RegQueryValueExW(key.Get(), L"Runs", nullptr, nullptr, reinterpret_cast<BYTE*>(&runs), &size);
    WriteNumber(key.Get(), L"Runs", runs + 1);
    WriteText(key.Get(), L"LastCommandLine", ::GetCommandLineW());
    return key;
}

inline DWORD ReadNumber(HKEY key, const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    ::RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    return value;
}

}  // namespace standin
