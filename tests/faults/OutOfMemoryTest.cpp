// The out-of-memory walk. Against the test build of the library (src/internal/AllocationFaults.h)
// every exported function that can allocate is called again and again with its first, second,
// third ... allocation failing, whatever the route (operator new, BSTRs, the task allocator, the
// C run-time's heap and file streams, local memory), until a call completes without a failed
// allocation. Each time it must do its work or give its own failure result with the caller's
// outputs as they were, leak no memory and no handle, and leave the registry and the device's
// files as they were when it refused. The export table of the library says which functions
// there are: each is driven here or listed below as one that cannot allocate.
#include "RegistryRows.h"
#include "ServiceFixture.h"

#include "internal/AllocationFaults.h"

#include "Strings.h"  // the resource module's text identifiers
#include <kxcommon/kxcommon.h>

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <set>

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

constexpr wchar_t kServerAgentKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent";
constexpr unsigned long kTextChars = 2048;
// Longer than a read's stack scratch of 1024 characters, so that reading it needs the heap.
const std::wstring kLongText(1500, L'y');

enum Outcome { kWrong, kRefused, kDone };
// What a copy holds after it was made: the source's content, what the target held before, or
// neither.
enum CopyOutcome : long { kCopied, kKept, kNeither };

// ---- What the calls write ---------------------------------------------------------------------

// The caller's outputs, filled with 0xBD before each call; a refusal leaves them so, but for
// what a row's TextOnRefusal allows.
struct Outputs {
    wchar_t text[kTextChars];
    char narrow[64];
    unsigned char bytes[4096];
    wchar_t host[64], socksHost[64], userName[64], socksUserName[64];
    unsigned long port, socksPort;
    int hasPassword, socksHasPassword;
    unsigned char firstKey[8], secondKey[8], flag;
} g_out, g_fill;

// What a refusal may do to g_out.text, as the function's header says.
enum TextOnRefusal {
    kTextLeftAlone,
    kTextEmptied,        // the directory getters empty it first
    kTextTerminatedLast  // GetLastPattern terminates an unterminated buffer at its last unit
};

// What the calls hand back by value or keep between calls, made fresh after each attempt.
std::vector<wchar_t*> g_subKeys;
std::wstring g_text;
RegValueData g_record;
RadioInfo g_radio, g_radioSource;
CSV g_fields(nullptr, L',');
GUID g_id;
FileScan_tag g_scan;
ZRAPIVersion_tag g_version;
VirusInfo_tag g_virus;
SMSScan_tag g_sms;
SCPROTECT_Tag g_protect;
unsigned long g_count, g_firstLength, g_secondLength;
unsigned long g_mediaModes;  // set to 0 first, whatever the search finds
LINEEXTENSIONID g_extension;
HLINEAPP g_lineApp = nullptr;
ConnMgr g_connection;
std::wstring g_copied;  // what the dialog of ActivatePreviousInstance was handed

void Tidy() {
    KxRegUtil().ReleaseKeyList(g_subKeys);
    std::vector<wchar_t*>().swap(g_subKeys);
    std::wstring().swap(g_text);
    std::wstring().swap(g_copied);
    g_record = RegValueData();
    std::swap(g_radio, *std::make_unique<RadioInfo>());  // not assigned: that keeps the buffers
    std::memset(&g_id, 0xBD, sizeof g_id);
    g_connection.Disconnect();
}

// ---- What a call must leave as it was ----------------------------------------------------------

// The registry trees, device folders and files the calls below may touch, contents included.
std::string DeviceState() {
    std::string state =
        Dump(kVendorKey, true) + Dump(kPlatformKey, true) + Dump(kStandInsKey, true);
    std::error_code error;
    for (const wchar_t* folder : {kScratchDir, kServiceDir})
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error))
            state += entry.path().string() + "=" +
                     (entry.is_directory() ? "folder" : ReadDeviceFile(entry.path().wstring())) +
                     ";";
    return state + "log=" + ReadDeviceFile(kDebugLog);
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

unsigned long long Total(const unsigned long long (&perRoute)[KX_ROUTE_COUNT]) {
    unsigned long long total = 0;
    for (unsigned long long count : perRoute) total += count;
    return total;
}

// ---- What the calls need -----------------------------------------------------------------------

void SetText(const wchar_t* key, const wchar_t* name, const std::wstring& text) {
    RawSetValue(key, name, REG_SZ, text.c_str(), DWORD((text.size() + 1) * sizeof(wchar_t)));
}
bool Gone(const std::wstring& name) { return !std::filesystem::exists(L"\\kxtest\\" + name); }
bool Contains(const std::wstring& file, const char* text) {
    return ReadDeviceFile(file).find(text) != std::string::npos;
}
const unsigned short* Units(const wchar_t* text) {
    return reinterpret_cast<const unsigned short*>(text);
}
unsigned short* Units(wchar_t* text) { return reinterpret_cast<unsigned short*>(text); }

const std::wstring kLoaderPath = SiblingPath(L"KxHookLoader.exe");
DWORD HookLoaderRuns() {
    std::string bytes;
    RawGetValue(L"SOFTWARE\\KxStandIns\\KxHookLoader", L"Runs", nullptr, &bytes);
    return bytes.size() == 4 ? *reinterpret_cast<const DWORD*>(bytes.data()) : 0;
}
DWORD g_loaderRuns;

// The registration of the synchronisation logger for the serial-connection event (9).
bool Registered(const wchar_t* program) {
    return RawValueExists(L"SOFTWARE\\WinCE Platform\\Notifications",
                          (L"9 " + std::wstring(program)).c_str());
}

const std::string kSubscription =
    "<Subscription><Op><ServiceProvider SubscribeNumber=\"5550100\"/></Op></Subscription>";
const std::string kProvisioning =
    Wn(L"<wap-provisioningdoc><characteristic type=\"Registry\"><characteristic "
       L"type=\"HKLM\\SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent\"><parm name=\"HostPort\" "
       L"value=\"8443\" datatype=\"integer\"/><parm name=\"HostName\" value=\"mgmt.example\"/>"
       L"</characteristic></characteristic></wap-provisioningdoc>");

