// kxfuzz: the readers of outside data that need the platform, fuzzed on the device. For each
// target it takes the seeds in CORPUS\<target>, mutates them from a fixed seed for SECONDS (bit
// flips, byte changes, insertions, deletions, repeats, splices, dictionary tokens), runs the
// library on every input and checks: no crash, no write outside the output buffers (each ends
// at a no-access page and starts after a canary), a documented result, and a handle count that
// does not grow. An input that fails is saved in FINDINGS\<target>\ and ends the run.
//
//   kxfuzz SECONDS CORPUS FINDINGS [TARGET...]
//
// Targets: wine_shortcut (SHGetShortcutTarget), wine_keyfile (KxConfig::GetRsaKeyEx),
// wine_subscription (KxConfig::SetSpdXmlEx) and wine_provisioning (DMProcessConfigXML, and
// KxConfig::RecoverMgiConfig on the same document as a file). Files go to the device folder
// \kxfuzz; the registry is a sandbox: the predefined root keys are mapped to keys below
// HKEY_CURRENT_USER\Software\KxFuzz for the whole run, and that tree is deleted at the end.
// Prints "Done N runs in S second(s)" per target; the exit code is 0 when every target ran clean.
#include <kxcommon/KxConfig.h>
#include <wince/wince.h>

#include "../../src/protection/KeyFile.h"
#include "../../wince/src/ShortcutText.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <exception>
#include <set>
#include <string>
#include <vector>

namespace {

using Bytes = std::string;

constexpr size_t kMaxInputBytes = 64 * 1024;
constexpr size_t kPoolLimit = 512;
constexpr ULONGLONG kRunLimitMs = 30000;  // one input taking longer is a finding
constexpr int kWarmUpRuns = 100;          // the platform opens its own handles lazily
constexpr DWORD kHandleSlack = 16;
constexpr int kHandleCheckEvery = 500;
constexpr ULONG_PTR kHandleValuesPastTheLast = 1024;
constexpr unsigned char kFill = 0xBD;  // canary and untouched-buffer fill
constexpr size_t kCanaryBytes = 64;
constexpr uint64_t kFixedSeed = 0x6b78667a7a303031ull;

constexpr size_t kShortcutBytesRead = 4096;  // what the platform layer reads of a shortcut
constexpr wchar_t kDeviceFolder[] = L"\\kxfuzz";
constexpr wchar_t kShortcutFile[] = L"\\kxfuzz\\fuzz.lnk";
constexpr wchar_t kKeyFile[] = L"\\kxfuzz\\mgi.key";
constexpr wchar_t kSubscriptionFile[] = L"\\kxfuzz\\subscription.xml";
constexpr wchar_t kProvisioningFile[] = L"\\kxfuzz\\configmgi.xml";
constexpr wchar_t kSandboxKey[] = L"Software\\KxFuzz";
constexpr wchar_t kProductKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0";

// ---- Findings ----------------------------------------------------------------------------------

struct Run {
    std::string target;
    Bytes input;
    std::wstring findings;
    std::atomic<ULONGLONG> startedMs{0};  // 0 between runs
} g_run;

uint32_t Fnv1a(const Bytes& bytes) {
    uint32_t hash = 2166136261u;
    for (unsigned char c : bytes) hash = (hash ^ c) * 16777619u;
    return hash;
}

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

bool WriteWholeFile(const std::wstring& path, const Bytes& bytes) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok =
        bytes.empty() ||
        (::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size());
    ::CloseHandle(file);
    return ok;
}

bool ReadWholeFile(const std::wstring& path, Bytes* bytes) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes->clear();
    char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes->append(chunk, got);
    ::CloseHandle(file);
    return true;
}

