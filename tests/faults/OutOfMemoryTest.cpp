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

#include <filesystem>

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

namespace {

using namespace kxtest;

using C = KxConfig;
const auto& P = kProductKey;
constexpr wchar_t G[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent";
constexpr long E = KX_E_REGISTRY, R = KX_E_SERVICE_REQUEST;

enum Outcome { kWrong, kRefused, kDone };

// What a site's call answered, kept for the judgement that follows it.
std::wstring g_text;
std::vector<wchar_t*> g_keys;
RegValueData g_data;
RadioInfo g_info;
const FileScan_tag kRecord{sizeof kRecord, 0, 0, L"\\kxtest\\f"};
FileScan_tag g_record = kRecord;
GUID g_id;
int g_found = -1, g_passwords[2];
unsigned long g_n[2], g_socksPort, g_runs;
unsigned char g_key[] = {1, 2, 3, 4, 5}, g_second[8];
// What a call handed out goes back before its allocations are counted; what a call fills in is
// made fresh for the next.
void Tidy() {
    KxRegUtil().ReleaseKeyList(g_keys);
    std::vector<wchar_t*>().swap(g_keys);
    std::wstring().swap(g_text);
    std::swap(g_info, *std::make_unique<RadioInfo>());  // not assigned: that keeps the buffers
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
} o, g_fill;  // o: the outputs of the call made

void SetText(const wchar_t* key, const wchar_t* name, const std::wstring& text) {
    RawSetValue(key, name, REG_SZ, text.c_str(), DWORD((text.size() + 1) * sizeof(wchar_t)));
}

// A file of \kxtest is no longer there.
bool Gone(const std::wstring& name) { return !std::filesystem::exists(L"\\kxtest\\" + name); }

// ---- What a call must leave as it was ----------------------------------------------------------

// The registry trees and device folders the calls below may touch.
std::string DeviceState() {
    std::string state =
        Dump(kVendorKey, true) + Dump(kPlatformKey, true) + Dump(kStandInsKey, true);
    std::error_code error;
    for (const wchar_t* folder : {kScratchDir, kServiceDir})
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error))
            state += entry.path().string() + " " +
                     std::to_string(entry.is_directory() ? 0 : entry.file_size()) + ";";
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

const std::wstring kLongPath(150, L'p'), kLoaderPath = SiblingPath(L"KxHookLoader.exe");
// The library's texts in 16-bit units.
const unsigned short* U(const wchar_t* s) { return reinterpret_cast<const unsigned short*>(s); }
const unsigned short* const kLoader = U(kLoaderPath.c_str());
unsigned short kTag[] = {'b', 0}, kAttribute[] = {'v', 0};
// The registration for the serial-connection event (9).
bool SyncEvent() {
    return RawValueExists(L"SOFTWARE\\WinCE Platform\\Notifications", L"9 \\Windows\\repllog.exe");
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
    MakeScratchFile(L"doc.xml", "<a><b v=\"" + std::string(40, '4') + "\"/></a>");
    C::AddRejecter(g_rejected);
    C::DelActiveSynEvent(1);
    g_runs = HookLoaderRuns();
}
void Product() {
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, G);
    Settings();
    SetText(P, L"AppPath", kScratchDir);
    SetText(P, L"StartupPath", L"\\kxtest\\StartUp");
    MakeScratchFile(L"game.lnk", "16#\\kxtest\\game.exe");
    MakeScratchFile(
        L"configmgi.xml",
        Wn(L"<wap-provisioningdoc><characteristic type=\"Registry\"><characteristic "
           L"type=\"HKLM\\SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent\"><parm "
           L"name=\"HostPort\" value=\"8443\" datatype=\"integer\"/><parm name=\"HostName\" "
           L"value=\"m\"/></characteristic></characteristic></wap-provisioningdoc>"));
    ::CreateDirectoryW(L"\\kxtest\\StartUp", 0);
    for (const wchar_t* file : {L"f", L"game.exe", L"StartUp\\evil.exe"})
        MakeScratchFile(file, "abc");
    WritePattern("md5 900150983cd24fb0d6963f7d28e17f72 Trojan.Abc\n");
    ASSERT_EQ(KxService().GetVirusInPatCount(g_n[0]), KX_OK);  // loads the service
    C::SetRsaKeyEx(g_key, g_n[0] = 3, g_key + 3, g_n[1] = 2);
    KxService().MsgSvcClean();
}
void Handset() { StageHandset(L"wm5-gsm"); }
void None() {}

