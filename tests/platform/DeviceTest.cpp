// Device identification on staged handsets: the device-type table, the hardware identifier, the
// phone radio (with its serial-number normalisation) and the answers built on them.
#include <kxcommon/HelpAPI.h>
#include <kxcommon/KxConfig.h>

#include "DeviceFixture.h"
#include "Profile.h"

#include <wince/wince.h>

#include <cstring>
#include <sstream>
#include <string>

namespace {

namespace p = wince::profile;
using kxtest::StageHandset;
using kxtest::StageProfileNumber;

class DeviceTest : public kxtest::DeviceTest {};

// The platform-type texts come from the profile: "PocketPC" matching, and a type of 259
// characters fitting the library's buffer of 260, prove they are read without their terminator.
TEST_F(DeviceTest, DeviceTypeTable) {
    const std::wstring longest(259, L'x');
    struct Row {
        DWORD id, major, minor;
        const wchar_t* type;  // null: the query is refused with `refusal`
        DWORD refusal;
        unsigned long expected;
    } const rows[] = {
        {2, 6, 1, L"PocketPC", 0, 0x04000400},  // a desktop Windows is not CE
        {3, 5, 0, L"Jornada", 0, 0x03000300},
        {3, 3, 0, L"PocketPC", 0, 0x02010200},
        {3, 3, 1, L"PocketPC", 0, 0x02020200},
        {3, 3, 2, L"PocketPC", 0, 0x00000200},
        {3, 4, 20, L"PocketPC", 0, 0x02030200},
        {3, 5, 1, L"pocketpc", 0, 0x02040200},
        {3, 5, 2, L"PocketPC", 0, 0x02040200},
        {3, 6, 0, L"PocketPC", 0, 0x00000200},
        {3, 3, 0, L"Smartphone", 0, 0x01010100},
        {3, 4, 21, L"SmartPhone", 0, 0x01020100},
        {3, 5, 2, L"Smartphone", 0, 0x01030100},
        {3, 7, 0, L"Smartphone", 0, 0x00000100},
        {3, 4, 21, nullptr, ERROR_ACCESS_DENIED, 0x01020100},
        {3, 5, 1, nullptr, ERROR_ACCESS_DENIED, 0x01030100},
        {3, 5, 1, nullptr, ERROR_INVALID_PARAMETER, 0x00000000},
        {3, 5, 0, longest.c_str(), 0, 0x03000300},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.id << " " << r.major << "." << r.minor << " "
                                        << (r.type ? r.type : L"refused"));
        kxtest::ResetDevice();
        StageProfileNumber(p::kPlatformId, r.id);
        StageProfileNumber(p::kMajorVersion, r.major);
        StageProfileNumber(p::kMinorVersion, r.minor);
        if (r.type != nullptr) kxtest::StageProfileText(p::kPlatformType, r.type);
        if (r.type == nullptr) StageProfileNumber(p::kPlatformTypeError, r.refusal);
        EXPECT_EQ(HelpAPI::GetDeviceType(), r.expected);
        EXPECT_EQ(HelpAPI::IsWM5(), r.major >= 5 ? 1 : 0);  // CE 5.x is Windows Mobile 5
    }
}

// The identifier is the preset part then the platform part, cut at 16 bytes, zero-filled.
TEST_F(DeviceTest, DeviceIdJoinsPresetAndPlatformParts) {
    struct Row {
        const char* name;
        std::string preset, platform;
        bool ok;
        std::string id;  // the 16 bytes and 4 canary bytes after them
    } const rows[] = {
        {"desktop", "", "", false, std::string(16, '\0') + "\xCC\xCC\xCC\xCC"},
        {"short", "\x01\x02\x03\x04\x05", "\xA1\xA2\xA3", true,
         "\x01\x02\x03\x04\x05\xA1\xA2\xA3" + std::string(8, '\0') + "\xCC\xCC\xCC\xCC"},
        {"cut", std::string(10, '\x11'), std::string(10, '\x22'), true,
         std::string(10, '\x11') + std::string(6, '\x22') + "\xCC\xCC\xCC\xCC"},
    };
    EXPECT_FALSE(HelpAPI::GetDeviceID(nullptr));
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        kxtest::ResetDevice();
        if (!r.preset.empty()) kxtest::StageProfileBytes(p::kPresetId, r.preset);
        if (!r.platform.empty()) kxtest::StageProfileBytes(p::kPlatformIdBytes, r.platform);
        char buffer[20];
        std::memset(buffer, 0xCC, sizeof buffer);
        EXPECT_EQ(HelpAPI::GetDeviceID(reinterpret_cast<GUID*>(buffer)), r.ok);
        EXPECT_EQ(std::string(buffer, 20), r.id);
    }
}

