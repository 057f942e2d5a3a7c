// Device identification on staged handsets: the device-type table, the hardware identifier, the
// phone radio (with its serial-number normalisation) and the answers built on them.
#include <kxcommon/HelpAPI.h>
#include <kxcommon/KxConfig.h>

#include "DeviceFixture.h"
#include "Profile.h"

#include <wince/wince.h>

#include <cstring>
#include <string>

namespace {

namespace p = wince::profile;

class DeviceTest : public kxtest::DeviceTest {};

// One row of the device-type table: what the handset reports, what the library makes of it.
struct TypeCase {
    DWORD platformId;
    DWORD major, minor;
    const wchar_t* platformType;  // null: the query is refused with `refusal`
    DWORD refusal;
    unsigned long expected;
};

TEST_F(DeviceTest, EveryRowOfTheDeviceTypeTable) {
    const TypeCase cases[] = {
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
    };
    for (const TypeCase& c : cases) {
        kxtest::ResetDevice();
        kxtest::StageProfileNumber(p::kPlatformId, c.platformId);
        kxtest::StageProfileNumber(p::kMajorVersion, c.major);
        kxtest::StageProfileNumber(p::kMinorVersion, c.minor);
        if (c.platformType != nullptr)
            kxtest::StageProfileText(p::kPlatformType, c.platformType);
        else
            kxtest::StageProfileNumber(p::kPlatformTypeError, c.refusal);
        EXPECT_EQ(HelpAPI::GetDeviceType(), c.expected)
            << "platform " << c.platformId << ", version " << c.major << "." << c.minor
            << ", refusal " << c.refusal;
    }
}

TEST_F(DeviceTest, NamedHandsetsAndTheReleaseThatMovedTheKeys) {
    const struct {
        const wchar_t* handset;
        unsigned long type;
        int wm5;
    } cases[] = {
        {L"wm5-gsm", 0x02040200, 1},
        {L"wm6-cdma", 0x01030100, 1},
        {L"wm2003-pda", 0x02030200, 0},
        {L"sp2003-off", 0x01020100, 0},
    };
    for (const auto& c : cases) {
        kxtest::StageHandset(c.handset);
        EXPECT_EQ(HelpAPI::GetDeviceType(), c.type);
        EXPECT_EQ(HelpAPI::IsWM5(), c.wm5);
    }
}

TEST_F(DeviceTest, DeviceIdJoinsPresetAndPlatformParts) {
    EXPECT_FALSE(HelpAPI::GetDeviceID(nullptr));
    GUID id;
    std::memset(&id, 0xAB, sizeof id);
    EXPECT_FALSE(HelpAPI::GetDeviceID(&id)) << "a desktop has no device identifier";

    kxtest::StageProfileBytes(p::kPresetId, std::string("\x01\x02\x03\x04\x05", 5));
    kxtest::StageProfileBytes(p::kPlatformIdBytes, std::string("\xA1\xA2\xA3", 3));
    ASSERT_TRUE(HelpAPI::GetDeviceID(&id));
    const unsigned char expected[16] = {1, 2, 3, 4, 5, 0xA1, 0xA2, 0xA3};
    EXPECT_EQ(std::memcmp(&id, expected, 16), 0) << "the rest is zeroed";

    // Parts longer than 16 bytes together are cut; nothing is written past the output.
    kxtest::StageProfileBytes(p::kPresetId, std::string(10, '\x11'));
    kxtest::StageProfileBytes(p::kPlatformIdBytes, std::string(10, '\x22'));
    unsigned char buffer[20];
    std::memset(buffer, 0xCC, sizeof buffer);
    ASSERT_TRUE(HelpAPI::GetDeviceID(reinterpret_cast<GUID*>(buffer)));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 16),
              std::string(10, '\x11') + std::string(6, '\x22'));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer) + 16, 4), std::string(4, '\xCC'));
}

