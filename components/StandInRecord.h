// Where the stand-ins of the product's other programs record what they were asked to do: a
// registry key of their own per program, outside the product's tree, that tests and the demo
// read back.
//   HKLM\SOFTWARE\KxStandIns\<program>
//     "Runs"             number of times the program ran
//     "LastCommandLine"  the whole command line of the last run
//     "DelayMs"          read at start: how long to work before ending (0 when missing)
#pragma once

#include <windows.h>

#include <string>

namespace standin {

inline std::wstring KeyOf(const wchar_t* program) {
    return std::wstring(L"SOFTWARE\\KxStandIns\\") + program;
}

// Records this run and returns the key, open for further values (null when it failed).
inline HKEY RecordRun(const wchar_t* program) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, KeyOf(program).c_str(), 0, nullptr, 0,
                          KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return nullptr;
    DWORD runs = 0;
    DWORD size = sizeof runs;
    ::RegQueryValueExW(key, L"Runs", nullptr, nullptr, reinterpret_cast<BYTE*>(&runs), &size);
    ++runs;
    ::RegSetValueExW(key, L"Runs", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&runs), sizeof runs);
    const wchar_t* commandLine = ::GetCommandLineW();
    ::RegSetValueExW(key, L"LastCommandLine", 0, REG_SZ, reinterpret_cast<const BYTE*>(commandLine),
                     static_cast<DWORD>((wcslen(commandLine) + 1) * sizeof(wchar_t)));
    return key;
}

inline DWORD ReadNumber(HKEY key, const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    ::RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    return value;
}

inline void WriteNumber(HKEY key, const wchar_t* name, DWORD value) {
    ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

}  // namespace standin
