// SMS listener registration through KXSMSLsn2.dll, and the SMS protocol providers' modules.
#include <kxcommon/KxConfig.h>

#include "DeviceFixture.h"
#include "ListenerRegistration.h"
#include "Profile.h"

#include <string>

namespace {

namespace p = wince::profile;

class SmsListenerTest : public kxtest::DeviceTest {
protected:
    void TearDown() override { PutBack(); }
    void PutBack() {
        if (::GetFileAttributesW(aside_.c_str()) == INVALID_FILE_ATTRIBUTES) return;
        ::DeleteFileW(listener_.c_str());
        ASSERT_TRUE(::MoveFileExW(aside_.c_str(), listener_.c_str(), MOVEFILE_REPLACE_EXISTING));
    }
    const std::wstring listener_ = kxtest::SiblingPath(L"KXSMSLsn2.dll");
    const std::wstring aside_ = kxtest::SiblingPath(L"KXSMSLsn2.dll.aside");
};

// Each call reaches the listener's own entry point, which is unloaded again after it ran.
TEST_F(SmsListenerTest, RegistrationReachesTheListenersEntryPoints) {
    const struct Row {
        const wchar_t* module;  // put in the listener's place; null: none
        DWORD refuse;           // the listener's switch to refuse
        int status;             // of both calls
        std::string states;     // the listener's registration after each call ("": none)
    } rows[] = {
        {L"KXSMSLsn2.dll", 0, KX_OK, std::string("\1\0\0\0\0\0\0\0", 8)},
        {L"KXSMSLsn2.dll", 1, KX_E_SMSLSN_FAILED, ""},
        {L"kxtest_noentry.dll", 0, KX_E_SMSLSN_NO_ENTRY, ""},
        {nullptr, 0, KX_E_SMSLSN_NOT_LOADED, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.module));
        kxtest::ResetDevice();
        const bool swap = row.module == nullptr || row.module[0] != L'K';
        if (swap) ASSERT_TRUE(::MoveFileExW(listener_.c_str(), aside_.c_str(), 1));
        if (swap && row.module)
            ::CopyFileW(kxtest::SiblingPath(row.module).c_str(), listener_.c_str(), 0);
        if (row.refuse)
            kxtest::RawSetValue(KXSMSLSN_KEY, KXSMSLSN_REFUSE, REG_DWORD, &row.refuse, 4);
        std::string states, state;
        DWORD type = 0;
        EXPECT_EQ(KxConfig::RegisterSMSListern(), row.status);
        if (kxtest::RawGetValue(KXSMSLSN_KEY, KXSMSLSN_REGISTERED, &type, &state)) states += state;
        EXPECT_EQ(KxConfig::UnregisterSMSListern(), row.status);
        if (kxtest::RawGetValue(KXSMSLSN_KEY, KXSMSLSN_REGISTERED, &type, &state)) states += state;
        EXPECT_EQ(states, row.states);
        EXPECT_EQ(::GetModuleHandleW(L"KXSMSLsn2.dll"), nullptr) << "unloaded again";
        EXPECT_FALSE(kxtest::RawKeyExists(kxtest::kProductKey)) << "nothing in the product's tree";
        PutBack();
    }
}

// Release 5 and later keep the providers under HKLM\Comm\Cellular, earlier ones under HKCU;
// a module name longer than the buffer is refused and leaves it.
TEST_F(SmsListenerTest, ProviderPathsByPlatformRelease) {
    using K = KxConfig;
    const struct {
        KXSTATUS (*read)(wchar_t*, int);
        std::wstring protocol;
    } rows[] = {
        // The seven protocols share one reader; two stand for them.
        {K::Get_ProviderDLLPath_WDP, L"WDP"},
        {K::Get_ProviderDLLPath_Status, L"Status"},
    };
    const auto put = [](HKEY root, const std::wstring& key, const std::wstring& dll) {
        ::RegSetKeyValueW(root, key.c_str(), L"DLL", REG_SZ, dll.c_str(), (dll.size() + 1) * 2);
    };
    for (const auto& row : rows) {
        put(HKEY_LOCAL_MACHINE, L"Comm\\Cellular\\SMS\\Protocols\\" + row.protocol,
            L"5-" + row.protocol);
        put(HKEY_CURRENT_USER, L"Software\\Microsoft\\SMS\\Protocols\\" + row.protocol,
            L"4-" + row.protocol);
    }
    for (int major : {4, 5}) {
        kxtest::StageProfileNumber(p::kMajorVersion, major);
        for (const auto& row : rows) {
            wchar_t path[16] = L"", small[5] = L"!";
            EXPECT_EQ(row.read(path, 16) + row.read(small, 5), KX_E_REGISTRY) << "one refused";
            EXPECT_EQ(std::wstring(path) + small,
                      (major >= 5 ? L"5-" : L"4-") + row.protocol + L"!");
        }
    }
    // Release 4 keeps its providers elsewhere: no fall-back to the other location.
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Microsoft\\SMS");
    kxtest::StageProfileNumber(p::kMajorVersion, 4);
    wchar_t path[16];
    EXPECT_EQ(K::Get_ProviderDLLPath_WDP(path, 16), KX_E_REGISTRY);
    EXPECT_EQ(K::Get_ProviderDLLPath_Text(path, 0) + K::Get_ProviderDLLPath_Text(path, -5),
              2 * KX_E_REGISTRY);
}

}  // namespace
