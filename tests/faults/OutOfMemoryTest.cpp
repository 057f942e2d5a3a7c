// Out of memory at each allocation of the exported calls that allocate. Against the test build of
// the library (src/internal/AllocationFaults.h), every call is made again and again with its
// first, second, third ... allocation failing, until it completes without a failure. Each time
// it must give its own failure result with the caller's outputs as they were (or recover and do
// its work), leak no memory and no handle, and leave the registry and the device's files as
// they were when it refused.
#include "RegistryRows.h"
#include "ServiceFixture.h"

#include "internal/AllocationFaults.h"

#include <kxcommon/kxcommon.h>

#include <algorithm>
#include <new>

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

// What a site's call answered, kept for the judgement that follows it.
std::wstring g_text;
std::vector<wchar_t*> g_keys;
std::pair<unsigned long, unsigned long> g_version;
RegValueData g_data;
RadioInfo g_info;
const FileScan_tag kRecord{sizeof kRecord, 0, 0, L"\\kxtest\\f"};
FileScan_tag g_record = kRecord;
GUID g_id;
int g_found = -1, g_passwords[2];
unsigned long g_n[2], g_socksPort;
unsigned char g_key[] = {1, 2, 3, 4, 5}, g_second[8];
DWORD g_runs;
// What a call handed out goes back before its allocations are counted; what a call fills in is
// made fresh for the next.
void Tidy() {
    KxRegUtil().ReleaseKeyList(g_keys);
    std::vector<wchar_t*>().swap(g_keys);
    std::wstring().swap(g_text);
    RadioInfo fresh;  // swapped, not assigned: an assignment would keep the text buffers
    std::swap(g_info, fresh);
    g_data = RegValueData(), g_record = kRecord, g_found = -1;
    std::memset(&g_id, 0xBD, sizeof g_id);
}
Outcome J(bool done, bool refused) { return done ? kDone : refused ? kRefused : kWrong; }

// The caller's outputs, filled with 0xBD before each call; a refusal must leave them so.
struct Out {
    wchar_t w[2048], host[64], socks[64], user[64], socksUser[64];
    char a[64];
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

// A file of \kxtest is no longer there.
bool Gone(const std::wstring& name) {
    return ::GetFileAttributesW((L"\\kxtest\\" + name).c_str()) == INVALID_FILE_ATTRIBUTES;
}

// ---- What a call must leave as it was ----------------------------------------------------------

void DumpFolder(const std::wstring& path, std::string& out) {
    WIN32_FIND_DATAW entry;
    HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &entry);
    for (bool more = find != INVALID_HANDLE_VALUE; more; more = ::FindNextFileW(find, &entry)) {
        const std::wstring child = path + L"\\" + entry.cFileName;
        if (entry.cFileName[0] == L'.') continue;
        out += Image(child.c_str(), child.size()) + std::to_string(entry.nFileSizeLow) + ";";
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) DumpFolder(child, out);
    }
    if (find != INVALID_HANDLE_VALUE) ::FindClose(find);
}

// The registry trees and device folders the calls below may touch.
std::string DeviceState() {
    std::string state;
    for (const wchar_t* key : {kVendorKey, kPlatformKey, kStandInsKey})
        state += Dump(key, true) + "|";
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
const std::string kXml = "<a><b v=\"" + std::string(40, '4') + "\"/></a>";
const char* const kLink = "16#\\kxtest\\game.exe";
const std::wstring kLongPath(150, L'p'), kLoaderPath = SiblingPath(L"KxHookLoader.exe");
// The library's texts in 16-bit units.
const unsigned short* U(const wchar_t* s) { return reinterpret_cast<const unsigned short*>(s); }
const unsigned short* const kLoader = U(kLoaderPath.c_str());
unsigned short kTag[] = {'b', 0}, kAttribute[] = {'v', 0};
const std::wstring kSyncEvent =
    std::to_wstring(long(NOTIFICATION_EVENT_RS232_DETECTED)) + L" \\Windows\\repllog.exe";
bool SyncEvent() {
    return RawValueExists(L"SOFTWARE\\WinCE Platform\\Notifications", kSyncEvent.c_str());
}
wchar_t g_bytes[] = L"\xFEFFkkkkkkkkkkkkkkkkkkkk";  // a byte order mark, 20 characters

DWORD HookLoaderRuns() {
    std::string bytes;
    RawGetValue(L"SOFTWARE\\KxStandIns\\KxHookLoader", L"Runs", nullptr, &bytes);
    return bytes.size() == 4 ? *reinterpret_cast<const DWORD*>(bytes.data()) : 0;
}
CallerInfo_tag g_rejected{L"12345"}, g_caller{L"+4412345678"};

// What the calls read, made again before every attempt: the product's settings and caller lists
// (the key has two subkeys) and an XML file; the product installed in \kxtest with files of its
// own, a pattern that knows one digest, the service loaded; a staged handset.
void Settings() {
    SetText(P, L"TaskLogFilename", std::wstring(1500, L'x'));
    SetText(P, L"Large", std::wstring(3000, L'y'));
    SetText(G, L"HostName", L"mgmt.net");
    MakeScratchFile(L"doc.xml", kXml);
    C::AddRejecter(g_rejected);
    C::DelActiveSynEvent(1);
    g_runs = HookLoaderRuns();
}
void Product() {
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, G);
    Settings();
    SetText(P, L"AppPath", kScratchDir);
    SetText(P, L"StartupPath", L"\\kxtest\\StartUp");
    MakeScratchFile(L"game.lnk", kLink);
    MakeScratchFile(L"configmgi.xml", Wn(kDoc));
    ::CreateDirectoryW(L"\\kxtest\\StartUp", 0);
    for (const wchar_t* file : {L"f", L"game.exe", L"StartUp\\evil.exe"})
        MakeScratchFile(file, "abc");
    WritePattern("md5 900150983cd24fb0d6963f7d28e17f72 Trojan.Abc\n");
    unsigned long count = 0;
    ASSERT_EQ(KxService().GetVirusInPatCount(count), KX_OK);
    C::SetRsaKeyEx(g_key, g_n[0] = 3, g_key + 3, g_n[1] = 2);
    KxService().MsgSvcClean();
}
void Handset() { StageHandset(L"wm5-gsm"); }
void None() {}

