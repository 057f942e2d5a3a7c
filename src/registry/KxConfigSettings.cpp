// The plain settings of KxConfig: each member names its catalogue entry and one typed accessor.
#include "kxcommon/KxConfig.h"

#include "kxcommon/Options.h"

#include "../internal/Boundary.h"
#include "../internal/MemoryProbe.h"
#include "Settings.h"

#include <vector>

using namespace kx::settings;

namespace {

constexpr unsigned long kDefaultRealTimeScanOption = 1;
constexpr unsigned long kDefaultMessageMaxNumber = 10;
constexpr unsigned long kDefaultMgiUploadIdleMs = 600000;  // ten minutes
constexpr unsigned long kDefaultUpdateReceivePrompt = 1;
constexpr unsigned long kMiscOptBits = 32;
constexpr int kRunOnceBit = 0;
constexpr KXSTATUS kNarrowHostNameRefused = -1;

unsigned long TextLength(int length) { return length > 0 ? static_cast<unsigned long>(length) : 0; }

}  // namespace

unsigned long KxConfig::GetProductLanguage(unsigned long& language) {
    Read(kProductLanguage, language);
    return language;
}

KXSTATUS KxConfig::GetSpamFolder(wchar_t* folder, int length) {
    Read(kSpamFolder, folder, TextLength(length));
    return KX_OK;
}
KXSTATUS KxConfig::SetSpamFolder(const wchar_t* folder) {
    Write(kSpamFolder, folder);
    return KX_OK;
}

KXSTATUS KxConfig::GetEnableAcceptList(int& enabled) { return ReadYesNo(kIsAccept, enabled); }
KXSTATUS KxConfig::SetEnableAcceptList(int enabled) { return WriteYesNo(kIsAccept, enabled); }
KXSTATUS KxConfig::GetBeRealTimeScan(int& enabled) { return ReadYesNo(kRealTimeScan, enabled); }
KXSTATUS KxConfig::SetBeRealTimeScan(int enabled) { return WriteYesNo(kRealTimeScan, enabled); }
KXSTATUS KxConfig::GetBeInsCardScan(int& enabled) { return ReadYesNo(kInstantCardScan, enabled); }
KXSTATUS KxConfig::SetBeInsCardScan(int enabled) { return WriteYesNo(kInstantCardScan, enabled); }

KXSTATUS KxConfig::GetBeSafeMode(int& mode) {
    unsigned long stored = static_cast<unsigned long>(mode);
    const KXSTATUS status = Read(kSafeMode, stored);
    if (status == KX_OK) mode = static_cast<int>(stored);
    return status;
}
KXSTATUS KxConfig::SetBeSafeMode(int mode) {
    return Write(kSafeMode, static_cast<unsigned long>(mode));
}

KXSTATUS KxConfig::GetOfficalServer(wchar_t* server, int length, int which) {
    return Read(which == 0 ? kPrimaryUpdateServer : kBackupUpdateServer, server,
                TextLength(length));
}
KXSTATUS KxConfig::SetOfficalServer(const wchar_t* server, int which) {
    return Write(which == 0 ? kPrimaryUpdateServer : kBackupUpdateServer, server);
}

KXSTATUS KxConfig::GetScanFileType(unsigned long& types) { return Read(kFileScanType, types); }
KXSTATUS KxConfig::SetScanFileType(unsigned long types) { return Write(kFileScanType, types); }
KXSTATUS KxConfig::GetUncompressSize(unsigned long& bytes) { return Read(kDecompressLimit, bytes); }
KXSTATUS KxConfig::SetUncompressSize(unsigned long bytes) { return Write(kDecompressLimit, bytes); }
KXSTATUS KxConfig::GetScanLayer(unsigned long& layers) { return Read(kScanLayer, layers); }
KXSTATUS KxConfig::SetScanLayer(unsigned long layers) {
    return Write(kScanLayer, AVOpt::CheckScanLevel(layers));
}

