// The platform layer's configuration manager with the Registry provider, as the management
// settings use it: what each parm type writes, deletions, and documents that are refused or fail
// halfway, which change nothing.
#include "RegistryRows.h"

namespace kxtest {
namespace {

constexpr wchar_t kBase[] = L"SOFTWARE\\Quorlend\\Prov",
                  kProv[] = L"HKLM\\SOFTWARE\\Quorlend\\Prov";

class ProvisioningTest : public DeviceTest {};

std::wstring Key(const std::wstring& path, const std::wstring& body) {
    return L"<characteristic type=\"" + path + L"\">" + body + L"</characteristic>";
}
HRESULT Process(const std::wstring& body) {
    const std::wstring document =
        L"<wap-provisioningdoc>" + Key(L"Registry", body) + L"</wap-provisioningdoc>";
    LPWSTR answer = nullptr;
    const HRESULT hr = ::DMProcessConfigXML(document.c_str(), CFGFLAG_PROCESS, &answer);
    delete[] answer;
    return hr;
}
std::wstring Parm(const std::wstring& name, const std::wstring& value, const wchar_t* type) {
    return L"<parm name=\"" + name + L"\" value=\"" + value + L"\" datatype=\"" + type + L"\"/>";
}

// The stored type, then the key as the registry dump shows it.
TEST_F(ProvisioningTest, EachDatatypeWritesItsRegistryType) {
    const struct Row {
        const wchar_t *value, *datatype;
        const char* stored;
    } rows[] = {
        {L"2147483647", L"integer", "4 V=dw:7fffffff;"},
        {L"-2147483648", L"integer", "4 V=dw:80000000;"},
        {L"TRUE", L"boolean", "4 V=dw:1;"},
        {L"&amp;&lt;", L"string", "1 V=sz:&<|;"},
        {L"AAEC/w==", L"binary", "3 V=bin:|{1}{2}{ff};"},
        {L"a\uF000bc", L"multiplestring", "7 V=bin:a|||b|c|||||;"},
    };
    for (const Row& row : rows) {
        ResetDevice();
        EXPECT_EQ(Process(Key(kProv, Parm(L"V", row.value, row.datatype))), S_OK);
        DWORD type = 0;
        std::string bytes;
        RawGetValue(kBase, L"V", &type, &bytes);
        EXPECT_EQ(std::to_string(type) + " " + Dump(kBase), row.stored) << row.datatype;
    }
}

// Changes the arranged values (one twice) first, then carries one fault: the changes are undone,
// the newest first, and nothing of the document stays.
TEST_F(ProvisioningTest, RefusedDocumentsChangeNothing) {
    const std::wstring changes =
        Key(kProv, Parm(L"Existing", L"after", L"string") + Parm(L"Existing", L"again", L"string") +
                       Parm(L"New", L"1", L"integer") +
                       L"<noparm name=\"Gone\"/><nocharacteristic type=\"Tree\"/>") +
        Key(L"HKLM\\SOFTWARE\\Quorlend\\Fresh\\Key", Parm(L"F", L"f", L"string"));
    const struct Row {
        const char* name;
        std::wstring fault;
        HRESULT hr;
    } rows[] = {
        {"no fault", L"", S_OK},
        {"out of range", Key(L"HKLM\\X", Parm(L"I", L"2147483648", L"integer")), CONFIG_E_BAD_XML},
        {"unknown root", Key(L"HKXX\\SOFTWARE\\X", L""), CONFIG_E_ENTRYNOTFOUND},
        // Passes every check and fails while applied: a key name longer than the registry takes.
        {"key too long", Key(kProv, Key(std::wstring(300, L'k'), Parm(L"L", L"1", L"integer"))),
         CONFIG_E_CSPEXCEPTION},
    };
    for (const Row& row : rows) {
        ResetDevice();
        RawSetValue(kBase, L"Existing", REG_SZ, L"before", 14);
        RawSetValue(kBase, L"Gone", REG_SZ, L"g", 4);
        RawSetValue(L"SOFTWARE\\Quorlend\\Prov\\Tree\\Sub", L"Leaf", REG_DWORD, "\x07\0\0\0", 4);
        EXPECT_EQ(Process(changes + row.fault), row.hr) << row.name;
        EXPECT_EQ(Dump(kBase, true) + Dump(L"SOFTWARE\\Quorlend\\Fresh", true),
                  row.hr == S_OK ? "Existing=sz:again|;New=dw:1;Key\\F=sz:f|;"
                                 : "Existing=sz:before|;Gone=sz:g|;Tree\\Sub\\Leaf=dw:7;no key")
            << row.name;
    }
}

}  // namespace
}  // namespace kxtest