struct Site {
    const char* name;
    void (*stage)();                // the state the call needs
    long (*call)(O o);              // the library call, made with the chosen allocation failing
    Outcome (*judge)(long s, O o);  // done, or refused with its own failure result
};

const Site kSites[] = {
    // Longer than the stack scratch of a read.
    {"a long text", Settings, [](O o) -> long { return C::GetTaskLogFileName(o.w, 2048); },
     [](long s, O o) { return J(!s && std::wcslen(o.w) == 1500, s == E); }},
    {"an ANSI host name", Settings, [](O o) -> long { return C::GetMamoHostName(o.a, 64); },
     [](long s, O o) { return J(!s && !std::strcmp(o.a, "mgmt.net"), s == E); }},
    {"subkeys", Settings, [](O) -> long { return KxRegUtil().EnumSubKey(P, g_keys); },
     [](long s, O) { return J(!s && g_keys.size() == 2, s == E && g_keys.empty()); }},
    // Grows its buffer.
    {"a value query", Settings, [](O) -> long { return RegQV(RegKey(P))(L"Large", g_data); },
     [](long s, O) { return J(s && g_data.size == 6002, !s && g_data.data == nullptr); }},
    {"a caller list", Settings, [](O) -> long { return C::InRejecterFuzzy(g_caller, g_found); },
     [](long s, O) { return J(!s && g_found == 1, false); }},
    {"the proxies", Handset,
     [](O o) -> long {
         return C::GetProxy(o.host, 64, o.port, o.socks, 64, g_socksPort, o.user, 64,
                            g_passwords[0], o.socksUser, 64, g_passwords[1]);
     },
     [](long s, O o) { return J(!s && o.port != 0xBDBDBDBD, s == E); }},
    {"a short path", None,
     [](O) -> long { return g_text = GetShortPathFile(kLongPath.c_str()), 0; },
     [](long, O) { return J(g_text == L"..." + kLongPath.substr(50), g_text.empty()); }},
    // Read whole, or refused with nothing read.
    {"a separated-values record", None,
     [](O) -> long {
         const CSV record(U(L"a, b ,c"), ',');
         return g_text = record.get(1, 1), long(record.size());
     },
     [](long s, O) { return J(s == 3 && g_text == L"b", g_text.empty()); }},
    {"resource bytes", None,
     [](O) -> long { return g_text = CreateStringFromByteBuf((BYTE*)g_bytes, 42, true), 0; },
     [](long, O) { return J(g_text == std::wstring(20, L'k'), g_text.empty()); }},
    {"a module's version", None,
     [](O) -> long { return g_version = GetAFileVersion(U(L"kernel32.dll")), 0; },
     [](long, O) { return J(g_version.first != 0, g_version == std::make_pair(0ul, 0ul)); }},
    {"the management server's key", Product,
     [](O o) -> long { return C::GetRsaKeyEx(o.first, g_n[0] = 8, g_second, g_n[1] = 8, o.flag); },
     [](long s, O o) { return J(s == 1 && g_n[0] == 3 && g_n[1] == 2 && o.flag == 1, !s); }},
    {"an XML attribute", Settings,
     [](O) -> long {
         KxXmlDocument document;
         document.LoadFile(U(L"\\kxtest\\doc.xml"));
         return g_text = document.FindElementByTag(kTag)[0].Attribute(kAttribute), 0;
     },
     [](long, O) { return J(g_text == std::wstring(40, L'4'), g_text.empty()); }},
    {"the provisioning document", Product, [](O) -> long { return C::RecoverMgiConfig(); },
     [](long s, O) {
         return J(!s && Gone(L"configmgi.xml") && C::GetMamoHostPort() == 8443, s == -1 || s == -2);
     }},
    {"a scanned file", Product, [](O) -> long { return KxService().ScanFile(&g_record); },
     [](long s, O) {
         return J(!s && g_record.scanResult == 1,
                  s == KX_E_SERVICE_REQUEST && !g_record.scanResult);
     }},
    {"a quarantined file", Product,
     [](O) -> long { return KxService().QuarantineFile(L"\\kxtest\\f", L"Trojan.Abc"); },
     [](long s, O) { return J(!s && Gone(L"f"), s != 0); }},
    {"a queued text", Product, [](O) -> long { return KxService().MsgSvcPush(L"Virus found"); },
     [](long s, O) {
         return J(!s && KxService().MsgSvcSize() == 1, s && !KxService().MsgSvcSize());
     }},
    {"the Startup folder", Product, [](O) -> long { return C::ScanStartup(); },
     [](long s, O) { return J(!s && Gone(L"StartUp\\evil.exe"), !s); }},
    {"a shortcut's target", Product, [](O) -> long { return C::ScanIt(L"\\kxtest\\game.lnk"); },
     [](long s, O) { return J(!s && Gone(L"game.exe"), !s); }},
    {"the synchronisation event", Settings, [](O) -> long { return C::SetActiveSynEvent(1); },
     [](long, O) { return J(SyncEvent(), !SyncEvent()); }},
    // A field that could not be read keeps its value.
    {"the phone radio", Handset,
     [](O) -> long { return HelpAPI::RadioVersionInfoCollect(::GetModuleHandleW(0), g_info), 0; },
     [](long, O) {
         const RadioInfo& i = g_info;
         return J(i.hasPhone == 1 && !i.manufacturer.empty() && !i.serialNumber.empty() &&
                      !i.operatorLongName.empty(),
                  i.hasPhone == 1);
     }},
    {"the device identifier", Handset, [](O) -> long { return HelpAPI::GetDeviceID(&g_id); },
     [](long s, O) { return J(s && g_id != GUID{}, !s && g_id == GUID{}); }},
    {"the adapters' link", Handset, [](O) -> long { return ConnMgr::GetConnectionType(); },
     [](long s, O) { return J(s == KX_CONNECTION_LOCAL_LINK, s == KX_CONNECTION_UNKNOWN); }},
    {"a program started with a command line", Settings,
     [](O) -> long { return RunApp(kLoader, U(L"ENABLE_REALTIME"), INFINITE, KX_DIR_NONE); },
     [](long s, O) { return J(s && HookLoaderRuns() == g_runs + 1, !s); }},
};

