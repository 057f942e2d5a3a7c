#include "Quarantine.h"

#include "QuarantineRecord.h"
#include "ServiceFiles.h"
#include "Utf8.h"
#include "internal/ScopedHandle.h"

#include <tlhelp32.h>

#include <cwchar>
#include <vector>

namespace kxsvc {
namespace {

constexpr wchar_t kFileSuffix[] = L".qf";
constexpr wchar_t kRecordSuffix[] = L".rec";
constexpr wchar_t kIntentSuffix[] = L".intent";

struct Entry {
    unsigned long id = 0;
    std::wstring path;
    std::wstring virus;
    ULONGLONG time = 0;
};

std::wstring StorePath(unsigned long id, const wchar_t* suffix) {
    return std::wstring(kQuarantineDir) + L"\\" + std::to_wstring(id) + suffix;
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Writes the record through to the disk before it counts: a record names a file that is there.
bool WriteRecord(const std::wstring& file, const Entry& entry) {
    RecordFields fields;
    fields.path = ToUtf8(entry.path);
    fields.virus = ToUtf8(entry.virus);
    fields.time = entry.time;
    const std::string text = FormatRecord(fields);
    kx::UniqueFile h(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
    if (!h) return false;
    DWORD written = 0;
    const bool ok =
        ::WriteFile(h.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
        written == text.size() && ::FlushFileBuffers(h.Get());
    h.Reset();  // closed first: a record that failed is deleted
    if (!ok) ::DeleteFileW(file.c_str());
    return ok;
}

bool ReadRecord(const std::wstring& file, Entry* entry) {
    const kx::UniqueFile h(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return false;
    std::string text;
    char chunk[1024];
    DWORD got = 0;
    while (::ReadFile(h.Get(), chunk, sizeof chunk, &got, nullptr) && got > 0)
        text.append(chunk, got);
    RecordFields fields;
    if (!ParseRecord(text, &fields)) return false;
    entry->path = FromUtf8(fields.path);
    entry->virus = FromUtf8(fields.virus);
    entry->time = fields.time;
    return !entry->path.empty();
}

// Ids of the store's files with the given suffix.
std::vector<unsigned long> IdsWith(const wchar_t* suffix) {
    std::vector<unsigned long> ids;
    WIN32_FIND_DATAW found;
    const std::wstring pattern = std::wstring(kQuarantineDir) + L"\\*" + suffix;
    const kx::UniqueFind find(::FindFirstFileW(pattern.c_str(), &found));
    if (!find) return ids;
    do {
        wchar_t* end = nullptr;
        const unsigned long id = std::wcstoul(found.cFileName, &end, 10);
        if (end != found.cFileName && std::wcscmp(end, suffix) == 0) ids.push_back(id);
    } while (::FindNextFileW(find.Get(), &found));
    return ids;
}

unsigned long NextId() {
    unsigned long next = 1;
    for (const wchar_t* suffix : {kFileSuffix, kRecordSuffix, kIntentSuffix})
        for (unsigned long id : IdsWith(suffix))
            if (id >= next) next = id + 1;
    return next;
}

ULONGLONG Now() {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    return static_cast<ULONGLONG>(now.dwHighDateTime) << 32 | now.dwLowDateTime;
}

// Device paths have no drive; the full path says where the file really is.
std::wstring FullPath(const std::wstring& path) {
    wchar_t full[MAX_PATH * 2];
    const DWORD n = ::GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
    return n != 0 && n < MAX_PATH * 2 ? std::wstring(full) : path;
}

void EnsureStore() {
    ::CreateDirectoryW(kServiceDir, nullptr);
    ::CreateDirectoryW(kQuarantineDir, nullptr);
}

}  // namespace

bool IsRunningImage(const std::wstring& path) {
    const std::wstring target = FullPath(path);
    const kx::UniqueSnapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    bool running = false;
    PROCESSENTRY32W process{};
    process.dwSize = sizeof process;
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &process); more && !running;
         more = ::Process32NextW(snapshot.Get(), &process)) {
        const kx::UniqueHandle h(
            ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process.th32ProcessID));
        if (!h) continue;
        wchar_t image[MAX_PATH * 2];
        DWORD size = MAX_PATH * 2;
        if (::QueryFullProcessImageNameW(h.Get(), 0, image, &size))
            running = ::CompareStringOrdinal(image, -1, target.c_str(), -1, TRUE) == CSTR_EQUAL;
    }
    return running;
}

void Quarantine::Repair() {
    EnsureStore();
    for (unsigned long id : IdsWith(kIntentSuffix)) {
        const std::wstring intent = StorePath(id, kIntentSuffix);
        if (Exists(StorePath(id, kFileSuffix)))
            ::MoveFileExW(intent.c_str(), StorePath(id, kRecordSuffix).c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        else
            ::DeleteFileW(intent.c_str());  // the file never left its place
    }
    for (unsigned long id : IdsWith(kRecordSuffix))
        if (!Exists(StorePath(id, kFileSuffix)))
            ::DeleteFileW(StorePath(id, kRecordSuffix).c_str());  // given back already
}

DWORD Quarantine::Add(const std::wstring& path, const std::wstring& virus, void (*beforeRecord)()) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return kQuarantineNotFound;
    if (IsRunningImage(path)) return kQuarantineInUse;
    EnsureStore();

    Entry entry;
    entry.id = NextId();
    entry.path = path;
    entry.virus = virus;
    entry.time = Now();
    const std::wstring intent = StorePath(entry.id, kIntentSuffix);
    const std::wstring stored = StorePath(entry.id, kFileSuffix);
    if (!WriteRecord(intent, entry)) return kQuarantineFailed;
    if (!::MoveFileExW(path.c_str(), stored.c_str(),
                       MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(intent.c_str());
        return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ? kQuarantineInUse
                                                                                : kQuarantineFailed;
    }
    if (beforeRecord != nullptr) beforeRecord();
    ::MoveFileExW(intent.c_str(), StorePath(entry.id, kRecordSuffix).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    return kQuarantineDone;
}

DWORD Quarantine::Restore(const std::wstring& path, const std::wstring& destination, bool replace,
                          const FILETIME& time) {
    const ULONGLONG wanted = static_cast<ULONGLONG>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
    Entry chosen;
    for (unsigned long id : IdsWith(kRecordSuffix)) {
        Entry entry;
        if (!ReadRecord(StorePath(id, kRecordSuffix), &entry)) continue;
        if (::CompareStringOrdinal(entry.path.c_str(), -1, path.c_str(), -1, TRUE) != CSTR_EQUAL)
            continue;
        if (wanted != 0 ? entry.time == wanted : entry.time >= chosen.time) {
            chosen = entry;
            chosen.id = id;
        }
    }
    if (chosen.id == 0) return kQuarantineNotFound;

    const std::wstring target = destination.empty() ? chosen.path : destination;
    if (!replace && Exists(target)) return kQuarantineExists;
    if (!::MoveFileExW(StorePath(chosen.id, kFileSuffix).c_str(), target.c_str(),
                       MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH |
                           (replace ? MOVEFILE_REPLACE_EXISTING : 0)))
        return kQuarantineFailed;
    ::DeleteFileW(StorePath(chosen.id, kRecordSuffix).c_str());
    return kQuarantineDone;
}

}  // namespace kxsvc
