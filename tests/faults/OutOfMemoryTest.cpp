// The out-of-memory walk. Against the test build of the library (src/internal/AllocationFaults.h)
// every exported function that can allocate is called again and again with its first, second,
// third ... allocation failing, whatever the route (operator new, BSTRs, the task allocator, the
// C run-time's heap and file streams, local memory), until a call completes without a failed
// allocation. Each time it must do its work or give its own failure result with the caller's
// outputs as they were, leak no memory and no handle, and leave the registry and the device's
// files as they were when it refused. The export table of the library says which functions
// there are: each is driven here, or listed below as one that cannot allocate or as one whose
// allocations all lie on the path of an export driven here.
#include "RegistryRows.h"
#include "ServiceFixture.h"

#include "internal/AllocationFaults.h"

#include "Strings.h"  // the resource module's text identifiers
#include <kxcommon/kxcommon.h>

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>

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
constexpr wchar_t kSubscriptionFile[] = L"\\kxtest\\subscription.xml";
constexpr unsigned long kTextChars = 2048;
// Longer than a read's stack scratch of 1024 characters, so that reading it needs the heap.
const std::wstring kLongText(1500, L'y');

// ---- What the calls write ---------------------------------------------------------------------

// The caller's outputs, filled with 0xBD before each call; a refusal leaves them so, but for
// what a row's TextOnRefusal allows.
struct Outputs {
    wchar_t text[kTextChars];
    char narrow[64];
    wchar_t host[64], socksHost[64], userName[64], socksUserName[64];
    unsigned long port, socksPort;
    int hasPassword, socksHasPassword;
    unsigned char firstKey[8], secondKey[8], flag;
};
Outputs g_outputs;
const Outputs kFilledOutputs = [] {
    Outputs filled;
    std::memset(&filled, 0xBD, sizeof filled);
    return filled;
}();

// What a refusal may do to g_outputs.text, as the function's header says.
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
GUID g_deviceId;
FileScan_tag g_scan;
ZRAPIVersion_tag g_version;
VirusInfo_tag g_virus;
SMSScan_tag g_sms;
SCPROTECT_Tag g_protect;
unsigned long g_count, g_firstKeyLength, g_secondKeyLength;
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
    std::memset(&g_deviceId, 0xBD, sizeof g_deviceId);
    g_connection.Disconnect();
}

// Which of the caller's outputs a call wrote, in words, but for what `text` allows; nullptr when
// they hold the fill they had. Nothing is allocated here: the walk counts this program's memory.
const char* OutputsWritten(TextOnRefusal text) {
    Outputs seen = g_outputs;
    if (text == kTextEmptied && seen.text[0] == 0) seen.text[0] = kFilledOutputs.text[0];
    if (text == kTextTerminatedLast && seen.text[kTextChars - 1] == 0)
        seen.text[kTextChars - 1] = kFilledOutputs.text[kTextChars - 1];
    if (std::memcmp(seen.text, kFilledOutputs.text, sizeof seen.text) != 0)
        return "the caller's text buffer";
    if (std::memcmp(&seen, &kFilledOutputs, sizeof seen) != 0)
        return "the caller's other outputs (narrow text, proxy fields or key buffers)";
    return nullptr;
}

// ---- What a refusal must leave as it was -------------------------------------------------------

// The registry trees, device folders and debug log the calls below may touch, contents included,
// each under what it is.
std::map<std::string, std::string> DeviceState() {
    std::map<std::string, std::string> state = {
        {"the registry trees",
         Dump(kVendorKey, true) + Dump(kPlatformKey, true) + Dump(kStandInsKey, true)},
        {"the debug log", ReadDeviceFile(kDebugLog)}};
    std::error_code error;
    for (const wchar_t* folder : {kScratchDir, kServiceDir})
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error))
            state["the device folders"] +=
                entry.path().string() + "=" +
                (entry.is_directory() ? "folder" : ReadDeviceFile(entry.path().wstring())) + ";";
    return state;
}

