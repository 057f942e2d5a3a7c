#include "kxcommon/HelpAPI.h"

#include "../internal/Boundary.h"
#include "../internal/NameCompare.h"
#include "../internal/kxplatform.h"

#include <cwchar>
#include <initializer_list>

namespace {

constexpr wchar_t kMainModuleName[] = L"KxMain.exe";
constexpr size_t kShortPathTailChars = 100;
constexpr wchar_t kShortPathEllipsis[] = L"...";

// Writes the pieces one after another into `out`; a result that does not fit is cut at the
// buffer's end and still terminated.
void JoinCut(wchar_t* out, size_t size, std::initializer_list<const wchar_t*> pieces) {
    size_t used = 0;
    for (const wchar_t* piece : pieces) {
        for (; *piece != L'\0' && used + 1 < size; ++piece) out[used++] = *piece;
    }
    out[used] = L'\0';
}

}  // namespace

void HelpAPI::AppendASeparator(wchar_t* path) {
    if (path == nullptr) return;
    const size_t length = std::wcslen(path);
    if (length > 0 && path[length - 1] == L'\\') return;
    path[length] = L'\\';
    path[length + 1] = L'\0';
}

const wchar_t* HelpAPI::GetFileExt(const wchar_t* path) {
    if (path == nullptr) return nullptr;
    const size_t length = std::wcslen(path);
    // A dot at index 0 names a hidden file, not an extension.
    for (size_t i = length; i-- > 1;) {
        if (path[i] == L'.') return path + i + 1;
    }
    return nullptr;
}

const wchar_t* HelpAPI::GetFileName(const wchar_t* path) {
    if (path == nullptr) return nullptr;
    const wchar_t* separator = std::wcsrchr(path, L'\\');
    return separator != nullptr ? separator + 1 : path;
}

wchar_t* HelpAPI::GetFileName(wchar_t* path) {
    return const_cast<wchar_t*>(GetFileName(static_cast<const wchar_t*>(path)));
}

void HelpAPI::CatPathWithFile(const wchar_t* directory, const wchar_t* fileName, wchar_t* out,
                              int size) {
    if (directory == nullptr || fileName == nullptr || out == nullptr || size <= 0) return;
    const size_t dirLength = std::wcslen(directory);
    const wchar_t last = dirLength > 0 ? directory[dirLength - 1] : L'\0';
    // An empty directory gives the file name alone; a directory that already ends in a
    // separator (either kind) gets none added.
    const bool addSeparator = dirLength > 0 && last != L'\\' && last != L'/';
    JoinCut(out, static_cast<size_t>(size), {directory, addSeparator ? L"\\" : L"", fileName});
}

int HelpAPI::IsDir(const wchar_t* path) {
    if (path == nullptr) return 0;
    const DWORD attributes = ::GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 1 : 0;
}

int HelpAPI::Access(const wchar_t* path) {
    if (path == nullptr) return 0;
    return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES ? 1 : 0;
}

std::wstring GetShortPathFile(const wchar_t* path) {
    if (path == nullptr) return std::wstring();
    return kx::Boundary(std::wstring(), [&] {
        const size_t length = std::wcslen(path);
        if (length <= kShortPathTailChars) return std::wstring(path, length);
        return kShortPathEllipsis + std::wstring(path + length - kShortPathTailChars);
    });
}

bool IsInMainModule(const wchar_t* fileName) {
    return fileName != nullptr && kx::SameIgnoringCase(fileName, kMainModuleName);
}
