// The text of a device shortcut: a target found is the quoted part or the first word of the
// command line after "<digits>#", never empty, never across a line break or a NUL byte;
// nothing found leaves the output alone.
#include "../wince/src/ShortcutText.h"

#include "FuzzCheck.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file(reinterpret_cast<const char*>(data), size);
    std::string target = "untouched";
    if (!wince::ShortcutTarget(file, target)) {
        KX_FUZZ_CHECK(target == "untouched");
        return 0;
    }
    const std::string content = file.substr(0, file.find('\0'));
    size = content.size();
    const size_t hash = content.find('#');
    KX_FUZZ_CHECK(hash != std::string::npos && hash > 0);
    KX_FUZZ_CHECK(content.find_first_not_of("0123456789") == hash);
    KX_FUZZ_CHECK(!target.empty() &&
                  target.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
    const bool quoted = content.size() > hash + 1 && content[hash + 1] == '"';
    const size_t start = hash + 1 + (quoted ? 1 : 0);
    KX_FUZZ_CHECK(content.compare(start, target.size(), target) == 0);
    const size_t after = start + target.size();
    if (quoted) {
        KX_FUZZ_CHECK(target.find('"') == std::string::npos);
        KX_FUZZ_CHECK(after < size && content[after] == '"');
    } else {
        KX_FUZZ_CHECK(target.find(' ') == std::string::npos);
        KX_FUZZ_CHECK(after == size || content[after] == ' ' || content[after] == '\r' ||
                      content[after] == '\n');
    }
    return 0;
}