// Saves the input of the run in progress and says why; the caller ends the process.
void SaveFinding(const char* why) {
    const std::wstring folder = g_run.findings + L"\\" + Widen(g_run.target);
    ::CreateDirectoryW(g_run.findings.c_str(), nullptr);
    ::CreateDirectoryW(folder.c_str(), nullptr);
    char name[32];
    std::snprintf(name, sizeof name, "finding-%08x", static_cast<unsigned>(Fnv1a(g_run.input)));
    const std::wstring path = folder + L"\\" + Widen(name);
    const bool saved = WriteWholeFile(path, g_run.input);
    std::printf("kxfuzz: %s: %s\nkxfuzz: input (%u bytes) %s %ls\n", g_run.target.c_str(), why,
                static_cast<unsigned>(g_run.input.size()), saved ? "saved in" : "NOT saved in",
                path.c_str());
    std::fflush(stdout);
}

[[noreturn]] void Fail(const char* file, int line, const char* what) {
    char why[512];
    std::snprintf(why, sizeof why, "%s:%d: check failed: %s", file, line, what);
    SaveFinding(why);
    ::ExitProcess(1);
}

#define FUZZ_CHECK(condition)                                   \
    do {                                                        \
        if (!(condition)) Fail(__FILE__, __LINE__, #condition); \
    } while (0)

LONG WINAPI OnCrash(EXCEPTION_POINTERS* info) {
    char why[128];
    std::snprintf(why, sizeof why, "crash: exception 0x%08lX at %p",
                  info->ExceptionRecord->ExceptionCode, info->ExceptionRecord->ExceptionAddress);
    SaveFinding(why);
    ::ExitProcess(2);
    return EXCEPTION_EXECUTE_HANDLER;
}

void OnTerminate() {
    SaveFinding("an exception left the library");
    ::ExitProcess(3);
}

DWORD WINAPI Watchdog(void*) {
    for (;;) {
        ::Sleep(500);
        const ULONGLONG started = g_run.startedMs.load();
        if (started != 0 && ::GetTickCount64() - started > kRunLimitMs) {
            SaveFinding("one input ran for more than 30 seconds");
            ::ExitProcess(4);
        }
    }
}

// The handles open in this process. Where the platform does not count them (it answers 0),
// handle values are asked for their flags from the lowest up: new handles take the lowest free
// value, so the open ones lie together and a long run of unused values ends them.
DWORD HandleCount() {
    DWORD count = 0;
    if (::GetProcessHandleCount(::GetCurrentProcess(), &count) && count != 0) return count;
    ULONG_PTR unused = 0;
    for (ULONG_PTR value = 4; unused < kHandleValuesPastTheLast; value += 4) {
        DWORD flags = 0;
        if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++count;
            unused = 0;
        } else {
            ++unused;
        }
    }
    return count;
}

// ---- Buffers bracketed by a canary and a no-access page --------------------------------------

