#include "QuarantineRecord.h"

#include <cstdio>
#include <cstdlib>

namespace kxsvc {
namespace {

constexpr char kFormatKey[] = "format=";
constexpr char kFormatVersion[] = "2";
constexpr char kPathKey[] = "path=";
constexpr char kVirusKey[] = "virus=";
constexpr char kTimeKey[] = "time=";
constexpr char kEscape = '%';
constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr size_t kTimeDigits = 16;

bool StartsWith(const std::string& line, const char* key, std::string* rest) {
    const std::string prefix(key);
    if (line.compare(0, prefix.size(), prefix) != 0) return false;
    *rest = line.substr(prefix.size());
    return true;
}

bool MustEscape(unsigned char c) { return c < 0x20 || c == 0x7F || c == kEscape; }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string Escape(const std::string& value) {
    std::string text;
    for (const char c : value) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (!MustEscape(byte)) {
            text += c;
            continue;
        }
        text += kEscape;
        text += kHexDigits[byte >> 4];
        text += kHexDigits[byte & 0xF];
    }
    return text;
}

// False for an escape cut short or not hexadecimal, and for a byte that should have been escaped.
bool Unescape(const std::string& text, std::string* value) {
    value->clear();
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if (byte != kEscape) {
            if (MustEscape(byte)) return false;
            *value += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return false;
        const int high = HexValue(text[i + 1]);
        const int low = HexValue(text[i + 2]);
        if (high < 0 || low < 0) return false;
        *value += static_cast<char>(high << 4 | low);
        i += 2;
    }
    return true;
}

bool ParseTime(const std::string& text, unsigned long long* time) {
    if (text.empty() || text.size() > kTimeDigits) return false;
    unsigned long long value = 0;
    for (const char c : text) {
        const int digit = HexValue(c);
        if (digit < 0) return false;
        value = value << 4 | static_cast<unsigned>(digit);
    }
    *time = value;
    return true;
}

// Calls `line` for each line of `text`; a last line without its line feed counts too.
template <typename LineFn>
bool ForEachLine(const std::string& text, size_t start, LineFn line) {
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (!line(text.substr(start, end - start))) return false;
        start = end + 1;
    }
    return true;
}

bool ParseCurrent(const std::string& text, size_t start, RecordFields* fields) {
    bool havePath = false, haveVirus = false, haveTime = false;
    const bool whole = ForEachLine(text, start, [&](const std::string& line) {
        std::string rest;
        if (StartsWith(line, kPathKey, &rest)) {
            if (havePath) return false;
            havePath = true;
            return Unescape(rest, &fields->path);
        }
        if (StartsWith(line, kVirusKey, &rest)) {
            if (haveVirus) return false;
            haveVirus = true;
            return Unescape(rest, &fields->virus);
        }
        if (StartsWith(line, kTimeKey, &rest)) {
            if (haveTime) return false;
            haveTime = true;
            return ParseTime(rest, &fields->time);
        }
        return true;  // a field of a later service
    });
    return whole && havePath && haveVirus && haveTime && !fields->path.empty();
}

// The format before escaping: values as they stand, the last line of each name winning.
bool ParseEarlier(const std::string& text, RecordFields* fields) {
    ForEachLine(text, 0, [&](const std::string& line) {
        std::string rest;
        if (StartsWith(line, kPathKey, &rest)) fields->path = rest;
        if (StartsWith(line, kVirusKey, &rest)) fields->virus = rest;
        if (StartsWith(line, kTimeKey, &rest))
            fields->time = std::strtoull(rest.c_str(), nullptr, 16);
        return true;
    });
    return !fields->path.empty();
}

}  // namespace

std::string FormatRecord(const RecordFields& fields) {
    char time[kTimeDigits + 1];
    std::snprintf(time, sizeof time, "%016llx", fields.time);
    return std::string(kFormatKey) + kFormatVersion + "\n" + kPathKey + Escape(fields.path) + "\n" +
           kVirusKey + Escape(fields.virus) + "\n" + kTimeKey + time + "\n";
}

bool ParseRecord(const std::string& text, RecordFields* fields) {
    *fields = RecordFields();
    const size_t firstEnd = text.find('\n');
    std::string version;
    if (!StartsWith(text.substr(0, firstEnd), kFormatKey, &version))
        return ParseEarlier(text, fields);
    // A format this service does not know is not guessed at.
    if (version != kFormatVersion || firstEnd == std::string::npos) return false;
    return ParseCurrent(text, firstEnd + 1, fields);
}

}  // namespace kxsvc
