#include "kxcommon/FmtVer.h"

#include <cwchar>
#include <string>

const wchar_t FmtVer::s_fmt[] = L"%d.%d.%d.%d";

namespace {

constexpr unsigned long kPartMask = 0xFFFF;
constexpr int kVersionParts = 4;
constexpr int kEndOfInput = -1;  // what a scan of an empty text answers
constexpr int kDidNotFit = -1;

constexpr unsigned long kPatternMajorUnit = 100000;
constexpr unsigned long kPatternMinorUnit = 100;
constexpr unsigned long kPatternPlainMax = 999;  // written as one three-digit number
constexpr wchar_t kPatternFormat[] = L"%d.%03d.%02d";
constexpr wchar_t kPlainPatternFormat[] = L"%03d";

// Every formatted version and pattern fits this easily (at most 23 characters).
constexpr size_t kScratchChars = 64;

// Hands a formatted text to the caller: the characters written, or kDidNotFit with the text cut
// at the buffer's end and still terminated.
int CopyOut(const wchar_t* text, unsigned short* out, unsigned long size) {
    if (out == nullptr || size == 0) return kDidNotFit;
    const size_t length = std::wcslen(text);
    const size_t copied = length < size ? length : size - 1;
    for (size_t i = 0; i < copied; ++i) out[i] = static_cast<unsigned short>(text[i]);
    out[copied] = 0;
    return length < size ? static_cast<int>(length) : kDidNotFit;
}

bool IsSpace(unsigned short c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }
bool IsDigit(unsigned short c) { return c >= L'0' && c <= L'9'; }

// Reads one "%d" field at `p`: optional white space, an optional sign and at least one digit.
// The value wraps like the run-time's own conversion of an over-long number to 32 bits.
bool ScanDecimal(const unsigned short*& p, unsigned long& value) {
    const unsigned short* at = p;
    while (IsSpace(*at)) ++at;
    bool negative = false;
    if (*at == L'+' || *at == L'-') negative = *at++ == L'-';
    if (!IsDigit(*at)) return false;
    unsigned long number = 0;
    while (IsDigit(*at)) number = number * 10 + (*at++ - L'0');
    value = negative ? 0ul - number : number;
    p = at;
    return true;
}

}  // namespace

int FmtVer::Convert(unsigned long high, unsigned long low, unsigned short* text,
                    unsigned long size) {
    wchar_t scratch[kScratchChars];
    std::swprintf(scratch, kScratchChars, s_fmt, static_cast<int>(high >> 16),
                  static_cast<int>(high & kPartMask), static_cast<int>(low >> 16),
                  static_cast<int>(low & kPartMask));
    return CopyOut(scratch, text, size);
}

int FmtVer::Convert(const unsigned short* text, unsigned long& high, unsigned long& low) {
    unsigned long parts[kVersionParts] = {0, 0, 0, 0};
    int read = 0;
    if (text != nullptr) {
        const unsigned short* p = text;
        while (read < kVersionParts) {
            if (read > 0) {
                if (*p != L'.') break;
                ++p;
            }
            if (!ScanDecimal(p, parts[read])) break;
            ++read;
        }
        if (read == 0) {
            const unsigned short* rest = text;
            while (IsSpace(*rest)) ++rest;
            if (*rest == 0) read = kEndOfInput;
        }
    }
    high = (parts[0] & kPartMask) << 16 | (parts[1] & kPartMask);
    low = (parts[2] & kPartMask) << 16 | (parts[3] & kPartMask);
    return read;
}

int FmtVer::ConvertPattern(unsigned long pattern, unsigned long& major, unsigned long& minor,
                           unsigned long& build) {
    major = minor = build = 0;
    if (pattern <= kPatternPlainMax) return 0;
    major = pattern / kPatternMajorUnit;
    minor = pattern % kPatternMajorUnit / kPatternMinorUnit;
    build = pattern % kPatternMinorUnit;
    return 0;
}

int FmtVer::ConvertPattern(unsigned long pattern, unsigned short* text, unsigned long size) {
    unsigned long major = 0, minor = 0, build = 0;
    ConvertPattern(pattern, major, minor, build);
    wchar_t scratch[kScratchChars];
    if (major == 0 && minor == 0 && build == 0)
        std::swprintf(scratch, kScratchChars, kPlainPatternFormat, static_cast<int>(pattern));
    else
        std::swprintf(scratch, kScratchChars, kPatternFormat, static_cast<int>(major),
                      static_cast<int>(minor), static_cast<int>(build));
    return CopyOut(scratch, text, size);
}
