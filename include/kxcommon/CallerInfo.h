// One entry of a caller list: the caller's number (or sender address) and the free text kept
// with it. Arrays of entries are contiguous and owned by the caller; the layout is shared with
// the product's other programs, so it is fixed to the byte.
#pragma once

#include <cstddef>

enum : unsigned long {
    KX_CALLER_NUMBER_CHARS = 260,  // at most 259 characters plus the terminator
    KX_CALLER_NAME_CHARS = 1024,   // at most 1023 characters plus the terminator
};

struct CallerInfo_tag {
    // The entry's key within its list, stored as given: no "+", blank or dash is stripped.
    wchar_t Number[KX_CALLER_NUMBER_CHARS];
    // Free text handed back by enumeration; the library gives it no meaning.
    wchar_t Name[KX_CALLER_NAME_CHARS];
};

static_assert(sizeof(wchar_t) == 2, "caller entries hold UTF-16 text");
static_assert(offsetof(CallerInfo_tag, Number) == 0, "Number opens the entry");
static_assert(offsetof(CallerInfo_tag, Name) == 520, "Name follows the 260-character Number");
static_assert(sizeof(CallerInfo_tag) == 2568, "an entry is 260 + 1024 UTF-16 units");
