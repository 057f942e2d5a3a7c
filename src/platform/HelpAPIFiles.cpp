// HelpAPI file operations that succeed despite read-only attributes and work on whole trees.
#include "kxcommon/HelpAPI.h"

#include "kxcommon/KxConfig.h"

#include "../internal/ScopedHandle.h"
#include "../internal/kxplatform.h"

#include <cwchar>

namespace {

// What the product's own file creation passes while real-time scanning is on.
constexpr uintptr_t kOwnCreationMarker = 3;

bool IsDotEntry(const wchar_t* name) { return name[0] == L'.'; }

// An entry's path below a directory; false when it does not fit a device path, which no file
// call could open either.
bool Join(const wchar_t* directory, const wchar_t* name, wchar_t (&path)[MAX_PATH]) {
    if (std::wcslen(directory) + 1 + std::wcslen(name) >= MAX_PATH) return false;
    std::wcscpy(path, directory);
    std::wcscat(path, L"\\");
    std::wcscat(path, name);
    return true;
}

}  // namespace

HANDLE InternalCreateFile(FileParameter& parameter, CreateFileFunction create) {
    if (create == nullptr) return INVALID_HANDLE_VALUE;
    int realTime = 0;
    KxConfig::GetBeRealTimeScan(realTime);
    const uintptr_t marker = realTime != 0 ? kOwnCreationMarker : 0;
    return create(parameter.fileName, parameter.desiredAccess, parameter.shareMode,
                  reinterpret_cast<LPSECURITY_ATTRIBUTES>(marker), parameter.creationDisposition,
                  parameter.flagsAndAttributes, reinterpret_cast<HANDLE>(marker));
}

int HelpAPI::ForceDeleteFile(const wchar_t* path) {
    if (path == nullptr) return 0;
    const DWORD attributes = ::GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
        ::SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
    return ::DeleteFileW(path) ? 1 : 0;
}

int HelpAPI::ForceMoveFile(const wchar_t* source, const wchar_t* destination) {
    if (source == nullptr || destination == nullptr) return 0;
    const DWORD attributes = ::GetFileAttributesW(source);
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
    ForceDeleteFile(destination);
    ::SetFileAttributesW(source, FILE_ATTRIBUTE_NORMAL);
    if (::MoveFileW(source, destination)) {
        ::SetFileAttributesW(destination, attributes);
        return 1;
    }
    // A failed move leaves the source as it was found, read-only included.
    ::SetFileAttributesW(source, attributes);
    return 0;
}

int HelpAPI::UnlinkDir(const wchar_t* path) {
    if (path == nullptr) return 0;
    wchar_t directory[MAX_PATH] = {};
    std::wcsncpy(directory, path, MAX_PATH - 1);
    const size_t length = std::wcslen(directory);
    if (length > 0 && directory[length - 1] == L'\\') directory[length - 1] = L'\0';

    if (!IsDir(directory)) return Access(directory) ? ForceDeleteFile(directory) : 0;

    int result = 1;
    // A directory whose pattern does not fit a device path cannot be enumerated, as one whose
    // enumeration the device refuses: the directory itself is still removed when it can be.
    wchar_t pattern[MAX_PATH];
    WIN32_FIND_DATAW entry;
    kx::UniqueFind find(Join(directory, L"*", pattern) ? ::FindFirstFileW(pattern, &entry)
                                                       : INVALID_HANDLE_VALUE);
    if (!find) return ::RemoveDirectoryW(directory) ? 1 : 0;
    do {
        if (IsDotEntry(entry.cFileName)) continue;
        wchar_t child[MAX_PATH];
        if (!Join(directory, entry.cFileName, child)) {
            result = 0;
            continue;
        }
        if (!Access(child)) continue;
        const int removed = IsDir(child) ? UnlinkDir(child) : ForceDeleteFile(child);
        if (!removed) result = 0;
    } while (::FindNextFileW(find.Get(), &entry));
    find.Reset();
    return (::RemoveDirectoryW(directory) ? 1 : 0) & result;
}

int HelpAPI::MoveDir(const wchar_t* source, const wchar_t* destination) {
    if (source == nullptr || destination == nullptr) return 0;
    if (!IsDir(source) && Access(source)) return ForceMoveFile(source, destination);
    if (!Access(destination) && !::CreateDirectoryW(destination, nullptr)) return 0;

    // A source that cannot be enumerated (its pattern does not fit a device path, or the device
    // refuses) has nothing to move.
    wchar_t pattern[MAX_PATH];
    WIN32_FIND_DATAW entry;
    kx::UniqueFind find(Join(source, L"*", pattern) ? ::FindFirstFileW(pattern, &entry)
                                                    : INVALID_HANDLE_VALUE);
    if (!find) return 1;
    int result = 1;
    do {
        if (IsDotEntry(entry.cFileName)) continue;
        wchar_t from[MAX_PATH];
        wchar_t to[MAX_PATH];
        if (!Join(source, entry.cFileName, from) || !Join(destination, entry.cFileName, to)) {
            result = 0;
            continue;
        }
        if (!Access(from)) continue;
        const int moved = IsDir(from) ? MoveDir(from, to) : ForceMoveFile(from, to);
        if (!moved) result = 0;
    } while (::FindNextFileW(find.Get(), &entry));
    return result;
}