void Nothing() {}
void Handset() { StageHandset(L"wm5-gsm"); }
// A handset whose version carries a service-pack text: reading the version then needs memory.
void HandsetWithServicePack() {
    Handset();
    StageProfileText(L"CSDVersion", L"Service Pack 2 (build 14955)");
}
void PdaWithServicePack() {
    StageHandset(L"wm2003-pda");
    StageProfileText(L"CSDVersion", L"Service Pack 2 (build 14955)");
}
void LongSettings() {
    SetText(kProductKey, L"Large", kLongText);
    RawSetValue(kProductKey, L"Bytes", REG_BINARY, std::string(3000, 'b').data(), 3000);
    // The product key's two subkeys.
    SetText(kServerAgentKey, L"HostName", L"mgmt.example");
    RawSetValue(L"SOFTWARE\\Quorlend\\Scutara\\2.0\\WapPush", L"Level", REG_DWORD, "\1\0\0\0", 4);
}
// The product installed in \kxtest: its directories, files and key file.
void Installed() {
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kServerAgentKey);
    for (const wchar_t* name : {L"AppPath", L"WinPath"}) SetText(kProductKey, name, kScratchDir);
    SetText(kProductKey, L"StartupPath", L"\\kxtest\\StartUp");
    ::CreateDirectoryW(L"\\kxtest\\StartUp", nullptr);
    MakeScratchFile(L"subscription.xml", kSubscription);
    MakeScratchFile(L"configmgi.xml", kProvisioning);
    MakeScratchFile(L"KxMsgSvr.exe", "message server");
    MakeScratchFile(L"doc.xml", "<a><b v=\"" + std::string(40, '4') + "\"/></a>");
    unsigned char key[] = {1, 2, 3, 4, 5};
    unsigned long first = 3, second = 2;
    KxConfig::SetRsaKeyEx(key, first, key + 3, second);
    ::DeleteFileW(kDebugLog);
    g_loaderRuns = HookLoaderRuns();
}
// The scan service loaded with a pattern that knows the digest of "abc", an empty queue, and
// files to scan and quarantine.
void ServiceLoaded() {
    Installed();
    WritePattern("md5 900150983cd24fb0d6963f7d28e17f72 Trojan.Abc\n");
    for (const wchar_t* file : {L"f", L"game.exe", L"StartUp\\evil.exe"})
        MakeScratchFile(file, "abc");
    MakeScratchFile(L"game.lnk", "16#\\kxtest\\game.exe");
    KxService service;
    service.GetVirusInPatCount(g_count);  // loads it
    service.Start();
    service.MsgSvcClean();
    service.MsgSvcPush(L"a queued message");
    g_scan = FileScan_tag{sizeof g_scan, 0, 0, L"\\kxtest\\f"};
    g_sms = SMSScan_tag{};
    g_protect = SCPROTECT_Tag{sizeof g_protect};
}
void ServiceNotLoaded() {
    KxService().Release();
    WritePattern("md5 900150983cd24fb0d6963f7d28e17f72 Trojan.Abc\n");
}
void NoRegistrations() {
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\WinCE Platform\\Notifications");
}
void Registrations() {
    for (const wchar_t* program : {L"\\Windows\\repllog.exe", L"repllog.exe"}) {
        wchar_t name[MAX_PATH];
        std::wcscpy(name, program);
        ::CeRunAppAtEvent(name, NOTIFICATION_EVENT_RS232_DETECTED);
    }
}
void LineApplication() {
    Handset();
    if (g_lineApp != nullptr) lineShutdown(g_lineApp);
    DWORD devices = 0, version = 0x00020000;
    lineInitializeEx(&g_lineApp, nullptr, nullptr, L"walk", &devices, &version, nullptr);
}
void RadioToCopy() {
    Handset();
    g_radioSource = RadioInfo();
    HelpAPI::RadioVersionInfoCollect(::GetModuleHandleW(nullptr), g_radioSource);
}
void FieldsToCopy() { g_fields = CSV(Units(L"first field,second field,third field"), L','); }

// ActivatePreviousInstance finds the running instance's dialog by its title ("Scutara", from the
// resource module) and hands it the command line.
INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    if (message != WM_COPYDATA) return ::DefWindowProcW(window, message, wp, lp);
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
    g_copied.assign(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
    return TRUE;
}
HWND g_dialog = nullptr;
void RunningInstance() {
    static HANDLE firstInstance = ::CreateMutexW(nullptr, FALSE, L"kxtest_faults.exe");
    if (g_dialog != nullptr || firstInstance == nullptr) return;
    WinceRegisterDialogClass(::GetModuleHandleW(nullptr));
    g_dialog = ::CreateWindowExW(0, L"Dialog", L"Scutara", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    ::SetWindowLongPtrW(g_dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DialogProc));
}

// ---- The sites -----------------------------------------------------------------------------

struct TextSetting;
// One exported call and what it must answer. It did its work when `worked` says so; it refused
// when it answers one of its `refusals`, `leftAlone` (when there is one) says what it had to
// leave as it was, and the caller's outputs hold what they held.
struct Site {
    const char* name;                 // what the call does, in words
    std::vector<const char*> drives;  // the exports it drives: an export table's name, or one
                                      // without its parameters for every overload of it
    void (*stage)();                  // what the call needs, made again before each attempt
    long (*call)();                   // the library call, made with the chosen allocation failing
    bool (*worked)(long answer);      // whether its answer and what it left show its work done
    std::vector<long> refusals;       // its failure results
    bool (*leftAlone)(long refusal) = nullptr;
    TextOnRefusal text = kTextLeftAlone;
    // A refusal may leave the first of its two platform calls made (DelActiveSynEvent).
    bool mayBePartlyDone = false;
    const TextSetting* setting = nullptr;  // the text setting a row of kTextSettings reads
};

// Text settings read into a buffer of 2048 characters: each reads the 1500-character text stored
// at its place, or gives its failure result.
struct TextSetting {
    const char* drives;
    const wchar_t *key, *value;  // where the text is stored, under HKEY_LOCAL_MACHINE
    KXSTATUS (*read)(wchar_t* buffer);
    KXSTATUS refusal = KX_E_REGISTRY;
    TextOnRefusal text = kTextLeftAlone;
};

const TextSetting kTextSettings[] = {
    {"KxRegUtil::GetValue(wchar_t const*, wchar_t const*, wchar_t*, unsigned long, HKEY__*)",
     kProductKey, L"Large",
     [](wchar_t* b) { return KxRegUtil().GetValue(kProductKey, L"Large", b, kTextChars); }},
    {"KxConfig::GetSpamFolder", kProductKey, L"SMSSpamFolderName",
     [](wchar_t* b) { return KxConfig::GetSpamFolder(b, kTextChars); }, KX_OK},
    {"KxConfig::GetOfficalServer", kProductKey, L"BackupUpdateServer",
     [](wchar_t* b) { return KxConfig::GetOfficalServer(b, kTextChars, 1); }},
    {"KxConfig::GetTaskLogFileName", kProductKey, L"TaskLogFilename",
     [](wchar_t* b) { return KxConfig::GetTaskLogFileName(b, kTextChars); }},
    {"KxConfig::GetVirusLogFileName", kProductKey, L"VirusLogFilename",
     [](wchar_t* b) { return KxConfig::GetVirusLogFileName(b, kTextChars); }},
    {"KxConfig::GetSMSLogFileName", kProductKey, L"SMSLogFilename",
     [](wchar_t* b) { return KxConfig::GetSMSLogFileName(b, kTextChars); }},
    {"KxConfig::GetMsgLogFileName", kProductKey, L"WAPLogFilename",
     [](wchar_t* b) { return KxConfig::GetMsgLogFileName(b, kTextChars); }},
    {"KxConfig::GetPxyPwd", kProductKey, L"ProxyPassword",
     [](wchar_t* b) { return KxConfig::GetPxyPwd(b, kTextChars); }},
    {"KxConfig::GetOldProductVersion", L"Software\\Quorlend\\Scutara", L"Version",
     [](wchar_t* b) { return KxConfig::GetOldProductVersion(b, kTextChars); }},
    {"KxConfig::GetStartupTemp", kProductKey, L"StartupTemp",
     [](wchar_t* b) { return KxConfig::GetStartupTemp(b, kTextChars); }},
    {"KxConfig::GetInsertCardTitle", kProductKey, L"KillWindowTitle",
     [](wchar_t* b) { return KxConfig::GetInsertCardTitle(b, kTextChars); }},
    {"KxConfig::GetMamoHostName(wchar_t*, int)", kServerAgentKey, L"HostName",
     [](wchar_t* b) { return KxConfig::GetMamoHostName(b, kTextChars); }},
    {"KxConfig::GetFullVersion(wchar_t*, unsigned long)", kProductKey, L"FullVersionNum",
     [](wchar_t* b) { return KxConfig::GetFullVersion(b, kTextChars); }},
    {"KxConfig::GetConfigURL", kProductKey, L"ConfigURL",
     [](wchar_t* b) { return KxConfig::GetConfigURL(b, kTextChars); }},
    // The directories end in a backslash.
    {"KxConfig::GetSysDir", kProductKey, L"WinPath",
     [](wchar_t* b) { return KxConfig::GetSysDir(b, kTextChars); }, KX_E_REGISTRY, kTextEmptied},
    {"KxConfig::GetStartupDir", kProductKey, L"StartupPath",
     [](wchar_t* b) { return KxConfig::GetStartupDir(b, kTextChars); }, KX_E_REGISTRY,
     kTextEmptied},
    {"KxConfig::GetLastPattern", kProductKey, L"LastPatternFilename",
     [](wchar_t* b) { return KxConfig::GetLastPattern(b, kTextChars); }, KX_E_REGISTRY,
     kTextTerminatedLast},
    {"KxConfig::Get_ProviderDLLPath_WDP", L"Comm\\Cellular\\SMS\\Protocols\\WDP", L"DLL",
     [](wchar_t* b) { return KxConfig::Get_ProviderDLLPath_WDP(b, kTextChars); }},
    {"KxConfig::Get_ProviderDLLPath_Notify", L"Comm\\Cellular\\SMS\\Protocols\\Notification",
     L"DLL", [](wchar_t* b) { return KxConfig::Get_ProviderDLLPath_Notify(b, kTextChars); }},
    {"KxConfig::Get_ProviderDLLPath_Text", L"Comm\\Cellular\\SMS\\Protocols\\Text", L"DLL",
     [](wchar_t* b) { return KxConfig::Get_ProviderDLLPath_Text(b, kTextChars); }},
    {"KxConfig::Get_ProviderDLLPath_WCMP", L"Comm\\Cellular\\SMS\\Protocols\\WCMP", L"DLL",
     [](wchar_t* b) { return KxConfig::Get_ProviderDLLPath_WCMP(b, kTextChars); }},
    {"KxConfig::Get_ProviderDLLPath_Broadcast", L"Comm\\Cellular\\SMS\\Protocols\\Broadcast",
     L"DLL", [](wchar_t* b) { return KxConfig::Get_ProviderDLLPath_Broadcast(b, kTextChars); }},
    {"KxConfig::Get_ProviderDLLPath_Status", L"Comm\\Cellular\\SMS\\Protocols\\Status", L"DLL",
     [](wchar_t* b) { return KxConfig::Get_ProviderDLLPath_Status(b, kTextChars); }},
    {"KxConfig::Get_ProviderDLLPath_Raw", L"Comm\\Cellular\\SMS\\Protocols\\Raw", L"DLL",
     [](wchar_t* b) { return KxConfig::Get_ProviderDLLPath_Raw(b, kTextChars); }},
};

