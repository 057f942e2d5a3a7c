// KxConfig's settings catalogue: every accessor reaches its own value under its own key, with the
// defaults, clamps and yes/no rules the product relies on, and the values of the first run.
#include "RegistryRows.h"

#include <kxcommon/KxConfig.h>

#include <algorithm>
#include <type_traits>

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
// An output as text: a number in hex, a wide text up to its terminator, bytes as their image;
// "~" for an output left as it was.
std::string Out(unsigned long v) { return Hex(v); }
template <size_t N>
std::string Out(const wchar_t (&t)[N]) {
    const std::string image = Image(t, N);
    return image[0] == '~' ? "~" : image.substr(0, image.find('|'));
}
template <size_t N>
std::string Out(const char (&bytes)[N]) {
    return Image(bytes, N);
}
template <typename T>
std::string Said(unsigned long status, const T& out) {
    return Hex(status) + " " + Out(out);
}

// What a getter answers, starting from outputs filled with 0xBD: "status output"; texts are read
// into 32 characters and into 8, the narrow host name also into a null and an empty buffer.
template <auto F>
std::string G() {
    using Fn = decltype(F);
    unsigned long n = kFillNumber;
    int i = int(kFillNumber);
    wchar_t t[32], small[8];
    char bytes[17], host[16], tight[8];
    std::memset(t, 0xBD, sizeof t), std::memset(small, 0xBD, 16), std::memset(bytes, 0xBD, 17);
    if constexpr (std::is_invocable_v<Fn>) return Hex(F());
    if constexpr (std::is_invocable_v<Fn, unsigned long&>) return Said(F(n), n);
    if constexpr (std::is_invocable_v<Fn, int&>) return Said(F(i), i);
    if constexpr (std::is_invocable_v<Fn, wchar_t*, int>)
        return Said(F(t, 32), t) + " " + Said(F(small, 8), small);
    if constexpr (std::is_invocable_v<Fn, char*>) return Said(F(bytes), bytes);
    if constexpr (std::is_invocable_v<Fn, char*, int>)
        return Hex(F(nullptr, 16)) + " " + Hex(F(host, 0)) + " " + Said(F(host, 16), host) + " " +
               Said(F(tight, 8), tight);
    return "";
}
KXSTATUS WideHost(wchar_t* text, int n) { return C::GetMamoHostName(text, n); }
KXSTATUS NarrowHost(char* text, int n) { return C::GetMamoHostName(text, n); }
KXSTATUS Days(unsigned long& days) { return C::GetAutomaticUpdateFrequency(days); }
KXSTATUS SetDays(unsigned long days) { return C::SetAutomaticUpdateFrequency(days); }
KXSTATUS Primary(wchar_t* text, int n) { return C::GetOfficalServer(text, n, 0); }
KXSTATUS Backup(wchar_t* text, int n) { return C::GetOfficalServer(text, n, 2); }

// A setter given the row's number; text setters write kText, or null for 0.
template <auto F>
KXSTATUS S(unsigned long v) {
    if constexpr (std::is_invocable_v<decltype(F), wchar_t*>) return F(v ? kText : nullptr);
    if constexpr (!std::is_invocable_v<decltype(F), wchar_t*>) return F(v);
}
KXSTATUS SetPrimary(unsigned long) { return C::SetOfficalServer(kText, 0); }
KXSTATUS SetBackup(unsigned long) { return C::SetOfficalServer(kText, 1); }
KXSTATUS StoreOldVersion(unsigned long) {
    return RawSetValue(L"Software\\Quorlend\\Scutara", L"Version", REG_SZ, kText, 26), KX_OK;
}
KXSTATUS StoreDigest(unsigned long) {
    return RawSetValue(P, L"RepMD5", REG_BINARY, "0123456789abcdef", 16), KX_OK;
}

constexpr unsigned long N = 0x8000000B;                       // what a number setter is given
const char* X = "30000 ~|-";                                  // missing: refused, output untouched
const char* B = "0|0 8000000b|dw:8000000b";                   // N stored and read back
const char* T = "30000 ~ 30000 ~|-";                          // a missing text
const char* U = "0|0 mgmt.example 30000 ~|sz:mgmt.example|";  // kText stored and read back

