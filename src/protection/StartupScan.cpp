// KxConfig: the Startup folder, the file-type filter, and scanning one file or shortcut with
// quarantine of what is infected.
#include "kxcommon/KxConfig.h"

#include "kxcommon/HelpAPI.h"
#include "kxcommon/KxService.h"

#include "../internal/ScopedHandle.h"
#include "../internal/NameCompare.h"
#include "../internal/kxplatform.h"

#include <cstring>
#include <cwchar>

namespace {

constexpr unsigned long kAllFileTypes = 0x7FFFFFFF;
constexpr unsigned long kProgramsBit = 0x1;
constexpr unsigned long kLibrariesBit = 0x2;
constexpr unsigned long kArchivesBit = 0x4;

constexpr size_t kMinScanPathChars = 4;
constexpr wchar_t kShortcutSuffix[] = L".LNK";
constexpr size_t kShortcutSuffixChars = 4;

bool IsShortcut(const wchar_t* path) {
    const size_t chars = std::wcslen(path);
    return chars >= kShortcutSuffixChars &&
           kx::SameIgnoringCase(path + chars - kShortcutSuffixChars, kShortcutSuffix);
}

bool Infected(const FileScan_tag& record) {
    return record.scanResult == KXSVC_VERDICT_INFECTED ||
           record.scanResult == KXSVC_VERDICT_SUSPICIOUS;
}

// Scans `target`; the verdict is 0 when the scan itself failed.
FileScan_tag Scan(KxService& service, const wchar_t* target) {
    FileScan_tag record;
    std::memset(&record, 0, sizeof record);
    record.size = sizeof record;
    std::wcsncpy(record.path, target, sizeof record.path / sizeof(wchar_t) - 1);
    if (service.ScanFile(&record) != KX_OK) record.scanResult = KXSVC_VERDICT_CLEAN;
    return record;
}

// Quarantines the file; a program that is running is ended and quarantine asked once more.
void Quarantine(KxService& service, const wchar_t* path, const wchar_t* virusName) {
    if (service.QuarantineFile(path, virusName) == 0) return;
    KxConfig::KillProcess(0, path, static_cast<const wchar_t*>(nullptr));
    service.QuarantineFile(path, virusName);
}

}  // namespace

int KxConfig::GetMatchFile(const wchar_t* path, int& match) {
    if (path == nullptr) return KX_E_INVALIDARG;
    unsigned long types = 0;
    const KXSTATUS read = GetScanFileType(types);
    if (read != KX_OK) types = 0;
    if (types == kAllFileTypes) {
        match = 1;
        return KX_OK;
    }
    match = 0;
    const wchar_t* extension = HelpAPI::GetFileExt(path);
    if (extension == nullptr) return KX_OK;
    wchar_t cleaned[MAX_PATH] = {};
    std::wcsncpy(cleaned, extension, MAX_PATH - 1);
    HelpAPI::StrTrimInerStr(cleaned);
    if (read != KX_OK) return read;

    const bool program = (types & kProgramsBit) != 0 && kx::SameIgnoringCase(cleaned, L"exe");
    const bool library = (types & kLibrariesBit) != 0 && kx::SameIgnoringCase(cleaned, L"dll");
    const bool archive = (types & kArchivesBit) != 0 && (kx::SameIgnoringCase(cleaned, L"cab") ||
                                                         kx::SameIgnoringCase(cleaned, L"zip"));
    if (program || library || archive) match = 1;
    return KX_OK;
}

int KxConfig::IsInStartup(const wchar_t* path) {
    if (path == nullptr || path[0] == L'\0') return KX_E_PATH_TOO_SHORT;
    wchar_t folder[MAX_PATH] = {};
    if (GetStartupDir(folder, MAX_PATH) != KX_OK || folder[0] == L'\0') return KX_E_NO_STARTUP_DIR;
    const size_t folderChars = std::wcslen(folder);
    if (std::wcslen(path) <= folderChars) return KX_E_NOT_IN_STARTUP;
    // Code unit by code unit: the device's own spelling of the folder is the one that counts.
    return std::wcsncmp(path, folder, folderChars) == 0 ? KX_OK : KX_E_NOT_IN_STARTUP;
}

int KxConfig::ScanIt(const wchar_t* path) {
    if (path == nullptr || std::wcslen(path) < kMinScanPathChars) return KX_E_PATH_TOO_SHORT;
    KxService service;
    if (!IsShortcut(path)) {
        const FileScan_tag record = Scan(service, path);
        if (Infected(record)) Quarantine(service, path, record.virusName);
        return KX_OK;
    }
    // A shortcut is judged by what it starts: the scan request names the target, so an infected
    // program behind a clean shortcut is caught; the shortcut goes, the target to quarantine.
    wchar_t shortcut[MAX_PATH] = {};
    std::wcsncpy(shortcut, path, MAX_PATH - 1);
    wchar_t target[MAX_PATH] = {};
    if (!::SHGetShortcutTarget(shortcut, target, MAX_PATH)) return KX_OK;
    const FileScan_tag record = Scan(service, target);
    if (Infected(record)) {
        ::DeleteFileW(shortcut);
        Quarantine(service, target, record.virusName);
    }
    return KX_OK;
}

int KxConfig::ScanStartup() {
    wchar_t folder[MAX_PATH] = {};
    if (GetStartupDir(folder, MAX_PATH) != KX_OK || folder[0] == L'\0') return KX_E_NO_STARTUP_DIR;
    wchar_t pattern[MAX_PATH];
    HelpAPI::CatPathWithFile(folder, L"*.*", pattern, MAX_PATH);
    WIN32_FIND_DATAW entry;
    kx::UniqueFind find(::FindFirstFileW(pattern, &entry));
    if (!find) return KX_OK;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        // A name too long for a device path names no file ScanIt could open.
        wchar_t path[MAX_PATH + 1];
        HelpAPI::CatPathWithFile(folder, entry.cFileName, path, MAX_PATH + 1);
        if (std::wcslen(path) < MAX_PATH) ScanIt(path);
    } while (::FindNextFileW(find.Get(), &entry));
    return KX_OK;
}
