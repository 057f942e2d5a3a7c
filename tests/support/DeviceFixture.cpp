#include "DeviceFixture.h"

#include <tlhelp32.h>

#include <wince/wince.h>

#include <cstring>
#include <vector>

namespace kxtest {
namespace {

constexpr wchar_t kDeviceRoot[] = L"C:\\";

// Folders of the device that tests fill; emptied (and removed) before each test.
const wchar_t* const kDeviceFolders[] = {kScratchDir, kServiceDir};
// Files of the device that tests make.
const wchar_t* const kDeviceFiles[] = {kDebugLog};
// Registry trees: the product's, the platform layer's (staged handset, event registrations),
// the stand-ins' records.
const wchar_t* const kDeviceKeys[] = {kVendorKey, kPlatformKey, kStandInsKey, kSmsListenerKey};

constexpr wchar_t kServiceHostImage[] = L"kxsvchost.exe";
constexpr DWORD kHostExitWaitMs = 10000;

template <typename Visit>
void ForEachServiceHost(Visit visit) {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
         more = ::Process32NextW(snapshot, &entry))
        if (::lstrcmpiW(entry.szExeFile, kServiceHostImage) == 0) visit(entry.th32ProcessID);
    ::CloseHandle(snapshot);
}

void DeleteTree(const std::wstring& path) {
    WIN32_FIND_DATAW entry;
    HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = path + L"\\" + name;
            ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(child);
            else
                ::DeleteFileW(child.c_str());
        } while (::FindNextFileW(find, &entry));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(path.c_str());
}

}  // namespace

int CountServiceHosts() {
    int count = 0;
    ForEachServiceHost([&count](DWORD) { ++count; });
    return count;
}

void KillServiceHosts() {
    ForEachServiceHost([](DWORD pid) {
        HANDLE host = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        if (host == nullptr) return;
        ::TerminateProcess(host, 1);
        ::WaitForSingleObject(host, kHostExitWaitMs);
        ::CloseHandle(host);
    });
}

void ResetDevice() {
    ASSERT_TRUE(::SetCurrentDirectoryW(kDeviceRoot));
    KillServiceHosts();
    ASSERT_EQ(CountServiceHosts(), 0);
    for (const wchar_t* key : kDeviceKeys) {
        const LSTATUS deleted = ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, key);
        ASSERT_TRUE(deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND) << deleted;
    }
    ASSERT_TRUE(WinceClearDevice()) << ::GetLastError();
    for (const wchar_t* file : kDeviceFiles) {
        ::SetFileAttributesW(file, FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(file);
    }
    for (const wchar_t* folder : kDeviceFolders) {
        DeleteTree(folder);
        ASSERT_EQ(::GetFileAttributesW(folder), INVALID_FILE_ATTRIBUTES);
    }
}

bool RawKeyExists(const wchar_t* keyPath) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(key);
    return true;
}

bool RawValueExists(const wchar_t* keyPath, const wchar_t* valueName) {
    DWORD type = 0;
    std::string bytes;
    return RawGetValue(keyPath, valueName, &type, &bytes);
}

void RawSetValue(const wchar_t* keyPath, const wchar_t* valueName, DWORD type, const void* data,
                 DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(::RegSetValueExW(key, valueName, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
}

bool RawGetValue(const wchar_t* keyPath, const wchar_t* valueName, DWORD* type,
                 std::string* bytes) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    bool ok = ::RegQueryValueExW(key, valueName, nullptr, type, nullptr, &size) == ERROR_SUCCESS;
    if (ok) {
        std::vector<BYTE> data(size + 1);
        ok = ::RegQueryValueExW(key, valueName, nullptr, type, data.data(), &size) == ERROR_SUCCESS;
        bytes->assign(reinterpret_cast<const char*>(data.data()), size);
    }
    ::RegCloseKey(key);
    return ok;
}

void StageHandset(const wchar_t* name) {
    ASSERT_TRUE(WinceStageHandset(name)) << "cannot stage handset, error " << ::GetLastError();
}

void StageProfileNumber(const wchar_t* name, DWORD value) {
    RawSetValue(WINCE_PROFILE_KEY, name, REG_DWORD, &value, sizeof value);
}

void StageProfileText(const wchar_t* name, const wchar_t* text) {
    RawSetValue(WINCE_PROFILE_KEY, name, REG_SZ, text,
                static_cast<DWORD>((::lstrlenW(text) + 1) * sizeof(wchar_t)));
}

void StageProfileList(const wchar_t* name, std::initializer_list<const wchar_t*> items) {
    std::wstring packed;
    for (const wchar_t* item : items) packed += std::wstring(item) + L'\0';
    packed += L'\0';
    RawSetValue(WINCE_PROFILE_KEY, name, REG_MULTI_SZ, packed.data(),
                static_cast<DWORD>(packed.size() * sizeof(wchar_t)));
}

void StageProfileBytes(const wchar_t* name, const std::string& bytes) {
    RawSetValue(WINCE_PROFILE_KEY, name, REG_BINARY, bytes.data(),
                static_cast<DWORD>(bytes.size()));
}

DWORD ProfileNumber(const wchar_t* name, DWORD fallback) {
    DWORD type = 0;
    std::string bytes;
    if (!RawGetValue(WINCE_PROFILE_KEY, name, &type, &bytes) || bytes.size() != sizeof(DWORD))
        return fallback;
    DWORD value = 0;
    std::memcpy(&value, bytes.data(), sizeof value);
    return value;
}

std::wstring SiblingPath(const wchar_t* fileName) {
    wchar_t self[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring path(self, length < MAX_PATH ? length : 0);
    return path.substr(0, path.find_last_of(L'\\') + 1) + fileName;
}

RunningProgram::RunningProgram(const std::wstring& path) {
    std::wstring commandLine = L"\"" + path + L"\" 60000";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    started_ = ::CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                nullptr, &startup, &process_) != FALSE;
    if (started_) ::CloseHandle(process_.hThread);
}

RunningProgram::~RunningProgram() {
    if (!started_) return;
    ::TerminateProcess(process_.hProcess, 0);
    ::WaitForSingleObject(process_.hProcess, 5000);
    ::CloseHandle(process_.hProcess);
}

DWORD RunningProgram::ExitCode(DWORD waitMs) const {
    ::WaitForSingleObject(process_.hProcess, waitMs);
    DWORD code = 0;
    ::GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

std::wstring MakeScratchFile(const std::wstring& name, const std::string& content) {
    ::CreateDirectoryW(kScratchDir, nullptr);
    const std::wstring path = std::wstring(kScratchDir) + L"\\" + name;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << "cannot create scratch file";
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        ::CloseHandle(file);
    }
    return path;
}

}  // namespace kxtest
