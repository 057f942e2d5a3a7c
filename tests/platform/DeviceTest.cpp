// Device identification on staged handsets: the device-type table, the hardware identifier, the
// phone radio (with its serial-number normalisation) and the answers built on them.
#include <kxcommon/HelpAPI.h>

#include "DeviceFixture.h"
#include "Profile.h"

namespace profile = wince::profile;

namespace {

class DeviceTest : public kxtest::DeviceTest {};

struct DeviceTypeRow {
    DWORD platform = VER_PLATFORM_WIN32_CE, major, minor;  // the operating system's version
    const wchar_t* type = L"PocketPC";                     // the platform-type text, null: none
    DWORD refusal = 0;       // the error the platform-type query is refused with, 0: none
    unsigned long expected;  // KX_DEVICE_...
};

::testing::AssertionResult Identifies(const DeviceTypeRow& row) {
    kxtest::ResetDevice();
    kxtest::StageProfileNumber(profile::kPlatformId, row.platform);
    kxtest::StageProfileNumber(profile::kMajorVersion, row.major);
    kxtest::StageProfileNumber(profile::kMinorVersion, row.minor);
    if (row.type != nullptr) kxtest::StageProfileText(profile::kPlatformType, row.type);
    if (row.refusal != 0) kxtest::StageProfileNumber(profile::kPlatformTypeError, row.refusal);
    const unsigned long got = HelpAPI::GetDeviceType();
    const int wm5 = HelpAPI::IsWM5();  // CE 5.x and later is Windows Mobile 5 and later
    if (got == row.expected && wm5 == (row.major >= 5)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "on platform " << row.platform << ", version " << row.major << "." << row.minor
           << ", type " << testing::PrintToString(row.type) << " refused with " << row.refusal
           << ": GetDeviceType answered 0x" << std::hex << got << ", expected 0x" << row.expected
           << "; IsWM5 answered " << wm5;
}

// The platform-type texts come from the profile: "PocketPC" matching, and a type of 259
// characters fitting the library's buffer of 260, prove they are read without their terminator.
// A refused query is taken for a Smartphone when access was denied. Versions it does not know
// give the family only; no collation that skips a soft hyphen matches the type.
TEST_F(DeviceTest, DeviceTypeTable) {
    const std::wstring longest(259, L'x');
    // clang-format off
    const DeviceTypeRow rows[] = {
        {.platform = VER_PLATFORM_WIN32_NT, .major = 6, .minor = 1, .expected = KX_DEVICE_NOT_CE},
        {.major = 3, .minor = 0,                          .expected = KX_DEVICE_POCKETPC_3_0},
        {.major = 6, .minor = 0,                          .expected = KX_DEVICE_POCKETPC_OTHER},
        {.major = 4, .minor = 20,                         .expected = KX_DEVICE_POCKETPC_4},
        {.major = 5, .minor = 1,  .type = L"pocketpc",    .expected = KX_DEVICE_POCKETPC_5},
        {.major = 4, .minor = 21, .type = L"SmartPhone",  .expected = KX_DEVICE_SMARTPHONE_4},
        {.major = 7, .minor = 0,  .type = L"Smartphone",  .expected = KX_DEVICE_SMARTPHONE_OTHER},
        {.major = 5, .minor = 1,  .type = nullptr, .refusal = ERROR_ACCESS_DENIED,     .expected = KX_DEVICE_SMARTPHONE_5},
        {.major = 5, .minor = 1,  .type = nullptr, .refusal = ERROR_INVALID_PARAMETER, .expected = KX_DEVICE_UNKNOWN},
        {.major = 5, .minor = 0,  .type = longest.c_str(),      .expected = KX_DEVICE_OTHER_CE},
        {.major = 5, .minor = 1,  .type = L"Pocket\u00ADPC",    .expected = KX_DEVICE_OTHER_CE},
    };
    // clang-format on
    for (const DeviceTypeRow& row : rows) EXPECT_TRUE(Identifies(row));
}

struct DeviceIdRow {
    std::string preset, platform;  // the identifier's two parts on the device, empty: none
    bool answer;                   // GetDeviceID's answer
    std::string id;                // the 16 bytes it writes
};

::testing::AssertionResult ReadsId(const DeviceIdRow& row) {
    kxtest::ResetDevice();
    if (!row.preset.empty()) kxtest::StageProfileBytes(profile::kPresetId, row.preset);
    if (!row.platform.empty()) kxtest::StageProfileBytes(profile::kPlatformIdBytes, row.platform);
    std::string buffer(20, '\xCC');
    const bool answer = HelpAPI::GetDeviceID(reinterpret_cast<GUID*>(&buffer[0]));
    if (answer == row.answer && buffer == row.id + "\xCC\xCC\xCC\xCC")
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "GetDeviceID with the parts " << testing::PrintToString(row.preset) << " and "
           << testing::PrintToString(row.platform) << " answered " << answer << " and left "
           << testing::PrintToString(buffer) << ", expected " << row.answer << " and "
           << testing::PrintToString(row.id) << " followed by the four bytes as they were";
}

// The identifier is the preset part then the platform part, cut at 16 bytes, zero-filled; the
// four bytes after it are left.
TEST_F(DeviceTest, DeviceIdJoinsPresetAndPlatformParts) {
    const std::string five = "\x01\x02\x03\x04\x05", three = "\xA1\xA2\xA3";
    const std::string ten(10, '\x11'), other(10, '\x22');
    // clang-format off
    const DeviceIdRow rows[] = {
        {.answer = false, .id = std::string(16, '\0')},  // the desktop
        {.preset = five, .platform = three, .answer = true, .id = five + three + std::string(8, 0)},
        {.preset = ten,  .platform = other, .answer = true, .id = ten + other.substr(0, 6)},
    };
    // clang-format on
    for (const DeviceIdRow& row : rows) EXPECT_TRUE(ReadsId(row));
    EXPECT_FALSE(HelpAPI::GetDeviceID(nullptr)) << "GetDeviceID with no output";
}

// What RadioVersionInfoCollect, HasPhone and IsPDA tell.
struct RadioAnswer {
    int hasPhone = 0, radioOff = 0;
    unsigned long systemType = 0, registration = 0, equipment = 0, support = 0;
    // Manufacturer, model, revision, reported serial, serial, subscriber and the operator's long,
    // short and numeric names; a text not read keeps its initial value (the manufacturer "kept").
    std::vector<std::wstring> texts = {L"kept", L"", L"", L"", L"", L"", L"", L"", L""};
    int phone = 0;  // HasPhone
    bool pda = false;
    bool operator==(const RadioAnswer&) const = default;
};

std::ostream& operator<<(std::ostream& out, const RadioAnswer& answer) {
    return out << "phone " << answer.hasPhone << ", radio off " << answer.radioOff
               << ", system type " << answer.systemType << ", registration " << answer.registration
               << ", equipment " << answer.equipment << ", radio support " << answer.support
               << ", texts " << testing::PrintToString(answer.texts) << ", HasPhone "
               << answer.phone << ", IsPDA " << answer.pda;
}

struct RadioRow {
    const wchar_t* handset;
    const wchar_t* onlyLine;       // the device's only line, null: the handset's lines
    const wchar_t* firstLineCaps;  // how the first line answers for its capabilities, or null
    RadioAnswer answer;
};

::testing::AssertionResult Answers(const RadioRow& row) {
    kxtest::ResetDevice();
    kxtest::StageHandset(row.handset);
    if (row.onlyLine != nullptr) kxtest::StageProfileList(profile::kLines, {row.onlyLine});
    if (row.firstLineCaps != nullptr)
        kxtest::StageProfileList(profile::kLineCapsAnswers, {row.firstLineCaps});
    // Registration is asked on GSM and GPRS only.
    kxtest::StageProfileNumber(profile::kRegisterStatus, LINEREGSTATUS_HOME);
    RadioInfo info;
    info.manufacturer = L"kept";
    HelpAPI::RadioVersionInfoCollect(::GetModuleHandleW(nullptr), info);
    // clang-format off
    const RadioAnswer got{info.hasPhone, info.radioOff, info.systemType, info.registrationStatus,
                          info.equipmentState, info.radioSupport,
                          {info.manufacturer, info.model, info.revision, info.reportedSerialNumber,
                           info.serialNumber, info.subscriberNumber, info.operatorLongName,
                           info.operatorShortName, info.operatorNumericName},
                          HelpAPI::HasPhone(), IsPDA()};
    // clang-format on
    const DWORD open = kxtest::ProfileNumber(profile::kTelephonyHandles, 0);
    if (got == row.answer && open == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "the radio of " << testing::PrintToString(row.handset) << " answered " << got
           << ", expected " << row.answer << "; " << open << " telephony handles were left open";
}

// A Smartphone is never a PDA, phone or not. A line that cannot tell its capabilities is passed
// over, and the search goes on to the next (the cellular line is the second one of wm5-gsm). How
// each system type's serial number is shown: SerialNumberNormalisation.
TEST_F(DeviceTest, RadioAnswers) {
    // clang-format off
    const RadioAnswer gsm{.hasPhone = 1, .systemType = LINESYSTEMTYPE_GSM, .registration = LINEREGSTATUS_HOME,
                          .equipment = LINEEQUIPSTATE_FULL, .support = LINERADIOSUPPORT_ON,
                          .texts = {L"Norvik", L"NV-5100", L"02.47.90", L"IMEI 35-491600-214571-3", L"354916002145713",
                                    L"+447700900123", L"Tellmark UK", L"Tellmark", L"23455"},
                          .phone = 1};
    const RadioAnswer cdma{.hasPhone = 1, .systemType = LINESYSTEMTYPE_1XRTTPACKET,
                           .equipment = LINEEQUIPSTATE_FULL, .support = LINERADIOSUPPORT_ON,
                           .texts = {L"Kestrel", L"KS-620", L"1.12.003", L"ESN:9F2A3C1B", L"000002670345243",
                                     L"5550142", L"", L"", L""},
                           .phone = 1};
    const RadioAnswer off{.hasPhone = 1, .radioOff = 1, .equipment = LINEEQUIPSTATE_MINIMUM,
                          .support = LINERADIOSUPPORT_OFF, .phone = 1};
    const RadioRow rows[] = {
        {.handset = L"wm5-gsm",    .firstLineCaps = profile::kCapsNoMemory, .answer = gsm},
        {.handset = L"wm5-gsm",    .firstLineCaps = profile::kCapsHuge,     .answer = gsm},
        {.handset = L"wm6-cdma",                                             .answer = cdma},  // no registration asked
        {.handset = L"sp2003-off",                                           .answer = off},
        {.handset = L"wm2003-pda",                                           .answer = {.pda = true}},  // no cellular line
        {.handset = L"wm5-notapi",                                           .answer = {.hasPhone = 1, .phone = 1}},  // no telephony
        {.handset = L"wm6-cdma",   .onlyLine = L"IrDA Modem",               .answer = {}},
    };
    // clang-format on
    for (const RadioRow& row : rows) EXPECT_TRUE(Answers(row));
}

struct SerialRow {
    DWORD system;             // LINESYSTEMTYPE_...
    const wchar_t* reported;  // as the radio reports it
    const wchar_t* serial;    // as RadioVersionInfoCollect gives it
};

::testing::AssertionResult Normalises(const SerialRow& row) {
    kxtest::StageProfileNumber(profile::kSystemType, row.system);
    kxtest::StageProfileText(profile::kSerialNumber, row.reported);
    RadioInfo info;
    HelpAPI::RadioVersionInfoCollect(nullptr, info);
    if (info.serialNumber == row.serial) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "RadioVersionInfoCollect normalised " << testing::PrintToString(row.reported)
           << " of system type " << row.system << " to "
           << testing::PrintToString(info.serialNumber) << ", expected "
           << testing::PrintToString(row.serial);
}

// GSM and GPRS keep the first 15 digits; the others read hexadecimal, shown in decimal.
TEST_F(DeviceTest, SerialNumberNormalisation) {
    const DWORD cdma = LINESYSTEMTYPE_1XRTTPACKET;
    // clang-format off
    const SerialRow rows[] = {
        {.system = LINESYSTEMTYPE_GPRS, .reported = L"SN 0123456789ABCDEFGH",    .serial = L"0123456789ABCDE"},
        {.system = cdma,                .reported = L"no digits here",           .serial = L""},
        {.system = LINESYSTEMTYPE_NONE, .reported = L"x 1-0",                    .serial = L"000000000000016"},
        {.system = cdma,                .reported = L"A1 2345 6789 ABCDEF0",     .serial = L"81985529216486895"},
    };
    // clang-format on
    kxtest::StageHandset(L"wm5-gsm");  // every row sets the system type and the serial it reads
    for (const SerialRow& row : rows) EXPECT_TRUE(Normalises(row));
}

constexpr unsigned long kNoLine = 0xFFFFFFFF;

struct LineRow {
    const char* name;
    DWORD count = 4, version = 0x00020000;  // line devices and the version negotiated
    const wchar_t* line;                    // the line asked for
    unsigned long id;                       // GetTSPLineDeviceID's answer
    unsigned long modes = 0;                // the media modes it writes
    bool extension = false;                 // whether it wrote the extension identifier
};

::testing::AssertionResult FindsLine(HLINEAPP app, const LineRow& row) {
    unsigned long modes = 0xDEAD;
    LINEEXTENSIONID extension{1, 2, 3, 4};
    const unsigned long id =
        HelpAPI::GetTSPLineDeviceID(app, row.count, row.version, row.line, modes, extension);
    const bool written = extension.dwExtensionID3 != 4;
    if (id == row.id && modes == row.modes && written == row.extension)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "GetTSPLineDeviceID for " << row.name << " answered " << id << " with media modes "
           << modes << ", extension written " << written << ", expected " << row.id << ", "
           << row.modes << ", " << row.extension;
}

TEST_F(DeviceTest, LastLineOfTheNameWins) {
    const wchar_t* const cellular = CELLTSP_LINENAME_STRING;
    kxtest::StageProfileList(profile::kLines,
                             {cellular, L"IrDA Modem", cellular, L"cellular line"});
    HLINEAPP app = nullptr;
    DWORD count = 0, version = 0x00020000;
    ASSERT_EQ(lineInitializeEx(&app, nullptr, nullptr, L"test", &count, &version, nullptr), 0);
    const unsigned long voiceAndData = LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_DATAMODEM;
    // clang-format off
    const LineRow rows[] = {
        {.name = "the last of two",      .line = cellular, .id = 2, .modes = voiceAndData, .extension = true},
        {.name = "a part of the name",   .line = L"Cellular", .id = kNoLine},
        {.name = "a version not spoken", .version = 0x00030000, .line = cellular, .id = kNoLine},
        {.name = "no lines",             .count = 0, .line = cellular, .id = kNoLine},
    };
    // clang-format on
    for (const LineRow& row : rows) EXPECT_TRUE(FindsLine(app, row));
    EXPECT_EQ(lineShutdown(app), 0);
}

TEST_F(DeviceTest, NotificationTypeFollowsRealTimeScanning) {
    const struct {
        int realTimeScan, notificationType;
    } rows[] = {{.realTimeScan = 1, .notificationType = 1},
                {.realTimeScan = 0, .notificationType = 2}};
    for (const auto& row : rows) {
        ASSERT_EQ(KxConfig::SetBeRealTimeScan(row.realTimeScan), KX_OK);
        EXPECT_EQ(HelpAPI::GetNotificationType(true), row.notificationType)
            << "GetNotificationType with real-time scanning " << row.realTimeScan;
    }
}

}  // namespace
