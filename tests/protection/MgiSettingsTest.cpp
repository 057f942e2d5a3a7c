// The management server's settings beyond plain values: whether management is in effect, the
// provisioning document left in the application directory, and the key file.
#include "ServiceFixture.h"

#include <kxcommon/KxConfig.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using kxtest::MakeScratchFile;
using kxtest::RawGetValue;
using kxtest::RawSetValue;

constexpr wchar_t kAgentKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent";
// The application directory is read once per process, so every test uses the same one.
constexpr wchar_t kAppDir[] = L"\\kxtest";
constexpr wchar_t kProvisioning[] = L"\\kxtest\\configmgi.xml";
constexpr wchar_t kKeyFile[] = L"\\kxtest\\mgi.key";

class MgiSettingsTest : public kxtest::DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        RawSetValue(kxtest::kProductKey, L"AppPath", REG_SZ, kAppDir, sizeof kAppDir);
        ::CreateDirectoryW(kAppDir, nullptr);
    }
};

void StoreAgentNumber(const wchar_t* name, DWORD number) {
    RawSetValue(kAgentKey, name, REG_DWORD, &number, sizeof number);
}

std::string Utf16Bytes(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

bool Exists(const wchar_t* path) { return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

TEST_F(MgiSettingsTest, ManagementInEffectNeedsTheFlagAndAHost) {
    EXPECT_EQ(KxConfig::GetMgiValid(), 0);
    EXPECT_EQ(KxConfig::GetMgiValidSimple(), 0) << "a missing IsMgiValid counts as 0";

    StoreAgentNumber(L"IsMgiValid", 1);
    EXPECT_EQ(KxConfig::GetMgiValid(), 0) << "no host name";
    EXPECT_EQ(KxConfig::GetMgiValidSimple(), 1);
    KxConfig::SetMamoHostName(L"");
    EXPECT_EQ(KxConfig::GetMgiValid(), 0) << "an empty host name";
    KxConfig::SetMamoHostName(L"mgmt.example.net");
    KxConfig::SetMamoHostPort(8443);
    EXPECT_EQ(KxConfig::GetMgiValid(), 1);

    StoreAgentNumber(L"IsMgiValid", 7);
    EXPECT_EQ(KxConfig::GetMgiValid(), 1) << "any nonzero flag";
    EXPECT_EQ(KxConfig::GetMgiValidSimple(), 1);

    KxConfig::EmptyMgiParam();
    EXPECT_EQ(KxConfig::GetMgiValid(), 0);
    EXPECT_EQ(KxConfig::GetMgiValidSimple(), 1) << "the flag itself is kept";
    EXPECT_EQ(KxConfig::GetMamoHostPort(), 0);
    wchar_t host[16] = L"#";
    EXPECT_EQ(KxConfig::GetMamoHostName(host, 16), KX_OK);
    EXPECT_STREQ(host, L"");

    StoreAgentNumber(L"IsMgiValid", 0);
    EXPECT_EQ(KxConfig::GetMgiValidSimple(), 0);
}

TEST_F(MgiSettingsTest, ConfigUrl) {
    wchar_t url[32] = L"unchanged";
    EXPECT_EQ(KxConfig::GetConfigURL(url, 32), KX_E_REGISTRY);
    EXPECT_STREQ(url, L"unchanged");
    const wchar_t stored[] = L"http://mgmt.example.net/cfg";
    RawSetValue(kxtest::kProductKey, L"ConfigURL", REG_SZ, stored, sizeof stored);
    EXPECT_EQ(KxConfig::GetConfigURL(url, 32, true), KX_OK);
    EXPECT_STREQ(url, stored);
    EXPECT_EQ(KxConfig::GetConfigURL(url, 8), KX_E_REGISTRY) << "too long for the buffer";
}

const wchar_t kServerDocument[] =
    L"<wap-provisioningdoc>"
    L"<characteristic type=\"Registry\">"
    L"<characteristic type=\"HKLM\\SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent\">"
    L"<parm name=\"HostName\" value=\"mgmt.example.net\" datatype=\"string\"/>"
    L"<parm name=\"HostPort\" value=\"8443\" datatype=\"integer\"/>"
    L"<parm name=\"IsMgiValid\" value=\"1\" datatype=\"integer\"/>"
    L"</characteristic></characteristic></wap-provisioningdoc>";

TEST_F(MgiSettingsTest, RecoveredDocumentSetsTheServerAndIsRemoved) {
    EXPECT_EQ(KxConfig::RecoverMgiConfig(), 0) << "nothing to do";

    MakeScratchFile(L"configmgi.xml", Utf16Bytes(kServerDocument));
    EXPECT_EQ(KxConfig::RecoverMgiConfig(), 0);
    EXPECT_FALSE(Exists(kProvisioning));
    EXPECT_EQ(KxConfig::GetMgiValid(), 1);
    EXPECT_EQ(KxConfig::GetMamoHostPort(), 8443);
    wchar_t host[64];
    ASSERT_EQ(KxConfig::GetMamoHostName(host, 64), KX_OK);
    EXPECT_STREQ(host, L"mgmt.example.net");

    // With a byte-order mark, as editors save UTF-16.
    MakeScratchFile(L"configmgi.xml",
                    Utf16Bytes(std::wstring(1, wchar_t(0xFEFF)) + L"<wap-provisioningdoc/>"));
    EXPECT_EQ(KxConfig::RecoverMgiConfig(), 0);
    EXPECT_FALSE(Exists(kProvisioning));
}

TEST_F(MgiSettingsTest, DocumentsThatCannotBeAppliedAreKept) {
    struct Case {
        const char* what;
        std::string content;
        int expected;
    };
    const std::wstring badValue =
        std::wstring(kServerDocument)
            .replace(std::wstring(kServerDocument).find(L"8443"), 4, L"lots");
    const Case cases[] = {
        {"zero bytes", "", -1},
        {"not XML", Utf16Bytes(L"<wap-provisioningdoc><characteristic"), -2},
        {"a port that is no integer", Utf16Bytes(badValue), -2},
        {"an unknown provider",
         Utf16Bytes(L"<wap-provisioningdoc><characteristic type=\"Wi-Fi\"/></wap-provisioningdoc>"),
         -2},
    };
    for (const Case& c : cases) {
        MakeScratchFile(L"configmgi.xml", c.content);
        EXPECT_EQ(KxConfig::RecoverMgiConfig(), c.expected) << c.what;
        EXPECT_EQ(kxtest::ReadDeviceFile(kProvisioning), c.content)
            << c.what << ": kept for a later try";
        EXPECT_FALSE(kxtest::RawKeyExists(kAgentKey)) << c.what << ": nothing applied";
    }

    // A document another program holds open cannot be read now, and is kept too.
    MakeScratchFile(L"configmgi.xml", Utf16Bytes(kServerDocument));
    HANDLE held = ::CreateFileW(kProvisioning, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(KxConfig::RecoverMgiConfig(), -1);
    ::CloseHandle(held);
    EXPECT_TRUE(Exists(kProvisioning));
    EXPECT_EQ(KxConfig::RecoverMgiConfig(), 0) << "the later try succeeds";
    EXPECT_FALSE(Exists(kProvisioning));
}

std::vector<unsigned char> Pattern(size_t size, unsigned char seed) {
    std::vector<unsigned char> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(seed + i * 7);
    return bytes;
}

TEST_F(MgiSettingsTest, KeyFileRoundTrip) {
    std::vector<unsigned char> first = Pattern(128, 1), second = Pattern(3, 200);
    unsigned long l1 = 128, l2 = 3;
    ASSERT_EQ(KxConfig::SetRsaKeyEx(first.data(), l1, second.data(), l2), 1);
    const std::string file = kxtest::ReadDeviceFile(kKeyFile);
    ASSERT_EQ(file.size(), 140u) << "4 + 128 + 4 + 3 + 1";
    EXPECT_EQ(file.substr(0, 4), std::string("\x80\0\0\0", 4));
    EXPECT_EQ(file.substr(132, 4), std::string("\x03\0\0\0", 4));
    EXPECT_EQ(file.back(), '\x01');

    std::vector<unsigned char> a(129, 0xEE), b(4, 0xEE);
    unsigned long r1 = 128, r2 = 3;
    unsigned char flag = 9;
    ASSERT_EQ(KxConfig::GetRsaKeyEx(a.data(), r1, b.data(), r2, flag), 1);
    EXPECT_EQ(r1, 128u);
    EXPECT_EQ(r2, 3u);
    EXPECT_EQ(flag, 1);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), a.begin()));
    EXPECT_TRUE(std::equal(second.begin(), second.end(), b.begin()));
    EXPECT_EQ(a[128], 0xEE);
    EXPECT_EQ(b[3], 0xEE);
}

