// KxConfig's settings catalogue: every accessor reaches its own value under its own key, with the
// defaults, clamps and yes/no rules the product relies on, and the values of the first run.
#include "RegistryRows.h"

#include <kxcommon/KxConfig.h>

#include <algorithm>

namespace kxtest {
namespace {

using C = KxConfig;
constexpr wchar_t P[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0";
constexpr wchar_t W[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\WapPush";
constexpr wchar_t A[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent";
constexpr unsigned long kFillNumber = 0xBDBDBDBD;
wchar_t kText[] = L"mgmt.example";  // what text setters write: fits 16 characters, not 8

class SettingsTest : public DeviceTest {};

std::string Hex(unsigned long v) {
    char text[12];
    std::snprintf(text, sizeof text, "%lx", v);
    return v == kFillNumber ? "~" : text;
}
// A text up to its terminator, "~" when the buffer was left as it was.
std::string Text(const wchar_t* t, size_t n) {
    const std::string image = Image(t, n);
    return image[0] == '~' ? "~" : image.substr(0, image.find('|'));
}

// What a getter answers, starting from outputs filled with 0xBD: "status output"; texts are read
// into 32 characters and into 8.
template <KXSTATUS (*F)(unsigned long&)>
std::string G() {
    unsigned long v = kFillNumber;
    const KXSTATUS s = F(v);
    return Hex(s) + " " + Hex(v);
}
template <unsigned long (*F)(unsigned long&)>
std::string G() {
    unsigned long v = kFillNumber;
    const unsigned long answer = F(v);
    return Hex(answer) + " " + Hex(v);
}
template <KXSTATUS (*F)(int&)>
std::string G() {
    int v = int(kFillNumber);
    const KXSTATUS s = F(v);
    return Hex(s) + " " + Hex(unsigned(v));
}
template <int (*F)()>
std::string G() {
    return Hex(F());
}
template <unsigned long (*F)()>
std::string G() {
    return Hex(F());
}
template <unsigned short (*F)()>
std::string G() {
    return Hex(F());
}
template <typename N, KXSTATUS (*F)(wchar_t*, N)>
std::string Texts() {
    wchar_t t[32], small[8];
    std::memset(t, 0xBD, sizeof t), std::memset(small, 0xBD, sizeof small);
    const KXSTATUS s = F(t, 32), s8 = F(small, 8);
    return Hex(s) + " " + Text(t, 32) + " " + Hex(s8) + " " + Text(small, 8);
}
template <KXSTATUS (*F)(wchar_t*, unsigned long)>
std::string G() {
    return Texts<unsigned long, F>();
}
template <KXSTATUS (*F)(wchar_t*, int)>
std::string G() {
    return Texts<int, F>();
}
// The narrow host name: null and empty buffers, 16 bytes and 8, always zero-filled first.
template <KXSTATUS (*F)(char*, int)>
std::string G() {
    char host[16], tight[8];
    const std::string refused = Hex(F(nullptr, 16)) + " " + Hex(F(host, 0));
    const KXSTATUS s = F(host, 16), s8 = F(tight, 8);
    return refused + " " + Hex(s) + " " + Image(host, 16) + " " + Hex(s8) + " " + Image(tight, 8);
}
// The digest: 16 bytes of a 17-byte buffer.
template <KXSTATUS (*F)(char*)>
std::string G() {
    char digest[17];
    std::memset(digest, 0xBD, sizeof digest);
    const KXSTATUS s = F(digest);
    return Hex(s) + " " + Image(digest, 17);
}
KXSTATUS WideHost(wchar_t* text, int n) { return C::GetMamoHostName(text, n); }
KXSTATUS NarrowHost(char* text, int n) { return C::GetMamoHostName(text, n); }
KXSTATUS Primary(wchar_t* text, int n) { return C::GetOfficalServer(text, n, 0); }
KXSTATUS Backup(wchar_t* text, int n) { return C::GetOfficalServer(text, n, 2); }

// A setter given the row's number; text setters write kText, or null for 0.
template <typename T, KXSTATUS (*F)(T)>
KXSTATUS Set(unsigned long v) {
    return F(T(v));
}
template <KXSTATUS (*F)(unsigned long)>
KXSTATUS S(unsigned long v) {
    return Set<unsigned long, F>(v);
}
template <KXSTATUS (*F)(int)>
KXSTATUS S(unsigned long v) {
    return Set<int, F>(v);
}
template <KXSTATUS (*F)(unsigned short)>
KXSTATUS S(unsigned long v) {
    return Set<unsigned short, F>(v);
}
template <KXSTATUS (*F)(const wchar_t*)>
KXSTATUS S(unsigned long v) {
    return F(v ? kText : nullptr);
}
template <KXSTATUS (*F)(wchar_t*)>
KXSTATUS S(unsigned long v) {
    return F(v ? kText : nullptr);
}
KXSTATUS SetPrimary(unsigned long) { return C::SetOfficalServer(kText, 0); }
KXSTATUS SetBackup(unsigned long) { return C::SetOfficalServer(kText, 1); }
KXSTATUS StoreOldVersion(unsigned long) {
    return RawSetValue(L"Software\\Quorlend\\Scutara", L"Version", REG_SZ, kText, 26), KX_OK;
}
KXSTATUS StoreDigest(unsigned long) {
    return RawSetValue(P, L"RepMD5", REG_BINARY, "0123456789abcdef", 16), KX_OK;
}

const char* X = "30000 ~|-";                                   // missing: refused, output untouched
const char* B = "0|0 8000000b|dw:8000000b";                    // 0x8000000B stored and read back
const char* T0 = "30000 ~ 30000 ~|-";                          // a missing text
const char* T1 = "0|0 mgmt.example 30000 ~|sz:mgmt.example|";  // kText stored and read back
constexpr unsigned long kB = 0x8000000B;

// Each row: what a clean device answers ("getter|stored value"); then the row's number given to
// the setter (or, without one, stored as a number) and "setter status|getter|stored value".
TEST_F(SettingsTest, EverySettingUnderItsOwnNameWithItsDefaultsAndRules) {
    const struct Row {
        const wchar_t *key, *name;
        std::string (*get)();
        KXSTATUS (*set)(unsigned long);
        unsigned long given;
        const char *missing, *after;
        long before = -1;  // a number stored first
    } rows[] = {
        {P, L"FileScanType", G<C::GetScanFileType>, S<C::SetScanFileType>, kB, X, B},
        {P, L"FileDecompressLimitSize", G<C::GetUncompressSize>, S<C::SetUncompressSize>, kB, X, B},
        {P, L"LogFileSize", G<C::GetLogFileSize>, S<C::SetLogFileSize>, kB, X, B},
        {P, L"DebugLogFileSize", G<C::GetDebugLogFileSize>, S<C::SetDebugLogFileSize>, kB, X, B},
        {P, L"SMSSpamOption", G<C::GetSpamPreventionLevel>, S<C::SetSpamPreventionLevel>, kB, X, B},
        {P, L"BlockSMSwoIDOption", G<C::GetBeBlockSMSWithoutCallerId>,
         S<C::SetBeBlockSMSWithoutCallerId>, kB, X, B},
        {P, L"ImportFromContactOption", G<C::GetImportOption>, S<C::SetImportOption>, kB, X, B},
        {W, L"WAPPushProtectOption", G<C::GetWapPushLevel>, S<C::SetWapPushLevel>, kB, X, B},
        {P, L"ROMFileSleep", G<C::GetRomFileSleepTime>, S<C::SetRomFileSleepTime>, kB, X, B},
        {P, L"DebugLog", G<C::GetDebugLogFlag>, S<C::SetDebugLogFlag>, kB, X, B},
        {P, L"UpdateTempFactor", G<C::GetSpaceFactor>, S<C::SetSpaceFactor>, kB, X, B},
        {P, L"SystemStartupFlag", G<C::GetStartupFlag>, S<C::SetStartupFlag>, kB, X, B},
        {P, L"ScheduleUpdateOption", G<C::GetAutomaticUpdate>, S<C::SetAutomaticUpdate>, kB, X, B},
        {P, L"MiscOpt", G<C::GetMiscOpt>, S<C::SetMiscOpt>, kB, X, B},
        {P, L"PromptWhenConnectByWireless", G<C::GetPromptWhenConnectByWireless>,
         S<C::SetPromptWhenConnectByWireless>, kB, X, B},
        {P, L"DeviceType", nullptr, S<C::SetDeviceType>, 2, "|-", "0||dw:2"},
        {A, L"IsMgiValid", nullptr, S<C::SetMgiValid>, 3, "|-", "0||dw:3"},
        // Defaults: written back by their getters, or answered without being written.
        {P, L"RealTimeScanOption", G<C::GetRTScanOption>, S<C::SetRTScanOption>, 2, "1|dw:1",
         "0|2|dw:2"},
        {P, L"MaxMessageNumber", G<C::GetMessageMaxNumber>, S<C::SetMessageMaxNumber>, kB,
         "0 a|dw:a", B},
        {A, L"MgiUploadIdleTime", G<C::GetMgiUploadIdleTime>, S<C::SetMgiUploadIdleTime>, kB,
         "30000 927c0|-", B},
        {A, L"UpdateReceivePrompt", G<C::GetUpdateRecievePrompt>, S<C::SetUpdateRecievePrompt>, kB,
         "30000 1|-", B},
        {A, L"HostPort", G<C::GetMamoHostPort>, S<C::SetMamoHostPort>, 8080, "0|-",
         "0|1f90|dw:1f90"},
        {A, L"HostPort", G<C::GetMamoHostPort>, nullptr, 0x12345, "0|-", "-|2345|dw:12345"},
        // Read only: what is stored comes back.
        {P, L"DebugLogOption", G<C::GetDebugLogOption>, nullptr, 42, X, "-|0 2a|dw:2a"},
        {P, L"SuperLab", G<C::GetSuperLab>, nullptr, 42, X, "-|0 2a|dw:2a"},
        {P, L"IncludeMGI", G<C::GetIncludeMGI>, nullptr, 42, X, "-|0 2a|dw:2a"},
        {P, L"ProductLanguage", G<C::GetProductLanguage>, nullptr, 1033, "~ ~|-",
         "-|409 409|dw:409"},
        {P, L"SafeMode", G<C::GetBeSafeMode>, S<C::SetBeSafeMode>, 5, X, "0|0 5|dw:5"},
        // Yes/no: a missing value reads as no; any other number reads and writes as 1.
        {P, L"IsAccept", G<C::GetEnableAcceptList>, S<C::SetEnableAcceptList>, 5, "30000 0|-",
         "0|0 1|dw:1"},
        {P, L"RealTimeScan", G<C::GetBeRealTimeScan>, S<C::SetBeRealTimeScan>, 0, "30000 0|-",
         "0|0 0|dw:0"},
        {P, L"RealTimeScan", G<C::GetBeRealTimeScan>, nullptr, 7, "30000 0|-", "-|0 1|dw:7"},
        {P, L"InstantCardScanOption", G<C::GetBeInsCardScan>, S<C::SetBeInsCardScan>, ~0ul,
         "30000 0|-", "0|0 1|dw:1"},
        // Exactly 1 means yes; a missing value answers the default.
        {A, L"VirusLogUpload", G<C::GetMamoSendVirusLog>, S<C::SetMamoSendVirusLog>, 9, "1|-",
         "0|1|dw:1"},
        {A, L"VirusLogUpload", G<C::GetMamoSendVirusLog>, nullptr, 2, "1|-", "-|0|dw:2"},
        {A, L"UpdateLogUpload", G<C::GetMamoSendUpdateLog>, S<C::SetMamoSendUpdateLog>, 0, "1|-",
         "0|0|dw:0"},
        {A, L"UpdateLogUpload", G<C::GetMamoSendUpdateLog>, nullptr, 2, "1|-", "-|0|dw:2"},
        {A, L"PromptSendLog", G<C::GetMamoPromptSendLog>, S<C::SetMamoPromptSendLog>, 2, "1|-",
         "0|0|dw:2"},
        {A, L"PromptSendLog", G<C::GetMamoPromptSendLog>, nullptr, 1, "1|-", "-|1|dw:1"},
        {P, L"LockAllOption", G<C::GetMamoLockAll>, S<C::SetMamoLockAll>, 4, "0|-", "0|1|dw:1"},
        {P, L"LockAllOption", G<C::GetMamoLockAll>, nullptr, 2, "0|-", "-|0|dw:2"},
        // Clamps: the scan layer to 1..3, the update frequency to the offered choices.
        {P, L"CompressedFileScanLayer", G<C::GetScanLayer>, S<C::SetScanLayer>, 0, X, "0|0 1|dw:1"},
        {P, L"CompressedFileScanLayer", G<C::GetScanLayer>, S<C::SetScanLayer>, 2, X, "0|0 2|dw:2"},
        {P, L"CompressedFileScanLayer", G<C::GetScanLayer>, S<C::SetScanLayer>, 3, X, "0|0 3|dw:3"},
        {P, L"CompressedFileScanLayer", G<C::GetScanLayer>, S<C::SetScanLayer>, 9, X, "0|0 3|dw:3"},
        {P, L"CompressedFileScanLayer", G<C::GetScanLayer>, S<C::SetScanLayer>, ~0ul, X,
         "0|0 3|dw:3"},
        {P, L"ScheduleUpdateFrequency", G<C::GetAutomaticUpdateFrequency>,
         S<C::SetAutomaticUpdateFrequency>, 7, X, "0|0 7|dw:7"},
        {P, L"ScheduleUpdateFrequency", G<C::GetAutomaticUpdateFrequency>,
         S<C::SetAutomaticUpdateFrequency>, 14, X, "0|0 e|dw:e"},
        {P, L"ScheduleUpdateFrequency", G<C::GetAutomaticUpdateFrequency>,
         S<C::SetAutomaticUpdateFrequency>, 30, X, "0|0 1e|dw:1e"},
        {P, L"ScheduleUpdateFrequency", G<C::GetAutomaticUpdateFrequency>,
         S<C::SetAutomaticUpdateFrequency>, 10, X, "0|0 1|dw:1"},
        {P, L"ScheduleUpdateFrequency", G<C::GetAutomaticUpdateFrequency>,
         S<C::SetAutomaticUpdateFrequency>, 0, X, "0|0 1|dw:1"},
        {P, L"ScheduleUpdateFrequency", G<C::GetAutomaticUpdateFrequency>,
         S<C::SetAutomaticUpdateFrequency>, 31, X, "0|0 1|dw:1"},
        // Run-once is bit 0 of MiscOpt, which it never creates.
        {P, L"MiscOpt", G<C::GetRunOnce>, S<C::SetRunOnce>, 1, X, "30000|30000 ~|-"},
        {P, L"MiscOpt", G<C::GetRunOnce>, S<C::SetRunOnce>, 1, "0 0|dw:6", "0|0 1|dw:7", 6},
        {P, L"MiscOpt", G<C::GetRunOnce>, S<C::SetRunOnce>, 0, "0 1|dw:7", "0|0 0|dw:6", 7},
        // Texts.
        {P, L"PrimaryUpdateServer", G<Primary>, SetPrimary, 1, T0, T1},
        {P, L"BackupUpdateServer", G<Backup>, SetBackup, 1, T0, T1},
        {P, L"TaskLogFilename", G<C::GetTaskLogFileName>, S<C::SetTaskLogFileName>, 1, T0, T1},
        {P, L"VirusLogFilename", G<C::GetVirusLogFileName>, S<C::SetVirusLogFileName>, 1, T0, T1},
        {P, L"SMSLogFilename", G<C::GetSMSLogFileName>, S<C::SetSMSLogFileName>, 1, T0, T1},
        {P, L"WAPLogFilename", G<C::GetMsgLogFileName>, S<C::SetMsgLogFileName>, 1, T0, T1},
        {P, L"ProxyPassword", G<C::GetPxyPwd>, S<C::SetPxyPwd>, 1, T0, T1},
        {P, L"StartupTemp", G<C::GetStartupTemp>, S<C::SetStartupTemp>, 1, T0, T1},
        {P, L"KillWindowTitle", G<C::GetInsertCardTitle>, S<C::SetInsertCardTitle>, 1, T0, T1},
        {A, L"HostName", G<WideHost>, S<C::SetMamoHostName>, 1, T0, T1},
        {P, L"LastPatternFilename", nullptr, S<C::SetLastPattern>, 1, "|-", "0||sz:mgmt.example|"},
        {L"Software\\Quorlend\\Scutara", L"Version", G<C::GetOldProductVersion>, StoreOldVersion, 1,
         T0, T1},
        // The spam folder answers 0 whatever happens, even to a refused write.
        {P, L"SMSSpamFolderName", G<C::GetSpamFolder>, S<C::SetSpamFolder>, 1, "0 ~ 0 ~|-",
         "0|0 mgmt.example 0 ~|sz:mgmt.example|"},
        {P, L"SMSSpamFolderName", G<C::GetSpamFolder>, S<C::SetSpamFolder>, 0, "0 ~ 0 ~|-",
         "0|0 ~ 0 ~|-"},
        {A, L"HostName", G<NarrowHost>, S<C::SetMamoHostName>, 1,
         "ffffffff ffffffff 30000 |||||||||||||||| 30000 |||||||||-",
         "0|ffffffff ffffffff 0 mgmt.example|||| 30000 |||||||||sz:mgmt.example|"},
        {P, L"RepMD5", G<C::GetMD5>, StoreDigest, 1, "30000 ~~~~~~~~~~~~~~~~~|-",
         "0|0 0123456789abcdef~|bin:0123456789abcdef"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.name)));
        ResetDevice();
        if (row.before >= 0) RawSetValue(row.key, row.name, REG_DWORD, &row.before, 4);
        // The getter answers first: defaults are written back by it.
        const auto seen = [&] {
            const std::string got = row.get ? row.get() : "", s = Stored(row.key, row.name);
            return got + "|" + (s == "none" || s == "no key" ? std::string("-") : s);
        };
        EXPECT_EQ(seen(), row.missing);
        std::string status = "-";
        if (row.set) status = Hex(row.set(row.given));
        if (!row.set) RawSetValue(row.key, row.name, REG_DWORD, &row.given, 4);
        EXPECT_EQ(status + "|" + seen(), row.after);
    }
}

// The deleters take their own value only, and fail when it is gone.
TEST_F(SettingsTest, DeletersRemoveOnlyTheirValue) {
    const struct {
        const char* name;
        KXSTATUS (*del)();
        const char* left;
    } rows[] = {
        {"StartupTemp", C::DelStartupTemp, "KillWindowTitle=sz:t|;SystemStartupFlag=dw:1;"},
        {"KillWindowTitle", C::DelInsertCardTitle, "StartupTemp=sz:s|;SystemStartupFlag=dw:1;"},
        {"SystemStartupFlag", C::DelStartupFlag, "KillWindowTitle=sz:t|;StartupTemp=sz:s|;"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        C::SetStartupTemp(L"s"), C::SetInsertCardTitle(L"t"), C::SetStartupFlag(1);
        EXPECT_EQ(row.del(), KX_OK);
        EXPECT_EQ(Dump(P), row.left);
        EXPECT_EQ(row.del(), KX_E_REGISTRY);
    }
}

// The first run writes twenty values, each with its type; both time stamps from one reading of
// the clock.
TEST_F(SettingsTest, FirstRunWritesEveryValue) {
    ASSERT_EQ(C::InitOtherReg(), KX_OK);
    SYSTEMTIME clock{}, utc;
    std::string bytes;
    DWORD type = 0;
    ASSERT_TRUE(RawGetValue(P, L"LastUpdateTime", &type, &bytes));
    std::memcpy(&clock, bytes.data(), std::min<size_t>(bytes.size(), 16));
    ::GetSystemTime(&utc);
    EXPECT_EQ(clock.wYear, utc.wYear);
    const std::string time = "bin:" + Image(reinterpret_cast<const char*>(&clock), 16);
    const struct {
        const wchar_t* name;
        std::string stored;
    } rows[] = {
        {L"PrimaryUpdateServer", "sz:\\Renovix|"},
        {L"RealTimeScan", "dw:1"},
        {L"InstantCardScanOption", "dw:1"},
        {L"SMSSpamFolderName", "sz:Spam|"},
        {L"FileScanType", "dw:7fffffff"},
        {L"FileDecompressLimitSize", "dw:100000"},
        {L"CompressedFileScanLayer", "dw:1"},
        {L"TaskLogFilename", "sz:task11.log|"},
        {L"VirusLogFilename", "sz:virus11.log|"},
        {L"SMSLogFilename", "sz:spam11.log|"},
        {L"LogFileSize", "dw:8000"},
        {L"SMSSpamOption", "dw:2"},
        {L"BlockSMSwoIDOption", "dw:1"},
        {L"ImportFromContactOption", "dw:10004"},
        {L"ROMFileSleep", "dw:1"},
        {L"LastScanTime", time},
        {L"LastUpdateTime", time},
        {L"LastPatternFilename", "sz:|"},
        {L"ProxyPassword", "sz:|"},
        {L"UpdateTempFactor", "dw:9"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.name)));
        EXPECT_EQ(Stored(P, row.name), row.stored);
    }
}

}  // namespace
}  // namespace kxtest
