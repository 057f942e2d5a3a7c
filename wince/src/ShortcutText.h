// The text of a device shortcut, "<count>#<command line>", read apart from the file and the
// conversion to UTF-16 so that it is built and fuzzed natively as well.
#pragma once

#include <string>

namespace wince {

// The target in a shortcut file's 8-bit text, which ends at the first NUL byte if any: the
// command line after "#" (which must follow one or more decimal digits) up to the first line
// break or the end; of that, the quoted part, or everything up to the first blank. The count is
// not relied on. False for a text of another shape, an unclosed quote and an empty target.
// Quotes and blanks are ASCII, so the bytes of UTF-8 text can be taken as they stand.
bool ShortcutTarget(const std::string& file, std::string& target);

}  // namespace wince
