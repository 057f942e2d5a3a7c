// Version numbers between their numeric and text forms.
//
// Program version a.b.c.d packed into two words: high = a << 16 | b, low = c << 16 | d, each part
// 16 bits. Pattern number P = major * 100000 + minor * 100 + build, written "major.mmm.bb"
// (a number of 999 or less is written with three digits, "007").
//
// Texts are UTF-16 in `unsigned short` units; sizes are in characters, terminator included.
// The formatting calls return the characters written without the terminator, or -1 when the
// text did not fit; the buffer then holds as much as fits, terminated.
#pragma once

#include "KxExport.h"

class KXCOMMON_API FmtVer {
public:
    static int Convert(unsigned long high, unsigned long low, unsigned short* text,
                       unsigned long size);
    // Reads up to four decimal parts separated by points; parts not present count as 0 and
    // parts above 65535 keep their low 16 bits. Both words are always written. Returns the
    // number of parts read, or -1 for a text that is empty or only white space.
    static int Convert(const unsigned short* text, unsigned long& high, unsigned long& low);

    // Splits a pattern number; all three parts are 0 for a number of 999 or less. Returns 0.
    static int ConvertPattern(unsigned long pattern, unsigned long& major, unsigned long& minor,
                              unsigned long& build);
    static int ConvertPattern(unsigned long pattern, unsigned short* text, unsigned long size);

private:
    FmtVer();
    static const wchar_t s_fmt[];
};