// One attempt of a site with allocation `nth` failing (0: none); the judgement runs unarmed. A
// refusal must leave the caller's outputs as they were.
Outcome Attempt(const Site& site, Out& out, unsigned long nth) {
    std::memset(&out, 0xBD, sizeof out);
    KxFaultArm(nth);
    const long s = site.call(out);
    KxFaultArm(0);
    const Outcome outcome = site.judge(s, out);
    Tidy();
    return outcome == kRefused && !Kept(out) ? kWrong : outcome;
}

class OutOfMemoryTest : public ServiceTest {};

TEST_F(OutOfMemoryTest, EveryFailedAllocationIsAFailureResultThatLosesNothing) {
    Out out;
    // The run-time sets up its unwinding on the library's first exception and keeps a few
    // handles for that; one failure before the walk does it.
    Attempt(kSites[6], out, 1);  // a path shortened
    for (const Site& site : kSites) {
        SCOPED_TRACE(site.name);
        // Once unarmed first, so that what the platform sets up on first use is not taken for
        // a leak.
        site.stage();
        ASSERT_EQ(Attempt(site, out, 0), kDone);
        for (unsigned long nth = 1;; ++nth) {
            SCOPED_TRACE("allocation " + std::to_string(nth));
            site.stage();
            const std::string before = DeviceState();
            const int handles = OpenHandles();
            const KxFaultCounts start = KxFaultRead();
            const Outcome outcome = Attempt(site, out, nth);
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
}

// A length the caller claims is checked against the caller's buffer before anything is
// allocated: a read into 16 characters said to be 0x7FFFFFFE is refused at once.
TEST_F(OutOfMemoryTest, AClaimedLengthIsCheckedBeforeAnythingIsAllocated) {
    Settings();
    wchar_t text[16];
    char narrow[16];
    const KxFaultCounts start = KxFaultRead();
    EXPECT_EQ(KxRegUtil().GetValue(kProductKey, L"TaskLogFilename", text, 0x7FFFFFFE),
              KX_E_REGISTRY);
    EXPECT_EQ(C::GetMamoHostName(narrow, 0x7FFFFFFE), -1);
    const KxFaultCounts end = KxFaultRead();
    EXPECT_EQ(end.allocations + end.failures, start.allocations + start.failures);
}

}  // namespace
}  // namespace kxtest
