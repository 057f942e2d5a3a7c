// Device identification on staged handsets: the device-type table, the hardware identifier, the
// phone radio (with its serial-number normalisation) and the answers built on them.
#include <kxcommon/HelpAPI.h>

#include "DeviceFixture.h"
#include "Profile.h"

#include <sstream>

namespace p = wince::profile;
using kxtest::StageProfileNumber;

class DeviceTest : public kxtest::DeviceTest {};

// The platform-type texts come from the profile: "PocketPC" matching, and a type of 259
// characters fitting the library's buffer of 260, prove they are read without their terminator.
// A refused query is taken for a Smartphone when access was denied.
TEST_F(DeviceTest, DeviceTypeTable) {
    const std::wstring longest(259, L'x');
    const struct Row {
        DWORD id, major, minor;
        const wchar_t* type;  // null: the query is refused with `refusal`
        DWORD refusal;
        unsigned long expected;
    } rows[] = {
        {2, 6, 1, L"PocketPC", 0, 0x04000400},  // a desktop Windows is not CE
        {3, 5, 0, L"Jornada", 0, 0x03000300},
        {3, 3, 0, L"PocketPC", 0, 0x02010200},
        {3, 3, 2, L"PocketPC", 0, 0x00000200},  // a version it does not know, minor and major
        {3, 6, 0, L"PocketPC", 0, 0x00000200},
        {3, 4, 20, L"PocketPC", 0, 0x02030200},
        {3, 5, 1, L"pocketpc", 0, 0x02040200},
        {3, 4, 21, L"SmartPhone", 0, 0x01020100},
        {3, 7, 0, L"Smartphone", 0, 0x00000100},
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
    const std::string canary = "\xCC\xCC\xCC\xCC";
    const struct Row {
        std::string preset, platform;
        bool ok;
        std::string id;  // the 16 bytes and 4 canary bytes after them
    } rows[] = {
        {"", "", false, std::string(16, '\0') + canary},  // the desktop
        {"\x01\x02\x03\x04\x05", "\xA1\xA2\xA3", true,
         "\x01\x02\x03\x04\x05\xA1\xA2\xA3" + std::string(8, '\0') + canary},
        {std::string(10, '\x11'), std::string(10, '\x22'), true,
         std::string(10, '\x11') + std::string(6, '\x22') + canary},
    };
    EXPECT_FALSE(HelpAPI::GetDeviceID(nullptr));
    for (const Row& r : rows) {
        kxtest::ResetDevice();
        if (!r.preset.empty()) kxtest::StageProfileBytes(p::kPresetId, r.preset);
        if (!r.platform.empty()) kxtest::StageProfileBytes(p::kPlatformIdBytes, r.platform);
        std::string buffer(20, '\xCC');
        EXPECT_EQ(HelpAPI::GetDeviceID(reinterpret_cast<GUID*>(&buffer[0])), r.ok);
        EXPECT_EQ(buffer, r.id);
    }
}

// The radio's answer as one text; fields not read keep their initial values ("kept"). Each path
// out of the query must leave no telephony application or line open.
static std::wstring Radio() {
    RadioInfo i;
    i.manufacturer = L"kept";
    HelpAPI::RadioVersionInfoCollect(::GetModuleHandleW(nullptr), i);
    std::wostringstream s;
    s << i.hasPhone << i.radioOff << " " << i.systemType << " " << i.registrationStatus << " "
      << i.equipmentState << " " << i.radioSupport << "|" << i.manufacturer << "|" << i.model << "|"
      << i.revision << "|" << i.reportedSerialNumber << "|" << i.serialNumber << "|"
      << i.subscriberNumber << "|" << i.operatorLongName << "|" << i.operatorShortName << "|"
      << i.operatorNumericName << "|open " << kxtest::ProfileNumber(p::kTelephonyHandles, 0);
    return s.str();
}

// A handset (null: only a cellular line), one number changed on it, the radio's answer.
TEST_F(DeviceTest, RadioAnswers) {
    const struct Row {
        const wchar_t* handset;
        const wchar_t* value;  // a profile number changed after staging, or null
        DWORD number;
        const wchar_t* answer;
    } rows[] = {
        {L"wm5-gsm", nullptr, 0,
         L"10 8 5 5 2|Norvik|NV-5100|02.47.90|IMEI 35-491600-214571-3|354916002145713|"
         L"+447700900123|Tellmark UK|Tellmark|23455|open 0"},
        // Registration is asked on GSM and GPRS only; an ESN is shown in decimal.
        {L"wm6-cdma", p::kRegisterStatus, 7,
         L"10 4 0 5 2|Kestrel|KS-620|1.12.003|ESN:9F2A3C1B|000002670345243|5550142||||open 0"},
        {nullptr, p::kSystemType, LINESYSTEMTYPE_GSM, L"10 8 0 5 2|kept|||||||||open 0"},
        {L"sp2003-off", nullptr, 0, L"11 0 0 1 1|kept|||||||||open 0"},
        {L"wm2003-pda", nullptr, 0, L"00 0 0 0 0|kept|||||||||open 0"},  // no cellular line
        {L"wm5-notapi", nullptr, 0, L"10 0 0 0 0|kept|||||||||open 0"},  // no telephony: a phone
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(r.handset ? r.handset : L"line only")));
        kxtest::ResetDevice();
        if (r.handset != nullptr) kxtest::StageHandset(r.handset);
        if (r.handset == nullptr) kxtest::StageProfileList(p::kLines, {CELLTSP_LINENAME_STRING});
        if (r.value != nullptr) StageProfileNumber(r.value, r.number);
        EXPECT_EQ(Radio(), r.answer);
    }
}

