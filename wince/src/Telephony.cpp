// Cellular telephony over the device profile: the profile's lines as line devices, and the
// radio (equipment state, operator, system, registration, general information) behind the line
// named "Cellular Line". Line applications and open lines belong to the calling process;
// closing the application closes its lines.
#include "wince/wince.h"

#include "OutOfMemory.h"
#include "Profile.h"
#include "internal/ScopedHandle.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

using namespace wince;

static_assert(sizeof(LINEDEVCAPS) == 252, "TAPI 2.0 line capabilities are 252 bytes");
static_assert(sizeof(LINEOPERATOR) == 140, "the operator record is 140 bytes");
static_assert(sizeof(LINEGENERALINFO) == 52, "the general information record is 52 bytes");
static_assert(offsetof(LINEDEVCAPS, dwLineNameOffset) == 36, "line name offset");
static_assert(offsetof(LINEDEVCAPS, dwMediaModes) == 60, "media modes");

constexpr DWORD kApiVersion = 0x00020000;  // TAPI 2.0, the device's
constexpr DWORD kOldestApiVersion = 0x00010004;
constexpr DWORD kHugeRecordBytes = 0xFFFFFF00;  // what a line staged as kCapsHuge asks for
constexpr DWORD kExtVersion = 0x00010000;       // the cellular extensions
constexpr wchar_t kCellularProvider[] = L"Cellular TAPI Service Provider";
constexpr wchar_t kOtherProvider[] = L"Line Service Provider";
// The cellular provider's extension identifier.
constexpr LINEEXTENSIONID kCellularExtension = {0xC3E5A7B9, 0x11D04B2E, 0x8A1C0060, 0x97D9F61E};

// Handles are the objects' addresses, recognised by a mark rather than by a table of this
// module: every copy of the platform layer in a process (the library's, a program's own) must
// accept the handles another copy gave out, as the device's one telephony service does.
constexpr DWORD kAppMark = 0x4C415050;   // "LAPP"
constexpr DWORD kLineMark = 0x4C494E45;  // "LINE"

struct Line;

struct LineApp {
    DWORD mark = kAppMark;
    std::vector<std::wstring> lines;        // what the device had when the application started
    std::vector<std::wstring> capsAnswers;  // how each line answers for its capabilities
    std::vector<Line*> open;
    kx::UniqueHandle event;  // closed with the application
};

struct Line {
    DWORD mark;
    LineApp* app;
    DWORD device;
    bool cellular;
};

std::mutex gLock;

bool Readable(const void* p, size_t size) {
    MEMORY_BASIC_INFORMATION m;
    if (p == nullptr || ::VirtualQuery(p, &m, sizeof m) != sizeof m || m.State != MEM_COMMIT ||
        (m.Protect & (PAGE_NOACCESS | PAGE_GUARD)) != 0)
        return false;
    const BYTE* end = static_cast<const BYTE*>(m.BaseAddress) + m.RegionSize;
    return static_cast<const BYTE*>(p) + size <= end;
}

bool IsCellular(const std::wstring& name) { return name == CELLTSP_LINENAME_STRING; }

LineApp* FindApp(HLINEAPP handle) {
    LineApp* app = reinterpret_cast<LineApp*>(handle);
    return Readable(app, sizeof *app) && app->mark == kAppMark ? app : nullptr;
}

Line* FindLine(HLINE handle) {
    Line* line = reinterpret_cast<Line*>(handle);
    return Readable(line, sizeof *line) && line->mark == kLineMark ? line : nullptr;
}

void Forget(Line* line) {
    line->mark = 0;
    delete line;
}

// Every entry point answers under the service's lock, and LINEERR_NOMEM rather than throw: even
// taking the lock may need memory the first time. `serve` is given what the handle names once
// it is found.
template <typename Serve>
LONG ServeApp(HLINEAPP handle, Serve serve) {
    return wince::OrOutOfMemory(LINEERR_NOMEM, [&]() -> LONG {
        std::lock_guard<std::mutex> hold(gLock);
        LineApp* app = FindApp(handle);
        return app == nullptr ? LONG(LINEERR_INVALAPPHANDLE) : serve(app);
    });
}

template <typename Serve>
LONG ServeLine(HLINE handle, Serve serve) {
    return wince::OrOutOfMemory(LINEERR_NOMEM, [&]() -> LONG {
        std::lock_guard<std::mutex> hold(gLock);
        Line* line = FindLine(handle);
        return line == nullptr ? LONG(LINEERR_INVALLINEHANDLE) : serve(line);
    });
}

