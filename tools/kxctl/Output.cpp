#include "Output.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <cwctype>

namespace kxctl {
namespace {

void WriteUtf8(FILE* stream, const std::wstring& line) {
    std::wstring text = line + L"\n";
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                            nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], bytes,
                          nullptr, nullptr);
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
    std::fflush(stream);
}

}  // namespace

void Print(const std::wstring& line) { WriteUtf8(stdout, line); }
void PrintError(const std::wstring& line) { WriteUtf8(stderr, line); }

int UsageError(const std::wstring& message) {
    PrintError(L"kxctl: " + message);
    return kExitUsage;
}

int CallFailed(const std::wstring& what, int status) {
    PrintError(L"kxctl: " + what + L" failed with status " +
               Hex(static_cast<unsigned long>(status)));
    return kExitFailed;
}

std::wstring Hex(unsigned long value, int digits) {
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%0*lX", digits, value);
    return text;
}

std::wstring HexBytes(const unsigned char* data, size_t size, const wchar_t* separator) {
    static const wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text;
    for (size_t i = 0; i < size; ++i) {
        if (i != 0) text += separator;
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 0xF];
    }
    return text;
}

bool ParseNumber(const std::wstring& text, unsigned long* value) {
    if (text.empty() || !std::iswdigit(text[0])) return false;
    const bool hex = text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X');
    unsigned long long result = 0;
    const size_t start = hex ? 2 : 0;
    for (size_t i = start; i < text.size(); ++i) {
        const wchar_t c = text[i];
        unsigned digit;
        if (c >= L'0' && c <= L'9')
            digit = c - L'0';
        else if (hex && c >= L'a' && c <= L'f')
            digit = c - L'a' + 10;
        else if (hex && c >= L'A' && c <= L'F')
            digit = c - L'A' + 10;
        else
            return false;
        result = result * (hex ? 16 : 10) + digit;
        if (result > 0xFFFFFFFFull) return false;
    }
    *value = static_cast<unsigned long>(result);
    return true;
}

std::wstring FormatTime(const SYSTEMTIME& t) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return text;
}

// "now" (local time) or "YYYY-MM-DD HH:MM:SS"; the day of the week is worked out.
bool ParseTime(const std::wstring& value, SYSTEMTIME* time) {
    SYSTEMTIME t{};
    if (value == L"now") {
        ::GetLocalTime(&t);
    } else {
        unsigned y, mo, d, h, mi, s;
        wchar_t tail;
        if (std::swscanf(value.c_str(), L"%4u-%2u-%2u %2u:%2u:%2u%lc", &y, &mo, &d, &h, &mi, &s,
                         &tail) != 6)
            return false;
        t = {static_cast<WORD>(y), static_cast<WORD>(mo), 0, static_cast<WORD>(d),
             static_cast<WORD>(h), static_cast<WORD>(mi), static_cast<WORD>(s), 0};
    }
    FILETIME file;
    if (!::SystemTimeToFileTime(&t, &file) || !::FileTimeToSystemTime(&file, time)) return false;
    return true;
}

bool ParseBytes(const std::wstring& text, std::vector<unsigned char>* bytes) {
    std::wstring digits;
    for (wchar_t c : text) {
        if (c == L' ' || c == L',') continue;
        if (!std::iswxdigit(c)) return false;
        digits += c;
    }
    if (digits.empty() || digits.size() % 2 != 0) return false;
    for (size_t i = 0; i < digits.size(); i += 2)
        bytes->push_back(static_cast<unsigned char>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return true;
}

}  // namespace kxctl