class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t bytes) : bytes_(bytes) {
        SYSTEM_INFO system;
        ::GetSystemInfo(&system);
        const size_t page = system.dwPageSize;
        const size_t open = (bytes + kCanaryBytes + page - 1) / page * page;
        base_ = static_cast<unsigned char*>(
            ::VirtualAlloc(nullptr, open + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        FUZZ_CHECK(base_ != nullptr);
        DWORD old = 0;
        FUZZ_CHECK(::VirtualProtect(base_ + open, page, PAGE_NOACCESS, &old));
        std::memset(base_, kFill, open);
        data_ = base_ + open - bytes;
    }
    ~GuardedBuffer() { ::VirtualFree(base_, 0, MEM_RELEASE); }
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    unsigned char* data() { return data_; }
    wchar_t* text() { return reinterpret_cast<wchar_t*>(data_); }
    // Nothing written before the buffer.
    bool CanaryIntact() const { return Filled(base_, data_); }
    // Nothing written from byte `from` to the buffer's end.
    bool UntouchedFrom(size_t from) const {
        return from >= bytes_ || Filled(data_ + from, data_ + bytes_);
    }

private:
    static bool Filled(const unsigned char* begin, const unsigned char* end) {
        for (const unsigned char* p = begin; p < end; ++p)
            if (*p != kFill) return false;
        return true;
    }

    size_t bytes_;
    unsigned char* base_ = nullptr;
    unsigned char* data_ = nullptr;
};

// ---- The registry sandbox ----------------------------------------------------------------------

struct SandboxRoot {
    HKEY predefined;
    const wchar_t* name;
};
const SandboxRoot kSandboxRoots[] = {
    {HKEY_LOCAL_MACHINE, L"HKLM"},
    {HKEY_CURRENT_USER, L"HKCU"},
    {HKEY_CLASSES_ROOT, L"HKCR"},
    {HKEY_USERS, L"HKU"},
};

class RegistrySandbox {
public:
    RegistrySandbox() {
        for (const SandboxRoot& root : kSandboxRoots) {
            HKEY key = nullptr;
            const std::wstring path = std::wstring(kSandboxKey) + L"\\" + root.name;
            FUZZ_CHECK(::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                         KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS);
            keys_.push_back(key);
        }
        for (size_t i = 0; i < keys_.size(); ++i)
            FUZZ_CHECK(::RegOverridePredefKey(kSandboxRoots[i].predefined, keys_[i]) ==
                       ERROR_SUCCESS);
        Reset();
    }
    ~RegistrySandbox() {
        for (const SandboxRoot& root : kSandboxRoots)
            ::RegOverridePredefKey(root.predefined, nullptr);
        for (HKEY key : keys_) ::RegCloseKey(key);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSandboxKey);
    }
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    // Empty roots, and the product installed in the device folder of the run.
    void Reset() {
        for (HKEY key : keys_) ::RegDeleteTreeW(key, nullptr);
        HKEY product = nullptr;
        FUZZ_CHECK(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, 0, KEY_SET_VALUE,
                                     nullptr, &product, nullptr) == ERROR_SUCCESS);
        ::RegSetValueExW(product, L"AppPath", 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(kDeviceFolder), sizeof kDeviceFolder);
        ::RegCloseKey(product);
    }

    // Every key, value, type and byte below the roots, as one text.
    std::wstring Snapshot() const {
        std::wstring text;
        for (HKEY key : keys_) Dump(key, L"", text);
        return text;
    }

private:
    static void Dump(HKEY key, const std::wstring& path, std::wstring& text) {
        wchar_t name[16384];
        std::vector<BYTE> data(1 << 16);
        for (DWORD i = 0;; ++i) {
            DWORD chars = 16384, type = 0, bytes = static_cast<DWORD>(data.size());
            const LSTATUS status =
                ::RegEnumValueW(key, i, name, &chars, nullptr, &type, data.data(), &bytes);
            if (status == ERROR_NO_MORE_ITEMS) break;
            text += path + L"|" + name + L"|" + std::to_wstring(type) + L"|";
            if (status == ERROR_SUCCESS)
                for (DWORD b = 0; b < bytes; ++b) text += static_cast<wchar_t>(L'A' + data[b] % 26);
            text += L"\n";
        }
        for (DWORD i = 0;; ++i) {
            DWORD chars = 16384;
            if (::RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            const std::wstring sub = path + L"\\" + name;
            text += sub + L"\n";
            HKEY child = nullptr;
            if (::RegOpenKeyExW(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
                Dump(child, sub, text);
                ::RegCloseKey(child);
            }
        }
    }

    std::vector<HKEY> keys_;
};

RegistrySandbox* g_registry = nullptr;

// ---- Mutation ----------------------------------------------------------------------------------

class Random {
public:
    explicit Random(uint64_t seed) : state_(seed != 0 ? seed : 1) {}
    uint64_t Next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 2685821657736338717ull;
    }
    size_t Below(size_t n) { return n == 0 ? 0 : static_cast<size_t>(Next() % n); }

private:
    uint64_t state_;
};

struct Dictionary {
    std::vector<std::string> tokens;
    bool wide;  // inputs are UTF-16LE text: tokens go in as such, at even offsets
};