// The radio's answer as one text; fields not read keep their initial values ("kept").
std::wstring Radio() {
    RadioInfo i;
    i.manufacturer = L"kept";
    HelpAPI::RadioVersionInfoCollect(::GetModuleHandleW(nullptr), i);
    std::wostringstream s;
    s << i.hasPhone << i.radioOff << " " << i.systemType << " " << i.registrationStatus << " "
      << i.equipmentState << " " << i.radioSupport << "|" << i.manufacturer << "|" << i.model << "|"
      << i.revision << "|" << i.reportedSerialNumber << "|" << i.serialNumber << "|"
      << i.subscriberNumber << "|" << i.operatorLongName << "|" << i.operatorShortName << "|"
      << i.operatorNumericName;
    return s.str();
}

// Rows: a handset (null: only a cellular line), one number changed on it, the radio's answer. Each
// path out of the query must leave no telephony application or line open.
struct RadioRow {
    const char* name;
    const wchar_t* handset;
    const wchar_t* value;  // a profile number changed after staging, or null
    DWORD number;
    const wchar_t* answer;
};

void Stage(const RadioRow& r) {
    kxtest::ResetDevice();
    if (r.handset != nullptr) StageHandset(r.handset);
    if (r.handset == nullptr) kxtest::StageProfileList(p::kLines, {CELLTSP_LINENAME_STRING});
    if (r.value != nullptr) StageProfileNumber(r.value, r.number);
}

const RadioRow kRadioRows[] = {
    {"gsm", L"wm5-gsm", nullptr, 0,
     L"10 8 5 5 2|Norvik|NV-5100|02.47.90|IMEI 35-491600-214571-3|354916002145713|"
     L"+447700900123|Tellmark UK|Tellmark|23455"},
    // Registration is asked on GSM and GPRS only; an ESN is shown in decimal.
    {"cdma", L"wm6-cdma", p::kRegisterStatus, 7,
     L"10 4 0 5 2|Kestrel|KS-620|1.12.003|ESN:9F2A3C1B|000002670345243|5550142|||"},
    {"registration unreadable", nullptr, p::kSystemType, LINESYSTEMTYPE_GSM,
     L"10 8 0 5 2|kept||||||||"},
    {"radio off", L"sp2003-off", nullptr, 0, L"11 0 0 1 1|kept||||||||"},
    {"no cellular line", L"wm2003-pda", nullptr, 0, L"00 0 0 0 0|kept||||||||"},
    // Telephony that cannot start counts as a phone.
    {"no telephony", L"wm5-notapi", nullptr, 0, L"10 0 0 0 0|kept||||||||"},
};

TEST_F(DeviceTest, RadioAnswers) {
    for (const RadioRow& r : kRadioRows) {
        SCOPED_TRACE(r.name);
        Stage(r);
        EXPECT_EQ(Radio(), r.answer);
    }
}

TEST_F(DeviceTest, RadioQueryReleasesTelephonyOnEveryPath) {
    for (const RadioRow& r : kRadioRows) {
        SCOPED_TRACE(r.name);
        Stage(r);
        Radio();
        EXPECT_EQ(kxtest::ProfileNumber(p::kTelephonyHandles, 0), 0u);
    }
}

