// The text of a quarantine record (<id>.rec, and the intent that precedes it): UTF-8 lines
//
//   format=2
//   path=<original path>
//   virus=<virus name>
//   time=<quarantine time, a FILETIME in 16 hexadecimal digits>
//
// where every byte of a value below 0x20, 0x7F and "%" itself is written as "%" and two
// upper-case hexadecimal digits, so no virus name or path can end its line and start another
// field. Records written before the format line existed ("path=", "virus=", "time=" lines taken
// as they stand, the last of each name winning) are still read.
//
// Portable: the service converts the fields to and from UTF-16 around these functions.
#pragma once

#include <string>

namespace kxsvc {

struct RecordFields {
    std::string path;   // UTF-8
    std::string virus;  // UTF-8
    unsigned long long time = 0;
};

std::string FormatRecord(const RecordFields& fields);

// False for a record without a path, and for a record of the current format that is damaged (a
// field missing or twice, a bad escape or time); `fields` is then unspecified.
bool ParseRecord(const std::string& text, RecordFields* fields);

}  // namespace kxsvc
