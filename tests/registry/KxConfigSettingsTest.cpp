// KxConfig's settings catalogue: every accessor reaches its own value under its own key, with
// the normalisations and defaults the product relies on.
#include "DeviceFixture.h"

#include <kxcommon/KxConfig.h>

#include <cstring>
#include <string>

namespace {

using kxtest::RawGetValue;
using kxtest::RawSetValue;
using kxtest::RawValueExists;

constexpr wchar_t P[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0";
constexpr wchar_t W[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\WapPush";
constexpr wchar_t S[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\ServerAgent";
constexpr wchar_t O[] = L"Software\\Quorlend\\Scutara";
constexpr unsigned long kSentinel = 0xDEADBEEF;

class KxConfigSettingsTest : public kxtest::DeviceTest {};

void StoreNumber(const wchar_t* key, const wchar_t* name, DWORD number) {
    RawSetValue(key, name, REG_DWORD, &number, sizeof number);
}

// The stored number, or kSentinel when the value is missing or not a number.
DWORD StoredNumber(const wchar_t* key, const wchar_t* name) {
    DWORD type = 0;
    std::string bytes;
    if (!RawGetValue(key, name, &type, &bytes) || type != REG_DWORD || bytes.size() != 4)
        return kSentinel;
    DWORD number = 0;
    std::memcpy(&number, bytes.data(), 4);
    return number;
}

std::wstring StoredText(const wchar_t* key, const wchar_t* name) {
    DWORD type = 0;
    std::string bytes;
    if (!RawGetValue(key, name, &type, &bytes) || type != REG_SZ) return L"<missing>";
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2 - 1);
}

struct NumberSetting {
    const wchar_t* key;
    const wchar_t* name;
    KXSTATUS (*get)(unsigned long&);
    KXSTATUS (*set)(unsigned long);
};

// Settings stored and handed back exactly as given.
const NumberSetting kNumbers[] = {
    {P, L"FileScanType", KxConfig::GetScanFileType, KxConfig::SetScanFileType},
    {P, L"FileDecompressLimitSize", KxConfig::GetUncompressSize, KxConfig::SetUncompressSize},
    {P, L"LogFileSize", KxConfig::GetLogFileSize, KxConfig::SetLogFileSize},
    {P, L"DebugLogFileSize", KxConfig::GetDebugLogFileSize, KxConfig::SetDebugLogFileSize},
    {P, L"SMSSpamOption", KxConfig::GetSpamPreventionLevel, KxConfig::SetSpamPreventionLevel},
    {P, L"BlockSMSwoIDOption", KxConfig::GetBeBlockSMSWithoutCallerId,
     KxConfig::SetBeBlockSMSWithoutCallerId},
    {P, L"ImportFromContactOption", KxConfig::GetImportOption, KxConfig::SetImportOption},
    {W, L"WAPPushProtectOption", KxConfig::GetWapPushLevel, KxConfig::SetWapPushLevel},
    {P, L"ROMFileSleep", KxConfig::GetRomFileSleepTime, KxConfig::SetRomFileSleepTime},
    {P, L"DebugLog", KxConfig::GetDebugLogFlag, KxConfig::SetDebugLogFlag},
    {P, L"UpdateTempFactor", KxConfig::GetSpaceFactor, KxConfig::SetSpaceFactor},
    {P, L"SystemStartupFlag", KxConfig::GetStartupFlag, KxConfig::SetStartupFlag},
    {P, L"ScheduleUpdateOption", KxConfig::GetAutomaticUpdate, KxConfig::SetAutomaticUpdate},
    {P, L"MiscOpt", KxConfig::GetMiscOpt, KxConfig::SetMiscOpt},
    {P, L"PromptWhenConnectByWireless", KxConfig::GetPromptWhenConnectByWireless,
     KxConfig::SetPromptWhenConnectByWireless},
    {P, L"MaxMessageNumber", KxConfig::GetMessageMaxNumber, KxConfig::SetMessageMaxNumber},
    {S, L"MgiUploadIdleTime", KxConfig::GetMgiUploadIdleTime, KxConfig::SetMgiUploadIdleTime},
    {S, L"UpdateReceivePrompt", KxConfig::GetUpdateRecievePrompt, KxConfig::SetUpdateRecievePrompt},
};

TEST_F(KxConfigSettingsTest, NumbersRoundTripUnderTheirOwnNames) {
    for (const NumberSetting& s : kNumbers) {
        kxtest::ResetDevice();
        const std::string what = testing::PrintToString(std::wstring(s.name));
        ASSERT_EQ(s.set(0x8000000Bul), KX_OK) << what;
        EXPECT_EQ(StoredNumber(s.key, s.name), 0x8000000Bul) << what;
        unsigned long read = 0;
        EXPECT_EQ(s.get(read), KX_OK) << what;
        EXPECT_EQ(read, 0x8000000Bul) << what;
    }
}

// Getters that read only: what is stored comes back; a missing value leaves the output alone.
TEST_F(KxConfigSettingsTest, ReadOnlyNumbersComeBackAsStored) {
    const NumberSetting readOnly[] = {
        {P, L"DebugLogOption", KxConfig::GetDebugLogOption, nullptr},
        {P, L"SuperLab", KxConfig::GetSuperLab, nullptr},
        {P, L"IncludeMGI", KxConfig::GetIncludeMGI, nullptr},
    };
    for (const NumberSetting& s : readOnly) {
        unsigned long read = kSentinel;
        EXPECT_EQ(s.get(read), KX_E_REGISTRY);
        EXPECT_EQ(read, kSentinel) << "untouched when missing";
        StoreNumber(s.key, s.name, 42);
        EXPECT_EQ(s.get(read), KX_OK);
        EXPECT_EQ(read, 42ul);
    }
    unsigned long language = 77;
    EXPECT_EQ(KxConfig::GetProductLanguage(language), 77ul) << "the output itself, unchanged";
    StoreNumber(P, L"ProductLanguage", 1033);
    EXPECT_EQ(KxConfig::GetProductLanguage(language), 1033ul);
    EXPECT_EQ(language, 1033ul);
}

TEST_F(KxConfigSettingsTest, MissingNumbersLeaveTheOutputUntouched) {
    for (const NumberSetting& s : kNumbers) {
        const std::wstring name = s.name;
        if (name == L"MaxMessageNumber" || name == L"MgiUploadIdleTime" ||
            name == L"UpdateReceivePrompt")
            continue;  // these name a default of their own
        unsigned long read = kSentinel;
        EXPECT_EQ(s.get(read), KX_E_REGISTRY) << testing::PrintToString(name);
        EXPECT_EQ(read, kSentinel) << testing::PrintToString(name);
    }
}

struct TextSetting {
    const wchar_t* key;
    const wchar_t* name;
    KXSTATUS (*get)(wchar_t*, unsigned long);
    KXSTATUS (*set)(const wchar_t*);
};

const TextSetting kTexts[] = {
    {P, L"PrimaryUpdateServer",
     [](wchar_t* b, unsigned long n) { return KxConfig::GetOfficalServer(b, int(n), 0); },
     [](const wchar_t* t) { return KxConfig::SetOfficalServer(t, 0); }},
    {P, L"BackupUpdateServer",
     [](wchar_t* b, unsigned long n) { return KxConfig::GetOfficalServer(b, int(n), 2); },
     [](const wchar_t* t) { return KxConfig::SetOfficalServer(t, 1); }},
    {P, L"TaskLogFilename", KxConfig::GetTaskLogFileName, KxConfig::SetTaskLogFileName},
    {P, L"VirusLogFilename", KxConfig::GetVirusLogFileName, KxConfig::SetVirusLogFileName},
    {P, L"SMSLogFilename", KxConfig::GetSMSLogFileName, KxConfig::SetSMSLogFileName},
    {P, L"WAPLogFilename", KxConfig::GetMsgLogFileName, KxConfig::SetMsgLogFileName},
    {P, L"ProxyPassword", KxConfig::GetPxyPwd,
     [](const wchar_t* t) { return KxConfig::SetPxyPwd(const_cast<wchar_t*>(t)); }},
    {P, L"StartupTemp",
     [](wchar_t* b, unsigned long n) { return KxConfig::GetStartupTemp(b, int(n)); },
     KxConfig::SetStartupTemp},
    {P, L"KillWindowTitle",
     [](wchar_t* b, unsigned long n) { return KxConfig::GetInsertCardTitle(b, int(n)); },
     KxConfig::SetInsertCardTitle},
    {S, L"HostName",
     [](wchar_t* b, unsigned long n) { return KxConfig::GetMamoHostName(b, int(n)); },
     KxConfig::SetMamoHostName},
};

TEST_F(KxConfigSettingsTest, TextsRoundTripUnderTheirOwnNames) {
    for (const TextSetting& s : kTexts) {
        kxtest::ResetDevice();
        const std::string what = testing::PrintToString(std::wstring(s.name));
        ASSERT_EQ(s.set(L"value of the setting"), KX_OK) << what;
        EXPECT_EQ(StoredText(s.key, s.name), L"value of the setting") << what;
        wchar_t read[32] = L"untouched";
        EXPECT_EQ(s.get(read, 32), KX_OK) << what;
        EXPECT_STREQ(read, L"value of the setting") << what;

        wchar_t tooSmall[8] = L"kept";
        EXPECT_EQ(s.get(tooSmall, 8), KX_E_REGISTRY) << what;
        EXPECT_STREQ(tooSmall, L"kept") << what;
    }
}

TEST_F(KxConfigSettingsTest, SpamFolderAlwaysAnswersZero) {
    wchar_t folder[16] = L"kept";
    EXPECT_EQ(KxConfig::GetSpamFolder(folder, 16), KX_OK);
    EXPECT_STREQ(folder, L"kept") << "untouched when missing";
    EXPECT_EQ(KxConfig::SetSpamFolder(L"Spam"), KX_OK);
    EXPECT_EQ(StoredText(P, L"SMSSpamFolderName"), L"Spam");
    EXPECT_EQ(KxConfig::GetSpamFolder(folder, 16), KX_OK);
    EXPECT_STREQ(folder, L"Spam");
    EXPECT_EQ(KxConfig::SetSpamFolder(nullptr), KX_OK) << "even a refused write answers 0";
}

TEST_F(KxConfigSettingsTest, PreviousVersionIsReadFromItsOwnKey) {
    RawSetValue(O, L"Version", REG_SZ, L"1.5", 8);
    wchar_t version[8] = {};
    EXPECT_EQ(KxConfig::GetOldProductVersion(version, 8), KX_OK);
    EXPECT_STREQ(version, L"1.5");
}

struct YesNoSetting {
    const wchar_t* name;
    KXSTATUS (*get)(int&);
    KXSTATUS (*set)(int);
};

TEST_F(KxConfigSettingsTest, YesNoSettingsReadAndWriteOnlyZeroOrOne) {
    const YesNoSetting settings[] = {
        {L"IsAccept", KxConfig::GetEnableAcceptList, KxConfig::SetEnableAcceptList},
        {L"RealTimeScan", KxConfig::GetBeRealTimeScan, KxConfig::SetBeRealTimeScan},
        {L"InstantCardScanOption", KxConfig::GetBeInsCardScan, KxConfig::SetBeInsCardScan},
    };
    for (const YesNoSetting& s : settings) {
        const std::string what = testing::PrintToString(std::wstring(s.name));
        int flag = 5;
        EXPECT_EQ(s.get(flag), KX_E_REGISTRY) << what;
        EXPECT_EQ(flag, 0) << what << ": a missing value reads as no";

        EXPECT_EQ(s.set(5), KX_OK);
        EXPECT_EQ(StoredNumber(P, s.name), 1u) << what;
        EXPECT_EQ(s.set(0), KX_OK);
        EXPECT_EQ(StoredNumber(P, s.name), 0u) << what;
        EXPECT_EQ(s.set(-1), KX_OK);
        EXPECT_EQ(StoredNumber(P, s.name), 1u) << what;

        StoreNumber(P, s.name, 7);
        flag = 0;
        EXPECT_EQ(s.get(flag), KX_OK) << what;
        EXPECT_EQ(flag, 1) << what;
    }
}

TEST_F(KxConfigSettingsTest, SafeModeIsStoredAsGiven) {
    EXPECT_EQ(KxConfig::SetBeSafeMode(5), KX_OK);
    EXPECT_EQ(StoredNumber(P, L"SafeMode"), 5u);
    int mode = 0;
    EXPECT_EQ(KxConfig::GetBeSafeMode(mode), KX_OK);
    EXPECT_EQ(mode, 5);
    kxtest::ResetDevice();
    mode = 9;
    EXPECT_EQ(KxConfig::GetBeSafeMode(mode), KX_E_REGISTRY);
    EXPECT_EQ(mode, 9);
}

TEST_F(KxConfigSettingsTest, ScanLayerIsClampedToOneThroughThree) {
    const struct {
        unsigned long given, stored;
    } cases[] = {{0, 1}, {1, 1}, {2, 2}, {3, 3}, {9, 3}, {0xFFFFFFFF, 3}};
    for (const auto& c : cases) {
        EXPECT_EQ(KxConfig::SetScanLayer(c.given), KX_OK);
        EXPECT_EQ(StoredNumber(P, L"CompressedFileScanLayer"), c.stored) << c.given;
    }
}

TEST_F(KxConfigSettingsTest, UpdateFrequencyKeepsOnlyOfferedChoices) {
    const struct {
        unsigned long given, stored;
    } cases[] = {{1, 1}, {7, 7}, {14, 14}, {30, 30}, {10, 1}, {0, 1}, {31, 1}};
    for (const auto& c : cases) {
        EXPECT_EQ(KxConfig::SetAutomaticUpdateFrequency(c.given), KX_OK);
        EXPECT_EQ(StoredNumber(P, L"ScheduleUpdateFrequency"), c.stored) << c.given;
        unsigned long days = 0;
        EXPECT_EQ(KxConfig::GetAutomaticUpdateFrequency(days), KX_OK);
        EXPECT_EQ(days, c.stored);
    }
}

TEST_F(KxConfigSettingsTest, DefaultsWrittenBackByTheirGetters) {
    EXPECT_EQ(KxConfig::GetRTScanOption(), 1ul);
    EXPECT_EQ(StoredNumber(P, L"RealTimeScanOption"), 1u) << "1 written back";
    EXPECT_EQ(KxConfig::SetRTScanOption(2), KX_OK);
    EXPECT_EQ(KxConfig::GetRTScanOption(), 2ul);

    unsigned long count = kSentinel;
    EXPECT_EQ(KxConfig::GetMessageMaxNumber(count), KX_OK);
    EXPECT_EQ(count, 10ul);
    EXPECT_EQ(StoredNumber(P, L"MaxMessageNumber"), 10u) << "10 written back";
}

TEST_F(KxConfigSettingsTest, ManagementServerDefaults) {
    unsigned long idle = 0;
    EXPECT_EQ(KxConfig::GetMgiUploadIdleTime(idle), KX_E_REGISTRY);
    EXPECT_EQ(idle, 600000ul);
    unsigned long prompt = 0;
    EXPECT_EQ(KxConfig::GetUpdateRecievePrompt(prompt), KX_E_REGISTRY);
    EXPECT_EQ(prompt, 1ul);
    EXPECT_FALSE(RawValueExists(S, L"MgiUploadIdleTime")) << "these defaults are not written";

    EXPECT_EQ(KxConfig::GetMamoHostPort(), 0);
    EXPECT_EQ(KxConfig::SetMamoHostPort(8080), KX_OK);
    EXPECT_EQ(StoredNumber(S, L"HostPort"), 8080u);
    EXPECT_EQ(KxConfig::GetMamoHostPort(), 8080);
    StoreNumber(S, L"HostPort", 0x12345);
    EXPECT_EQ(KxConfig::GetMamoHostPort(), 0x2345) << "the low 16 bits";

    EXPECT_EQ(KxConfig::SetMgiValid(3), KX_OK);
    EXPECT_EQ(StoredNumber(S, L"IsMgiValid"), 3u);
}

TEST_F(KxConfigSettingsTest, ExactlyOneFlags) {
    struct Flag {
        const wchar_t* key;
        const wchar_t* name;
        int (*get)();
        int whenMissing;
    } const flags[] = {
        {S, L"VirusLogUpload", KxConfig::GetMamoSendVirusLog, 1},
        {S, L"PromptSendLog", KxConfig::GetMamoPromptSendLog, 1},
        {S, L"UpdateLogUpload", KxConfig::GetMamoSendUpdateLog, 1},
        {P, L"LockAllOption", KxConfig::GetMamoLockAll, 0},
    };
    for (const Flag& f : flags) {
        const std::string what = testing::PrintToString(std::wstring(f.name));
        EXPECT_EQ(f.get(), f.whenMissing) << what;
        StoreNumber(f.key, f.name, 2);
        EXPECT_EQ(f.get(), 0) << what << ": only exactly 1 means yes";
        StoreNumber(f.key, f.name, 1);
        EXPECT_EQ(f.get(), 1) << what;
    }

    EXPECT_EQ(KxConfig::SetMamoSendVirusLog(9), KX_OK);
    EXPECT_EQ(StoredNumber(S, L"VirusLogUpload"), 1u);
    EXPECT_EQ(KxConfig::SetMamoSendUpdateLog(0), KX_OK);
    EXPECT_EQ(StoredNumber(S, L"UpdateLogUpload"), 0u);
    EXPECT_EQ(KxConfig::SetMamoLockAll(4), KX_OK);
    EXPECT_EQ(StoredNumber(P, L"LockAllOption"), 1u) << "in the product key";
    EXPECT_EQ(KxConfig::SetMamoPromptSendLog(2), KX_OK);
    EXPECT_EQ(StoredNumber(S, L"PromptSendLog"), 2u) << "stored unchanged";
    EXPECT_EQ(KxConfig::GetMamoPromptSendLog(), 0);
}

TEST_F(KxConfigSettingsTest, RunOnceIsBitZeroOfMiscOpt) {
    unsigned long flag = kSentinel;
    EXPECT_EQ(KxConfig::SetRunOnce(1), KX_E_REGISTRY);
    EXPECT_FALSE(RawValueExists(P, L"MiscOpt")) << "a missing MiscOpt is not created";
    EXPECT_EQ(KxConfig::GetRunOnce(flag), KX_E_REGISTRY);
    EXPECT_EQ(flag, kSentinel);

    ASSERT_EQ(KxConfig::SetMiscOpt(0x6), KX_OK);
    EXPECT_EQ(KxConfig::SetRunOnce(1), KX_OK);
    EXPECT_EQ(StoredNumber(P, L"MiscOpt"), 0x7u);
    EXPECT_EQ(KxConfig::GetRunOnce(flag), KX_OK);
    EXPECT_EQ(flag, 1ul);
    EXPECT_EQ(KxConfig::SetRunOnce(0), KX_OK);
    EXPECT_EQ(StoredNumber(P, L"MiscOpt"), 0x6u);
    EXPECT_EQ(KxConfig::GetRunOnce(flag), KX_OK);
    EXPECT_EQ(flag, 0ul);
}

TEST_F(KxConfigSettingsTest, DeletersRemoveOnlyTheirValue) {
    ASSERT_EQ(KxConfig::SetStartupTemp(L"\\Temp\\x"), KX_OK);
    ASSERT_EQ(KxConfig::SetInsertCardTitle(L"Insert card"), KX_OK);
    ASSERT_EQ(KxConfig::SetStartupFlag(1), KX_OK);

    EXPECT_EQ(KxConfig::DelStartupTemp(), KX_OK);
    EXPECT_FALSE(RawValueExists(P, L"StartupTemp"));
    EXPECT_TRUE(RawValueExists(P, L"KillWindowTitle"));
    EXPECT_EQ(KxConfig::DelStartupTemp(), KX_E_REGISTRY) << "already gone";
    EXPECT_EQ(KxConfig::DelInsertCardTitle(), KX_OK);
    EXPECT_EQ(KxConfig::DelStartupFlag(), KX_OK);
    EXPECT_FALSE(RawValueExists(P, L"SystemStartupFlag"));
}

TEST_F(KxConfigSettingsTest, WriteOnlySettingsLandUnderTheirNames) {
    wchar_t pattern[] = L"pattern.zip";
    EXPECT_EQ(KxConfig::SetLastPattern(pattern), KX_OK);
    EXPECT_EQ(StoredText(P, L"LastPatternFilename"), L"pattern.zip");
    EXPECT_EQ(KxConfig::SetDeviceType(2), KX_OK);
    EXPECT_EQ(StoredNumber(P, L"DeviceType"), 2u);
}

TEST_F(KxConfigSettingsTest, DigestIsReadIntoSixteenBytes) {
    char digest[17];
    std::memset(digest, 0x5A, sizeof digest);
    EXPECT_EQ(KxConfig::GetMD5(digest), KX_E_REGISTRY);
    EXPECT_EQ(digest[0], 0x5A);
    const unsigned char stored[16] = {0xd4, 0x1d, 0x8c, 0xd9, 0x8f, 0x00, 0xb2, 0x04,
                                      0xe9, 0x80, 0x09, 0x98, 0xec, 0xf8, 0x42, 0x7e};
    RawSetValue(P, L"RepMD5", REG_BINARY, stored, 16);
    EXPECT_EQ(KxConfig::GetMD5(digest), KX_OK);
    EXPECT_EQ(std::memcmp(digest, stored, 16), 0);
    EXPECT_EQ(digest[16], 0x5A) << "canary after the digest";
}

TEST_F(KxConfigSettingsTest, NarrowHostName) {
    EXPECT_EQ(KxConfig::GetMamoHostName(static_cast<char*>(nullptr), 16), -1);
    char host[16];
    EXPECT_EQ(KxConfig::GetMamoHostName(host, 0), -1);

    std::memset(host, 'x', sizeof host);
    EXPECT_EQ(KxConfig::GetMamoHostName(host, 16), KX_E_REGISTRY);
    for (char c : host) EXPECT_EQ(c, '\0') << "zero-filled even when nothing is stored";

    ASSERT_EQ(KxConfig::SetMamoHostName(L"mgmt.example"), KX_OK);
    std::memset(host, 'x', sizeof host);
    EXPECT_EQ(KxConfig::GetMamoHostName(host, 16), KX_OK);
    EXPECT_STREQ(host, "mgmt.example");
    EXPECT_EQ(host[15], '\0');

    char tight[8];
    std::memset(tight, 'x', sizeof tight);
    EXPECT_EQ(KxConfig::GetMamoHostName(tight, 8), KX_E_REGISTRY) << "does not fit";
    for (char c : tight) EXPECT_EQ(c, '\0');
}

}  // namespace
