// The reference service's quarantine store. No file is ever lost:
//   quarantine  writes an intent (original path, virus, time), moves the file into the store,
//               then turns the intent into the entry's record;
//   restore     moves the file out, then deletes the record.
// A host that died half-way is repaired when the service loads: an intent whose file was moved
// becomes a record, one whose file was not is dropped; a record without its file is dropped.
//
// Store layout, in \KxSvc\Quarantine: <id>.qf (the file), <id>.rec or <id>.intent (the record's
// text, QuarantineRecord.h).
#pragma once

#include <windows.h>

#include <string>

namespace kxsvc {

// Answers of quarantine and restore, as the service returns them to its callers.
enum QuarantineAnswer : DWORD {
    kQuarantineDone = 0,
    kQuarantineNotFound = 2,  // no such file, or no such quarantined file
    kQuarantineInUse = 3,     // the file is the program image of a running process
    kQuarantineExists = 4,    // restore: the destination exists and replacing was not asked
    kQuarantineFailed = 5,    // the store could not be written
};

class Quarantine {
public:
    // Finishes or drops what a dead host left half-done.
    void Repair();

    // `beforeRecord` runs between the move and the record (tests use it to die there).
    DWORD Add(const std::wstring& path, const std::wstring& virus, void (*beforeRecord)());
    // `destination` empty: the original path. `replace`: overwrite an existing destination.
    // `time` nonzero: the quarantine time of the entry to restore; zero: the newest for `path`.
    DWORD Restore(const std::wstring& path, const std::wstring& destination, bool replace,
                  const FILETIME& time);
};

// True when `path` is the program image of a running process.
bool IsRunningImage(const std::wstring& path);

}  // namespace kxsvc
