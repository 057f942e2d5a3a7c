// kxctl reg: query, add, delete and list values and subkeys of the device registry, in the
// spirit of reg.exe. Keys are paths under HKEY_LOCAL_MACHINE (a leading "HKLM\" is accepted).
#include "Commands.h"

#include <kxcommon/KxRegUtil.h>

#include <cwctype>
#include <string>
#include <vector>

namespace kxctl {
namespace {

const wchar_t kRegUsage[] =
    L"usage: kxctl reg query KEY [VALUE]\n"
    L"       kxctl reg add KEY VALUE (num|text|bytes) DATA\n"
    L"       kxctl reg delete KEY VALUE\n"
    L"       kxctl reg subkeys KEY";

std::wstring KeyPath(const std::wstring& key) {
    for (const wchar_t* root : {L"HKLM\\", L"HKEY_LOCAL_MACHINE\\"}) {
        const std::wstring prefix = root;
        if (key.size() >= prefix.size() &&
            SameIgnoringCase(key.substr(0, prefix.size()).c_str(), prefix.c_str()))
            return key.substr(prefix.size());
    }
    return key;
}

std::wstring FormatValue(const RegValueData& value) {
    std::wstring line = value.name;
    switch (value.type) {
    case REG_DWORD:
        if (value.size == 4) {
            const unsigned long number = *reinterpret_cast<const DWORD*>(value.data);
            return line + L"  num  " + Hex(number, 8) + L" (" + std::to_wstring(number) + L")";
        }
        break;
    case REG_SZ: {
        std::wstring text(reinterpret_cast<const wchar_t*>(value.data), value.size / 2);
        while (!text.empty() && text.back() == L'\0') text.pop_back();
        return line + L"  text  \"" + text + L"\"";
    }
    case REG_BINARY:
        return line + L"  bytes  " + HexBytes(value.data, value.size) + L"  (" +
               std::to_wstring(value.size) + L" bytes)";
    }
    return line + L"  type " + std::to_wstring(value.type) + L"  " +
           HexBytes(value.data, value.size);
}

int CollectName(const wchar_t* name, const wchar_t* /*data*/, void* context) {
    static_cast<std::vector<std::wstring>*>(context)->push_back(name);
    return 1;
}

int Query(const Args& args) {
    if (args.size() != 1 && args.size() != 2) return UsageError(kRegUsage);
    const std::wstring key = KeyPath(args[0]);
    RegKey open(key.c_str());
    if (static_cast<HKEY>(open) == nullptr) return CallFailed(L"opening " + key, KX_E_REGISTRY);
    RegQV query(open);
    RegValueData value;

    if (args.size() == 2) {
        if (!query(args[1].c_str(), value)) return CallFailed(L"reading " + args[1], KX_E_REGISTRY);
        Print(FormatValue(value));
        return kExitOk;
    }
    std::vector<std::wstring> names;
    const KXSTATUS status = KxRegUtil().EnumKeys(key.c_str(), CollectName, &names);
    if (status != KX_OK) return CallFailed(L"listing " + key, status);
    Print(L"HKLM\\" + key);
    for (const std::wstring& name : names) {
        if (query(name.c_str(), value)) Print(L"    " + FormatValue(value));
    }
    return kExitOk;
}

int Add(const Args& args) {
    if (args.size() != 4) return UsageError(kRegUsage);
    const std::wstring key = KeyPath(args[0]);
    const std::wstring& name = args[1];
    const std::wstring& kind = args[2];
    const std::wstring& data = args[3];
    KxRegUtil reg;
    KXSTATUS status;
    if (kind == L"num") {
        unsigned long number = 0;
        if (!ParseNumber(data, &number))
            return UsageError(L"'" + data + L"' is not a 32-bit number (decimal or 0x hex)");
        status = reg.SetValue(key.c_str(), name.c_str(), number);
    } else if (kind == L"text") {
        status = reg.SetValue(key.c_str(), name.c_str(), data.c_str());
    } else if (kind == L"bytes") {
        std::vector<unsigned char> bytes;
        if (!ParseBytes(data, &bytes))
            return UsageError(L"'" + data + L"' is not a list of hexadecimal byte pairs");
        status = reg.SetValue(key.c_str(), name.c_str(), bytes.data(),
                              static_cast<unsigned long>(bytes.size()));
    } else {
        return UsageError(L"unknown value kind '" + kind + L"' (num, text or bytes)");
    }
    if (status != KX_OK) return CallFailed(L"writing " + name, status);
    Print(L"written: HKLM\\" + key + L"\\" + name);
    return kExitOk;
}

int Delete(const Args& args) {
    if (args.size() != 2) return UsageError(kRegUsage);
    const std::wstring key = KeyPath(args[0]);
    const KXSTATUS status = KxRegUtil().DelValue(key.c_str(), args[1].c_str());
    if (status != KX_OK) return CallFailed(L"deleting " + args[1], status);
    Print(L"deleted: HKLM\\" + key + L"\\" + args[1]);
    return kExitOk;
}

int SubKeys(const Args& args) {
    if (args.size() != 1) return UsageError(kRegUsage);
    const std::wstring key = KeyPath(args[0]);
    KxRegUtil reg;
    std::vector<wchar_t*> keys;
    const KXSTATUS status = reg.EnumSubKey(key.c_str(), keys);
    if (status != KX_OK) return CallFailed(L"listing subkeys of " + key, status);
    for (const wchar_t* path : keys) Print(std::wstring(L"HKLM\\") + path);
    reg.ReleaseKeyList(keys);
    return kExitOk;
}

}  // namespace

int RunReg(const Args& args) {
    if (args.empty()) return UsageError(kRegUsage);
    const std::wstring& verb = args[0];
    const Args rest(args.begin() + 1, args.end());
    if (verb == L"query") return Query(rest);
    if (verb == L"add") return Add(rest);
    if (verb == L"delete") return Delete(rest);
    if (verb == L"subkeys") return SubKeys(rest);
    return UsageError(L"unknown reg verb '" + verb + L"'\n" + kRegUsage);
}

}  // namespace kxctl
