// Conversion between UTF-8 and UTF-16 (either byte order) over byte buffers with explicit
// lengths, so that a stream can be converted piece by piece.
//
// Every function takes the same four arguments:
//   out        output buffer
//   outLength  on entry its capacity in bytes; on return the bytes written
//   in         input bytes (unchanged)
//   inLength   on entry the input's length in bytes; on return the bytes consumed
// Input is consumed in whole characters: whatever follows the consumed count is to be passed
// again with the next piece.
//
// Results:
//    0  the input was converted to its end, or the call stopped for lack of output room, at a
//       character cut off by the end of the input, or (UTF-8 input) at a value of 0x110000 or
//       more; the consumed count tells these apart;
//   -2  malformed input; the counts describe what was converted before the bad character. Also
//       given, with both counts 0 and nothing written, when `outLength` or `inLength` is null,
//       or `out` is null with a nonzero capacity, or `in` is null with a nonzero length (UTF-16
//       input);
//    2  UTF-8 to UTF-16 with a null `in`: the byte-order mark was written (see below).
// Negative lengths count as 0. No function allocates memory.
#pragma once

#include "KxExport.h"

// UTF-16 to UTF-8. An odd input length is first reduced by one (the caller's variable shows
// it). A character is started only while at least 6 bytes of room remain. A low surrogate
// without a high one before it is converted as its own value. A high surrogate that is the last
// unit of the input: the little-endian form stops before it (result 0), the big-endian form
// reports -2. A high surrogate followed by anything but a low one is -2.
KXCOMMON_API int UTF16LEToUTF8(unsigned char* out, int* outLength, const unsigned char* in,
                               int* inLength);
KXCOMMON_API int UTF16BEToUTF8(unsigned char* out, int* outLength, const unsigned char* in,
                               int* inLength);

// UTF-8 to UTF-16. With a null `in` the byte-order mark is written when the capacity is at
// least 2 (FF FE little-endian, FE FF big-endian; result 2, 2 written, 0 consumed), else nothing
// (result 0). The output holds capacity / 2 units. A continuation byte or a byte 0xF8 or above
// as a lead byte, and a lead byte followed by a byte that is not a continuation byte, are -2.
// Overlong forms and encoded surrogates are not rejected: the value computed is written.
KXCOMMON_API int UTF8ToUTF16LE(unsigned char* out, int* outLength, const unsigned char* in,
                               int* inLength);
KXCOMMON_API int UTF8ToUTF16BE(unsigned char* out, int* outLength, const unsigned char* in,
                               int* inLength);
