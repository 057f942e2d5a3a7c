#include "kxcommon/KxRegUtil.h"

#include "kxcommon/HelpAPI.h"

#include "../internal/Boundary.h"
#include "../internal/MemoryProbe.h"
#include "../internal/RegistryValue.h"
#include "../internal/kxplatform.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <vector>

namespace {

// Keys are opened and created for reading and writing together.
constexpr REGSAM kKeyAccess = KEY_READ | KEY_WRITE;
static_assert(kKeyAccess == 0x2001F, "registry access mask");

// Enumeration buffers: value and subkey names, and texts read during a walk.
constexpr DWORD kNameChars = 1024;
constexpr DWORD kExactQueryBytes = 2048;
constexpr size_t kTailChars = 7;

// Reads that fit this many bytes go through a stack buffer; larger ones through the heap.
constexpr DWORD kStackReadBytes = 2048;

constexpr DWORD kTimeRecordBytes = sizeof(SYSTEMTIME);
static_assert(kTimeRecordBytes == 16, "time records are 16 bytes");

// A registry call that fails answers the library's status and leaves the platform's own code for
// GetLastError, so that a caller can still tell a missing value from a denied one.
bool FailWith(LSTATUS platformCode) {
    ::SetLastError(static_cast<DWORD>(platformCode));
    return false;
}

KXSTATUS StatusOf(LSTATUS platformCode) {
    if (platformCode == ERROR_SUCCESS) return KX_OK;
    FailWith(platformCode);
    return KX_E_REGISTRY;
}

kx::UniqueKey OpenKey(HKEY root, const wchar_t* keyPath) {
    kx::UniqueKey key;
    const LSTATUS opened = ::RegOpenKeyExW(root, keyPath, 0, kKeyAccess, key.Receive());
    if (opened != ERROR_SUCCESS) {
        key.Reset();
        FailWith(opened);
    }
    return key;
}

kx::UniqueKey CreateKey(HKEY root, const wchar_t* keyPath, REGSAM access) {
    kx::UniqueKey key;
    const LSTATUS created =
        ::RegCreateKeyExW(root, keyPath, 0, nullptr, 0, access, nullptr, key.Receive(), nullptr);
    if (created != ERROR_SUCCESS) {
        key.Reset();
        FailWith(created);
    }
    return key;
}

// Reads a value of at most `capacity` bytes and hands the bytes to `deliver` only when the whole
// value was read: the registry may write into a buffer that turns out too small, and that must
// never reach the caller's. Each attempt is one query, so a value that another writer replaces
// meanwhile is read whole, old or new. Small values need only the stack; a larger one grows the
// scratch (without throwing) to the size the registry reports and is asked for again, until it
// fits. The size the caller claims bounds the value but never the allocation.
template <typename Deliver>
bool ReadValue(HKEY key, const wchar_t* valueName, DWORD capacity, Deliver deliver) {
    unsigned char stack[kStackReadBytes];
    std::unique_ptr<unsigned char[]> heap;
    unsigned char* scratch = stack;
    DWORD room = std::min(capacity, kStackReadBytes);
    for (;;) {
        DWORD got = room;
        const LONG result = ::RegQueryValueExW(key, valueName, nullptr, nullptr, scratch, &got);
        // A value the caller's buffer cannot take is refused as the platform refuses it.
        if (result == ERROR_SUCCESS)
            return (got <= room && deliver(scratch, got)) || FailWith(ERROR_MORE_DATA);
        // The scratch only ever grows, so this ends once it holds the largest value seen.
        if (result != ERROR_MORE_DATA || got > capacity || got <= room) return FailWith(result);
        heap.reset(new (std::nothrow) unsigned char[got]);
        if (!heap) return FailWith(ERROR_NOT_ENOUGH_MEMORY);
        scratch = heap.get();
        room = got;
    }
}

DWORD CountValues(HKEY key, bool* ok) {
    DWORD count = 0;
    const LSTATUS asked = ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr,
                                             nullptr, &count, nullptr, nullptr, nullptr, nullptr);
    *ok = asked == ERROR_SUCCESS || FailWith(asked);
    return count;
}

DWORD CountSubKeys(HKEY key, bool* ok) {
    DWORD count = 0;
    const LSTATUS asked = ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, nullptr,
                                             nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    *ok = asked == ERROR_SUCCESS || FailWith(asked);
    return count;
}

