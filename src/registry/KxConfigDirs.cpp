// KxConfig: directories, the product version and the time stamps.
#include "kxcommon/KxConfig.h"

#include "kxcommon/FmtVer.h"
#include "kxcommon/HelpAPI.h"

#include "Settings.h"

#include <cwchar>

using namespace kx::settings;

namespace {

// The application directory, read once per process. Filled by the first read that finds a
// directory; a failed read, or an empty "AppPath" (the product not yet installed), leaves it
// empty so that the next call reads again. Of two threads asking first
// together one reads while the other waits, so the cache is written once.
constexpr unsigned long kAppDirChars = MAX_PATH;
wchar_t g_appDir[kAppDirChars];
volatile LONG g_appDirState = 0;
enum : LONG { kAppDirEmpty = 0, kAppDirFilling = 1, kAppDirFilled = 2 };

constexpr unsigned long kVersionChars = 1024;
constexpr size_t kVersionTailChars = 4;  // characters kept after the last point

constexpr ULONGLONG kSetupStartBack = 300000000;  // 30 seconds in 100-ns units
constexpr LONGLONG kFileTimeUnitsPerSecond = 10000000;

// Every directory the product names ends in a backslash. A directory whose backslash does not fit
// within `capacity` characters is refused and emptied: cut short, it would name another one. An
// empty setting names no directory and stays empty rather than becoming the device root.
bool EndInBackslash(wchar_t* directory, size_t capacity) {
    const size_t chars = std::wcslen(directory);
    if (chars == 0 || directory[chars - 1] == L'\\') return true;
    if (chars + 1 >= capacity) {
        directory[0] = L'\0';
        return false;
    }
    HelpAPI::AppendASeparator(directory);
    return true;
}

KXSTATUS ReadDirectory(const Value& value, wchar_t* buffer, unsigned long length) {
    if (buffer == nullptr) return KX_E_INVALIDARG;
    if (length == 0) return KX_E_REGISTRY;
    buffer[0] = L'\0';
    const KXSTATUS status = Read(value, buffer, length);
    if (status != KX_OK) return status;
    return EndInBackslash(buffer, length) ? KX_OK : KX_E_REGISTRY;
}

KXSTATUS FillAppDirCache() {
    KXSTATUS status = Read(kAppPath, g_appDir, kAppDirChars);
    if (status != KX_OK) {
        g_appDir[0] = L'\0';
        return status;
    }
    return EndInBackslash(g_appDir, kAppDirChars) ? KX_OK : KX_E_REGISTRY;
}

// Waits for whichever thread fills the cache; returns the read status of this call's own read,
// or 0 when the cache was already filled.
KXSTATUS EnsureAppDirCache() {
    for (;;) {
        const LONG state =
            ::InterlockedCompareExchange(&g_appDirState, kAppDirFilling, kAppDirEmpty);
        if (state == kAppDirFilled) return KX_OK;
        if (state == kAppDirEmpty) {
            const KXSTATUS status = FillAppDirCache();
            const bool filled = status == KX_OK && g_appDir[0] != L'\0';
            ::InterlockedExchange(&g_appDirState, filled ? kAppDirFilled : kAppDirEmpty);
            return status;
        }
        ::Sleep(0);
    }
}

FILETIME CurrentLocalFileTime() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    FILETIME file{};
    ::SystemTimeToFileTime(&now, &file);
    return file;
}

ULONGLONG ToUInt64(const FILETIME& time) {
    return static_cast<ULONGLONG>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

KXSTATUS WriteStartTime(ULONGLONG units) {
    // Stored low 32 bits first, as the device lays out a FILETIME.
    unsigned char bytes[sizeof(FILETIME)];
    for (size_t i = 0; i < sizeof bytes; ++i)
        bytes[i] = static_cast<unsigned char>(units >> (8 * i));
    return WriteBytes(kStartupTime, bytes, sizeof bytes);
}

}  // namespace

KXSTATUS KxConfig::GetAppDir(wchar_t* directory, unsigned long length) {
    if (directory == nullptr) return KX_E_INVALIDARG;
    if (length == 0) return KX_E_REGISTRY;
    directory[0] = L'\0';
    const KXSTATUS status = EnsureAppDirCache();
    if (status != KX_OK) return status;
    if (std::wcslen(g_appDir) >= length) return KX_E_REGISTRY;
    std::wcscpy(directory, g_appDir);
    return KX_OK;
}

bool kx::settings::AppDirFile(const wchar_t* file, wchar_t (&path)[MAX_PATH]) {
    path[0] = L'\0';
    wchar_t directory[MAX_PATH] = L"";
    if (KxConfig::GetAppDir(directory, MAX_PATH) != KX_OK || directory[0] == L'\0') return false;
    // The directory ends in its backslash already.
    if (std::wcslen(directory) + std::wcslen(file) >= MAX_PATH) return false;
    HelpAPI::CatPathWithFile(directory, file, path, MAX_PATH);
    return true;
}

