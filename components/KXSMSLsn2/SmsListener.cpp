// KXSMSLsn2.dll: the SMS listener. Registration records, in the listener's own key, that it is
// attached to the SMS stack and from which module; unregistration records that it is not.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <olectl.h>

#include "ListenerRegistration.h"
#include "internal/ScopedHandle.h"

namespace {

HMODULE gModule = nullptr;

class ListenerKey {
public:
    ListenerKey() {
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, KXSMSLSN_KEY, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                              nullptr, key_.Receive(), nullptr) != ERROR_SUCCESS)
            key_.Reset();
    }

    bool Open() const { return key_.IsValid(); }

    DWORD Number(const wchar_t* name) const {
        DWORD value = 0, size = sizeof value, type = 0;
        if (::RegQueryValueExW(key_.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                               &size) != ERROR_SUCCESS ||
            type != REG_DWORD)
            return 0;
        return value;
    }
    bool SetNumber(const wchar_t* name, DWORD value) {
        return ::RegSetValueExW(key_.Get(), name, 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&value),
                                sizeof value) == ERROR_SUCCESS;
    }
    bool SetText(const wchar_t* name, const wchar_t* text) {
        return ::RegSetValueExW(key_.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                static_cast<DWORD>((::lstrlenW(text) + 1) * sizeof(wchar_t))) ==
               ERROR_SUCCESS;
    }

private:
    kx::UniqueKey key_;
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        gModule = instance;
        ::DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer() {
    ListenerKey key;
    if (!key.Open()) return SELFREG_E_CLASS;
    if (key.Number(KXSMSLSN_REFUSE) != 0) return SELFREG_E_CLASS;
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(gModule, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return SELFREG_E_CLASS;
    if (!key.SetText(KXSMSLSN_MODULE, path) || !key.SetNumber(KXSMSLSN_REGISTERED, 1) ||
        !key.SetNumber(KXSMSLSN_REGISTRATIONS, key.Number(KXSMSLSN_REGISTRATIONS) + 1))
        return SELFREG_E_CLASS;
    return S_OK;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer() {
    ListenerKey key;
    if (!key.Open()) return SELFREG_E_CLASS;
    if (key.Number(KXSMSLSN_REFUSE) != 0) return SELFREG_E_CLASS;
    return key.SetNumber(KXSMSLSN_REGISTERED, 0) ? S_OK : SELFREG_E_CLASS;
}
