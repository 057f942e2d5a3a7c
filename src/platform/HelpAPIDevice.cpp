// Device identification: platform family and version, the hardware identifier and the phone
// radio, asked of the device through its version, system parameters, kernel and telephony.
#include "kxcommon/HelpAPI.h"
#include "kxcommon/KxConfig.h"

#include "../internal/Boundary.h"
#include "../internal/NameCompare.h"
#include "../internal/PlatformBuffer.h"
#include "../internal/kxplatform.h"
#include "DeviceRelease.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr DWORD kPlatformTypeChars = 260;
constexpr DWORD kFixedDevCapsBytes = 292;  // enough for most lines' capabilities at once
constexpr DWORD kTapiVersion = 0x00020000;
constexpr DWORD kCellularExtVersion = 0x00010000;
constexpr wchar_t kAppName[] = L"DeviceInfo";
constexpr size_t kSerialChars = 15;
constexpr DWORD kNoLine = 0xFFFFFFFF;

bool ReadVersion(OSVERSIONINFOW* version) {
    std::memset(version, 0, sizeof *version);
    version->dwOSVersionInfoSize = sizeof *version;
    return GetVersionExW(version) != FALSE;
}

unsigned long PocketPcKind(const OSVERSIONINFOW& v) {
    if (v.dwMajorVersion == 3 && v.dwMinorVersion == 0) return KX_DEVICE_POCKETPC_3_0;
    if (v.dwMajorVersion == 3 && v.dwMinorVersion == 1) return KX_DEVICE_POCKETPC_3_1;
    if (v.dwMajorVersion == 4) return KX_DEVICE_POCKETPC_4;
    if (v.dwMajorVersion == 5) return KX_DEVICE_POCKETPC_5;
    return KX_DEVICE_POCKETPC_OTHER;
}

unsigned long SmartphoneKind(const OSVERSIONINFOW& v) {
    switch (v.dwMajorVersion) {
    case 3:
        return KX_DEVICE_SMARTPHONE_3;
    case 4:
        return KX_DEVICE_SMARTPHONE_4;
    case 5:
        return KX_DEVICE_SMARTPHONE_5;
    default:
        return KX_DEVICE_SMARTPHONE_OTHER;
    }
}

// A text of a variable telephony record, by its size (bytes, terminator included) and offset;
// a text reaching past the record is not taken.
bool TextAt(const std::vector<BYTE>& record, DWORD size, DWORD offset, std::wstring* text) {
    if (size == 0 || offset > record.size() || size > record.size() - offset) return false;
    const wchar_t* start = reinterpret_cast<const wchar_t*>(record.data() + offset);
    size_t chars = size / sizeof(wchar_t);
    while (chars > 0 && start[chars - 1] == L'\0') --chars;
    text->assign(start, chars);
    return true;
}

bool IsCdma(DWORD systemType) { return systemType < 3 || systemType == LINESYSTEMTYPE_1XRTTPACKET; }

bool IsAsciiDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

std::wstring NormaliseSerial(const std::wstring& reported, bool cdma) {
    std::wstring kept;
    size_t i = 0;
    while (i < reported.size() && !IsAsciiDigit(reported[i])) ++i;
    for (; i < reported.size() && kept.size() < kSerialChars; ++i)
        if (IsAsciiDigit(reported[i]) || IsAsciiLetter(reported[i])) kept += reported[i];
    if (!cdma || kept.empty()) return kept;
    // A CDMA radio reports its electronic serial number in hexadecimal; the product shows it in
    // decimal. Letters beyond F end the number, as a hexadecimal read does.
    const unsigned long long number = std::wcstoull(kept.c_str(), nullptr, 16);
    wchar_t decimal[32];
    std::swprintf(decimal, 32, L"%0*llu", static_cast<int>(kSerialChars), number);
    return decimal;
}

// A telephony record with its texts takes a few hundred bytes; a line or radio asking for more
// than this answers nonsense, and is taken as one that cannot tell.
constexpr DWORD kMaxTelephonyRecordBytes = 64 * 1024;

