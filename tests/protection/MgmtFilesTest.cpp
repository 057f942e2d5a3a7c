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

// GetMgiValid needs a nonzero flag and a host name; GetMgiValidSimple the flag alone; emptying
// the parameters clears the host and the port and keeps the flag.
struct ManagementRow {
    const char* name;
    long flag;                           // IsMgiValid stored first; -1: nothing stored
    const wchar_t* host = L"m.example";  // set first; null: none
    bool emptied = false;                // EmptyMgiParam called then
    int valid, validSimple;
    std::wstring hostAfter;  // "untouched": GetMamoHostName left its buffer
    unsigned short port = 8443;
};
TEST_F(MgmtTest, ManagementInEffectNeedsTheFlagAndAHost) {
    // clang-format off
    const ManagementRow rows[] = {
        {.name = "nothing stored",     .flag = -1, .host = nullptr,      .valid = 0, .validSimple = 0, .hostAfter = L"untouched"},
        {.name = "flag, empty host",   .flag = 7,  .host = L"",          .valid = 0, .validSimple = 1, .hostAfter = L""},
        {.name = "flag 7, a host",     .flag = 7,                        .valid = 1, .validSimple = 1, .hostAfter = L"m.example"},
        {.name = "emptied: flag kept", .flag = 7,  .emptied = true,      .valid = 0, .validSimple = 1, .hostAfter = L"", .port = 0},
        {.name = "flag 0, a host",     .flag = 0,                        .valid = 0, .validSimple = 0, .hostAfter = L"m.example"},
    };
    // clang-format on
    for (const ManagementRow& row : rows) {
        kxtest::ResetDevice();
        KxConfig::SetMamoHostPort(8443);
        if (row.flag >= 0) kxtest::StoreNumber(kAgentKey, L"IsMgiValid", DWORD(row.flag));
        if (row.host) KxConfig::SetMamoHostName(row.host);
        if (row.emptied) KxConfig::EmptyMgiParam();
        wchar_t host[32] = L"untouched";
        KxConfig::GetMamoHostName(host, 32);
        const int valid = KxConfig::GetMgiValid(), validSimple = KxConfig::GetMgiValidSimple();
        const unsigned short port = KxConfig::GetMamoHostPort();
        EXPECT_TRUE(valid == row.valid && validSimple == row.validSimple && host == row.hostAfter &&
                    port == row.port)
            << row.name << ": GetMgiValid " << valid << ", GetMgiValidSimple " << validSimple
            << ", host \"" << kxtest::Narrow(host) << "\", port " << port << "; expected "
            << row.valid << ", " << row.validSimple << ", \"" << kxtest::Narrow(row.hostAfter)
            << "\", " << row.port;
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
    const std::string none = "(no key)\n";  // the agent's key never written
    const std::string applied =
        "HostName = text \"mgmt.example.net\"\nHostPort = number 0x20fb\nIsMgiValid = number 0x1\n";
    // clang-format off
    const RecoveryRow rows[] = {
        {.name = "no document",     .content = "-",       .held = false, .status = 0,  .document = "<missing>", .agentKey = none},
        {.name = "zero bytes",      .content = "",        .held = false, .status = -1, .document = "",          .agentKey = none},
        {.name = "a port that is no integer",
                                    .content = unapplied, .held = false, .status = -2, .document = unapplied,   .agentKey = none},
        {.name = "byte-order mark", .content = UnterminatedTextBytes(L"\xFEFF<wap-provisioningdoc/>"),
                                                          .held = false, .status = 0,  .document = "<missing>", .agentKey = none},
        {.name = "held open by another program",
                                    .content = server,    .held = true,  .status = -1, .document = server,      .agentKey = none},
        {.name = "applied",         .content = server,    .held = false, .status = 0,  .document = "<missing>", .agentKey = applied},
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

unsigned char* Bytes(std::string& text) { return reinterpret_cast<unsigned char*>(&text[0]); }

// A key file's content and the capacities GetRsaKeyEx is given (the key's own sizes unless a row
// says), and what it then answers and reads.
struct KeyFileRow {
    const char* name;
    std::string file;
    unsigned long firstCapacity = 128, secondCapacity = 3;
    std::string read;
};

// What GetRsaKeyEx answered and read, in words, into buffers one byte larger than the capacities
// it was given; `first` and `second` are the components of the key written.
std::string ReadKey(const KeyFileRow& row, const std::string& first, const std::string& second) {
    std::string firstRead(row.firstCapacity + 1, '#'), secondRead(row.secondCapacity + 1, '#');
    unsigned long firstLength = row.firstCapacity, secondLength = row.secondCapacity;
    unsigned char flag = 9;
    const int result =
        KxConfig::GetRsaKeyEx(Bytes(firstRead), firstLength, Bytes(secondRead), secondLength, flag);
    std::string read = "answered " + std::to_string(result);
    if (result == 1 && firstRead.substr(0, firstLength) == first &&
        secondRead.substr(0, secondLength) == second)
        read += " with both components, flag " + std::to_string(flag);
    else if (result == 1)
        read += " with other components";
    if (firstRead.back() != '#' || secondRead.back() != '#') read += ", writing past a buffer";
    return read;
}

TEST_F(MgmtTest, KeyComesBackWholeAndWhatDoesNotFitIsRefused) {
    std::string first(128, 0), second = "\xc8\xcf\xd6";
    for (int i = 0; i < 128; ++i) first[i] = char(1 + i * 7);
    unsigned long firstLength = 128, secondLength = 3, zero = 0;
    ASSERT_EQ(KxConfig::SetRsaKeyEx(Bytes(first), firstLength, Bytes(second), secondLength), 1);
    // Bad components are refused and leave the key file as it was.
    EXPECT_EQ(KxConfig::SetRsaKeyEx(Bytes(first), zero, Bytes(second), secondLength), 0);
    EXPECT_EQ(KxConfig::SetRsaKeyEx(Bytes(first), firstLength, nullptr, secondLength), 0);
    const std::string good = kxtest::ReadDeviceFile(kKeyFile);
    EXPECT_EQ(good, std::string("\x80\0\0\0", 4) + first + std::string("\x03\0\0\0", 4) + second +
                        "\x01");
    const std::string whole = "answered 1 with both components, flag 1", refused = "answered 0";
    // clang-format off
    const KeyFileRow rows[] = {
        {.name = "whole",                         .file = good,                                  .read = whole},
        {.name = "no flag byte",                  .file = good.substr(0, 139),
         .read = "answered 1 with both components, flag 0"},
        {.name = "cut in the second component",   .file = good.substr(0, 138),                   .read = refused},
        {.name = "cut in the first length",       .file = good.substr(0, 2),                     .read = refused},
        {.name = "second larger than its buffer", .file = good, .secondCapacity = 2,             .read = refused},
        {.name = "zero first length",             .file = std::string(4, '\0') + good.substr(4), .read = refused},
        {.name = "no key file",                   .file = "",                                    .read = refused},
    };
    // clang-format on
    for (const KeyFileRow& row : rows) {
        ::DeleteFileW(kKeyFile);
        if (!row.file.empty()) kxtest::MakeScratchFile(L"mgi.key", row.file);
        EXPECT_EQ(ReadKey(row, first, second), row.read) << "GetRsaKeyEx, " << row.name;
    }
}

// A provider element with the four attributes, as the platform saves it.
std::string Provider(const char* subscribe, const char* unsubscribe, const char* subscribeHeader,
                     const char* unsubscribeHeader) {
    return std::string("<ServiceProvider SubscribeNumber=\"") + subscribe +
           "\" UnsubscribeNumber=\"" + unsubscribe + "\" SubscribePatternHeader=\"" +
           subscribeHeader + "\" UnsubscribePatternHeader=\"" + unsubscribeHeader + "\"/>";
}
// A document of an operator's provider with these attributes, then one below the document
// element, as the platform saves it.
std::string Document(const char* subscribe, const char* unsubscribe, const char* subscribeHeader,
                     const char* unsubscribeHeader) {
    return "<Subscription version=\"2\"><Operator name=\"Telco\">" +
           Provider(subscribe, unsubscribe, subscribeHeader, unsubscribeHeader) +
           "</Operator><ServiceProvider SubscribeNumber=\"9999\"/></Subscription>\n";
}

// Only the first provider changes; null or empty arguments keep their attribute; a missing file
// is never created and a broken one is left as it was.
struct SubscriptionRow {
    const char* name;
    std::string file;                   // "": none
    std::vector<const wchar_t*> given;  // the four attributes
    int result;
    std::string saved;
};
TEST_F(MgmtTest, TheFirstProviderTakesTheGivenAttributes) {
    const std::string original = Document("1111", "2222", "SUB", "UNSUB");
    const std::vector<const wchar_t*> plain = {L"1", L"2", L"3", L"4"};
    // clang-format off
    const SubscriptionRow rows[] = {
        {.name = "null or empty kept", .file = original, .given = {nullptr, L"", nullptr, L"5"}, .result = 1,
         .saved = Document("1111", "2222", "SUB", "5")},
        {.name = "escaped, at any depth", .file = "<a><b><ServiceProvider/></b></a>",
         .given = {L"&", L"<", L"\"", L"'"}, .result = 1,
         .saved = "<a><b>" + Provider("&amp;", "&lt;", "&quot;", "'") + "</b></a>\n"},
        {.name = "the document element is none", .file = "<ServiceProvider/>", .given = plain, .result = 1,
         .saved = "<ServiceProvider/>"},
        {.name = "no file", .file = "", .given = plain, .result = 0, .saved = "<missing>"},
        {.name = "broken", .file = "<a b=c/>", .given = plain, .result = 0, .saved = "<a b=c/>"},
    };
    // clang-format on
    for (const SubscriptionRow& row : rows) {
        ::DeleteFileW(kSubscription);
        if (!row.file.empty()) kxtest::MakeScratchFile(L"subscription.xml", row.file);
        const int result =
            KxConfig::SetSpdXml(row.given[0], row.given[1], row.given[2], row.given[3]);
        const std::string saved = kxtest::ReadDeviceFile(kSubscription);
        EXPECT_TRUE(result == row.result && saved == row.saved)
            << "SetSpdXml, " << row.name << ": answered " << result << " leaving " << saved
            << "; expected " << row.result << " leaving " << row.saved;
    }
    EXPECT_EQ(KxConfig::SetSpdXmlEx(nullptr, L"1", L"2", L"3", L"4"), 0)
        << "SetSpdXmlEx(null path)";
}

}  // namespace
