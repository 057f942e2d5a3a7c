// The management server's settings beyond plain values and its files in the application
// directory: whether management is in effect, the provisioning document left there, the key
// file, and the operator's subscription file.
#include "ServiceFixture.h"

#include <kxcommon/KxXml.h>

#include <array>
#include <functional>
#include <utility>

namespace {

using kxtest::MakeScratchFile;

constexpr wchar_t kAgentKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent";
// The application directory is read once per process, so every test uses the same one.
constexpr wchar_t kAppDir[] = L"\\kxtest";
constexpr wchar_t kDocument[] = L"\\kxtest\\configmgi.xml";
constexpr wchar_t kKeyFile[] = L"\\kxtest\\mgi.key";
constexpr wchar_t kSubscription[] = L"\\kxtest\\subscription.xml";

class MgmtTest : public kxtest::DeviceTest {
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
TEST_F(MgmtTest, ManagementInEffectNeedsTheFlagAndAHost) {
    const struct Row {
        const char* name;
        std::function<void()> change;
        int valid, simple;
    } rows[] = {
        {"nothing stored", [] {}, 0, 0},
        {"flag, empty host", [] { StoreFlag(7), KxConfig::SetMamoHostName(L""); }, 0, 1},
        {"any nonzero flag and a host", [] { KxConfig::SetMamoHostName(L"m.example"); }, 1, 1},
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

const wchar_t kServerDocument[] =
    L"<wap-provisioningdoc><characteristic type=\"Registry\">"
    L"<characteristic type=\"HKLM\\SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent\">"
    L"<parm name=\"HostName\" value=\"mgmt.example.net\" datatype=\"string\"/>"
    L"<parm name=\"HostPort\" value=\"8443\" datatype=\"integer\"/>"
    L"<parm name=\"IsMgiValid\" value=\"1\" datatype=\"integer\"/>"
    L"</characteristic></characteristic></wap-provisioningdoc>";

// An applied document is deleted so that it is not applied again; one that cannot be read or
// applied is kept for a later try and changes nothing.
TEST_F(MgmtTest, RecoveredDocumentIsAppliedOnce) {
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
        {"a port that is no integer", Utf16(badPort), -2, true},  // refused by the platform
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

unsigned char* Bytes(std::string& s) { return reinterpret_cast<unsigned char*>(&s[0]); }

// Reads the key into buffers one byte larger than the capacities given: "fail" or
// "first|second|flag", with a '!' for a byte written past a capacity.
std::string ReadKey(unsigned long c1, unsigned long c2) {
    std::string a(c1 + 1, '#'), b(c2 + 1, '#');
    unsigned char flag = 9;
    const int result = KxConfig::GetRsaKeyEx(Bytes(a), c1, Bytes(b), c2, flag);
    const std::string past(int(a.back() != '#') + int(b.back() != '#'), '!');
    return (result != 1 ? "fail"
                        : a.substr(0, c1) + "|" + b.substr(0, c2) + "|" + std::to_string(flag)) +
           past;
}

TEST_F(MgmtTest, KeyComesBackWholeAndWhatDoesNotFitIsRefused) {
    std::string first(128, 0), second = "\xc8\xcf\xd6";
    for (int i = 0; i < 128; ++i) first[i] = char(1 + i * 7);
    unsigned long l1 = 128, l2 = 3, zero = 0;
    ASSERT_EQ(KxConfig::SetRsaKeyEx(Bytes(first), l1, Bytes(second), l2), 1);
    const std::string good = kxtest::ReadDeviceFile(kKeyFile), whole = first + "|" + second + "|";
    EXPECT_EQ(good, std::string("\x80\0\0\0", 4) + first + std::string("\x03\0\0\0", 4) + second +
                        "\x01");
    const struct Row {
        const char* name;
        std::string file;
        unsigned long c1, c2;
        std::string expected;
    } rows[] = {
        {"whole", good, 128, 3, whole + "1"},
        {"no flag byte", good.substr(0, 139), 128, 3, whole + "0"},
        {"cut in the second component", good.substr(0, 138), 128, 3, "fail"},
        {"cut in the first length", good.substr(0, 2), 128, 3, "fail"},
        {"second larger than its buffer", good, 128, 2, "fail"},
        {"zero first length", std::string(4, '\0') + good.substr(4), 128, 3, "fail"},
        {"a length far beyond the file", "\xff\xff\xff\x7f" + good.substr(4), 4096, 3, "fail"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        kxtest::MakeScratchFile(L"mgi.key", row.file);
        EXPECT_EQ(ReadKey(row.c1, row.c2), row.expected);
    }

    // Bad components leave the existing key file as it was.
    kxtest::MakeScratchFile(L"mgi.key", good);
    EXPECT_EQ(KxConfig::SetRsaKeyEx(Bytes(first), zero, Bytes(second), l2) +
                  KxConfig::SetRsaKeyEx(Bytes(first), l1, nullptr, l2),
              0);
    EXPECT_EQ(kxtest::ReadDeviceFile(kKeyFile), good);
    ::DeleteFileW(kKeyFile);
    EXPECT_EQ(ReadKey(128, 3), "fail") << "no key file";
}

const char kTwoProviders[] =
    "<Subscription version=\"2\"><Operator name=\"Telco\"><ServiceProvider SubscribeNumber=\"1111\""
    " UnsubscribeNumber=\"2222\" SubscribePatternHeader=\"SUB\" "
    "UnsubscribePatternHeader=\"UNSUB\"/>"
    "</Operator><ServiceProvider SubscribeNumber=\"9999\"/></Subscription>";

// The four attributes of every ServiceProvider element below the document element, as read.
std::wstring Providers() {
    KxXmlDocument document;
    document.LoadFile(reinterpret_cast<const unsigned short*>(kSubscription));
    KxXmlElementList list = document.FindElementByTag(
        reinterpret_cast<unsigned short*>(const_cast<wchar_t*>(L"ServiceProvider")));
    std::wstring all;
    for (int i = 0; i < list.GetCount(); ++i)
        for (const wchar_t* name : {L"SubscribeNumber", L"UnsubscribeNumber",
                                    L"SubscribePatternHeader", L"UnsubscribePatternHeader"})
            all +=
                list[i].Attribute(reinterpret_cast<unsigned short*>(const_cast<wchar_t*>(name))) +
                std::wstring(L",");
    return all;
}

// Only the first provider changes; null or empty arguments keep their attribute; a missing file
// is never created and a broken one is left as it was.
TEST_F(MgmtTest, TheFirstProviderTakesTheGivenAttributes) {
    using A = std::array<const wchar_t*, 4>;
    const A k = {L"1", L"2", L"3", L"4"};
    const struct Row {
        const char* file;  // null: none
        A a;
        int expected;
        const wchar_t* providers;
        const char* saved;  // the file as saved (a part of it when changed)
    } rows[] = {
        {kTwoProviders, k, 1, L"1,2,3,4,9999,,,,", "<Operator name=\"Telco\">"},
        {kTwoProviders, {nullptr, L"", nullptr, L"5"}, 1, L"1111,2222,SUB,5,9999,,,,", "=\"2\""},
        {"<a><b><ServiceProvider/></b></a>", {L"&", L"<", L"\"", L"'"}, 1, L"&,<,\",',", "&amp;"},
        {"<ServiceProvider/>", k, 1, L"", "<ServiceProvider/>"},  // the document element
        {nullptr, k, 0, nullptr, "<missing>"},
        {"<a b=c/>", k, 0, nullptr, "<a b=c/>"},  // broken XML is left as it was
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file ? row.file : "no file");
        ::DeleteFileW(kSubscription);
        if (row.file != nullptr) kxtest::MakeScratchFile(L"subscription.xml", row.file);
        EXPECT_EQ(KxConfig::SetSpdXml(row.a[0], row.a[1], row.a[2], row.a[3]), row.expected);
        if (row.expected == 1) EXPECT_EQ(Providers(), row.providers);
        const std::string saved = kxtest::ReadDeviceFile(kSubscription);
        if (row.expected == 0) EXPECT_EQ(saved, row.saved) << "left as it was";
        if (row.expected == 1) EXPECT_NE(saved.find(row.saved), std::string::npos) << saved;
    }
    EXPECT_EQ(KxConfig::SetSpdXmlEx(nullptr, L"1", L"2", L"3", L"4"), 0);
}

}  // namespace