// Each row: what a clean device answers ("getter|stored value"); then the row's number given to
// the setter (or, without one, stored as a number) and "setter status|getter|stored value".
TEST_F(SettingsTest, EverySettingUnderItsOwnNameWithItsDefaultsAndRules) {
    const struct Row {
        const wchar_t* name;
        std::string (*get)();
        KXSTATUS (*set)(unsigned long);
        unsigned long given = N;
        const char *missing = X, *after = B;
        const wchar_t* key = P;
        long before = -1;  // a number stored first
    } rows[] = {
        {L"FileScanType", G<C::GetScanFileType>, S<C::SetScanFileType>},
        {L"FileDecompressLimitSize", G<C::GetUncompressSize>, S<C::SetUncompressSize>},
        {L"LogFileSize", G<C::GetLogFileSize>, S<C::SetLogFileSize>},
        {L"DebugLogFileSize", G<C::GetDebugLogFileSize>, S<C::SetDebugLogFileSize>},
        {L"SMSSpamOption", G<C::GetSpamPreventionLevel>, S<C::SetSpamPreventionLevel>},
        {L"BlockSMSwoIDOption", G<C::GetBeBlockSMSWithoutCallerId>,
         S<C::SetBeBlockSMSWithoutCallerId>},
        {L"ImportFromContactOption", G<C::GetImportOption>, S<C::SetImportOption>},
        {L"WAPPushProtectOption", G<C::GetWapPushLevel>, S<C::SetWapPushLevel>, N, X, B, W},
        {L"ROMFileSleep", G<C::GetRomFileSleepTime>, S<C::SetRomFileSleepTime>},
        {L"DebugLog", G<C::GetDebugLogFlag>, S<C::SetDebugLogFlag>},
        {L"UpdateTempFactor", G<C::GetSpaceFactor>, S<C::SetSpaceFactor>},
        {L"SystemStartupFlag", G<C::GetStartupFlag>, S<C::SetStartupFlag>},
        {L"ScheduleUpdateOption", G<C::GetAutomaticUpdate>, S<C::SetAutomaticUpdate>},
        {L"MiscOpt", G<C::GetMiscOpt>, S<C::SetMiscOpt>},
        {L"PromptWhenConnectByWireless", G<C::GetPromptWhenConnectByWireless>,
         S<C::SetPromptWhenConnectByWireless>},
        {L"DeviceType", nullptr, S<C::SetDeviceType>, 2, "|-", "0||dw:2"},
        {L"IsMgiValid", nullptr, S<C::SetMgiValid>, 3, "|-", "0||dw:3", A},
        // Defaults: written back by their getters, or answered without being written.
        {L"RealTimeScanOption", G<C::GetRTScanOption>, S<C::SetRTScanOption>, 2, "1|dw:1",
         "0|2|dw:2"},
        {L"MaxMessageNumber", G<C::GetMessageMaxNumber>, S<C::SetMessageMaxNumber>, N, "0 a|dw:a"},
        {L"MgiUploadIdleTime", G<C::GetMgiUploadIdleTime>, S<C::SetMgiUploadIdleTime>, N,
         "30000 927c0|-", B, A},
        {L"UpdateReceivePrompt", G<C::GetUpdateRecievePrompt>, S<C::SetUpdateRecievePrompt>, N,
         "30000 1|-", B, A},
        {L"HostPort", G<C::GetMamoHostPort>, S<C::SetMamoHostPort>, 8080, "0|-", "0|1f90|dw:1f90",
         A},
        {L"HostPort", G<C::GetMamoHostPort>, nullptr, 0x12345, "0|-", "-|2345|dw:12345", A},
        // Read only: what is stored comes back.
        {L"DebugLogOption", G<C::GetDebugLogOption>, nullptr, 42, X, "-|0 2a|dw:2a"},
        {L"SuperLab", G<C::GetSuperLab>, nullptr, 42, X, "-|0 2a|dw:2a"},
        {L"IncludeMGI", G<C::GetIncludeMGI>, nullptr, 42, X, "-|0 2a|dw:2a"},
        {L"ProductLanguage", G<C::GetProductLanguage>, nullptr, 1033, "~ ~|-", "-|409 409|dw:409"},
        {L"SafeMode", G<C::GetBeSafeMode>, S<C::SetBeSafeMode>, 5, X, "0|0 5|dw:5"},
        // Yes/no: a missing value reads as no; any other number reads and writes as 1.
        {L"IsAccept", G<C::GetEnableAcceptList>, S<C::SetEnableAcceptList>, 5, "30000 0|-",
         "0|0 1|dw:1"},
        {L"RealTimeScan", G<C::GetBeRealTimeScan>, S<C::SetBeRealTimeScan>, 0, "30000 0|-",
         "0|0 0|dw:0"},
        {L"RealTimeScan", G<C::GetBeRealTimeScan>, nullptr, 7, "30000 0|-", "-|0 1|dw:7"},
        {L"InstantCardScanOption", G<C::GetBeInsCardScan>, S<C::SetBeInsCardScan>, ~0ul,
         "30000 0|-", "0|0 1|dw:1"},
        // Exactly 1 means yes; a missing value answers the default.
        {L"VirusLogUpload", G<C::GetMamoSendVirusLog>, S<C::SetMamoSendVirusLog>, 9, "1|-",
         "0|1|dw:1", A},
        {L"VirusLogUpload", G<C::GetMamoSendVirusLog>, nullptr, 2, "1|-", "-|0|dw:2", A},
        {L"UpdateLogUpload", G<C::GetMamoSendUpdateLog>, S<C::SetMamoSendUpdateLog>, 0, "1|-",
         "0|0|dw:0", A},
        {L"UpdateLogUpload", G<C::GetMamoSendUpdateLog>, nullptr, 2, "1|-", "-|0|dw:2", A},
        {L"PromptSendLog", G<C::GetMamoPromptSendLog>, S<C::SetMamoPromptSendLog>, 2, "1|-",
         "0|0|dw:2", A},
        {L"PromptSendLog", G<C::GetMamoPromptSendLog>, nullptr, 1, "1|-", "-|1|dw:1", A},
        {L"LockAllOption", G<C::GetMamoLockAll>, S<C::SetMamoLockAll>, 4, "0|-", "0|1|dw:1"},
        {L"LockAllOption", G<C::GetMamoLockAll>, nullptr, 2, "0|-", "-|0|dw:2"},
        // Clamps: the scan layer to 1..3, the update frequency to the offered choices.
        {L"CompressedFileScanLayer", G<C::GetScanLayer>, S<C::SetScanLayer>, 0, X, "0|0 1|dw:1"},
        {L"CompressedFileScanLayer", G<C::GetScanLayer>, S<C::SetScanLayer>, 2, X, "0|0 2|dw:2"},
        {L"CompressedFileScanLayer", G<C::GetScanLayer>, S<C::SetScanLayer>, 3, X, "0|0 3|dw:3"},
        {L"CompressedFileScanLayer", G<C::GetScanLayer>, S<C::SetScanLayer>, 9, X, "0|0 3|dw:3"},
        {L"CompressedFileScanLayer", G<C::GetScanLayer>, S<C::SetScanLayer>, ~0ul, X, "0|0 3|dw:3"},
        {L"ScheduleUpdateFrequency", G<Days>, S<SetDays>, 7, X, "0|0 7|dw:7"},
        {L"ScheduleUpdateFrequency", G<Days>, S<SetDays>, 14, X, "0|0 e|dw:e"},
        {L"ScheduleUpdateFrequency", G<Days>, S<SetDays>, 30, X, "0|0 1e|dw:1e"},
        {L"ScheduleUpdateFrequency", G<Days>, S<SetDays>, 10, X, "0|0 1|dw:1"},
        {L"ScheduleUpdateFrequency", G<Days>, S<SetDays>, 0, X, "0|0 1|dw:1"},
        {L"ScheduleUpdateFrequency", G<Days>, S<SetDays>, 31, X, "0|0 1|dw:1"},
        // Run-once is bit 0 of MiscOpt, which it never creates.
        {L"MiscOpt", G<C::GetRunOnce>, S<C::SetRunOnce>, 1, X, "30000|30000 ~|-"},
        {L"MiscOpt", G<C::GetRunOnce>, S<C::SetRunOnce>, 1, "0 0|dw:6", "0|0 1|dw:7", P, 6},
        {L"MiscOpt", G<C::GetRunOnce>, S<C::SetRunOnce>, 0, "0 1|dw:7", "0|0 0|dw:6", P, 7},
        // Texts.
        {L"PrimaryUpdateServer", G<Primary>, SetPrimary, N, T, U},
        {L"BackupUpdateServer", G<Backup>, SetBackup, N, T, U},
        {L"TaskLogFilename", G<C::GetTaskLogFileName>, S<C::SetTaskLogFileName>, N, T, U},
        {L"VirusLogFilename", G<C::GetVirusLogFileName>, S<C::SetVirusLogFileName>, N, T, U},
        {L"SMSLogFilename", G<C::GetSMSLogFileName>, S<C::SetSMSLogFileName>, N, T, U},
        {L"WAPLogFilename", G<C::GetMsgLogFileName>, S<C::SetMsgLogFileName>, N, T, U},
        {L"ProxyPassword", G<C::GetPxyPwd>, S<C::SetPxyPwd>, N, T, U},
        {L"StartupTemp", G<C::GetStartupTemp>, S<C::SetStartupTemp>, N, T, U},
        {L"KillWindowTitle", G<C::GetInsertCardTitle>, S<C::SetInsertCardTitle>, N, T, U},
        {L"HostName", G<WideHost>, S<C::SetMamoHostName>, N, T, U, A},
        {L"LastPatternFilename", nullptr, S<C::SetLastPattern>, N, "|-", "0||sz:mgmt.example|"},
        {L"Version", G<C::GetOldProductVersion>, StoreOldVersion, N, T, U,
         L"Software\\Quorlend\\Scutara"},
        // The spam folder answers 0 whatever happens, even to a refused write.
        {L"SMSSpamFolderName", G<C::GetSpamFolder>, S<C::SetSpamFolder>, N, "0 ~ 0 ~|-",
         "0|0 mgmt.example 0 ~|sz:mgmt.example|"},
        {L"SMSSpamFolderName", G<C::GetSpamFolder>, S<C::SetSpamFolder>, 0, "0 ~ 0 ~|-",
         "0|0 ~ 0 ~|-"},
        {L"HostName", G<NarrowHost>, S<C::SetMamoHostName>, N,
         "ffffffff ffffffff 30000 |||||||||||||||| 30000 |||||||||-",
         "0|ffffffff ffffffff 0 mgmt.example|||| 30000 |||||||||sz:mgmt.example|", A},
        {L"RepMD5", G<C::GetMD5>, StoreDigest, N, "30000 ~~~~~~~~~~~~~~~~~|-",
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