// Reads the name of value `index` into a cleared buffer of kNameChars characters.
bool ReadValueName(HKEY key, DWORD index, wchar_t (&name)[kNameChars]) {
    std::wmemset(name, 0, kNameChars);
    DWORD chars = kNameChars;
    return ::RegEnumValueW(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

bool HasTail(const wchar_t* name, const wchar_t* tail) {
    const size_t length = std::wcslen(name);
    return length >= kTailChars && std::wmemcmp(name + length - kTailChars, tail, kTailChars) == 0;
}

// Caller-list enumeration reads each value's data into this many bytes.
constexpr DWORD kEntryDataBytes = 2048;
constexpr DWORD kEntryDataChars = kEntryDataBytes / sizeof(wchar_t);

// Fills one caller entry from a value read by index. False, with the entry untouched, when the
// value does not fit the record whole: a name beyond Number's 259 characters, or data that holds
// no terminator within Name's 1024 characters.
bool FillCallerEntry(const wchar_t* name, DWORD nameChars, const wchar_t* data, DWORD dataBytes,
                     CallerInfo_tag& entry) {
    if (nameChars >= KX_CALLER_NUMBER_CHARS) return false;
    // An odd trailing byte is no character of the text.
    const size_t textChars = std::min<size_t>(std::wcslen(data), dataBytes / sizeof(wchar_t));
    if (textChars >= KX_CALLER_NAME_CHARS) return false;

    // The name goes in with its terminator and one more NUL where the field has room for it.
    const size_t numberChars = std::min<size_t>(nameChars + 2, KX_CALLER_NUMBER_CHARS);
    std::wmemcpy(entry.Number, name, nameChars);
    std::wmemset(entry.Number + nameChars, 0, numberChars - nameChars);
    std::wmemcpy(entry.Name, data, textChars);
    std::wmemset(entry.Name + textChars, 0, KX_CALLER_NAME_CHARS - textChars);
    return true;
}

}  // namespace

// ---- KxRegUtil ----------------------------------------------------------------------------

KXSTATUS KxRegUtil::InternalGetValue(const wchar_t* keyPath, const wchar_t* valueName,
                                     unsigned char* buffer, unsigned long size, HKEY root,
                                     unsigned long* bytesRead) {
    if (size == 0 || !kx::IsWritableRange(buffer, size)) return StatusOf(ERROR_INVALID_PARAMETER);
    kx::UniqueKey key = OpenKey(root, keyPath);
    if (!key) return KX_E_REGISTRY;
    const bool read =
        ReadValue(key.Get(), valueName, size, [&](const unsigned char* data, DWORD got) {
            std::memcpy(buffer, data, got);
            if (bytesRead != nullptr) *bytesRead = got;
            return true;
        });
    return read ? KX_OK : KX_E_REGISTRY;
}

KXSTATUS KxRegUtil::InternalSetValue(const wchar_t* keyPath, const wchar_t* valueName, DWORD type,
                                     const unsigned char* data, unsigned long size) {
    if (size == 0 || !kx::IsReadableRange(data, size)) return StatusOf(ERROR_INVALID_PARAMETER);
    return StatusOf(kx::CreateKeyAndSetValue(HKEY_LOCAL_MACHINE, keyPath, valueName, type, data,
                                             size, kKeyAccess));
}

KXSTATUS KxRegUtil::GetValue(const wchar_t* keyPath, const wchar_t* valueName,
                             unsigned char* buffer, unsigned long size, HKEY root) {
    return InternalGetValue(keyPath, valueName, buffer, size, root);
}

KXSTATUS KxRegUtil::GetValue(const wchar_t* keyPath, const wchar_t* valueName, wchar_t* buffer,
                             unsigned long length, HKEY root) {
    // The caller's buffer is checked before anything is read or allocated.
    if (length == 0 || length > MAXDWORD / sizeof(wchar_t) ||
        !kx::IsWritableRange(buffer, length * sizeof(wchar_t)))
        return StatusOf(ERROR_INVALID_PARAMETER);
    kx::UniqueKey key = OpenKey(root, keyPath);
    if (!key) return KX_E_REGISTRY;
    // Whether the text can be terminated within the caller's buffer is known only after the
    // read, and a refused text must leave the buffer untouched.
    const auto deliver = [&](const unsigned char* data, DWORD bytes) {
        const size_t units = bytes / sizeof(wchar_t);
        wchar_t last = L'\0';
        if (units > 0) std::memcpy(&last, data + (units - 1) * sizeof(wchar_t), sizeof last);
        // Texts written by other tools may lack the terminator; add it where it fits.
        const bool terminated = units > 0 && last == L'\0';
        if (!terminated && units >= length) return false;
        std::memcpy(buffer, data, bytes);
        if (!terminated) buffer[units] = L'\0';
        return true;
    };
    return ReadValue(key.Get(), valueName, static_cast<DWORD>(length * sizeof(wchar_t)), deliver)
               ? KX_OK
               : KX_E_REGISTRY;
}

KXSTATUS KxRegUtil::GetValue(const wchar_t* keyPath, const wchar_t* valueName,
                             unsigned long& number, HKEY root) {
    // The stored bytes land in the low bytes of the caller's number, as the device stores them.
    DWORD value = number;
    const KXSTATUS status = InternalGetValue(
        keyPath, valueName, reinterpret_cast<unsigned char*>(&value), sizeof value, root);
    if (status == KX_OK) number = value;
    return status;
}

KXSTATUS KxRegUtil::SetValue(const wchar_t* keyPath, const wchar_t* valueName,
                             const wchar_t* text) {
    if (text == nullptr) return StatusOf(ERROR_INVALID_PARAMETER);
    const size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
    if (bytes > MAXDWORD) return StatusOf(ERROR_INVALID_PARAMETER);
    return InternalSetValue(keyPath, valueName, REG_SZ,
                            reinterpret_cast<const unsigned char*>(text),
                            static_cast<unsigned long>(bytes));
}

KXSTATUS KxRegUtil::SetValue(const wchar_t* keyPath, const wchar_t* valueName,
                             unsigned long number) {
    const DWORD value = number;
    return InternalSetValue(keyPath, valueName, REG_DWORD,
                            reinterpret_cast<const unsigned char*>(&value), sizeof value);
}

KXSTATUS KxRegUtil::SetValue(const wchar_t* keyPath, const wchar_t* valueName,
                             const unsigned char* data, unsigned long size) {
    return InternalSetValue(keyPath, valueName, REG_BINARY, data, size);
}

KXSTATUS KxRegUtil::DelValue(const wchar_t* keyPath, const wchar_t* valueName) {
    kx::UniqueKey key = OpenKey(HKEY_LOCAL_MACHINE, keyPath);
    if (!key) return KX_E_REGISTRY;
    return StatusOf(::RegDeleteValueW(key.Get(), valueName));
}

KXSTATUS KxRegUtil::QueryKeyExist(const wchar_t* keyPath, const wchar_t* valueName) {
    kx::UniqueKey key = OpenKey(HKEY_LOCAL_MACHINE, keyPath);
    if (!key) return KX_E_REGISTRY;

    unsigned char exact[kExactQueryBytes];
    DWORD size = sizeof exact;
    if (::RegQueryValueExW(key.Get(), valueName, nullptr, nullptr, exact, &size) == ERROR_SUCCESS)
        return KX_OK;

    // Numbers are matched on their last seven digits, so "+886912345678" finds "0912345678".
    const size_t length = valueName != nullptr ? std::wcslen(valueName) : 0;
    if (length <= kTailChars) return KX_E_NO_MATCH;
    const wchar_t* tail = valueName + length - kTailChars;

    // The count is read once: values added while the walk runs are not looked at.
    bool counted = false;
    const DWORD count = CountValues(key.Get(), &counted);
    if (!counted) return KX_E_NO_MATCH;
    wchar_t name[kNameChars];
    for (DWORD index = 0; index < count; ++index) {
        if (!ReadValueName(key.Get(), index, name)) break;
        if (HasTail(name, tail)) return KX_OK;
    }
    return KX_E_NO_MATCH;
}

KXSTATUS KxRegUtil::EnumKeys(const wchar_t* keyPath, EnumKeysCallback callback, void* context) {
    if (callback == nullptr) return KX_E_INVALIDARG;
    kx::UniqueKey key = OpenKey(HKEY_LOCAL_MACHINE, keyPath);
    if (!key) return KX_E_REGISTRY;
    bool counted = false;
    const DWORD count = CountValues(key.Get(), &counted);
    if (!counted) return KX_E_REGISTRY;

    wchar_t name[kNameChars];
    wchar_t data[kNameChars];
    for (DWORD index = 0; index < count; ++index) {
        if (!ReadValueName(key.Get(), index, name)) break;
        std::wmemset(data, 0, kNameChars);
        if (GetValue(keyPath, name, data, kNameChars, HKEY_LOCAL_MACHINE) != KX_OK) continue;
        if (callback(name, data, context) == 0) break;
    }
    return KX_OK;
}

KXSTATUS KxRegUtil::EnumSubKey(const wchar_t* keyPath, std::vector<wchar_t*>& keys) {
    return kx::Boundary(KX_E_REGISTRY, [&]() -> KXSTATUS {
        kx::UniqueKey key = OpenKey(HKEY_LOCAL_MACHINE, keyPath);
        if (!key) return KX_E_REGISTRY;
        bool counted = false;
        const DWORD count = CountSubKeys(key.Get(), &counted);
        if (!counted) return KX_E_REGISTRY;

        // Collected apart from the caller's list, which gets all of them or none.
        std::vector<std::unique_ptr<wchar_t[]>> found;
        wchar_t name[kNameChars];
        for (DWORD index = 0; index < count; ++index) {
            std::wmemset(name, 0, kNameChars);
            DWORD chars = kNameChars;
            if (::RegEnumKeyExW(key.Get(), index, name, &chars, nullptr, nullptr, nullptr,
                                nullptr) != ERROR_SUCCESS)
                break;
            std::unique_ptr<wchar_t[]> path(new wchar_t[kNameChars]());
            HelpAPI::CatPathWithFile(keyPath, name, path.get(), kNameChars);
            found.push_back(std::move(path));
        }
        keys.reserve(keys.size() + found.size());
        for (std::unique_ptr<wchar_t[]>& path : found) keys.push_back(path.release());
        return KX_OK;
    });
}

KXSTATUS KxRegUtil::ReleaseKeyList(std::vector<wchar_t*>& keys) {
    for (wchar_t* path : keys) delete[] path;
    keys.clear();
    return KX_OK;
}

KXSTATUS KxRegUtil::EnumVaule(const wchar_t* keyPath, CallerInfo_tag* entries,
                              unsigned long& count) {
    kx::UniqueKey key = OpenKey(HKEY_LOCAL_MACHINE, keyPath);
    if (!key) return KX_E_REGISTRY;
    bool counted = false;
    const DWORD values = CountValues(key.Get(), &counted);
    if (!counted) return KX_E_REGISTRY;
    if (count < values) {
        count = values;
        return KX_E_ARRAY_TOO_SMALL;
    }
    if (values > 0 && !kx::IsWritableRange(entries, values * sizeof(CallerInfo_tag)))
        return KX_E_INVALIDARG;

    wchar_t name[kNameChars];
    // One spare unit keeps the data terminated even when all 2048 bytes are text.
    wchar_t data[kEntryDataChars + 1];
    DWORD delivered = 0;
    for (; delivered < values; ++delivered) {
        DWORD nameChars = kNameChars;
        DWORD dataBytes = kEntryDataBytes;
        std::wmemset(data, 0, kEntryDataChars + 1);
        if (::RegEnumValueW(key.Get(), delivered, name, &nameChars, nullptr, nullptr,
                            reinterpret_cast<BYTE*>(data), &dataBytes) != ERROR_SUCCESS)
            break;
        if (!FillCallerEntry(name, nameChars, data, dataBytes, entries[delivered])) break;
    }
    // Entries past a value that could not be delivered (or one deleted meanwhile by another
    // writer) are not reported, so the caller never reads an entry that was not filled.
    count = delivered;
    return KX_OK;
}

// ---- RegKey -------------------------------------------------------------------------------

RegKey::RegKey(const wchar_t* keyPath, bool create, HKEY root, const wchar_t* keyClass)
    : disposition_(0), key_(nullptr) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    LSTATUS result = ERROR_SUCCESS;
    if (create) {
        result = ::RegCreateKeyExW(root, keyPath, 0, const_cast<wchar_t*>(keyClass), 0, kKeyAccess,
                                   nullptr, &key, &disposition);
    } else {
        result = ::RegOpenKeyExW(root, keyPath, 0, kKeyAccess, &key);
        if (result == ERROR_SUCCESS) disposition = kOpenedExisting;
    }
    // The handle tells success; a failure's code is left for GetLastError.
    if (result != ERROR_SUCCESS) FailWith(result);
    if (key != nullptr) {
        key_ = key;
        disposition_ = disposition;
    }
}

