// CeRunAppAtEvent over a registry key of the platform layer's own: one value per registration,
// named "<event> <program>", so registrations persist as the device's notification database
// keeps them.
#include "wince/wince.h"

#include "OutOfMemory.h"
#include "internal/RegistryValue.h"
#include "internal/NameCompare.h"

#include <string>
#include <vector>

namespace {

constexpr wchar_t kRegistrationsKey[] = L"SOFTWARE\\WinCE Platform\\Notifications";
constexpr DWORD kNameChars = 1024;

std::wstring ValueName(LONG event, const wchar_t* app) {
    return std::to_wstring(event) + L" " + app;
}

// The program named by a registration value, or empty for a value of another form.
std::wstring ProgramOf(const std::wstring& valueName) {
    const size_t space = valueName.find(L' ');
    return space == std::wstring::npos ? std::wstring() : valueName.substr(space + 1);
}

}  // namespace

extern "C" BOOL CeRunAppAtEvent(WCHAR* pwszAppName, LONG lWhichEvent) {
    if (pwszAppName == nullptr || pwszAppName[0] == L'\0' || lWhichEvent < 0) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return wince::OrOutOfMemory(FALSE, [&]() -> BOOL {
        if (lWhichEvent != NOTIFICATION_EVENT_NONE) {
            const std::wstring name = ValueName(lWhichEvent, pwszAppName);
            return kx::CreateKeyAndSetText(HKEY_LOCAL_MACHINE, kRegistrationsKey, name.c_str(),
                                           pwszAppName) == ERROR_SUCCESS;
        }
        kx::UniqueKey key;
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRegistrationsKey, 0, nullptr, 0,
                              KEY_READ | KEY_WRITE, nullptr, key.Receive(),
                              nullptr) != ERROR_SUCCESS)
            return FALSE;
        // Event 0 removes every registration of the program; collect first, then delete, so
        // the walk's indexes stay valid.
        std::vector<std::wstring> doomed;
        wchar_t name[kNameChars];
        for (DWORD index = 0;; ++index) {
            DWORD chars = kNameChars;
            if (::RegEnumValueW(key.Get(), index, name, &chars, nullptr, nullptr, nullptr,
                                nullptr) != ERROR_SUCCESS)
                break;
            if (kx::SameIgnoringCase(ProgramOf(name).c_str(), pwszAppName)) doomed.push_back(name);
        }
        for (const std::wstring& value : doomed) ::RegDeleteValueW(key.Get(), value.c_str());
        return TRUE;
    });
}
