// The handset's identity over desktop Windows: version, platform type, device identifier and
// network adapters, each answered from the device profile and otherwise by the desktop.
#include "wince/wince.h"

#include "OutOfMemory.h"
#include "Profile.h"

#include <iphlpapi.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace wince;

static_assert(sizeof(DEVICE_ID) == 20, "DEVICE_ID is the 20-byte header of the identifier");
static_assert(sizeof(OSVERSIONINFOW) == 276, "the device's version record is 276 bytes");

// Narrows a name into a fixed char field of the adapter record, cut and terminated.
void PutAnsi(const std::wstring& text, char* field, size_t size) {
    std::memset(field, 0, size);
    const int bytes = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()),
                                            field, static_cast<int>(size - 1), nullptr, nullptr);
    if (bytes <= 0) field[0] = '\0';
}

}  // namespace

extern "C" {

BOOL WINAPI DeviceGetVersionExW(LPOSVERSIONINFOW info) {
    return wince::OrOutOfMemory(FALSE, [&]() -> BOOL {
        if (info == nullptr) {
            ::SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
        if (!::GetVersionExW(info)) return FALSE;
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
        info->dwMajorVersion = profile::NumberOr(profile::kMajorVersion, info->dwMajorVersion);
        info->dwMinorVersion = profile::NumberOr(profile::kMinorVersion, info->dwMinorVersion);
        info->dwBuildNumber = profile::NumberOr(profile::kBuildNumber, info->dwBuildNumber);
        info->dwPlatformId = profile::NumberOr(profile::kPlatformId, info->dwPlatformId);
        std::wstring csd;
        if (profile::ReadText(profile::kCsdVersion, &csd)) {
            const size_t room = sizeof info->szCSDVersion / sizeof info->szCSDVersion[0];
            const size_t chars = csd.size() < room ? csd.size() : room - 1;
            std::wmemcpy(info->szCSDVersion, csd.c_str(), chars);
            info->szCSDVersion[chars] = L'\0';
        }
        return TRUE;
    });
}

BOOL WINAPI DeviceSystemParametersInfoW(UINT action, UINT param, PVOID out, UINT winIni) {
    return wince::OrOutOfMemory(FALSE, [&]() -> BOOL {
        if (action != SPI_GETPLATFORMTYPE)
            return ::SystemParametersInfoW(action, param, out, winIni);
        DWORD refusal = 0;
        if (profile::ReadNumber(profile::kPlatformTypeError, &refusal) && refusal != 0) {
            ::SetLastError(refusal);
            return FALSE;
        }
        std::wstring type;
        if (!profile::ReadText(profile::kPlatformType, &type))
            return ::SystemParametersInfoW(action, param, out, winIni);
        if (out == nullptr) {
            ::SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        if (param < type.size() + 1) {
            ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        std::wmemcpy(static_cast<wchar_t*>(out), type.c_str(), type.size() + 1);
        return TRUE;
    });
}

BOOL WINAPI KernelIoControl(DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                            LPDWORD returned) {
    return wince::OrOutOfMemory(FALSE, [&]() -> BOOL {
        (void)in;
        (void)inSize;
        std::vector<BYTE> preset, platform;
        const bool hasPreset = profile::ReadBytes(profile::kPresetId, &preset);
        const bool hasPlatform = profile::ReadBytes(profile::kPlatformIdBytes, &platform);
        if (code != IOCTL_HAL_GET_DEVICEID || (!hasPreset && !hasPlatform)) {
            ::SetLastError(ERROR_NOT_SUPPORTED);
            return FALSE;
        }
        if (out == nullptr || outSize < sizeof(DEVICE_ID)) {
            ::SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        DEVICE_ID* id = static_cast<DEVICE_ID*>(out);
        const DWORD needed =
            static_cast<DWORD>(sizeof(DEVICE_ID) + preset.size() + platform.size());
        if (id->dwSize < needed || outSize < needed) {
            id->dwSize = needed;
            ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        BYTE* bytes = static_cast<BYTE*>(out);
        id->dwSize = needed;
        id->dwPresetIDOffset = sizeof(DEVICE_ID);
        id->dwPresetIDBytes = static_cast<DWORD>(preset.size());
        id->dwPlatformIDOffset = static_cast<DWORD>(sizeof(DEVICE_ID) + preset.size());
        id->dwPlatformIDBytes = static_cast<DWORD>(platform.size());
        if (!preset.empty())
            std::memcpy(bytes + id->dwPresetIDOffset, preset.data(), preset.size());
        if (!platform.empty())
            std::memcpy(bytes + id->dwPlatformIDOffset, platform.data(), platform.size());
        if (returned != nullptr) *returned = needed;
        ::SetLastError(ERROR_SUCCESS);
        return TRUE;
    });
}

DWORD WINAPI DeviceGetAdaptersInfo(struct _IP_ADAPTER_INFO* list, PULONG size) {
    return wince::OrOutOfMemory(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), [&]() -> DWORD {
        if (size == nullptr) return ERROR_INVALID_PARAMETER;
        DWORD error = 0;
        if (profile::ReadNumber(profile::kAdapterListError, &error) && error != ERROR_SUCCESS)
            return error;
        std::vector<std::wstring> names;
        if (!profile::ReadList(profile::kAdapters, &names)) return ::GetAdaptersInfo(list, size);
        if (names.empty()) return ERROR_NO_DATA;
        const ULONG needed = static_cast<ULONG>(names.size() * sizeof(IP_ADAPTER_INFO));
        if (list == nullptr || *size < needed) {
            *size = needed;
            return ERROR_BUFFER_OVERFLOW;
        }
        std::memset(list, 0, needed);
        for (size_t i = 0; i < names.size(); ++i) {
            IP_ADAPTER_INFO& a = list[i];
            a.Next = i + 1 < names.size() ? &list[i + 1] : nullptr;
            a.ComboIndex = a.Index = static_cast<DWORD>(i + 1);
            PutAnsi(names[i], a.AdapterName, sizeof a.AdapterName);
            PutAnsi(names[i], a.Description, sizeof a.Description);
            a.Type = MIB_IF_TYPE_PPP;
        }
        return ERROR_SUCCESS;
    });
}

}  // extern "C"
