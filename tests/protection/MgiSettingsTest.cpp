// The management server's settings beyond plain values: whether management is in effect, the
// configuration URL, and the provisioning document left in the application directory.
#include "ServiceFixture.h"

#include <kxcommon/KxConfig.h>

#include <functional>
#include <string>
#include <utility>

namespace {

using kxtest::MakeScratchFile;

constexpr wchar_t kAgentKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent";
// The application directory is read once per process, so every test uses the same one.
constexpr wchar_t kAppDir[] = L"\\kxtest";
constexpr wchar_t kDocument[] = L"\\kxtest\\configmgi.xml";

class MgiSettingsTest : public kxtest::DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        kxtest::RawSetValue(kxtest::kProductKey, L"AppPath", REG_SZ, kAppDir, sizeof kAppDir);
        ::CreateDirectoryW(kAppDir, nullptr);
    }
};

void StoreFlag(DWORD number) {
    kxtest::RawSetValue(kAgentKey, L"IsMgiValid", REG_DWORD, &number, sizeof number);
}

std::string Utf16(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

// GetMgiValid needs a nonzero flag and a host name; GetMgiValidSimple the flag alone.
TEST_F(MgiSettingsTest, ManagementInEffectNeedsTheFlagAndAHost) {
    const struct Row {
        const char* name;
        std::function<void()> change;
        int valid, simple;
    } rows[] = {
        {"nothing stored", [] {}, 0, 0},
        {"flag, no host", [] { StoreFlag(1); }, 0, 1},
        {"empty host", [] { KxConfig::SetMamoHostName(L""); }, 0, 1},
        {"host", [] { KxConfig::SetMamoHostName(L"mgmt.example.net"); }, 1, 1},
        {"any nonzero flag", [] { StoreFlag(7); }, 1, 1},
        {"emptied: the flag is kept", [] { KxConfig::EmptyMgiParam(); }, 0, 1},
        {"flag 0", [] { StoreFlag(0); }, 0, 0},
    };
    KxConfig::SetMamoHostPort(8443);
    for (const Row& row : rows) {
        row.change();
        EXPECT_EQ(std::make_pair(KxConfig::GetMgiValid(), KxConfig::GetMgiValidSimple()),
                  std::make_pair(row.valid, row.simple))
            << row.name;
    }
    wchar_t host[16] = L"#";
    EXPECT_EQ(KxConfig::GetMamoHostName(host, 16), KX_OK);
    EXPECT_EQ(std::wstring(host) + std::to_wstring(KxConfig::GetMamoHostPort()), L"0")
        << "emptying clears host and port";
}

TEST_F(MgiSettingsTest, ConfigUrl) {
    wchar_t url[32] = L"unchanged";
    EXPECT_EQ(KxConfig::GetConfigURL(url, 32), KX_E_REGISTRY);
    EXPECT_STREQ(url, L"unchanged");
    const wchar_t stored[] = L"http://mgmt.example.net/cfg";
    kxtest::RawSetValue(kxtest::kProductKey, L"ConfigURL", REG_SZ, stored, sizeof stored);
    EXPECT_EQ(KxConfig::GetConfigURL(url, 32, true), KX_OK);
    EXPECT_STREQ(url, stored);
    EXPECT_EQ(KxConfig::GetConfigURL(url, 8), KX_E_REGISTRY) << "too long for the buffer";
}

const wchar_t kServerDocument[] =
    L"<wap-provisioningdoc><characteristic type=\"Registry\">"
    L"<characteristic type=\"HKLM\\SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent\">"
    L"<parm name=\"HostName\" value=\"mgmt.example.net\" datatype=\"string\"/>"
    L"<parm name=\"HostPort\" value=\"8443\" datatype=\"integer\"/>"
    L"<parm name=\"IsMgiValid\" value=\"1\" datatype=\"integer\"/>"
    L"</characteristic></characteristic></wap-provisioningdoc>";

// An applied document is deleted so that it is not applied again; one that cannot be read or
// applied is kept for a later try and changes nothing.
TEST_F(MgiSettingsTest, RecoveredDocumentIsAppliedOnce) {
    std::wstring badPort = kServerDocument;
    badPort.replace(badPort.find(L"8443"), 4, L"lots");
    const struct Row {
        const char* name;
        std::string content;  // "": no document
        int expected;
        bool kept;
    } rows[] = {
        {"no document", "", 0, false},
        {"zero bytes", "", -1, true},
        {"not XML", Utf16(L"<wap-provisioningdoc><characteristic"), -2, true},
        {"a port that is no integer", Utf16(badPort), -2, true},
        {"an unknown provider",
         Utf16(L"<wap-provisioningdoc><characteristic type=\"Wi-Fi\"/></wap-provisioningdoc>"), -2,
         true},
        {"with a byte-order mark", Utf16(std::wstring(1, 0xFEFF) + L"<wap-provisioningdoc/>"), 0,
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ::DeleteFileW(kDocument);
        if (row.expected != 0 || !row.content.empty())
            MakeScratchFile(L"configmgi.xml", row.content);
        EXPECT_EQ(KxConfig::RecoverMgiConfig(), row.expected);
        EXPECT_EQ(kxtest::ReadDeviceFile(kDocument), row.kept ? row.content : "<missing>");
        EXPECT_FALSE(kxtest::RawKeyExists(kAgentKey)) << "nothing applied";
    }

    MakeScratchFile(L"configmgi.xml", Utf16(kServerDocument));
    HANDLE held = ::CreateFileW(kDocument, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(KxConfig::RecoverMgiConfig(), -1) << "held open by another program: kept";
    ::CloseHandle(held);
    EXPECT_EQ(KxConfig::RecoverMgiConfig(), 0) << "the later try succeeds";
    EXPECT_EQ(kxtest::ReadDeviceFile(kDocument), "<missing>");
    wchar_t host[64] = L"";
    KxConfig::GetMamoHostName(host, 64);
    EXPECT_EQ(std::to_wstring(KxConfig::GetMgiValid()) + host +
                  std::to_wstring(KxConfig::GetMamoHostPort()),
              L"1mgmt.example.net8443");
}

}  // namespace