TEST_F(MgiSettingsTest, KeyFileCutAtEveryByte) {
    std::vector<unsigned char> first = Pattern(128, 1), second = Pattern(3, 200);
    unsigned long l1 = 128, l2 = 3;
    ASSERT_EQ(KxConfig::SetRsaKeyEx(first.data(), l1, second.data(), l2), 1);
    const std::string whole = kxtest::ReadDeviceFile(kKeyFile);
    for (size_t cut = 0; cut <= whole.size(); ++cut) {
        MakeScratchFile(L"mgi.key", whole.substr(0, cut));
        std::vector<unsigned char> a(129, 0xEE), b(4, 0xEE);
        unsigned long r1 = 128, r2 = 3;
        unsigned char flag = 9;
        const int result = KxConfig::GetRsaKeyEx(a.data(), r1, b.data(), r2, flag);
        // Complete through the second component: 1, with the flag only when its byte is there.
        const int expected = cut >= 139 ? 1 : 0;
        EXPECT_EQ(result, expected) << "cut at " << cut;
        if (result == 1) {
            EXPECT_EQ(flag, cut == 140 ? 1 : 0) << "cut at " << cut;
        }
        EXPECT_EQ(a[128], 0xEE) << "cut at " << cut;
        EXPECT_EQ(b[3], 0xEE) << "cut at " << cut;
    }
}

