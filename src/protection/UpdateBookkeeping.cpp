// KxConfig: the update schedule handed to the scan service, the engine and pattern versions it
// reports, the last pattern's name and the message server's fingerprint.
#include "kxcommon/KxConfig.h"

#include "kxcommon/HelpAPI.h"
#include "kxcommon/KxService.h"
#include "kxcommon/MD5.h"

#include "../registry/Settings.h"

#include <cstring>
#include <cwchar>
#include <cwctype>

using namespace kx::settings;

namespace {

constexpr unsigned long kDefaultUpdateDays = 30;
constexpr ULONGLONG kFileTimeUnitsPerDay = 864000000000ull;  // 100-ns units
constexpr wchar_t kPatternPrefix[] = L"scvpnwce.";
constexpr size_t kPatternExtensionChars = 3;
constexpr wchar_t kMessageServer[] = L"KxMsgSvr.exe";
constexpr unsigned long kDigestBytes = 16;

// `start` plus `days` whole days, by the calendar (months and years roll over). False when the
// time is not a valid calendar time.
bool AddDays(const SYSTEMTIME& start, unsigned long days, SYSTEMTIME& next) {
    FILETIME ft;
    if (!::SystemTimeToFileTime(&start, &ft)) return false;
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    t.QuadPart += static_cast<ULONGLONG>(days) * kFileTimeUnitsPerDay;
    ft.dwLowDateTime = t.LowPart;
    ft.dwHighDateTime = t.HighPart;
    return ::FileTimeToSystemTime(&ft, &next) != FALSE;
}

}  // namespace

int KxConfig::SetUpdateSchedule(const SYSTEMTIME* start) {
    unsigned long option = 0;
    Read(kScheduleUpdateOption, option);
    KxService service;
    if (option == 0) {
        // Automatic updating is off: the service drops whatever schedule it had.
        service.SetUpdateSchedule(nullptr);
        return KX_OK;
    }
    const unsigned long days = NumberOr(kScheduleUpdateFrequency, kDefaultUpdateDays);
    SYSTEMTIME from;
    if (start != nullptr)
        from = *start;
    else
        ::GetLocalTime(&from);
    SYSTEMTIME next;
    // A start time that is no calendar time schedules nothing rather than a made-up date.
    if (!AddDays(from, days, next)) {
        service.SetUpdateSchedule(nullptr);
        return KX_OK;
    }
    service.SetUpdateSchedule(&next);
    return KX_OK;
}

int KxConfig::SetZRApiVersionReg() {
    ZRAPIVersion_tag version;
    std::memset(&version, 0, sizeof version);
    const int status = KxService().GetZRAPIVersion(&version);
    if (status != KX_OK) return status;
    // The service's text has room for its terminator; make sure it has one.
    version.engineVersion[sizeof version.engineVersion / sizeof(wchar_t) - 1] = L'\0';
    Write(kEngineVersion, version.engineVersion);
    Write(kPatternVersion, static_cast<unsigned long>(version.patternVersion));
    return KX_OK;
}

KXSTATUS KxConfig::GetLastPattern(wchar_t* fileName, unsigned long length) {
    if (fileName == nullptr || length == 0) return KX_E_INVALIDARG;
    const KXSTATUS status = Read(kLastPattern, fileName, length);
    // The caller's buffer is normalised whatever the read reported; it is terminated within
    // its capacity before it is walked.
    if (std::wmemchr(fileName, L'\0', length) == nullptr) fileName[length - 1] = L'\0';
    for (wchar_t* c = fileName; *c != L'\0'; ++c) *c = static_cast<wchar_t>(std::towlower(*c));
    if (wchar_t* prefix = std::wcsstr(fileName, kPatternPrefix)) {
        wchar_t* extension = prefix + (sizeof kPatternPrefix / sizeof(wchar_t) - 1);
        if (std::wcslen(extension) > kPatternExtensionChars)
            extension[kPatternExtensionChars] = L'\0';
    }
    return status;
}

KXSTATUS KxConfig::GetMD5(char* digest) {
    return ReadBytes(kRepMd5, reinterpret_cast<unsigned char*>(digest), kDigestBytes);
}

KXSTATUS KxConfig::SetMD5() {
    wchar_t directory[MAX_PATH] = L"";
    GetSysDir(directory, MAX_PATH);
    wchar_t path[MAX_PATH];
    HelpAPI::CatPathWithFile(directory, kMessageServer, path, MAX_PATH);
    const unsigned char* digest = MD5File(reinterpret_cast<const unsigned short*>(path));
    if (digest == nullptr) return KX_E_REGISTRY;
    unsigned char copy[kDigestBytes];
    std::memcpy(copy, digest, kDigestBytes);
    return WriteBytes(kRepMd5, copy, kDigestBytes);
}
