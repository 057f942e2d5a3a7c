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

// Each call reaches the listener's own entry point, which is unloaded again after it ran.
TEST_F(SmsListenerTest, RegistrationReachesTheListenersEntryPoints) {
    const struct Row {
        // module: put in the listener's place (the listener is put aside), null: none; refuse: the
        // listener's switch to refuse; status: of both calls; registered: the listener's record
        // after each call, then whether the listener is still loaded (it is unloaded again) and
        // whether the product's tree exists (nothing is written there)
        const wchar_t* module;
        DWORD refuse;
        KXSTATUS status;
        const char* registered;
    } rows[] = {
        {L"KXSMSLsn2.dll.aside", 0, KX_OK, "dw:1 dw:0 00"},
        {L"KXSMSLsn2.dll.aside", 1, KX_E_SMSLSN_FAILED, "none none 00"},
        {L"kxtest_noentry.dll", 0, KX_E_SMSLSN_NO_ENTRY, "no key no key 00"},
        {nullptr, 0, KX_E_SMSLSN_NOT_LOADED, "no key no key 00"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.module));
        kxtest::ResetDevice();
        ASSERT_TRUE(::MoveFileExW(listener_.c_str(), aside_.c_str(), 1));
        if (row.module) ::CopyFileW(kxtest::SiblingPath(row.module).c_str(), listener_.c_str(), 0);
        if (row.refuse)
            kxtest::RawSetValue(KXSMSLSN_KEY, KXSMSLSN_REFUSE, REG_DWORD, &row.refuse, 4);
        std::string registered;
        for (KXSTATUS (*call)() : {KxConfig::RegisterSMSListern, KxConfig::UnregisterSMSListern}) {
            EXPECT_EQ(call(), row.status);
            registered += kxtest::Stored(KXSMSLSN_KEY, KXSMSLSN_REGISTERED) + " ";
        }
        registered += "01"[::GetModuleHandleW(L"KXSMSLsn2.dll") != nullptr];
        EXPECT_EQ(registered + "01"[kxtest::RawKeyExists(kxtest::kProductKey)], row.registered);
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