// The text setting of the row being walked.
const TextSetting* g_setting = nullptr;
void StoreLongSetting() { SetText(g_setting->key, g_setting->value, kLongText); }
long ReadSetting() { return g_setting->read(g_out.text); }
bool SettingRead(long status) {
    return status == KX_OK &&
           g_out.text == kLongText + (g_setting->text == kTextEmptied ? L"\\" : L"");
}

ServiceSnapshot ServiceState() {
    ServiceSnapshot state{};
    ReadServiceState(&state);
    return state;
}
const std::vector<long> kRegistryRefusal = {KX_E_REGISTRY};
// A request refused, or a service that could not be reached.
const std::vector<long> kServiceRefusals = {KX_E_SERVICE_REQUEST, KX_E_SERVICE_NOT_FOUND};
long Status(KXSTATUS status) { return long(status); }
// The first status of a row of calls that is not KX_OK, else KX_OK.
long FirstFailure(std::initializer_list<int> statuses) {
    for (int status : statuses)
        if (status != KX_OK) return status;
    return KX_OK;
}

const Site kSites[] = {
    // ---- Registry access ----
    {.name = "bytes longer than a read's stack scratch",
     .drives = {"KxRegUtil::GetValue(wchar_t const*, wchar_t const*, unsigned char*, unsigned "
                "long, HKEY__*)",
                "KxRegUtil::InternalGetValue"},
     .stage = LongSettings,
     .call = [] { return Status(KxRegUtil().GetValue(kProductKey, L"Bytes", g_out.bytes, 4096)); },
     .worked =
         [](long answer) {
             return answer == KX_OK && g_out.bytes[2999] == 'b' && g_out.bytes[3000] == 0xBD;
         },
     .refusals = kRegistryRefusal},
    {.name = "the subkeys listed, all or none",
     .drives = {"KxRegUtil::EnumSubKey"},
     .stage = LongSettings,
     .call = [] { return Status(KxRegUtil().EnumSubKey(kProductKey, g_subKeys)); },
     .worked = [](long answer) { return answer == KX_OK && g_subKeys.size() == 2; },
     .refusals = kRegistryRefusal,
     .leftAlone = [](long) { return g_subKeys.empty(); }},
    {.name = "a value queried into a buffer grown for it",
     .drives = {"RegQV::operator()"},
     .stage = LongSettings,
     .call = [] { return long(RegQV(RegKey(kProductKey))(L"Large", g_record)); },
     .worked = [](long answer) { return answer == true && g_record.size == 3002; },
     .refusals = {false},
     .leftAlone = [](long) { return g_record.data == nullptr; }},
    // A copy without memory holds no buffer; its next query reads the value all the same.
    {.name = "a query copied with the value it holds",
     .drives = {"RegQV::RegQV(RegQV const&)", "RegQV::operator=(RegQV const&)"},
     .stage = LongSettings,
     .call =
         [] {
             RegKey key(kProductKey);
             RegQV query(key), assigned(key);
             query(L"Large", g_record);
             assigned = query;
             return long(RegQV(query)(L"Large", g_record));
         },
     .worked = [](long read) { return read && g_record.size == 3002; }},

    // ---- Settings that are more than a stored value ----
    {.name = "the host name in the device's ANSI code page",
     .drives = {"KxConfig::GetMamoHostName(char*, int)"},
     .stage = LongSettings,
     .call = [] { return Status(KxConfig::GetMamoHostName(g_out.narrow, 64)); },
     .worked =
         [](long answer) { return answer == KX_OK && std::string(g_out.narrow) == "mgmt.example"; },
     .refusals = kRegistryRefusal},
    {.name = "the proxies of a Windows Mobile 5 handset",
     .drives = {"KxConfig::GetProxy"},
     .stage = HandsetWithServicePack,
     .call =
         [] {
             return Status(KxConfig::GetProxy(
                 g_out.host, 64, g_out.port, g_out.socksHost, 64, g_out.socksPort, g_out.userName,
                 64, g_out.hasPassword, g_out.socksUserName, 64, g_out.socksHasPassword));
         },
     .worked =
         [](long status) {
             return status == KX_OK && g_out.port == 8080 &&
                    std::wstring(g_out.userName) == L"wap" && g_out.hasPassword == 1;
         },
     .refusals = kRegistryRefusal},
    {.name = "the management server's provisioning document applied",
     .drives = {"KxConfig::RecoverMgiConfig"},
     .stage = Installed,
     .call = [] { return long(KxConfig::RecoverMgiConfig()); },
     .worked =
         [](long answer) {
             return answer == 0 && Gone(L"configmgi.xml") && KxConfig::GetMamoHostPort() == 8443;
         },
     .refusals = {-1, -2}},
    {.name = "the management server's key file read",
     .drives = {"KxConfig::GetRsaKeyEx"},
     .stage = Installed,
     .call =
         [] {
             g_firstLength = g_secondLength = 8;
             return long(KxConfig::GetRsaKeyEx(g_out.firstKey, g_firstLength, g_out.secondKey,
                                               g_secondLength, g_out.flag));
         },
     .worked =
         [](long answer) {
             return answer == 1 && g_firstLength == 3 && g_secondLength == 2 && g_out.flag == 1;
         },
     .refusals = {0}},
    {.name = "the message server's digest stored",
     .drives = {"KxConfig::SetMD5"},
     .stage = Installed,
     .call = [] { return Status(KxConfig::SetMD5()); },
     .worked =
         [](long answer) { return answer == KX_OK && RawValueExists(kProductKey, L"RepMD5"); },
     .refusals = kRegistryRefusal},
    {.name = "the operator's subscription file edited",
     .drives = {"KxConfig::SetSpdXmlEx"},
     .stage = Installed,
     .call =
         [] {
             return long(KxConfig::SetSpdXmlEx(L"\\kxtest\\subscription.xml", L"5550199",
                                               L"5550198", L"SUBSCRIBE", L"UNSUBSCRIBE"));
         },
     .worked =
         [](long answer) {
             return answer == 1 && Contains(L"\\kxtest\\subscription.xml", "5550198");
         },
     .refusals = {0}},
    {.name = "the subscription file in the application directory edited",
     .drives = {"KxConfig::SetSpdXml"},
     .stage = Installed,
     .call = [] { return long(KxConfig::SetSpdXml(L"5550199", nullptr, nullptr, nullptr)); },
     .worked =
         [](long answer) {
             return answer == 1 && Contains(L"\\kxtest\\subscription.xml", "5550199");
         },
     .refusals = {0}},
    {.name = "the synchronisation logger registered",
     .drives = {"KxConfig::SetActiveSynEvent"},
     .stage = NoRegistrations,
     .call = [] { return Status(KxConfig::SetActiveSynEvent(1)); },
     .worked = [](long answer) { return answer == KX_OK && Registered(L"\\Windows\\repllog.exe"); },
     .refusals = kRegistryRefusal,
     .leftAlone = [](long) { return !Registered(L"\\Windows\\repllog.exe"); }},
    // Both names are tried; when one removal runs out of memory the other may be made.
    {.name = "the synchronisation logger's registrations removed",
     .drives = {"KxConfig::DelActiveSynEvent"},
     .stage = Registrations,
     .call = [] { return Status(KxConfig::DelActiveSynEvent(1)); },
     .worked =
         [](long answer) {
             return answer == KX_OK && !Registered(L"\\Windows\\repllog.exe") &&
                    !Registered(L"repllog.exe");
         },
     .refusals = kRegistryRefusal,
     .leftAlone =
         [](long) { return Registered(L"\\Windows\\repllog.exe") || Registered(L"repllog.exe"); },
     .mayBePartlyDone = true},
    {.name = "a program started with a command line",
     .drives = {"RunApp"},
     .stage = Installed,
     .call =
         [] {
             return long(RunApp(Units(kLoaderPath.c_str()), Units(L"ENABLE_REALTIME"), INFINITE,
                                KX_DIR_NONE) != 0);
         },
     .worked = [](long answer) { return answer == true && HookLoaderRuns() == g_loaderRuns + 1; },
     .refusals = {false}},

    // ---- The scan service ----
    // Not loaded, or loaded and then the request refused.
    {.name = "the service loaded by a first request",
     .drives = {"KxService::GetVirusInPatCount", "KxService::Open"},
     .stage = ServiceNotLoaded,
     .call = [] { return Status(KxService().GetVirusInPatCount(g_count)); },
     .worked = [](long answer) { return answer == KX_OK && CountServiceHosts() == 1; },
     .refusals = kServiceRefusals,
     .leftAlone =
         [](long refusal) {
             return CountServiceHosts() == (refusal == KX_E_SERVICE_NOT_FOUND ? 0 : 1);
         }},
    {.name = "the running service looked up",
     .drives = {"KxService::GetHandle"},
     .stage = ServiceLoaded,
     .call = [] { return long(KxService().GetHandle() != INVALID_HANDLE_VALUE); },
     .worked = [](long answer) { return answer == true; },
     .refusals = {false}},
    // Its result is always 0; only the device shows whether it was done.
    {.name = "the service unloaded",
     .drives = {"KxService::Release"},
     .stage = ServiceLoaded,
     .call = [] { return Status(KxService().Release()); },
     .worked = [](long answer) { return answer == KX_OK && CountServiceHosts() == 0; },
     .refusals = {KX_OK},
     .leftAlone = [](long) { return CountServiceHosts() == 1; }},
    // All are asked, in this order, and none touches the device's files; the first that fails
    // gives the answer.
    {.name = "the service stopped and started, its settings made, its queue and detection count "
             "emptied",
     .drives = {"KxService::Stop", "KxService::Start", "KxService::SetArchiveFlag",
                "KxService::SetNotification", "KxService::SetUpdateSchedule",
                "KxService::MsgSvcClean", "KxService::MgiClean"},
     .stage = ServiceLoaded,
     .call =
         [] {
             KxService service;
             const SYSTEMTIME when{2026, 12, 0, 24, 3, 0, 0, 0};
             return FirstFailure({service.Stop(), service.Start(), service.SetArchiveFlag(5, 0),
                                  service.SetNotification(2), service.SetUpdateSchedule(&when),
                                  service.MsgSvcClean(), service.MgiClean()});
         },
     .worked =
         [](long answer) {
             const ServiceSnapshot state = ServiceState();
             return answer == KX_OK && state.running == 1 && state.archiveFlag == 5 &&
                    state.notification == 2 && state.hasSchedule == 1 &&
                    KxService().MsgSvcSize() == 0;
         },
     .refusals = kServiceRefusals},
    {.name = "a line for the service's log",
     .drives = {"KxService::WriteDebugLog"},
     .stage = ServiceLoaded,
     .call = [] { return Status(KxService().WriteDebugLog(L"a line written by the walk")); },
     .worked = [](long answer) { return answer == KX_OK && Contains(kServiceLog, "walk"); },
     .refusals = kServiceRefusals},
    {.name = "a file scanned",
     .drives = {"KxService::ScanFile"},
     .stage = ServiceLoaded,
     .call = [] { return Status(KxService().ScanFile(&g_scan)); },
     .worked = [](long answer) { return answer == KX_OK && g_scan.scanResult == 1; },
     .refusals = {KX_E_SERVICE_REQUEST},
     .leftAlone = [](long) { return g_scan.scanResult == 0; }},
    // All four are asked, and none touches the device's files; the first that fails gives the
    // answer.
    {.name = "a message and a protected item scanned, the pattern's versions and a virus read",
     .drives = {"KxService::ScanSMS", "KxService::ScanSCProtect", "KxService::GetZRAPIVersion",
                "KxService::GetVirusInPat"},
     .stage = ServiceLoaded,
     .call =
         [] {
             KxService service;
             return FirstFailure({service.ScanSMS(&g_sms), service.ScanSCProtect(&g_protect),
                                  service.GetZRAPIVersion(&g_version),
                                  service.GetVirusInPat(1, &g_virus)});
         },
     .worked =
         [](long answer) {
             return answer == KX_OK && std::wstring(g_sms.answer) == L"clean" &&
                    ServiceState().lastProtectLength == sizeof g_protect &&
                    g_version.engineVersion[0] != 0 && std::wstring(g_virus.name) == L"Trojan.Abc";
         },
     .refusals = kServiceRefusals},
    // The service's own answer word: 0 is done.
    {.name = "a file quarantined",
     .drives = {"KxService::QuarantineFile"},
     .stage = ServiceLoaded,
     .call = [] { return long(KxService().QuarantineFile(L"\\kxtest\\f", L"Trojan.Abc")); },
     .worked = [](long answer) { return answer == 0 && Gone(L"f"); },
     .refusals = kServiceRefusals},
    {.name = "a quarantined file restored",
     .drives = {"KxService::RestoreFile"},
     .stage =
         [] {
             ServiceLoaded();
             KxService().QuarantineFile(L"\\kxtest\\f", L"Trojan.Abc");
         },
     .call =
         [] {
             const FILETIME newest{};
             return long(KxService().RestoreFile(L"\\kxtest\\f", L"", 0, &newest));
         },
     .worked = [](long answer) { return answer == 0 && !Gone(L"f"); },
     .refusals = kServiceRefusals},
    {.name = "a message queued, counted and taken back",
     .drives = {"KxService::MsgSvcPush", "KxService::MsgSvcSize", "KxService::MsgSvcPop"},
     .stage = ServiceLoaded,
     .call =
         [] {
             KxService service;
             const int pushed = service.MsgSvcPush(L"Virus found in a file");
             if (pushed != KX_OK) return long(pushed);
             if (service.MsgSvcSize() != 2) return long(KX_E_SERVICE_REQUEST);
             return Status(service.MsgSvcPop(g_out.text));
         },
     .worked =
         [](long answer) {
             return answer == KX_OK && std::wstring(g_out.text) == L"a queued message";
         },
     .refusals = kServiceRefusals},
    // Its result is always 0; only the service shows whether it was done.

    {.name = "the next update scheduled with the service",
     .drives = {"KxConfig::SetUpdateSchedule"},
     .stage =
         [] {
             ServiceLoaded();
             KxService().SetUpdateSchedule(nullptr);
             KxConfig::SetAutomaticUpdate(1);
         },
     .call =
         [] {
             const SYSTEMTIME when{2026, 12, 0, 24, 3, 0, 0, 0};
             return long(KxConfig::SetUpdateSchedule(&when));
         },
     .worked = [](long answer) { return answer == KX_OK && ServiceState().hasSchedule == 1; },
     .refusals = {KX_OK},
     .leftAlone = [](long) { return ServiceState().hasSchedule == 0; }},
    {.name = "the service's versions recorded",
     .drives = {"KxConfig::SetZRApiVersionReg"},
     .stage = ServiceLoaded,
     .call = [] { return long(KxConfig::SetZRApiVersionReg()); },
     .worked =
         [](long answer) {
             return answer == KX_OK && RawValueExists(kProductKey, L"ZRAPIEngineVer");
         },
     .refusals = kServiceRefusals},
    // Both always answer 0; what was done shows on the device.
    {.name = "the Startup folder scanned",
     .drives = {"KxConfig::ScanStartup"},
     .stage = ServiceLoaded,
     .call = [] { return long(KxConfig::ScanStartup()); },
     .worked = [](long answer) { return answer == KX_OK && Gone(L"StartUp\\evil.exe"); },
     .refusals = {KX_OK}},
    {.name = "a shortcut's target scanned",
     .drives = {"KxConfig::ScanIt"},
     .stage = ServiceLoaded,
     .call = [] { return long(KxConfig::ScanIt(L"\\kxtest\\game.lnk")); },
     .worked = [](long answer) { return answer == KX_OK && Gone(L"game.exe"); },
     .refusals = {KX_OK}},

    // ---- The device ----
    // The device-type word has its lowest bit clear: it carries IsWM5's answer.
    {.name = "the device type and release",
     .drives = {"HelpAPI::GetDeviceType", "HelpAPI::IsWM5"},
     .stage = HandsetWithServicePack,
     .call = [] { return long(HelpAPI::GetDeviceType() | HelpAPI::IsWM5()); },
     .worked = [](long answer) { return answer == long(KX_DEVICE_POCKETPC_5 | 1); },
     .refusals = {long(KX_DEVICE_UNKNOWN | 1), long(KX_DEVICE_POCKETPC_5)}},
    {.name = "the device identifier",
     .drives = {"HelpAPI::GetDeviceID"},
     .stage = Handset,
     .call = [] { return long(HelpAPI::GetDeviceID(&g_id)); },
     .worked = [](long answer) { return answer == true && g_id != GUID{}; },
     .refusals = {false},
     .leftAlone = [](long) { return g_id == GUID{}; }},
    // A line whose capabilities cannot be read for want of memory is passed over.
    {.name = "the cellular line among the device's lines",
     .drives = {"HelpAPI::GetTSPLineDeviceID"},
     .stage = LineApplication,
     .call =
         [] {
             return long(HelpAPI::GetTSPLineDeviceID(
                 g_lineApp, 2, 0x00020000, CELLTSP_LINENAME_STRING, g_mediaModes, g_extension));
         },
     .worked = [](long answer) { return answer == 1; },
     .refusals = {long(0xFFFFFFFF)}},
    // A field that could not be read keeps its value. A cellular line whose capabilities the
    // telephony service has no memory to tell is passed over, as any line that cannot tell
    // them: then the device has no phone that could be found.
    {.name = "the phone radio",
     .drives = {"HelpAPI::RadioVersionInfoCollect"},
     .stage = Handset,
     .call =
         [] {
             HelpAPI::RadioVersionInfoCollect(::GetModuleHandleW(nullptr), g_radio);
             return long(g_radio.hasPhone);
         },
     .worked =
         [](long phone) {
             return phone == 1 && !g_radio.manufacturer.empty() &&
                    !g_radio.operatorLongName.empty() && !g_radio.serialNumber.empty();
         },
     .refusals = {1, 0},
     .leftAlone = [](long phone) { return phone == 1 || g_radio.manufacturer.empty(); }},
    // Has phone, then IsPDA. Unanswered, the radio counts as there: a phone, and so no PDA.
    {.name = "whether a PDA has a phone",
     .drives = {"HelpAPI::HasPhone", "IsPDA"},
     .stage = PdaWithServicePack,
     .call = [] { return long(HelpAPI::HasPhone() * 10 + IsPDA()); },
     .worked = [](long answer) { return answer == 1; },
     .refusals = {10, 11, 0}},
    {.name = "the adapters' link",
     .drives = {"ConnMgr::GetConnectionType()"},
     .stage = Handset,
     .call = [] { return long(ConnMgr::GetConnectionType()); },
     .worked = [](long answer) { return answer == KX_CONNECTION_LOCAL_LINK; },
     .refusals = {KX_CONNECTION_UNKNOWN}},
    {.name = "a data connection",
     .drives = {"ConnMgr::ConnectGPRS"},
     .stage = Handset,
     .call = [] { return long(g_connection.ConnectGPRS()); },
     .worked = [](long answer) { return answer == S_OK && bool(g_connection); },
     .refusals = {E_OUTOFMEMORY},
     .leftAlone = [](long) { return !g_connection; }},

    // ---- Paths, files, resources and the log ----
    {.name = "a path shortened for display",
     .drives = {"GetShortPathFile"},
     .stage = Nothing,
     .call =
         [] { return long((g_text = GetShortPathFile(std::wstring(150, L'p').c_str())).size()); },
     .worked =
         [](long answer) { return answer == 103 && g_text == L"..." + std::wstring(100, L'p'); },
     .refusals = {0}},
    {.name = "a special folder",
     .drives = {"GetSpecialPath"},
     .stage = Nothing,
     .call =
         [] {
             GetSpecialPath(CSIDL_PERSONAL, Units(g_out.text));
             return long(std::wcslen(g_out.text));
         },
     .worked =
         [](long answer) {
             return answer == 14 && std::wstring(g_out.text) == L"\\My Documents\\";
         },
     .refusals = {0},
     .text = kTextEmptied},
    {.name = "a module's version",
     .drives = {"GetAFileVersion"},
     .stage = Nothing,
     .call =
         [] {
             const auto version = GetAFileVersion(Units(L"kernel32.dll"));
             return long(version.first != 0 || version.second != 0);
         },
     .worked = [](long answer) { return answer == true; },
     .refusals = {false}},
    {.name = "a text from bytes with a byte-order mark",
     .drives = {"CreateStringFromByteBuf"},
     .stage = Nothing,
     .call =
         [] {
             wchar_t bytes[] = L"\xFEFFkkkkkkkkkkkkkkkkkkkk";
             g_text = CreateStringFromByteBuf(reinterpret_cast<BYTE*>(bytes), 42, true);
             return long(g_text.size());
         },
     .worked = [](long answer) { return answer == 20 && g_text == std::wstring(20, L'k'); },
     .refusals = {0}},
    {.name = "a text from a module's resource",
     .drives = {"CreateStringFromRes"},
     .stage = Nothing,
     .call =
         [] {
             g_text = CreateStringFromRes(::GetModuleHandleW(nullptr), 1, Units(RT_RCDATA), true);
             return long(g_text.size());
         },
     .worked =
         [](long answer) { return answer == 33 && g_text == L"a resource text longer than seven"; },
     .refusals = {0}},
    // Its failures are silent: the log shows what was done.
    {.name = "a line of the debug log",
     .drives = {"WriteDbgLog"},
     .stage = Installed,
     .call =
         [] {
             WriteDbgLog(Units(L"scan %d started"), 7);
             return long(ReadDeviceFile(kDebugLog) != "<missing>");
         },
     .worked = [](long answer) { return answer == true && ReadDeviceFile(kDebugLog).size() == 30; },
     .refusals = {false}},
    {.name = "a file's MD5 digest",
     .drives = {"MD5File"},
     .stage = Installed,
     .call = [] { return long(MD5File(Units(L"\\kxtest\\KxMsgSvr.exe")) != nullptr); },
     .worked = [](long answer) { return answer == true; },
     .refusals = {false}},

    // ---- Values the caller copies ----
    {.name = "a separated-values record and a trimmed field",
     .drives = {"CSV::CSV(unsigned short const*, unsigned short)", "CSV::get"},
     .stage = Nothing,
     .call =
         [] {
             const CSV record(Units(L"first field,  second field  ,third field"), L',');
             g_text = record.get(1, 1);
             return long(record.size());
         },
     .worked = [](long answer) { return answer == 3 && g_text == L"second field"; },
     .refusals = {0, 3},
     .leftAlone = [](long) { return g_text.empty(); }},
    // Each copy is made and examined within the call, so that what it holds is released there.
    {.name = "a record copied",
     .drives = {"CSV::CSV(CSV const&)"},
     .stage = FieldsToCopy,
     .call = [] { return long(CSV(g_fields).size()); },
     .worked = [](long answer) { return answer == 3; },
     .refusals = {0}},
    {.name = "a record assigned",
     .drives = {"CSV::operator=(CSV const&)"},
     .stage = FieldsToCopy,
     .call =
         [] {
             CSV target(Units(L"an earlier record"), L',');
             target = g_fields;
             return long(target.Vector().front() == L"first field"         ? kCopied
                         : target.Vector().front() == L"an earlier record" ? kKept
                                                                           : kNeither);
         },
     .worked = [](long answer) { return answer == kCopied; },
     .refusals = {kKept}},
    // A copy without memory is a RadioInfo as constructed.
    {.name = "the radio's answer copied",
     .drives = {"RadioInfo::RadioInfo(RadioInfo const&)"},
     .stage = RadioToCopy,
     .call =
         [] {
             const RadioInfo copy(g_radioSource);
             return long(copy.model == g_radioSource.model          ? kCopied
                         : copy.model.empty() && copy.hasPhone == 1 ? kKept
                                                                    : kNeither);
         },
     .worked = [](long answer) { return answer == kCopied && !g_radioSource.model.empty(); },
     .refusals = {kKept}},
    {.name = "the radio's answer assigned",
     .drives = {"RadioInfo::operator=(RadioInfo const&)"},
     .stage = RadioToCopy,
     .call =
         [] {
             RadioInfo target;
             target.hasPhone = 7;
             target = g_radioSource;
             return long(target.model == g_radioSource.model            ? kCopied
                         : target.hasPhone == 7 && target.model.empty() ? kKept
                                                                        : kNeither);
         },
     .worked = [](long answer) { return answer == kCopied && !g_radioSource.model.empty(); },
     .refusals = {kKept}},

    // ---- XML and the dialogs ----
    {.name = "an XML document loaded, an element found by its tag and its attribute read",
     .drives = {"KxXmlDocument::LoadFile", "KxXmlDocument::FindElementByTag",
                "KxXmlElement::Attribute"},
     .stage = Installed,
     .call =
         [] {
             KxXmlDocument document;
             unsigned short tag[] = {'b', 0}, attribute[] = {'v', 0};
             if (document.LoadFile(Units(L"\\kxtest\\doc.xml")) == 0) return 0L;
             g_text = document.FindElementByTag(tag)[0].Attribute(attribute);
             return long(g_text.size());
         },
     .worked = [](long answer) { return answer == 40 && g_text == std::wstring(40, L'4'); },
     .refusals = {0}},
    // A later instance is activated either way; without memory it gets no command line.
    {.name = "a later instance hands its command line to the first",
     .drives = {"ActivatePreviousInstance"},
     .stage = RunningInstance,
     .call =
         [] {
             ActivatePreviousInstance(IDS_PRODUCT_NAME, 0, L"/scan \\My Documents", 0);
             return long(g_copied.size());
         },
     .worked = [](long answer) { return answer == 19 && g_copied == L"/scan \\My Documents"; },
     .refusals = {0}},
};

