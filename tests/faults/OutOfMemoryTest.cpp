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

using C = KxConfig;
constexpr wchar_t kAgentKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent";

enum Outcome { kWrong, kRefused, kDone };

// The allocation of the library that fails during the next Armed call.
unsigned long g_nth = 0;

// One call of the library with the armed allocation failing; the checks around it run unarmed.
template <typename Call>
auto Armed(Call call) {
    KxFaultArm(g_nth);
    const auto result = call();
    KxFaultArm(0);
    return result;
}

// A refused call is judged by its failure result and its outputs; that it left the registry and
// the device's files as they were (a kept file, an unregistered event) the walk itself checks.
Outcome Judge(bool done, bool refused) { return done ? kDone : refused ? kRefused : kWrong; }

// The caller's outputs, filled with 0xBD before each call: Kept says a call left one so.
struct Out {
    wchar_t w[2048];
    char a[64];
    struct {
        wchar_t host[64], socks[64], user[64], socksUser[64];
        unsigned long port;
    } proxy;
    struct {
        unsigned char first[8], flag;
    } key;
    GUID id;
};
template <typename T>
bool Kept(const T& out) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&out);
    return std::all_of(bytes, bytes + sizeof out, [](unsigned char b) { return b == 0xBD; });
}

void SetText(const wchar_t* key, const wchar_t* name, const std::wstring& text) {
    RawSetValue(key, name, REG_SZ, text.c_str(), DWORD((text.size() + 1) * sizeof(wchar_t)));
}

bool Exists(const wchar_t* path) { return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

// The product installed in \kxtest with a file of its own, a pattern that knows one digest, the
// service loaded.
void StageProduct(const wchar_t* file = L"f", const std::string& content = "abc") {
    SetText(kProductKey, L"AppPath", kScratchDir);
    MakeScratchFile(file, content);
    WritePattern("md5 900150983cd24fb0d6963f7d28e17f72 Trojan.Abc\n");
    unsigned long count = 0;
    ASSERT_EQ(KxService().GetVirusInPatCount(count), KX_OK);
}

// ---- What a call must leave as it was ----------------------------------------------------------

void DumpKey(const std::wstring& path, std::wstring& out) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key)) return;
    out += L"[" + path + L"]";
    wchar_t name[1024], data[4096];
    DWORD chars = 1024, bytes = sizeof data, type = 0;
    for (DWORD i = 0; !::RegEnumValueW(key, i, name, &chars, 0, &type, (BYTE*)data, &bytes);
         ++i, chars = 1024, bytes = sizeof data)
        out += name + std::to_wstring(type) + L"=" + std::wstring(data, bytes / 2) + L";";
    for (DWORD i = 0; chars = 1024, !::RegEnumKeyExW(key, i, name, &chars, 0, 0, 0, 0); ++i)
        DumpKey(path + L"\\" + name, out);
    ::RegCloseKey(key);
}

void DumpFolder(const std::wstring& path, std::wstring& out) {
    WIN32_FIND_DATAW entry;
    HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &entry);
    for (bool more = find != INVALID_HANDLE_VALUE; more; more = ::FindNextFileW(find, &entry)) {
        const std::wstring child = path + L"\\" + entry.cFileName;
        if (entry.cFileName[0] != L'.') out += child + std::to_wstring(entry.nFileSizeLow) + L";";
        if (entry.cFileName[0] != L'.' && entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            DumpFolder(child, out);
    }
    if (find != INVALID_HANDLE_VALUE) ::FindClose(find);
}

// The registry trees and device folders the calls below may touch.
std::wstring DeviceState() {
    std::wstring state;
    for (const wchar_t* key : {kVendorKey, kPlatformKey, kStandInsKey}) DumpKey(key, state);
    for (const wchar_t* folder : {kScratchDir, kServiceDir}) DumpFolder(folder, state);
    return state;
}

// Open handles of this process: the handle values that name an object, looked for up to a long
// run of values that name none.
int OpenHandles() {
    int count = 0;
    DWORD flags = 0;
    for (ULONG_PTR value = 4, last = 0; value < last + 1024; value += 4)
        if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count, last = value;
    return count;
}

// ---- The calls ----------------------------------------------------------------------------------

const std::wstring kDoc =
    L"<wap-provisioningdoc><characteristic type=\"Registry\"><characteristic "
    L"type=\"HKLM\\SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent\"><parm name=\"HostPort\" "
    L"value=\"8443\" datatype=\"integer\"/><parm name=\"HostName\" value=\"m\"/>"
    L"</characteristic></characteristic></wap-provisioningdoc>";
