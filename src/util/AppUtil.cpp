#include "kxcommon/AppUtil.h"

#include "kxcommon/HelpAPI.h"
#include "kxcommon/KxConfig.h"
#include "kxcommon/UI.h"

#include "../internal/Boundary.h"
#include "../internal/PlatformBuffer.h"
#include "../internal/ScopedHandle.h"
#include "../internal/kxplatform.h"

#include <objbase.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

constexpr size_t kPathChars = MAX_PATH;
constexpr wchar_t kDebugLog[] = L"\\KxCommon.log";
constexpr size_t kDebugLineChars = 1024;
constexpr wchar_t kLineFeed = L'\n';
constexpr int kMessageFormatChars = 512;
constexpr unsigned char kMarkFirst = 0xFF;
constexpr unsigned char kMarkSecond = 0xFE;

struct Shorthand {
    const wchar_t* sequence;
    wchar_t sign;
};
// Tried in this order at every position.
const Shorthand kShorthands[] = {
    {L"(c)", L'\u00A9'},
    {L"(r)", L'\u00AE'},
    {L"(tm)", L'\u2122'},
};

wchar_t* Wide(unsigned short* text) { return reinterpret_cast<wchar_t*>(text); }
const wchar_t* Wide(const unsigned short* text) { return reinterpret_cast<const wchar_t*>(text); }

// Device format strings take %s as a wide text, as the run-time's own wide formatting does.
// The result is always terminated within `size`; -1 when the text was cut.
int FormatInto(wchar_t* buffer, size_t size, const wchar_t* format, va_list args) {
    if (size == 0) return -1;
    const int written = ::_vsnwprintf(buffer, size - 1, format, args);
    buffer[written < 0 ? size - 1 : static_cast<size_t>(written)] = L'\0';
    return written;
}

}  // namespace

void GetOurPath(int selector, unsigned short* path) {
    if (path == nullptr) return;
    path[0] = 0;
    switch (selector) {
    case KX_DIR_SYSTEM:
        KxConfig::GetSysDir(Wide(path), kPathChars);
        break;
    case KX_DIR_APP:
        KxConfig::GetAppDir(Wide(path), kPathChars);
        break;
    default:
        break;
    }
}

void GetSpecialPath(int csidl, unsigned short* path) {
    if (path == nullptr) return;
    path[0] = 0;
    LPITEMIDLIST items = nullptr;
    if (SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, csidl, &items))) {
        if (::SHGetPathFromIDList(items, Wide(path)))
            HelpAPI::AppendASeparator(Wide(path));
        else
            path[0] = 0;
    }
    // The item list comes from the task allocator.
    ::CoTaskMemFree(items);
}

int RunApp(const unsigned short* program, const unsigned short* commandLine, unsigned long waitMs,
           int selector) {
    if (program == nullptr) return 0;
    unsigned short directory[kPathChars];
    GetOurPath(selector, directory);
    // A program of a directory that is not known is not looked for elsewhere.
    if ((selector == KX_DIR_SYSTEM || selector == KX_DIR_APP) && directory[0] == 0) return 0;
    if (std::wcslen(Wide(directory)) + std::wcslen(Wide(program)) >= kPathChars) return 0;
    wchar_t path[kPathChars];
    std::wcscpy(path, Wide(directory));
    std::wcscat(path, Wide(program));
    return kx::Boundary(0, [&] {
        // The platform takes the command line writable: a copy as long as the caller's text.
        std::wstring arguments = commandLine != nullptr ? Wide(commandLine) : L"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!::CreateProcessW(path, &arguments[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process))
            return 0;
        kx::UniqueHandle thread(process.hThread);
        kx::UniqueHandle started(process.hProcess);
        ::WaitForSingleObject(started.Get(), waitMs);
        return 1;
    });
}