TEST_F(DeviceTest, KernelReportsTheNeededSizeFirst) {
    kxtest::StageHandset(L"wm5-gsm");
    DEVICE_ID probe{};
    probe.dwSize = sizeof probe;
    ASSERT_FALSE(
        KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, &probe, sizeof probe, nullptr));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(probe.dwSize, 36u) << "20-byte header, 8 preset and 8 platform bytes";
    EXPECT_FALSE(KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, &probe, 8, nullptr))
        << "a record shorter than its header is refused";
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(
        KernelIoControl(IOCTL_HAL_GET_DEVICEID + 4, nullptr, 0, &probe, sizeof probe, nullptr));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}

TEST_F(DeviceTest, RadioOfAGsmHandset) {
    kxtest::StageHandset(L"wm5-gsm");
    RadioInfo info;
    HelpAPI::RadioVersionInfoCollect(::GetModuleHandleW(nullptr), info);
    EXPECT_EQ(info.hasPhone, 1);
    EXPECT_EQ(info.radioOff, 0);
    EXPECT_EQ(info.manufacturer, L"Norvik");
    EXPECT_EQ(info.model, L"NV-5100");
    EXPECT_EQ(info.revision, L"02.47.90");
    EXPECT_EQ(info.reportedSerialNumber, L"IMEI 35-491600-214571-3");
    EXPECT_EQ(info.serialNumber, L"354916002145713");
    EXPECT_EQ(info.subscriberNumber, L"+447700900123");
    EXPECT_EQ(info.systemType, static_cast<unsigned long>(LINESYSTEMTYPE_GSM));
    EXPECT_EQ(info.registrationStatus, static_cast<unsigned long>(LINEREGSTATUS_HOME));
    EXPECT_EQ(info.equipmentState, static_cast<unsigned long>(LINEEQUIPSTATE_FULL));
    EXPECT_EQ(info.radioSupport, static_cast<unsigned long>(LINERADIOSUPPORT_ON));
    EXPECT_EQ(info.operatorLongName, L"Tellmark UK");
    EXPECT_EQ(info.operatorShortName, L"Tellmark");
    EXPECT_EQ(info.operatorNumericName, L"23455");
    EXPECT_EQ(HelpAPI::HasPhone(), 1);
    EXPECT_FALSE(IsPDA());
}

TEST_F(DeviceTest, RadioOfACdmaHandsetReadsNoRegistration) {
    kxtest::StageHandset(L"wm6-cdma");
    kxtest::StageProfileNumber(p::kRegisterStatus, 7);
    RadioInfo info;
    HelpAPI::RadioVersionInfoCollect(nullptr, info);
    EXPECT_EQ(info.systemType, static_cast<unsigned long>(LINESYSTEMTYPE_1XRTTPACKET));
    EXPECT_EQ(info.registrationStatus, 0u) << "registration is asked on GSM and GPRS only";
    EXPECT_EQ(info.serialNumber, L"000002670345243") << "ESN 9F2A3C1B in decimal";
    EXPECT_TRUE(info.operatorLongName.empty());
    EXPECT_EQ(info.manufacturer, L"Kestrel");
}

TEST_F(DeviceTest, SerialNumberNormalisation) {
    const struct {
        DWORD systemType;
        const wchar_t* reported;
        const wchar_t* normalised;
    } cases[] = {
        {LINESYSTEMTYPE_GSM, L"IMEI: 35-209900-176148-1", L"352099001761481"},
        {LINESYSTEMTYPE_GPRS, L"SN 0123456789ABCDEFGH", L"0123456789ABCDE"},
        {LINESYSTEMTYPE_GSM, L"no digits here", L""},
        {LINESYSTEMTYPE_1XRTTPACKET, L"ESN: 0FF", L"000000000000255"},
        {LINESYSTEMTYPE_IS95A, L"12", L"000000000000018"},
        {LINESYSTEMTYPE_NONE, L"x 1-0", L"000000000000016"},
        {LINESYSTEMTYPE_1XRTTPACKET, L"A1 2345 6789 ABCDEF0", L"81985529216486895"},
    };
    for (const auto& c : cases) {
        kxtest::ResetDevice();
        kxtest::StageProfileList(p::kLines, {CELLTSP_LINENAME_STRING});
        kxtest::StageProfileNumber(p::kSystemType, c.systemType);
        kxtest::StageProfileNumber(p::kRegisterStatus, LINEREGSTATUS_HOME);
        kxtest::StageProfileText(p::kSerialNumber, c.reported);
        RadioInfo info;
        HelpAPI::RadioVersionInfoCollect(nullptr, info);
        EXPECT_EQ(info.reportedSerialNumber, c.reported);
        EXPECT_EQ(info.serialNumber, c.normalised) << "system type " << c.systemType;
    }
}