const std::wstring kLongPath(150, L'p');
const unsigned short kKernel[] = {'k', 'e', 'r', 'n', 'e', 'l', '3', '2', '.', 'd', 'l', 'l', 0};
const unsigned short kEnable[] = {'E', 'N', 'A', 'B', 'L', 'E', '_', 'R',
                                  'E', 'A', 'L', 'T', 'I', 'M', 'E', 0};
const unsigned short kCsv[] = {'a', ',', ' ', 'b', ' ', ',', 'c', 0};
unsigned short kTag[] = {'b', 0}, kAttribute[] = {'v', 0};

DWORD HookLoaderRuns() {
    DWORD count = 0, type = 0;
    std::string bytes;
    if (RawGetValue(L"SOFTWARE\\KxStandIns\\KxHookLoader", L"Runs", &type, &bytes))
        std::memcpy(&count, bytes.data(), sizeof count);
    return count;
}

CallerInfo_tag Caller(const wchar_t* number) {
    CallerInfo_tag caller{};
    std::wcscpy(caller.Number, number);
    return caller;
}
CallerInfo_tag g_rejected = Caller(L"12345"), g_caller = Caller(L"+4412345678");
unsigned char g_first[] = {1, 2, 3}, g_second[] = {4, 5};

void StoreKeyFile() {
    unsigned long firstLength = 3, secondLength = 2;
    C::SetRsaKeyEx(g_first, firstLength, g_second, secondLength);
}

struct Site {
    const char* name;
    void (*stage)();  // the state the call needs; made again before every attempt
    Outcome (*call)(Out& o);
};