RegKey::~RegKey() { Close(); }

RegKey::RegKey(const RegKey& other) : disposition_(0), key_(nullptr) { *this = other; }

RegKey& RegKey::operator=(const RegKey& other) {
    if (this == &other) return *this;
    HKEY copy = nullptr;
    // Opening the empty subpath of a key gives a second handle to the same key.
    if (other.key_ != nullptr &&
        ::RegOpenKeyExW(other.key_, nullptr, 0, kKeyAccess, &copy) != ERROR_SUCCESS)
        copy = nullptr;
    Close();
    key_ = copy;
    disposition_ = copy != nullptr ? other.disposition_ : 0;
    return *this;
}

RegKey::RegKey(RegKey&& other) noexcept : disposition_(other.disposition_), key_(other.key_) {
    other.disposition_ = 0;
    other.key_ = nullptr;
}

RegKey& RegKey::operator=(RegKey&& other) noexcept {
    if (this != &other) {
        Close();
        disposition_ = other.disposition_;
        key_ = other.key_;
        other.disposition_ = 0;
        other.key_ = nullptr;
    }
    return *this;
}

bool RegKey::AlreadyExists() const { return disposition_ == kOpenedExisting; }

RegKey::operator HKEY() const { return key_; }

void RegKey::Close() {
    if (key_ != nullptr) ::RegCloseKey(key_);
    key_ = nullptr;
    disposition_ = 0;
}

