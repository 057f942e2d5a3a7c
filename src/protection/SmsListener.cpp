// SMS listener registration and the SMS protocol providers' modules.
#include "kxcommon/HelpAPI.h"
#include "kxcommon/KxConfig.h"
#include "kxcommon/KxRegUtil.h"

#include "../internal/ScopedHandle.h"
#include "../internal/kxplatform.h"
#include "../platform/DeviceRelease.h"
#include "../registry/Settings.h"

namespace {

constexpr wchar_t kListenerModule[] = L"KXSMSLsn2.dll";
constexpr char kRegisterEntry[] = "DllRegisterServer";
constexpr char kUnregisterEntry[] = "DllUnregisterServer";

typedef HRESULT(STDAPICALLTYPE* SelfRegistration)();

// The protocols' key and the longest protocol name ("Notification") fit with room to spare.
constexpr int kProtocolKeyChars = 128;

KXSTATUS CallListener(const char* entry) {
    // Nothing in the library uses the listener afterwards: it is unloaded on the way out.
    const kx::UniqueModule module(::LoadLibraryW(kListenerModule));
    if (!module) return KX_E_SMSLSN_NOT_LOADED;
    const SelfRegistration call = reinterpret_cast<SelfRegistration>(
        reinterpret_cast<void*>(::GetProcAddress(module.Get(), entry)));
    if (call == nullptr) return KX_E_SMSLSN_NO_ENTRY;
    return call() == 0 ? KX_OK : KX_E_SMSLSN_FAILED;
}

KXSTATUS ReadProviderDll(const wchar_t* protocol, wchar_t* path, int length) {
    using namespace kx::settings;
    bool wm5 = false;
    if (!kx::ReadIsWM5(&wm5)) return KX_E_REGISTRY;
    wchar_t key[kProtocolKeyChars];
    HelpAPI::CatPathWithFile(wm5 ? kSmsProtocolsKeyWm5 : kSmsProtocolsKeyEarlier, protocol, key,
                             kProtocolKeyChars);
    const unsigned long capacity = length > 0 ? static_cast<unsigned long>(length) : 0;
    return KxRegUtil().GetValue(key, kSmsProviderDllValue, path, capacity,
                                wm5 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER);
}

}  // namespace

KXSTATUS KxConfig::RegisterSMSListern() { return CallListener(kRegisterEntry); }
KXSTATUS KxConfig::UnregisterSMSListern() { return CallListener(kUnregisterEntry); }

KXSTATUS KxConfig::Get_ProviderDLLPath_WDP(wchar_t* path, int length) {
    return ReadProviderDll(L"WDP", path, length);
}
KXSTATUS KxConfig::Get_ProviderDLLPath_Notify(wchar_t* path, int length) {
    return ReadProviderDll(L"Notification", path, length);
}
KXSTATUS KxConfig::Get_ProviderDLLPath_Text(wchar_t* path, int length) {
    return ReadProviderDll(L"Text", path, length);
}
KXSTATUS KxConfig::Get_ProviderDLLPath_WCMP(wchar_t* path, int length) {
    return ReadProviderDll(L"WCMP", path, length);
}
KXSTATUS KxConfig::Get_ProviderDLLPath_Broadcast(wchar_t* path, int length) {
    return ReadProviderDll(L"Broadcast", path, length);
}
KXSTATUS KxConfig::Get_ProviderDLLPath_Status(wchar_t* path, int length) {
    return ReadProviderDll(L"Status", path, length);
}
KXSTATUS KxConfig::Get_ProviderDLLPath_Raw(wchar_t* path, int length) {
    return ReadProviderDll(L"Raw", path, length);
}
