// MD5 message digests (RFC 1321). A digest is the raw 16 bytes, the four state words each low
// byte first; the library produces no text form of it. Both functions have C linkage and are
// exported under their plain names.
#pragma once

#include "KxExport.h"

// Writes the digest of `length` bytes at `data` into `digest` (16 bytes). Any thread may call
// it. A null digest writes nothing; null data with a nonzero length writes nothing either.
KXCOMMON_CAPI void md5_calc(unsigned char* digest, const char* data, unsigned int length);

// The digest of a whole file (a UTF-16 path), read in pieces of up to 1024 bytes. Returns the
// library's one 16-byte result buffer, or null when the path is null or the file cannot be
// opened (the buffer then keeps the previous result). Every call overwrites the buffer: copy a
// result before the next call, and do not call it from two threads at once. A read error ends
// the reading like the end of the file.
KXCOMMON_CAPI unsigned char* MD5File(const unsigned short* path);