// Every site: those above and one for each text setting.
std::vector<Site> AllSites() {
    std::vector<Site> sites(std::begin(kSites), std::end(kSites));
    for (const TextSetting& setting : kTextSettings)
        sites.push_back(Site{.name = "a text setting longer than a read's stack scratch",
                             .drives = {setting.drives},
                             .stage = StoreLongSetting,
                             .call = ReadSetting,
                             .worked = SettingRead,
                             .refusals = {setting.refusal},
                             .text = setting.text,
                             .setting = &setting});
    return sites;
}

// The caller's outputs after a refusal are the fill they had, but for what the row allows.
bool OutputsAsTheyWere(TextOnRefusal text) {
    Outputs seen = g_out;
    if (text == kTextEmptied && seen.text[0] == 0) seen.text[0] = g_fill.text[0];
    if (text == kTextTerminatedLast && seen.text[kTextChars - 1] == 0)
        seen.text[kTextChars - 1] = g_fill.text[kTextChars - 1];
    return std::memcmp(&seen, &g_fill, sizeof seen) == 0;
}

// One attempt of a site with allocation `nth` failing (0: none); the judgement runs unarmed.
Outcome Attempt(const Site& site, unsigned long nth, long* result) {
    std::memcpy(&g_out, &g_fill, sizeof g_out);
    KxFaultArm(nth);
    *result = site.call();
    KxFaultArm(0);
    Outcome outcome = kWrong;
    if (site.worked(*result))
        outcome = kDone;
    else if (std::count(site.refusals.begin(), site.refusals.end(), *result) != 0 &&
             (site.leftAlone == nullptr || site.leftAlone(*result)) && OutputsAsTheyWere(site.text))
        outcome = kRefused;
    Tidy();
    return outcome;
}