std::string Token(const Dictionary& dictionary, Random& random) {
    const std::string& token = dictionary.tokens[random.Below(dictionary.tokens.size())];
    if (!dictionary.wide) return token;
    std::string wide;
    for (char c : token) {
        wide += c;
        wide += '\0';
    }
    return wide;
}

size_t Position(const Bytes& input, bool wide, Random& random) {
    const size_t at = random.Below(input.size() + 1);
    return wide ? at & ~static_cast<size_t>(1) : at;
}

Bytes Mutate(const std::vector<Bytes>& pool, const Dictionary& dictionary, Random& random) {
    Bytes input = pool[random.Below(pool.size())];
    const int changes = 1 + static_cast<int>(random.Below(4));
    for (int i = 0; i < changes; ++i) {
        const size_t at = Position(input, dictionary.wide, random);
        const size_t span = 1 + random.Below(random.Below(2) ? 8 : 64);
        switch (random.Below(9)) {
        case 0:  // a bit flipped
            if (!input.empty()) input[at % input.size()] ^= static_cast<char>(1 << random.Below(8));
            break;
        case 1:  // a byte changed, often to a bound
            if (!input.empty()) {
                static const char kBounds[] = {0, 1, '\x7f', '\x80', '\xff', '"', '\n', '#', ' '};
                input[at % input.size()] = random.Below(2) ? kBounds[random.Below(sizeof kBounds)]
                                                           : static_cast<char>(random.Next());
            }
            break;
        case 2:  // bytes inserted
            for (size_t n = 0; n < span; ++n)
                input.insert(input.begin() + static_cast<std::ptrdiff_t>(at),
                             static_cast<char>(random.Next()));
            break;
        case 3:  // a range deleted
            input.erase(at, span);
            break;
        case 4:  // a range repeated
            if (at < input.size()) input.insert(at, input.substr(at, span));
            break;
        case 5: {  // spliced with another input
            const Bytes& other = pool[random.Below(pool.size())];
            input = input.substr(0, at) +
                    other.substr(std::min(other.size(), Position(other, dictionary.wide, random)));
            break;
        }
        case 6:  // the end cut off
            input.resize(at);
            break;
        default:  // a dictionary token inserted or written over
            if (!dictionary.tokens.empty()) {
                const std::string token = Token(dictionary, random);
                if (random.Below(2) || at >= input.size())
                    input.insert(at, token);
                else
                    input.replace(at, std::min(token.size(), input.size() - at), token);
            }
            break;
        }
    }
    if (input.size() > kMaxInputBytes) input.resize(kMaxInputBytes);
    return input;
}

// ---- Targets ----------------------------------------------------------------------------------

// Each returns an outcome class; an input of a class not seen before joins the pool.

// SHGetShortcutTarget into a buffer of 1 to 300 characters taken from the first two bytes.
int RunShortcut(const Bytes& input) {
    const size_t chars = 1 + (input.size() >= 2 ? (static_cast<unsigned char>(input[0]) |
                                                   static_cast<unsigned char>(input[1]) << 8) %
                                                      300
                                                : 0);
    const Bytes content = input.size() >= 2 ? input.substr(2) : Bytes();
    FUZZ_CHECK(WriteWholeFile(kShortcutFile, content));
    GuardedBuffer target(chars * sizeof(wchar_t));
    std::wstring shortcut = kShortcutFile;
    const BOOL found = ::SHGetShortcutTarget(&shortcut[0], target.text(), static_cast<int>(chars));
    FUZZ_CHECK(found == TRUE || found == FALSE);
    FUZZ_CHECK(target.CanaryIntact());
    std::string expected;
    const bool parsed = wince::ShortcutTarget(content.substr(0, kShortcutBytesRead), expected);
    const size_t expectedChars =
        parsed ? static_cast<size_t>(::MultiByteToWideChar(
                     CP_UTF8, 0, expected.data(), static_cast<int>(expected.size()), nullptr, 0))
               : 0;
    if (!found) {
        FUZZ_CHECK(target.UntouchedFrom(0));
        // Refused only when there is no target or it does not fit.
        FUZZ_CHECK(!parsed || expectedChars >= chars);
        return 0;
    }
    FUZZ_CHECK(parsed);
    const size_t length = std::wcslen(target.text());  // the guard page stops a missing end
    FUZZ_CHECK(length > 0 && length < chars && length == expectedChars);
    return length + 1 == chars ? 2 : 1;
}

