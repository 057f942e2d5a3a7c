#include "ShortcutText.h"

namespace wince {

bool ShortcutTarget(const std::string& file, std::string& target) {
    // The shell reads the file as a string: a NUL byte ends it.
    const std::string content = file.substr(0, file.find('\0'));
    const size_t hash = content.find('#');
    if (hash == std::string::npos || hash == 0) return false;
    for (size_t i = 0; i < hash; ++i)
        if (content[i] < '0' || content[i] > '9') return false;
    const size_t start = hash + 1;
    const size_t end = content.find_first_of("\r\n", start);
    const std::string commandLine =
        content.substr(start, end == std::string::npos ? std::string::npos : end - start);
    std::string found;
    if (!commandLine.empty() && commandLine[0] == '"') {
        const size_t close = commandLine.find('"', 1);
        if (close == std::string::npos) return false;
        found = commandLine.substr(1, close - 1);
    } else {
        found = commandLine.substr(0, commandLine.find(' '));
    }
    if (found.empty()) return false;
    target = found;
    return true;
}

}  // namespace wince
