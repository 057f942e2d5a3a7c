// Names and paths compared as the device compares file names: unit by unit, each unit folded to
// upper case on its own (the ordinal comparison that ignores case). A locale's collation
// (lstrcmpiW) is never used for names: it passes over some code points altogether, so a name with
// a soft hyphen inside would equal the name without it.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace kx {

inline wchar_t FoldCase(wchar_t unit) {
    if (unit < 0x80) return unit >= L'a' && unit <= L'z' ? wchar_t(unit - (L'a' - L'A')) : unit;
    ::CharUpperBuffW(&unit, 1);
    return unit;
}

// True when both texts are equal ignoring case, looking at most at their first `units` units
// (a prefix test when one text is longer).
inline bool SameIgnoringCase(const wchar_t* a, const wchar_t* b, size_t units = SIZE_MAX) {
    for (size_t i = 0; i < units; ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
        if (a[i] == L'\0') return true;
    }
    return true;
}

}  // namespace kx
