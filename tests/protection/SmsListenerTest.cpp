// SMS listener registration through KXSMSLsn2.dll, and the SMS protocol providers' modules.

#include "ListenerRegistration.h"
#include "Profile.h"
#include "RegistryRows.h"

class SmsListenerTest : public kxtest::DeviceTest {
protected:
    void TearDown() override { PutBack(); }
    void PutBack() { ::MoveFileExW(aside_.c_str(), listener_.c_str(), MOVEFILE_REPLACE_EXISTING); }
    const std::wstring listener_ = kxtest::SiblingPath(L"KXSMSLsn2.dll");
    const std::wstring aside_ = kxtest::SiblingPath(L"KXSMSLsn2.dll.aside");
};

// Each call reaches the listener's own entry point, and the listener is unloaded again after it
// ran; nothing is written to the product's tree.
struct RegistrationRow {
    const wchar_t* module;  // put in the listener's place (the listener is put aside); null: none
    DWORD refuse;           // the listener's switch to refuse
    KXSTATUS status;        // of both calls
    std::string afterRegister, afterUnregister;  // the listener's record of its registration
};
TEST_F(SmsListenerTest, RegistrationReachesTheListenersEntryPoints) {
    // clang-format off
    const RegistrationRow rows[] = {
        {.module = L"KXSMSLsn2.dll.aside", .refuse = 0, .status = KX_OK, .afterRegister = "number 0x1",
         .afterUnregister = "number 0x0"},
        {.module = L"KXSMSLsn2.dll.aside", .refuse = 1, .status = KX_E_SMSLSN_FAILED, .afterRegister = "(missing)",
         .afterUnregister = "(missing)"},
        {.module = L"kxtest_noentry.dll", .refuse = 0, .status = KX_E_SMSLSN_NO_ENTRY, .afterRegister = "(no key)",
         .afterUnregister = "(no key)"},
        {.module = nullptr, .refuse = 0, .status = KX_E_SMSLSN_NOT_LOADED, .afterRegister = "(no key)",
         .afterUnregister = "(no key)"},
    };
    // clang-format on
    for (const RegistrationRow& row : rows) {
        kxtest::ResetDevice();
        ASSERT_TRUE(::MoveFileExW(listener_.c_str(), aside_.c_str(), 1));
        if (row.module) ::CopyFileW(kxtest::SiblingPath(row.module).c_str(), listener_.c_str(), 0);
        if (row.refuse)
            kxtest::RawSetValue(KXSMSLSN_KEY, KXSMSLSN_REFUSE, REG_DWORD, &row.refuse, 4);
        const KXSTATUS registered = KxConfig::RegisterSMSListern();
        const std::string afterRegister = kxtest::Stored(KXSMSLSN_KEY, KXSMSLSN_REGISTERED);
        const KXSTATUS unregistered = KxConfig::UnregisterSMSListern();
        const std::string afterUnregister = kxtest::Stored(KXSMSLSN_KEY, KXSMSLSN_REGISTERED);
        const bool loaded = ::GetModuleHandleW(L"KXSMSLsn2.dll") != nullptr;
        const bool wrote = kxtest::RawKeyExists(kxtest::kProductKey);
        EXPECT_TRUE(registered == row.status && unregistered == row.status &&
                    afterRegister == row.afterRegister && afterUnregister == row.afterUnregister &&
                    !loaded && !wrote)
            << "with " << (row.module ? kxtest::Narrow(row.module) : "no module")
            << " as the listener" << (row.refuse ? ", refusing" : "") << ": Register answered 0x"
            << std::hex << registered << " leaving " << afterRegister << ", Unregister 0x"
            << unregistered << " leaving " << afterUnregister << (loaded ? ", still loaded" : "")
            << (wrote ? ", the product's tree written" : "") << "; expected 0x" << row.status
            << " leaving " << row.afterRegister << ", then " << row.afterUnregister;
        PutBack();
    }
}
// Release 5 and later keep the providers under HKLM\Comm\Cellular, earlier ones under HKCU, with
// no fall-back to the other; a buffer without room is refused and left as it was (a name longer
// than the buffer is the registry layer's refusal). The seven protocols share one reader: WDP and
// Status stand for them.
struct ProviderRow {
    DWORD major;  // the platform release
    KXSTATUS (*get)(wchar_t*, int);
    int capacity;
    KXSTATUS status;
    std::wstring path;  // "untouched": the buffer left as it was
};
TEST_F(SmsListenerTest, ProviderPathsByPlatformRelease) {
    const auto put = [](HKEY root, const wchar_t* key, const wchar_t* dll) {
        ::RegSetKeyValueW(root, key, L"DLL", REG_SZ, dll, (std::wcslen(dll) + 1) * 2);
    };
    put(HKEY_LOCAL_MACHINE, L"Comm\\Cellular\\SMS\\Protocols\\WDP", L"5-WDP");
    put(HKEY_LOCAL_MACHINE, L"Comm\\Cellular\\SMS\\Protocols\\Status", L"5-Status");
    put(HKEY_CURRENT_USER, L"Software\\Microsoft\\SMS\\Protocols\\WDP", L"4-WDP");
    const auto wdp = KxConfig::Get_ProviderDLLPath_WDP,
               status = KxConfig::Get_ProviderDLLPath_Status;
    // clang-format off
    const ProviderRow rows[] = {
        {.major = 4, .get = wdp, .capacity = 16, .status = KX_OK, .path = L"4-WDP"},
        {.major = 4, .get = status, .capacity = 16, .status = KX_E_REGISTRY, .path = L"untouched"},
        {.major = 5, .get = wdp, .capacity = 16, .status = KX_OK, .path = L"5-WDP"},
        {.major = 5, .get = status, .capacity = 16, .status = KX_OK, .path = L"5-Status"},
        {.major = 5, .get = wdp, .capacity = 0, .status = KX_E_REGISTRY, .path = L"untouched"},
    };
    // clang-format on
    for (const ProviderRow& row : rows) {
        kxtest::StageProfileNumber(wince::profile::kMajorVersion, row.major);
        wchar_t path[16] = L"untouched";
        const KXSTATUS got = row.get(path, row.capacity);
        EXPECT_TRUE(got == row.status && path == row.path)
            << "on release " << row.major << ", the " << (row.get == wdp ? "WDP" : "Status")
            << " provider's path into " << row.capacity << " characters answered 0x" << std::hex
            << got << " with \"" << kxtest::Narrow(path) << "\"; expected 0x" << row.status
            << " with \"" << kxtest::Narrow(row.path) << "\"";
    }
}
