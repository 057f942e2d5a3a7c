// KxConfig: the management server beyond its plain settings: whether management is in effect,
// clearing the server address, the provisioning document an installer or the server leaves in
// the application directory, and the key file of the server link.
#include "kxcommon/KxConfig.h"

#include "../internal/Boundary.h"
#include "../internal/MemoryProbe.h"
#include "../internal/ScopedHandle.h"
#include "../registry/Settings.h"
#include "KeyFile.h"

#include <cstring>
#include <cwchar>
#include <vector>

using namespace kx::settings;

namespace {

constexpr wchar_t kProvisioningFile[] = L"configmgi.xml";
constexpr wchar_t kKeyFile[] = L"mgi.key";
constexpr int kHostNameChars = 1024;
// A provisioning document is a few kilobytes; anything past this is not one.
constexpr LONGLONG kMaxProvisioningBytes = 16 * 1024 * 1024;
// Key material is a few hundred bytes; a key file is never read for more than this.
constexpr unsigned long long kMaxKeyFileBytes = 16 * 1024 * 1024;
constexpr unsigned char kKeyFlag = 1;

constexpr int kRecoverDone = 0;
constexpr int kRecoverUnreadable = -1;
constexpr int kRecoverRejected = -2;

bool ReadExactly(HANDLE file, void* buffer, DWORD bytes) {
    DWORD read = 0;
    return ::ReadFile(file, buffer, bytes, &read, nullptr) && read == bytes;
}

bool WriteExactly(HANDLE file, const void* buffer, DWORD bytes) {
    DWORD written = 0;
    return ::WriteFile(file, buffer, bytes, &written, nullptr) && written == bytes;
}

// The key file's first `wanted` bytes, or all of a shorter file.
bool ReadKeyFile(HANDLE file, unsigned long long wanted, std::vector<unsigned char>& bytes) {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file, &size)) return false;
    const unsigned long long stored = static_cast<unsigned long long>(size.QuadPart);
    const unsigned long long count = stored < wanted ? stored : wanted;
    if (count > kMaxKeyFileBytes) return false;
    bytes.assign(static_cast<size_t>(count), 0);
    return count == 0 || ReadExactly(file, bytes.data(), static_cast<DWORD>(count));
}

bool UsableComponent(const unsigned char* data, unsigned long length) {
    return data != nullptr && length != 0 && kx::IsReadableRange(data, length);
}

}  // namespace

int KxConfig::GetMgiValid() {
    unsigned long valid = 0;
    Read(kMgiValid, valid);
    if (valid == 0) return 0;
    wchar_t host[kHostNameChars] = L"";
    if (GetMamoHostName(host, kHostNameChars) != KX_OK) return 0;
    return host[0] != L'\0' ? 1 : 0;
}

int KxConfig::GetMgiValidSimple() { return NumberOr(kMgiValid, 0) != 0 ? 1 : 0; }

void KxConfig::EmptyMgiParam() {
    SetMamoHostName(L"");
    SetMamoHostPort(0);
}

int KxConfig::RecoverMgiConfig() {
    wchar_t path[MAX_PATH];
    if (!AppDirFile(kProvisioningFile, path)) return kRecoverDone;
    if (::GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return kRecoverDone;
    // The document stays on every failure, so running out of memory is one more reason to try
    // again later.
    return kx::Boundary(kRecoverUnreadable, [&]() -> int {
        std::vector<unsigned char> text;
        {
            kx::UniqueFile file(::CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file) return kRecoverUnreadable;
            LARGE_INTEGER size;
            if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart == 0 ||
                size.QuadPart > kMaxProvisioningBytes)
                return kRecoverUnreadable;
            const DWORD bytes = static_cast<DWORD>(size.QuadPart);
            // Zero bytes after the text end it as a UTF-16 string whatever its length: a whole
            // zero unit follows even an odd byte count.
            text.assign(bytes + bytes % sizeof(wchar_t) + sizeof(wchar_t), 0);
            if (!ReadExactly(file.Get(), text.data(), bytes)) return kRecoverUnreadable;
        }

        LPWSTR answer = nullptr;
        const HRESULT hr =
            ::DMProcessConfigXML(reinterpret_cast<LPCWSTR>(text.data()), CFGFLAG_PROCESS, &answer);
        delete[] answer;
        // Kept for a later attempt.
        if (hr != S_OK) return kRecoverRejected;

        kx::UniqueKey agent;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kServerAgentKey, 0, KEY_READ, agent.Receive()) ==
            ERROR_SUCCESS)
            ::RegFlushKey(agent.Get());
        ::DeleteFileW(path);
        return kRecoverDone;
    });
}

int KxConfig::GetRsaKeyEx(unsigned char* first, unsigned long& firstLength, unsigned char* second,
                          unsigned long& secondLength, unsigned char& flag) {
    wchar_t path[MAX_PATH];
    if (!AppDirFile(kKeyFile, path)) return 0;
    kx::UniqueFile file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 0;
    return kx::Boundary(0, [&] {
        std::vector<unsigned char> bytes;
        if (!ReadKeyFile(file.Get(), kx::KeyFileBytesWanted(firstLength, secondLength), bytes))
            return 0;
        kx::KeyFileParts parts;
        if (!kx::ParseKeyFile(bytes.data(), bytes.size(), firstLength, secondLength, parts) ||
            !kx::IsWritableRange(first, firstLength) || !kx::IsWritableRange(second, secondLength))
            return 0;
        std::memcpy(first, parts.first, firstLength);
        std::memcpy(second, parts.second, secondLength);
        flag = parts.flag;
        return 1;
    });
}

int KxConfig::SetRsaKeyEx(unsigned char* first, unsigned long& firstLength, unsigned char* second,
                          unsigned long& secondLength) {
    // Checked before the file is opened, so a bad argument never truncates a good key file.
    if (!UsableComponent(first, firstLength) || !UsableComponent(second, secondLength)) return 0;
    wchar_t path[MAX_PATH];
    if (!AppDirFile(kKeyFile, path)) return 0;
    kx::UniqueFile file(::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 0;
    const DWORD l1 = firstLength;
    const DWORD l2 = secondLength;
    const bool written =
        WriteExactly(file.Get(), &l1, sizeof l1) && WriteExactly(file.Get(), first, l1) &&
        WriteExactly(file.Get(), &l2, sizeof l2) && WriteExactly(file.Get(), second, l2) &&
        WriteExactly(file.Get(), &kKeyFlag, sizeof kKeyFlag);
    return written ? 1 : 0;
}

KXSTATUS KxConfig::GetConfigURL(wchar_t* url, unsigned long length, bool /*unused*/) {
    return Read(kConfigUrl, url, length);
}