const char* const kRouteNames[KX_ROUTE_COUNT] = {"operator new",    "BSTR",        "task allocator",
                                                 "C run-time heap", "file stream", "local memory"};

class OutOfMemoryTest : public ServiceTest {};

TEST_F(OutOfMemoryTest, EveryFailedAllocationIsAFailureResultThatLosesNothing) {
    std::memset(&g_fill, 0xBD, sizeof g_fill);
    long result = 0;
    // The run-time sets up its unwinding on the library's first exception and keeps a few
    // handles for that; one failure before the walk does it.
    const Site& shortened = *std::find_if(
        std::begin(kSites), std::end(kSites),
        [](const Site& site) { return std::string(site.drives[0]) == "GetShortPathFile"; });
    Attempt(shortened, 1, &result);
    unsigned long long failedByRoute[KX_ROUTE_COUNT] = {};
    for (const Site& site : AllSites()) {
        g_setting = site.setting;
        const std::string row = std::string(site.name) + " (" + site.drives[0] + ")";
        SCOPED_TRACE(row);
        // Once with memory to spare first, so that what the platform sets up on first use is not
        // taken for a leak.
        site.stage();
        ASSERT_EQ(Attempt(site, 0, &result), kDone)
            << row << " did not do its work with memory to spare: it answered " << result;
        for (unsigned long nth = 1, failed = 1; failed; ++nth) {
            site.stage();
            const std::string before = DeviceState();
            const int handles = OpenHandles();
            const KxFaultCounts start = KxFaultRead();
            const Outcome outcome = Attempt(site, nth, &result);
            const KxFaultCounts end = KxFaultRead();
            failed = Total(end.failures) - Total(start.failures);
            for (int route = 0; route < KX_ROUTE_COUNT; ++route)
                failedByRoute[route] += end.failures[route] - start.failures[route];
            const std::string attempt =
                row + " with allocation " + std::to_string(nth) + " failing";
            ASSERT_NE(outcome, kWrong)
                << attempt << " answered " << result
                << ": neither its work done nor its failure result with the outputs as they were";
            EXPECT_EQ(Total(end.allocations) - Total(start.allocations),
                      Total(end.releases) - Total(start.releases))
                << attempt << ": memory leaked";
            EXPECT_LE(OpenHandles(), handles) << attempt << ": a handle was left open";
            if (outcome == kRefused && !site.mayBePartlyDone)
                EXPECT_TRUE(DeviceState() == before)
                    << attempt << ": refused but changed the device";
            EXPECT_TRUE(failed || outcome == kDone)
                << attempt << ": refused although no allocation failed";
            ASSERT_TRUE(nth > 1 || failed) << row << " allocated nothing to make fail";
        }
    }
    // Every route the library's own code allocates by was failed in some call. The C run-time's
    // heap is counted too, but only the run-time beneath the library takes from it (the object
    // of an exception thrown after a failure, a mutex's state on its first lock): the walk
    // cannot reach it but behind another failure.
    for (KxAllocationRoute route : {KX_ROUTE_NEW, KX_ROUTE_BSTR, KX_ROUTE_TASKMEM, KX_ROUTE_STREAM})
        EXPECT_GT(failedByRoute[route], 0u)
            << kRouteNames[route]
            << ": the library allocates this way, but no call was walked "
               "through a failure of it";
    for (KxAllocationRoute route : {KX_ROUTE_BSTR, KX_ROUTE_TASKMEM, KX_ROUTE_STREAM})
        EXPECT_GT(KxFaultRouteImports(route), 0u)
            << kRouteNames[route] << ": the library's imports of it are not counted";
    if (g_lineApp != nullptr) lineShutdown(g_lineApp);
}

