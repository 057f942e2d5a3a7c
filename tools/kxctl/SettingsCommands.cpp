// kxctl's settings verbs: init, show, get, set, delete and version. Every setting is reached
// through its named KxConfig accessor, so what kxctl stores is what the library would store
// (`set RealTimeScan 5` stores 1); kxctl names value names but never a key path.
#include "Commands.h"

#include <kxcommon/FmtVer.h>
#include <kxcommon/KxConfig.h>

#include <windows.h>

#include <cwchar>
#include <string>

namespace kxctl {
namespace {

// What a getter found: the value as text, or nothing when the setting is not stored.
struct Shown {
    bool stored;
    std::wstring text;
};

using ShowFn = Shown (*)();
using SetFn = int (*)(const std::wstring& value);  // exit code; prints what went wrong
using DeleteFn = KXSTATUS (*)();

struct Setting {
    const wchar_t* name;
    const wchar_t* kind;  // what `set` accepts
    ShowFn show;
    SetFn set;       // null: the library only reads it
    DeleteFn erase;  // null: the library offers no deletion
};

constexpr unsigned long kTextChars = 1024;

Shown NotStored() { return {false, L""}; }
Shown Stored(const std::wstring& text) { return {true, text}; }
std::wstring Number(unsigned long n) { return std::to_wstring(n) + L" (" + Hex(n) + L")"; }

int Refused(const std::wstring& what, KXSTATUS status) {
    return status == KX_OK ? kExitOk : CallFailed(what, status);
}

int NotANumber(const std::wstring& value) {
    return UsageError(L"'" + value +
                      L"' is not a 32-bit number (decimal or 0x hex); nothing written");
}

// ---- Adapters, one per accessor shape --------------------------------------------------

template <KXSTATUS (*Get)(unsigned long&)>
Shown ShowNumber() {
    unsigned long n = 0;
    return Get(n) == KX_OK ? Stored(Number(n)) : NotStored();
}

template <KXSTATUS (*Set)(unsigned long)>
int SetNumber(const std::wstring& value) {
    unsigned long n = 0;
    if (!ParseNumber(value, &n)) return NotANumber(value);
    return Refused(L"writing", Set(n));
}

template <KXSTATUS (*Get)(int&)>
Shown ShowInt() {
    int n = 0;
    return Get(n) == KX_OK ? Stored(std::to_wstring(n)) : NotStored();
}

template <KXSTATUS (*Set)(int)>
int SetInt(const std::wstring& value) {
    unsigned long n = 0;
    if (!ParseNumber(value, &n)) return NotANumber(value);
    return Refused(L"writing", Set(static_cast<int>(n)));
}

// Getters that answer with the setting itself and report no status.
template <int (*Get)()>
Shown ShowAnswer() {
    return Stored(std::to_wstring(Get()) + L" (as the product reads it)");
}

template <KXSTATUS (*Get)(wchar_t*, unsigned long)>
Shown ShowText() {
    wchar_t text[kTextChars] = {};
    return Get(text, kTextChars) == KX_OK ? Stored(L"\"" + std::wstring(text) + L"\"")
                                          : NotStored();
}

template <KXSTATUS (*Get)(wchar_t*, int)>
KXSTATUS IntLength(wchar_t* text, unsigned long length) {
    return Get(text, static_cast<int>(length));
}

template <KXSTATUS (*Set)(const wchar_t*)>
int SetText(const std::wstring& value) {
    return Refused(L"writing", Set(value.c_str()));
}

template <KXSTATUS (*Set)(wchar_t*)>
KXSTATUS Writable(const wchar_t* text) {
    std::wstring copy = text;
    return Set(&copy[0]);
}

template <KXSTATUS (*Get)(SYSTEMTIME&)>
Shown ShowTime() {
    SYSTEMTIME t{};
    return Get(t) == KX_OK ? Stored(FormatTime(t)) : NotStored();
}

template <KXSTATUS (*Set)(const SYSTEMTIME&)>
int SetTime(const std::wstring& value) {
    SYSTEMTIME t;
    if (!ParseTime(value, &t))
        return UsageError(L"'" + value +
                          L"' is not a time (YYYY-MM-DD HH:MM:SS or now); nothing written");
    return Refused(L"writing", Set(t));
}

// ---- Settings whose accessors have shapes of their own ---------------------------------

Shown ShowProductLanguage() {
    // The getter leaves its output as it was when nothing is stored: ask with two presets.
    unsigned long first = 0, second = 1;
    KxConfig::GetProductLanguage(first);
    KxConfig::GetProductLanguage(second);
    return first == 0 && second == 1 ? NotStored() : Stored(Number(first));
}

Shown ShowSpamFolder() {
    // The getter answers 0 either way; a stored text replaces the preset non-character.
    wchar_t text[kTextChars] = {0xFFFF, 0};
    KxConfig::GetSpamFolder(text, kTextChars);
    return text[0] == 0xFFFF ? NotStored() : Stored(L"\"" + std::wstring(text) + L"\"");
}

KXSTATUS GetPrimaryServer(wchar_t* text, unsigned long n) {
    return KxConfig::GetOfficalServer(text, static_cast<int>(n), 0);
}
KXSTATUS GetBackupServer(wchar_t* text, unsigned long n) {
    return KxConfig::GetOfficalServer(text, static_cast<int>(n), 1);
}
KXSTATUS SetPrimaryServer(const wchar_t* text) { return KxConfig::SetOfficalServer(text, 0); }
KXSTATUS SetBackupServer(const wchar_t* text) { return KxConfig::SetOfficalServer(text, 1); }
KXSTATUS GetHostName(wchar_t* text, unsigned long n) {
    return KxConfig::GetMamoHostName(text, static_cast<int>(n));
}

Shown ShowRealTimeScanOption() {
    return Stored(Number(KxConfig::GetRTScanOption()) + L" (a missing value is written as 1)");
}

Shown ShowMessageMaxNumber() {
    unsigned long count = 0;
    KxConfig::GetMessageMaxNumber(count);
    return Stored(Number(count) + L" (a missing value is written as 10)");
}

Shown ShowHostPort() { return Stored(std::to_wstring(KxConfig::GetMamoHostPort())); }

int SetHostPort(const std::wstring& value) {
    unsigned long port = 0;
    if (!ParseNumber(value, &port) || port > 0xFFFF)
        return UsageError(L"'" + value + L"' is not a port number (0 to 65535); nothing written");
    return Refused(L"writing", KxConfig::SetMamoHostPort(static_cast<unsigned short>(port)));
}

Shown ShowDigest() {
    char digest[16];
    if (KxConfig::GetMD5(digest) != KX_OK) return NotStored();
    return Stored(HexBytes(reinterpret_cast<const unsigned char*>(digest), sizeof digest, L""));
}

Shown ShowScheduleTime() {
    SYSTEMTIME t{};
    return KxConfig::GetScheduleUpdateTime(&t) == KX_OK ? Stored(FormatTime(t)) : NotStored();
}

KXSTATUS SetScheduleTimeRef(const SYSTEMTIME& t) { return KxConfig::SetScheduleUpdateTime(&t); }

Shown ShowStartupTime() {
    unsigned long seconds = 0;
    return KxConfig::GetStartUpTillNow(seconds) == KX_OK
               ? Stored(std::to_wstring(seconds) + L" seconds ago")
               : NotStored();
}

int SetStartupTime(const std::wstring& value) {
    if (value == L"now") return Refused(L"writing", KxConfig::SetStartUpTime());
    if (value == L"setup") return Refused(L"writing", KxConfig::SetStartUpTime_Setup());
    return UsageError(L"StartupTime takes 'now' or 'setup' (30 seconds ago); nothing written");
}

int SetVersionText(const std::wstring& value) {
    if (!IsVersionText(value))
        return UsageError(L"'" + value +
                          L"' is not a version a.b.c.d (each 0 to 65535); nothing written");
    return Refused(L"writing", KxConfig::SetFullVersion(value.c_str()));
}

template <KXSTATUS (*Get)(wchar_t*, unsigned long)>
Shown ShowDirectory() {
    wchar_t dir[MAX_PATH] = {};
    return Get(dir, MAX_PATH) == KX_OK ? Stored(dir) : NotStored();
}

KXSTATUS GetStartupDirectory(wchar_t* dir, unsigned long n) {
    return KxConfig::GetStartupDir(dir, static_cast<int>(n));
}

Shown ShowLastPattern() {
    // The getter normalises the buffer whatever the read reports: start from an empty text.
    wchar_t text[kTextChars] = {};
    return KxConfig::GetLastPattern(text, kTextChars) == KX_OK
               ? Stored(L"\"" + std::wstring(text) + L"\" (as the product reads it)")
               : NotStored();
}

Shown ShowMgiValid() {
    return Stored(std::to_wstring(KxConfig::GetMgiValidSimple()) + L" (as the product reads it)");
}

// Settings the library writes but offers no getter for.
Shown WriteOnly() { return {false, L"(written only; the library offers no getter)"}; }

// ---- The catalogue as kxctl shows it ----------------------------------------------------

const wchar_t kNum[] = L"number";
const wchar_t kYesNo[] = L"number, stored as 0 or 1";
const wchar_t kText[] = L"text";
const wchar_t kTime[] = L"time (YYYY-MM-DD HH:MM:SS or now)";

const Setting kSettings[] = {
    {L"ProductLanguage", kNum, ShowProductLanguage, nullptr, nullptr},
    {L"SMSSpamFolderName", kText, ShowSpamFolder, SetText<KxConfig::SetSpamFolder>, nullptr},
    {L"IsAccept", kYesNo, ShowInt<KxConfig::GetEnableAcceptList>,
     SetInt<KxConfig::SetEnableAcceptList>, nullptr},
    {L"RealTimeScan", kYesNo, ShowInt<KxConfig::GetBeRealTimeScan>,
     SetInt<KxConfig::SetBeRealTimeScan>, nullptr},
    {L"SafeMode", kNum, ShowInt<KxConfig::GetBeSafeMode>, SetInt<KxConfig::SetBeSafeMode>, nullptr},
    {L"InstantCardScanOption", kYesNo, ShowInt<KxConfig::GetBeInsCardScan>,
     SetInt<KxConfig::SetBeInsCardScan>, nullptr},
    {L"PrimaryUpdateServer", kText, ShowText<GetPrimaryServer>, SetText<SetPrimaryServer>, nullptr},
    {L"BackupUpdateServer", kText, ShowText<GetBackupServer>, SetText<SetBackupServer>, nullptr},
    {L"FileScanType", kNum, ShowNumber<KxConfig::GetScanFileType>,
     SetNumber<KxConfig::SetScanFileType>, nullptr},
    {L"FileDecompressLimitSize", kNum, ShowNumber<KxConfig::GetUncompressSize>,
     SetNumber<KxConfig::SetUncompressSize>, nullptr},
    {L"CompressedFileScanLayer", L"number, stored clamped to 1..3",
     ShowNumber<KxConfig::GetScanLayer>, SetNumber<KxConfig::SetScanLayer>, nullptr},
    {L"TaskLogFilename", kText, ShowText<KxConfig::GetTaskLogFileName>,
     SetText<KxConfig::SetTaskLogFileName>, nullptr},
    {L"VirusLogFilename", kText, ShowText<KxConfig::GetVirusLogFileName>,
     SetText<KxConfig::SetVirusLogFileName>, nullptr},
    {L"SMSLogFilename", kText, ShowText<KxConfig::GetSMSLogFileName>,
     SetText<KxConfig::SetSMSLogFileName>, nullptr},
    {L"WAPLogFilename", kText, ShowText<KxConfig::GetMsgLogFileName>,
     SetText<KxConfig::SetMsgLogFileName>, nullptr},
    {L"LogFileSize", kNum, ShowNumber<KxConfig::GetLogFileSize>,
     SetNumber<KxConfig::SetLogFileSize>, nullptr},
    {L"DebugLogFileSize", kNum, ShowNumber<KxConfig::GetDebugLogFileSize>,
     SetNumber<KxConfig::SetDebugLogFileSize>, nullptr},
    {L"SMSSpamOption", kNum, ShowNumber<KxConfig::GetSpamPreventionLevel>,
     SetNumber<KxConfig::SetSpamPreventionLevel>, nullptr},
    {L"BlockSMSwoIDOption", kNum, ShowNumber<KxConfig::GetBeBlockSMSWithoutCallerId>,
     SetNumber<KxConfig::SetBeBlockSMSWithoutCallerId>, nullptr},
    {L"ImportFromContactOption", kNum, ShowNumber<KxConfig::GetImportOption>,
     SetNumber<KxConfig::SetImportOption>, nullptr},
    {L"WAPPushProtectOption", kNum, ShowNumber<KxConfig::GetWapPushLevel>,
     SetNumber<KxConfig::SetWapPushLevel>, nullptr},
    {L"ROMFileSleep", kNum, ShowNumber<KxConfig::GetRomFileSleepTime>,
     SetNumber<KxConfig::SetRomFileSleepTime>, nullptr},
    {L"LastPatternFilename", kText, ShowLastPattern, SetText<Writable<KxConfig::SetLastPattern>>,
     nullptr},
    {L"DebugLog", kNum, ShowNumber<KxConfig::GetDebugLogFlag>, SetNumber<KxConfig::SetDebugLogFlag>,
     nullptr},
    {L"DebugLogOption", kNum, ShowNumber<KxConfig::GetDebugLogOption>, nullptr, nullptr},
    {L"ProxyPassword", kText, ShowText<KxConfig::GetPxyPwd>, SetText<Writable<KxConfig::SetPxyPwd>>,
     nullptr},
    {L"UpdateTempFactor", kNum, ShowNumber<KxConfig::GetSpaceFactor>,
     SetNumber<KxConfig::SetSpaceFactor>, nullptr},
    {L"SuperLab", kNum, ShowNumber<KxConfig::GetSuperLab>, nullptr, nullptr},
    {L"Version", kText, ShowText<KxConfig::GetOldProductVersion>, nullptr, nullptr},
    {L"DeviceType", kNum, WriteOnly, SetNumber<KxConfig::SetDeviceType>, nullptr},
    {L"RepMD5", L"bytes", ShowDigest, nullptr, nullptr},
    {L"StartupTemp", kText, ShowText<IntLength<KxConfig::GetStartupTemp>>,
     SetText<KxConfig::SetStartupTemp>, KxConfig::DelStartupTemp},
    {L"KillWindowTitle", kText, ShowText<IntLength<KxConfig::GetInsertCardTitle>>,
     SetText<KxConfig::SetInsertCardTitle>, KxConfig::DelInsertCardTitle},
    {L"SystemStartupFlag", kNum, ShowNumber<KxConfig::GetStartupFlag>,
     SetNumber<KxConfig::SetStartupFlag>, KxConfig::DelStartupFlag},
    {L"RealTimeScanOption", kNum, ShowRealTimeScanOption, SetNumber<KxConfig::SetRTScanOption>,
     nullptr},
    {L"ScheduleUpdateOption", kNum, ShowNumber<KxConfig::GetAutomaticUpdate>,
     SetNumber<KxConfig::SetAutomaticUpdate>, nullptr},
    {L"ScheduleUpdateFrequency", L"days: 1, 7, 14 or 30 (anything else is stored as 1)",
     ShowNumber<KxConfig::GetAutomaticUpdateFrequency>,
     SetNumber<KxConfig::SetAutomaticUpdateFrequency>, nullptr},
    {L"MiscOpt", kNum, ShowNumber<KxConfig::GetMiscOpt>, SetNumber<KxConfig::SetMiscOpt>, nullptr},
    {L"PromptWhenConnectByWireless", kNum, ShowNumber<KxConfig::GetPromptWhenConnectByWireless>,
     SetNumber<KxConfig::SetPromptWhenConnectByWireless>, nullptr},
    {L"IsMgiValid", kNum, ShowMgiValid, SetNumber<KxConfig::SetMgiValid>, nullptr},
    {L"MgiUploadIdleTime", L"milliseconds", ShowNumber<KxConfig::GetMgiUploadIdleTime>,
     SetNumber<KxConfig::SetMgiUploadIdleTime>, nullptr},
    {L"UpdateReceivePrompt", kNum, ShowNumber<KxConfig::GetUpdateRecievePrompt>,
     SetNumber<KxConfig::SetUpdateRecievePrompt>, nullptr},
    {L"HostName", kText, ShowText<GetHostName>, SetText<KxConfig::SetMamoHostName>, nullptr},
    {L"HostPort", L"port, 0 to 65535", ShowHostPort, SetHostPort, nullptr},
    {L"VirusLogUpload", kYesNo, ShowAnswer<KxConfig::GetMamoSendVirusLog>,
     SetInt<KxConfig::SetMamoSendVirusLog>, nullptr},
    {L"PromptSendLog", kNum, ShowAnswer<KxConfig::GetMamoPromptSendLog>,
     SetNumber<KxConfig::SetMamoPromptSendLog>, nullptr},
    {L"UpdateLogUpload", kYesNo, ShowAnswer<KxConfig::GetMamoSendUpdateLog>,
     SetInt<KxConfig::SetMamoSendUpdateLog>, nullptr},
    {L"LockAllOption", kYesNo, ShowAnswer<KxConfig::GetMamoLockAll>,
     SetInt<KxConfig::SetMamoLockAll>, nullptr},
    {L"MaxMessageNumber", kNum, ShowMessageMaxNumber, SetNumber<KxConfig::SetMessageMaxNumber>,
     nullptr},
    {L"IncludeMGI", kNum, ShowNumber<KxConfig::GetIncludeMGI>, nullptr, nullptr},
    {L"AppPath", L"directory", ShowDirectory<KxConfig::GetAppDir>, nullptr, nullptr},
    {L"WinPath", L"directory", ShowDirectory<KxConfig::GetSysDir>, nullptr, nullptr},
    {L"StartupPath", L"directory", ShowDirectory<GetStartupDirectory>, nullptr, nullptr},
    {L"FullVersionNum", L"version a.b.c.d", ShowText<KxConfig::GetFullVersion>, SetVersionText,
     nullptr},
    {L"LastScanTime", kTime, ShowTime<KxConfig::GetLastMSTime>, SetTime<KxConfig::SetLastMSTime>,
     nullptr},
    {L"LastUpdateTime", kTime, ShowTime<KxConfig::GetLastUpdateTime>,
     SetTime<KxConfig::SetLastUpdateTime>, nullptr},
    {L"ScheduleUpdateTime", kTime, ShowScheduleTime, SetTime<SetScheduleTimeRef>, nullptr},
    {L"StartupTime", L"now or setup", ShowStartupTime, SetStartupTime, nullptr},
};

const Setting* Find(const std::wstring& name) {
    for (const Setting& s : kSettings) {
        if (SameIgnoringCase(s.name, name.c_str())) return &s;
    }
    return nullptr;
}

std::wstring Line(const Setting& s) {
    const Shown shown = s.show();
    if (shown.stored) return std::wstring(s.name) + L" = " + shown.text;
    return std::wstring(s.name) + L"  " + (shown.text.empty() ? L"(not set)" : shown.text);
}

int UnknownSetting(const std::wstring& name) {
    return UsageError(L"no setting named '" + name + L"' (kxctl show lists them)");
}

}  // namespace

int RunShow(const Args& args) {
    if (!args.empty()) return UsageError(L"usage: kxctl show");
    for (const Setting& s : kSettings) Print(Line(s));
    return kExitOk;
}

int RunGet(const Args& args) {
    if (args.size() != 1) return UsageError(L"usage: kxctl get NAME");
    const Setting* s = Find(args[0]);
    if (s == nullptr) return UnknownSetting(args[0]);
    const Shown shown = s->show();
    Print(Line(*s));
    return shown.stored ? kExitOk : kExitFailed;
}

int RunSet(const Args& args) {
    if (args.size() != 2) return UsageError(L"usage: kxctl set NAME VALUE");
    const Setting* s = Find(args[0]);
    if (s == nullptr) return UnknownSetting(args[0]);
    if (s->set == nullptr)
        return UsageError(std::wstring(s->name) + L" is only read by the library; nothing written");
    const int code = s->set(args[1]);
    if (code == kExitOk) Print(Line(*s));
    return code;
}

int RunDelete(const Args& args) {
    if (args.size() != 1) return UsageError(L"usage: kxctl delete NAME");
    const Setting* s = Find(args[0]);
    if (s == nullptr) return UnknownSetting(args[0]);
    if (s->erase == nullptr)
        return UsageError(std::wstring(s->name) + L" cannot be deleted through the library");
    const KXSTATUS status = s->erase();
    if (status != KX_OK) return CallFailed(L"deleting " + std::wstring(s->name), status);
    Print(std::wstring(L"deleted: ") + s->name);
    return kExitOk;
}

int RunInit(const Args& args) {
    if (!args.empty()) return UsageError(L"usage: kxctl init");
    KxConfig::InitOtherReg();
    Print(L"first-run values written");
    return kExitOk;
}

int RunVersion(const Args& args) {
    if (args.size() > 1 || (args.size() == 1 && args[0] != L"bump"))
        return UsageError(L"usage: kxctl version [bump]");
    if (args.size() == 1) {
        const KXSTATUS status = KxConfig::IncrementVer();
        if (status != KX_OK) return CallFailed(L"incrementing the version", status);
    }
    wchar_t text[kTextChars] = {};
    const KXSTATUS status = KxConfig::GetFullVersion(text, kTextChars);
    if (status != KX_OK) return CallFailed(L"reading FullVersionNum", status);
    unsigned long high = 0, low = 0;
    KxConfig::GetFullVersion(high, low);
    ULARGE_INTEGER product{};
    KxConfig::GetProductVersion(product);
    wchar_t number[24];
    std::swprintf(number, 24, L"0x%016llX", static_cast<unsigned long long>(product.QuadPart));
    Print(std::wstring(text) + L"  (high " + Hex(high, 8) + L", low " + Hex(low, 8) +
          L", product version " + number + L")");
    return kExitOk;
}

}  // namespace kxctl
