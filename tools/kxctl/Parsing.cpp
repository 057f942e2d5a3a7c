#include "Parsing.h"

namespace kxctl {
namespace {

constexpr unsigned long long kMaxNumber = 0xFFFFFFFFull;
constexpr unsigned long kMaxVersionPart = 0xFFFF;
constexpr unsigned kFirstYear = 1601;  // the platform's time records start there
constexpr unsigned kLastYear = 30827;

// Digits of the command line are ASCII: the wide character classes of the run-time also take
// other scripts' digits.
int DigitValue(wchar_t c, unsigned base) {
    int value = -1;
    if (c >= L'0' && c <= L'9')
        value = c - L'0';
    else if (c >= L'a' && c <= L'f')
        value = c - L'a' + 10;
    else if (c >= L'A' && c <= L'F')
        value = c - L'A' + 10;
    return value >= 0 && static_cast<unsigned>(value) < base ? value : -1;
}

// One to `most` decimal digits at `at`, then `after` (0: the end of the text).
bool TakeField(const std::wstring& text, size_t& at, size_t most, wchar_t after, unsigned* value) {
    unsigned number = 0;
    size_t digits = 0;
    for (; at < text.size() && digits < most && DigitValue(text[at], 10) >= 0; ++at, ++digits)
        number = number * 10 + static_cast<unsigned>(DigitValue(text[at], 10));
    if (digits == 0) return false;
    if (after == 0) {
        if (at != text.size()) return false;
    } else {
        if (at >= text.size() || text[at] != after) return false;
        ++at;
    }
    *value = number;
    return true;
}

bool IsLeapYear(unsigned year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

unsigned DaysInMonth(unsigned year, unsigned month) {
    static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

bool ParseNumber(const std::wstring& text, unsigned long* value) {
    if (text.empty() || DigitValue(text[0], 10) < 0) return false;
    const bool hex = text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X');
    const unsigned base = hex ? 16 : 10;
    unsigned long long result = 0;
    for (size_t i = hex ? 2 : 0; i < text.size(); ++i) {
        const int digit = DigitValue(text[i], base);
        if (digit < 0) return false;
        result = result * base + static_cast<unsigned>(digit);
        if (result > kMaxNumber) return false;
    }
    *value = static_cast<unsigned long>(result);
    return true;
}

bool ParseBytes(const std::wstring& text, std::vector<unsigned char>* bytes) {
    std::vector<unsigned char> digits;
    for (wchar_t c : text) {
        if (c == L' ' || c == L',') continue;
        const int digit = DigitValue(c, 16);
        if (digit < 0) return false;
        digits.push_back(static_cast<unsigned char>(digit));
    }
    if (digits.empty() || digits.size() % 2 != 0) return false;
    for (size_t i = 0; i < digits.size(); i += 2)
        bytes->push_back(static_cast<unsigned char>(digits[i] << 4 | digits[i + 1]));
    return true;
}

bool ParseCalendarTime(const std::wstring& text, CalendarTime* time) {
    CalendarTime t{};
    size_t at = 0;
    if (!TakeField(text, at, 4, L'-', &t.year) || !TakeField(text, at, 2, L'-', &t.month) ||
        !TakeField(text, at, 2, L' ', &t.day) || !TakeField(text, at, 2, L':', &t.hour) ||
        !TakeField(text, at, 2, L':', &t.minute) || !TakeField(text, at, 2, 0, &t.second))
        return false;
    if (t.year < kFirstYear || t.year > kLastYear || t.month < 1 || t.month > 12 || t.day < 1 ||
        t.day > DaysInMonth(t.year, t.month) || t.hour > 23 || t.minute > 59 || t.second > 59)
        return false;
    *time = t;
    return true;
}

bool IsVersionText(const std::wstring& text) {
    int parts = 0;
    size_t start = 0;
    for (;;) {
        const size_t dot = text.find(L'.', start);
        const std::wstring field =
            text.substr(start, dot == std::wstring::npos ? dot : dot - start);
        unsigned long part = 0;
        if (field.empty() || field.find_first_not_of(L"0123456789") != std::wstring::npos ||
            !ParseNumber(field, &part) || part > kMaxVersionPart)
            return false;
        ++parts;
        if (dot == std::wstring::npos) break;
        start = dot + 1;
    }
    return parts == 4;
}

int CallerListIndex(const std::wstring& text) {
    for (size_t i = 0; i < kCallerListCount; ++i)
        if (text == kCallerListNames[i]) return static_cast<int>(i);
    return -1;
}

bool FillCallerFields(const std::wstring& number, const std::wstring& name, wchar_t* numberField,
                      size_t numberChars, wchar_t* nameField, size_t nameChars) {
    if (number.size() >= numberChars || name.size() >= nameChars) return false;
    for (size_t i = 0; i < numberChars; ++i) numberField[i] = i < number.size() ? number[i] : 0;
    for (size_t i = 0; i < nameChars; ++i) nameField[i] = i < name.size() ? name[i] : 0;
    return true;
}

}  // namespace kxctl