// A length the caller claims is checked against the caller's buffer before anything is
// allocated: a read into a buffer said to hold 0x7FFFFFFE units is refused at once.
TEST_F(OutOfMemoryTest, AClaimedLengthIsCheckedBeforeAnythingIsAllocated) {
    LongSettings();
    const KxFaultCounts start = KxFaultRead();
    EXPECT_EQ(KxRegUtil().GetValue(kProductKey, L"Large", g_out.text, 0x7FFFFFFE), KX_E_REGISTRY);
    EXPECT_EQ(KxConfig::GetMamoHostName(g_out.narrow, 0x7FFFFFFE), -1);
    const KxFaultCounts end = KxFaultRead();
    EXPECT_EQ(Total(end.allocations) + Total(end.failures),
              Total(start.allocations) + Total(start.failures))
        << "a claimed length was allocated before it was checked";
}

// ---- Every export walked or known not to allocate ------------------------------------------

// The exports that cannot allocate, by family, each with its reason. An entry names an export
// as the export table does, or without its parameters for every overload; "Class::*" stands
// for every member of a class.
struct CannotAllocate {
    const char* reason;
    const char* scope;  // put in front of each name
    std::vector<const char*> exports;
};

// A table of names, packed as it reads best.
// clang-format off
const CannotAllocate kCannotAllocate[] = {
    {"the counters of this walk, in the test build only", "",
     {"KxFaultArm", "KxFaultRead", "KxFaultRouteImports", "KxFaultAllocate", "KxFaultRelease"}},
    {"data, not functions", "",
     {"B64::m_base64Key", "FmtVer::s_fmt", "typeinfo for KxXmlDocument",
      "vtable for KxXmlDocument"}},
    {"bit arithmetic on one word, byte swaps, look-ups in constant tables", "",
     {"Bit32::*", "BLLong", "BLShort", "AVOpt::*", "SUOpt::*"}},
    {"codecs that read and write only the caller's buffers", "",
     {"FmtVer::*", "B64::*", "UTF16BEToUTF8", "UTF16LEToUTF8", "UTF8ToUTF16BE", "UTF8ToUTF16LE",
      "md5_calc"}},
    {"plain values, moves, releases and accessors of what an object holds", "",
     {"RegValueData::*", "RegKeyData::*", "RadioInfo::RadioInfo()",
      "RadioInfo::RadioInfo(RadioInfo&&)", "RadioInfo::operator=(RadioInfo&&)",
      "RadioInfo::~RadioInfo", "CSV::size", "CSV::Vector", "CSV::CSV(CSV&&)",
      "CSV::operator=(CSV&&)", "CSV::~CSV", "ConnMgr::ConnMgr", "ConnMgr::operator void*",
      "KxService::KxService", "KxService::~KxService", "KxService::CloseSrvHandle",
      "DynamicLoadLibrary::IsOK", "DynamicLoadLibrary::GetHandle", "MutexLock::GetLockStatus",
      "KxXmlElementList::GetCount", "RegQV::RegQV(HKEY__*)", "RegQV::~RegQV"}},
    {"text and path helpers that work in place or in fixed buffers", "",
     {"HelpAPI::AppendASeparator", "HelpAPI::GetFileExt", "HelpAPI::GetFileName",
      "HelpAPI::CatPathWithFile", "HelpAPI::GetSMSCallId", "HelpAPI::Str_TrimAll",
      "HelpAPI::StrTrimInerStr", "HelpAPI::StrTrimAll", "ParseSC", "IsInMainModule",
      "ConnMgr::GetConnectionType(char const*)"}},
    {"files and product paths in MAX_PATH buffers; resources the module holds", "",
     {"HelpAPI::IsDir", "HelpAPI::Access", "HelpAPI::ForceDeleteFile", "HelpAPI::ForceMoveFile",
      "HelpAPI::UnlinkDir", "HelpAPI::MoveDir", "HelpAPI::isRomFile", "HelpAPI::isIgnoreFile",
      "HelpAPI::isIgnoreDllFile", "HelpAPI::IsOurFile", "HelpAPI::SkipScanFile",
      "InternalCreateFile", "CreateFileFromRes", "GetResource", "GetOurPath",
      "KxConfig::GetMatchFile", "KxConfig::IsInStartup", "KxConfig::SetRsaKeyEx"}},
    {"registry access through fixed buffers: numbers, writes of the caller's bytes, "
     "deletions, name walks, handles", "",
     {"KxRegUtil::GetValue(wchar_t const*, wchar_t const*, unsigned long&, HKEY__*)",
      "KxRegUtil::SetValue", "KxRegUtil::InternalSetValue", "KxRegUtil::DelValue",
      "KxRegUtil::QueryKeyExist", "KxRegUtil::EnumKeys", "KxRegUtil::EnumVaule",
      "KxRegUtil::ReleaseKeyList", "RegKey::*", "RegGetSystemTime", "RegSetSystemTime"}},
    {"settings of numbers, time records, texts written from the caller's buffer and texts "
     "read into the library's own buffers of 1024 characters", "KxConfig::",
     {"GetAFlagInMiscOpt", "GetAutomaticUpdate", "GetAutomaticUpdateFrequency",
      "GetBeBlockSMSWithoutCallerId", "GetBeInsCardScan", "GetBeRealTimeScan", "GetBeSafeMode",
      "GetBeUseProxy", "GetDebugLogFileSize", "GetDebugLogFlag", "GetDebugLogOption",
      "GetEnableAcceptList", "GetImportOption", "GetIncludeMGI", "GetLogFileSize",
      "GetMamoHostPort", "GetMamoLockAll", "GetMamoPromptSendLog", "GetMamoSendUpdateLog",
      "GetMamoSendVirusLog", "GetMessageMaxNumber", "GetMgiUploadIdleTime", "GetMgiValidSimple",
      "GetMiscOpt", "GetProductLanguage", "GetPromptWhenConnectByWireless", "GetRTScanOption",
      "GetRomFileSleepTime", "GetRunOnce", "GetScanFileType", "GetScanLayer", "GetSpaceFactor",
      "GetSpamPreventionLevel", "GetStartupFlag", "GetSuperLab", "GetUncompressSize",
      "GetUpdateRecievePrompt", "GetWapPushLevel", "SetAFlagInMiscOpt", "SetAutomaticUpdate",
      "SetAutomaticUpdateFrequency", "SetBeBlockSMSWithoutCallerId", "SetBeInsCardScan",
      "SetBeRealTimeScan", "SetBeSafeMode", "SetDebugLogFileSize", "SetDebugLogFlag",
      "SetDeviceType", "SetEnableAcceptList", "SetImportOption", "SetLogFileSize",
      "SetMamoHostPort", "SetMamoLockAll", "SetMamoPromptSendLog", "SetMamoSendUpdateLog",
      "SetMamoSendVirusLog", "SetMessageMaxNumber", "SetMgiUploadIdleTime", "SetMgiValid",
      "SetMiscOpt", "SetPromptWhenConnectByWireless", "SetRTScanOption", "SetRomFileSleepTime",
      "SetRunOnce", "SetScanFileType", "SetScanLayer", "SetSpaceFactor", "SetSpamPreventionLevel",
      "SetStartupFlag", "SetUncompressSize", "SetUpdateRecievePrompt", "SetWapPushLevel",
      "GetLastMSTime", "GetLastUpdateTime", "GetScheduleUpdateTime", "GetStartUpTillNow",
      "SetLastMSTime", "SetLastUpdateTime", "SetScheduleUpdateTime", "SetStartUpTime",
      "SetStartUpTime_Setup", "SetFullVersion", "SetInsertCardTitle", "SetLastPattern",
      "SetMamoHostName", "SetMsgLogFileName", "SetOfficalServer", "SetPxyPwd", "SetSMSLogFileName",
      "SetSpamFolder", "SetStartupTemp", "SetTaskLogFileName", "SetVirusLogFileName",
      "DelInsertCardTitle", "DelStartupFlag", "DelStartupTemp", "GetAppDir",
      "GetFullVersion(unsigned long&, unsigned long&)", "GetProductVersion", "IncrementVer",
      "GetMgiValid", "GetMD5", "InitOtherReg", "EmptyMgiParam", "ShowFExplore"}},
    {"caller lists: entries written from the caller's record, read through fixed buffers"
     "caller lists: entries written from the caller's record, read through fixed buffers", "KxConfig::",
     {"AddAccepter", "DelAccepter", "GetAcceptr", "GetAcceptList", "InAccepterFuzzy", "AddRejecter",
      "DelRejecter", "GetRejecter", "GetRejectList", "InRejecterFuzzy", "AddWapPushAccepter",
      "DelWapPushAccepter", "GetWapPushAcceptr", "GetWapPushAcceptList", "AddForceListAccepter",
      "DelForceListAccepter", "GetForceListAcceptr", "GetForceAcceptList"}},
    {"programs, processes, modules and kernel objects named in fixed buffers", "",
     {"KxConfig::StartRealTimeScan", "KxConfig::StopRealTimeScan", "KxConfig::StartWapPushFilter",
      "KxConfig::StopWapPushFilter", "KxConfig::StartStopRealtimeScan",
      "KxConfig::StartStopWapPushFilter", "KxConfig::DisableAllFeature", "KxConfig::KillProcess",
      "KxConfig::KillUIProcess", "KxConfig::RunActiveSynEvent", "KxConfig::RegisterSMSListern",
      "KxConfig::UnregisterSMSListern", "HelpAPI::GetNotificationType", "MutexLock::*",
      "DynamicLoadLibrary::*", "WaitTime", "ConnMgr::Disconnect"}},
    {"XML wrappers that only take and release references", "",
     {"KxXmlElement::KxXmlElement", "KxXmlElement::operator=", "KxXmlElement::~KxXmlElement",
      "KxXmlElementList::KxXmlElementList", "KxXmlElementList::operator=",
      "KxXmlElementList::operator[]", "KxXmlElementList::~KxXmlElementList",
      "KxXmlDocument::KxXmlDocument", "KxXmlDocument::operator=", "KxXmlDocument::~KxXmlDocument",
      "KxXmlDocument::Drop"}},
    {"window, dialog, list-view and menu messages, GDI calls and layout arithmetic on "
     "stack records; texts loaded into fixed buffers", "",
     {"UI_ShowWindow", "UI_HideWindow", "UI_SetForegroundWindow", "UI_ActiveWindow",
      "UI_DestroyWindow", "UI_MoveWindow", "UI_SetDlgTitle", "UI_GetTextSize", "EnablePair",
      "EnableSPLB", "EnableSPLBAndStatic", "BmpBlt", "UI_TraceFont", "WaitCursor::*", "SDC::*",
      "UI_LoadString", "UI_FindWindow", "UI_SetWindowText", "UI_SetDlgItemText", "UI_AddStringToLB",
      "InsertListColumn", "UI_MsgBox", "UI_Trim_MsgBox", "ResFmtMessage", "GetListItemLPARAM",
      "GetListColumnWidth", "SetListColumnWidth", "GetListSelectedItem", "SetListSelectedItem",
      "DelListItem", "AddListStyle", "EnableMBButton", "EnableMBMenuItem", "RemoveMBMenuItem",
      "InsertMBMenuItem", "SwitchSoftKey", "AvoidScrollBar::*", "ChangeSpinWidth",
      "GeneralAdjustCtlLayout::*", "GeneralAdjustCtlLayoutByPos::*", "GetRelativeRect", "LayoutCtl",
      "LayoutCtlByPos", "LayoutSpin", "RelayoutChildCtrls::*", "IsWideMode", "ChangeToPortrait"}},
};
// clang-format on