const Site kSites[] = {
    {"a text longer than the stack scratch",
     [] { SetText(kProductKey, L"TaskLogFilename", std::wstring(1500, L'x')); },
     [](Out& o) {
         const long s = Armed([&] { return C::GetTaskLogFileName(o.w, 2048); });
         return Judge(s == KX_OK && std::wcslen(o.w) == 1500, s == KX_E_REGISTRY && Kept(o.w));
     }},
    {"the host name in the ANSI code page", [] { SetText(kAgentKey, L"HostName", L"mgmt.net"); },
     [](Out& o) {
         const long s = Armed([&] { return C::GetMamoHostName(o.a, 64); });
         return Judge(s == KX_OK && !std::strcmp(o.a, "mgmt.net"), s == KX_E_REGISTRY && Kept(o.a));
     }},
    {"the subkeys of a key", [] { SetText(kAgentKey, L"HostName", L"h"); },
     [](Out&) {
         std::vector<wchar_t*> keys;
         const long s = Armed([&] { return KxRegUtil().EnumSubKey(kProductKey, keys); });
         const size_t listed = keys.size();
         KxRegUtil().ReleaseKeyList(keys);
         return Judge(s == KX_OK && listed == 1, s == KX_E_REGISTRY && listed == 0);
     }},
    {"a value query that grows its buffer",
     [] { SetText(kProductKey, L"Large", std::wstring(3000, L'y')); },
     [](Out&) {
         RegKey key(kProductKey);
         RegQV query(key);
         RegValueData data;
         const bool read = Armed([&] { return query(L"Large", data); });
         return Judge(read && data.size == 6002, !read && data.data == nullptr);
     }},
    {"a caller list's containment test", [] { C::AddRejecter(g_rejected); },
     [](Out&) {
         int found = -1;
         const long s = Armed([&] { return C::InRejecterFuzzy(g_caller, found); });
         return Judge(s == KX_OK && found == 1, false);
     }},
    {"the proxies of the staged handset", [] { StageHandset(L"wm5-gsm"); },
     [](Out& o) {
         auto& p = o.proxy;
         unsigned long socksPort = 7;
         int password = 7, socksPassword = 7;
         const long s = Armed([&] {
             return C::GetProxy(p.host, 64, p.port, p.socks, 64, socksPort, p.user, 64, password,
                                p.socksUser, 64, socksPassword);
         });
         return Judge(s == KX_OK && p.port != 0xBDBDBDBD, s == KX_E_REGISTRY && Kept(p));
     }},
    {"a path shortened for display", [] {},
     [](Out&) {
         const std::wstring shown = Armed([] { return GetShortPathFile(kLongPath.c_str()); });
         return Judge(shown == L"..." + kLongPath.substr(50), shown.empty());
     }},
    {"a separated-values record", [] {},
     [](Out&) {
         const auto fields = Armed([] {
             const CSV record(kCsv, ',');
             return std::make_pair(record.size(), record.get(1, 1));
         });
         return Judge(fields.first == 3 && fields.second == L"b",
                      fields.first == 0 || fields.second.empty());
     }},
    {"a string from resource bytes", [] {},
     [](Out&) {
         std::string bytes = "\xFF\xFE";
         for (int i = 0; i < 20; ++i) bytes += std::string("k\0", 2);
         const std::wstring text = Armed([&] {
             return CreateStringFromByteBuf(reinterpret_cast<unsigned char*>(&bytes[0]),
                                            static_cast<unsigned int>(bytes.size()), true);
         });
         return Judge(text == std::wstring(20, L'k'), text.empty());
     }},
    {"a module's version", [] {},
     [](Out&) {
         const auto version = Armed([] { return GetAFileVersion(kKernel); });
         return Judge(version.first != 0, version.first == 0 && version.second == 0);
     }},
    {"the key file of the management server", [] { StageProduct(), StoreKeyFile(); },
     [](Out& o) {
         unsigned char second[8];
         unsigned long length = 8, secondLength = 8;
         const int read = Armed(
             [&] { return C::GetRsaKeyEx(o.key.first, length, second, secondLength, o.key.flag); });
         return Judge(read == 1 && length == 3 && secondLength == 2 && o.key.flag == 1,
                      read == 0 && Kept(o.key));
     }},
    {"an XML attribute",
     [] { MakeScratchFile(L"doc.xml", "<a><b v=\"" + std::string(40, '4') + "\"/></a>"); },
     [](Out&) {
         const std::wstring value = Armed([] {
             KxXmlDocument document;
             document.LoadFile(reinterpret_cast<const unsigned short*>(L"\\kxtest\\doc.xml"));
             return document.FindElementByTag(kTag)[0].Attribute(kAttribute);
         });
         return Judge(value == std::wstring(40, L'4'), value.empty());
     }},
    {"the provisioning document",
     [] {
         ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kAgentKey);
         StageProduct(L"configmgi.xml", std::string(reinterpret_cast<const char*>(kDoc.c_str()),
                                                    kDoc.size() * sizeof(wchar_t)));
     },
     [](Out&) {
         const int s = Armed([] { return C::RecoverMgiConfig(); });
         const bool done = !Exists(L"\\kxtest\\configmgi.xml") && C::GetMamoHostPort() == 8443;
         return Judge(s == 0 && done, s == -1 || s == -2);
     }},
    {"a file scanned by the service", [] { StageProduct(); },
     [](Out&) {
         FileScan_tag record{};
         record.size = sizeof record;
         std::wcscpy(record.path, L"\\kxtest\\f");
         const int s = Armed([&] { return KxService().ScanFile(&record); });
         return Judge(s == KX_OK && record.scanResult == 1,
                      s == KX_E_SERVICE_REQUEST && record.scanResult == 0);
     }},
    {"a file put into quarantine", [] { StageProduct(); },
     [](Out&) {
         const int s =
             Armed([] { return KxService().QuarantineFile(L"\\kxtest\\f", L"Trojan.Abc"); });
         return Judge(s == 0 && !Exists(L"\\kxtest\\f"), s != 0);
     }},
    {"a text queued for the message server", [] { StageProduct(), KxService().MsgSvcClean(); },
     [](Out&) {
         const int s = Armed([] { return KxService().MsgSvcPush(L"Virus found"); });
         const unsigned long size = KxService().MsgSvcSize();
         return Judge(s == KX_OK && size == 1, s != KX_OK && size == 0);
     }},
    {"an infected program of the Startup folder",
     [] {
         ::CreateDirectoryW(kScratchDir, nullptr);
         ::CreateDirectoryW(L"\\kxtest\\StartUp", nullptr);
         StageProduct(L"StartUp\\evil.exe");
         SetText(kProductKey, L"StartupPath", L"\\kxtest\\StartUp");
     },
     [](Out&) {
         const int s = Armed([] { return C::ScanStartup(); });
         return Judge(s == KX_OK && !Exists(L"\\kxtest\\StartUp\\evil.exe"), s == KX_OK);
     }},
    {"the target of a shortcut",
     [] {
         StageProduct(L"game.lnk", "16#\\kxtest\\game.exe"), MakeScratchFile(L"game.exe", "abc");
     },
     [](Out&) {
         const int s = Armed([] { return C::ScanIt(L"\\kxtest\\game.lnk"); });
         return Judge(s == KX_OK && !Exists(L"\\kxtest\\game.exe"), s == KX_OK);
     }},
    {"the synchronisation event", [] { C::DelActiveSynEvent(1); },
     [](Out&) {
         Armed([] { return C::SetActiveSynEvent(1); });
         const bool registered =
             RawValueExists(L"SOFTWARE\\WinCE Platform\\Notifications",
                            (std::to_wstring(static_cast<long>(NOTIFICATION_EVENT_RS232_DETECTED)) +
                             L" \\Windows\\repllog.exe")
                                .c_str());
         return Judge(registered, !registered);
     }},
    {"the phone radio", [] { StageHandset(L"wm5-gsm"); },
     [](Out&) {
         RadioInfo info;
         Armed([&] {
             return HelpAPI::RadioVersionInfoCollect(::GetModuleHandleW(nullptr), info), 0;
         });
         // A field that could not be read keeps its value.
         const bool whole = !info.manufacturer.empty() && !info.serialNumber.empty() &&
                            !info.operatorLongName.empty();
         return Judge(info.hasPhone == 1 && whole, info.hasPhone == 1);
     }},
    {"the device identifier", [] { StageHandset(L"wm5-gsm"); },
     [](Out& o) {
         const bool read = Armed([&] { return HelpAPI::GetDeviceID(&o.id); });
         const bool zero = std::all_of((char*)&o.id, (char*)(&o.id + 1), [](char b) { return !b; });
         return Judge(read && !zero, !read && zero);
     }},
    {"the link of the network adapters", [] { StageHandset(L"wm5-gsm"); },
     [](Out&) {
         const int link = Armed([] { return ConnMgr::GetConnectionType(); });
         return Judge(link == KX_CONNECTION_LOCAL_LINK, link == KX_CONNECTION_UNKNOWN);
     }},
    {"a program started with a command line", [] {},
     [](Out&) {
         const std::wstring loader = SiblingPath(L"KxHookLoader.exe");
         const DWORD before = HookLoaderRuns();
         const int started = Armed([&] {
             return RunApp(reinterpret_cast<const unsigned short*>(loader.c_str()), kEnable,
                           INFINITE, KX_DIR_NONE);
         });
         return Judge(started != 0 && HookLoaderRuns() == before + 1, started == 0);
     }},
};

