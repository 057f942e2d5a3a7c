#include "kxcommon/HelpAPI.h"

#include <cstddef>
#include <cwchar>

namespace {

// The working copy of a sender text: the platform's path limit, terminator included.
constexpr size_t kSenderChars = 260;

// The sender form "Name" <number>: the number lies between the third and the fourth of these,
// met in this order.
constexpr wchar_t kSenderDelimiters[] = {L'"', L'"', L'<', L'>'};
constexpr int kCopyFrom = 3;
constexpr int kCopyTo = 4;

bool IsWhiteSpace(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\f';
}

// Copies into `out` the characters strictly between delimiter `first` and delimiter `last` of
// `delimiters`, which must be met in order; any character that is not the next one expected is
// ordinary text. True when all `last` delimiters were met. The output is zeroed first and the
// copy is cut at `size` - 1 characters.
bool ExtractBetweenDelimiters(const wchar_t* source, const wchar_t* delimiters, int first, int last,
                              wchar_t* out, size_t size) {
    for (size_t i = 0; i < size; ++i) out[i] = L'\0';
    int met = 0;
    size_t copied = 0;
    for (const wchar_t* p = source; *p != L'\0'; ++p) {
        if (*p == delimiters[met]) {
            if (++met == last) return true;
            continue;
        }
        if (met >= first && copied + 1 < size) out[copied++] = *p;
    }
    return false;
}

}  // namespace

void HelpAPI::GetSMSCallId(const wchar_t* sender, wchar_t* out, int size) {
    if (sender == nullptr || out == nullptr || size < 1) return;
    wchar_t working[kSenderChars] = {};
    std::wcsncpy(working, sender, kSenderChars - 1);

    const size_t room = static_cast<size_t>(size);
    if (ExtractBetweenDelimiters(working, kSenderDelimiters, kCopyFrom, kCopyTo, out, room) &&
        out[0] != L'\0')
        return;
    size_t i = 0;
    for (; working[i] != L'\0' && i + 1 < room; ++i) out[i] = working[i];
    out[i] = L'\0';
}

void HelpAPI::Str_TrimAll(std::wstring& text) {
    size_t first = 0;
    while (first < text.size() && IsWhiteSpace(text[first])) ++first;
    size_t end = text.size();
    while (end > first && IsWhiteSpace(text[end - 1])) --end;
    // Erasing moves the characters within the string's own storage: no memory is needed.
    text.erase(end);
    text.erase(0, first);
}

void HelpAPI::StrTrimInerStr(wchar_t* text) {
    if (text == nullptr) return;
    wchar_t* kept = text;
    for (const wchar_t* p = text; *p != L'\0'; ++p) {
        if (!IsWhiteSpace(*p)) *kept++ = *p;
    }
    *kept = L'\0';
}

void HelpAPI::StrTrimAll(wchar_t* text) {
    if (text == nullptr) return;
    size_t lead = 0;
    while (text[lead] != L'\0' && IsWhiteSpace(text[lead])) ++lead;
    size_t end = lead + std::wcslen(text + lead);
    while (end > lead && IsWhiteSpace(text[end - 1])) --end;
    const size_t kept = end - lead;
    if (lead > 0) std::wmemmove(text, text + lead, kept);
    text[kept] = L'\0';
}
