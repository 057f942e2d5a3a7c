// Out of memory at each allocation of the exported calls that allocate. Against the test build of
// the library (src/internal/AllocationFaults.h), every call is made again and again with its
// first, second, third ... allocation failing, until it completes without a failure. Each time
// it must give its own failure result with the caller's outputs as they were (or recover and do
// its work), leak no memory and no handle, and leave the registry and the device's files as
// they were when it refused.
#include "ServiceFixture.h"

#include "internal/AllocationFaults.h"

#include <kxcommon/kxcommon.h>
#include <wince/wince.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>
#include <string>
#include <utility>
#include <vector>

// This program's allocations are counted with the library's (and never made to fail), so that
// what the library hands out and the caller frees balances.
void* operator new(size_t bytes) {
    if (void* block = KxFaultAllocate(bytes)) return block;
    throw std::bad_alloc();
}
void* operator new[](size_t bytes) { return operator new(bytes); }
void operator delete(void* block) noexcept { KxFaultRelease(block); }
void operator delete[](void* block) noexcept { KxFaultRelease(block); }
void operator delete(void* block, size_t) noexcept { KxFaultRelease(block); }
void operator delete[](void* block, size_t) noexcept { KxFaultRelease(block); }

namespace kxtest {
namespace {

constexpr wchar_t kServerAgentKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent";
constexpr wchar_t kAppDir[] = L"\\kxtest";
constexpr wchar_t kSentinel = 0xBDBD;

enum Outcome { kWrong, kRefused, kDone };

// The allocation of the library that fails during the next Armed call.
unsigned long g_nth = 0;

// Makes one call of the library with the armed allocation failing; what is checked around it
// is the test's own work and runs unarmed.
template <typename Call>
auto Armed(Call call) {
    KxFaultArm(g_nth);
    const auto result = call();
    KxFaultArm(0);
    return result;
}

Outcome Judge(bool done, bool refused) { return done ? kDone : refused ? kRefused : kWrong; }

void SetText(const wchar_t* key, const wchar_t* name, const std::wstring& text) {
    RawSetValue(key, name, REG_SZ, text.c_str(),
                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void LoadService() {
    unsigned long count = 0;
    ASSERT_EQ(KxService().GetVirusInPatCount(count), KX_OK);
}

// The product installed in \kxtest, a pattern that knows one digest, the service loaded.
void StageProduct() {
    SetText(kProductKey, L"AppPath", kAppDir);
    ::CreateDirectoryW(kAppDir, nullptr);
    WritePattern("md5 900150983cd24fb0d6963f7d28e17f72 Trojan.Abc\n");
    LoadService();
}

bool Unchanged(const wchar_t* buffer, size_t chars) {
    for (size_t i = 0; i < chars; ++i)
        if (buffer[i] != kSentinel) return false;
    return true;
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// ---- What a call must leave as it was ----------------------------------------------------------

void DumpKey(HKEY root, const std::wstring& path, std::wstring* out) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    *out += L"[" + path + L"]";
    wchar_t name[1024];
    BYTE data[8192];
    for (DWORD i = 0;; ++i) {
        DWORD chars = 1024, bytes = sizeof data, type = 0;
        if (::RegEnumValueW(key, i, name, &chars, nullptr, &type, data, &bytes) != ERROR_SUCCESS)
            break;
        *out += name + std::to_wstring(type) + L"=" +
                std::wstring(reinterpret_cast<wchar_t*>(data), bytes / sizeof(wchar_t)) + L";";
    }
    for (DWORD i = 0;; ++i) {
        DWORD chars = 1024;
        if (::RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        DumpKey(root, path + L"\\" + name, out);
    }
    ::RegCloseKey(key);
}

void DumpFolder(const std::wstring& path, std::wstring* out) {
    WIN32_FIND_DATAW entry;
    HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (entry.cFileName[0] == L'.') continue;
        const std::wstring child = path + L"\\" + entry.cFileName;
        *out += child + L":" + std::to_wstring(entry.nFileSizeLow) + L";";
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) DumpFolder(child, out);
    } while (::FindNextFileW(find, &entry));
    ::FindClose(find);
}

// The registry trees and device folders the calls below may touch.
std::wstring DeviceState() {
    std::wstring state;
    for (const wchar_t* key : {kVendorKey, kPlatformKey, kStandInsKey})
        DumpKey(HKEY_LOCAL_MACHINE, key, &state);
    for (const wchar_t* folder : {kScratchDir, kServiceDir}) DumpFolder(folder, &state);
    return state;
}

// Open handles of this process: the handle values that name an object, looked for up to a long
// run of values that name none.
int OpenHandles() {
    constexpr ULONG_PTR kStep = 4, kRun = 256 * kStep;
    int count = 0;
    DWORD flags = 0;
    for (ULONG_PTR value = kStep, last = 0; value < last + kRun; value += kStep) {
        if (!::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) continue;
        ++count;
        last = value;
    }
    return count;
}

// ---- The calls ----------------------------------------------------------------------------------

struct Site {
    const char* name;
    void (*stage)();  // the state the call needs; made again before every attempt
    Outcome (*call)();
};

const Site kSites[] = {
    {"a text setting larger than the stack scratch",
     [] { SetText(kProductKey, L"TaskLogFilename", std::wstring(1500, L'x')); },
     [] {
         wchar_t text[2048];
         std::fill(std::begin(text), std::end(text), kSentinel);
         const KXSTATUS status = Armed([&] { return KxConfig::GetTaskLogFileName(text, 2048); });
         return Judge(status == KX_OK && std::wcslen(text) == 1500,
                      status == KX_E_REGISTRY && Unchanged(text, 2048));
     }},
    {"the management host name in the ANSI code page",
     [] { SetText(kServerAgentKey, L"HostName", L"mgmt.example.net"); },
     [] {
         char host[64];
         std::memset(host, 0xBD, sizeof host);
         const KXSTATUS status = Armed([&] { return KxConfig::GetMamoHostName(host, 64); });
         const bool untouched = std::all_of(std::begin(host), std::end(host),
                                            [](char c) { return c == static_cast<char>(0xBD); });
         return Judge(status == KX_OK && std::strcmp(host, "mgmt.example.net") == 0,
                      status == KX_E_REGISTRY && untouched);
     }},
    {"the subkeys of a key", [] { SetText(kServerAgentKey, L"HostName", L"h"); },
     [] {
         std::vector<wchar_t*> keys;
         const KXSTATUS status = Armed([&] { return KxRegUtil().EnumSubKey(kProductKey, keys); });
         const bool listed = status == KX_OK && keys.size() == 1;
         const bool refused = status == KX_E_REGISTRY && keys.empty();
         KxRegUtil().ReleaseKeyList(keys);
         return Judge(listed, refused);
     }},
    {"a value query that grows its buffer",
     [] { SetText(kProductKey, L"Large", std::wstring(3000, L'y')); },
     [] {
         RegKey key(kProductKey);
         RegQV query(key);
         RegValueData data;
         const bool read = Armed([&] { return query(L"Large", data); });
         return Judge(read && data.size == 6002, !read && data.data == nullptr);
     }},
    {"a caller list's containment test",
     [] {
         CallerInfo_tag entry{};
         std::wcscpy(entry.Number, L"12345");
         KxConfig::AddRejecter(entry);
     },
     [] {
         CallerInfo_tag caller{};
         std::wcscpy(caller.Number, L"+4412345678");
         int found = -1;
         const KXSTATUS status = Armed([&] { return KxConfig::InRejecterFuzzy(caller, found); });
         return Judge(status == KX_OK && found == 1, false);
     }},
    {"the proxies of the staged handset", [] { StageHandset(L"wm5-gsm"); },
     [] {
         wchar_t host[64], socks[64], user[64], socksUser[64];
         for (wchar_t* b : {host, socks, user, socksUser}) std::fill(b, b + 64, kSentinel);
         unsigned long port = 7, socksPort = 7;
         int password = 7, socksPassword = 7;
         const KXSTATUS status = Armed([&] {
             return KxConfig::GetProxy(host, 64, port, socks, 64, socksPort, user, 64, password,
                                       socksUser, 64, socksPassword);
         });
         const bool untouched = Unchanged(host, 64) && Unchanged(socks, 64) &&
                                Unchanged(user, 64) && Unchanged(socksUser, 64) && port == 7;
         return Judge(status == KX_OK && port != 7, status == KX_E_REGISTRY && untouched);
     }},
    {"a path shortened for display", [] {},
     [] {
         const std::wstring path(150, L'p');
         const std::wstring shown = Armed([&] { return GetShortPathFile(path.c_str()); });
         return Judge(shown == L"..." + std::wstring(100, L'p'), shown.empty());
     }},
    {"a separated-values record", [] {},
     [] {
         const unsigned short text[] = {'a', ',', ' ', 'b', ' ', ',', 'c', 0};
         const auto fields = Armed([&] {
             const CSV record(text, ',');
             return std::make_pair(record.size(), record.get(1, 1));
         });
         return Judge(fields.first == 3 && fields.second == L"b",
                      fields.first == 0 || fields.second.empty());
     }},
    {"a string from resource bytes", [] {},
     [] {
         std::string bytes = "\xFF\xFE";
         for (int i = 0; i < 20; ++i) bytes += std::string("k\0", 2);
         const std::wstring text = Armed([&] {
             return CreateStringFromByteBuf(reinterpret_cast<unsigned char*>(&bytes[0]),
                                            static_cast<unsigned int>(bytes.size()), true);
         });
         return Judge(text == std::wstring(20, L'k'), text.empty());
     }},
    {"a module's version", [] {},
     [] {
         const unsigned short name[] = {'k', 'e', 'r', 'n', 'e', 'l', '3',
                                        '2', '.', 'd', 'l', 'l', 0};
         const auto version = Armed([&] { return GetAFileVersion(name); });
         return Judge(version.first != 0, version.first == 0 && version.second == 0);
     }},
    {"the key file of the management server",
     [] {
         StageProduct();
         unsigned char first[] = {1, 2, 3}, second[] = {4, 5};
         unsigned long firstLength = 3, secondLength = 2;
         KxConfig::SetRsaKeyEx(first, firstLength, second, secondLength);
     },
     [] {
         unsigned char first[8], second[8], flag = 7;
         std::memset(first, 0xBD, 8);
         unsigned long firstLength = 8, secondLength = 8;
         const int read = Armed(
             [&] { return KxConfig::GetRsaKeyEx(first, firstLength, second, secondLength, flag); });
         return Judge(read == 1 && firstLength == 3 && secondLength == 2 && flag == 1,
                      read == 0 && first[0] == 0xBD && flag == 7);
     }},
    {"an XML attribute",
     [] { MakeScratchFile(L"doc.xml", "<a><b v=\"" + std::string(40, '4') + "\"/></a>"); },
     [] {
         const std::wstring path = L"\\kxtest\\doc.xml";
         unsigned short tag[] = {'b', 0}, attribute[] = {'v', 0};
         const std::wstring value = Armed([&] {
             KxXmlDocument document;
             document.LoadFile(reinterpret_cast<const unsigned short*>(path.c_str()));
             return document.FindElementByTag(tag)[0].Attribute(attribute);
         });
         return Judge(value == std::wstring(40, L'4'), value.empty());
     }},
    {"the provisioning document",
     [] {
         ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kServerAgentKey);
         StageProduct();
         const std::wstring doc =
             L"<wap-provisioningdoc><characteristic type=\"Registry\"><characteristic "
             L"type=\"HKLM\\SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent\"><parm "
             L"name=\"HostPort\" value=\"8443\" datatype=\"integer\"/><parm name=\"HostName\" "
             L"value=\"m\"/></characteristic></characteristic></wap-provisioningdoc>";
         MakeScratchFile(L"configmgi.xml", std::string(reinterpret_cast<const char*>(doc.c_str()),
                                                       doc.size() * sizeof(wchar_t)));
     },
     [] {
         const int result = Armed([] { return KxConfig::RecoverMgiConfig(); });
         const bool kept = Exists(L"\\kxtest\\configmgi.xml");
         return Judge(result == 0 && !kept && KxConfig::GetMamoHostPort() == 8443,
                      (result == -1 || result == -2) && kept);
     }},
    {"a file scanned by the service",
     [] {
         StageProduct();
         MakeScratchFile(L"abc.bin", "abc");
     },
     [] {
         FileScan_tag record{};
         record.size = sizeof record;
         std::wcscpy(record.path, L"\\kxtest\\abc.bin");
         const int status = Armed([&] { return KxService().ScanFile(&record); });
         return Judge(status == KX_OK && record.scanResult == 1,
                      status == KX_E_SERVICE_REQUEST && record.scanResult == 0);
     }},
    {"a file put into quarantine",
     [] {
         StageProduct();
         MakeScratchFile(L"q.bin", "abc");
     },
     [] {
         const int answer =
             Armed([] { return KxService().QuarantineFile(L"\\kxtest\\q.bin", L"Trojan.Abc"); });
         return Judge(answer == 0 && !Exists(L"\\kxtest\\q.bin"),
                      answer != 0 && Exists(L"\\kxtest\\q.bin"));
     }},
    {"a text queued for the message server",
     [] {
         StageProduct();
         KxService().MsgSvcClean();
     },
     [] {
         const int status = Armed([] { return KxService().MsgSvcPush(L"Virus found"); });
         const unsigned long size = KxService().MsgSvcSize();
         return Judge(status == KX_OK && size == 1, status != KX_OK && size == 0);
     }},
    {"an infected program of the Startup folder",
     [] {
         StageProduct();
         SetText(kProductKey, L"StartupPath", L"\\kxtest\\StartUp");
         ::CreateDirectoryW(L"\\kxtest\\StartUp", nullptr);
         MakeScratchFile(L"StartUp\\evil.exe", "abc");
     },
     [] {
         const int status = Armed([] { return KxConfig::ScanStartup(); });
         const bool kept = Exists(L"\\kxtest\\StartUp\\evil.exe");
         return Judge(status == KX_OK && !kept, status == KX_OK && kept);
     }},
    {"the target of a shortcut",
     [] {
         StageProduct();
         MakeScratchFile(L"game.exe", "abc");
         MakeScratchFile(L"game.lnk", "16#\\kxtest\\game.exe");
     },
     [] {
         const int status = Armed([] { return KxConfig::ScanIt(L"\\kxtest\\game.lnk"); });
         const bool kept = Exists(L"\\kxtest\\game.exe") && Exists(L"\\kxtest\\game.lnk");
         return Judge(status == KX_OK && !Exists(L"\\kxtest\\game.exe"), status == KX_OK && kept);
     }},
    {"the synchronisation event", [] { KxConfig::DelActiveSynEvent(1); },
     [] {
         Armed([] { return KxConfig::SetActiveSynEvent(1); });
         wchar_t name[64];
         std::swprintf(name, 64, L"%ld \\Windows\\repllog.exe",
                       static_cast<long>(NOTIFICATION_EVENT_RS232_DETECTED));
         const bool registered = RawValueExists(L"SOFTWARE\\WinCE Platform\\Notifications", name);
         return Judge(registered, !registered);
     }},
    {"the phone radio", [] { StageHandset(L"wm5-gsm"); },
     [] {
         RadioInfo info;
         Armed([&] {
             HelpAPI::RadioVersionInfoCollect(::GetModuleHandleW(nullptr), info);
             return 0;
         });
         // A field that could not be read keeps its value.
         const bool whole = !info.manufacturer.empty() && !info.serialNumber.empty() &&
                            !info.operatorLongName.empty();
         return Judge(info.hasPhone == 1 && whole, info.hasPhone == 1);
     }},
    {"the device identifier", [] { StageHandset(L"wm5-gsm"); },
     [] {
         GUID id;
         std::memset(&id, 0xBD, sizeof id);
         const bool read = Armed([&] { return HelpAPI::GetDeviceID(&id); });
         const GUID zero{};
         return Judge(read && std::memcmp(&id, &zero, sizeof id) != 0,
                      !read && std::memcmp(&id, &zero, sizeof id) == 0);
     }},
    {"the link of the network adapters", [] { StageHandset(L"wm5-gsm"); },
     [] {
         const int link = Armed([] { return ConnMgr::GetConnectionType(); });
         return Judge(link == KX_CONNECTION_LOCAL_LINK, link == KX_CONNECTION_UNKNOWN);
     }},
    {"a program started with a command line", [] {},
     [] {
         const std::wstring loader = SiblingPath(L"KxHookLoader.exe");
         const unsigned short keyword[] = {'E', 'N', 'A', 'B', 'L', 'E', '_', 'R',
                                           'E', 'A', 'L', 'T', 'I', 'M', 'E', 0};
         const auto runs = [] {
             DWORD count = 0, type = 0;
             std::string bytes;
             if (RawGetValue(L"SOFTWARE\\KxStandIns\\KxHookLoader", L"Runs", &type, &bytes))
                 std::memcpy(&count, bytes.data(), sizeof count);
             return count;
         };
         const DWORD before = runs();
         const int started = Armed([&] {
             return RunApp(reinterpret_cast<const unsigned short*>(loader.c_str()), keyword,
                           INFINITE, KX_DIR_NONE);
         });
         return Judge(started != 0 && runs() == before + 1, started == 0 && runs() == before);
     }},
};

class OutOfMemoryTest : public ServiceTest {};

TEST_F(OutOfMemoryTest, EveryFailedAllocationIsAFailureResultThatLosesNothing) {
    int points = 0;
    // The run-time sets up its unwinding on the library's first exception and keeps a few
    // handles for that; one failure before the walk does it.
    g_nth = 1;
    Armed([] { return GetShortPathFile(std::wstring(150, L'p').c_str()); });
    for (const Site& site : kSites) {
        SCOPED_TRACE(site.name);
        // Once unarmed first, so that what the platform sets up on first use is not taken for
        // a leak.
        site.stage();
        g_nth = 0;
        ASSERT_EQ(site.call(), kDone);
        for (g_nth = 1;; ++g_nth) {
            SCOPED_TRACE("allocation " + std::to_string(g_nth));
            site.stage();
            const std::wstring before = DeviceState();
            const int handles = OpenHandles();
            const KxFaultCounts start = KxFaultRead();
            const Outcome outcome = site.call();
            const KxFaultCounts end = KxFaultRead();
            ASSERT_NE(outcome, kWrong);
            EXPECT_EQ(end.allocations - start.allocations, end.releases - start.releases)
                << "memory leaked";
            EXPECT_LE(OpenHandles(), handles) << "a handle leaked";
            if (outcome == kRefused) {
                EXPECT_TRUE(DeviceState() == before) << "the device changed";
            }
            if (end.failures == start.failures) {
                EXPECT_EQ(outcome, kDone) << "refused without a failed allocation";
                break;
            }
            ++points;
        }
    }
    std::printf("out-of-memory walk: %zu call sites, %d failure points\n", std::size(kSites),
                points);
}

// A length the caller claims is checked against the caller's buffer before anything is
// allocated: a read into 16 characters said to be 0x7FFFFFFE is refused at once.
TEST_F(OutOfMemoryTest, AClaimedLengthIsCheckedBeforeAnythingIsAllocated) {
    SetText(kProductKey, L"TaskLogFilename", L"log");
    SetText(kServerAgentKey, L"HostName", L"host");
    constexpr unsigned long kClaimed = 0x7FFFFFFE;
    wchar_t text[16];
    char narrow[16];
    const KxFaultCounts start = KxFaultRead();
    EXPECT_EQ(KxRegUtil().GetValue(kProductKey, L"TaskLogFilename", text, kClaimed), KX_E_REGISTRY);
    EXPECT_EQ(KxConfig::GetMamoHostName(narrow, static_cast<int>(kClaimed)), -1);
    const KxFaultCounts end = KxFaultRead();
    EXPECT_EQ(end.allocations + end.failures, start.allocations + start.failures);
}

}  // namespace
}  // namespace kxtest