KXSTATUS KxConfig::GetTaskLogFileName(wchar_t* name, unsigned long length) {
    return Read(kTaskLog, name, length);
}
KXSTATUS KxConfig::SetTaskLogFileName(const wchar_t* name) { return Write(kTaskLog, name); }
KXSTATUS KxConfig::GetVirusLogFileName(wchar_t* name, unsigned long length) {
    return Read(kVirusLog, name, length);
}
KXSTATUS KxConfig::SetVirusLogFileName(const wchar_t* name) { return Write(kVirusLog, name); }
KXSTATUS KxConfig::GetSMSLogFileName(wchar_t* name, unsigned long length) {
    return Read(kSmsLog, name, length);
}
KXSTATUS KxConfig::SetSMSLogFileName(const wchar_t* name) { return Write(kSmsLog, name); }
KXSTATUS KxConfig::GetMsgLogFileName(wchar_t* name, unsigned long length) {
    return Read(kWapLog, name, length);
}
KXSTATUS KxConfig::SetMsgLogFileName(const wchar_t* name) { return Write(kWapLog, name); }
KXSTATUS KxConfig::GetLogFileSize(unsigned long& bytes) { return Read(kLogFileSize, bytes); }
KXSTATUS KxConfig::SetLogFileSize(unsigned long bytes) { return Write(kLogFileSize, bytes); }
KXSTATUS KxConfig::GetDebugLogFileSize(unsigned long& bytes) {
    return Read(kDebugLogFileSize, bytes);
}
KXSTATUS KxConfig::SetDebugLogFileSize(unsigned long bytes) {
    return Write(kDebugLogFileSize, bytes);
}

KXSTATUS KxConfig::GetSpamPreventionLevel(unsigned long& level) { return Read(kSpamOption, level); }
KXSTATUS KxConfig::SetSpamPreventionLevel(unsigned long level) { return Write(kSpamOption, level); }
KXSTATUS KxConfig::GetBeBlockSMSWithoutCallerId(unsigned long& option) {
    return Read(kBlockSmsWithoutId, option);
}
KXSTATUS KxConfig::SetBeBlockSMSWithoutCallerId(unsigned long option) {
    return Write(kBlockSmsWithoutId, option);
}
KXSTATUS KxConfig::GetImportOption(unsigned long& option) { return Read(kImportOption, option); }
KXSTATUS KxConfig::SetImportOption(unsigned long option) { return Write(kImportOption, option); }
KXSTATUS KxConfig::GetWapPushLevel(unsigned long& level) { return Read(kWapPushLevel, level); }
KXSTATUS KxConfig::SetWapPushLevel(unsigned long level) { return Write(kWapPushLevel, level); }
KXSTATUS KxConfig::GetRomFileSleepTime(unsigned long& sleep) { return Read(kRomFileSleep, sleep); }
KXSTATUS KxConfig::SetRomFileSleepTime(unsigned long sleep) { return Write(kRomFileSleep, sleep); }

KXSTATUS KxConfig::SetLastPattern(wchar_t* fileName) { return Write(kLastPattern, fileName); }
KXSTATUS KxConfig::GetDebugLogFlag(unsigned long& flag) { return Read(kDebugLog, flag); }
KXSTATUS KxConfig::SetDebugLogFlag(unsigned long flag) { return Write(kDebugLog, flag); }
KXSTATUS KxConfig::GetDebugLogOption(unsigned long& option) {
    return Read(kDebugLogOption, option);
}
KXSTATUS KxConfig::GetPxyPwd(wchar_t* password, unsigned long length) {
    return Read(kProxyPassword, password, length);
}
KXSTATUS KxConfig::SetPxyPwd(wchar_t* password) { return Write(kProxyPassword, password); }
KXSTATUS KxConfig::GetSpaceFactor(unsigned long& factor) { return Read(kUpdateTempFactor, factor); }
KXSTATUS KxConfig::SetSpaceFactor(unsigned long factor) { return Write(kUpdateTempFactor, factor); }
KXSTATUS KxConfig::GetSuperLab(unsigned long& value) { return Read(kSuperLab, value); }
KXSTATUS KxConfig::GetOldProductVersion(wchar_t* version, unsigned long length) {
    return Read(kPreviousVersion, version, length);
}
KXSTATUS KxConfig::SetDeviceType(unsigned long type) { return Write(kDeviceType, type); }