// A line's capabilities, read into `caps`; false when the line cannot tell them: the telephony
// service refuses (also for want of memory of its own) or asks for a record beyond any line's.
// Such a line is passed over. Throws only when this process has no memory for the record.
bool ReadCaps(HLINEAPP lineApp, DWORD device, DWORD version, std::vector<BYTE>& caps) {
    caps.assign(kFixedDevCapsBytes, 0);
    reinterpret_cast<LINEDEVCAPS*>(caps.data())->dwTotalSize = kFixedDevCapsBytes;
    if (lineGetDevCaps(lineApp, device, version, 0, reinterpret_cast<LINEDEVCAPS*>(caps.data())) !=
        0)
        return false;
    const DWORD needed = reinterpret_cast<LINEDEVCAPS*>(caps.data())->dwNeededSize;
    if (needed > kMaxTelephonyRecordBytes) return false;
    if (needed > caps.size()) caps.assign(needed, 0);
    LINEDEVCAPS* full = reinterpret_cast<LINEDEVCAPS*>(caps.data());
    full->dwTotalSize = static_cast<DWORD>(caps.size());
    return lineGetDevCaps(lineApp, device, version, 0, full) == 0;
}

// The line device of a name among `deviceCount` lines; when several carry the name the last
// wins. Throws when this process has no memory for a line's capabilities.
struct Line {
    unsigned long device = kNoLine;
    unsigned long mediaModes = 0;
    LINEEXTENSIONID extension{};
};

Line FindLine(HLINEAPP lineApp, DWORD deviceCount, DWORD apiVersion, const wchar_t* lineName) {
    Line found;
    std::vector<BYTE> caps;
    for (DWORD device = 0; device < deviceCount; ++device) {
        DWORD negotiated = 0;
        LINEEXTENSIONID extension{};
        if (lineNegotiateAPIVersion(lineApp, device, apiVersion, apiVersion, &negotiated,
                                    &extension) != 0)
            continue;
        if (!ReadCaps(lineApp, device, negotiated, caps)) continue;
        const LINEDEVCAPS* full = reinterpret_cast<const LINEDEVCAPS*>(caps.data());
        std::wstring name;
        if (TextAt(caps, full->dwLineNameSize, full->dwLineNameOffset, &name) && name == lineName)
            found = Line{device, full->dwMediaModes, extension};
    }
    return found;
}

// Owns what RadioVersionInfoCollect opens, releasing it on every way out.
struct TelephonySession {
    HLINEAPP app = nullptr;
    HLINE line = nullptr;
    ~TelephonySession() {
        if (line != nullptr) lineClose(line);
        if (app != nullptr) lineShutdown(app);
    }
};

