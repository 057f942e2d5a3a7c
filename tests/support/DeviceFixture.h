// The device fixture: every test starts on a clean handset.
//
// Before each test the product's registry tree is deleted, no handset is staged (the device
// answers as a plain desktop), the SMS listener's registration is forgotten, the device folders
// that tests use are emptied and the current directory is put at the device root (drive C: of the
// test prefix).
#pragma once

#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// What nearly every test names: the platform layer and the settings catalogue.
#include <kxcommon/KxConfig.h>
#include <wince/wince.h>

#include "internal/RegistryValue.h"

namespace kxtest {

// What a call that writes a text into the caller's buffer answered, and what it wrote (none: the
// buffer was left alone).
struct Written {
    int result;
    std::optional<std::string> text;
    bool operator==(const Written&) const = default;
};
inline std::ostream& operator<<(std::ostream& out, const Written& written) {
    return out << written.result << " writing "
               << (written.text ? "\"" + *written.text + "\"" : std::string("nothing"));
}

// A status or platform code as failure messages show it: "0x30000".
inline std::string Hex(unsigned long code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%lx", code);
    return text;
}

// Registry tree of the product (and of its previous version).
constexpr wchar_t kVendorKey[] = L"SOFTWARE\\Quorlend";
// The platform layer's own tree (staged device, notification registrations).
constexpr wchar_t kPlatformKey[] = L"SOFTWARE\\WinCE Platform";
// Where the stand-ins of the product's other programs record their runs.
constexpr wchar_t kStandInsKey[] = L"SOFTWARE\\KxStandIns";
// The product's debug log.
constexpr wchar_t kDebugLog[] = L"\\KxCommon.log";
constexpr wchar_t kProductKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0";

// Device folder where tests put their own files.
constexpr wchar_t kScratchDir[] = L"\\kxtest";

// Where the reference scan service keeps its pattern, quarantine and log.
constexpr wchar_t kServiceDir[] = L"\\KxSvc";

// Where the SMS listener stand-in records its registration.
constexpr wchar_t kSmsListenerKey[] = L"SOFTWARE\\KXSMSLsn2";

// Unloads every service (ends their host processes), deletes the product's registry tree,
// unstages the handset, forgets the SMS listener and empties the device folders tests use.
void ResetDevice();

// Running service host processes.
int CountServiceHosts();
// Ends every service host at once, as a crash would.
void KillServiceHosts();

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override { ResetDevice(); }
};

// Raw registry access for arranging and checking what the library did, independent of it.
bool RawKeyExists(const wchar_t* keyPath);
bool RawValueExists(const wchar_t* keyPath, const wchar_t* valueName);
// Writes a value of any type and size, creating the key.
void RawSetValue(const wchar_t* keyPath, const wchar_t* valueName, DWORD type, const void* data,
                 DWORD size);
// Reads a value's type and bytes (either may be null); false when it is missing.
bool RawGetValue(const wchar_t* keyPath, const wchar_t* valueName, DWORD* type, std::string* bytes);

// Stages a named handset of the platform layer (wince.h lists them).
void StageHandset(const wchar_t* name);
// Single values of the staged handset's profile (value names in the platform layer's
// Profile.h), for cases no named handset covers.
void StageProfileNumber(const wchar_t* name, DWORD value);
void StageProfileText(const wchar_t* name, const wchar_t* text);
void StageProfileList(const wchar_t* name, std::initializer_list<const wchar_t*> items);
void StageProfileBytes(const wchar_t* name, const std::string& bytes);
// A number of the profile, as the platform layer left it; `fallback` when missing.
DWORD ProfileNumber(const wchar_t* name, DWORD fallback);

// The path of a program built beside the running test executable.
std::wstring SiblingPath(const wchar_t* fileName);

// A program started for a test (kxtest_sleeper.exe or a copy of it: it runs for a minute),
// ended and waited for when the object goes.
class RunningProgram {
public:
    explicit RunningProgram(const std::wstring& path);
    ~RunningProgram();

    bool Started() const { return started_; }
    // The exit code once it ended within `waitMs`, else STILL_ACTIVE.
    DWORD ExitCode(DWORD waitMs) const;

private:
    bool started_ = false;
    PROCESS_INFORMATION process_{};
};

// A device file's whole content ("<missing>" when it cannot be opened); a file written whole.
std::string ReadDeviceFile(const std::wstring& path);
void WriteDeviceFile(const std::wstring& path, const std::string& content);
// Creates a file holding `content` (and its folder), returning its device path.
std::wstring MakeScratchFile(const std::wstring& name, const std::string& content = "x");

// Runs kxctl.exe (built beside the test executables) as a separate process, as a user would.
struct KxctlRun {
    unsigned long exitCode = 0;  // kxctl's own exit code; meaningful only when `failure` is empty
    std::string output;          // standard output and error together, without carriage returns
    std::string failure;         // empty when kxctl ran to its end, else what went wrong
};
KxctlRun RunKxctl(const std::wstring& arguments);

}  // namespace kxtest
