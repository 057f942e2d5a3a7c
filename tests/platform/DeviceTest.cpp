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
        DWORD id, major, minor, refusal;  // refusal: the query is refused with it
        const wchar_t* type;
        unsigned long expected;
    } rows[] = {
        {2, 6, 1, 0, L"PocketPC", 0x04000400},  // a desktop Windows is not CE
        {3, 3, 0, 0, L"PocketPC", 0x02010200},
        {3, 3, 2, 0, L"PocketPC", 0x00000200},  // a version it does not know, minor and major
        {3, 6, 0, 0, L"PocketPC", 0x00000200},
        {3, 4, 20, 0, L"PocketPC", 0x02030200},
        {3, 5, 1, 0, L"pocketpc", 0x02040200},
        {3, 4, 21, 0, L"SmartPhone", 0x01020100},
        {3, 7, 0, 0, L"Smartphone", 0x00000100},
        {3, 5, 1, ERROR_ACCESS_DENIED, nullptr, 0x01030100},
        {3, 5, 1, ERROR_INVALID_PARAMETER, nullptr, 0x00000000},
        {3, 5, 0, 0, longest.c_str(), 0x03000300},
        {3, 5, 1, 0, L"Pocket\u00ADPC", 0x03000300},  // no collation that skips a soft hyphen
    };
    for (const Row& r : rows) {
        kxtest::ResetDevice();
        StageProfileNumber(p::kPlatformId, r.id);
        StageProfileNumber(p::kMajorVersion, r.major);
        StageProfileNumber(p::kMinorVersion, r.minor);
        if (r.type != nullptr) kxtest::StageProfileText(p::kPlatformType, r.type);
        if (r.refusal != 0) StageProfileNumber(p::kPlatformTypeError, r.refusal);
        // Type words have their lowest bit clear: it holds IsWM5 (CE 5.x is Windows Mobile 5).
        EXPECT_EQ(HelpAPI::GetDeviceType() | HelpAPI::IsWM5(), r.expected | (r.major >= 5))
            << r.major << "." << r.minor << " " << (r.type ? r.type : L"-");
    }
}

// The identifier is the preset part then the platform part, cut at 16 bytes, zero-filled; the
// four bytes after it are left.
TEST_F(DeviceTest, DeviceIdJoinsPresetAndPlatformParts) {
    const std::string five = "\x01\x02\x03\x04\x05", ten(10, '\x11'), other(10, '\x22');
    const struct Row {
        std::string preset, platform, id;  // id: the answer, then the 16 bytes
    } rows[] = {
        {"", "", "0" + std::string(16, '\0')},  // the desktop
        {five, "\xA1\xA2\xA3", "1" + five + "\xA1\xA2\xA3" + std::string(8, '\0')},
        {ten, other, "1" + ten + other.substr(0, 6)},
    };
    EXPECT_FALSE(HelpAPI::GetDeviceID(nullptr));
    for (const Row& r : rows) {
        kxtest::ResetDevice();
        if (!r.preset.empty()) kxtest::StageProfileBytes(p::kPresetId, r.preset);
        if (!r.platform.empty()) kxtest::StageProfileBytes(p::kPlatformIdBytes, r.platform);
        std::string buffer(20, '\xCC');
        const bool ok = HelpAPI::GetDeviceID(reinterpret_cast<GUID*>(&buffer[0]));
        EXPECT_EQ(std::to_string(ok) + buffer, r.id + "\xCC\xCC\xCC\xCC");
    }
}

// The radio's answer as one text; fields not read keep their initial values ("kept"). Then
// HasPhone and IsPDA, and each path out of the queries must leave no telephony application or
// line open.
static std::wstring Radio() {
    RadioInfo i;
    i.manufacturer = L"kept";
    HelpAPI::RadioVersionInfoCollect(::GetModuleHandleW(nullptr), i);
    std::wostringstream s;
    s << i.hasPhone << i.radioOff << " " << i.systemType << " " << i.registrationStatus << " "
      << i.equipmentState << " " << i.radioSupport << "|" << i.manufacturer << "|" << i.model << "|"
      << i.revision << "|" << i.reportedSerialNumber << "|" << i.serialNumber << "|"
      << i.subscriberNumber << "|" << i.operatorLongName << "|" << i.operatorShortName << "|"
      << i.operatorNumericName << "|" << HelpAPI::HasPhone() << IsPDA() << "|open "
      << kxtest::ProfileNumber(p::kTelephonyHandles, 0);
    return s.str();
}

