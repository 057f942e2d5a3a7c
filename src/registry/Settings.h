// The settings catalogue: every value of the product's tree that KxConfig reads or writes, named
// once with its key, and the few typed accessors every KxConfig member goes through.
#pragma once

#include "kxcommon/KxStatus.h"

#include "../internal/kxplatform.h"

namespace kx {
namespace settings {

// Keys under HKEY_LOCAL_MACHINE.
inline constexpr wchar_t kProductKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0";
inline constexpr wchar_t kWapPushKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\WapPush";
inline constexpr wchar_t kServerAgentKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent";
inline constexpr wchar_t kPreviousVersionKey[] = L"Software\\Quorlend\\Scutara";  // read only

struct Value {
    const wchar_t* key;
    const wchar_t* name;
};

// Product key.
inline constexpr Value kProductLanguage{kProductKey, L"ProductLanguage"};
inline constexpr Value kSpamFolder{kProductKey, L"SMSSpamFolderName"};
inline constexpr Value kIsAccept{kProductKey, L"IsAccept"};
inline constexpr Value kRealTimeScan{kProductKey, L"RealTimeScan"};
inline constexpr Value kSafeMode{kProductKey, L"SafeMode"};
inline constexpr Value kInstantCardScan{kProductKey, L"InstantCardScanOption"};
inline constexpr Value kPrimaryUpdateServer{kProductKey, L"PrimaryUpdateServer"};
inline constexpr Value kBackupUpdateServer{kProductKey, L"BackupUpdateServer"};
inline constexpr Value kFileScanType{kProductKey, L"FileScanType"};
inline constexpr Value kDecompressLimit{kProductKey, L"FileDecompressLimitSize"};
inline constexpr Value kScanLayer{kProductKey, L"CompressedFileScanLayer"};
inline constexpr Value kTaskLog{kProductKey, L"TaskLogFilename"};
inline constexpr Value kVirusLog{kProductKey, L"VirusLogFilename"};
inline constexpr Value kSmsLog{kProductKey, L"SMSLogFilename"};
inline constexpr Value kWapLog{kProductKey, L"WAPLogFilename"};
inline constexpr Value kLogFileSize{kProductKey, L"LogFileSize"};
inline constexpr Value kDebugLogFileSize{kProductKey, L"DebugLogFileSize"};
inline constexpr Value kSpamOption{kProductKey, L"SMSSpamOption"};
inline constexpr Value kBlockSmsWithoutId{kProductKey, L"BlockSMSwoIDOption"};
inline constexpr Value kImportOption{kProductKey, L"ImportFromContactOption"};
inline constexpr Value kRomFileSleep{kProductKey, L"ROMFileSleep"};
inline constexpr Value kLastPattern{kProductKey, L"LastPatternFilename"};
inline constexpr Value kDebugLog{kProductKey, L"DebugLog"};
inline constexpr Value kDebugLogOption{kProductKey, L"DebugLogOption"};
inline constexpr Value kProxyPassword{kProductKey, L"ProxyPassword"};
inline constexpr Value kUpdateTempFactor{kProductKey, L"UpdateTempFactor"};
inline constexpr Value kSuperLab{kProductKey, L"SuperLab"};
inline constexpr Value kDeviceType{kProductKey, L"DeviceType"};
inline constexpr Value kRepMd5{kProductKey, L"RepMD5"};
inline constexpr Value kEngineVersion{kProductKey, L"ZRAPIEngineVer"};
inline constexpr Value kPatternVersion{kProductKey, L"ZRAPIPatternVer"};
inline constexpr Value kStartupTemp{kProductKey, L"StartupTemp"};
inline constexpr Value kKillWindowTitle{kProductKey, L"KillWindowTitle"};
inline constexpr Value kSystemStartupFlag{kProductKey, L"SystemStartupFlag"};
inline constexpr Value kRealTimeScanOption{kProductKey, L"RealTimeScanOption"};
inline constexpr Value kScheduleUpdateOption{kProductKey, L"ScheduleUpdateOption"};
inline constexpr Value kScheduleUpdateFrequency{kProductKey, L"ScheduleUpdateFrequency"};
inline constexpr Value kMiscOpt{kProductKey, L"MiscOpt"};
inline constexpr Value kPromptWireless{kProductKey, L"PromptWhenConnectByWireless"};
inline constexpr Value kLockAllOption{kProductKey, L"LockAllOption"};
inline constexpr Value kMaxMessageNumber{kProductKey, L"MaxMessageNumber"};
inline constexpr Value kIncludeMgi{kProductKey, L"IncludeMGI"};
inline constexpr Value kConfigUrl{kProductKey, L"ConfigURL"};

// Directories, versions and times (product key).
inline constexpr Value kAppPath{kProductKey, L"AppPath"};
inline constexpr Value kWinPath{kProductKey, L"WinPath"};
inline constexpr Value kStartupPath{kProductKey, L"StartupPath"};
inline constexpr Value kFullVersion{kProductKey, L"FullVersionNum"};
inline constexpr Value kLastScanTime{kProductKey, L"LastScanTime"};
inline constexpr Value kLastUpdateTime{kProductKey, L"LastUpdateTime"};
inline constexpr Value kScheduleUpdateTime{kProductKey, L"ScheduleUpdateTime"};
inline constexpr Value kStartupTime{kProductKey, L"StartupTime"};

// WAP-push key.
inline constexpr Value kWapPushLevel{kWapPushKey, L"WAPPushProtectOption"};

// Management-server key.
inline constexpr Value kMgiValid{kServerAgentKey, L"IsMgiValid"};
inline constexpr Value kMgiUploadIdleTime{kServerAgentKey, L"MgiUploadIdleTime"};
inline constexpr Value kUpdateReceivePrompt{kServerAgentKey, L"UpdateReceivePrompt"};
inline constexpr Value kHostName{kServerAgentKey, L"HostName"};
inline constexpr Value kHostPort{kServerAgentKey, L"HostPort"};
inline constexpr Value kVirusLogUpload{kServerAgentKey, L"VirusLogUpload"};
inline constexpr Value kPromptSendLog{kServerAgentKey, L"PromptSendLog"};
inline constexpr Value kUpdateLogUpload{kServerAgentKey, L"UpdateLogUpload"};

// Previous version's key.
inline constexpr Value kPreviousVersion{kPreviousVersionKey, L"Version"};

// ---- The platform's keys the library reads (never writes) ---------------------------------

// The SMS protocol providers: Windows Mobile 5 and later keep them under HKEY_LOCAL_MACHINE,
// earlier releases under HKEY_CURRENT_USER. Each protocol's key holds the provider's "DLL".
inline constexpr wchar_t kSmsProtocolsKeyWm5[] = L"Comm\\Cellular\\SMS\\Protocols";
inline constexpr wchar_t kSmsProtocolsKeyEarlier[] = L"Software\\Microsoft\\SMS\\Protocols";
inline constexpr wchar_t kSmsProviderDllValue[] = L"DLL";

// The connection manager's HTTP proxy provider, one subkey per configured proxy; the release
// selects the location as for the SMS providers. "Enable" directly in the earlier location's
// key tells whether proxies are used at all.
inline constexpr wchar_t kProxyProvidersKeyWm5[] =
    L"Comm\\ConnMgr\\Providers\\{EF097F4C-DC4B-4c98-8FF6-AEF805DC0E8E}";
inline constexpr wchar_t kProxyProvidersKeyEarlier[] =
    L"SOFTWARE\\Microsoft\\ConnMgr\\Providers\\{EF097F4C-DC4B-4c98-8FF6-AEF805DC0E8E}";
inline constexpr wchar_t kProxyEnableValue[] = L"Enable";
inline constexpr wchar_t kProxyTypeValue[] = L"Type";
inline constexpr wchar_t kProxyAddressValue[] = L"Proxy";
inline constexpr wchar_t kProxyUserNameValue[] = L"UserName";
inline constexpr wchar_t kProxyPasswordValue[] = L"Password";

// Typed access, all under HKEY_LOCAL_MACHINE; statuses as KxRegUtil gives them.
KXSTATUS Read(const Value& v, unsigned long& number);
KXSTATUS Read(const Value& v, wchar_t* text, unsigned long length);
KXSTATUS ReadBytes(const Value& v, unsigned char* bytes, unsigned long size);
KXSTATUS Write(const Value& v, unsigned long number);
KXSTATUS Write(const Value& v, const wchar_t* text);
KXSTATUS WriteBytes(const Value& v, const unsigned char* bytes, unsigned long size);
KXSTATUS Delete(const Value& v);

// Yes/no settings: any nonzero number reads and writes as 1. The output is always written:
// 0 when the value is missing.
KXSTATUS ReadYesNo(const Value& v, int& flag);
KXSTATUS WriteYesNo(const Value& v, int flag);

// Value-returning getters: the stored number, or `fallback` when it is missing.
unsigned long NumberOr(const Value& v, unsigned long fallback);
// 1 when the stored number is exactly 1, `fallback` when it is missing, else 0.
int IsExactlyOne(const Value& v, int fallback);

// Time records (16-byte SYSTEMTIME): 0 or KX_E_REGISTRY.
KXSTATUS WriteTime(const Value& v, const SYSTEMTIME& time);
KXSTATUS ReadTime(const Value& v, SYSTEMTIME& time);

// The path of `file` in the application directory, for the product's files kept there. False,
// with `path` empty, when the directory is not known (missing or empty "AppPath") or the path
// would not fit the platform's limit: such a file is never looked for anywhere else.
bool AppDirFile(const wchar_t* file, wchar_t (&path)[MAX_PATH]);

}  // namespace settings
}  // namespace kx
