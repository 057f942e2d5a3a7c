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
        {.module = L"KXSMSLsn2.dll.aside", .refuse = 0, .status = KX_OK,
         .afterRegister = "number 0x1", .afterUnregister = "number 0x0"},
        {.module = L"KXSMSLsn2.dll.aside", .refuse = 1, .status = KX_E_SMSLSN_FAILED,
         .afterRegister = "(missing)", .afterUnregister = "(missing)"},
        {.module = L"kxtest_noentry.dll", .refuse = 0, .status = KX_E_SMSLSN_NO_ENTRY,
         .afterRegister = "(no key)", .afterUnregister = "(no key)"},
        {.module = nullptr, .refuse = 0, .status = KX_E_SMSLSN_NOT_LOADED,
         .afterRegister = "(no key)", .afterUnregister = "(no key)"},
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
// no fall-back to the other; a module name longer than the buffer is refused and leaves it. The
// seven protocols share one reader: WDP and Status stand for them.
TEST_F(SmsListenerTest, ProviderPathsByPlatformRelease) {
    const auto wdpDll = KxConfig::Get_ProviderDLLPath_WDP;
    const auto statusDll = KxConfig::Get_ProviderDLLPath_Status;
    const auto put = [](HKEY root, const wchar_t* key, const wchar_t* dll) {
        ::RegSetKeyValueW(root, key, L"DLL", REG_SZ, dll, (std::wcslen(dll) + 1) * 2);
    };
    put(HKEY_LOCAL_MACHINE, L"Comm\\Cellular\\SMS\\Protocols\\WDP", L"5-WDP");
    put(HKEY_LOCAL_MACHINE, L"Comm\\Cellular\\SMS\\Protocols\\Status", L"5-Status");
    put(HKEY_CURRENT_USER, L"Software\\Microsoft\\SMS\\Protocols\\WDP", L"4-WDP");
    std::wstring got;
    for (int major : {4, 5}) {
        kxtest::StageProfileNumber(wince::profile::kMajorVersion, major);
        wchar_t wdp[16] = L"-", status[16] = L"-", small[5] = L"!";
        const int sum = wdpDll(wdp, 16) + statusDll(status, 16) + wdpDll(small, 5) + wdpDll(wdp, 0);
        got += std::to_wstring(sum / KX_E_REGISTRY) + wdp + status + small + L" ";
    }
    EXPECT_EQ(got, L"34-WDP-! 25-WDP5-Status! ");
}
