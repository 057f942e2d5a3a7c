#include "DeviceFixture.h"

#include <tlhelp32.h>

namespace kxtest {
namespace {

constexpr DWORD kExitWaitMs = 10000;  // a guard only: an ended process goes at once

// The process ids of the running service hosts.
std::vector<DWORD> ServiceHosts() {
    std::vector<DWORD> hosts;
    const kx::UniqueSnapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{sizeof entry};
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
         more = ::Process32NextW(snapshot.Get(), &entry))
        if (::lstrcmpiW(entry.szExeFile, L"kxsvchost.exe") == 0)
            hosts.push_back(entry.th32ProcessID);
    return hosts;
}

void DeleteTree(const std::wstring& path) {
    WIN32_FIND_DATAW entry;
    const kx::UniqueFind find(::FindFirstFileW((path + L"\\*").c_str(), &entry));
    for (BOOL more = find.IsValid(); more; more = ::FindNextFileW(find.Get(), &entry)) {
        const std::wstring name = entry.cFileName, child = path + L"\\" + name;
        if (name == L"." || name == L"..") continue;
        ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) DeleteTree(child);
        ::DeleteFileW(child.c_str());
    }
    ::RemoveDirectoryW(path.c_str());
}

void Profile(const wchar_t* name, DWORD type, const void* data, size_t size) {
    RawSetValue(WINCE_PROFILE_KEY, name, type, data, static_cast<DWORD>(size));
}

}  // namespace

int CountServiceHosts() { return static_cast<int>(ServiceHosts().size()); }

void KillServiceHosts() {
    for (DWORD pid : ServiceHosts()) {
        const kx::UniqueHandle host(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
        ::TerminateProcess(host.Get(), 1);
        ::WaitForSingleObject(host.Get(), kExitWaitMs);
    }
}

// The device root is drive C: of the test prefix. Deleted: the product's registry tree, the
// platform layer's (staged handset, event registrations), the stand-ins' records, the SMS
// listener's registration, the debug log and the folders tests fill.
void ResetDevice() {
    ASSERT_TRUE(::SetCurrentDirectoryW(L"C:\\"));
    KillServiceHosts();
    ASSERT_EQ(CountServiceHosts(), 0);
    for (const wchar_t* key : {kVendorKey, kPlatformKey, kStandInsKey, kSmsListenerKey}) {
        const LSTATUS deleted = ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, key);
        ASSERT_TRUE(deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND) << deleted;
    }
    ASSERT_TRUE(WinceClearDevice()) << ::GetLastError();
    ::SetFileAttributesW(kDebugLog, FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(kDebugLog);
    for (const wchar_t* folder : {kScratchDir, kServiceDir}) DeleteTree(folder);
    ASSERT_EQ(::GetFileAttributesW(kScratchDir) & ::GetFileAttributesW(kServiceDir),
              INVALID_FILE_ATTRIBUTES);
}

bool RawKeyExists(const wchar_t* path) {
    kx::UniqueKey key;
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
}

bool RawValueExists(const wchar_t* key, const wchar_t* name) {
    return RawGetValue(key, name, nullptr, nullptr);
}

void RawSetValue(const wchar_t* path, const wchar_t* name, DWORD type, const void* data,
                 DWORD size) {
    const LSTATUS written =
        kx::CreateKeyAndSetValue(HKEY_LOCAL_MACHINE, path, name, type, data, size);
    EXPECT_EQ(written, ERROR_SUCCESS) << "the test could not store its value";
}

// The bytes as stored: an unterminated text stays unterminated.
bool RawGetValue(const wchar_t* path, const wchar_t* name, DWORD* type, std::string* bytes) {
    kx::UniqueKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    bool ok = ::RegQueryValueExW(key.Get(), name, nullptr, type, nullptr, &size) == ERROR_SUCCESS;
    std::vector<BYTE> data(size + 1);
    ok = ok &&
         ::RegQueryValueExW(key.Get(), name, nullptr, type, data.data(), &size) == ERROR_SUCCESS;
    if (bytes != nullptr) bytes->assign(reinterpret_cast<const char*>(data.data()), ok ? size : 0);
    return ok;
}

void StageHandset(const wchar_t* name) {
    ASSERT_TRUE(WinceStageHandset(name)) << "cannot stage handset, error " << ::GetLastError();
}
void StageProfileNumber(const wchar_t* name, DWORD number) {
    Profile(name, REG_DWORD, &number, sizeof number);
}
void StageProfileText(const wchar_t* name, const wchar_t* text) {
    Profile(name, REG_SZ, text, (std::wcslen(text) + 1) * sizeof(wchar_t));
}
void StageProfileList(const wchar_t* name, std::initializer_list<const wchar_t*> items) {
    std::wstring packed;
    for (const wchar_t* item : items) packed += std::wstring(item) + L'\0';
    Profile(name, REG_MULTI_SZ, packed.c_str(), (packed.size() + 1) * sizeof(wchar_t));
}
void StageProfileBytes(const wchar_t* name, const std::string& bytes) {
    Profile(name, REG_BINARY, bytes.data(), bytes.size());
}

DWORD ProfileNumber(const wchar_t* name, DWORD fallback) {
    DWORD type = 0;
    std::string bytes;
    const bool read = RawGetValue(WINCE_PROFILE_KEY, name, &type, &bytes) && bytes.size() == 4;
    return read ? *reinterpret_cast<const DWORD*>(bytes.data()) : fallback;
}

std::wstring SiblingPath(const wchar_t* fileName) {
    wchar_t self[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    return std::wstring(self, std::wcsrchr(self, L'\\') + 1) + fileName;
}

RunningProgram::RunningProgram(const std::wstring& path) {
    std::wstring commandLine = L"\"" + path + L"\" 60000";
    STARTUPINFOW startup{sizeof startup};
    started_ = ::CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                nullptr, &startup, &process_) != FALSE;
    ::CloseHandle(process_.hThread);
}

RunningProgram::~RunningProgram() {
    ::TerminateProcess(process_.hProcess, 0);
    ::WaitForSingleObject(process_.hProcess, kExitWaitMs);
    ::CloseHandle(process_.hProcess);
}

DWORD RunningProgram::ExitCode(DWORD waitMs) const {
    DWORD code = 0;
    ::WaitForSingleObject(process_.hProcess, waitMs);
    ::GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

void WriteDeviceFile(const std::wstring& path, const std::string& content) {
    const kx::UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    EXPECT_TRUE(::WriteFile(file.Get(), content.data(), DWORD(content.size()), &written, nullptr))
        << "the test could not write " << testing::PrintToString(path);
}

std::string ReadDeviceFile(const std::wstring& path) {
    const kx::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return "<missing>";
    std::string content;
    char chunk[4096];
    for (DWORD got = 0; ::ReadFile(file.Get(), chunk, sizeof chunk, &got, nullptr) && got > 0;)
        content.append(chunk, got);
    return content;
}

std::wstring MakeScratchFile(const std::wstring& name, const std::string& content) {
    ::CreateDirectoryW(kScratchDir, nullptr);
    const std::wstring path = std::wstring(kScratchDir) + L"\\" + name;
    WriteDeviceFile(path, content);
    return path;
}

}  // namespace kxtest