// GetRsaKeyEx on the input as the key file, for buffers whose capacities come from the first
// four bytes; the largest value is a caller that claims more room than its buffer has.
int RunKeyFile(const Bytes& input) {
    auto capacity = [&](size_t at) -> unsigned long {
        if (input.size() < at + 2) return 0;
        const unsigned unit =
            static_cast<unsigned char>(input[at]) | static_cast<unsigned char>(input[at + 1]) << 8;
        return unit == 0xFFFF ? 0xFFFFFFFFul : unit % 1024;
    };
    const unsigned long firstCapacity = capacity(0), secondCapacity = capacity(2);
    const Bytes file = input.size() >= 4 ? input.substr(4) : Bytes();
    FUZZ_CHECK(WriteWholeFile(kKeyFile, file));
    // A claimed capacity beyond 1023 bytes gets a buffer of 256.
    const size_t firstBytes = firstCapacity < 1024 ? firstCapacity : 256;
    const size_t secondBytes = secondCapacity < 1024 ? secondCapacity : 256;
    GuardedBuffer first(firstBytes), second(secondBytes);
    unsigned long l1 = firstCapacity, l2 = secondCapacity;
    unsigned char flag = kFill;
    const int result = KxConfig::GetRsaKeyEx(first.data(), l1, second.data(), l2, flag);
    FUZZ_CHECK(result == 0 || result == 1);
    FUZZ_CHECK(first.CanaryIntact() && second.CanaryIntact());

    unsigned long e1 = firstCapacity, e2 = secondCapacity;
    kx::KeyFileParts parts;
    const bool whole = kx::ParseKeyFile(reinterpret_cast<const unsigned char*>(file.data()),
                                        file.size(), e1, e2, parts);
    if (result == 0) {
        FUZZ_CHECK(first.UntouchedFrom(0) && second.UntouchedFrom(0) && flag == kFill);
        // Refused only for a file that is not whole or a component the buffer cannot take.
        FUZZ_CHECK(!whole || e1 > firstBytes || e2 > secondBytes);
        return 0;
    }
    FUZZ_CHECK(whole && l1 == e1 && l2 == e2 && flag == parts.flag);
    FUZZ_CHECK(l1 <= firstBytes && l2 <= secondBytes);
    FUZZ_CHECK(std::memcmp(first.data(), parts.first, l1) == 0 &&
               std::memcmp(second.data(), parts.second, l2) == 0);
    FUZZ_CHECK(first.UntouchedFrom(l1) && second.UntouchedFrom(l2));
    return 1 + (flag == 1 ? 1 : 0) + (l1 == firstBytes ? 2 : 0);
}

// SetSpdXmlEx on the input as the subscription file, with values the DOM must escape.
int RunSubscription(const Bytes& input) {
    FUZZ_CHECK(WriteWholeFile(kSubscriptionFile, input));
    const int result =
        KxConfig::SetSpdXmlEx(kSubscriptionFile, L"5550001", L"", L"SUB&GO <1> \"x\"", nullptr);
    FUZZ_CHECK(result == 0 || result == 1);
    Bytes after;
    FUZZ_CHECK(ReadWholeFile(kSubscriptionFile, &after));
    // A file that could not be loaded is left as it was.
    if (result == 0) FUZZ_CHECK(after == input);
    return result;
}