void CollectRadio(HINSTANCE instance, RadioInfo& info) {
    TelephonySession session;
    DWORD deviceCount = 0;
    DWORD apiVersion = kTapiVersion;
    LINEINITIALIZEEXPARAMS params{};
    params.dwTotalSize = sizeof params;
    params.dwOptions = LINEINITIALIZEEXOPTION_USEEVENT;
    if (lineInitializeEx(&session.app, instance, nullptr, kAppName, &deviceCount, &apiVersion,
                         &params) != 0) {
        session.app = nullptr;
        return;
    }
    const unsigned long cellular =
        FindLine(session.app, deviceCount, kTapiVersion, CELLTSP_LINENAME_STRING).device;
    if (cellular == kNoLine) {
        info.hasPhone = 0;
        return;
    }
    if (lineOpen(session.app, cellular, &session.line, kTapiVersion, 0, 0,
                 LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR,
                 LINEMEDIAMODE_INTERACTIVEVOICE, nullptr) != 0) {
        session.line = nullptr;
        return;
    }
    DWORD extVersion = 0;
    if (lineNegotiateExtVersion(session.app, cellular, kTapiVersion, kCellularExtVersion,
                                kCellularExtVersion, &extVersion) != 0)
        return;

    DWORD state = 0, support = 0;
    if (lineGetEquipmentState(session.line, &state, &support) != 0) return;
    info.equipmentState = state;
    info.radioSupport = support;
    if (support == LINERADIOSUPPORT_OFF) info.radioOff = 1;

    LINEOPERATOR op{};
    op.dwIndex = LINEOPERATOR_USEFIRSTAVAILABLEINDEX;
    if (lineGetCurrentOperator(session.line, &op) == 0) {
        const auto name = [](const WCHAR* field, size_t chars) {
            return std::wstring(field, wcsnlen(field, chars));
        };
        if (op.dwValidFields & LINEOPFORMAT_ALPHASHORT)
            info.operatorShortName = name(op.lpszShortName, MAX_LENGTH_OPERATOR_SHORT);
        if (op.dwValidFields & LINEOPFORMAT_ALPHALONG)
            info.operatorLongName = name(op.lpszLongName, MAX_LENGTH_OPERATOR_LONG);
        if (op.dwValidFields & LINEOPFORMAT_NUMERIC)
            info.operatorNumericName = name(op.lpszNumName, MAX_LENGTH_OPERATOR_NUMERIC);
    }

    bool cdma = false;
    DWORD systemType = 0;
    if (lineGetCurrentSystemType(session.line, &systemType) == 0) {
        info.systemType = systemType;
        cdma = IsCdma(systemType);
        if (systemType == LINESYSTEMTYPE_GSM || systemType == LINESYSTEMTYPE_GPRS) {
            DWORD status = 0;
            if (lineGetRegisterStatus(session.line, &status) != 0) return;
            info.registrationStatus = status;
        }
    }

    std::vector<BYTE> general(sizeof(LINEGENERALINFO));
    reinterpret_cast<LINEGENERALINFO*>(general.data())->dwTotalSize = sizeof(LINEGENERALINFO);
    if (lineGetGeneralInfo(session.line, reinterpret_cast<LINEGENERALINFO*>(general.data())) != 0) {
        info.radioOff = 1;
        return;
    }
    const DWORD needed = reinterpret_cast<LINEGENERALINFO*>(general.data())->dwNeededSize;
    if (needed > kMaxTelephonyRecordBytes) return;
    if (needed > general.size()) general.assign(needed, 0);
    LINEGENERALINFO* gi = reinterpret_cast<LINEGENERALINFO*>(general.data());
    gi->dwTotalSize = static_cast<DWORD>(general.size());
    if (lineGetGeneralInfo(session.line, gi) != 0) return;
    TextAt(general, gi->dwManufacturerSize, gi->dwManufacturerOffset, &info.manufacturer);
    TextAt(general, gi->dwModelSize, gi->dwModelOffset, &info.model);
    TextAt(general, gi->dwRevisionSize, gi->dwRevisionOffset, &info.revision);
    std::wstring serial;
    if (TextAt(general, gi->dwSerialNumberSize, gi->dwSerialNumberOffset, &serial)) {
        info.reportedSerialNumber = serial;
        info.serialNumber = NormaliseSerial(serial, cdma);
    }
    TextAt(general, gi->dwSubscriberNumberSize, gi->dwSubscriberNumberOffset,
           &info.subscriberNumber);
}

}  // namespace

RadioInfo::RadioInfo()
    : hasPhone(1),
      radioOff(0),
      systemType(0),
      registrationStatus(0),
      equipmentState(0),
      radioSupport(0) {}

RadioInfo::RadioInfo(const RadioInfo& other) noexcept : RadioInfo() { *this = other; }

RadioInfo& RadioInfo::operator=(const RadioInfo& other) noexcept {
    if (this == &other) return *this;
    // Copied apart first: the fields change only when every text was copied.
    kx::Boundary([&] {
        RadioInfo copy;
        copy.hasPhone = other.hasPhone;
        copy.radioOff = other.radioOff;
        copy.manufacturer = other.manufacturer;
        copy.model = other.model;
        copy.revision = other.revision;
        copy.serialNumber = other.serialNumber;
        copy.subscriberNumber = other.subscriberNumber;
        copy.systemType = other.systemType;
        copy.registrationStatus = other.registrationStatus;
        copy.equipmentState = other.equipmentState;
        copy.radioSupport = other.radioSupport;
        copy.reportedSerialNumber = other.reportedSerialNumber;
        copy.operatorLongName = other.operatorLongName;
        copy.operatorShortName = other.operatorShortName;
        copy.operatorNumericName = other.operatorNumericName;
        *this = std::move(copy);
    });
    return *this;
}

static_assert(sizeof(RadioInfo) ==
                  2 * sizeof(int) + 4 * sizeof(unsigned long) + 9 * sizeof(std::wstring),
              "every field of RadioInfo is copied by its assignment");

RadioInfo::RadioInfo(RadioInfo&& other) noexcept = default;
RadioInfo& RadioInfo::operator=(RadioInfo&& other) noexcept = default;
RadioInfo::~RadioInfo() = default;

