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

// What each parm datatype stores, as the registry holds it.
struct DatatypeRow {
    const wchar_t* value;
    const wchar_t* datatype;
    std::string stored;
};
TEST_F(ProvisioningTest, EachDatatypeWritesItsRegistryType) {
    // clang-format off
    const DatatypeRow rows[] = {
        {.value = L"2147483647", .datatype = L"integer", .stored = "number 0x7fffffff"},
        {.value = L"-2147483648", .datatype = L"integer", .stored = "number 0x80000000"},
        {.value = L"TRUE", .datatype = L"boolean", .stored = "number 0x1"},
        {.value = L"&amp;&lt;", .datatype = L"string", .stored = "text \"&<\""},
        {.value = L"AAEC/w==", .datatype = L"binary", .stored = "bytes 00 01 02 ff"},
        {.value = L"a\uF000bc", .datatype = L"multiplestring", .stored = "type 7 bytes 61 00 00 00 62 00 63 00 00 00 00 00"},
    };
    // clang-format on
    for (const DatatypeRow& row : rows) {
        ResetDevice();
        const HRESULT hr = Process(Key(kProv, Parm(L"V", row.value, row.datatype)));
        const std::string stored = Stored(kBase, L"V");
        EXPECT_TRUE(hr == S_OK && stored == row.stored)
            << "a " << Narrow(row.datatype) << " parm of \"" << Narrow(row.value)
            << "\" answered 0x" << std::hex << hr << " and stored " << stored << "; expected 0 and "
            << row.stored;
    }
}

struct RefusalRow {
    const char* name;
    std::wstring fault;  // the part of the document after the changes
    HRESULT result;
};
// Changes the arranged values (one twice) first, then carries one fault: the changes are undone,
// the newest first, and nothing of the document stays.
TEST_F(ProvisioningTest, RefusedDocumentsChangeNothing) {
    const std::wstring changes =
        Key(kProv, Parm(L"Existing", L"after", L"string") + Parm(L"Existing", L"again", L"string") +
                       Parm(L"New", L"1", L"integer") +
                       L"<noparm name=\"Gone\"/><nocharacteristic type=\"Tree\"/>") +
        Key(L"HKLM\\SOFTWARE\\Quorlend\\Fresh\\Key", Parm(L"F", L"f", L"string"));
    // clang-format off
    const RefusalRow rows[] = {
        {.name = "no fault", .fault = L"", .result = S_OK},
        {.name = "out of range", .fault = Key(L"HKLM\\X", Parm(L"I", L"2147483648", L"integer")), .result = CONFIG_E_BAD_XML},
        {.name = "unknown root", .fault = Key(L"HKXX\\SOFTWARE\\X", L""), .result = CONFIG_E_ENTRYNOTFOUND},
        // Passes every check and fails while applied: a key name longer than the registry takes.
        {.name = "key too long", .fault = Key(kProv, Key(std::wstring(300, L'k'), Parm(L"L", L"1", L"integer"))),
         .result = CONFIG_E_CSPEXCEPTION},
    };
    // clang-format on
    for (const RefusalRow& row : rows) {
        ResetDevice();
        RawSetValue(kBase, L"Existing", REG_SZ, L"before", 14);
        RawSetValue(kBase, L"Gone", REG_SZ, L"g", 4);
        RawSetValue(L"SOFTWARE\\Quorlend\\Prov\\Tree\\Sub", L"Leaf", REG_DWORD, "\x07\0\0\0", 4);
        EXPECT_EQ(Process(changes + row.fault), row.result) << row.name;
        EXPECT_EQ(Dump(kBase, true) + Dump(L"SOFTWARE\\Quorlend\\Fresh", true),
                  row.result == S_OK
                      ? "Existing = text \"again\"\nNew = number 0x1\nKey\\F = text \"f\"\n"
                      : "Existing = text \"before\"\nGone = text \"g\"\n"
                        "Tree\\Sub\\Leaf = number 0x7\n(no key)\n")
            << row.name;
    }
}

}  // namespace
}  // namespace kxtest