// ---- RegValueData, RegQV, RegKeyData -----------------------------------------------------

RegValueData::RegValueData() : name(nullptr), type(0), data(nullptr), size(0) {}

RegValueData::RegValueData(const wchar_t* name_, DWORD type_, const unsigned char* data_,
                           DWORD size_)
    : name(name_), type(type_), data(data_), size(size_) {}

RegQV::RegQV(HKEY key) : key_(key), capacity_(0), buffer_(nullptr) {}

RegQV::~RegQV() { delete[] buffer_; }

RegQV::RegQV(const RegQV& other) : key_(other.key_), capacity_(0), buffer_(nullptr) {
    *this = other;
}

RegQV& RegQV::operator=(const RegQV& other) {
    if (this == &other) return *this;
    // The buffer only carries the last value read; a copy without memory starts without one.
    unsigned char* copy =
        other.capacity_ != 0 ? new (std::nothrow) unsigned char[other.capacity_] : nullptr;
    if (copy != nullptr) std::memcpy(copy, other.buffer_, other.capacity_);
    delete[] buffer_;
    key_ = other.key_;
    capacity_ = copy != nullptr ? other.capacity_ : 0;
    buffer_ = copy;
    return *this;
}

bool RegQV::operator()(const wchar_t* valueName, RegValueData& out) {
    DWORD type = 0;
    DWORD size = 0;
    const LSTATUS sized = ::RegQueryValueExW(key_, valueName, nullptr, &type, nullptr, &size);
    if (sized != ERROR_SUCCESS) return FailWith(sized);
    for (;;) {
        if (size > capacity_) {
            unsigned char* larger = new (std::nothrow) unsigned char[size];
            if (larger == nullptr) return FailWith(ERROR_NOT_ENOUGH_MEMORY);
            delete[] buffer_;
            buffer_ = larger;
            capacity_ = size;
        }
        // A value that another writer made larger since its size was asked is asked for again
        // with room for its new size, so the record holds the old value or the new one.
        DWORD got = capacity_;
        const LONG result = ::RegQueryValueExW(key_, valueName, nullptr, &type, buffer_, &got);
        if (result == ERROR_SUCCESS) {
            out = RegValueData(valueName, type, buffer_, got);
            return true;
        }
        if (result != ERROR_MORE_DATA || got <= capacity_) return FailWith(result);
        size = got;
    }
}

