// What kxctl reads from its command line: numbers, byte strings, times, versions, caller-list
// names and entries. A text that parses gives the value it spells; one that does not leaves the
// output alone; entries never outgrow their fields.
#include "../tools/kxctl/Parsing.h"

#include "FuzzCheck.h"

#include <cwchar>
#include <string>
#include <vector>

namespace {

using kxctl::CalendarTime;

bool IsDecimal(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsHex(wchar_t c) {
    return IsDecimal(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

void CheckNumber(const std::wstring& text) {
    unsigned long value = 0xBDBDBDBD;
    if (!kxctl::ParseNumber(text, &value)) {
        KX_FUZZ_CHECK(value == 0xBDBDBDBD);
        return;
    }
    const bool hex = text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X');
    const std::wstring digits = text.substr(hex ? 2 : 0);
    KX_FUZZ_CHECK(!digits.empty() && value <= 0xFFFFFFFFul);
    unsigned long long spelled = 0;
    for (wchar_t c : digits) {
        KX_FUZZ_CHECK(hex ? IsHex(c) : IsDecimal(c));
        const unsigned digit = IsDecimal(c) ? c - L'0' : (c | 0x20) - L'a' + 10;
        spelled = spelled * (hex ? 16 : 10) + digit;
        KX_FUZZ_CHECK(spelled <= 0xFFFFFFFFull);
    }
    KX_FUZZ_CHECK(spelled == value);
}

void CheckBytes(const std::wstring& text) {
    std::vector<unsigned char> bytes(1, 0xBD);
    if (!kxctl::ParseBytes(text, &bytes)) {
        KX_FUZZ_CHECK(bytes.size() == 1 && bytes[0] == 0xBD);
        return;
    }
    std::wstring digits;
    for (wchar_t c : text) {
        if (c == L' ' || c == L',') continue;
        KX_FUZZ_CHECK(IsHex(c));
        digits += c;
    }
    KX_FUZZ_CHECK(!digits.empty() && bytes.size() == 1 + digits.size() / 2 && bytes[0] == 0xBD);
    for (size_t i = 0; i + 1 < bytes.size(); ++i) {
        const std::wstring pair = digits.substr(2 * i, 2);
        KX_FUZZ_CHECK(std::wcstoul(pair.c_str(), nullptr, 16) == bytes[i + 1]);
    }
}

void CheckTime(const std::wstring& text) {
    CalendarTime t{1, 2, 3, 4, 5, 6};
    if (!kxctl::ParseCalendarTime(text, &t)) {
        KX_FUZZ_CHECK(t.year == 1 && t.month == 2 && t.day == 3 && t.hour == 4 && t.minute == 5 &&
                      t.second == 6);
        return;
    }
    KX_FUZZ_CHECK(t.year >= 1601 && t.year <= 30827 && t.month >= 1 && t.month <= 12);
    KX_FUZZ_CHECK(t.day >= 1 && t.day <= 31 && t.hour <= 23 && t.minute <= 59 && t.second <= 59);
    const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
    if (t.month == 2) KX_FUZZ_CHECK(t.day <= (leap ? 29u : 28u));
    if (t.month == 4 || t.month == 6 || t.month == 9 || t.month == 11) KX_FUZZ_CHECK(t.day <= 30);
    // The same time written in full reads back the same.
    wchar_t full[64];
    std::swprintf(full, 64, L"%04u-%02u-%02u %02u:%02u:%02u", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    CalendarTime again{};
    KX_FUZZ_CHECK(kxctl::ParseCalendarTime(full, &again));
    KX_FUZZ_CHECK(again.year == t.year && again.month == t.month && again.day == t.day &&
                  again.hour == t.hour && again.minute == t.minute && again.second == t.second);
}

void CheckVersion(const std::wstring& text) {
    if (!kxctl::IsVersionText(text)) return;
    size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        const size_t dot = text.find(L'.', start);
        KX_FUZZ_CHECK((dot == std::wstring::npos) == (part == 3));
        const std::wstring field =
            text.substr(start, dot == std::wstring::npos ? dot : dot - start);
        KX_FUZZ_CHECK(!field.empty());
        unsigned long value = 0;
        for (wchar_t c : field) {
            KX_FUZZ_CHECK(IsDecimal(c));
            value = value * 10 + (c - L'0');
            KX_FUZZ_CHECK(value <= 0xFFFF);
        }
        start = dot + 1;
    }
}

void CheckEntry(const std::wstring& number, const std::wstring& name, size_t numberChars,
                size_t nameChars) {
    // Fields of exactly their capacity; a canary unit after each.
    std::vector<wchar_t> numberField(numberChars + 1, 0xBD), nameField(nameChars + 1, 0xBD);
    const bool filled = kxctl::FillCallerFields(number, name, numberField.data(), numberChars,
                                                nameField.data(), nameChars);
    KX_FUZZ_CHECK(numberField[numberChars] == 0xBD && nameField[nameChars] == 0xBD);
    KX_FUZZ_CHECK(filled == (number.size() < numberChars && name.size() < nameChars));
    for (size_t i = 0; i < numberChars; ++i)
        KX_FUZZ_CHECK(numberField[i] == (!filled ? 0xBD : i < number.size() ? number[i] : 0));
    for (size_t i = 0; i < nameChars; ++i)
        KX_FUZZ_CHECK(nameField[i] == (!filled ? 0xBD : i < name.size() ? name[i] : 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t numberChars = TakeSize(&data, &size, 300);
    const size_t nameChars = TakeSize(&data, &size, 300);
    const std::vector<wchar_t> units = TakeWideText(data, size);
    // The text, and the same cut at its first zero unit into a number and a name.
    const std::wstring text(units.data());
    const std::wstring rest = text.size() + 1 < units.size() ? units.data() + text.size() + 1 : L"";

    CheckNumber(text);
    CheckBytes(text);
    CheckTime(text);
    CheckVersion(text);
    const int list = kxctl::CallerListIndex(text);
    KX_FUZZ_CHECK(list >= -1 && list < static_cast<int>(kxctl::kCallerListCount));
    KX_FUZZ_CHECK(list < 0 || text == kxctl::kCallerListNames[list]);
    CheckEntry(text, rest, numberChars, nameChars);
    return 0;
}