KXSTATUS KxConfig::GetSysDir(wchar_t* directory, unsigned long length) {
    return ReadDirectory(kWinPath, directory, length);
}

KXSTATUS KxConfig::GetStartupDir(wchar_t* directory, int length) {
    return ReadDirectory(kStartupPath, directory,
                         length > 0 ? static_cast<unsigned long>(length) : 0);
}

KXSTATUS KxConfig::GetFullVersion(wchar_t* version, unsigned long length) {
    const KXSTATUS status = Read(kFullVersion, version, length);
    if (status != KX_OK) return status;
    // Keep at most four characters after the last point (2.0.0.123456 becomes 2.0.0.1234).
    const size_t chars = std::wcslen(version);
    for (size_t i = chars; i-- > 0;) {
        if (version[i] != L'.') continue;
        if (i + 1 + kVersionTailChars < chars) version[i + 1 + kVersionTailChars] = L'\0';
        break;
    }
    return KX_OK;
}

KXSTATUS KxConfig::GetFullVersion(unsigned long& high, unsigned long& low) {
    wchar_t text[kVersionChars] = {};
    const KXSTATUS status = Read(kFullVersion, text, kVersionChars);
    FmtVer::Convert(reinterpret_cast<const unsigned short*>(text), high, low);
    return status;
}

KXSTATUS KxConfig::SetFullVersion(const wchar_t* version) { return Write(kFullVersion, version); }

KXSTATUS KxConfig::SetFullVersion(unsigned long high, unsigned long low) {
    wchar_t text[kVersionChars] = {};
    FmtVer::Convert(high, low, reinterpret_cast<unsigned short*>(text), kVersionChars);
    return SetFullVersion(text);
}

KXSTATUS KxConfig::IncrementVer() {
    unsigned long high = 0, low = 0;
    GetFullVersion(high, low);
    // The third part counts builds; it wraps at 16 bits without carrying into the second.
    low = (((low >> 16) + 1) << 16 | (low & 0xFFFF)) & 0xFFFFFFFF;
    return SetFullVersion(high, low);
}

KXSTATUS KxConfig::GetProductVersion(ULARGE_INTEGER& version) {
    unsigned long high = 0, low = 0;
    const KXSTATUS status = GetFullVersion(high, low);
    version.HighPart = high;
    version.LowPart = low;
    return status;
}

KXSTATUS KxConfig::SetLastMSTime(const SYSTEMTIME& time) { return WriteTime(kLastScanTime, time); }
KXSTATUS KxConfig::GetLastMSTime(SYSTEMTIME& time) { return ReadTime(kLastScanTime, time); }

KXSTATUS KxConfig::SetLastUpdateTime(const SYSTEMTIME& time) {
    return WriteTime(kLastUpdateTime, time);
}
KXSTATUS KxConfig::SetLastUpdateTime() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return SetLastUpdateTime(now);
}
KXSTATUS KxConfig::GetLastUpdateTime(SYSTEMTIME& time) { return ReadTime(kLastUpdateTime, time); }

KXSTATUS KxConfig::SetScheduleUpdateTime(const SYSTEMTIME* time) {
    return time != nullptr ? WriteTime(kScheduleUpdateTime, *time) : KX_E_REGISTRY;
}
KXSTATUS KxConfig::GetScheduleUpdateTime(SYSTEMTIME* time) {
    return time != nullptr ? ReadTime(kScheduleUpdateTime, *time) : KX_E_REGISTRY;
}

KXSTATUS KxConfig::SetStartUpTime() { return WriteStartTime(ToUInt64(CurrentLocalFileTime())); }

KXSTATUS KxConfig::SetStartUpTime_Setup() {
    return WriteStartTime(ToUInt64(CurrentLocalFileTime()) - kSetupStartBack);
}

KXSTATUS KxConfig::GetStartUpTillNow(unsigned long& seconds) {
    const ULONGLONG now = ToUInt64(CurrentLocalFileTime());
    unsigned char bytes[sizeof(FILETIME)] = {};
    const KXSTATUS status = ReadBytes(kStartupTime, bytes, sizeof bytes);
    if (status != KX_OK) return status;
    ULONGLONG stored = 0;
    for (size_t i = sizeof bytes; i-- > 0;) stored = stored << 8 | bytes[i];
    const LONGLONG elapsed = static_cast<LONGLONG>(now - stored) / kFileTimeUnitsPerSecond;
    seconds = static_cast<unsigned long>(elapsed);
    return KX_OK;
}