struct Site {
    const char* name;
    void (*stage)();           // the state the call needs
    long (*call)();            // the library call, made with the chosen allocation failing
    Outcome (*judge)(long s);  // done, or refused with its own failure result
};

const Site kSites[] = {
    // Longer than the stack scratch of a read.
    {"a long text", Settings, []() -> long { return C::GetTaskLogFileName(o.w, 2048); },
     [](long s) { return J(!s && std::wcslen(o.w) == 1500, s == E); }},
    {"an ANSI host name", Settings, []() -> long { return C::GetMamoHostName(o.a, 64); },
     [](long s) { return J(!s && !std::strcmp(o.a, "mgmt.net"), s == E); }},
    {"subkeys", Settings, []() -> long { return KxRegUtil().EnumSubKey(P, g_keys); },
     [](long s) { return J(!s && g_keys.size() == 2, s == E && g_keys.empty()); }},
    // Grows its buffer.
    {"a value query", Settings, []() -> long { return RegQV(RegKey(P))(L"Large", g_data); },
     [](long s) { return J(s && g_data.size == 6002, !s && g_data.data == nullptr); }},
    {"a caller list", Settings, []() -> long { return C::InRejecterFuzzy(g_caller, g_found); },
     [](long s) { return J(!s && g_found == 1, false); }},
    {"the proxies", Handset,
     []() -> long {
         return C::GetProxy(o.host, 64, o.port, o.socks, 64, g_socksPort, o.user, 64,
                            g_passwords[0], o.socksUser, 64, g_passwords[1]);
     },
     [](long s) { return J(!s && o.port != 0xBDBDBDBD, s == E); }},
    {"a short path", None, []() -> long { return g_text = GetShortPathFile(kLongPath.c_str()), 0; },
     [](long) { return J(g_text == L"..." + kLongPath.substr(50), g_text.empty()); }},
    // Read whole, or refused with nothing read.
    {"a separated-values record", None,
     []() -> long {
         const CSV record(U(L"a, b ,c"), ',');
         return g_text = record.get(1, 1), long(record.size());
     },
     [](long s) { return J(s == 3 && g_text == L"b", g_text.empty()); }},
    {"resource bytes", None,
     []() -> long { return g_text = CreateStringFromByteBuf((BYTE*)g_bytes, 42, true), 0; },
     [](long) { return J(g_text == std::wstring(20, L'k'), g_text.empty()); }},
    {"a module's version", None,
     []() -> long { return std::tie(g_n[0], g_n[1]) = GetAFileVersion(U(L"kernel32.dll")), 0; },
     [](long) { return J(g_n[0] != 0, g_n[0] == 0 && g_n[1] == 0); }},
    {"the management server's key", Product,
     []() -> long { return C::GetRsaKeyEx(o.first, g_n[0] = 8, g_second, g_n[1] = 8, o.flag); },
     [](long s) { return J(s == 1 && g_n[0] == 3 && g_n[1] == 2 && o.flag == 1, !s); }},
    {"an XML attribute", Settings,
     []() -> long {
         KxXmlDocument document;
         document.LoadFile(U(L"\\kxtest\\doc.xml"));
         return g_text = document.FindElementByTag(kTag)[0].Attribute(kAttribute), 0;
     },
     [](long) { return J(g_text == std::wstring(40, L'4'), g_text.empty()); }},
    {"the provisioning document", Product, []() -> long { return C::RecoverMgiConfig(); },
     [](long s) {
         return J(!s && Gone(L"configmgi.xml") && C::GetMamoHostPort() == 8443, s == -1 || s == -2);
     }},
    {"a scanned file", Product, []() -> long { return KxService().ScanFile(&g_record); },
     [](long s) { return J(!s && g_record.scanResult == 1, s == R && !g_record.scanResult); }},
    {"a quarantined file", Product,
     []() -> long { return KxService().QuarantineFile(L"\\kxtest\\f", L"Trojan.Abc"); },
     [](long s) { return J(!s && Gone(L"f"), s != 0); }},
    {"a queued text", Product, []() -> long { return KxService().MsgSvcPush(L"Virus found"); },
     [](long s) { return J(!s && KxService().MsgSvcSize() == 1, s && !KxService().MsgSvcSize()); }},
    {"the Startup folder", Product, []() -> long { return C::ScanStartup(); },
     [](long s) { return J(!s && Gone(L"StartUp\\evil.exe"), !s); }},
    {"a shortcut's target", Product, []() -> long { return C::ScanIt(L"\\kxtest\\game.lnk"); },
     [](long s) { return J(!s && Gone(L"game.exe"), !s); }},
    {"the synchronisation event", Settings, []() -> long { return C::SetActiveSynEvent(1); },
     [](long) { return J(SyncEvent(), !SyncEvent()); }},
    // A field that could not be read keeps its value.
    {"the phone radio", Handset,
     []() -> long { return HelpAPI::RadioVersionInfoCollect(::GetModuleHandleW(0), g_info), 0; },
     [](long) {
         const RadioInfo& i = g_info;
         const bool named = !i.manufacturer.empty() && !i.operatorLongName.empty();
         return J(i.hasPhone == 1 && named && !i.serialNumber.empty(), i.hasPhone == 1);
     }},
    {"the device identifier", Handset, []() -> long { return HelpAPI::GetDeviceID(&g_id); },
     [](long s) { return J(s && g_id != GUID{}, !s && g_id == GUID{}); }},
    {"the adapters' link", Handset, []() -> long { return ConnMgr::GetConnectionType(); },
     [](long s) { return J(s == KX_CONNECTION_LOCAL_LINK, s == KX_CONNECTION_UNKNOWN); }},
    {"a program started with a command line", Settings,
     []() -> long { return RunApp(kLoader, U(L"ENABLE_REALTIME"), INFINITE, KX_DIR_NONE); },
     [](long s) { return J(s && HookLoaderRuns() == g_runs + 1, !s); }},
};