// Open handles of this process: the handle values that name an object, looked for up to a long
// run of values that name none.
int OpenHandles() {
    int count = 0;
    DWORD flags = 0;
    ULONG_PTR lastOpen = 0;
    for (ULONG_PTR value = 4; value < lastOpen + 1024; value += 4) {
        if (!::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) continue;
        ++count;
        lastOpen = value;
    }
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
bool ScratchFileGone(const std::wstring& name) {
    return !std::filesystem::exists(L"\\kxtest\\" + name);
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
DWORD g_loaderRunsBefore;

// The registration of the synchronisation logger for the serial-connection event (9).
bool LoggerRegistered(const wchar_t* program) {
    return RawValueExists(L"SOFTWARE\\WinCE Platform\\Notifications",
                          (L"9 " + std::wstring(program)).c_str());
}

const std::string kSubscription =
    "<Subscription><Op><ServiceProvider SubscribeNumber=\"5550100\"/></Op></Subscription>";
// Whether the subscription file's provider carries the four texts SetSpdXml is given below.
bool SubscriptionEdited() {
    const std::string file = ReadDeviceFile(kSubscriptionFile);
    for (const char* attribute :
         {"SubscribeNumber=\"5550199\"", "UnsubscribeNumber=\"5550198\"",
          "SubscribePatternHeader=\"SUBSCRIBE\"", "UnsubscribePatternHeader=\"UNSUBSCRIBE\""})
        if (file.find(attribute) == std::string::npos) return false;
    return true;
}
const std::string kProvisioning =
    Wn(L"<wap-provisioningdoc><characteristic type=\"Registry\"><characteristic "
       L"type=\"HKLM\\SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent\"><parm name=\"HostPort\" "
       L"value=\"8443\" datatype=\"integer\"/><parm name=\"HostName\" value=\"mgmt.example\"/>"
       L"</characteristic></characteristic></wap-provisioningdoc>");

// ---- What the calls start from: made again before each attempt ---------------------------------

void NothingNeeded() {}
void Handset() { StageHandset(L"wm5-gsm"); }
// A handset whose version carries a service-pack text: reading the version then needs memory.
void HandsetWithServicePack() {
    Handset();
    StageProfileText(L"CSDVersion", L"Service Pack 2 (build 14955)");
}
// The text settings read below hold the long text; the product key has two subkeys.
void LongSettings() {
    for (const wchar_t* value :
         {L"Large", L"SMSSpamFolderName", L"WinPath", L"LastPatternFilename"})
        SetText(kProductKey, value, kLongText);
    SetText(L"Comm\\Cellular\\SMS\\Protocols\\WDP", L"DLL", kLongText);
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
    unsigned long firstLength = 3, secondLength = 2;
    KxConfig::SetRsaKeyEx(key, firstLength, key + 3, secondLength);
    ::DeleteFileW(kDebugLog);
    g_loaderRunsBefore = HookLoaderRuns();
}
// The scan service loaded with a pattern that knows the digest of "abc", an empty queue, a file
// to scan and quarantine, and a shortcut in the Startup folder to a program to quarantine.
void ServiceLoaded() {
    Installed();
    WritePattern("md5 900150983cd24fb0d6963f7d28e17f72 Trojan.Abc\n");
    for (const wchar_t* file : {L"f", L"game.exe"}) MakeScratchFile(file, "abc");
    MakeScratchFile(L"StartUp\\game.lnk", "16#\\kxtest\\game.exe");
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
void ValuesToCopy() {
    Handset();
    g_radioSource = RadioInfo();
    HelpAPI::RadioVersionInfoCollect(::GetModuleHandleW(nullptr), g_radioSource);
    g_fields = CSV(Units(L"first field,second field,third field"), L',');
}

// ActivatePreviousInstance finds the running instance's dialog by its title ("Scutara", from the
// resource module) and hands it the command line.
INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wordParam, LPARAM longParam) {
    if (message != WM_COPYDATA) return ::DefWindowProcW(window, message, wordParam, longParam);
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(longParam);
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

// What a call answers when it did its work, and its failure results.
struct Answers {
    long whenDone;
    std::vector<long> whenRefused = {};
};

// One exported call and what it must answer. It did its work when it answers `whenDone` and
// `shows` (when there is one) finds the work on the device or in what it handed back. It refused
// when it gives one of its failure results, `leftAlone` (when there is one) finds what it had to
// leave as it was, and the caller's outputs hold what they held.
struct Site {
    std::vector<const char*> drives;  // the exports it drives: an export table's name, or one
                                      // without its parameters for every overload of it
    std::function<void()> stage;      // what the call starts from, made again before each attempt
    std::function<long()> call;       // the library call, made with the chosen allocation failing
    Answers answers;
    std::function<bool()> shows = nullptr;
    std::function<bool(long refusal)> leftAlone = nullptr;
    TextOnRefusal text = kTextLeftAlone;
    // A refusal may leave the first of its two platform calls made (DelActiveSynEvent).
    bool mayBePartlyDone = false;
};

// When the next update is due.
const SYSTEMTIME kNextUpdate{2026, 12, 0, 24, 3, 0, 0, 0};
const std::vector<long> kRegistryRefusal = {KX_E_REGISTRY};
// A request refused, or a service that could not be reached.
const std::vector<long> kServiceRefusals = {KX_E_SERVICE_REQUEST, KX_E_SERVICE_NOT_FOUND};
// The first status of a row of calls that is not KX_OK, else KX_OK.
long FirstFailure(std::initializer_list<int> statuses) {
    for (int status : statuses)
        if (status != KX_OK) return status;
    return KX_OK;
}
// What a copy holds after it was made: the source's content, what the target held before (for a
// new copy: what it holds as constructed), or neither. Worse outcomes come later.
enum CopyOutcome : long { kCopied, kKept, kNeither };
CopyOutcome Copy(bool holdsSource, bool holdsEarlier) {
    return holdsSource ? kCopied : holdsEarlier ? kKept : kNeither;
}

// A table of calls: each row laid out by hand, its fields in their order, wrapped at a field.
// clang-format off
const Site kSites[] = {
    // ---- Registry access ----
    // The subkeys listed, all or none.
    {.drives = {"KxRegUtil::EnumSubKey"}, .stage = LongSettings,
     .call = [] { return long(KxRegUtil().EnumSubKey(kProductKey, g_subKeys)); },
     .answers = {.whenDone = KX_OK, .whenRefused = kRegistryRefusal},
     .shows = [] { return g_subKeys.size() == 2; }, .leftAlone = [](long) { return g_subKeys.empty(); }},
    // A value queried into a buffer grown for it.
    {.drives = {"RegQV::operator()(wchar_t const*, RegValueData&)"}, .stage = LongSettings,
     .call = [] { return long(RegQV(RegKey(kProductKey))(L"Large", g_record)); },
     .answers = {.whenDone = true, .whenRefused = {false}},
     .shows = [] { return g_record.size == 3002; }, .leftAlone = [](long) { return g_record.data == nullptr; }},
    // A query copied with the value it holds.
    // A copy without memory holds no buffer; its next query reads the value all the same.
    {.drives = {"RegQV::RegQV(RegQV const&)", "RegQV::operator=(RegQV const&)"}, .stage = LongSettings,
     .call = [] {
         RegKey key(kProductKey);
         RegQV query(key), assigned(key);
         query(L"Large", g_record);
         assigned = query;
         return long(RegQV(query)(L"Large", g_record));
     },
     .answers = {.whenDone = true}, .shows = [] { return g_record.size == 3002; }},
    // A text longer than the read's stack scratch; every text setting is read this way.
    {.drives = {"KxRegUtil::GetValue(wchar_t const*, wchar_t const*, wchar_t*, unsigned long, HKEY__*)"},
     .stage = LongSettings,
     .call = [] { return long(KxRegUtil().GetValue(kProductKey, L"Large", g_outputs.text, kTextChars)); },
     .answers = {.whenDone = KX_OK, .whenRefused = kRegistryRefusal},
     .shows = [] { return g_outputs.text == kLongText; }},
    // A setting that always answers KX_OK: only its buffer shows whether it read the text.
    {.drives = {"KxConfig::GetSpamFolder"}, .stage = LongSettings,
     .call = [] { return long(KxConfig::GetSpamFolder(g_outputs.text, kTextChars)); },
     .answers = {.whenDone = KX_OK, .whenRefused = {KX_OK}}, .shows = [] { return g_outputs.text == kLongText; }},
    // A directory, which ends in a backslash; its buffer is emptied first.
    {.drives = {"KxConfig::GetSysDir"}, .stage = LongSettings,
     .call = [] { return long(KxConfig::GetSysDir(g_outputs.text, kTextChars)); },
     .answers = {.whenDone = KX_OK, .whenRefused = kRegistryRefusal},
     .shows = [] { return g_outputs.text == kLongText + L"\\"; }, .text = kTextEmptied},
    // The last pattern's name, its buffer terminated at its last unit whatever the read did.
    {.drives = {"KxConfig::GetLastPattern"}, .stage = LongSettings,
     .call = [] { return long(KxConfig::GetLastPattern(g_outputs.text, kTextChars)); },
     .answers = {.whenDone = KX_OK, .whenRefused = kRegistryRefusal},
     .shows = [] { return g_outputs.text == kLongText; }, .text = kTextTerminatedLast},
    // A protocol provider's module, read from the key of the handset's release.
    {.drives = {"KxConfig::Get_ProviderDLLPath_WDP"}, .stage = LongSettings,
     .call = [] { return long(KxConfig::Get_ProviderDLLPath_WDP(g_outputs.text, kTextChars)); },
     .answers = {.whenDone = KX_OK, .whenRefused = kRegistryRefusal},
     .shows = [] { return g_outputs.text == kLongText; }},

    // ---- Settings that are more than a stored value ----
    // The host name in the device's ANSI code page.
    {.drives = {"KxConfig::GetMamoHostName(char*, int)"}, .stage = LongSettings,
     .call = [] { return long(KxConfig::GetMamoHostName(g_outputs.narrow, 64)); },
     .answers = {.whenDone = KX_OK, .whenRefused = kRegistryRefusal},
     .shows = [] { return std::string(g_outputs.narrow) == "mgmt.example"; }},
    // The proxies of a Windows Mobile 5 handset.
    {.drives = {"KxConfig::GetProxy"}, .stage = HandsetWithServicePack,
     .call = [] {
         Outputs& proxy = g_outputs;
         return long(KxConfig::GetProxy(proxy.host, 64, proxy.port, proxy.socksHost, 64, proxy.socksPort,
                                        proxy.userName, 64, proxy.hasPassword, proxy.socksUserName, 64,
                                        proxy.socksHasPassword));
     },
     .answers = {.whenDone = KX_OK, .whenRefused = kRegistryRefusal},
     .shows = [] {
         return g_outputs.port == 8080 && std::wstring(g_outputs.userName) == L"wap" && g_outputs.hasPassword == 1;
     }},
    // The management server's provisioning document applied.
    {.drives = {"KxConfig::RecoverMgiConfig"}, .stage = Installed,
     .call = [] { return long(KxConfig::RecoverMgiConfig()); }, .answers = {.whenDone = 0, .whenRefused = {-1, -2}},
     .shows = [] { return ScratchFileGone(L"configmgi.xml") && KxConfig::GetMamoHostPort() == 8443; }},
    // The management server's key file read.
    {.drives = {"KxConfig::GetRsaKeyEx"}, .stage = Installed,
     .call = [] {
         g_firstKeyLength = g_secondKeyLength = 8;
         return long(KxConfig::GetRsaKeyEx(g_outputs.firstKey, g_firstKeyLength, g_outputs.secondKey,
                                           g_secondKeyLength, g_outputs.flag));
     },
     .answers = {.whenDone = 1, .whenRefused = {0}},
     .shows = [] { return g_firstKeyLength == 3 && g_secondKeyLength == 2 && g_outputs.flag == 1; }},
    // The message server's digest stored.
    {.drives = {"KxConfig::SetMD5", "MD5File"}, .stage = Installed, .call = [] { return long(KxConfig::SetMD5()); },
     .answers = {.whenDone = KX_OK, .whenRefused = kRegistryRefusal},
     .shows = [] { return RawValueExists(kProductKey, L"RepMD5"); }},
    // The operator's subscription file edited.
    // SetSpdXml edits the file in the application directory through SetSpdXmlEx.
    {.drives = {"KxConfig::SetSpdXml", "KxConfig::SetSpdXmlEx"}, .stage = Installed,
     .call = [] { return long(KxConfig::SetSpdXml(L"5550199", L"5550198", L"SUBSCRIBE", L"UNSUBSCRIBE")); },
     .answers = {.whenDone = 1, .whenRefused = {0}}, .shows = SubscriptionEdited},
    // The synchronisation logger registered.
    {.drives = {"KxConfig::SetActiveSynEvent"}, .stage = NoRegistrations,
     .call = [] { return long(KxConfig::SetActiveSynEvent(1)); },
     .answers = {.whenDone = KX_OK, .whenRefused = kRegistryRefusal},
     .shows = [] { return LoggerRegistered(L"\\Windows\\repllog.exe"); }},
    // The synchronisation logger's registrations removed.
    // Both names are tried; when one removal runs out of memory the other may be made.
    {.drives = {"KxConfig::DelActiveSynEvent"}, .stage = Registrations,
     .call = [] { return long(KxConfig::DelActiveSynEvent(1)); },
     .answers = {.whenDone = KX_OK, .whenRefused = kRegistryRefusal},
     .shows = [] { return !LoggerRegistered(L"\\Windows\\repllog.exe") && !LoggerRegistered(L"repllog.exe"); },
     .leftAlone = [](long) { return LoggerRegistered(L"\\Windows\\repllog.exe") || LoggerRegistered(L"repllog.exe"); },
     .mayBePartlyDone = true},
    // A program started with a command line.
    {.drives = {"RunApp"}, .stage = Installed,
     .call = [] {
         return long(RunApp(Units(kLoaderPath.c_str()), Units(L"ENABLE_REALTIME"), INFINITE, KX_DIR_NONE) != 0);
     },
     .answers = {.whenDone = true, .whenRefused = {false}},
     .shows = [] { return HookLoaderRuns() == g_loaderRunsBefore + 1; }},

    // ---- The scan service ----
    // The service loaded by a first request.
    // Not loaded, or loaded and then the request refused.
    {.drives = {"KxService::GetVirusInPatCount", "KxService::Open"}, .stage = ServiceNotLoaded,
     .call = [] { return long(KxService().GetVirusInPatCount(g_count)); },
     .answers = {.whenDone = KX_OK, .whenRefused = kServiceRefusals}, .shows = [] { return CountServiceHosts() == 1; },
     .leftAlone = [](long refusal) { return CountServiceHosts() == (refusal == KX_E_SERVICE_NOT_FOUND ? 0 : 1); }},
    // The service unloaded.
    // Its result is always 0; only the device shows whether it was done. Release finds the running
    // service through GetHandle, which has no allocation of its own.
    {.drives = {"KxService::Release", "KxService::GetHandle"}, .stage = ServiceLoaded,
     .call = [] { return long(KxService().Release()); }, .answers = {.whenDone = KX_OK, .whenRefused = {KX_OK}},
     .shows = [] { return CountServiceHosts() == 0; }, .leftAlone = [](long) { return CountServiceHosts() == 1; }},
    // The service's requests that change no file.
    // All are asked, in this order, and none changes the device's files; the first that fails
    // gives the answer.
    {.drives = {"KxService::Stop", "KxService::Start", "KxService::SetArchiveFlag", "KxService::SetNotification",
                "KxService::SetUpdateSchedule", "KxService::MsgSvcClean", "KxService::MgiClean", "KxService::ScanSMS",
                "KxService::ScanSCProtect", "KxService::GetZRAPIVersion", "KxService::GetVirusInPat",
                "KxService::ScanFile"},
     .stage = ServiceLoaded,
     .call = [] {
         KxService service;
         return FirstFailure({service.Stop(), service.Start(), service.SetArchiveFlag(5, 0), service.SetNotification(2),
                              service.SetUpdateSchedule(&kNextUpdate), service.MsgSvcClean(), service.MgiClean(),
                              service.ScanSMS(&g_sms), service.ScanSCProtect(&g_protect),
                              service.GetZRAPIVersion(&g_version), service.GetVirusInPat(1, &g_virus),
                              service.ScanFile(&g_scan)});
     },
     .answers = {.whenDone = KX_OK, .whenRefused = kServiceRefusals},
     .shows = [] {
         ServiceSnapshot state{};
         ReadServiceState(&state);
         return state.running == 1 && state.archiveFlag == 5 && state.notification == 2 && state.hasSchedule == 1 &&
                KxService().MsgSvcSize() == 0 && std::wstring(g_sms.answer) == L"clean" &&
                state.lastProtectLength == sizeof g_protect && g_version.engineVersion[0] != 0 &&
                std::wstring(g_virus.name) == L"Trojan.Abc" && g_scan.scanResult == 1;
     }},
    // A file quarantined: a request whose work shows in the device's files.
    // The service's own answer word: 0 is done.
    {.drives = {"KxService::QuarantineFile"}, .stage = ServiceLoaded,
     .call = [] { return long(KxService().QuarantineFile(L"\\kxtest\\f", L"Trojan.Abc")); },
     .answers = {.whenDone = 0, .whenRefused = kServiceRefusals}, .shows = [] { return ScratchFileGone(L"f"); }},
    // The Startup folder scanned.
    // Always 0; what was done shows on the device. The Startup folder holds a shortcut, so that
    // ScanIt judges a shortcut by the program it starts: the shortcut goes, the program to
    // quarantine.
    {.drives = {"KxConfig::ScanStartup", "KxConfig::ScanIt"}, .stage = ServiceLoaded,
     .call = [] { return long(KxConfig::ScanStartup()); }, .answers = {.whenDone = KX_OK, .whenRefused = {KX_OK}},
     .shows = [] { return ScratchFileGone(L"game.exe") && ScratchFileGone(L"StartUp\\game.lnk"); }},

    // ---- The device ----
    // The device type and release.
    // The device-type word has its lowest bit clear: it carries IsWM5's answer.
    {.drives = {"HelpAPI::GetDeviceType", "HelpAPI::IsWM5"}, .stage = HandsetWithServicePack,
     .call = [] { return long(HelpAPI::GetDeviceType() | HelpAPI::IsWM5()); },
     .answers = {.whenDone = KX_DEVICE_POCKETPC_5 | 1, .whenRefused = {KX_DEVICE_UNKNOWN | 1, KX_DEVICE_POCKETPC_5}}},
    // The device identifier.
    {.drives = {"HelpAPI::GetDeviceID"}, .stage = Handset,
     .call = [] { return long(HelpAPI::GetDeviceID(&g_deviceId)); },
     .answers = {.whenDone = true, .whenRefused = {false}},
     .shows = [] { return g_deviceId != GUID{}; }, .leftAlone = [](long) { return g_deviceId == GUID{}; }},
    // The cellular line among the device's lines.
    // A line whose capabilities cannot be read for want of memory is passed over.
    {.drives = {"HelpAPI::GetTSPLineDeviceID"}, .stage = LineApplication,
     .call = [] {
         return long(HelpAPI::GetTSPLineDeviceID(g_lineApp, 2, 0x00020000, CELLTSP_LINENAME_STRING, g_mediaModes,
                                                 g_extension));
     },
     .answers = {.whenDone = 1, .whenRefused = {long(0xFFFFFFFF)}}},
    // The phone radio.
    // A field that could not be read keeps its value. A cellular line whose capabilities the
    // telephony service has no memory to tell is passed over, as any line that cannot tell
    // them: then the device has no phone that could be found.
    {.drives = {"HelpAPI::RadioVersionInfoCollect"}, .stage = Handset,
     .call = [] {
         HelpAPI::RadioVersionInfoCollect(::GetModuleHandleW(nullptr), g_radio);
         return long(g_radio.hasPhone);
     },
     .answers = {.whenDone = 1, .whenRefused = {1, 0}},
     .shows = [] {
         return !g_radio.manufacturer.empty() && !g_radio.operatorLongName.empty() && !g_radio.serialNumber.empty();
     },
     .leftAlone = [](long hasPhone) { return hasPhone == 1 || g_radio.manufacturer.empty(); }},
    // The adapters' link.
    {.drives = {"ConnMgr::GetConnectionType()"}, .stage = Handset,
     .call = [] { return long(ConnMgr::GetConnectionType()); },
     .answers = {.whenDone = KX_CONNECTION_LOCAL_LINK, .whenRefused = {KX_CONNECTION_UNKNOWN}}},
    // A data connection.
    {.drives = {"ConnMgr::ConnectGPRS"}, .stage = Handset, .call = [] { return long(g_connection.ConnectGPRS()); },
     .answers = {.whenDone = S_OK, .whenRefused = {E_OUTOFMEMORY}},
     .shows = [] { return bool(g_connection); }, .leftAlone = [](long) { return !g_connection; }},

    // ---- Paths, files, resources and the log ----
    // A path shortened for display.
    {.drives = {"GetShortPathFile"}, .stage = NothingNeeded,
     .call = [] { return long((g_text = GetShortPathFile(std::wstring(150, L'p').c_str())).size()); },
     .answers = {.whenDone = 103, .whenRefused = {0}},
     .shows = [] { return g_text == L"..." + std::wstring(100, L'p'); }},
    // A special folder.
    {.drives = {"GetSpecialPath"}, .stage = NothingNeeded,
     .call = [] {
         GetSpecialPath(CSIDL_PERSONAL, Units(g_outputs.text));
         return long(std::wcslen(g_outputs.text));
     },
     .answers = {.whenDone = 14, .whenRefused = {0}},
     .shows = [] { return std::wstring(g_outputs.text) == L"\\My Documents\\"; }, .text = kTextEmptied},
    // A module's version.
    {.drives = {"GetAFileVersion"}, .stage = NothingNeeded,
     .call = [] {
         const auto version = GetAFileVersion(Units(L"kernel32.dll"));
         return long(version.first != 0 || version.second != 0);
     },
     .answers = {.whenDone = true, .whenRefused = {false}}},
    // A text from a module's resource.
    // The resource's text starts with a byte-order mark, which CreateStringFromByteBuf drops.
    {.drives = {"CreateStringFromRes", "CreateStringFromByteBuf"}, .stage = NothingNeeded,
     .call = [] {
         g_text = CreateStringFromRes(::GetModuleHandleW(nullptr), 1, Units(RT_RCDATA), true);
         return long(g_text.size());
     },
     .answers = {.whenDone = 33, .whenRefused = {0}},
     .shows = [] { return g_text == L"a resource text longer than seven"; }},
    // A line of the debug log.
    // Its failures are silent: the log shows what was done.
    {.drives = {"WriteDbgLog"}, .stage = Installed,
     .call = [] {
         WriteDbgLog(Units(L"scan %d started"), 7);
         return long(ReadDeviceFile(kDebugLog) != "<missing>");
     },
     .answers = {.whenDone = true, .whenRefused = {false}},
     .shows = [] { return ReadDeviceFile(kDebugLog).size() == 30; }},

    // ---- Values the caller copies ----
    // A separated-values record and a trimmed field.
    {.drives = {"CSV::CSV(unsigned short const*, unsigned short)", "CSV::get"}, .stage = NothingNeeded,
     .call = [] {
         const CSV record(Units(L"first field,  second field  ,third field"), L',');
         g_text = record.get(1, 1);
         return long(record.size());
     },
     .answers = {.whenDone = 3, .whenRefused = {0, 3}},
     .shows = [] { return g_text == L"second field"; }, .leftAlone = [](long) { return g_text.empty(); }},
    // Records and radio answers copied and assigned.
    // Each copy is made and examined within the call, so that what it holds is released there;
    // the answer is the worst of the four. A radio copy without memory is one as constructed.
    {.drives = {"CSV::CSV(CSV const&)", "CSV::operator=(CSV const&)", "RadioInfo::RadioInfo(RadioInfo const&)",
                "RadioInfo::operator=(RadioInfo const&)"},
     .stage = ValuesToCopy,
     .call = [] {
         CSV recordCopy(g_fields);
         CSV record(Units(L"an earlier record"), L',');
         const std::vector<std::wstring> earlierFields = record.Vector();
         record = g_fields;
         const RadioInfo radioCopy(g_radioSource);
         RadioInfo radio;
         radio.hasPhone = 7;
         radio = g_radioSource;
         return long(std::max({Copy(recordCopy.Vector() == g_fields.Vector(), recordCopy.size() == 0),
                               Copy(record.Vector() == g_fields.Vector(), record.Vector() == earlierFields),
                               Copy(radioCopy.model == g_radioSource.model,
                                    radioCopy.model.empty() && radioCopy.hasPhone == 1),
                               Copy(radio.model == g_radioSource.model, radio.model.empty() && radio.hasPhone == 7)}));
     },
     .answers = {.whenDone = kCopied, .whenRefused = {kKept}},
     .shows = [] { return !g_radioSource.model.empty() && g_fields.size() == 3; }},

    // ---- XML and the dialogs ----
    // An XML document loaded, an element found by its tag and its attribute read.
    {.drives = {"KxXmlDocument::LoadFile", "KxXmlDocument::FindElementByTag", "KxXmlElement::Attribute"},
     .stage = Installed,
     .call = [] {
         KxXmlDocument document;
         unsigned short tag[] = {'b', 0}, attribute[] = {'v', 0};
         if (document.LoadFile(Units(L"\\kxtest\\doc.xml")) == 0) return 0L;
         g_text = document.FindElementByTag(tag)[0].Attribute(attribute);
         return long(g_text.size());
     },
     .answers = {.whenDone = 40, .whenRefused = {0}}, .shows = [] { return g_text == std::wstring(40, L'4'); }},
    // A later instance hands its command line to the first.
    // A later instance is activated either way; without memory it gets no command line.
    {.drives = {"ActivatePreviousInstance"}, .stage = RunningInstance,
     .call = [] {
         ActivatePreviousInstance(IDS_PRODUCT_NAME, 0, L"/scan \\My Documents", 0);
         return long(g_copied.size());
     },
     .answers = {.whenDone = 19, .whenRefused = {0}}, .shows = [] { return g_copied == L"/scan \\My Documents"; }},
};
// clang-format on

// The site that drives the export named so.
const Site& SiteDriving(const std::string& exportName) {
    return *std::find_if(std::begin(kSites), std::end(kSites),
                         [&](const Site& site) { return site.drives.front() == exportName; });
}

const char* const kRouteNames[KX_ROUTE_COUNT] = {"operator new",    "BSTR",        "task allocator",
                                                 "C run-time heap", "file stream", "local memory"};

// An answer as the library's headers write it: statuses in hexadecimal, small numbers as they are.
std::string AnswerText(long answer) {
    std::ostringstream text;
    if (answer >= 0x1000 || answer < -0x1000) text << "0x" << std::hex;
    text << answer;
    return text.str();
}

// One attempt of a site from its stage, with the library's allocation `nth` made to fail (0:
// none). It must do its work, or give one of its failure results with the caller's outputs, what
// its row names and the device as they were; with an allocation failing it leaks no memory and
// no handle either way. `failedRoute` is set to the route of the allocation that failed, or to
// KX_ROUTE_COUNT when none did: nth was past the call's last allocation.
::testing::AssertionResult Attempted(const Site& site, unsigned long nth, int* failedRoute) {
    site.stage();
    std::map<std::string, std::string> before = DeviceState();
    const int handlesBefore = OpenHandles();
    g_outputs = kFilledOutputs;
    const KxFaultCounts start = KxFaultRead();
    KxFaultArm(nth);
    const long answer = site.call();
    KxFaultArm(0);
    const std::vector<long>& refusals = site.answers.whenRefused;
    const bool done = answer == site.answers.whenDone && (!site.shows || site.shows());
    const bool refused = !done && std::count(refusals.begin(), refusals.end(), answer) != 0;
    const bool keptWhatItMust = !site.leftAlone || site.leftAlone(answer);
    const char* const written = OutputsWritten(site.text);
    Tidy();
    const KxFaultCounts end = KxFaultRead();
    *failedRoute = KX_ROUTE_COUNT;
    for (int route = 0; route < KX_ROUTE_COUNT; ++route)
        if (end.failures[route] != start.failures[route]) *failedRoute = route;

    std::string wrong, expected = AnswerText(site.answers.whenDone) + " with its work done";
    for (long refusal : refusals) expected += " or its failure result " + AnswerText(refusal);
    const std::string gave = "; gave its failure result " + AnswerText(answer) + " but ";
    if (!done && !refused && answer == site.answers.whenDone)
        wrong += "; answered " + AnswerText(answer) + " but what it left does not show its work";
    else if (!done && !refused)
        wrong += "; answered " + AnswerText(answer) + ", expected " + expected;
    if (refused && !keptWhatItMust)
        wrong += gave + "changed what a refusal leaves alone (the row's leftAlone)";
    if (refused && written != nullptr) wrong += gave + "wrote " + written;
    if (!done && *failedRoute == KX_ROUTE_COUNT)
        wrong += "; did not do its work, yet nothing failed";
    if (nth == 1 && *failedRoute == KX_ROUTE_COUNT) wrong += "; it allocates nothing to make fail";
    // With memory to spare, what the platform sets up on first use is not taken for a leak.
    if (nth != 0) {
        const unsigned long long allocated = Total(end.allocations) - Total(start.allocations);
        const unsigned long long released = Total(end.releases) - Total(start.releases);
        if (allocated != released)
            wrong += "; leaked memory: " + std::to_string(allocated) + " blocks allocated, " +
                     std::to_string(released) + " released";
        if (OpenHandles() > handlesBefore) wrong += "; left a handle open";
        for (const auto& [part, contents] : DeviceState())
            if (refused && !site.mayBePartlyDone && contents != before[part])
                wrong += gave + "changed " + part;
    }
    if (wrong.empty()) return ::testing::AssertionSuccess();
    std::string call = site.drives.front();
    for (size_t index = 1; index < site.drives.size(); ++index)
        call += std::string(", ") + site.drives[index];
    if (nth == 0)
        return ::testing::AssertionFailure() << call << " with memory to spare:" << wrong.substr(1);
    return ::testing::AssertionFailure()
           << call << " with allocation " << nth << " ("
           << (*failedRoute == KX_ROUTE_COUNT ? "past its last one" : kRouteNames[*failedRoute])
           << ") failing:" << wrong.substr(1);
}

class OutOfMemoryTest : public ServiceTest {};

TEST_F(OutOfMemoryTest, EveryFailedAllocationIsAFailureResultThatLosesNothing) {
    int failedRoute = KX_ROUTE_COUNT;
    // The run-time sets up its unwinding on the library's first exception and keeps a few
    // handles for that; one failure before the walk does it.
    Attempted(SiteDriving("GetShortPathFile"), 1, &failedRoute);
    unsigned long long failedByRoute[KX_ROUTE_COUNT] = {};
    for (const Site& site : kSites) {
        // Allocation 0 fails none: once with memory to spare first, so that what the platform
        // sets up on first use is not taken for a leak.
        for (unsigned long nth = 0;; ++nth) {
            const ::testing::AssertionResult attempt = Attempted(site, nth, &failedRoute);
            EXPECT_TRUE(attempt);
            if (!attempt || (nth != 0 && failedRoute == KX_ROUTE_COUNT)) break;
            if (failedRoute != KX_ROUTE_COUNT) ++failedByRoute[failedRoute];
        }
    }
    // Every route the library's own code allocates by was failed in some call. The C run-time's
    // heap is counted too, but only the run-time beneath the library takes from it (the object
    // of an exception thrown after a failure, a mutex's state on its first lock): the walk
    // cannot reach it but behind another failure.
    for (KxAllocationRoute route : {KX_ROUTE_NEW, KX_ROUTE_BSTR, KX_ROUTE_TASKMEM, KX_ROUTE_STREAM})
        EXPECT_GT(failedByRoute[route], 0u)
            << kRouteNames[route]
            << ": the library allocates this way, but no call was walked through a failure of it";
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
    EXPECT_EQ(KxRegUtil().GetValue(kProductKey, L"Large", g_outputs.text, 0x7FFFFFFE),
              KX_E_REGISTRY);
    EXPECT_EQ(KxConfig::GetMamoHostName(g_outputs.narrow, 0x7FFFFFFE), -1);
    const KxFaultCounts end = KxFaultRead();
    EXPECT_EQ(Total(end.allocations) + Total(end.failures),
              Total(start.allocations) + Total(start.failures))
        << "a claimed length was allocated before it was checked";
}

// ---- Every export walked or accounted for ------------------------------------------------------

// The exports the walk does not drive, by family, each with its reason: they cannot allocate, or
// every allocation they make lies on the path of an export a site drives (`walkedThrough`). An
// entry names an export as the export table does, or without its parameters for every overload;
// "Class::*" stands for every member of a class.
struct NotWalked {
    const char* reason;
    const char* walkedThrough = nullptr;  // as a site names it; nullptr: they cannot allocate
    const char* scope = "";               // put in front of each name
    std::vector<const char*> exports;
};

// A table of names, packed as it reads best.
// clang-format off
const NotWalked kNotWalked[] = {
    {.reason = "read a text setting into the caller's buffer through KxRegUtil::GetValue's text read, whose one "
               "allocation (the scratch for a long value) is walked above; their ways round that read are those of "
               "GetSpamFolder, GetSysDir, GetLastPattern and Get_ProviderDLLPath_WDP, walked above",
     .walkedThrough = "KxRegUtil::GetValue(wchar_t const*, wchar_t const*, wchar_t*, unsigned long, HKEY__*)",
     .scope = "KxConfig::",
     .exports = {"GetOfficalServer", "GetTaskLogFileName", "GetVirusLogFileName", "GetSMSLogFileName",
                 "GetMsgLogFileName", "GetPxyPwd", "GetOldProductVersion", "GetStartupTemp", "GetInsertCardTitle",
                 "GetMamoHostName(wchar_t*, int)", "GetFullVersion(wchar_t*, unsigned long)", "GetConfigURL",
                 "GetStartupDir", "Get_ProviderDLLPath_Notify", "Get_ProviderDLLPath_Text", "Get_ProviderDLLPath_WCMP",
                 "Get_ProviderDLLPath_Broadcast", "Get_ProviderDLLPath_Status", "Get_ProviderDLLPath_Raw"}},
    {.reason = "read a value's bytes through the scratch of KxRegUtil::GetValue's text read, walked above",
     .walkedThrough = "KxRegUtil::GetValue(wchar_t const*, wchar_t const*, wchar_t*, unsigned long, HKEY__*)",
     .exports = {"KxRegUtil::GetValue(wchar_t const*, wchar_t const*, unsigned char*, unsigned long, HKEY__*)",
                 "KxRegUtil::InternalGetValue"}},
    {.reason = "service requests, whose only allocations are the request path's, walked above through QuarantineFile "
               "and the requests that change no file (among them SetUpdateSchedule and GetZRAPIVersion, which the two "
               "settings make); around the request they check arguments in place and read or write numbers and texts "
               "through fixed buffers",
     .walkedThrough = "KxService::QuarantineFile",
     .exports = {"KxService::RestoreFile", "KxService::WriteDebugLog", "KxService::MsgSvcPush", "KxService::MsgSvcSize",
                 "KxService::MsgSvcPop", "KxConfig::SetUpdateSchedule", "KxConfig::SetZRApiVersionReg"}},
    {.reason = "ask for the radio through RadioVersionInfoCollect, walked above, and for nothing else that allocates "
               "but the device type of GetDeviceType, walked above",
     .walkedThrough = "HelpAPI::RadioVersionInfoCollect",
     .exports = {"HelpAPI::HasPhone", "IsPDA"}},
    {.reason = "the counters of this walk, in the test build only",
     .exports = {"KxFaultArm", "KxFaultRead", "KxFaultRouteImports", "KxFaultAllocate", "KxFaultRelease"}},
    {.reason = "data, not functions",
     .exports = {"B64::m_base64Key", "FmtVer::s_fmt", "typeinfo for KxXmlDocument", "vtable for KxXmlDocument"}},
    {.reason = "bit arithmetic on one word, byte swaps, look-ups in constant tables",
     .exports = {"Bit32::*", "BLLong", "BLShort", "AVOpt::*", "SUOpt::*"}},
    {.reason = "codecs that read and write only the caller's buffers",
     .exports = {"FmtVer::*", "B64::*", "UTF16BEToUTF8", "UTF16LEToUTF8", "UTF8ToUTF16BE", "UTF8ToUTF16LE", "md5_calc"}},
    {.reason = "plain values, moves, releases and accessors of what an object holds",
     .exports = {"RegValueData::*", "RegKeyData::*", "RadioInfo::RadioInfo()", "RadioInfo::RadioInfo(RadioInfo&&)",
                 "RadioInfo::operator=(RadioInfo&&)", "RadioInfo::~RadioInfo", "CSV::size", "CSV::Vector",
                 "CSV::CSV(CSV&&)", "CSV::operator=(CSV&&)", "CSV::~CSV", "ConnMgr::ConnMgr", "ConnMgr::operator void*",
                 "KxService::KxService", "KxService::~KxService", "KxService::CloseSrvHandle",
                 "DynamicLoadLibrary::IsOK", "DynamicLoadLibrary::GetHandle", "MutexLock::GetLockStatus",
                 "KxXmlElementList::GetCount", "RegQV::RegQV(HKEY__*)", "RegQV::~RegQV"}},
    {.reason = "text and path helpers that work in place or in fixed buffers",
     .exports = {"HelpAPI::AppendASeparator", "HelpAPI::GetFileExt", "HelpAPI::GetFileName", "HelpAPI::CatPathWithFile",
                 "HelpAPI::GetSMSCallId", "HelpAPI::Str_TrimAll", "HelpAPI::StrTrimInerStr", "HelpAPI::StrTrimAll",
                 "ParseSC", "IsInMainModule", "ConnMgr::GetConnectionType(char const*)"}},
    {.reason = "files and product paths in MAX_PATH buffers; resources the module holds",
     .exports = {"HelpAPI::IsDir", "HelpAPI::Access", "HelpAPI::ForceDeleteFile", "HelpAPI::ForceMoveFile",
                 "HelpAPI::UnlinkDir", "HelpAPI::MoveDir", "HelpAPI::isRomFile", "HelpAPI::isIgnoreFile",
                 "HelpAPI::isIgnoreDllFile", "HelpAPI::IsOurFile", "HelpAPI::SkipScanFile", "InternalCreateFile",
                 "CreateFileFromRes", "GetResource", "GetOurPath", "KxConfig::GetMatchFile", "KxConfig::IsInStartup",
                 "KxConfig::SetRsaKeyEx"}},
    {.reason = "registry access through fixed buffers: numbers, writes of the caller's bytes, deletions, name walks, "
               "handles",
     .exports = {"KxRegUtil::GetValue(wchar_t const*, wchar_t const*, unsigned long&, HKEY__*)", "KxRegUtil::SetValue",
                 "KxRegUtil::InternalSetValue", "KxRegUtil::DelValue", "KxRegUtil::QueryKeyExist",
                 "KxRegUtil::EnumKeys", "KxRegUtil::EnumVaule", "KxRegUtil::ReleaseKeyList", "RegKey::*",
                 "RegGetSystemTime", "RegSetSystemTime"}},
    {.reason = "settings of numbers, time records, texts written from the caller's buffer and texts read into the "
               "library's own buffers of 1024 characters",
     .scope = "KxConfig::",
     .exports = {"GetAFlagInMiscOpt", "GetAutomaticUpdate", "GetAutomaticUpdateFrequency",
                 "GetBeBlockSMSWithoutCallerId", "GetBeInsCardScan", "GetBeRealTimeScan", "GetBeSafeMode",
                 "GetBeUseProxy", "GetDebugLogFileSize", "GetDebugLogFlag", "GetDebugLogOption", "GetEnableAcceptList",
                 "GetImportOption", "GetIncludeMGI", "GetLogFileSize", "GetMamoHostPort", "GetMamoLockAll",
                 "GetMamoPromptSendLog", "GetMamoSendUpdateLog", "GetMamoSendVirusLog", "GetMessageMaxNumber",
                 "GetMgiUploadIdleTime", "GetMgiValidSimple", "GetMiscOpt", "GetProductLanguage",
                 "GetPromptWhenConnectByWireless", "GetRTScanOption", "GetRomFileSleepTime", "GetRunOnce",
                 "GetScanFileType", "GetScanLayer", "GetSpaceFactor", "GetSpamPreventionLevel", "GetStartupFlag",
                 "GetSuperLab", "GetUncompressSize", "GetUpdateRecievePrompt", "GetWapPushLevel", "SetAFlagInMiscOpt",
                 "SetAutomaticUpdate", "SetAutomaticUpdateFrequency", "SetBeBlockSMSWithoutCallerId",
                 "SetBeInsCardScan", "SetBeRealTimeScan", "SetBeSafeMode", "SetDebugLogFileSize", "SetDebugLogFlag",
                 "SetDeviceType", "SetEnableAcceptList", "SetImportOption", "SetLogFileSize", "SetMamoHostPort",
                 "SetMamoLockAll", "SetMamoPromptSendLog", "SetMamoSendUpdateLog", "SetMamoSendVirusLog",
                 "SetMessageMaxNumber", "SetMgiUploadIdleTime", "SetMgiValid", "SetMiscOpt",
                 "SetPromptWhenConnectByWireless", "SetRTScanOption", "SetRomFileSleepTime", "SetRunOnce",
                 "SetScanFileType", "SetScanLayer", "SetSpaceFactor", "SetSpamPreventionLevel", "SetStartupFlag",
                 "SetUncompressSize", "SetUpdateRecievePrompt", "SetWapPushLevel", "GetLastMSTime", "GetLastUpdateTime",
                 "GetScheduleUpdateTime", "GetStartUpTillNow", "SetLastMSTime", "SetLastUpdateTime",
                 "SetScheduleUpdateTime", "SetStartUpTime", "SetStartUpTime_Setup", "SetFullVersion",
                 "SetInsertCardTitle", "SetLastPattern", "SetMamoHostName", "SetMsgLogFileName", "SetOfficalServer",
                 "SetPxyPwd", "SetSMSLogFileName", "SetSpamFolder", "SetStartupTemp", "SetTaskLogFileName",
                 "SetVirusLogFileName", "DelInsertCardTitle", "DelStartupFlag", "DelStartupTemp", "GetAppDir",
                 "GetFullVersion(unsigned long&, unsigned long&)", "GetProductVersion", "IncrementVer", "GetMgiValid",
                 "GetMD5", "InitOtherReg", "EmptyMgiParam", "ShowFExplore"}},
    {.reason = "caller lists: entries written from the caller's record, read through fixed buffers",
     .scope = "KxConfig::",
     .exports = {"AddAccepter", "DelAccepter", "GetAcceptr", "GetAcceptList", "InAccepterFuzzy", "AddRejecter",
                 "DelRejecter", "GetRejecter", "GetRejectList", "InRejecterFuzzy", "AddWapPushAccepter",
                 "DelWapPushAccepter", "GetWapPushAcceptr", "GetWapPushAcceptList", "AddForceListAccepter",
                 "DelForceListAccepter", "GetForceListAcceptr", "GetForceAcceptList"}},
    {.reason = "programs, processes, modules and kernel objects named in fixed buffers",
     .exports = {"KxConfig::StartRealTimeScan", "KxConfig::StopRealTimeScan", "KxConfig::StartWapPushFilter",
                 "KxConfig::StopWapPushFilter", "KxConfig::StartStopRealtimeScan", "KxConfig::StartStopWapPushFilter",
                 "KxConfig::DisableAllFeature", "KxConfig::KillProcess", "KxConfig::KillUIProcess",
                 "KxConfig::RunActiveSynEvent", "KxConfig::RegisterSMSListern", "KxConfig::UnregisterSMSListern",
                 "HelpAPI::GetNotificationType", "MutexLock::*", "DynamicLoadLibrary::*", "WaitTime",
                 "ConnMgr::Disconnect"}},
    {.reason = "XML wrappers that only take and release references",
     .exports = {"KxXmlElement::KxXmlElement", "KxXmlElement::operator=", "KxXmlElement::~KxXmlElement",
                 "KxXmlElementList::KxXmlElementList", "KxXmlElementList::operator=", "KxXmlElementList::operator[]",
                 "KxXmlElementList::~KxXmlElementList", "KxXmlDocument::KxXmlDocument", "KxXmlDocument::operator=",
                 "KxXmlDocument::~KxXmlDocument", "KxXmlDocument::Drop"}},
    {.reason = "window, dialog, list-view and menu messages, GDI calls and layout arithmetic on stack records; texts "
               "loaded into fixed buffers",
     .exports = {"UI_ShowWindow", "UI_HideWindow", "UI_SetForegroundWindow", "UI_ActiveWindow", "UI_DestroyWindow",
                 "UI_MoveWindow", "UI_SetDlgTitle", "UI_GetTextSize", "EnablePair", "EnableSPLB", "EnableSPLBAndStatic",
                 "BmpBlt", "UI_TraceFont", "WaitCursor::*", "SDC::*", "UI_LoadString", "UI_FindWindow",
                 "UI_SetWindowText", "UI_SetDlgItemText", "UI_AddStringToLB", "InsertListColumn", "UI_MsgBox",
                 "UI_Trim_MsgBox", "ResFmtMessage", "GetListItemLPARAM", "GetListColumnWidth", "SetListColumnWidth",
                 "GetListSelectedItem", "SetListSelectedItem", "DelListItem", "AddListStyle", "EnableMBButton",
                 "EnableMBMenuItem", "RemoveMBMenuItem", "InsertMBMenuItem", "SwitchSoftKey", "AvoidScrollBar::*",
                 "ChangeSpinWidth", "GeneralAdjustCtlLayout::*", "GeneralAdjustCtlLayoutByPos::*", "GetRelativeRect",
                 "LayoutCtl", "LayoutCtlByPos", "LayoutSpin", "RelayoutChildCtrls::*", "IsWideMode", "ChangeToPortrait"}},
};
// clang-format on

// The names of the library's exports as its export table holds them, demangled, without the
// "[abi:cxx11]" tags of functions that hand back strings.
std::set<std::string> Exports() {
    std::set<std::string> names;
    const auto* base = reinterpret_cast<const BYTE*>(::GetModuleHandleW(L"kxcommon.dll"));
    if (base == nullptr) return names;
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const auto* table = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(
        base + headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress);
    const auto* nameAt = reinterpret_cast<const DWORD*>(base + table->AddressOfNames);
    for (DWORD index = 0; index < table->NumberOfNames; ++index) {
        const char* mangled = reinterpret_cast<const char*>(base + nameAt[index]);
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

// Whether `entry` names `name`: the whole name, the name without its parameters, or with
// "Class::*" any member of the class.
bool Names(const std::string& entry, const std::string& name) {
    if (entry == name) return true;
    if (entry.size() > 3 && entry.compare(entry.size() - 3, 3, "::*") == 0)
        return name.compare(0, entry.size() - 1, entry, 0, entry.size() - 1) == 0;
    const size_t parameters = name.find('(');
    return parameters != std::string::npos && name.compare(0, parameters, entry) == 0;
}

// Every export of the library is driven by the walk or listed with its reason, and never both;
// every name the walk or the list gives is an export; a family said to be walked through an
// export names one a site drives.
TEST(OutOfMemoryWalk, EveryExportIsWalkedOrAccountedFor) {
    const std::set<std::string> exports = Exports();
    ASSERT_GT(exports.size(), 300u) << "the export table of kxcommon.dll could not be read";
    std::vector<std::string> walked, listed;
    for (const Site& site : kSites)
        for (const char* name : site.drives) walked.push_back(name);
    for (const NotWalked& family : kNotWalked) {
        for (const char* name : family.exports) listed.push_back(family.scope + std::string(name));
        EXPECT_TRUE(family.walkedThrough == nullptr ||
                    std::count(walked.begin(), walked.end(), family.walkedThrough) != 0)
            << "the exports listed as those that \"" << family.reason
            << "\" are said to be walked through " << family.walkedThrough
            << ", which no site drives";
    }
    const auto named = [&](const std::vector<std::string>& entries, const std::string& name) {
        return std::any_of(entries.begin(), entries.end(),
                           [&](const std::string& entry) { return Names(entry, name); });
    };
    std::string forgotten, both;
    for (const std::string& name : exports) {
        const bool isWalked = named(walked, name), isListed = named(listed, name);
        if (!isWalked && !isListed) forgotten += "\n  " + name;
        if (isWalked && isListed) both += "\n  " + name;
    }
    EXPECT_EQ(forgotten, "") << "exports neither walked nor listed with a reason:";
    EXPECT_EQ(both, "") << "exports walked and also listed as not walked:";
    for (const std::vector<std::string>* entries : {&walked, &listed})
        for (const std::string& entry : *entries)
            EXPECT_TRUE(std::any_of(exports.begin(), exports.end(),
                                    [&](const std::string& name) { return Names(entry, name); }))
                << "\"" << entry << "\" names no export of the library";
}

}  // namespace
