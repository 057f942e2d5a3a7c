// Registry access: typed values under HKEY_LOCAL_MACHINE, a scoped key, a value query and the
// 16-byte time records.
//
// Words used here:
//   key path    a path relative to a root key, such as "SOFTWARE\Quorlend\Scutara\2.0";
//   value       a named datum of a key: number (type 4, 4 bytes), text (type 1, UTF-16 with its
//               terminator), bytes (type 3) or time record (type 3, a 16-byte SYSTEMTIME);
//   tail        the last seven characters of a value name, on which caller numbers are matched.
//
// Contracts for the whole family:
//   - Every status is 0 on success, KX_E_REGISTRY (0x30000) on any registry failure (bad buffer,
//     key missing, value missing, value larger than the buffer, write refused).
//   - A failed read leaves the caller's output untouched, also when the value is too large.
//   - Reads take a root key; writes, deletions, enumerations and existence tests always work
//     under HKEY_LOCAL_MACHINE. Writes create the whole key path when it is missing.
//   - No key stays open between calls.
#pragma once

#include "CallerInfo.h"
#include "KxExport.h"
#include "KxStatus.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <vector>

// Value access. The class has no data; construct a temporary and call through it.
class KXCOMMON_API KxRegUtil {
public:
    // Called for each value of a key whose data reads as text (at most 1023 characters).
    // Returning 0 stops the walk.
    typedef int (*EnumKeysCallback)(const wchar_t* name, const wchar_t* data, void* context);

    // Reads the value's bytes; `size` is the buffer's capacity in bytes. The stored type is not
    // checked: whatever is stored is copied when it fits.
    KXSTATUS GetValue(const wchar_t* keyPath, const wchar_t* valueName, unsigned char* buffer,
                      unsigned long size, HKEY root = HKEY_LOCAL_MACHINE);
    // Reads a text; `length` is the buffer's capacity in characters, terminator included. The
    // text handed back is always terminated within the buffer.
    KXSTATUS GetValue(const wchar_t* keyPath, const wchar_t* valueName, wchar_t* buffer,
                      unsigned long length, HKEY root = HKEY_LOCAL_MACHINE);
    // Reads up to 4 bytes into the number (a 2-byte value fills only its low 2 bytes).
    KXSTATUS GetValue(const wchar_t* keyPath, const wchar_t* valueName, unsigned long& number,
                      HKEY root = HKEY_LOCAL_MACHINE);

    // Writes a text with its terminator: (length + 1) * 2 bytes of type 1.
    KXSTATUS SetValue(const wchar_t* keyPath, const wchar_t* valueName, const wchar_t* text);
    // Writes a number: 4 bytes of type 4.
    KXSTATUS SetValue(const wchar_t* keyPath, const wchar_t* valueName, unsigned long number);
    // Writes exactly `size` bytes of type 3; an empty value cannot be written.
    KXSTATUS SetValue(const wchar_t* keyPath, const wchar_t* valueName, const unsigned char* data,
                      unsigned long size);

    // Deletes one value; a missing key or value gives KX_E_REGISTRY.
    KXSTATUS DelValue(const wchar_t* keyPath, const wchar_t* valueName);

    // 0 when the key holds a value of exactly that name, or, for a name longer than seven
    // characters, a value name (of at least seven characters) ending in the same seven
    // characters (compared code unit by code unit). KX_E_NO_MATCH when neither holds;
    // KX_E_REGISTRY when the key is missing.
    KXSTATUS QueryKeyExist(const wchar_t* keyPath, const wchar_t* valueName);

    // Walks the values of one key (not its subkeys), calling `callback` for each whose data
    // reads as text. KX_E_INVALIDARG for a null callback; 0 also when the callback stopped it.
    KXSTATUS EnumKeys(const wchar_t* keyPath, EnumKeysCallback callback, void* context);

    // Appends, for every subkey, a new 1024-character buffer holding the key path joined with
    // the subkey's name. The caller owns the buffers until ReleaseKeyList.
    KXSTATUS EnumSubKey(const wchar_t* keyPath, std::vector<wchar_t*>& keys);
    // Frees every buffer of the list and empties it.
    KXSTATUS ReleaseKeyList(std::vector<wchar_t*>& keys);

