// SMS listener registration through KXSMSLsn2.dll, and the SMS protocol providers' modules.
#include <kxcommon/KxConfig.h>

#include "DeviceFixture.h"
#include "ListenerRegistration.h"
#include "Profile.h"

#include <cwchar>
#include <string>

namespace {

namespace p = wince::profile;

class SmsListenerTest : public kxtest::DeviceTest {
protected:
    void TearDown() override { PutListenerBack(); }

    // Replaces the listener beside the tests with `stand-in` (null: no module at all); the
    // real one is put back after the test.
    void SwapListener(const wchar_t* standIn) {
        ASSERT_TRUE(::MoveFileExW(listener_.c_str(), aside_.c_str(), MOVEFILE_REPLACE_EXISTING));
        if (standIn != nullptr) {
            ASSERT_TRUE(
                ::CopyFileW(kxtest::SiblingPath(standIn).c_str(), listener_.c_str(), FALSE));
        }
    }

    void PutListenerBack() {
        if (::GetFileAttributesW(aside_.c_str()) == INVALID_FILE_ATTRIBUTES) return;
        ::DeleteFileW(listener_.c_str());
        ASSERT_TRUE(::MoveFileExW(aside_.c_str(), listener_.c_str(), MOVEFILE_REPLACE_EXISTING));
    }

    DWORD ListenerNumber(const wchar_t* name) {
        DWORD type = 0;
        std::string bytes;
        if (!kxtest::RawGetValue(KXSMSLSN_KEY, name, &type, &bytes) || bytes.size() != 4)
            return 0xFFFFFFFF;
        return *reinterpret_cast<const DWORD*>(bytes.data());
    }

    const std::wstring listener_ = kxtest::SiblingPath(L"KXSMSLsn2.dll");
    const std::wstring aside_ = kxtest::SiblingPath(L"KXSMSLsn2.dll.aside");
};

TEST_F(SmsListenerTest, RegisterAndUnregister) {
    EXPECT_EQ(KxConfig::RegisterSMSListern(), 0);
    EXPECT_EQ(ListenerNumber(KXSMSLSN_REGISTERED), 1u);
    EXPECT_EQ(KxConfig::RegisterSMSListern(), 0);
    EXPECT_EQ(ListenerNumber(KXSMSLSN_REGISTRATIONS), 2u);
    EXPECT_EQ(KxConfig::UnregisterSMSListern(), 0);
    EXPECT_EQ(ListenerNumber(KXSMSLSN_REGISTERED), 0u);
    EXPECT_EQ(::GetModuleHandleW(L"KXSMSLsn2.dll"), nullptr) << "the listener is unloaded again";
    EXPECT_FALSE(kxtest::RawKeyExists(kxtest::kProductKey)) << "nothing in the product's tree";
}

TEST_F(SmsListenerTest, FailuresOfTheListener) {
    const DWORD refuse = 1;
    kxtest::RawSetValue(KXSMSLSN_KEY, KXSMSLSN_REFUSE, REG_DWORD, &refuse, sizeof refuse);
    EXPECT_EQ(KxConfig::RegisterSMSListern(), KX_E_SMSLSN_FAILED);
    EXPECT_EQ(KxConfig::UnregisterSMSListern(), KX_E_SMSLSN_FAILED);
    EXPECT_EQ(ListenerNumber(KXSMSLSN_REGISTERED), 0xFFFFFFFFu);

    SwapListener(L"kxtest_noentry.dll");
    EXPECT_EQ(KxConfig::RegisterSMSListern(), KX_E_SMSLSN_NO_ENTRY);
    EXPECT_EQ(KxConfig::UnregisterSMSListern(), KX_E_SMSLSN_NO_ENTRY);
    PutListenerBack();

    SwapListener(nullptr);
    EXPECT_EQ(KxConfig::RegisterSMSListern(), KX_E_SMSLSN_NOT_LOADED);
    EXPECT_EQ(KxConfig::UnregisterSMSListern(), KX_E_SMSLSN_NOT_LOADED);
}

typedef KXSTATUS (*ProviderRead)(wchar_t*, int);
const struct {
    ProviderRead read;
    const wchar_t* protocol;
} kProviders[] = {
    {KxConfig::Get_ProviderDLLPath_WDP, L"WDP"},
    {KxConfig::Get_ProviderDLLPath_Notify, L"Notification"},
    {KxConfig::Get_ProviderDLLPath_Text, L"Text"},
    {KxConfig::Get_ProviderDLLPath_WCMP, L"WCMP"},
    {KxConfig::Get_ProviderDLLPath_Broadcast, L"Broadcast"},
    {KxConfig::Get_ProviderDLLPath_Status, L"Status"},
    {KxConfig::Get_ProviderDLLPath_Raw, L"Raw"},
};

// Puts a distinct module name for every protocol in both locations.
void StageBothLocations() {
    for (const auto& provider : kProviders) {
        const std::wstring wm5 = std::wstring(L"wm5-") + provider.protocol + L".dll";
        const std::wstring earlier = std::wstring(L"early-") + provider.protocol + L".dll";
        kxtest::RawSetValue(
            (std::wstring(L"Comm\\Cellular\\SMS\\Protocols\\") + provider.protocol).c_str(), L"DLL",
            REG_SZ, wm5.c_str(), static_cast<DWORD>((wm5.size() + 1) * 2));
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(
                      HKEY_CURRENT_USER,
                      (std::wstring(L"Software\\Microsoft\\SMS\\Protocols\\") + provider.protocol)
                          .c_str(),
                      0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ::RegSetValueExW(key, L"DLL", 0, REG_SZ, reinterpret_cast<const BYTE*>(earlier.c_str()),
                         static_cast<DWORD>((earlier.size() + 1) * 2));
        ::RegCloseKey(key);
    }
}

TEST_F(SmsListenerTest, ProviderPathsByPlatformRelease) {
    StageBothLocations();
    for (DWORD major : {4u, 5u, 6u}) {
        kxtest::StageProfileNumber(p::kMajorVersion, major);
        for (const auto& provider : kProviders) {
            wchar_t path[64];
            ASSERT_EQ(provider.read(path, 64), 0) << provider.protocol;
            EXPECT_EQ(std::wstring(path),
                      std::wstring(major >= 5 ? L"wm5-" : L"early-") + provider.protocol + L".dll");
        }
    }
}

TEST_F(SmsListenerTest, OneLocationOnlyAndBoundedReads) {
    kxtest::StageHandset(L"wm5-gsm");
    wchar_t path[32];
    ASSERT_EQ(KxConfig::Get_ProviderDLLPath_Text(path, 32), 0);
    EXPECT_STREQ(path, L"sms_providers.dll");
    // A module name that does not fit is refused, the buffer left as it was.
    wchar_t small[8];
    std::wmemcpy(small, L"canary", 7);
    EXPECT_EQ(KxConfig::Get_ProviderDLLPath_Text(small, 8), KX_E_REGISTRY);
    EXPECT_STREQ(small, L"canary");
    EXPECT_EQ(KxConfig::Get_ProviderDLLPath_Text(path, 0), KX_E_REGISTRY);
    EXPECT_EQ(KxConfig::Get_ProviderDLLPath_Text(path, -5), KX_E_REGISTRY);

    // A Windows Mobile 2003 handset keeps its providers elsewhere; no fall-back to these.
    kxtest::StageProfileNumber(p::kMajorVersion, 4);
    EXPECT_EQ(KxConfig::Get_ProviderDLLPath_WDP(path, 32), KX_E_REGISTRY);
}

}  // namespace