RegKeyData::RegKeyData(const wchar_t* first_, const wchar_t* second_)
    : first(first_), second(second_) {}

// ---- Time records -------------------------------------------------------------------------

// The device ignores the access mask of these two calls; on desktop Windows the equivalent of
// that unchecked access is read and write together.
bool RegSetSystemTime(const wchar_t* keyPath, const wchar_t* valueName, const SYSTEMTIME* time,
                      HKEY root) {
    if (time == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
    return StatusOf(kx::CreateKeyAndSetValue(root, keyPath, valueName, REG_BINARY, time,
                                             kTimeRecordBytes, kKeyAccess)) == KX_OK;
}

bool RegGetSystemTime(const wchar_t* keyPath, const wchar_t* valueName, SYSTEMTIME* time,
                      HKEY root) {
    if (time == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
    kx::UniqueKey key = CreateKey(root, keyPath, kKeyAccess);
    if (!key) return false;
    DWORD size = kTimeRecordBytes;
    const LSTATUS read = ::RegQueryValueExW(key.Get(), valueName, nullptr, nullptr,
                                            reinterpret_cast<BYTE*>(time), &size);
    if (read != ERROR_SUCCESS) return FailWith(read);
    // A record of another size is no time record.
    return size == kTimeRecordBytes || FailWith(ERROR_INVALID_DATA);
}
