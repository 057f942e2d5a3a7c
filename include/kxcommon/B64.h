// Base64 with the standard alphabet ("+" and "/" as digits 62 and 63, "=" as the pad). Text is
// UTF-16 in 16-bit units, terminated by a zero unit; data is bytes. Every member is static and
// a pure function of its arguments.
//
// Both operations report failure only through a result of 0. Neither writes outside the
// caller's buffer: a buffer too small for the whole result receives what fits (see each member).
#pragma once

#include "KxExport.h"

class KXCOMMON_API B64 {
public:
    // Encodes `length` bytes as one line of text: 4 characters per group of three bytes, the
    // last group padded with "=". `size` is the text buffer's capacity in units, terminator
    // included; 4 * ceil(length / 3) + 1 units hold the whole text.
    //
    // Returns 0, with the buffer untouched, for a null pointer, a zero length or a zero size.
    // Otherwise the text is emptied and filled group by group, and the result is the byte
    // position after the last group written: the length rounded up to a multiple of three
    // (a length of 4 gives 6). When the buffer is smaller, only the whole groups that fit before
    // the terminator are written, and the result, 3 per group written, tells how far it got.
    static int BinaryToBase64(unsigned char* data, unsigned long length, unsigned short* text,
                              unsigned int size);

    // Decodes a terminated text into `data` (`size` bytes) and returns the number of bytes
    // written; no terminator is added. Returns 0 without writing for an empty text, a text whose
    // length is not a multiple of 4, or a buffer smaller than 3 * (length / 4) - 2 bytes.
    //
    // Decoding stops at the first character that is not one of the 64 digits: a pad, a line
    // break, a space or anything else ends it, after writing the bytes its group still carries
    // (one for "xx=", two for "xxx="). A buffer that passed the size check but cannot hold every
    // byte is filled to its end, and the result is then its size.
    static int Base64ToBinary(const unsigned short* text, unsigned char* data, unsigned int size);

    B64& operator=(const B64&) { return *this; }

private:
    // Position 0 to 63 of the character among the 64 digits, 255 for any other (the pad too).
    static unsigned char IndexOfBase64(unsigned short c);

    static const unsigned short m_base64Key[];
};