TEST_F(DeviceTest, RadioSwitchedOffKeepsItsFieldsInitial) {
    kxtest::StageHandset(L"sp2003-off");
    RadioInfo info;
    info.manufacturer = L"kept";
    HelpAPI::RadioVersionInfoCollect(nullptr, info);
    EXPECT_EQ(info.hasPhone, 1);
    EXPECT_EQ(info.radioOff, 1);
    EXPECT_EQ(info.radioSupport, static_cast<unsigned long>(LINERADIOSUPPORT_OFF));
    EXPECT_EQ(info.manufacturer, L"kept") << "fields not read keep their values";
    EXPECT_TRUE(info.serialNumber.empty());
}

TEST_F(DeviceTest, PhonesPdasAndHandsetsWithoutTelephony) {
    kxtest::StageHandset(L"wm2003-pda");
    EXPECT_EQ(HelpAPI::HasPhone(), 0) << "no line named Cellular Line";
    EXPECT_TRUE(IsPDA());

    kxtest::StageHandset(L"wm5-notapi");
    EXPECT_EQ(HelpAPI::HasPhone(), 1) << "telephony that cannot start counts as a phone";
    EXPECT_FALSE(IsPDA());

    // A Smartphone is never a PDA, phone or not.
    kxtest::StageHandset(L"wm6-cdma");
    kxtest::StageProfileList(p::kLines, {L"IrDA Modem"});
    EXPECT_EQ(HelpAPI::HasPhone(), 0);
    EXPECT_FALSE(IsPDA());

    kxtest::ResetDevice();
    EXPECT_EQ(HelpAPI::HasPhone(), 0) << "a desktop has telephony but no cellular line";
}

TEST_F(DeviceTest, LastLineOfTheNameWins) {
    kxtest::StageProfileList(p::kLines, {CELLTSP_LINENAME_STRING, L"IrDA Modem",
                                         CELLTSP_LINENAME_STRING, L"cellular line"});
    HLINEAPP app = nullptr;
    DWORD count = 0, version = 0x00020000;
    ASSERT_EQ(lineInitializeEx(&app, nullptr, nullptr, L"test", &count, &version, nullptr), 0);
    ASSERT_EQ(count, 4u);
    unsigned long modes = 0xDEAD;
    LINEEXTENSIONID extension{};
    EXPECT_EQ(HelpAPI::GetTSPLineDeviceID(app, count, 0x00020000, CELLTSP_LINENAME_STRING, modes,
                                          extension),
              2u);
    EXPECT_EQ(modes,
              static_cast<unsigned long>(LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_DATAMODEM));
    EXPECT_NE(extension.dwExtensionID0, 0u);

    LINEEXTENSIONID untouched{1, 2, 3, 4};
    modes = 0xDEAD;
    EXPECT_EQ(HelpAPI::GetTSPLineDeviceID(app, count, 0x00020000, L"Cellular", modes, untouched),
              0xFFFFFFFFu);
    EXPECT_EQ(modes, 0u);
    EXPECT_EQ(untouched.dwExtensionID3, 4u);
    // An API version the lines do not speak matches nothing.
    EXPECT_EQ(HelpAPI::GetTSPLineDeviceID(app, count, 0x00030000, CELLTSP_LINENAME_STRING, modes,
                                          extension),
              0xFFFFFFFFu);
    EXPECT_EQ(
        HelpAPI::GetTSPLineDeviceID(app, 0, 0x00020000, CELLTSP_LINENAME_STRING, modes, extension),
        0xFFFFFFFFu);
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