KXSTATUS KxConfig::GetStartupTemp(wchar_t* path, int length) {
    return Read(kStartupTemp, path, TextLength(length));
}
KXSTATUS KxConfig::SetStartupTemp(const wchar_t* path) { return Write(kStartupTemp, path); }
KXSTATUS KxConfig::DelStartupTemp() { return Delete(kStartupTemp); }
KXSTATUS KxConfig::GetInsertCardTitle(wchar_t* title, int length) {
    return Read(kKillWindowTitle, title, TextLength(length));
}
KXSTATUS KxConfig::SetInsertCardTitle(const wchar_t* title) {
    return Write(kKillWindowTitle, title);
}
KXSTATUS KxConfig::DelInsertCardTitle() { return Delete(kKillWindowTitle); }
KXSTATUS KxConfig::GetStartupFlag(unsigned long& flag) { return Read(kSystemStartupFlag, flag); }
KXSTATUS KxConfig::SetStartupFlag(unsigned long flag) { return Write(kSystemStartupFlag, flag); }
KXSTATUS KxConfig::DelStartupFlag() { return Delete(kSystemStartupFlag); }

unsigned long KxConfig::GetRTScanOption() {
    unsigned long option = kDefaultRealTimeScanOption;
    if (Read(kRealTimeScanOption, option) != KX_OK) {
        option = kDefaultRealTimeScanOption;
        Write(kRealTimeScanOption, option);
    }
    return option;
}
KXSTATUS KxConfig::SetRTScanOption(unsigned long option) {
    return Write(kRealTimeScanOption, option);
}

KXSTATUS KxConfig::GetAutomaticUpdate(unsigned long& option) {
    return Read(kScheduleUpdateOption, option);
}
KXSTATUS KxConfig::SetAutomaticUpdate(unsigned long option) {
    return Write(kScheduleUpdateOption, option);
}
KXSTATUS KxConfig::GetAutomaticUpdateFrequency(unsigned long& days) {
    return Read(kScheduleUpdateFrequency, days);
}
KXSTATUS KxConfig::SetAutomaticUpdateFrequency(unsigned long days) {
    // Through the choice list: a frequency the list does not offer becomes its first entry.
    const unsigned long index = SUOpt::ConvertBetweenIndexAndFrequency(days, false);
    return Write(kScheduleUpdateFrequency, SUOpt::ConvertBetweenIndexAndFrequency(index, true));
}

KXSTATUS KxConfig::GetMiscOpt(unsigned long& flags) { return Read(kMiscOpt, flags); }
KXSTATUS KxConfig::SetMiscOpt(unsigned long flags) { return Write(kMiscOpt, flags); }

KXSTATUS KxConfig::GetAFlagInMiscOpt(unsigned long& flag, int bit) {
    unsigned long flags = 0;
    const KXSTATUS status = GetMiscOpt(flags);
    if (status != KX_OK) return status;
    const bool inRange = bit >= 0 && static_cast<unsigned long>(bit) < kMiscOptBits;
    flag = inRange ? (flags >> bit) & 1ul : 0;
    return KX_OK;
}

KXSTATUS KxConfig::SetAFlagInMiscOpt(unsigned long value, int bit) {
    unsigned long flags = 0;
    const KXSTATUS status = GetMiscOpt(flags);
    if (status != KX_OK) return status;
    if (bit >= 0 && static_cast<unsigned long>(bit) < kMiscOptBits) {
        const unsigned long mask = 1ul << bit;
        flags = value != 0 ? flags | mask : flags & ~mask;
    }
    return SetMiscOpt(flags);
}

KXSTATUS KxConfig::GetRunOnce(unsigned long& flag) { return GetAFlagInMiscOpt(flag, kRunOnceBit); }
KXSTATUS KxConfig::SetRunOnce(unsigned long flag) { return SetAFlagInMiscOpt(flag, kRunOnceBit); }

KXSTATUS KxConfig::GetPromptWhenConnectByWireless(unsigned long& option) {
    return Read(kPromptWireless, option);
}
KXSTATUS KxConfig::SetPromptWhenConnectByWireless(unsigned long option) {
    return Write(kPromptWireless, option);
}

KXSTATUS KxConfig::SetMgiValid(unsigned long valid) { return Write(kMgiValid, valid); }