TEST_F(DeviceTest, SerialNumberNormalisation) {
    struct Row {
        DWORD systemType;
        const wchar_t* reported;
        const wchar_t* normalised;
    } const rows[] = {
        {LINESYSTEMTYPE_GSM, L"IMEI: 35-209900-176148-1", L"352099001761481"},
        {LINESYSTEMTYPE_GPRS, L"SN 0123456789ABCDEFGH", L"0123456789ABCDE"},
        {LINESYSTEMTYPE_GSM, L"no digits here", L""},
        {LINESYSTEMTYPE_1XRTTPACKET, L"ESN: 0FF", L"000000000000255"},
        {LINESYSTEMTYPE_IS95A, L"12", L"000000000000018"},
        {LINESYSTEMTYPE_NONE, L"x 1-0", L"000000000000016"},
        {LINESYSTEMTYPE_1XRTTPACKET, L"A1 2345 6789 ABCDEF0", L"81985529216486895"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.reported);
        kxtest::ResetDevice();
        kxtest::StageProfileList(p::kLines, {CELLTSP_LINENAME_STRING});
        StageProfileNumber(p::kSystemType, r.systemType);
        StageProfileNumber(p::kRegisterStatus, LINEREGSTATUS_HOME);
        kxtest::StageProfileText(p::kSerialNumber, r.reported);
        RadioInfo info;
        HelpAPI::RadioVersionInfoCollect(nullptr, info);
        EXPECT_EQ(info.serialNumber, r.normalised);
    }
}

// A Smartphone is never a PDA, phone or not; a desktop has telephony but no cellular line.
TEST_F(DeviceTest, PhonesAndPdas) {
    struct Row {
        const wchar_t* handset;  // null: the desktop
        bool irdaOnly;           // the lines replaced by an infrared modem
        int phone;
        bool pda;
    } const rows[] = {
        {L"wm2003-pda", false, 0, true},
        {L"wm5-notapi", false, 1, false},
        {L"wm6-cdma", true, 0, false},
        {nullptr, false, 0, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << (r.handset ? r.handset : L"desktop"));
        kxtest::ResetDevice();
        if (r.handset != nullptr) StageHandset(r.handset);
        if (r.irdaOnly) kxtest::StageProfileList(p::kLines, {L"IrDA Modem"});
        EXPECT_EQ(HelpAPI::HasPhone(), r.phone);
        EXPECT_EQ(IsPDA(), r.pda);
    }
}

TEST_F(DeviceTest, LastLineOfTheNameWins) {
    kxtest::StageProfileList(p::kLines, {CELLTSP_LINENAME_STRING, L"IrDA Modem",
                                         CELLTSP_LINENAME_STRING, L"cellular line"});
    HLINEAPP app = nullptr;
    DWORD count = 0, version = 0x00020000;
    ASSERT_EQ(lineInitializeEx(&app, nullptr, nullptr, L"test", &count, &version, nullptr), 0);
    const unsigned long kNone = 0xFFFFFFFF,
                        kCell = LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_DATAMODEM;
    struct Row {
        const char* name;
        DWORD count, version;
        const wchar_t* line;
        unsigned long device, modes;
    } const rows[] = {
        {"last of two", 4, 0x00020000, CELLTSP_LINENAME_STRING, 2, kCell},
        {"whole name only", 4, 0x00020000, L"Cellular", kNone, 0},
        {"version not spoken", 4, 0x00030000, CELLTSP_LINENAME_STRING, kNone, 0},
        {"no lines", 0, 0x00020000, CELLTSP_LINENAME_STRING, kNone, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        unsigned long modes = 0xDEAD;
        LINEEXTENSIONID ext{1, 2, 3, 4};
        EXPECT_EQ(HelpAPI::GetTSPLineDeviceID(app, r.count, r.version, r.line, modes, ext),
                  r.device);
        EXPECT_EQ(modes, r.modes);
        EXPECT_EQ(ext.dwExtensionID3 != 4, r.device != kNone) << "extension set when found";
    }
    EXPECT_EQ(lineShutdown(app), 0);
}

TEST_F(DeviceTest, NotificationTypeFollowsRealTimeScanning) {
    EXPECT_EQ(HelpAPI::GetNotificationType(true), 2);
    ASSERT_EQ(KxConfig::SetBeRealTimeScan(1), 0);
    EXPECT_EQ(HelpAPI::GetNotificationType(false), 1);
    ASSERT_EQ(KxConfig::SetBeRealTimeScan(0), 0);
    EXPECT_EQ(HelpAPI::GetNotificationType(false), 2);
}

}  // namespace
