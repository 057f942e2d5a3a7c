// The splitting rule of CSV, apart from the exported class and the platform headers so that it
// is built and fuzzed natively as well.
#pragma once

#include <string>
#include <vector>

namespace kx {

// The fields of `text` (terminated; null gives none) between occurrences of `separator`:
// consecutive separators give empty fields and a leading one an empty first field; a trailing
// separator adds no empty last field, and an empty text gives none.
std::vector<std::wstring> SplitFields(const wchar_t* text, wchar_t separator);

}  // namespace kx