unsigned long HelpAPI::GetDeviceType() {
    OSVERSIONINFOW version;
    if (!ReadVersion(&version)) return KX_DEVICE_UNKNOWN;
    if (version.dwPlatformId != VER_PLATFORM_WIN32_CE) return KX_DEVICE_NOT_CE;
    wchar_t type[kPlatformTypeChars] = {};
    bool smartphone = false;
    if (!SystemParametersInfoW(SPI_GETPLATFORMTYPE, kPlatformTypeChars, type, 0)) {
        // Some Smartphones refuse the query to unprivileged programs.
        if (::GetLastError() != ERROR_ACCESS_DENIED) return KX_DEVICE_UNKNOWN;
        smartphone = true;
    }
    type[kPlatformTypeChars - 1] = L'\0';
    if (smartphone || kx::SameIgnoringCase(type, L"Smartphone")) return SmartphoneKind(version);
    if (kx::SameIgnoringCase(type, L"PocketPC")) return PocketPcKind(version);
    return KX_DEVICE_OTHER_CE;
}

int HelpAPI::IsWM5() {
    bool wm5 = false;
    return kx::ReadIsWM5(&wm5) && wm5 ? 1 : 0;
}

bool kx::ReadIsWM5(bool* wm5) {
    OSVERSIONINFOW version;
    const bool read = ReadVersion(&version);
    if (!read && ::GetLastError() == ERROR_OUTOFMEMORY) return false;
    *wm5 = read && version.dwMajorVersion >= 5;
    return true;
}

bool HelpAPI::GetDeviceID(GUID* id) {
    if (id == nullptr) return false;
    std::memset(id, 0, sizeof *id);
    DEVICE_ID probe{};
    probe.dwSize = sizeof probe;
    if (KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, &probe, sizeof probe, nullptr) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER || probe.dwSize < sizeof probe)
        return false;
    const DWORD needed = probe.dwSize;
    const kx::PlatformBuffer record(needed);
    if (!record) return false;
    DEVICE_ID* answer = record.As<DEVICE_ID>();
    answer->dwSize = needed;
    if (!KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, answer, needed, nullptr) ||
        ::GetLastError() == ERROR_INSUFFICIENT_BUFFER)
        return false;
    // Both parts must lie within what the device wrote.
    const DEVICE_ID parts = *answer;
    if (parts.dwPresetIDOffset > needed ||
        parts.dwPresetIDBytes > needed - parts.dwPresetIDOffset ||
        parts.dwPlatformIDOffset > needed ||
        parts.dwPlatformIDBytes > needed - parts.dwPlatformIDOffset)
        return false;
    BYTE* out = reinterpret_cast<BYTE*>(id);
    size_t used = 0;
    const auto take = [&](DWORD offset, DWORD bytes) {
        const size_t n = bytes < sizeof *id - used ? bytes : sizeof *id - used;
        std::memcpy(out + used, record.data() + offset, n);
        used += n;
    };
    take(parts.dwPresetIDOffset, parts.dwPresetIDBytes);
    take(parts.dwPlatformIDOffset, parts.dwPlatformIDBytes);
    return true;
}

unsigned long HelpAPI::GetTSPLineDeviceID(HLINEAPP lineApp, unsigned long deviceCount,
                                          unsigned long apiVersion, const wchar_t* lineName,
                                          unsigned long& mediaModes, LINEEXTENSIONID& extensionId) {
    mediaModes = 0;
    if (lineName == nullptr) return kNoLine;
    return kx::Boundary(kNoLine, [&] {
        const Line line = FindLine(lineApp, deviceCount, apiVersion, lineName);
        if (line.device != kNoLine) {
            mediaModes = line.mediaModes;
            extensionId = line.extension;
        }
        return line.device;
    });
}

void HelpAPI::RadioVersionInfoCollect(HINSTANCE instance, RadioInfo& info) {
    info.hasPhone = 1;
    // Without memory the radio is not asked further: what was not read keeps its value.
    kx::Boundary([&] { CollectRadio(instance, info); });
}

int HelpAPI::HasPhone() {
    RadioInfo info;
    RadioVersionInfoCollect(::GetModuleHandleW(nullptr), info);
    return info.hasPhone;
}

int HelpAPI::GetNotificationType(bool) {
    int realTime = 0;
    KxConfig::GetBeRealTimeScan(realTime);
    return realTime != 0 ? 1 : 2;
}

bool IsPDA() {
    if ((HelpAPI::GetDeviceType() & KX_DEVICE_FAMILY_MASK) == KX_DEVICE_FAMILY_SMARTPHONE)
        return false;
    return HelpAPI::HasPhone() == 0;
}