TEST_F(MgiSettingsTest, KeyFileRefusesWhatDoesNotFit) {
    std::vector<unsigned char> first = Pattern(16, 1), second = Pattern(8, 2);
    unsigned long l1 = 16, l2 = 8;
    ASSERT_EQ(KxConfig::SetRsaKeyEx(first.data(), l1, second.data(), l2), 1);
    const std::string good = kxtest::ReadDeviceFile(kKeyFile);

    // A component larger than the caller's buffer is never read into it.
    std::vector<unsigned char> a(16, 0xEE), b(8, 0xEE);
    unsigned long r1 = 15, r2 = 8;
    unsigned char flag = 9;
    EXPECT_EQ(KxConfig::GetRsaKeyEx(a.data(), r1, b.data(), r2, flag), 0);
    EXPECT_EQ(a[15], 0xEE);
    r1 = 16, r2 = 7;
    EXPECT_EQ(KxConfig::GetRsaKeyEx(a.data(), r1, b.data(), r2, flag), 0);
    EXPECT_EQ(b[7], 0xEE);

    // Zero lengths in the file, and a length far beyond it.
    MakeScratchFile(L"mgi.key", std::string("\0\0\0\0", 4) + good.substr(4));
    r1 = 16, r2 = 8;
    EXPECT_EQ(KxConfig::GetRsaKeyEx(a.data(), r1, b.data(), r2, flag), 0);
    MakeScratchFile(L"mgi.key", std::string("\xff\xff\xff\x7f", 4) + good.substr(4));
    r1 = 0xFFFFFFFF, r2 = 8;
    std::vector<unsigned char> big(4096, 0xEE);
    EXPECT_EQ(KxConfig::GetRsaKeyEx(big.data(), r1, b.data(), r2, flag), 0);

    // Bad components leave the existing key file as it was.
    MakeScratchFile(L"mgi.key", good);
    unsigned long zero = 0;
    EXPECT_EQ(KxConfig::SetRsaKeyEx(first.data(), zero, second.data(), l2), 0);
    EXPECT_EQ(KxConfig::SetRsaKeyEx(first.data(), l1, nullptr, l2), 0);
    EXPECT_EQ(kxtest::ReadDeviceFile(kKeyFile), good);

    ::DeleteFileW(kKeyFile);
    r1 = 16, r2 = 8;
    EXPECT_EQ(KxConfig::GetRsaKeyEx(a.data(), r1, b.data(), r2, flag), 0) << "no key file";
}

}  // namespace