KXSTATUS KxConfig::GetMgiUploadIdleTime(unsigned long& milliseconds) {
    milliseconds = kDefaultMgiUploadIdleMs;
    return Read(kMgiUploadIdleTime, milliseconds);
}
KXSTATUS KxConfig::SetMgiUploadIdleTime(unsigned long milliseconds) {
    return Write(kMgiUploadIdleTime, milliseconds);
}
KXSTATUS KxConfig::GetUpdateRecievePrompt(unsigned long& prompt) {
    prompt = kDefaultUpdateReceivePrompt;
    return Read(kUpdateReceivePrompt, prompt);
}
KXSTATUS KxConfig::SetUpdateRecievePrompt(unsigned long prompt) {
    return Write(kUpdateReceivePrompt, prompt);
}

KXSTATUS KxConfig::GetMamoHostName(wchar_t* host, int length) {
    return Read(kHostName, host, TextLength(length));
}

KXSTATUS KxConfig::GetMamoHostName(char* host, int length) {
    if (length <= 0 || !kx::IsWritableRange(host, static_cast<size_t>(length)))
        return kNarrowHostNameRefused;
    // The scratch copies are as large as the caller's buffer, which was just found writable;
    // without memory for them the read cannot be done, and the buffer is left alone.
    return kx::Boundary(KX_E_REGISTRY, [&]() -> KXSTATUS {
        std::vector<wchar_t> wide(static_cast<size_t>(length), L'\0');
        std::vector<char> narrow(static_cast<size_t>(length), '\0');
        ZeroMemory(host, static_cast<size_t>(length));
        const KXSTATUS status = GetMamoHostName(wide.data(), length);
        // Converted into a scratch copy: a name that needs more bytes than the buffer holds
        // leaves the zero-filled buffer rather than an unterminated part of it.
        if (status == KX_OK && ::WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, wide.data(), -1,
                                                     narrow.data(), length, nullptr, nullptr) > 0)
            CopyMemory(host, narrow.data(), static_cast<size_t>(length));
        return status;
    });
}

KXSTATUS KxConfig::SetMamoHostName(const wchar_t* host) { return Write(kHostName, host); }

unsigned short KxConfig::GetMamoHostPort() {
    return static_cast<unsigned short>(NumberOr(kHostPort, 0) & 0xFFFF);
}
KXSTATUS KxConfig::SetMamoHostPort(unsigned short port) { return Write(kHostPort, port); }

int KxConfig::GetMamoSendVirusLog() { return IsExactlyOne(kVirusLogUpload, 1); }
KXSTATUS KxConfig::SetMamoSendVirusLog(int send) { return WriteYesNo(kVirusLogUpload, send); }
int KxConfig::GetMamoPromptSendLog() { return IsExactlyOne(kPromptSendLog, 1); }
KXSTATUS KxConfig::SetMamoPromptSendLog(unsigned long prompt) {
    return Write(kPromptSendLog, prompt);
}
int KxConfig::GetMamoSendUpdateLog() { return IsExactlyOne(kUpdateLogUpload, 1); }
KXSTATUS KxConfig::SetMamoSendUpdateLog(int send) { return WriteYesNo(kUpdateLogUpload, send); }
int KxConfig::GetMamoLockAll() { return IsExactlyOne(kLockAllOption, 0); }
KXSTATUS KxConfig::SetMamoLockAll(int lock) { return WriteYesNo(kLockAllOption, lock); }

KXSTATUS KxConfig::GetMessageMaxNumber(unsigned long& count) {
    count = 0;
    if (Read(kMaxMessageNumber, count) != KX_OK) {
        count = kDefaultMessageMaxNumber;
        SetMessageMaxNumber(kDefaultMessageMaxNumber);
    }
    return KX_OK;
}
KXSTATUS KxConfig::SetMessageMaxNumber(unsigned long count) {
    return Write(kMaxMessageNumber, count);
}
KXSTATUS KxConfig::GetIncludeMGI(unsigned long& include) { return Read(kIncludeMgi, include); }

KXSTATUS KxConfig::ShowFExplore() {
    constexpr wchar_t kExplorerClass[] = L"FEXPLORE";
    if (HWND explorer = ::FindWindowW(kExplorerClass, nullptr)) ::SetForegroundWindow(explorer);
    return KX_OK;
}
