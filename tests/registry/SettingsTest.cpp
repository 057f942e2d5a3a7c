// KxConfig's settings catalogue: every accessor reaches its own value under its own key, with the
// defaults, clamps and yes/no rules the product relies on, and the values of the first run.
#include "RegistryRows.h"

#include <type_traits>

namespace kxtest {
namespace {

constexpr wchar_t A[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent";
constexpr unsigned long kFillNumber = 0xBDBDBDBD;
wchar_t kText[] = L"mgmt.example";  // what text setters write: fits 16 characters, not 8
alignas(8) const char kRecord[] = "2026-12-05 14:30";  // what time setters write: any 16 bytes
const SYSTEMTIME& kTime = *reinterpret_cast<const SYSTEMTIME*>(kRecord);

class SettingsTest : public DeviceTest {};

// An output as text: a number in hex, a wide text up to its terminator, bytes as their image;
// "~" for an output left as it was.
std::string Out(unsigned long v) {
    char text[12];
    std::snprintf(text, sizeof text, "%lx", v);
    return v == kFillNumber ? "~" : text;
}
template <typename T, size_t N>
std::string Out(const T (&units)[N]) {
    const std::string image = Image(units, N);
    if (sizeof(T) == 1) return image;
    return image[0] == '~' ? "~" : image.substr(0, image.find('|'));
}
template <typename T>
std::string Said(unsigned long status, const T& out) {
    return Out(status) + " " + Out(out);
}

// What a getter answers, starting from outputs filled with 0xBD: "status output"; texts are read
// into 32 characters and into 8, the narrow host name also into a null and an empty buffer.
template <auto F>
std::string G() {
    using Fn = decltype(F);
    unsigned long n = kFillNumber;
    int i = int(kFillNumber);
    wchar_t t[32], small[8];
    alignas(8) char bytes[17], host[16], tight[8];
    std::memset(t, 0xBD, sizeof t), std::memset(small, 0xBD, 16), std::memset(bytes, 0xBD, 17);
    if constexpr (std::is_invocable_v<Fn>) return Out(F());
    if constexpr (std::is_invocable_v<Fn, unsigned long&>) return Said(F(n), n);
    if constexpr (std::is_invocable_v<Fn, int&>) return Said(F(i), i);
    if constexpr (std::is_invocable_v<Fn, wchar_t*, int>)
        return Said(F(t, 32), t) + " " + Said(F(small, 8), small);
    if constexpr (std::is_invocable_v<Fn, char*>) return Said(F(bytes), bytes);
    if constexpr (std::is_invocable_v<Fn, SYSTEMTIME&>)
        return Said(F(*reinterpret_cast<SYSTEMTIME*>(bytes)), bytes);
    if constexpr (std::is_invocable_v<Fn, char*, int>)
        return Out(F(nullptr, 16)) + " " + Out(F(host, 0)) + " " + Said(F(host, 16), host) + " " +
               Said(F(tight, 8), tight);
    return "";
}
KXSTATUS NarrowHost(char* text, int n) { return KxConfig::GetMamoHostName(text, n); }
KXSTATUS Days(unsigned long& days) { return KxConfig::GetAutomaticUpdateFrequency(days); }
KXSTATUS SetDays(unsigned long days) { return KxConfig::SetAutomaticUpdateFrequency(days); }
KXSTATUS Backup(wchar_t* text, int n) { return KxConfig::GetOfficalServer(text, n, 2); }
KXSTATUS Scheduled(SYSTEMTIME& time) { return KxConfig::GetScheduleUpdateTime(&time); }

// A setter given the row's number; text setters write kText, or null for 0.
template <auto F>
KXSTATUS S(unsigned long v) {
    if constexpr (std::is_invocable_v<decltype(F), wchar_t*>) return F(v ? kText : nullptr);
    if constexpr (!std::is_invocable_v<decltype(F), wchar_t*>) return F(v);
}
KXSTATUS SetBackup(unsigned long) { return KxConfig::SetOfficalServer(kText, 1); }
KXSTATUS SetScanned(unsigned long) { return KxConfig::SetLastMSTime(kTime); }
KXSTATUS SetSchedule(unsigned long) { return KxConfig::SetScheduleUpdateTime(&kTime); }
KXSTATUS StoreDigest(unsigned long) {
    return RawSetValue(kProductKey, L"RepMD5", REG_BINARY, "0123456789abcdef", 16), KX_OK;
}

constexpr unsigned long N = 0x8000000B;  // what a number setter is given
// A missing number and text: refused, outputs untouched; N and kText stored and read back. (No:
// a missing yes/no; Q: the spam folder's missing or refused text.)
const char *X = "30000 ~|-", *T = "30000 ~ 30000 ~|-", *No = "30000 0|-", *Q = "0 ~ 0 ~|-";
const char *B = "0|0 8000000b|dw:8000000b", *U = "0|0 mgmt.example 30000 ~|sz:mgmt.example|";
// Missing 16 bytes; kTime stored and read back.
const char *M = "30000 ~~~~~~~~~~~~~~~~~|-", *W = "0|0 2026-12-05 14:30~|bin:2026-12-05 14:30";

// Each row: what a clean device answers ("getter|stored value"); then the row's number given to
// the setter (or, without one, stored as a number) and "setter status|getter|stored value".
TEST_F(SettingsTest, EverySettingUnderItsOwnNameWithItsDefaultsAndRules) {
    const struct Row {
        const wchar_t* name;
        std::string (*get)();
        KXSTATUS (*set)(unsigned long);
        unsigned long given = N;
        const char *missing = X, *after = B;
        const wchar_t* key = kProductKey;
        long before = -1;  // a number stored first
    } rows[] = {
        // A number: a missing one is refused and the output left alone.
        {L"FileScanType", G<KxConfig::GetScanFileType>, S<KxConfig::SetScanFileType>},
        // Defaults: written back by the getter, or answered without being written.
        {L"MaxMessageNumber", G<KxConfig::GetMessageMaxNumber>, S<KxConfig::SetMessageMaxNumber>, N,
         "0 a|dw:a"},
        {L"MgiUploadIdleTime", G<KxConfig::GetMgiUploadIdleTime>, nullptr, 5, "30000 927c0|-",
         "-|0 5|dw:5", A},
        // The port is answered, not a status, and only its low 16 bits.
        {L"HostPort", G<KxConfig::GetMamoHostPort>, nullptr, 0x12345, "0|-", "-|2345|dw:12345", A},
        // Read only: what is stored comes back; the language answers the value as its status.
        {L"DebugLogOption", G<KxConfig::GetDebugLogOption>, nullptr, 42, X, "-|0 2a|dw:2a"},
        {L"ProductLanguage", G<KxConfig::GetProductLanguage>, nullptr, 1033, "~ ~|-",
         "-|409 409|dw:409"},
        // Yes/no: a missing value reads as no; any other number reads and writes as 1.
        {L"IsAccept", G<KxConfig::GetEnableAcceptList>, S<KxConfig::SetEnableAcceptList>, 5, No,
         "0|0 1|dw:1"},
        {L"RealTimeScan", G<KxConfig::GetBeRealTimeScan>, nullptr, 7, No, "-|0 1|dw:7"},
        // Exactly 1 means yes; a missing value answers the default (1 or 0); some setters store
        // what they are given.
        {L"VirusLogUpload", G<KxConfig::GetMamoSendVirusLog>, S<KxConfig::SetMamoSendVirusLog>, 9,
         "1|-", "0|1|dw:1", A},
        {L"VirusLogUpload", G<KxConfig::GetMamoSendVirusLog>, nullptr, 2, "1|-", "-|0|dw:2", A},
        {L"PromptSendLog", G<KxConfig::GetMamoPromptSendLog>, S<KxConfig::SetMamoPromptSendLog>, 2,
         "1|-", "0|0|dw:2", A},
        {L"LockAllOption", G<KxConfig::GetMamoLockAll>, nullptr, 2, "0|-", "-|0|dw:2"},
        // Clamps: the scan layer to 1..3, the update frequency to 7, 14 or 30 days, else 1.
        {L"CompressedFileScanLayer", G<KxConfig::GetScanLayer>, S<KxConfig::SetScanLayer>, 0, X,
         "0|0 1|dw:1"},
        {L"CompressedFileScanLayer", G<KxConfig::GetScanLayer>, S<KxConfig::SetScanLayer>, 3, X,
         "0|0 3|dw:3"},
        {L"CompressedFileScanLayer", G<KxConfig::GetScanLayer>, S<KxConfig::SetScanLayer>, 4, X,
         "0|0 3|dw:3"},
        {L"ScheduleUpdateFrequency", G<Days>, S<SetDays>, 7, X, "0|0 7|dw:7"},
        {L"ScheduleUpdateFrequency", G<Days>, S<SetDays>, 14, X, "0|0 e|dw:e"},
        {L"ScheduleUpdateFrequency", G<Days>, S<SetDays>, 30, X, "0|0 1e|dw:1e"},
        {L"ScheduleUpdateFrequency", G<Days>, S<SetDays>, 10, X, "0|0 1|dw:1"},
        // Run-once is bit 0 of MiscOpt, which it never creates.
        {L"MiscOpt", G<KxConfig::GetRunOnce>, S<KxConfig::SetRunOnce>, 1, X, "30000|30000 ~|-"},
        {L"MiscOpt", G<KxConfig::GetRunOnce>, S<KxConfig::SetRunOnce>, 1, "0 0|dw:6", "0|0 1|dw:7",
         kProductKey, 6},
        {L"MiscOpt", G<KxConfig::GetRunOnce>, S<KxConfig::SetRunOnce>, 0, "0 1|dw:7", "0|0 0|dw:6",
         kProductKey, 7},
        // Texts: refused when missing or when they do not fit; the backup server is index 1 to
        // the setter and 2 to the getter.
        {L"TaskLogFilename", G<KxConfig::GetTaskLogFileName>, S<KxConfig::SetTaskLogFileName>, N, T,
         U},
        {L"BackupUpdateServer", G<Backup>, SetBackup, N, T, U},
        // The spam folder answers 0 whatever happens, even to a refused write.
        {L"SMSSpamFolderName", G<KxConfig::GetSpamFolder>, S<KxConfig::SetSpamFolder>, N, Q,
         "0|0 mgmt.example 0 ~|sz:mgmt.example|"},
        {L"SMSSpamFolderName", G<KxConfig::GetSpamFolder>, S<KxConfig::SetSpamFolder>, 0, Q,
         "0|0 ~ 0 ~|-"},
        {L"HostName", G<NarrowHost>, S<KxConfig::SetMamoHostName>, N,
         "ffffffff ffffffff 30000 |||||||||||||||| 30000 |||||||||-",
         "0|ffffffff ffffffff 0 mgmt.example|||| 30000 |||||||||sz:mgmt.example|", A},
        {L"RepMD5", G<KxConfig::GetMD5>, StoreDigest, N, M,
         "0|0 0123456789abcdef~|bin:0123456789abcdef"},
        // Time stamps: a 16-byte record each. (The last update's: DirectoriesTest and the first
        // run.)
        {L"LastScanTime", G<KxConfig::GetLastMSTime>, SetScanned, N, M, W},
        {L"ScheduleUpdateTime", G<Scheduled>, SetSchedule, N, M, W},
    };
    for (const Row& row : rows) {
        ResetDevice();
        if (row.before >= 0) RawSetValue(row.key, row.name, REG_DWORD, &row.before, 4);
        // The getter answers first: defaults are written back by it.
        const auto seen = [&] {
            const std::string got = row.get ? row.get() : "", s = Stored(row.key, row.name);
            return got + "|" + (s == "none" || s == "no key" ? std::string("-") : s);
        };
        EXPECT_EQ(seen(), row.missing) << row.name;
        std::string status = "-";
        if (row.set) status = Out(row.set(row.given));
        if (!row.set) RawSetValue(row.key, row.name, REG_DWORD, &row.given, 4);
        EXPECT_EQ(status + "|" + seen(), row.after) << row.name;
    }
}

// A deleter takes its own value only, and fails when it is gone; the first run writes its twenty
// values, both time stamps ("T") from one reading of the clock, in UTC.
TEST_F(SettingsTest, DeletersAndTheFirstRun) {
    KxConfig::SetStartupTemp(L"s"), KxConfig::SetStartupFlag(1);
    EXPECT_TRUE(KxConfig::DelStartupTemp() == KX_OK &&
                Dump(kProductKey) == "SystemStartupFlag=dw:1;" &&
                KxConfig::DelStartupTemp() == KX_E_REGISTRY);
    ResetDevice();
    ASSERT_EQ(KxConfig::InitOtherReg(), KX_OK);
    const std::string time = Stored(kProductKey, L"LastScanTime");
    SYSTEMTIME utc;
    ::GetSystemTime(&utc);
    EXPECT_EQ(time.find("bin:" + Image(reinterpret_cast<char*>(&utc.wYear), 2)), 0u)
        << "this year, in UTC";
    std::string all = Dump(kProductKey);
    for (size_t at; (at = all.find(time)) != std::string::npos;) all.replace(at, time.size(), "T");
    EXPECT_EQ(
        all,
        "BlockSMSwoIDOption=dw:1;CompressedFileScanLayer=dw:1;FileDecompressLimitSize=dw:100000;"
        "FileScanType=dw:7fffffff;ImportFromContactOption=dw:10004;InstantCardScanOption=dw:1;"
        "LastPatternFilename=sz:|;LastScanTime=T;LastUpdateTime=T;LogFileSize=dw:8000;"
        "PrimaryUpdateServer=sz:\\Renovix|;ProxyPassword=sz:|;RealTimeScan=dw:1;"
        "ROMFileSleep=dw:1;SMSLogFilename=sz:spam11.log|;SMSSpamFolderName=sz:Spam|;"
        "SMSSpamOption=dw:2;TaskLogFilename=sz:task11.log|;UpdateTempFactor=dw:9;"
        "VirusLogFilename=sz:virus11.log|;");
}

}  // namespace
}  // namespace kxtest
