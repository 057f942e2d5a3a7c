#include "Profile.h"

#include "internal/RegistryValue.h"

namespace wince {
namespace profile {
namespace {

bool OpenProfile(kx::UniqueKey* key) {
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, WINCE_PROFILE_KEY, 0, KEY_READ, key->Receive()) ==
           ERROR_SUCCESS;
}

bool Query(const wchar_t* name, DWORD* type, std::vector<BYTE>* data) {
    kx::UniqueKey key;
    if (!OpenProfile(&key)) return false;
    DWORD size = 0;
    if (::RegQueryValueExW(key.Get(), name, nullptr, type, nullptr, &size) != ERROR_SUCCESS)
        return false;
    data->assign(size, 0);
    const bool ok =
        ::RegQueryValueExW(key.Get(), name, nullptr, type, data->data(), &size) == ERROR_SUCCESS;
    data->resize(size);
    return ok;
}

bool Write(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    return kx::CreateKeyAndSetValue(HKEY_LOCAL_MACHINE, WINCE_PROFILE_KEY, name, type, data,
                                    size) == ERROR_SUCCESS;
}

}  // namespace

bool ReadNumber(const wchar_t* name, DWORD* value) {
    // Read in place: a number needs no memory of its own.
    kx::UniqueKey key;
    if (!OpenProfile(&key)) return false;
    DWORD type = 0;
    DWORD number = 0;
    DWORD size = sizeof number;
    if (::RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&number),
                           &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof number)
        return false;
    *value = number;
    return true;
}

DWORD NumberOr(const wchar_t* name, DWORD fallback) {
    DWORD value = fallback;
    ReadNumber(name, &value);
    return value;
}

bool ReadText(const wchar_t* name, std::wstring* text) {
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!Query(name, &type, &data) || type != REG_SZ) return false;
    text->assign(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
    const size_t end = text->find(L'\0');
    if (end != std::wstring::npos) text->resize(end);
    return true;
}

bool ReadBytes(const wchar_t* name, std::vector<BYTE>* bytes) {
    DWORD type = 0;
    return Query(name, &type, bytes) && type == REG_BINARY;
}

bool ReadList(const wchar_t* name, std::vector<std::wstring>* items) {
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!Query(name, &type, &data) || type != REG_MULTI_SZ) return false;
    const wchar_t* text = reinterpret_cast<const wchar_t*>(data.data());
    const size_t units = data.size() / sizeof(wchar_t);
    items->clear();
    std::wstring item;
    for (size_t i = 0; i < units; ++i) {
        if (text[i] != L'\0') {
            item += text[i];
        } else {
            if (item.empty()) break;  // the empty string closes the list
            items->push_back(item);
            item.clear();
        }
    }
    if (!item.empty()) items->push_back(item);
    return true;
}

bool WriteNumber(const wchar_t* name, DWORD value) {
    return Write(name, REG_DWORD, &value, sizeof value);
}

bool WriteBytes(const wchar_t* name, const void* data, DWORD size) {
    return Write(name, REG_BINARY, data, size);
}

bool Erase(const wchar_t* name) {
    kx::UniqueKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, WINCE_PROFILE_KEY, 0, KEY_SET_VALUE, key.Receive()) !=
        ERROR_SUCCESS)
        return true;  // no profile, no value
    const LONG status = ::RegDeleteValueW(key.Get(), name);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

}  // namespace profile
}  // namespace wince
