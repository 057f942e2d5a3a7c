// KxConfig::InitOtherReg: the first-run values of the settings.
#include "kxcommon/KxConfig.h"

namespace {

constexpr wchar_t kDefaultUpdateServer[] = L"\\Renovix";
constexpr wchar_t kDefaultSpamFolder[] = L"Spam";
constexpr unsigned long kAllFileTypes = 0x7FFFFFFF;
constexpr unsigned long kDefaultDecompressLimit = 0x100000;  // 1 MiB
constexpr wchar_t kDefaultTaskLog[] = L"task11.log";
constexpr wchar_t kDefaultVirusLog[] = L"virus11.log";
constexpr wchar_t kDefaultSmsLog[] = L"spam11.log";
constexpr unsigned long kDefaultLogFileSize = 32768;
constexpr unsigned long kDefaultSpamPrevention = 2;
constexpr unsigned long kDefaultImportOption = 0x10004;
constexpr unsigned long kDefaultUpdateTempFactor = 9;

}  // namespace

KXSTATUS KxConfig::InitOtherReg() {
    // Each write stands alone: one refused value does not keep the others from being written.
    SetOfficalServer(kDefaultUpdateServer, 0);
    SetBeRealTimeScan(1);
    SetBeInsCardScan(1);
    SetSpamFolder(kDefaultSpamFolder);
    SetScanFileType(kAllFileTypes);
    SetUncompressSize(kDefaultDecompressLimit);
    SetScanLayer(1);
    SetTaskLogFileName(kDefaultTaskLog);
    SetVirusLogFileName(kDefaultVirusLog);
    SetSMSLogFileName(kDefaultSmsLog);
    SetLogFileSize(kDefaultLogFileSize);
    SetSpamPreventionLevel(kDefaultSpamPrevention);
    SetBeBlockSMSWithoutCallerId(1);
    SetImportOption(kDefaultImportOption);
    SetRomFileSleepTime(1);
    // One reading of the clock for both stamps, so they start out equal.
    SYSTEMTIME now;
    ::GetSystemTime(&now);
    SetLastMSTime(now);
    SetLastUpdateTime(now);
    wchar_t empty[] = L"";
    SetLastPattern(empty);
    SetPxyPwd(empty);
    SetSpaceFactor(kDefaultUpdateTempFactor);
    return KX_OK;
}
