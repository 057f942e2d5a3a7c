// Out of memory at each allocation of the exported calls that allocate. Against the test build of
// the library (src/internal/AllocationFaults.h), every call is made again and again with its
// first, second, third ... allocation failing, until it completes without a failure. Each time
// it must give its own failure result with the caller's outputs as they were (or recover and do
// its work), leak no memory and no handle, and leave the registry and the device's files as
// they were when it refused.
#include "ServiceFixture.h"

#include "internal/AllocationFaults.h"

#include <kxcommon/kxcommon.h>

#include <algorithm>
#include <iterator>
#include <new>
#include <utility>

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
constexpr wchar_t P[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0",
                  G[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent";
constexpr long E = KX_E_REGISTRY;

enum Outcome { kWrong, kRefused, kDone };

// The allocation of the library that fails during the next A call.
unsigned long g_nth = 0;

// One call of the library with the armed allocation failing; the checks around it run unarmed.
template <typename Call>
auto A(Call call) {
    KxFaultArm(g_nth);
    const auto result = call();
    KxFaultArm(0);
    return result;
}

// What a site's call answered, kept for the judgement that follows it.
std::wstring g_text;
std::vector<wchar_t*> g_keys;
std::pair<unsigned long, unsigned long> g_version;
RegValueData g_data;
RadioInfo g_info;
FileScan_tag g_record;
GUID g_id;
int g_found, g_passwords[2];
unsigned long g_lengths[2], g_socksPort;
unsigned char g_key[] = {1, 2, 3, 4, 5}, g_second[8];
DWORD g_runs;
// What a call handed out goes back before its allocations are counted.
void Tidy() {
    KxRegUtil().ReleaseKeyList(g_keys);
    std::vector<wchar_t*>().swap(g_keys);
    std::wstring().swap(g_text);
    RadioInfo fresh;  // swapped, not assigned: an assignment would keep the text buffers
    std::swap(g_info, fresh);
}
Outcome J(bool done, bool refused) { return done ? kDone : refused ? kRefused : kWrong; }

// The caller's outputs, filled with 0xBD before each call; a refusal must leave them so.
struct Out {
    wchar_t w[2048];
    char a[64];
    wchar_t host[64], socks[64], user[64], socksUser[64];
    unsigned long port;
    unsigned char first[8], flag;
};
using O = Out&;
bool Kept(const Out& out) {
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
    SetText(P, L"AppPath", kScratchDir);
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
const std::string kDocBytes(reinterpret_cast<const char*>(kDoc.c_str()), kDoc.size() * 2);
const std::string kXml = "<a><b v=\"" + std::string(40, '4') + "\"/></a>";
const char* const kLink = "16#\\kxtest\\game.exe";
const std::wstring kLongPath(150, L'p'), kLoader = SiblingPath(L"KxHookLoader.exe");
const unsigned short kKernel[] = {'k', 'e', 'r', 'n', 'e', 'l', '3', '2', '.', 'd', 'l', 'l', 0};
const unsigned short kEnable[] = {'E', 'N', 'A', 'B', 'L', 'E', '_', 'R',
                                  'E', 'A', 'L', 'T', 'I', 'M', 'E', 0};
const unsigned short kCsv[] = {'a', ',', ' ', 'b', ' ', ',', 'c', 0};
unsigned short kTag[] = {'b', 0}, kAttribute[] = {'v', 0};
const std::wstring kSyncEvent =
    std::to_wstring(long(NOTIFICATION_EVENT_RS232_DETECTED)) + L" \\Windows\\repllog.exe";
bool SyncEvent() {
    return RawValueExists(L"SOFTWARE\\WinCE Platform\\Notifications", kSyncEvent.c_str());
}
std::wstring g_bytes = L"\xFEFF" + std::wstring(20, L'k');  // a byte order mark, 20 characters

void StageStartup() {
    ::CreateDirectoryW(kScratchDir, 0), ::CreateDirectoryW(L"\\kxtest\\StartUp", 0);
    StageProduct(L"StartUp\\evil.exe"), SetText(P, L"StartupPath", L"\\kxtest\\StartUp");
}
DWORD HookLoaderRuns() {
    DWORD count = 0, type = 0;
    std::string bytes;
    if (RawGetValue(L"SOFTWARE\\KxStandIns\\KxHookLoader", L"Runs", &type, &bytes))
        std::memcpy(&count, bytes.data(), sizeof count);
    return count;
}
CallerInfo_tag g_rejected{L"12345"}, g_caller{L"+4412345678"};

struct Site {
    const char* name;
    void (*stage)();                // the state the call needs; made again before every attempt
    long (*call)(O o);              // the library call with the chosen allocation failing (A)
    Outcome (*judge)(long s, O o);  // done, or refused with its own failure result
};

const Site kSites[] = {
    // Longer than the stack scratch of a read.
    {"a long text", [] { SetText(P, L"TaskLogFilename", std::wstring(1500, L'x')); },
     [](O o) -> long { return A([&] { return C::GetTaskLogFileName(o.w, 2048); }); },
     [](long s, O o) { return J(!s && std::wcslen(o.w) == 1500, s == E); }},
    {"the host name in the ANSI code page", [] { SetText(G, L"HostName", L"mgmt.net"); },
     [](O o) -> long { return A([&] { return C::GetMamoHostName(o.a, 64); }); },
     [](long s, O o) { return J(!s && !std::strcmp(o.a, "mgmt.net"), s == E); }},
    {"the subkeys of a key", [] { SetText(G, L"HostName", L"h"); },
     [](O) -> long { return A([] { return KxRegUtil().EnumSubKey(P, g_keys); }); },
     [](long s, O) { return J(!s && g_keys.size() == 1, s == E && g_keys.empty()); }},
    {"a value query that grows its buffer",
     [] { SetText(P, L"Large", std::wstring(3000, L'y')), g_data = RegValueData(); },
     [](O) -> long {
         RegKey key(P);
         RegQV query(key);
         return A([&] { return query(L"Large", g_data); });
     },
     [](long s, O) { return J(s && g_data.size == 6002, !s && g_data.data == nullptr); }},
    {"a caller list's containment test", [] { C::AddRejecter(g_rejected); },
     [](O) -> long { return A([] { return C::InRejecterFuzzy(g_caller, g_found = -1); }); },
     [](long s, O) { return J(!s && g_found == 1, false); }},
    {"the proxies of the staged handset", [] { StageHandset(L"wm5-gsm"); },
     [](O o) -> long {
         return A([&] {
             return C::GetProxy(o.host, 64, o.port, o.socks, 64, g_socksPort, o.user, 64,
                                g_passwords[0], o.socksUser, 64, g_passwords[1]);
         });
     },
     [](long s, O o) { return J(!s && o.port != 0xBDBDBDBD, s == E); }},
    {"a path shortened for display", [] {},
     [](O) -> long { return g_text = A([] { return GetShortPathFile(kLongPath.c_str()); }), 0; },
     [](long, O) { return J(g_text == L"..." + kLongPath.substr(50), g_text.empty()); }},
    // 1: read whole; 0: refused with nothing read.
    {"a separated-values record", [] {},
     [](O) -> long {
         return A([] {
             const CSV r(kCsv, ',');
             return r.size() == 3 && r.get(1, 1) == L"b" ? 1
                    : r.size() && !r.get(1, 1).empty()   ? 2
                                                         : 0;
         });
     },
     [](long s, O) { return J(s == 1, s == 0); }},
    {"a string from resource bytes", [] {},
     [](O) -> long {
         return g_text = A(
                    [] { return CreateStringFromByteBuf((unsigned char*)&g_bytes[0], 42, true); }),
                0;
     },
     [](long, O) { return J(g_text == std::wstring(20, L'k'), g_text.empty()); }},
    {"a module's version", [] {},
     [](O) -> long { return g_version = A([] { return GetAFileVersion(kKernel); }), 0; },
     [](long, O) { return J(g_version.first != 0, g_version == std::make_pair(0ul, 0ul)); }},
    {"the key file of the management server",
     [] { StageProduct(), C::SetRsaKeyEx(g_key, g_lengths[0] = 3, g_key + 3, g_lengths[1] = 2); },
     [](O o) -> long {
         return A([&] {
             return C::GetRsaKeyEx(o.first, g_lengths[0] = 8, g_second, g_lengths[1] = 8, o.flag);
         });
     },
     [](long s, O o) {
         return J(s == 1 && g_lengths[0] == 3 && g_lengths[1] == 2 && o.flag == 1, !s);
     }},
    {"an XML attribute", [] { MakeScratchFile(L"doc.xml", kXml); },
     [](O) -> long {
         return g_text = A([] {
                    KxXmlDocument document;
                    document.LoadFile(
                        reinterpret_cast<const unsigned short*>(L"\\kxtest\\doc.xml"));
                    return document.FindElementByTag(kTag)[0].Attribute(kAttribute);
                }),
                0;
     },
     [](long, O) { return J(g_text == std::wstring(40, L'4'), g_text.empty()); }},
    {"the provisioning document",
     [] { ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, G), StageProduct(L"configmgi.xml", kDocBytes); },
     [](O) -> long { return A([] { return C::RecoverMgiConfig(); }); },
     [](long s, O) {
         return J(!s && !Exists(L"\\kxtest\\configmgi.xml") && C::GetMamoHostPort() == 8443,
                  s == -1 || s == -2);
     }},
    {"a file scanned by the service",
     [] {
         StageProduct(), g_record = FileScan_tag{sizeof g_record},
                         std::wcscpy(g_record.path, L"\\kxtest\\f");
     },
     [](O) -> long { return A([] { return KxService().ScanFile(&g_record); }); },
     [](long s, O) {
         return J(!s && g_record.scanResult == 1,
                  s == KX_E_SERVICE_REQUEST && !g_record.scanResult);
     }},
    {"a file put into quarantine", [] { StageProduct(); },
     [](O) -> long {
         return A([] { return KxService().QuarantineFile(L"\\kxtest\\f", L"Trojan.Abc"); });
     },
     [](long s, O) { return J(!s && !Exists(L"\\kxtest\\f"), s != 0); }},
    {"a text queued for the message server", [] { StageProduct(), KxService().MsgSvcClean(); },
     [](O) -> long { return A([] { return KxService().MsgSvcPush(L"Virus found"); }); },
     [](long s, O) {
         return J(!s && KxService().MsgSvcSize() == 1, s && !KxService().MsgSvcSize());
     }},
    {"an infected program of the Startup folder", [] { StageStartup(); },
     [](O) -> long { return A([] { return C::ScanStartup(); }); },
     [](long s, O) { return J(!s && !Exists(L"\\kxtest\\StartUp\\evil.exe"), !s); }},
    {"a shortcut's target",
     [] { StageProduct(L"game.lnk", kLink), MakeScratchFile(L"game.exe", "abc"); },
     [](O) -> long { return A([] { return C::ScanIt(L"\\kxtest\\game.lnk"); }); },
     [](long s, O) { return J(!s && !Exists(L"\\kxtest\\game.exe"), !s); }},
    {"the synchronisation event", [] { C::DelActiveSynEvent(1); },
     [](O) -> long { return A([] { return C::SetActiveSynEvent(1); }); },
     [](long, O) { return J(SyncEvent(), !SyncEvent()); }},
    // A field that could not be read keeps its value.
    {"the phone radio", [] { StageHandset(L"wm5-gsm"); },
     [](O) -> long {
         return A([] {
             return HelpAPI::RadioVersionInfoCollect(::GetModuleHandleW(nullptr), g_info), 0;
         });
     },
     [](long, O) {
         const RadioInfo& i = g_info;
         return J(i.hasPhone == 1 && !i.manufacturer.empty() && !i.serialNumber.empty() &&
                      !i.operatorLongName.empty(),
                  i.hasPhone == 1);
     }},
    {"the device identifier",
     [] { StageHandset(L"wm5-gsm"), std::memset(&g_id, 0xBD, sizeof g_id); },
     [](O) -> long { return A([] { return HelpAPI::GetDeviceID(&g_id); }); },
     [](long s, O) { return J(s && g_id != GUID{}, !s && g_id == GUID{}); }},
    {"the link of the network adapters", [] { StageHandset(L"wm5-gsm"); },
     [](O) -> long { return A([] { return ConnMgr::GetConnectionType(); }); },
     [](long s, O) { return J(s == KX_CONNECTION_LOCAL_LINK, s == KX_CONNECTION_UNKNOWN); }},
    {"a program started with a command line", [] { g_runs = HookLoaderRuns(); },
     [](O) -> long {
         return A([] {
             return RunApp((const unsigned short*)kLoader.c_str(), kEnable, INFINITE, KX_DIR_NONE);
         });
     },
     [](long s, O) { return J(s && HookLoaderRuns() == g_runs + 1, !s); }},
};

// One attempt of a site; a refusal must leave the caller's outputs as they were.
Outcome Attempt(const Site& site, Out& out) {
    const long s = site.call(out);
    const Outcome outcome = site.judge(s, out);
    Tidy();
    return outcome == kRefused && !Kept(out) ? kWrong : outcome;
}

class OutOfMemoryTest : public ServiceTest {};

TEST_F(OutOfMemoryTest, EveryFailedAllocationIsAFailureResultThatLosesNothing) {
    int points = 0;
    Out out;
    // The run-time sets up its unwinding on the library's first exception and keeps a few
    // handles for that; one failure before the walk does it.
    g_nth = 1;
    A([] { return GetShortPathFile(kLongPath.c_str()); });
    for (const Site& site : kSites) {
        SCOPED_TRACE(site.name);
        // Once unarmed first, so that what the platform sets up on first use is not taken for
        // a leak.
        site.stage();
        std::memset(&out, 0xBD, sizeof out);
        g_nth = 0;
        ASSERT_EQ(Attempt(site, out), kDone);
        for (g_nth = 1;; ++g_nth, ++points) {
            SCOPED_TRACE("allocation " + std::to_string(g_nth));
            site.stage();
            std::memset(&out, 0xBD, sizeof out);
            const std::wstring before = DeviceState();
            const int handles = OpenHandles();
            const KxFaultCounts start = KxFaultRead();
            const Outcome outcome = Attempt(site, out);
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
    SetText(G, L"HostName", L"host");
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
