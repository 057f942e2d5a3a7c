#include "Output.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>

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

std::wstring FormatTime(const SYSTEMTIME& t) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return text;
}

bool ParseTime(const std::wstring& value, SYSTEMTIME* time) {
    SYSTEMTIME t{};
    if (value == L"now") {
        ::GetLocalTime(&t);
    } else {
        CalendarTime c;
        if (!ParseCalendarTime(value, &c)) return false;
        t = {static_cast<WORD>(c.year),
             static_cast<WORD>(c.month),
             0,
             static_cast<WORD>(c.day),
             static_cast<WORD>(c.hour),
             static_cast<WORD>(c.minute),
             static_cast<WORD>(c.second),
             0};
    }
    FILETIME file;
    if (!::SystemTimeToFileTime(&t, &file) || !::FileTimeToSystemTime(&file, time)) return false;
    return true;
}

bool SameIgnoringCase(const wchar_t* a, const wchar_t* b) {
    return ::CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

}  // namespace kxctl
