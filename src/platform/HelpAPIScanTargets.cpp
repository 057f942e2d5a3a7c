// HelpAPI: which files a scan takes.
#include "kxcommon/HelpAPI.h"

#include "kxcommon/KxConfig.h"

#include "../internal/NameCompare.h"
#include "../internal/kxplatform.h"

#include <cwchar>
#include <iterator>

namespace {

constexpr wchar_t kSystemServiceHost[] = L"\\Windows\\service.exe";
const wchar_t* const kProductModules[] = {L"KXSVC.dll", L"KXSMSLsn2.dll", L"zrapice.dll",
                                          L"KxUpdate.dll"};
constexpr wchar_t kStorageManagerFolder[] = L"\\StoreMgr\\";
constexpr size_t kStorageManagerChars = 10;
constexpr wchar_t kDeviceNameEnd = L':';

enum OwnDirectory { kAppDirectory, kSystemDirectory };
struct OwnFile {
    const wchar_t* name;
    OwnDirectory directory;
};
const OwnFile kOwnFiles[] = {
    {L"KxMain.exe", kAppDirectory},
    {L"debug.log", kAppDirectory},
    {L"KxMsgSvr.exe", kSystemDirectory},
    {L"KxAgent.exe", kSystemDirectory},
};

// The product's own files as lower-case full paths, made once per process; a file whose directory
// is not known has an empty entry, which matches nothing. Of two threads asking first together one
// builds the list while the other waits for it.
wchar_t g_ownFiles[std::size(kOwnFiles)][MAX_PATH];
volatile LONG g_ownFilesState = 0;
enum : LONG { kListEmpty = 0, kListBuilding = 1, kListBuilt = 2 };

void BuildOwnFiles() {
    wchar_t appDir[MAX_PATH] = {};
    wchar_t sysDir[MAX_PATH] = {};
    KxConfig::GetAppDir(appDir, MAX_PATH);
    KxConfig::GetSysDir(sysDir, MAX_PATH);
    for (size_t i = 0; i < std::size(kOwnFiles); ++i) {
        const wchar_t* directory = kOwnFiles[i].directory == kAppDirectory ? appDir : sysDir;
        g_ownFiles[i][0] = L'\0';
        if (directory[0] == L'\0') continue;
        HelpAPI::CatPathWithFile(directory, kOwnFiles[i].name, g_ownFiles[i], MAX_PATH);
        ::CharLowerW(g_ownFiles[i]);
    }
}

void EnsureOwnFiles() {
    for (;;) {
        const LONG state =
            ::InterlockedCompareExchange(&g_ownFilesState, kListBuilding, kListEmpty);
        if (state == kListBuilt) return;
        if (state == kListEmpty) {
            BuildOwnFiles();
            ::InterlockedExchange(&g_ownFilesState, kListBuilt);
            return;
        }
        ::Sleep(0);
    }
}

}  // namespace

int HelpAPI::isRomFile(const wchar_t* path) {
    if (path == nullptr) return 1;
    const DWORD attributes = ::GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_INROM) != 0) return 1;
    return (attributes & FILE_ATTRIBUTE_ROMMODULE) != 0 ? 1 : 0;
}

int HelpAPI::isIgnoreFile(const wchar_t* path) {
    return path != nullptr && kx::SameIgnoringCase(path, kSystemServiceHost) ? 1 : 0;
}

int HelpAPI::isIgnoreDllFile(const wchar_t* path) {
    const wchar_t* name = GetFileName(path);
    if (name == nullptr) return 0;
    for (const wchar_t* module : kProductModules)
        if (kx::SameIgnoringCase(name, module)) return 1;
    return 0;
}

bool HelpAPI::IsOurFile(const wchar_t* path) {
    if (path == nullptr) return false;
    // Compared as lower-cased texts, unit for unit; a path longer than any device path is none of
    // the product's files.
    const size_t length = std::wcslen(path);
    if (length >= MAX_PATH) return false;
    wchar_t lowered[MAX_PATH];
    std::wmemcpy(lowered, path, length + 1);
    ::CharLowerW(lowered);
    EnsureOwnFiles();
    for (const wchar_t* file : g_ownFiles)
        if (file[0] != L'\0' && std::wcscmp(file, lowered) == 0) return true;
    return false;
}

int HelpAPI::SkipScanFile(const wchar_t* path, int& checked, int checkType) {
    checked = 0;
    if (path == nullptr || path[0] == L'\0') return 1;
    const DWORD attributes = ::GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        checked = 1;
        return 1;
    }
    if ((attributes & (FILE_ATTRIBUTE_INROM | FILE_ATTRIBUTE_ROMMODULE)) != 0) return 1;
    const size_t length = std::wcslen(path);
    if (length < 2) return 1;
    if (path[length - 1] == kDeviceNameEnd) return 1;
    if (kx::SameIgnoringCase(path, kStorageManagerFolder, kStorageManagerChars)) return 1;
    checked = 1;
    if (checkType == 0) return 0;
    wchar_t copy[MAX_PATH] = {};
    std::wcsncpy(copy, path, MAX_PATH - 1);
    int match = 1;
    return KxConfig::GetMatchFile(copy, match) == KX_OK && match != 0 ? 0 : 1;
}
