// KxConfig's settings catalogue: every getter, setter and deleter reaches its own value under its
// own key, with the defaults, clamps and yes/no rules the product relies on, and the values of the
// first run.
// (Elsewhere, because reaching them needs more than the registry: the directories, the version
// and the start time in DirectoriesTest; RepMD5, ZRAPIEngineVer and ZRAPIPatternVer in
// UpdateBookkeepingTest.)
#include "RegistryRows.h"

namespace kxtest {
namespace {

using Config = KxConfig;
constexpr wchar_t kAgentKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent";
constexpr wchar_t kWapPushKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\WapPush";
constexpr wchar_t kPreviousKey[] = L"Software\\Quorlend\\Scutara";
// What a number output holds before a getter runs, and so after a getter that left it alone.
constexpr unsigned long kUntouched = 0xBDBDBDBD;
constexpr long kNone = -1;  // as a number stored first: nothing stored

class SettingsTest : public DeviceTest {};

// Every getter and setter as one of numbers: flags widened, returned values as the output.
template <KXSTATUS (*get)(int&)>
KXSTATUS FlagGetter(unsigned long& number) {
    int flag = static_cast<int>(number);
    const KXSTATUS status = get(flag);
    number = static_cast<unsigned long>(flag);
    return status;
}
template <auto get>
KXSTATUS ReturnGetter(unsigned long& number) {
    number = static_cast<unsigned long>(get());
    return KX_OK;
}
KXSTATUS LanguageGetter(unsigned long& language) {
    language = Config::GetProductLanguage(language);
    return KX_OK;
}
template <auto set>
KXSTATUS NumberSetter(unsigned long number) {
    return set(number);
}

// What a getter, a setter or a deleter answers on a device holding the row's number or nothing,
// what a getter hands back and what each leaves stored: the defaults, yes/no rules, clamps and
// deletions beyond reaching the value.
struct SettingRule {
    const wchar_t* name;
    KXSTATUS (*get)(unsigned long&) = nullptr;  // the call: a getter,
    KXSTATUS (*set)(unsigned long) = nullptr;   // a setter given `given`,
    KXSTATUS (*del)() = nullptr;                // or a deleter
    long stored = kNone;
    unsigned long given = 0;
    unsigned long output = kUntouched;  // what a getter hands back; kUntouched: left as it was
    std::string leaves;                 // the value afterwards
    KXSTATUS status = KX_OK;
    const wchar_t* key = kProductKey;
};
::testing::AssertionResult FollowsItsRule(const SettingRule& row) {
    ResetDevice();
    if (row.stored != kNone) StoreNumber(row.key, row.name, DWORD(row.stored));
    const std::string before = Stored(row.key, row.name);
    unsigned long output = kUntouched;
    const KXSTATUS status = row.get ? row.get(output) : row.set ? row.set(row.given) : row.del();
    const std::string leaves = Stored(row.key, row.name);
    if (status == row.status && output == row.output && leaves == row.leaves)
        return ::testing::AssertionSuccess();
    const char* call = row.get ? "getter" : row.set ? "setter" : "deleter";
    const std::string given = row.set ? ", given " + Hex(row.given) + "," : "",
                      handedBack = row.get ? " handing back " + Hex(output) : "",
                      toHandBack = row.get ? " handing back " + Hex(row.output) : "";
    return ::testing::AssertionFailure()
           << "the " << call << " of " << Narrow(row.name) << given << " with " << before
           << " stored, answered " << Hex(status) << handedBack << " and left " << leaves
           << "; expected " << Hex(row.status) << toHandBack << " and " << row.leaves;
}

// The catalogue's numbers and flags: a setter given 1 stores number 0x1 under the row's key and
// name, and a getter hands back the 1 stored there, each on a clean device.
struct NumberSetting {
    const wchar_t* name;
    KXSTATUS (*get)(unsigned long&);
    KXSTATUS (*set)(unsigned long);
    const wchar_t* key = kProductKey;
};
TEST_F(SettingsTest, EveryNumberSettingUnderItsOwnKeyAndName) {
    // clang-format off
    const NumberSetting rows[] = {
        {.name = L"ProductLanguage", .get = LanguageGetter, .set = nullptr},
        {.name = L"IsAccept", .get = FlagGetter<Config::GetEnableAcceptList>, .set = NumberSetter<Config::SetEnableAcceptList>},
        {.name = L"RealTimeScan", .get = FlagGetter<Config::GetBeRealTimeScan>, .set = NumberSetter<Config::SetBeRealTimeScan>},
        {.name = L"SafeMode", .get = FlagGetter<Config::GetBeSafeMode>, .set = NumberSetter<Config::SetBeSafeMode>},
        {.name = L"InstantCardScanOption", .get = FlagGetter<Config::GetBeInsCardScan>,
         .set = NumberSetter<Config::SetBeInsCardScan>},
        {.name = L"FileScanType", .get = Config::GetScanFileType, .set = Config::SetScanFileType},
        {.name = L"FileDecompressLimitSize", .get = Config::GetUncompressSize, .set = Config::SetUncompressSize},
        {.name = L"CompressedFileScanLayer", .get = Config::GetScanLayer, .set = Config::SetScanLayer},
        {.name = L"LogFileSize", .get = Config::GetLogFileSize, .set = Config::SetLogFileSize},
        {.name = L"DebugLogFileSize", .get = Config::GetDebugLogFileSize, .set = Config::SetDebugLogFileSize},
        {.name = L"SMSSpamOption", .get = Config::GetSpamPreventionLevel, .set = Config::SetSpamPreventionLevel},
        {.name = L"BlockSMSwoIDOption", .get = Config::GetBeBlockSMSWithoutCallerId,
         .set = Config::SetBeBlockSMSWithoutCallerId},
        {.name = L"ImportFromContactOption", .get = Config::GetImportOption, .set = Config::SetImportOption},
        {.name = L"ROMFileSleep", .get = Config::GetRomFileSleepTime, .set = Config::SetRomFileSleepTime},
        {.name = L"DebugLog", .get = Config::GetDebugLogFlag, .set = Config::SetDebugLogFlag},
        {.name = L"DebugLogOption", .get = Config::GetDebugLogOption, .set = nullptr},
        {.name = L"UpdateTempFactor", .get = Config::GetSpaceFactor, .set = Config::SetSpaceFactor},
        {.name = L"SuperLab", .get = Config::GetSuperLab, .set = nullptr},
        {.name = L"DeviceType", .get = nullptr, .set = Config::SetDeviceType},
        {.name = L"SystemStartupFlag", .get = Config::GetStartupFlag, .set = Config::SetStartupFlag},
        {.name = L"RealTimeScanOption", .get = ReturnGetter<Config::GetRTScanOption>, .set = Config::SetRTScanOption},
        {.name = L"ScheduleUpdateOption", .get = Config::GetAutomaticUpdate, .set = Config::SetAutomaticUpdate},
        {.name = L"ScheduleUpdateFrequency", .get = Config::GetAutomaticUpdateFrequency,
         .set = Config::SetAutomaticUpdateFrequency},
        {.name = L"MiscOpt", .get = Config::GetMiscOpt, .set = Config::SetMiscOpt},
        {.name = L"PromptWhenConnectByWireless", .get = Config::GetPromptWhenConnectByWireless,
         .set = Config::SetPromptWhenConnectByWireless},
        {.name = L"LockAllOption", .get = ReturnGetter<Config::GetMamoLockAll>, .set = NumberSetter<Config::SetMamoLockAll>},
        {.name = L"MaxMessageNumber", .get = Config::GetMessageMaxNumber, .set = Config::SetMessageMaxNumber},
        {.name = L"IncludeMGI", .get = Config::GetIncludeMGI, .set = nullptr},
        {.name = L"WAPPushProtectOption", .get = Config::GetWapPushLevel, .set = Config::SetWapPushLevel, .key = kWapPushKey},
        {.name = L"IsMgiValid", .get = ReturnGetter<Config::GetMgiValidSimple>, .set = Config::SetMgiValid, .key = kAgentKey},
        {.name = L"MgiUploadIdleTime", .get = Config::GetMgiUploadIdleTime, .set = Config::SetMgiUploadIdleTime,
         .key = kAgentKey},
        {.name = L"UpdateReceivePrompt", .get = Config::GetUpdateRecievePrompt, .set = Config::SetUpdateRecievePrompt,
         .key = kAgentKey},
        {.name = L"HostPort", .get = ReturnGetter<Config::GetMamoHostPort>,
         .set = NumberSetter<Config::SetMamoHostPort>, .key = kAgentKey},
        // Their getters answer 1 also when nothing is stored: the next test reads them.
        {.name = L"VirusLogUpload", .get = nullptr, .set = NumberSetter<Config::SetMamoSendVirusLog>, .key = kAgentKey},
        {.name = L"PromptSendLog", .get = nullptr, .set = Config::SetMamoPromptSendLog, .key = kAgentKey},
        {.name = L"UpdateLogUpload", .get = nullptr, .set = NumberSetter<Config::SetMamoSendUpdateLog>, .key = kAgentKey},
    };
    // clang-format on
    for (const NumberSetting& row : rows) {
        if (row.set)
            EXPECT_TRUE(FollowsItsRule({.name = row.name,
                                        .set = row.set,
                                        .given = 1,
                                        .leaves = "number 0x1",
                                        .key = row.key}));
        if (row.get)
            EXPECT_TRUE(FollowsItsRule({.name = row.name,
                                        .get = row.get,
                                        .stored = 1,
                                        .output = 1,
                                        .leaves = "number 0x1",
                                        .key = row.key}));
    }
}

TEST_F(SettingsTest, GettersSettersAndDeletersFollowTheirRules) {
    // clang-format off
    const SettingRule rows[] = {
        // A missing number is refused and the output left; the language is answered, not a status.
        {.name = L"FileScanType", .get = Config::GetScanFileType, .output = kUntouched, .leaves = "(no key)",
         .status = KX_E_REGISTRY},
        {.name = L"ProductLanguage", .get = LanguageGetter, .output = kUntouched, .leaves = "(no key)"},
        // Defaults: written back by the getter, or answered without being written.
        {.name = L"MaxMessageNumber", .get = Config::GetMessageMaxNumber, .output = 10, .leaves = "number 0xa"},
        {.name = L"RealTimeScanOption", .get = ReturnGetter<Config::GetRTScanOption>, .output = 1, .leaves = "number 0x1"},
        {.name = L"MgiUploadIdleTime", .get = Config::GetMgiUploadIdleTime, .output = 600000, .leaves = "(no key)",
         .status = KX_E_REGISTRY, .key = kAgentKey},
        {.name = L"UpdateReceivePrompt", .get = Config::GetUpdateRecievePrompt, .output = 1, .leaves = "(no key)",
         .status = KX_E_REGISTRY, .key = kAgentKey},
        // The port: 0 when none is stored, else its low 16 bits.
        {.name = L"HostPort", .get = ReturnGetter<Config::GetMamoHostPort>, .output = 0, .leaves = "(no key)",
         .key = kAgentKey},
        {.name = L"HostPort", .get = ReturnGetter<Config::GetMamoHostPort>, .stored = 0x12345, .output = 0x2345,
         .leaves = "number 0x12345", .key = kAgentKey},
        // Yes/no: missing reads as no, any nonzero number as yes; the safe mode reads as stored.
        {.name = L"IsAccept", .get = FlagGetter<Config::GetEnableAcceptList>, .output = 0, .leaves = "(no key)",
         .status = KX_E_REGISTRY},
        {.name = L"RealTimeScan", .get = FlagGetter<Config::GetBeRealTimeScan>, .stored = 7, .output = 1,
         .leaves = "number 0x7"},
        {.name = L"SafeMode", .get = FlagGetter<Config::GetBeSafeMode>, .stored = 7, .output = 7, .leaves = "number 0x7"},
        // Exactly 1 means yes; missing answers the default, 1 (send, prompt) or 0 (lock all).
        {.name = L"VirusLogUpload", .get = ReturnGetter<Config::GetMamoSendVirusLog>, .output = 1, .leaves = "(no key)",
         .key = kAgentKey},
        {.name = L"VirusLogUpload", .get = ReturnGetter<Config::GetMamoSendVirusLog>, .stored = 2, .output = 0,
         .leaves = "number 0x2", .key = kAgentKey},
        {.name = L"PromptSendLog", .get = ReturnGetter<Config::GetMamoPromptSendLog>, .stored = 2, .output = 0,
         .leaves = "number 0x2", .key = kAgentKey},
        {.name = L"UpdateLogUpload", .get = ReturnGetter<Config::GetMamoSendUpdateLog>, .stored = 2, .output = 0,
         .leaves = "number 0x2", .key = kAgentKey},
        {.name = L"LockAllOption", .get = ReturnGetter<Config::GetMamoLockAll>, .output = 0, .leaves = "(no key)"},
        // Run-once is bit 0 of MiscOpt.
        {.name = L"MiscOpt", .get = Config::GetRunOnce, .stored = 6, .output = 0, .leaves = "number 0x6"},
        // The scan layer goes through the clamp to 1..3 (its bounds: the utility tests); a frequency
        // the update list does not offer becomes 1 day.
        {.name = L"CompressedFileScanLayer", .set = Config::SetScanLayer, .given = 4, .leaves = "number 0x3"},
        {.name = L"ScheduleUpdateFrequency", .set = Config::SetAutomaticUpdateFrequency, .given = 10, .leaves = "number 0x1"},
        // Yes/no setters store 1 for any nonzero number; the prompt is stored unchanged.
        {.name = L"IsAccept", .set = NumberSetter<Config::SetEnableAcceptList>, .given = 5, .leaves = "number 0x1"},
        {.name = L"VirusLogUpload", .set = NumberSetter<Config::SetMamoSendVirusLog>, .given = 9,
         .leaves = "number 0x1", .key = kAgentKey},
        {.name = L"PromptSendLog", .set = Config::SetMamoPromptSendLog, .given = 2, .leaves = "number 0x2", .key = kAgentKey},
        // Run-once sets or clears bit 0 of an existing MiscOpt, keeping the other bits.
        {.name = L"MiscOpt", .set = Config::SetRunOnce, .given = 1, .leaves = "(no key)", .status = KX_E_REGISTRY},
        {.name = L"MiscOpt", .set = Config::SetRunOnce, .stored = 6, .given = 1, .leaves = "number 0x7"},
        {.name = L"MiscOpt", .set = Config::SetRunOnce, .stored = 7, .given = 0, .leaves = "number 0x6"},
        // A deleter takes its own value and keeps the key (a value already gone: PlatformErrorTest).
        {.name = L"StartupTemp", .del = Config::DelStartupTemp, .stored = 1, .leaves = "(missing)"},
        {.name = L"KillWindowTitle", .del = Config::DelInsertCardTitle, .stored = 1, .leaves = "(missing)"},
        {.name = L"SystemStartupFlag", .del = Config::DelStartupFlag, .stored = 1, .leaves = "(missing)"},
    };
    // clang-format on
    for (const SettingRule& row : rows) EXPECT_TRUE(FollowsItsRule(row));
}

// Text getters, whichever type their capacity has; setters of a text they may not change.
template <KXSTATUS (*get)(wchar_t*, int)>
KXSTATUS IntCapacity(wchar_t* text, unsigned long length) {
    return get(text, static_cast<int>(length));
}
template <KXSTATUS (*set)(wchar_t*)>
KXSTATUS CopyGiven(const wchar_t* text) {
    std::wstring copy = text;
    return set(&copy[0]);
}
KXSTATUS GetPrimary(wchar_t* text, unsigned long length) {
    return Config::GetOfficalServer(text, int(length), 0);
}
KXSTATUS SetPrimary(const wchar_t* text) { return Config::SetOfficalServer(text, 0); }
// The backup server is index 2 to the getter and 1 to the setter: any but 0.
KXSTATUS GetBackup(wchar_t* text, unsigned long length) {
    return Config::GetOfficalServer(text, int(length), 2);
}
KXSTATUS SetBackup(const wchar_t* text) { return Config::SetOfficalServer(text, 1); }
KXSTATUS GetUrl(wchar_t* text, unsigned long length) { return Config::GetConfigURL(text, length); }

// The catalogue's texts: a setter's text is stored under the row's key and name, a text stored
// there comes back through the getter, each on a clean device. (LastPatternFilename is read
// lower-cased: both texts are.)
struct TextSetting {
    const wchar_t* name;
    KXSTATUS (*get)(wchar_t*, unsigned long);
    KXSTATUS (*set)(const wchar_t*);
    const wchar_t* key = kProductKey;
};
::testing::AssertionResult ReachesItsText(const TextSetting& row) {
    ResetDevice();
    const KXSTATUS setStatus = row.set ? row.set(L"given.text") : KX_OK;
    const std::string stored = row.set ? Stored(row.key, row.name) : "text \"given.text\"";
    ResetDevice();
    StoreText(row.key, row.name, L"stored.text");
    wchar_t text[32] = L"untouched";
    const KXSTATUS getStatus = row.get ? row.get(text, 32) : KX_OK;
    const std::wstring got = row.get ? text : L"stored.text";
    if (setStatus == KX_OK && stored == "text \"given.text\"" && getStatus == KX_OK &&
        got == L"stored.text")
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << Narrow(row.name) << ": its setter given \"given.text\" answered " << Hex(setStatus)
           << " and left " << stored << "; its getter answered " << Hex(getStatus) << " with \""
           << Narrow(got) << "\" for text \"stored.text\" stored; expected 0 twice and the texts";
}

TEST_F(SettingsTest, EveryTextSettingUnderItsOwnKeyAndName) {
    // clang-format off
    const TextSetting rows[] = {
        {.name = L"SMSSpamFolderName", .get = IntCapacity<Config::GetSpamFolder>, .set = Config::SetSpamFolder},
        {.name = L"PrimaryUpdateServer", .get = GetPrimary, .set = SetPrimary},
        {.name = L"BackupUpdateServer", .get = GetBackup, .set = SetBackup},
        {.name = L"TaskLogFilename", .get = Config::GetTaskLogFileName, .set = Config::SetTaskLogFileName},
        {.name = L"VirusLogFilename", .get = Config::GetVirusLogFileName, .set = Config::SetVirusLogFileName},
        {.name = L"SMSLogFilename", .get = Config::GetSMSLogFileName, .set = Config::SetSMSLogFileName},
        {.name = L"WAPLogFilename", .get = Config::GetMsgLogFileName, .set = Config::SetMsgLogFileName},
        {.name = L"LastPatternFilename", .get = Config::GetLastPattern, .set = CopyGiven<Config::SetLastPattern>},
        {.name = L"ProxyPassword", .get = Config::GetPxyPwd, .set = CopyGiven<Config::SetPxyPwd>},
        {.name = L"StartupTemp", .get = IntCapacity<Config::GetStartupTemp>, .set = Config::SetStartupTemp},
        {.name = L"KillWindowTitle", .get = IntCapacity<Config::GetInsertCardTitle>, .set = Config::SetInsertCardTitle},
        {.name = L"ConfigURL", .get = GetUrl, .set = nullptr},
        {.name = L"HostName", .get = IntCapacity<Config::GetMamoHostName>, .set = Config::SetMamoHostName, .key = kAgentKey},
        {.name = L"Version", .get = Config::GetOldProductVersion, .set = nullptr, .key = kPreviousKey},
    };
    // clang-format on
    for (const TextSetting& row : rows) EXPECT_TRUE(ReachesItsText(row));
}

// The spam folder's getter and setter answer 0 whatever happened: a missing folder (the buffer
// left as it was), a null folder (nothing stored). Other texts answer as KxRegUtil reads them:
// RegistryTest.
TEST_F(SettingsTest, TheSpamFolderAnswersZeroWhateverHappened) {
    wchar_t text[32] = L"untouched";
    const KXSTATUS got = Config::GetSpamFolder(text, 32), set = Config::SetSpamFolder(nullptr);
    const std::string left = Stored(kProductKey, L"SMSSpamFolderName");
    EXPECT_TRUE(got == KX_OK && std::wstring(text) == L"untouched" && set == KX_OK &&
                left == "(no key)")
        << "on a clean device GetSpamFolder answered " << Hex(got) << " with \"" << Narrow(text)
        << "\" and SetSpamFolder(null) " << Hex(set) << " leaving " << left
        << "; expected 0 with the buffer left as filled, and 0 leaving (no key)";
}

// The host name in the device's code page: -1 for a null or empty buffer; the buffer zero-filled
// first, and left so when the name is missing or does not fit.
struct NarrowHostRow {
    const wchar_t* stored;  // null: nothing stored
    bool nullBuffer;
    int capacity;
    KXSTATUS status;
    std::string output;  // the buffer's bytes up to the capacity
};
TEST_F(SettingsTest, TheNarrowHostNameFillsItsBufferWithZerosFirst) {
    // clang-format off
    const NarrowHostRow rows[] = {
        {.stored = L"mgmt.example", .nullBuffer = true, .capacity = 16, .status = -1, .output = "################"},
        {.stored = L"mgmt.example", .nullBuffer = false, .capacity = 0, .status = -1, .output = ""},
        {.stored = nullptr, .nullBuffer = false, .capacity = 16, .status = KX_E_REGISTRY, .output = std::string(16, '\0')},
        {.stored = L"mgmt.example", .nullBuffer = false, .capacity = 16, .status = KX_OK,
         .output = std::string("mgmt.example\0\0\0\0", 16)},
        {.stored = L"mgmt.example", .nullBuffer = false, .capacity = 8, .status = KX_E_REGISTRY,
         .output = std::string(8, '\0')},
    };
    // clang-format on
    for (const NarrowHostRow& row : rows) {
        ResetDevice();
        if (row.stored) StoreText(kAgentKey, L"HostName", row.stored);
        std::string buffer(16, '#');
        const KXSTATUS status =
            Config::GetMamoHostName(row.nullBuffer ? nullptr : &buffer[0], row.capacity);
        const std::string output = buffer.substr(0, row.nullBuffer ? 16 : size_t(row.capacity));
        EXPECT_TRUE(status == row.status && output == row.output)
            << "GetMamoHostName(char*) into " << (row.nullBuffer ? "a null buffer" : "a buffer")
            << " of " << row.capacity << " bytes, with " << Stored(kAgentKey, L"HostName")
            << " stored, answered " << status << " leaving " << testing::PrintToString(output)
            << "; expected " << row.status << " leaving " << testing::PrintToString(row.output);
    }
}

// The time records: a 16-byte SYSTEMTIME each, stored as given and read back whole.
struct TimeSetting {
    const wchar_t* name;
    KXSTATUS (*get)(SYSTEMTIME&);
    KXSTATUS (*set)(const SYSTEMTIME&);
};
KXSTATUS GetSchedule(SYSTEMTIME& time) { return Config::GetScheduleUpdateTime(&time); }
KXSTATUS SetSchedule(const SYSTEMTIME& time) { return Config::SetScheduleUpdateTime(&time); }
std::string Bytes(const SYSTEMTIME& time) {
    return Describe(REG_BINARY, std::string(reinterpret_cast<const char*>(&time), sizeof time));
}
TEST_F(SettingsTest, EveryTimeRecordUnderItsOwnName) {
    // clang-format off
    const TimeSetting rows[] = {
        {.name = L"LastScanTime", .get = Config::GetLastMSTime, .set = Config::SetLastMSTime},
        {.name = L"LastUpdateTime", .get = Config::GetLastUpdateTime, .set = Config::SetLastUpdateTime},
        {.name = L"ScheduleUpdateTime", .get = GetSchedule, .set = SetSchedule},
    };
    // clang-format on
    const SYSTEMTIME given{2026, 12, 6, 5, 14, 30, 15, 250}, stored{2027, 1, 5, 1, 8, 0, 0, 0};
    for (const TimeSetting& row : rows) {
        ResetDevice();
        const KXSTATUS setStatus = row.set(given);
        const std::string afterSet = Stored(kProductKey, row.name);
        RawSetValue(kProductKey, row.name, REG_BINARY, &stored, sizeof stored);
        SYSTEMTIME got{};
        const KXSTATUS getStatus = row.get(got);
        EXPECT_TRUE(setStatus == KX_OK && afterSet == Bytes(given) && getStatus == KX_OK &&
                    Bytes(got) == Bytes(stored))
            << Narrow(row.name) << ": its setter answered " << Hex(setStatus) << " and left "
            << afterSet << ", expected 0 and " << Bytes(given) << "; its getter answered "
            << Hex(getStatus) << " and read " << Bytes(got) << ", expected 0 and " << Bytes(stored);
    }
}

// The first run writes its twenty values; both time stamps from one reading of the clock, in UTC.
TEST_F(SettingsTest, TheFirstRunWritesItsValues) {
    ASSERT_EQ(Config::InitOtherReg(), KX_OK);
    const std::string time = Stored(kProductKey, L"LastScanTime");
    SYSTEMTIME utc;
    ::GetSystemTime(&utc);
    char year[16];
    std::snprintf(year, sizeof year, "bytes %02x %02x", utc.wYear & 0xFF, utc.wYear >> 8);
    EXPECT_EQ(time.substr(0, 11), year) << "LastScanTime holds this year, in UTC: " << time;
    std::string dump = Dump(kProductKey);
    for (size_t at; (at = dump.find(time)) != std::string::npos;)
        dump.replace(at, time.size(), "the time of the first run");
    EXPECT_EQ(dump,
              "BlockSMSwoIDOption = number 0x1\n"
              "CompressedFileScanLayer = number 0x1\n"
              "FileDecompressLimitSize = number 0x100000\n"
              "FileScanType = number 0x7fffffff\n"
              "ImportFromContactOption = number 0x10004\n"
              "InstantCardScanOption = number 0x1\n"
              "LastPatternFilename = text \"\"\n"
              "LastScanTime = the time of the first run\n"
              "LastUpdateTime = the time of the first run\n"
              "LogFileSize = number 0x8000\n"
              "PrimaryUpdateServer = text \"\\Renovix\"\n"
              "ProxyPassword = text \"\"\n"
              "RealTimeScan = number 0x1\n"
              "ROMFileSleep = number 0x1\n"
              "SMSLogFilename = text \"spam11.log\"\n"
              "SMSSpamFolderName = text \"Spam\"\n"
              "SMSSpamOption = number 0x2\n"
              "TaskLogFilename = text \"task11.log\"\n"
              "UpdateTempFactor = number 0x9\n"
              "VirusLogFilename = text \"virus11.log\"\n");
}

}  // namespace
}  // namespace kxtest