std::pair<unsigned long, unsigned long> GetAFileVersion(const unsigned short* module) {
    const std::pair<unsigned long, unsigned long> none(0, 0);
    if (module == nullptr) return none;
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(Wide(module), &ignored);
    if (size == 0) return none;
    const kx::PlatformBuffer info(size);
    if (!info || !::GetFileVersionInfoW(Wide(module), 0, size, info.data())) return none;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
        fixed == nullptr || fixedSize < sizeof *fixed)
        return none;
    return std::make_pair(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
}

std::pair<void*, unsigned int> GetResource(HINSTANCE module, int id, const unsigned short* type) {
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), Wide(type));
    if (found == nullptr) return std::make_pair(nullptr, 0u);
    HGLOBAL loaded = ::LoadResource(module, found);
    void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (data == nullptr) return std::make_pair(nullptr, 0u);
    return std::make_pair(data, static_cast<unsigned int>(::SizeofResource(module, found)));
}

std::wstring CreateStringFromByteBuf(unsigned char* bytes, unsigned int size, bool skipMark) {
    if (bytes == nullptr || size == 0) return std::wstring();
    if (skipMark && size >= 3 && bytes[0] == kMarkFirst && bytes[1] == kMarkSecond) {
        bytes += 2;
        size -= 2;
    }
    return kx::Boundary(std::wstring(), [&] {
        std::wstring text(size / 2, L'\0');
        for (size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<wchar_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
        return text;
    });
}

std::wstring CreateStringFromRes(HINSTANCE module, int id, const unsigned short* type,
                                 bool skipMark) {
    const std::pair<void*, unsigned int> resource = GetResource(module, id, type);
    return CreateStringFromByteBuf(static_cast<unsigned char*>(resource.first), resource.second,
                                   skipMark);
}

bool CreateFileFromRes(const unsigned short* path, HINSTANCE module, int id,
                       const unsigned short* type) {
    const std::pair<void*, unsigned int> resource = GetResource(module, id, type);
    FileParameter parameter = {
        Wide(path), GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0, 0};
    kx::UniqueFile file(InternalCreateFile(parameter, ::CreateFileW));
    if (!file) return false;
    DWORD written = 0;
    ::WriteFile(file.Get(), resource.first, resource.second, &written, nullptr);
    return true;
}

unsigned long ResFmtMessage(unsigned short* buffer, unsigned int size, long id, ...) {
    wchar_t format[kMessageFormatChars] = {};
    if (buffer == nullptr ||
        UI_LoadString(static_cast<UINT>(id), format, kMessageFormatChars) == 0 ||
        format[0] == L'\0')
        return 0;
    va_list args;
    va_start(args, id);
    const int written = FormatInto(Wide(buffer), size, format, args);
    va_end(args);
    return static_cast<unsigned long>(written);
}

void ParseSC(unsigned short* text) {
    if (text == nullptr) return;
    wchar_t* at = Wide(text);
    wchar_t* out = at;
    while (*at != L'\0') {
        const Shorthand* match = nullptr;
        for (const Shorthand& s : kShorthands) {
            if (std::wcsncmp(at, s.sequence, std::wcslen(s.sequence)) == 0) {
                match = &s;
                break;
            }
        }
        if (match != nullptr) {
            *out++ = match->sign;
            at += std::wcslen(match->sequence);
        } else {
            *out++ = *at++;
        }
    }
    *out = L'\0';
}

void WriteDbgLog(const unsigned short* format, ...) {
    if (format == nullptr) return;
    wchar_t line[kDebugLineChars] = {};
    va_list args;
    va_start(args, format);
    FormatInto(line, kDebugLineChars, Wide(format), args);
    va_end(args);
    FILE* log = ::_wfopen(kDebugLog, L"a+b");
    if (log == nullptr) return;
    std::fwrite(line, sizeof(wchar_t), std::wcslen(line), log);
    std::fwrite(&kLineFeed, sizeof kLineFeed, 1, log);
    std::fclose(log);
}