// The names of the library's exports as its export table holds them, demangled, without the
// "[abi:cxx11]" tags of functions that hand back strings.
std::set<std::string> Exports() {
    std::set<std::string> names;
    const auto* base = reinterpret_cast<const BYTE*>(::GetModuleHandleW(L"kxcommon.dll"));
    if (base == nullptr) return names;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const auto* table = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(
        base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress);
    const auto* nameAt = reinterpret_cast<const DWORD*>(base + table->AddressOfNames);
    for (DWORD i = 0; i < table->NumberOfNames; ++i) {
        const char* mangled = reinterpret_cast<const char*>(base + nameAt[i]);
        int status = 0;
        char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
        std::string name = status == 0 ? demangled : mangled;
        std::free(demangled);
        for (size_t tag; (tag = name.find("[abi:cxx11]")) != std::string::npos;)
            name.erase(tag, 11);
        names.insert(name);
    }
    return names;
}

// Whether `entry` names `name`: the whole name, the name without its parameters (the list
// after "operator()" for a call operator), or with "Class::*" any member of the class.
bool Names(const std::string& entry, const std::string& name) {
    if (entry == name) return true;
    if (entry.size() > 3 && entry.compare(entry.size() - 3, 3, "::*") == 0)
        return name.compare(0, entry.size() - 1, entry, 0, entry.size() - 1) == 0;
    const size_t call = name.find("operator()");
    const size_t parameters = name.find('(', call == std::string::npos ? 0 : call + 10);
    return parameters != std::string::npos && name.compare(0, parameters, entry) == 0;
}