// The radio's requests: only the cellular line answers them.
template <typename Serve>
LONG ServeRadio(HLINE handle, Serve serve) {
    return ServeLine(handle, [&](Line* line) -> LONG {
        return line->cellular ? serve() : LONG(LINEERR_OPERATIONUNAVAIL);
    });
}

bool RadioOff() {
    return profile::NumberOr(profile::kRadioSupport, LINERADIOSUPPORT_ON) == LINERADIOSUPPORT_OFF;
}

void CopyName(const std::wstring& name, WCHAR* field, size_t chars) {
    const size_t n = name.size() < chars ? name.size() : chars - 1;
    std::wmemcpy(field, name.c_str(), n);
    field[n] = L'\0';
}

// Lays texts out after a record's fixed part, each as size and offset fields, when the record
// has room for all of them; `needed` is what the whole answer takes.
struct TextBlock {
    DWORD fixed;
    std::vector<std::pair<const std::wstring*, size_t>> texts;  // text, offset of its size field

    DWORD Needed() const {
        DWORD total = fixed;
        for (const auto& t : texts)
            if (!t.first->empty())
                total += static_cast<DWORD>((t.first->size() + 1) * sizeof(WCHAR));
        return total;
    }

    // Writes the texts when the record's dwTotalSize (its first word) holds them all.
    void Fill(BYTE* record) const {
        DWORD* words = reinterpret_cast<DWORD*>(record);
        const DWORD needed = Needed();
        words[1] = needed;
        if (words[0] < needed) {
            words[2] = fixed;
            return;
        }
        DWORD at = fixed;
        for (const auto& t : texts) {
            if (t.first->empty()) continue;
            const DWORD bytes = static_cast<DWORD>((t.first->size() + 1) * sizeof(WCHAR));
            std::memcpy(record + at, t.first->c_str(), bytes);
            std::memcpy(record + t.second, &bytes, sizeof bytes);
            std::memcpy(record + t.second + sizeof(DWORD), &at, sizeof at);
            at += bytes;
        }
        words[2] = at;
    }
};

// Keeps the count of open applications and lines in the profile, so that what a program left
// open can be seen from outside it. Nothing open leaves no value, so a program that released
// everything leaves the device's registry as it found it.
void CountHandles(long delta) {
    const long now = static_cast<long>(profile::NumberOr(profile::kTelephonyHandles, 0)) + delta;
    if (now == 0)
        profile::Erase(profile::kTelephonyHandles);
    else
        profile::WriteNumber(profile::kTelephonyHandles, static_cast<DWORD>(now));
}

std::wstring Text(const wchar_t* name) {
    std::wstring text;
    profile::ReadText(name, &text);
    return text;
}

}  // namespace

