// The texts kxctl reads from its command line (numbers, byte strings, times, versions, caller
// lists and entries), apart from the platform so that they are built and fuzzed natively as
// well. Every parser leaves its output untouched when it answers false.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kxctl {

// Parses a 32-bit number, decimal or 0x-prefixed hexadecimal; false for anything else.
bool ParseNumber(const std::wstring& text, unsigned long* value);

// "01 02 ff", "0102ff" or "01,02,ff": pairs of hexadecimal digits, appended to `bytes`.
bool ParseBytes(const std::wstring& text, std::vector<unsigned char>* bytes);

struct CalendarTime {
    unsigned year, month, day, hour, minute, second;
};
// "YYYY-MM-DD HH:MM:SS" (one to four digits for the year, one or two for the rest): a day that
// exists, in the years the platform's time records hold (1601 to 30827).
bool ParseCalendarTime(const std::wstring& text, CalendarTime* time);

// A version "a.b.c.d": four decimal numbers from 0 to 65535 separated by points.
bool IsVersionText(const std::wstring& text);

// The caller lists by the names kxctl gives them.
constexpr const wchar_t* kCallerListNames[] = {L"accept", L"reject", L"wap-accept", L"wap-force"};
constexpr size_t kCallerListCount = sizeof kCallerListNames / sizeof kCallerListNames[0];
// The position of `text` among kCallerListNames; -1 for none.
int CallerListIndex(const std::wstring& text);

// Copies a caller's number and name into the fields of a caller-list entry (capacities in
// characters, terminator included), zeroing the rest of each field; false when either does not
// fit.
bool FillCallerFields(const std::wstring& number, const std::wstring& name, wchar_t* numberField,
                      size_t numberChars, wchar_t* nameField, size_t nameChars);

}  // namespace kxctl
