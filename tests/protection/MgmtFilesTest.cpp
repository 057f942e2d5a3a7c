// The management server's settings beyond plain values and its files in the application
// directory: whether management is in effect, the provisioning document left there, the key
// file, and the operator's subscription file.
#include "RegistryRows.h"
#include "ServiceFixture.h"

namespace {

using kxtest::UnterminatedTextBytes;

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

void StoreFlag(DWORD n) { kxtest::RawSetValue(kAgentKey, L"IsMgiValid", REG_DWORD, &n, 4); }

// GetMgiValid needs a nonzero flag and a host name; GetMgiValidSimple the flag alone.
TEST_F(MgmtTest, ManagementInEffectNeedsTheFlagAndAHost) {
    const struct Row {
        const char* name;
        std::function<void()> change;
        const wchar_t* settings;  // what is read back: "GetMgiValid/GetMgiValidSimple host:port"
    } rows[] = {
        {"nothing stored", [] {}, L"0/0 #:8443"},
        {"flag, empty host", [] { StoreFlag(7), KxConfig::SetMamoHostName(L""); }, L"0/1 :8443"},
        {"flag 7, a host", [] { KxConfig::SetMamoHostName(L"m.example"); }, L"1/1 m.example:8443"},
        {"emptied: flag kept", [] { KxConfig::EmptyMgiParam(); }, L"0/1 :0"},
        {"flag 0", [] { StoreFlag(0); }, L"0/0 :0"},
    };
    KxConfig::SetMamoHostPort(8443);
    for (const Row& row : rows) {
        row.change();
        wchar_t host[32] = L"#", got[64];
        KxConfig::GetMamoHostName(host, 32);
        std::swprintf(got, 64, L"%d/%d %ls:%u", KxConfig::GetMgiValid(),
                      KxConfig::GetMgiValidSimple(), host, KxConfig::GetMamoHostPort());
        EXPECT_STREQ(got, row.settings) << row.name;
    }
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
struct RecoveryRow {
    const char* name;
    std::string content;  // "-": no document
    bool held;            // open in another program meanwhile
    int status;
    std::string document;  // afterwards
    std::string agentKey;  // the management server's key afterwards
};
TEST_F(MgmtTest, RecoveredDocumentIsAppliedOnce) {
    std::wstring badPort = kServerDocument;
    badPort.replace(badPort.find(L"8443"), 4, L"lots");
    const std::string server = UnterminatedTextBytes(kServerDocument);
    const std::string unapplied = UnterminatedTextBytes(badPort);
    const std::string applied =
        "HostName = text \"mgmt.example.net\"\nHostPort = number 0x20fb\nIsMgiValid = number 0x1\n";
    // clang-format off
    const RecoveryRow rows[] = {
        {.name = "no document", .content = "-", .held = false, .status = 0,
         .document = "<missing>", .agentKey = "(no key)\n"},
        {.name = "zero bytes", .content = "", .held = false, .status = -1, .document = "",
         .agentKey = "(no key)\n"},
        {.name = "a port that is no integer", .content = unapplied, .held = false, .status = -2,
         .document = unapplied, .agentKey = "(no key)\n"},
        {.name = "byte-order mark", .content = UnterminatedTextBytes(L"\xFEFF<wap-provisioningdoc/>"),
         .held = false, .status = 0, .document = "<missing>", .agentKey = "(no key)\n"},
        {.name = "held open by another program", .content = server, .held = true, .status = -1,
         .document = server, .agentKey = "(no key)\n"},
        {.name = "applied", .content = server, .held = false, .status = 0,
         .document = "<missing>", .agentKey = applied},
    };
    // clang-format on
    for (const RecoveryRow& row : rows) {
        ::DeleteFileW(kDocument);
        if (row.content != "-") kxtest::MakeScratchFile(L"configmgi.xml", row.content);
        HANDLE held =
            row.held ? ::CreateFileW(kDocument, GENERIC_READ, 0, 0, OPEN_EXISTING, 0, 0) : nullptr;
        const int status = KxConfig::RecoverMgiConfig();
        if (held != nullptr) ::CloseHandle(held);
        const std::string document = kxtest::ReadDeviceFile(kDocument);
        const std::string agentKey = kxtest::Dump(kAgentKey);
        EXPECT_TRUE(status == row.status && document == row.document && agentKey == row.agentKey)
            << "RecoverMgiConfig, " << row.name << ": answered " << status << ", the document "
            << (document == row.content   ? "kept"
                : document == "<missing>" ? "deleted"
                                          : "changed")
            << ", the agent's key\n"
            << agentKey << "expected " << row.status << ", the document "
            << (row.document == "<missing>" ? "deleted" : "kept") << ", and\n"
            << row.agentKey;
    }
}

unsigned char* Bytes(std::string& s) { return reinterpret_cast<unsigned char*>(&s[0]); }

// Reads the key into buffers one byte larger than the capacities given: "fail" or
// "first|second|flag", with a '!' for a byte written past a capacity.
std::string ReadKey(unsigned long c1, unsigned long c2) {
    std::string a(c1 + 1, '#'), b(c2 + 1, '#');
    unsigned char flag = 9;
    const bool read = KxConfig::GetRsaKeyEx(Bytes(a), c1, Bytes(b), c2, flag) == 1;
    const std::string past(int(a.back() != '#') + int(b.back() != '#'), '!');
    if (!read) return "fail" + past;
    return a.substr(0, c1) + "|" + b.substr(0, c2) + "|" + std::to_string(flag) + past;
}

TEST_F(MgmtTest, KeyComesBackWholeAndWhatDoesNotFitIsRefused) {
    std::string first(128, 0), second = "\xc8\xcf\xd6";
    for (int i = 0; i < 128; ++i) first[i] = char(1 + i * 7);
    unsigned long l1 = 128, l2 = 3, zero = 0;
    ASSERT_EQ(KxConfig::SetRsaKeyEx(Bytes(first), l1, Bytes(second), l2), 1);
    // Bad components are refused and leave the key file as it was.
    EXPECT_EQ(KxConfig::SetRsaKeyEx(Bytes(first), zero, Bytes(second), l2), 0);
    EXPECT_EQ(KxConfig::SetRsaKeyEx(Bytes(first), l1, nullptr, l2), 0);
    const std::string good = kxtest::ReadDeviceFile(kKeyFile), whole = first + "|" + second + "|";
    EXPECT_EQ(good, std::string("\x80\0\0\0", 4) + first + std::string("\x03\0\0\0", 4) + second +
                        "\x01");
    const struct Row {
        const char* name;
        std::string file, expected;
        unsigned long c1, c2;
    } rows[] = {
        {"whole", good, whole + "1", 128, 3},
        {"no flag byte", good.substr(0, 139), whole + "0", 128, 3},
        {"cut in the second component", good.substr(0, 138), "fail", 128, 3},
        {"cut in the first length", good.substr(0, 2), "fail", 128, 3},
        {"second larger than its buffer", good, "fail", 128, 2},
        {"zero first length", std::string(4, '\0') + good.substr(4), "fail", 128, 3},
        {"a length far beyond the file", "\xff\xff\xff\x7f" + good.substr(4), "fail", 4096, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        kxtest::MakeScratchFile(L"mgi.key", row.file);
        EXPECT_EQ(ReadKey(row.c1, row.c2), row.expected);
    }
    ::DeleteFileW(kKeyFile);
    EXPECT_EQ(ReadKey(128, 3), "fail") << "no key file";
}

// A provider element with the four attributes, as the platform saves it.
std::string Provider(const char* s, const char* u, const char* sh, const char* uh) {
    return std::string("<ServiceProvider SubscribeNumber=\"") + s + "\" UnsubscribeNumber=\"" + u +
           "\" SubscribePatternHeader=\"" + sh + "\" UnsubscribePatternHeader=\"" + uh + "\"/>";
}
// A document of an operator's provider with these attributes, then one below the document
// element, as the platform saves it.
std::string Doc(const char* s, const char* u, const char* sh, const char* uh) {
    return "<Subscription version=\"2\"><Operator name=\"Telco\">" + Provider(s, u, sh, uh) +
           "</Operator><ServiceProvider SubscribeNumber=\"9999\"/></Subscription>\n";
}

// Only the first provider changes; null or empty arguments keep their attribute; a missing file
// is never created and a broken one is left as it was.
TEST_F(MgmtTest, TheFirstProviderTakesTheGivenAttributes) {
    const std::string two = Doc("1111", "2222", "SUB", "UNSUB");
    const std::vector<const wchar_t*> k = {L"1", L"2", L"3", L"4"};
    const std::vector<const wchar_t*> esc = {L"&", L"<", L"\"", L"'"};
    const struct Row {
        const char* name;
        std::string file, saved;  // file "": none
        std::vector<const wchar_t*> a;
        int expected;
    } rows[] = {
        {"all four", two, Doc("1", "2", "3", "4"), k, 1},
        {"null/empty kept", two, Doc("1111", "2222", "SUB", "5"), {nullptr, L"", nullptr, L"5"}, 1},
        {"escaped, at any depth", "<a><b><ServiceProvider/></b></a>",
         "<a><b>" + Provider("&amp;", "&lt;", "&quot;", "'") + "</b></a>\n", esc, 1},
        {"the document element is none", "<ServiceProvider/>", "<ServiceProvider/>", k, 1},
        {"no file", "", "<missing>", k, 0},
        {"broken", "<a b=c/>", "<a b=c/>", k, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ::DeleteFileW(kSubscription);
        if (!row.file.empty()) kxtest::MakeScratchFile(L"subscription.xml", row.file);
        EXPECT_EQ(KxConfig::SetSpdXml(row.a[0], row.a[1], row.a[2], row.a[3]), row.expected);
        EXPECT_EQ(kxtest::ReadDeviceFile(kSubscription), row.saved);
    }
    EXPECT_EQ(KxConfig::SetSpdXmlEx(nullptr, L"1", L"2", L"3", L"4"), 0);
}

}  // namespace
