// Device shortcuts: "<count>#<command line>" text files, 8-bit text (UTF-8 here).
#include "wince/wince.h"

#include "OutOfMemory.h"
#include "ShortcutText.h"
#include "internal/ScopedHandle.h"

#include <cwchar>
#include <string>

namespace {

constexpr size_t kMaxTargetChars = 256;
constexpr DWORD kMaxShortcutBytes = 4096;

std::string ToUtf8(const std::wstring& text) {
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                            nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], bytes,
                          nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(const std::string& text) {
    const int chars =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(chars), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], chars);
    return out;
}

bool ReadSmallFile(const wchar_t* path, std::string* content) {
    const kx::UniqueFile file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                            nullptr));
    if (!file) return false;
    char buffer[kMaxShortcutBytes];
    DWORD got = 0;
    const bool ok = ::ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) != FALSE;
    content->assign(buffer, got);
    return ok;
}

}  // namespace

extern "C" {

BOOL SHGetShortcutTarget(LPWSTR szShortcut, LPWSTR szTarget, int cchMax) {
    return wince::OrOutOfMemory(FALSE, [&]() -> BOOL {
        if (szShortcut == nullptr || szTarget == nullptr || cchMax <= 0) return FALSE;
        std::string content;
        if (!ReadSmallFile(szShortcut, &content)) return FALSE;
        std::string targetText;
        if (!wince::ShortcutTarget(content, targetText)) return FALSE;
        const std::wstring target = FromUtf8(targetText);
        if (target.empty() || target.size() >= static_cast<size_t>(cchMax)) return FALSE;
        std::wmemcpy(szTarget, target.c_str(), target.size() + 1);
        return TRUE;
    });
}

DWORD WINAPI SHCreateShortcut(LPWSTR szShortcut, LPWSTR szTarget) {
    return wince::OrOutOfMemory(FALSE, [&]() -> DWORD {
        if (szShortcut == nullptr || szTarget == nullptr) return FALSE;
        std::wstring target = szTarget;
        if (target.empty() || target.size() > kMaxTargetChars) return FALSE;
        if (target.find(L' ') != std::wstring::npos && target[0] != L'"')
            target = L"\"" + target + L"\"";
        const std::string commandLine = ToUtf8(target);
        const std::string content = std::to_string(target.size()) + "#" + commandLine;
        const kx::UniqueFile file(::CreateFileW(szShortcut, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return FALSE;
        DWORD written = 0;
        return ::WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written,
                           nullptr) &&
               written == content.size();
    });
}

}  // extern "C"
