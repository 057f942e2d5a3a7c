// UTF-8 for the reference service's text files (pattern, quarantine records, log).
#pragma once

#include <windows.h>

#include <string>

namespace kxsvc {

inline std::string ToUtf8(const std::wstring& text) {
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                            nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    if (bytes > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0],
                              bytes, nullptr, nullptr);
    return out;
}

inline std::wstring FromUtf8(const std::string& text) {
    const int chars =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(chars), L'\0');
    if (chars > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0],
                              chars);
    return out;
}

}  // namespace kxsvc