// Every export of the library is driven by the walk or listed as one that cannot allocate, and
// never both; every name the walk or the list gives is an export.
TEST(OutOfMemoryWalk, EveryExportIsWalkedOrCannotAllocate) {
    const std::set<std::string> exports = Exports();
    ASSERT_GT(exports.size(), 300u) << "the export table of kxcommon.dll could not be read";
    std::vector<std::string> walked, cannot;
    for (const Site& site : AllSites())
        for (const char* name : site.drives) walked.push_back(name);
    for (const CannotAllocate& family : kCannotAllocate)
        for (const char* name : family.exports) cannot.push_back(family.scope + std::string(name));
    const auto named = [&](const std::vector<std::string>& entries, const std::string& name) {
        return std::any_of(entries.begin(), entries.end(),
                           [&](const std::string& entry) { return Names(entry, name); });
    };
    std::string forgotten, both;
    for (const std::string& name : exports) {
        const bool isWalked = named(walked, name), isListed = named(cannot, name);
        if (!isWalked && !isListed) forgotten += "\n  " + name;
        if (isWalked && isListed) both += "\n  " + name;
    }
    EXPECT_EQ(forgotten, "") << "exports neither walked nor listed as ones that cannot allocate:";
    EXPECT_EQ(both, "") << "exports walked and also listed as ones that cannot allocate:";
    for (const std::vector<std::string>* entries : {&walked, &cannot})
        for (const std::string& entry : *entries)
            EXPECT_TRUE(std::any_of(exports.begin(), exports.end(),
                                    [&](const std::string& name) { return Names(entry, name); }))
                << "\"" << entry << "\" names no export of the library";
}

}  // namespace