bool IsDocumentedAnswer(HRESULT hr) {
    return hr == S_OK || hr == CONFIG_E_BAD_XML || hr == CONFIG_E_ENTRYNOTFOUND ||
           hr == CONFIG_E_CSPEXCEPTION || hr == CONFIG_E_TRANSACTIONINGFAILURE ||
           hr == E_OUTOFMEMORY || hr == E_UNEXPECTED;
}

// The input as a UTF-16 provisioning document: DMProcessConfigXML on the text ending at a
// no-access page, then RecoverMgiConfig on the same bytes as "configmgi.xml". Either applies a
// document whole or leaves the registry as it was.
int RunProvisioning(const Bytes& input) {
    static int runs = 0;
    if (++runs % 200 == 0) g_registry->Reset();  // keeps the sandbox small

    const size_t units = input.size() / 2;
    GuardedBuffer text((units + 1) * sizeof(wchar_t));
    std::memcpy(text.data(), input.data(), units * sizeof(wchar_t));
    text.text()[units] = L'\0';
    std::wstring before = g_registry->Snapshot();
    LPWSTR answer = nullptr;
    const HRESULT hr = ::DMProcessConfigXML(text.text(), CFGFLAG_PROCESS, &answer);
    FUZZ_CHECK(IsDocumentedAnswer(hr));
    FUZZ_CHECK((answer == nullptr) == (hr == E_OUTOFMEMORY || hr == E_UNEXPECTED));
    if (answer != nullptr) FUZZ_CHECK(std::wcslen(answer) < (1u << 24));
    delete[] answer;
    if (hr != S_OK) FUZZ_CHECK(g_registry->Snapshot() == before);

    FUZZ_CHECK(WriteWholeFile(kProvisioningFile, input));
    before = g_registry->Snapshot();
    const int recovered = KxConfig::RecoverMgiConfig();
    FUZZ_CHECK(recovered == 0 || recovered == -1 || recovered == -2);
    const bool kept = ::GetFileAttributesW(kProvisioningFile) != INVALID_FILE_ATTRIBUTES;
    FUZZ_CHECK(kept == (recovered != 0));  // deleted only once applied
    if (recovered != 0) FUZZ_CHECK(g_registry->Snapshot() == before);
    if (input.empty()) FUZZ_CHECK(recovered == -1);
    return static_cast<int>(hr & 0xFFFF) * 4 + (recovered + 2);
}

struct Target {
    const char* name;
    int (*run)(const Bytes& input);
    Dictionary dictionary;
};

const std::vector<Target>& Targets() {
    static const std::vector<Target> targets = {
        {"wine_shortcut",
         RunShortcut,
         {{"#", "\"", " ", "\r\n", "12#", "\\Windows\\", "\xc3\xa9", "\xef\xbf\xbd",
           "\xf0\x9f\x98\x80"},
          false}},
        {"wine_keyfile",
         RunKeyFile,
         {{std::string("\x01\0\0\0", 4), std::string("\xff\xff\xff\xff", 4),
           std::string("\0\0\0\0", 4), std::string("\x80\0\0\0", 4)},
          false}},
        {"wine_subscription",
         RunSubscription,
         {{"<ServiceProvider ", "</ServiceProvider>", "SubscribeNumber=\"",
           "<?xml version=\"1.0\" encoding=\"utf-8\"?>", "encoding=\"utf-16\"", "<!-- x -->",
           "<![CDATA[", "]]>", "&amp;", "&#x41;", "&lt;", "xmlns=\"urn:x\"", "/>", "=\"\"",
           "\xef\xbb\xbf", "<a:ServiceProvider xmlns:a=\"urn:a\"/>"},
          false}},
        {"wine_provisioning",
         RunProvisioning,
         {{"<wap-provisioningdoc>",
           "</wap-provisioningdoc>",
           "<characteristic type=\"Registry\">",
           "<characteristic type=\"HKLM\\SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent\">",
           "<characteristic type=\"",
           "</characteristic>",
           "<nocharacteristic type=\"HKCU\\X\"/>",
           "<parm name=\"",
           "\" value=\"",
           "\" datatype=\"integer\"/>",
           "\" datatype=\"binary\"/>",
           "\" datatype=\"multiplestring\"/>",
           "\" datatype=\"boolean\"/>",
           "<noparm name=\"A\"/>",
           "HKLM\\",
           "HKCR\\",
           "HKU\\",
           "\\\\",
           "-2147483648",
           "4294967296",
           "&#xF000;",
           "QUJD"},
          true}},
    };
    return targets;
}