// A handset (null: the desktop), its lines replaced, one number changed on it, the answers. A
// Smartphone is never a PDA, phone or not; a desktop has telephony but no cellular line. A line
// that cannot tell its capabilities is passed over, and the search goes on to the next.
TEST_F(DeviceTest, RadioAnswers) {
    const struct Row {
        const wchar_t *handset, *line;  // line: the only line staged, or null
        const wchar_t* value;           // a profile number changed after staging, or null
        DWORD number;
        const wchar_t* answer;
        // How the first line answers for its capabilities (null: as any line does).
        const wchar_t* firstLineCaps = nullptr;
    } rows[] = {
        {L"wm5-gsm", nullptr, nullptr, 0,
         L"10 8 5 5 2|Norvik|NV-5100|02.47.90|IMEI 35-491600-214571-3|354916002145713|"
         L"+447700900123|Tellmark UK|Tellmark|23455|10|open 0"},
        // The cellular line is the second one of this handset.
        {L"wm5-gsm", nullptr, nullptr, 0,
         L"10 8 5 5 2|Norvik|NV-5100|02.47.90|IMEI 35-491600-214571-3|354916002145713|"
         L"+447700900123|Tellmark UK|Tellmark|23455|10|open 0",
         p::kCapsNoMemory},
        {L"wm5-gsm", nullptr, nullptr, 0,
         L"10 8 5 5 2|Norvik|NV-5100|02.47.90|IMEI 35-491600-214571-3|354916002145713|"
         L"+447700900123|Tellmark UK|Tellmark|23455|10|open 0",
         p::kCapsHuge},
        // Registration is asked on GSM and GPRS only; an ESN is shown in decimal.
        {L"wm6-cdma", nullptr, p::kRegisterStatus, 7,
         L"10 4 0 5 2|Kestrel|KS-620|1.12.003|ESN:9F2A3C1B|000002670345243|5550142||||10|open 0"},
        {nullptr, CELLTSP_LINENAME_STRING, p::kSystemType, LINESYSTEMTYPE_GSM,
         L"10 8 0 5 2|kept|||||||||10|open 0"},
        {L"sp2003-off", nullptr, nullptr, 0, L"11 0 0 1 1|kept|||||||||10|open 0"},
        {L"wm2003-pda", nullptr, nullptr, 0, L"00 0 0 0 0|kept|||||||||01|open 0"},  // no cellular
        {L"wm5-notapi", nullptr, nullptr, 0, L"10 0 0 0 0|kept|||||||||10|open 0"},  // no telephony
        {L"wm6-cdma", L"IrDA Modem", nullptr, 0, L"00 0 0 0 0|kept|||||||||00|open 0"},
        {nullptr, nullptr, nullptr, 0, L"00 0 0 0 0|kept|||||||||01|open 0"},
    };
    for (const Row& r : rows) {
        kxtest::ResetDevice();
        if (r.handset != nullptr) kxtest::StageHandset(r.handset);
        if (r.line != nullptr) kxtest::StageProfileList(p::kLines, {r.line});
        if (r.value != nullptr) StageProfileNumber(r.value, r.number);
        if (r.firstLineCaps != nullptr)
            kxtest::StageProfileList(p::kLineCapsAnswers, {r.firstLineCaps});
        EXPECT_EQ(Radio(), r.answer) << (r.handset ? r.handset : L"desktop") << " " << !r.line;
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
    kxtest::StageHandset(L"wm5-gsm");  // registered at home
    for (const Row& r : rows) {
        StageProfileNumber(p::kSystemType, r.systemType);
        kxtest::StageProfileText(p::kSerialNumber, r.reported);
        RadioInfo info;
        HelpAPI::RadioVersionInfoCollect(nullptr, info);
        EXPECT_EQ(info.serialNumber, r.normalised) << r.reported;
    }
}

// The device, its media modes (20: voice and data modem) and whether the extension was set.
TEST_F(DeviceTest, LastLineOfTheNameWins) {
    kxtest::StageProfileList(p::kLines, {CELLTSP_LINENAME_STRING, L"IrDA Modem",
                                         CELLTSP_LINENAME_STRING, L"cellular line"});
    HLINEAPP app = nullptr;
    DWORD count = 0, version = 0x00020000;
    ASSERT_EQ(lineInitializeEx(&app, nullptr, nullptr, L"test", &count, &version, nullptr), 0);
    const struct Row {
        const char* name;
        DWORD count, version;
        const wchar_t* line;
        const char* expected;
    } rows[] = {
        {"last of two", 4, 0x00020000, CELLTSP_LINENAME_STRING, "2 20 set"},
        {"whole name only", 4, 0x00020000, L"Cellular", "4294967295 0 kept"},
        {"version not spoken", 4, 0x00030000, CELLTSP_LINENAME_STRING, "4294967295 0 kept"},
        {"no lines", 0, 0x00020000, CELLTSP_LINENAME_STRING, "4294967295 0 kept"},
    };
    for (const Row& r : rows) {
        unsigned long modes = 0xDEAD;
        LINEEXTENSIONID ext{1, 2, 3, 4};
        const auto id = HelpAPI::GetTSPLineDeviceID(app, r.count, r.version, r.line, modes, ext);
        const char* set = ext.dwExtensionID3 != 4 ? " set" : " kept";
        EXPECT_EQ(std::to_string(id) + " " + std::to_string(modes) + set, r.expected) << r.name;
    }
    EXPECT_EQ(lineShutdown(app), 0);
}

TEST_F(DeviceTest, NotificationTypeFollowsRealTimeScanning) {
    EXPECT_EQ(HelpAPI::GetNotificationType(true), 2);
    for (int on : {1, 0})
        EXPECT_EQ(KxConfig::SetBeRealTimeScan(on) ? -1 : HelpAPI::GetNotificationType(false),
                  2 - on);
}