class OutOfMemoryTest : public ServiceTest {};

TEST_F(OutOfMemoryTest, EveryFailedAllocationIsAFailureResultThatLosesNothing) {
    int points = 0;
    Out out;
    // The run-time sets up its unwinding on the library's first exception and keeps a few
    // handles for that; one failure before the walk does it.
    g_nth = 1;
    Armed([] { return GetShortPathFile(kLongPath.c_str()); });
    for (const Site& site : kSites) {
        SCOPED_TRACE(site.name);
        // Once unarmed first, so that what the platform sets up on first use is not taken for
        // a leak.
        site.stage();
        std::memset(&out, 0xBD, sizeof out);
        g_nth = 0;
        ASSERT_EQ(site.call(out), kDone);
        for (g_nth = 1;; ++g_nth, ++points) {
            SCOPED_TRACE("allocation " + std::to_string(g_nth));
            site.stage();
            std::memset(&out, 0xBD, sizeof out);
            const std::wstring before = DeviceState();
            const int handles = OpenHandles();
            const KxFaultCounts start = KxFaultRead();
            const Outcome outcome = site.call(out);
            const KxFaultCounts end = KxFaultRead();
            ASSERT_NE(outcome, kWrong);
            EXPECT_EQ(end.allocations - start.allocations, end.releases - start.releases)
                << "memory leaked";
            EXPECT_LE(OpenHandles(), handles) << "a handle leaked";
            if (outcome == kRefused) EXPECT_TRUE(DeviceState() == before) << "the device changed";
            if (end.failures == start.failures) {
                EXPECT_EQ(outcome, kDone) << "refused without a failed allocation";
                break;
            }
        }
    }
    std::printf("out-of-memory walk: %zu call sites, %d failure points\n", std::size(kSites),
                points);
}

// A length the caller claims is checked against the caller's buffer before anything is
// allocated: a read into 16 characters said to be 0x7FFFFFFE is refused at once.
TEST_F(OutOfMemoryTest, AClaimedLengthIsCheckedBeforeAnythingIsAllocated) {
    SetText(kProductKey, L"TaskLogFilename", L"log");
    SetText(kAgentKey, L"HostName", L"host");
    constexpr unsigned long kClaimed = 0x7FFFFFFE;
    wchar_t text[16];
    char narrow[16];
    const KxFaultCounts start = KxFaultRead();
    EXPECT_EQ(KxRegUtil().GetValue(kProductKey, L"TaskLogFilename", text, kClaimed), KX_E_REGISTRY);
    EXPECT_EQ(C::GetMamoHostName(narrow, static_cast<int>(kClaimed)), -1);
    const KxFaultCounts end = KxFaultRead();
    EXPECT_EQ(end.allocations + end.failures, start.allocations + start.failures);
}

}  // namespace
}  // namespace kxtest
