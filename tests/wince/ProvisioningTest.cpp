// The platform layer's configuration manager with the Registry provider, as the management
// settings use it: what each parm type writes, deletions, and documents that are refused or fail
// halfway, which change nothing.
#include "DeviceFixture.h"

namespace {

using kxtest::RawSetValue;
constexpr wchar_t kBase[] = L"SOFTWARE\\Quorlend\\Prov";

class ProvisioningTest : public kxtest::DeviceTest {};

HRESULT Process(const std::wstring& body) {
    const std::wstring document = L"<wap-provisioningdoc><characteristic type=\"Registry\">" +
                                  body + L"</characteristic></wap-provisioningdoc>";
    LPWSTR answer = nullptr;
    const HRESULT hr = ::DMProcessConfigXML(document.c_str(), CFGFLAG_PROCESS, &answer);
    delete[] answer;
    return hr;
}
std::wstring Key(const std::wstring& path, const std::wstring& body) {
    return L"<characteristic type=\"" + path + L"\">" + body + L"</characteristic>";
}
std::wstring Parm(const wchar_t* name, const std::wstring& value, const wchar_t* type) {
    return L"<parm name=\"" + std::wstring(name) + L"\" value=\"" + value + L"\" datatype=\"" +
           type + L"\"/>";
}
// A key's values as "name=type:bytes-in-hex;", or "(no key)".
std::string Dump(const wchar_t* path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "(no key)";
    std::string all;
    wchar_t name[256];
    BYTE data[256];
    for (DWORD i = 0, chars = 256, bytes = 256, type = 0;
         ::RegEnumValueW(key, i, name, &chars, nullptr, &type, data, &bytes) == ERROR_SUCCESS;
         ++i, chars = 256, bytes = 256) {
        all += std::string(name, name + chars) + "=" + std::to_string(type) + ":";
        for (DWORD b = 0; b < bytes; ++b)
            all += {"0123456789abcdef"[data[b] >> 4], "0123456789abcdef"[data[b] & 15]};
        all += ";";
    }
    ::RegCloseKey(key);
    return all;
}

TEST_F(ProvisioningTest, EachDatatypeWritesItsRegistryType) {
    const wchar_t multi[] = {L'a', 0xF000, L'b', L'c', 0};
    const struct Row {
        const wchar_t* value;
        const wchar_t* datatype;
        const char* stored;
    } rows[] = {
        {L"2147483647", L"integer", "V=4:ffffff7f;"},
        {L"-2147483648", L"integer", "V=4:00000080;"},
        {L"TRUE", L"boolean", "V=4:01000000;"},
        {L"&amp;&lt;", L"string", "V=1:26003c000000;"},
        {L"AAEC/w==", L"binary", "V=3:000102ff;"},
        {multi, L"multiplestring", "V=7:610000006200630000000000;"},
    };
    for (const Row& row : rows) {
        kxtest::ResetDevice();
        EXPECT_EQ(
            Process(Key(L"HKLM\\SOFTWARE\\Quorlend\\Prov", Parm(L"V", row.value, row.datatype))),
            S_OK);
        EXPECT_EQ(Dump(kBase), row.stored) << row.datatype;
    }
}

// Changes the arranged values (one twice) first, then carries one fault: the changes are undone,
// the newest first, and nothing of the document stays.
TEST_F(ProvisioningTest, RefusedDocumentsChangeNothing) {
    const std::wstring changes =
        Key(L"HKLM\\SOFTWARE\\Quorlend\\Prov",
            Parm(L"Existing", L"after", L"string") + Parm(L"Existing", L"again", L"string") +
                Parm(L"New", L"1", L"integer") +
                L"<noparm name=\"Gone\"/><nocharacteristic type=\"Tree\"/>") +
        Key(L"HKLM\\SOFTWARE\\Quorlend\\Fresh\\Key", Parm(L"F", L"f", L"string"));
    const struct Row {
        const char* name;
        std::wstring fault;
        HRESULT hr;
    } rows[] = {
        {"no fault", L"", S_OK},
        {"integer out of range", Key(L"HKLM\\X", Parm(L"I", L"2147483648", L"integer")),
         CONFIG_E_BAD_XML},
        {"unknown root", Key(L"HKXX\\SOFTWARE\\X", L""), CONFIG_E_ENTRYNOTFOUND},
        // Passes every check and fails while applied: a key name longer than the registry takes.
        {"key name too long",
         Key(L"HKLM\\SOFTWARE\\Quorlend\\Prov",
             Key(std::wstring(300, L'k'), Parm(L"L", L"1", L"integer"))),
         CONFIG_E_CSPEXCEPTION},
    };
    for (const Row& row : rows) {
        kxtest::ResetDevice();
        RawSetValue(kBase, L"Existing", REG_SZ, L"before", 14);
        RawSetValue(kBase, L"Gone", REG_SZ, L"g", 4);
        RawSetValue(L"SOFTWARE\\Quorlend\\Prov\\Tree\\Sub", L"Leaf", REG_DWORD, "\x07\0\0\0", 4);
        const std::string before = Dump(kBase) + Dump(L"SOFTWARE\\Quorlend\\Prov\\Tree\\Sub");
        EXPECT_EQ(Process(changes + row.fault), row.hr) << row.name;
        const std::string changed = "Existing=1:61006700610069006e000000;New=4:01000000;(no key)";
        EXPECT_EQ(Dump(kBase) + Dump(L"SOFTWARE\\Quorlend\\Prov\\Tree\\Sub") +
                      Dump(L"SOFTWARE\\Quorlend\\Fresh"),
                  row.hr == S_OK ? changed : before + "(no key)")
            << row.name;
    }
}

}  // namespace
