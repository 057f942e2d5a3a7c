// The platform layer's configuration manager with the Registry provider: what each parm type
// writes, deletions, and documents that are refused or fail halfway, which change nothing.
#include "DeviceFixture.h"

#include <wince/wince.h>

#include <memory>
#include <string>

namespace {

using kxtest::RawGetValue;
using kxtest::RawKeyExists;
using kxtest::RawSetValue;
using kxtest::RawValueExists;

constexpr wchar_t kBase[] = L"SOFTWARE\\Quorlend\\Prov";

class ProvisioningTest : public kxtest::DeviceTest {};

struct Result {
    HRESULT hr;
    std::wstring answer;
    bool answered;
};

Result Process(const std::wstring& body) {
    const std::wstring document = L"<wap-provisioningdoc><characteristic type=\"Registry\">" +
                                  body + L"</characteristic></wap-provisioningdoc>";
    LPWSTR answer = reinterpret_cast<LPWSTR>(1);
    Result r{::DMProcessConfigXML(document.c_str(), CFGFLAG_PROCESS, &answer), L"",
             answer != nullptr};
    if (answer != nullptr) r.answer = answer;
    delete[] answer;
    return r;
}

std::wstring Key(const wchar_t* path, const std::wstring& body) {
    return L"<characteristic type=\"" + std::wstring(path) + L"\">" + body + L"</characteristic>";
}

std::wstring Parm(const wchar_t* name, const wchar_t* value, const wchar_t* type) {
    return L"<parm name=\"" + std::wstring(name) + L"\" value=\"" + value + L"\" datatype=\"" +
           type + L"\"/>";
}

std::string Bytes(const void* data, size_t size) {
    return std::string(static_cast<const char*>(data), size);
}
std::string Dword(DWORD n) { return Bytes(&n, sizeof n); }
std::string Text(const std::wstring& s) { return Bytes(s.c_str(), (s.size() + 1) * 2); }

std::string Value(const wchar_t* key, const wchar_t* name, DWORD* type) {
    std::string bytes;
    if (!RawGetValue(key, name, type, &bytes)) return "(missing)";
    return bytes;
}

TEST_F(ProvisioningTest, EachDatatypeWritesItsRegistryType) {
    struct Case {
        const wchar_t* value;
        const wchar_t* datatype;
        DWORD type;
        std::string bytes;
    };
    const wchar_t multi[] = {L'a', 0xF000, L'b', L'c', 0};
    const Case cases[] = {
        {L"42", L"integer", REG_DWORD, Dword(42)},
        {L"-1", L"integer", REG_DWORD, Dword(0xFFFFFFFF)},
        {L"2147483647", L"integer", REG_DWORD, Dword(0x7FFFFFFF)},
        {L"-2147483648", L"integer", REG_DWORD, Dword(0x80000000)},
        {L"true", L"boolean", REG_DWORD, Dword(1)},
        {L"0", L"boolean", REG_DWORD, Dword(0)},
        {L"mgmt &amp; &lt;co&gt;", L"string", REG_SZ, Text(L"mgmt & <co>")},
        {L"", L"string", REG_SZ, Text(L"")},
        {L"AAEC/w==", L"binary", REG_BINARY, Bytes("\x00\x01\x02\xff", 4)},
        {L"", L"binary", REG_BINARY, ""},
        {multi, L"multiplestring", REG_MULTI_SZ, Bytes(L"a\0bc\0\0", 12)},
    };
    for (const Case& c : cases) {
        const Result r =
            Process(Key(L"HKLM\\SOFTWARE\\Quorlend\\Prov", Parm(L"V", c.value, c.datatype)));
        ASSERT_EQ(r.hr, S_OK) << c.datatype << " " << r.answer.size();
        DWORD type = 0;
        EXPECT_EQ(Value(kBase, L"V", &type), c.bytes) << c.datatype;
        EXPECT_EQ(type, c.type) << c.datatype;
    }
}

TEST_F(ProvisioningTest, NestedCharacteristicsNameSubkeys) {
    const std::wstring document =
        L"<wap-provisioningdoc>\n  <characteristic type=\"Registry\">\n"
        L"    <characteristic type=\"HKLM\\SOFTWARE\\Quorlend\">\n"
        L"      <!-- nested levels add one key or a relative path each -->\n"
        L"      <characteristic type=\"Prov\"><parm name=\"A\" value=\"1\" datatype=\"integer\"/>\n"
        L"        <characteristic type=\"Deep\\Er\"><parm name=\"B\" "
        L"value=\"x\"/></characteristic>\n"
        L"      </characteristic>\n    </characteristic>\n  </characteristic>\n"
        L"</wap-provisioningdoc>";
    LPWSTR answer = nullptr;
    ASSERT_EQ(::DMProcessConfigXML(document.c_str(), CFGFLAG_PROCESS, &answer), S_OK);
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(std::wstring(answer), document) << "a processed document comes back as it was";
    delete[] answer;
    DWORD type = 0;
    EXPECT_EQ(Value(kBase, L"A", &type), Dword(1));
    EXPECT_EQ(Value(L"SOFTWARE\\Quorlend\\Prov\\Deep\\Er", L"B", &type), Text(L"x"));
    EXPECT_EQ(type, DWORD(REG_SZ)) << "a parm without datatype is a string";
}

TEST_F(ProvisioningTest, DeletionsOfValuesAndKeys) {
    RawSetValue(kBase, L"Old", REG_SZ, L"o", 4);
    RawSetValue(kBase, L"Keep", REG_SZ, L"k", 4);
    RawSetValue(L"SOFTWARE\\Quorlend\\Prov\\Tree\\Sub", L"X", REG_SZ, L"x", 4);
    const Result r = Process(Key(L"HKLM\\SOFTWARE\\Quorlend\\Prov",
                                 L"<noparm name=\"Old\"/><noparm name=\"NeverThere\"/>"
                                 L"<nocharacteristic type=\"Tree\"/>") +
                             L"<nocharacteristic type=\"HKLM\\SOFTWARE\\Quorlend\\Absent\"/>");
    ASSERT_EQ(r.hr, S_OK) << "deleting what is not there is no failure";
    EXPECT_FALSE(RawValueExists(kBase, L"Old"));
    EXPECT_TRUE(RawValueExists(kBase, L"Keep"));
    EXPECT_FALSE(RawKeyExists(L"SOFTWARE\\Quorlend\\Prov\\Tree"));
}

// A registry that the documents below must leave exactly as it is.
void Arrange() {
    RawSetValue(kBase, L"Existing", REG_SZ, L"before", 14);
    RawSetValue(L"SOFTWARE\\Quorlend\\Prov\\Tree\\Sub", L"Leaf", REG_DWORD, "\x07\0\0\0", 4);
    RawSetValue(L"SOFTWARE\\Quorlend\\Prov\\Tree", L"Top", REG_BINARY, "\x01\x02", 2);
}
void ExpectArranged(const std::string& what) {
    DWORD type = 0;
    EXPECT_EQ(Value(kBase, L"Existing", &type), Text(L"before")) << what;
    EXPECT_EQ(Value(L"SOFTWARE\\Quorlend\\Prov\\Tree\\Sub", L"Leaf", &type), Dword(7)) << what;
    EXPECT_EQ(Value(L"SOFTWARE\\Quorlend\\Prov\\Tree", L"Top", &type), Bytes("\x01\x02", 2))
        << what;
    EXPECT_EQ(type, DWORD(REG_BINARY)) << what;
    EXPECT_FALSE(RawValueExists(kBase, L"New")) << what;
    EXPECT_FALSE(RawKeyExists(L"SOFTWARE\\Quorlend\\Fresh")) << what;
}

TEST_F(ProvisioningTest, RefusedDocumentsChangeNothing) {
    // Each document changes the arranged values first, then carries one fault.
    const std::wstring changes =
        Key(L"HKLM\\SOFTWARE\\Quorlend\\Prov", Parm(L"Existing", L"after", L"string") +
                                                   Parm(L"New", L"1", L"integer") +
                                                   L"<nocharacteristic type=\"Tree\"/>") +
        Key(L"HKLM\\SOFTWARE\\Quorlend\\Fresh\\Key", Parm(L"F", L"f", L"string"));
    struct Case {
        const char* what;
        std::wstring fault;
        HRESULT hr;
        const wchar_t* marked;  // the element the answer marks
    };
    const Case cases[] = {
        {"integer out of range", Key(L"HKLM\\SOFTWARE\\X", Parm(L"I", L"2147483648", L"integer")),
         CONFIG_E_BAD_XML, L"<parm-error name=\"I\""},
        {"integer with letters", Key(L"HKLM\\SOFTWARE\\X", Parm(L"I", L"12ab", L"integer")),
         CONFIG_E_BAD_XML, L"<parm-error"},
        {"bad Base64", Key(L"HKLM\\SOFTWARE\\X", Parm(L"B", L"!!!", L"binary")), CONFIG_E_BAD_XML,
         L"<parm-error"},
        {"unknown datatype", Key(L"HKLM\\SOFTWARE\\X", Parm(L"D", L"1.5", L"float")),
         CONFIG_E_BAD_XML, L"<parm-error"},
        {"parm without name", Key(L"HKLM\\SOFTWARE\\X", L"<parm value=\"1\"/>"), CONFIG_E_BAD_XML,
         L"<parm-error"},
        {"unknown root", Key(L"HKXX\\SOFTWARE\\X", L""), CONFIG_E_ENTRYNOTFOUND,
         L"<characteristic-error type=\"HKXX"},
        {"a whole hive", L"<nocharacteristic type=\"HKLM\"/>", CONFIG_E_ENTRYNOTFOUND,
         L"<nocharacteristic-error"},
        {"empty key name", Key(L"HKLM\\SOFTWARE\\X", Key(L"a\\\\b", L"")), CONFIG_E_BAD_XML,
         L"<characteristic-error type=\"a"},
        {"unknown element", Key(L"HKLM\\SOFTWARE\\X", L"<setting/>"), CONFIG_E_BAD_XML,
         L"<setting-error"},
        // Passes every check and fails while applied: a key name longer than the registry takes.
        {"key name too long",
         Key(L"HKLM\\SOFTWARE\\Quorlend\\Prov",
             Key(std::wstring(300, L'k').c_str(), Parm(L"L", L"1", L"integer"))),
         CONFIG_E_CSPEXCEPTION, L"<parm-error name=\"L\""},
    };
    for (const Case& c : cases) {
        kxtest::ResetDevice();
        Arrange();
        const Result r = Process(changes + c.fault);
        EXPECT_EQ(r.hr, c.hr) << c.what;
        ASSERT_TRUE(r.answered) << c.what;
        EXPECT_NE(r.answer.find(c.marked), std::wstring::npos) << c.what;
        EXPECT_NE(r.answer.find(L"desc=\"0x"), std::wstring::npos) << c.what;
        ExpectArranged(c.what);
    }
}

TEST_F(ProvisioningTest, TextsThatAreNoDocument) {
    Arrange();
    const wchar_t* const texts[] = {
        L"",
        L"plain",
        L"<wap-provisioningdoc><characteristic type=\"Registry\">",
        L"<other-root/>",
        L"<wap-provisioningdoc><characteristic type=\"Proxy\"/></wap-provisioningdoc>",
    };
    for (const wchar_t* text : texts) {
        LPWSTR answer = nullptr;
        const HRESULT hr = ::DMProcessConfigXML(text, CFGFLAG_PROCESS, &answer);
        EXPECT_TRUE(hr == CONFIG_E_BAD_XML || hr == CONFIG_E_ENTRYNOTFOUND) << hr;
        EXPECT_NE(answer, nullptr);
        delete[] answer;
    }
    ExpectArranged("no document");

    LPWSTR answer = reinterpret_cast<LPWSTR>(1);
    EXPECT_EQ(::DMProcessConfigXML(nullptr, CFGFLAG_PROCESS, &answer), E_INVALIDARG);
    EXPECT_EQ(answer, nullptr);
    EXPECT_EQ(::DMProcessConfigXML(L"<wap-provisioningdoc/>", CFGFLAG_METADATA, &answer),
              E_INVALIDARG);
    EXPECT_EQ(::DMProcessConfigXML(L"<wap-provisioningdoc/>", CFGFLAG_PROCESS, nullptr),
              E_INVALIDARG);
}

}  // namespace