    // Fills caller-list entries from the values of one key: value name to Number, value data
    // (taken as text, whatever its type) to Name. On entry `count` is the array's capacity in
    // entries. When the key holds more values than that, `count` becomes the number needed and
    // the status is KX_E_ARRAY_TOO_SMALL with the array untouched: allocate that many and call
    // again. On success `count` is the number of entries written, in the registry's value
    // order; a value that cannot be delivered whole (a name longer than 259 characters, data
    // longer than 1023 characters) ends the walk, keeping the entries before it. A missing key
    // gives KX_E_REGISTRY, a null or unwritable array KX_E_INVALIDARG; both leave array and
    // count untouched. "Vaule" is the product's own spelling, by which its programs link to it:
    // never correct it.
    KXSTATUS EnumVaule(const wchar_t* keyPath, CallerInfo_tag* entries, unsigned long& count);

private:
    KXSTATUS InternalGetValue(const wchar_t* keyPath, const wchar_t* valueName,
                              unsigned char* buffer, unsigned long size, HKEY root,
                              unsigned long* bytesRead = nullptr);
    KXSTATUS InternalSetValue(const wchar_t* keyPath, const wchar_t* valueName, DWORD type,
                              const unsigned char* data, unsigned long size);
};

// A key held open from construction to destruction.
//
// Copies are independent: copying opens a second handle to the same key, so each RegKey closes
// only its own handle. Moving hands the handle over and leaves the source holding nothing.
class KXCOMMON_API RegKey {
public:
    // Opens `keyPath` under `root`, or with `create` creates it (and its missing parents) first.
    // `keyClass` is the class text given to a newly created key; null gives none.
    explicit RegKey(const wchar_t* keyPath, bool create = false, HKEY root = HKEY_LOCAL_MACHINE,
                    const wchar_t* keyClass = nullptr);
    ~RegKey();

    RegKey(const RegKey& other);
    RegKey& operator=(const RegKey& other);
    RegKey(RegKey&& other) noexcept;
    RegKey& operator=(RegKey&& other) noexcept;

    // True when the key existed before this object opened it.
    bool AlreadyExists() const;
    // The key, or null when opening or creating failed.
    operator HKEY() const;

    static const DWORD kCreatedNew = REG_CREATED_NEW_KEY;          // 1
    static const DWORD kOpenedExisting = REG_OPENED_EXISTING_KEY;  // 2

private:
    void Close();

    DWORD disposition_;  // 0 while nothing is held, else kCreatedNew or kOpenedExisting
    HKEY key_;
};

// The result of one value query. `name` and `data` are not owned: `data` points into the buffer
// of the RegQV that produced it and stays valid until that object's next query or destruction.
struct KXCOMMON_API RegValueData {
    RegValueData();
    RegValueData(const wchar_t* name, DWORD type, const unsigned char* data, DWORD size);

    const wchar_t* name;
    DWORD type;
    const unsigned char* data;
    DWORD size;  // bytes in data
};

// Queries values of a key the caller keeps open (RegQV never closes it), reusing one buffer that
// grows to the largest value seen. Copies get a buffer of their own.
class KXCOMMON_API RegQV {
public:
    explicit RegQV(HKEY key);
    ~RegQV();
    RegQV(const RegQV& other);
    RegQV& operator=(const RegQV& other);

    // Fills `out` with the value's type and bytes. False, with `out` untouched, when the value
    // cannot be read.
    bool operator()(const wchar_t* valueName, RegValueData& out);

private:
    HKEY key_;
    DWORD capacity_;  // bytes in buffer_
    unsigned char* buffer_;
};

// A pair of texts kept together; both pointers are stored as given and never owned. The library
// itself never uses it: it stays exported because the product's programs were built against it,
// and which text is which is their convention, not the library's.
struct KXCOMMON_API RegKeyData {
    RegKeyData(const wchar_t* first, const wchar_t* second);

    const wchar_t* first;
    const wchar_t* second;
};

// Time records: a SYSTEMTIME stored as exactly 16 bytes of type 3. Both functions create the key
// when it is missing. RegGetSystemTime is true only when exactly 16 bytes came back; a shorter
// value still overwrites the record's first bytes.
KXCOMMON_API bool RegSetSystemTime(const wchar_t* keyPath, const wchar_t* valueName,
                                   const SYSTEMTIME* time, HKEY root = HKEY_LOCAL_MACHINE);
KXCOMMON_API bool RegGetSystemTime(const wchar_t* keyPath, const wchar_t* valueName,
                                   SYSTEMTIME* time, HKEY root = HKEY_LOCAL_MACHINE);