extern "C" {

LONG WINAPI lineInitializeEx(LPHLINEAPP lineApp, HINSTANCE, LINECALLBACK, LPCWSTR,
                             LPDWORD deviceCount, LPDWORD apiVersion,
                             LPLINEINITIALIZEEXPARAMS params) {
    return wince::OrOutOfMemory(LINEERR_NOMEM, [&]() -> LONG {
        if (lineApp == nullptr || deviceCount == nullptr || apiVersion == nullptr)
            return LINEERR_INVALPOINTER;
        if (profile::NumberOr(profile::kTelephony, 1) == 0) return LINEERR_NODRIVER;
        if (params != nullptr && params->dwTotalSize < sizeof(LINEINITIALIZEEXPARAMS))
            return LINEERR_STRUCTURETOOSMALL;

        std::unique_ptr<LineApp> app(new LineApp);
        profile::ReadList(profile::kLines, &app->lines);
        profile::ReadList(profile::kLineCapsAnswers, &app->capsAnswers);
        if (params != nullptr) {
            params->dwNeededSize = params->dwUsedSize = sizeof(LINEINITIALIZEEXPARAMS);
            if (params->dwOptions == LINEINITIALIZEEXOPTION_USEEVENT) {
                app->event.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
                if (!app->event) return LINEERR_RESOURCEUNAVAIL;
                params->Handles.hEvent = app->event.Get();
            }
        }
        *lineApp = reinterpret_cast<HLINEAPP>(app.release());
        CountHandles(+1);
        *deviceCount = static_cast<DWORD>(reinterpret_cast<LineApp*>(*lineApp)->lines.size());
        *apiVersion = kApiVersion;
        return 0;
    });
}

LONG WINAPI lineShutdown(HLINEAPP handle) {
    return ServeApp(handle, [&](LineApp* app) -> LONG {
        for (Line* line : app->open) Forget(line);
        CountHandles(-1 - static_cast<long>(app->open.size()));
        app->mark = 0;
        delete app;
        return 0;
    });
}

LONG WINAPI lineNegotiateAPIVersion(HLINEAPP handle, DWORD device, DWORD low, DWORD high,
                                    LPDWORD version, LPLINEEXTENSIONID extension) {
    return ServeApp(handle, [&](LineApp* app) -> LONG {
        if (device >= app->lines.size()) return LINEERR_BADDEVICEID;
        if (version == nullptr || extension == nullptr) return LINEERR_INVALPOINTER;
        if (low > high || low > kApiVersion || high < kOldestApiVersion)
            return LINEERR_INCOMPATIBLEAPIVERSION;
        *version = high < kApiVersion ? high : kApiVersion;
        if (IsCellular(app->lines[device]))
            *extension = kCellularExtension;
        else
            std::memset(extension, 0, sizeof *extension);
        return 0;
    });
}

LONG WINAPI lineGetDevCaps(HLINEAPP handle, DWORD device, DWORD, DWORD, LPLINEDEVCAPS caps) {
    return ServeApp(handle, [&](LineApp* app) -> LONG {
        if (device >= app->lines.size()) return LINEERR_BADDEVICEID;
        if (caps == nullptr) return LINEERR_INVALPOINTER;
        if (caps->dwTotalSize < sizeof(LINEDEVCAPS)) return LINEERR_STRUCTURETOOSMALL;
        const std::wstring answer =
            device < app->capsAnswers.size() ? app->capsAnswers[device] : profile::kCapsAnswered;
        if (answer == profile::kCapsNoMemory) return LINEERR_NOMEM;

        const std::wstring& name = app->lines[device];
        const bool cellular = IsCellular(name);
        const std::wstring provider = cellular ? kCellularProvider : kOtherProvider;
        const DWORD total = caps->dwTotalSize;
        std::memset(caps, 0, sizeof *caps);
        caps->dwTotalSize = total;
        caps->dwPermanentLineID = device + 1;
        caps->dwStringFormat = LINESTRINGFORMAT_UNICODE;
        caps->dwNumAddresses = 1;
        caps->dwMaxNumActiveCalls = 1;
        caps->dwMediaModes = cellular ? LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_DATAMODEM
                                      : LINEMEDIAMODE_DATAMODEM;
        TextBlock block{sizeof(LINEDEVCAPS),
                        {{&provider, offsetof(LINEDEVCAPS, dwProviderInfoSize)},
                         {&name, offsetof(LINEDEVCAPS, dwLineNameSize)}}};
        block.Fill(reinterpret_cast<BYTE*>(caps));
        if (answer == profile::kCapsHuge) caps->dwNeededSize = kHugeRecordBytes;
        return 0;
    });
}

LONG WINAPI lineOpen(HLINEAPP handle, DWORD device, LPHLINE line, DWORD, DWORD, DWORD_PTR,
                     DWORD privileges, DWORD, LPLINECALLPARAMS) {
    return ServeApp(handle, [&](LineApp* app) -> LONG {
        if (device >= app->lines.size()) return LINEERR_BADDEVICEID;
        if (line == nullptr) return LINEERR_INVALPOINTER;
        const DWORD known =
            LINECALLPRIVILEGE_NONE | LINECALLPRIVILEGE_MONITOR | LINECALLPRIVILEGE_OWNER;
        if (privileges == 0 || (privileges & ~known) != 0) return LINEERR_INVALPARAM;
        std::unique_ptr<Line> opened(
            new Line{kLineMark, app, device, IsCellular(app->lines[device])});
        app->open.push_back(opened.get());
        *line = reinterpret_cast<HLINE>(opened.release());
        CountHandles(+1);
        return 0;
    });
}

LONG WINAPI lineClose(HLINE handle) {
    return ServeLine(handle, [&](Line* line) -> LONG {
        std::vector<Line*>& open = line->app->open;
        for (size_t i = 0; i < open.size(); ++i)
            if (open[i] == line) {
                open.erase(open.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
        Forget(line);
        CountHandles(-1);
        return 0;
    });
}

LONG WINAPI lineNegotiateExtVersion(HLINEAPP handle, DWORD device, DWORD, DWORD low, DWORD high,
                                    LPDWORD version) {
    return ServeApp(handle, [&](LineApp* app) -> LONG {
        if (device >= app->lines.size()) return LINEERR_BADDEVICEID;
        if (version == nullptr) return LINEERR_INVALPOINTER;
        if (!IsCellular(app->lines[device])) return LINEERR_OPERATIONUNAVAIL;
        if (low > high || low > kExtVersion || high < kExtVersion)
            return LINEERR_INCOMPATIBLEEXTVERSION;
        *version = kExtVersion;
        return 0;
    });
}

LONG WINAPI lineGetEquipmentState(HLINE handle, LPDWORD state, LPDWORD radioSupport) {
    return ServeRadio(handle, [&]() -> LONG {
        if (state == nullptr || radioSupport == nullptr) return LINEERR_INVALPOINTER;
        *state = profile::NumberOr(profile::kEquipmentState, LINEEQUIPSTATE_FULL);
        *radioSupport = profile::NumberOr(profile::kRadioSupport, LINERADIOSUPPORT_ON);
        return 0;
    });
}

LONG WINAPI lineGetCurrentOperator(HLINE handle, LPLINEOPERATOR op) {
    return ServeRadio(handle, [&]() -> LONG {
        if (op == nullptr) return LINEERR_INVALPOINTER;
        if (RadioOff()) return LINEERR_RESOURCEUNAVAIL;
        const std::wstring longName = Text(profile::kOperatorLong);
        const std::wstring shortName = Text(profile::kOperatorShort);
        const std::wstring numeric = Text(profile::kOperatorNumeric);
        // Only a network that names its operator answers (CDMA networks do not).
        if (longName.empty() && shortName.empty() && numeric.empty())
            return LINEERR_OPERATIONUNAVAIL;
        op->dwValidFields = 0;
        op->dwStatus = LINEOPSTATUS_CURRENT;
        std::memset(op->lpszLongName, 0, sizeof op->lpszLongName);
        std::memset(op->lpszShortName, 0, sizeof op->lpszShortName);
        std::memset(op->lpszNumName, 0, sizeof op->lpszNumName);
        if (!shortName.empty()) {
            CopyName(shortName, op->lpszShortName, MAX_LENGTH_OPERATOR_SHORT);
            op->dwValidFields |= LINEOPFORMAT_ALPHASHORT;
        }
        if (!longName.empty()) {
            CopyName(longName, op->lpszLongName, MAX_LENGTH_OPERATOR_LONG);
            op->dwValidFields |= LINEOPFORMAT_ALPHALONG;
        }
        if (!numeric.empty()) {
            CopyName(numeric, op->lpszNumName, MAX_LENGTH_OPERATOR_NUMERIC);
            op->dwValidFields |= LINEOPFORMAT_NUMERIC;
        }
        return 0;
    });
}

LONG WINAPI lineGetCurrentSystemType(HLINE handle, LPDWORD systemType) {
    return ServeRadio(handle, [&]() -> LONG {
        if (systemType == nullptr) return LINEERR_INVALPOINTER;
        *systemType = RadioOff() ? LINESYSTEMTYPE_NONE
                                 : profile::NumberOr(profile::kSystemType, LINESYSTEMTYPE_NONE);
        return 0;
    });
}

LONG WINAPI lineGetRegisterStatus(HLINE handle, LPDWORD status) {
    return ServeRadio(handle, [&]() -> LONG {
        if (status == nullptr) return LINEERR_INVALPOINTER;
        DWORD staged = 0;
        if (RadioOff() || !profile::ReadNumber(profile::kRegisterStatus, &staged))
            return LINEERR_RESOURCEUNAVAIL;
        *status = staged;
        return 0;
    });
}

LONG WINAPI lineGetGeneralInfo(HLINE handle, LPLINEGENERALINFO info) {
    return ServeRadio(handle, [&]() -> LONG {
        if (info == nullptr) return LINEERR_INVALPOINTER;
        if (info->dwTotalSize < sizeof(LINEGENERALINFO)) return LINEERR_STRUCTURETOOSMALL;
        if (RadioOff()) return LINEERR_RESOURCEUNAVAIL;
        const std::wstring manufacturer = Text(profile::kManufacturer);
        const std::wstring model = Text(profile::kModel);
        const std::wstring revision = Text(profile::kRevision);
        const std::wstring serial = Text(profile::kSerialNumber);
        const std::wstring subscriber = Text(profile::kSubscriberNumber);
        const DWORD total = info->dwTotalSize;
        std::memset(info, 0, sizeof *info);
        info->dwTotalSize = total;
        TextBlock block{sizeof(LINEGENERALINFO),
                        {{&manufacturer, offsetof(LINEGENERALINFO, dwManufacturerSize)},
                         {&model, offsetof(LINEGENERALINFO, dwModelSize)},
                         {&revision, offsetof(LINEGENERALINFO, dwRevisionSize)},
                         {&serial, offsetof(LINEGENERALINFO, dwSerialNumberSize)},
                         {&subscriber, offsetof(LINEGENERALINFO, dwSubscriberNumberSize)}}};
        block.Fill(reinterpret_cast<BYTE*>(info));
        return 0;
    });
}

}  // extern "C"