// One attempt of a site with allocation `nth` failing (0: none); the judgement runs unarmed. A
// refusal must leave the caller's outputs as they were.
Outcome Attempt(const Site& site, unsigned long nth) {
    std::memcpy(&o, &g_fill, sizeof o);
    KxFaultArm(nth);
    const long s = site.call();
    KxFaultArm(0);
    const Outcome outcome = site.judge(s);
    Tidy();
    return outcome == kRefused && std::memcmp(&o, &g_fill, sizeof o) ? kWrong : outcome;
}

class OutOfMemoryTest : public ServiceTest {};

TEST_F(OutOfMemoryTest, EveryFailedAllocationIsAFailureResultThatLosesNothing) {
    std::memset(&g_fill, 0xBD, sizeof g_fill);
    // The run-time sets up its unwinding on the library's first exception and keeps a few
    // handles for that; one failure before the walk does it.
    Attempt(kSites[6], 1);  // a path shortened
    for (const Site& site : kSites) {
        SCOPED_TRACE(site.name);
        // Once unarmed first, so that what the platform sets up on first use is not taken for
        // a leak.
        site.stage();
        ASSERT_EQ(Attempt(site, 0), kDone);
        for (unsigned long nth = 1, failed = 1; failed; ++nth) {
            SCOPED_TRACE("allocation " + std::to_string(nth));
            site.stage();
            const std::string before = DeviceState();
            const int handles = OpenHandles();
            const KxFaultCounts start = KxFaultRead();
            const Outcome outcome = Attempt(site, nth);
            const KxFaultCounts end = KxFaultRead();
            ASSERT_NE(outcome, kWrong);
            EXPECT_EQ(end.allocations - start.allocations, end.releases - start.releases)
                << "memory leaked";
            EXPECT_LE(OpenHandles(), handles) << "a handle leaked";
            if (outcome == kRefused) EXPECT_TRUE(DeviceState() == before) << "the device changed";
            failed = end.failures - start.failures;
            EXPECT_TRUE(failed || outcome == kDone) << "refused without a failed allocation";
        }
    }
}

// A length the caller claims is checked against the caller's buffer before anything is
// allocated: a read into a buffer said to hold 0x7FFFFFFE units is refused at once.
TEST_F(OutOfMemoryTest, AClaimedLengthIsCheckedBeforeAnythingIsAllocated) {
    Settings();
    const KxFaultCounts start = KxFaultRead();
    EXPECT_EQ(KxRegUtil().GetValue(P, L"TaskLogFilename", o.w, 0x7FFFFFFE), KX_E_REGISTRY);
    EXPECT_EQ(C::GetMamoHostName(o.a, 0x7FFFFFFE), -1);
    const KxFaultCounts end = KxFaultRead();
    EXPECT_EQ(end.allocations + end.failures, start.allocations + start.failures);
}

}  // namespace