std::vector<Bytes> LoadSeeds(const std::wstring& folder) {
    std::vector<Bytes> seeds;
    WIN32_FIND_DATAW found;
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return seeds;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        Bytes seed;
        if (ReadWholeFile(folder + L"\\" + found.cFileName, &seed)) seeds.push_back(seed);
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
    return seeds;
}

// One input, with the run's bookkeeping around it.
int RunOne(const Target& target, const Bytes& input) {
    g_run.input = input;
    g_run.startedMs = ::GetTickCount64();
    int outcome = 0;
    try {
        outcome = target.run(input);
    } catch (...) {
        SaveFinding("an exception left the library");
        ::ExitProcess(3);
    }
    g_run.startedMs = 0;
    return outcome;
}

void Fuzz(const Target& target, const std::wstring& corpus, ULONGLONG budgetMs) {
    g_run.target = target.name;
    std::vector<Bytes> pool = LoadSeeds(corpus + L"\\" + Widen(target.name));
    if (pool.empty()) pool.push_back(Bytes());
    std::set<int> outcomes;
    Random random(kFixedSeed ^ Fnv1a(target.name));
    const ULONGLONG start = ::GetTickCount64();
    const size_t seeds = pool.size();
    unsigned long runs = 0;
    DWORD baseline = 0;
    // The seeds as they are, then mutations until the budget is spent.
    for (; runs < seeds || ::GetTickCount64() - start < budgetMs; ++runs) {
        const Bytes input = runs < seeds ? pool[runs] : Mutate(pool, target.dictionary, random);
        const int outcome = RunOne(target, input);
        if (outcomes.insert(outcome).second && pool.size() < kPoolLimit) pool.push_back(input);
        if (runs == kWarmUpRuns) baseline = HandleCount();
        if (runs > kWarmUpRuns && runs % kHandleCheckEvery == 0) {
            g_run.input = input;
            FUZZ_CHECK(HandleCount() <= baseline + kHandleSlack);
        }
    }
    const ULONGLONG seconds = (::GetTickCount64() - start + 500) / 1000;
    std::printf("%s: Done %lu runs in %llu second(s), %u outcome classes, handles %lu -> %lu\n",
                target.name, runs, seconds, static_cast<unsigned>(outcomes.size()),
                static_cast<unsigned long>(baseline), static_cast<unsigned long>(HandleCount()));
    std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: kxfuzz SECONDS CORPUS FINDINGS [TARGET...]\n");
        return 2;
    }
    const ULONGLONG budgetMs = std::wcstoul(argv[1], nullptr, 10) * 1000ull;
    const std::wstring corpus = argv[2];
    g_run.findings = argv[3];
    ::SetUnhandledExceptionFilter(OnCrash);
    std::set_terminate(OnTerminate);
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    ::CloseHandle(::CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr));
    ::CreateDirectoryW(kDeviceFolder, nullptr);

    RegistrySandbox registry;
    g_registry = &registry;
    for (const Target& target : Targets()) {
        bool chosen = argc == 4;
        for (int i = 4; i < argc; ++i) chosen = chosen || Widen(target.name) == argv[i];
        if (chosen) Fuzz(target, corpus, budgetMs);
    }
    g_registry = nullptr;
    for (const wchar_t* file : {kShortcutFile, kKeyFile, kSubscriptionFile, kProvisioningFile})
        ::DeleteFileW(file);
    ::RemoveDirectoryW(kDeviceFolder);
    std::printf("kxfuzz: every target ran clean\n");
    return 0;
}