// GSM and GPRS keep the first 15 digits; the others read hexadecimal, shown in decimal.
TEST_F(DeviceTest, SerialNumberNormalisation) {
    const struct Row {
        DWORD systemType;
        const wchar_t *reported, *normalised;
    } rows[] = {
        {LINESYSTEMTYPE_GSM, L"IMEI: 35-209900-176148-1", L"352099001761481"},
        {LINESYSTEMTYPE_GPRS, L"SN 0123456789ABCDEFGH", L"0123456789ABCDE"},
        {LINESYSTEMTYPE_GSM, L"no digits here", L""},
        {LINESYSTEMTYPE_1XRTTPACKET, L"ESN: 0FF", L"000000000000255"},
        {LINESYSTEMTYPE_NONE, L"x 1-0", L"000000000000016"},
        {LINESYSTEMTYPE_1XRTTPACKET, L"A1 2345 6789 ABCDEF0", L"81985529216486895"},
    };
    for (const Row& r : rows) {
        kxtest::ResetDevice();
        kxtest::StageProfileList(p::kLines, {CELLTSP_LINENAME_STRING});
        StageProfileNumber(p::kSystemType, r.systemType);
        StageProfileNumber(p::kRegisterStatus, LINEREGSTATUS_HOME);
        kxtest::StageProfileText(p::kSerialNumber, r.reported);
        RadioInfo info;
        HelpAPI::RadioVersionInfoCollect(nullptr, info);
        EXPECT_EQ(info.serialNumber, r.normalised) << r.reported;
    }
}

// A Smartphone is never a PDA, phone or not; a desktop has telephony but no cellular line.
TEST_F(DeviceTest, PhonesAndPdas) {
    const struct Row {
        const wchar_t* handset;  // null: the desktop
        bool irdaOnly;           // the lines replaced by an infrared modem
        int phone;
        bool pda;
    } rows[] = {
        {L"wm2003-pda", false, 0, true},
        {L"wm5-notapi", false, 1, false},
        {L"wm6-cdma", true, 0, false},
        {nullptr, false, 0, true},
    };
    for (const Row& r : rows) {
        kxtest::ResetDevice();
        if (r.handset != nullptr) kxtest::StageHandset(r.handset);
        if (r.irdaOnly) kxtest::StageProfileList(p::kLines, {L"IrDA Modem"});
        EXPECT_EQ(HelpAPI::HasPhone() * 10 + IsPDA(), r.phone * 10 + r.pda) << r.handset;
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
    const struct Row {
        const char* name;
        DWORD count, version;
        const wchar_t* line;
        unsigned long device, modes;
    } rows[] = {
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
