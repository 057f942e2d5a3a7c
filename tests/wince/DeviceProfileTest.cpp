// The platform layer's handset: its size protocols and its answers with and without a profile.
#include "DeviceFixture.h"
#include "Profile.h"

#include <wince/wince.h>

#include <iphlpapi.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

namespace p = wince::profile;

class DeviceProfileTest : public kxtest::DeviceTest {};

TEST_F(DeviceProfileTest, UnstagedDeviceAnswersAsTheDesktop) {
    OSVERSIONINFOW device{}, desktop{};
    device.dwOSVersionInfoSize = desktop.dwOSVersionInfoSize = sizeof device;
    ASSERT_TRUE(DeviceGetVersionExW(&device));
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ASSERT_TRUE(::GetVersionExW(&desktop));
#pragma GCC diagnostic pop
    EXPECT_EQ(device.dwPlatformId, desktop.dwPlatformId);
    EXPECT_EQ(device.dwMajorVersion, desktop.dwMajorVersion);
    EXPECT_FALSE(DeviceGetVersionExW(nullptr));

    kxtest::StageHandset(L"wm6-cdma");
    ASSERT_TRUE(DeviceGetVersionExW(&device));
    EXPECT_EQ(device.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_CE));
    EXPECT_EQ(device.dwMajorVersion, 5u);
    EXPECT_EQ(device.dwMinorVersion, 2u);
}

TEST_F(DeviceProfileTest, PlatformTypeNeedsRoomForItsTerminator) {
    kxtest::StageHandset(L"wm6-cdma");
    wchar_t type[11];
    std::wmemset(type, L'#', 11);
    EXPECT_FALSE(DeviceSystemParametersInfoW(SPI_GETPLATFORMTYPE, 10, type, 0));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(type[0], L'#');
    ASSERT_TRUE(DeviceSystemParametersInfoW(SPI_GETPLATFORMTYPE, 11, type, 0));
    EXPECT_STREQ(type, L"Smartphone");
    kxtest::StageHandset(L"sp2003-off");
    EXPECT_FALSE(DeviceSystemParametersInfoW(SPI_GETPLATFORMTYPE, 11, type, 0));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(DeviceProfileTest, AdapterListSizeProtocol) {
    kxtest::StageProfileList(p::kAdapters, {L"USB Cable", L"Cellular Line"});
    ULONG size = 0;
    EXPECT_EQ(DeviceGetAdaptersInfo(nullptr, &size), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
    ASSERT_EQ(size, 2 * sizeof(IP_ADAPTER_INFO));
    std::vector<IP_ADAPTER_INFO> adapters(2);
    ULONG shortSize = sizeof(IP_ADAPTER_INFO);
    EXPECT_EQ(DeviceGetAdaptersInfo(adapters.data(), &shortSize),
              static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
    ASSERT_EQ(DeviceGetAdaptersInfo(adapters.data(), &size), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_STREQ(adapters[0].AdapterName, "USB Cable");
    EXPECT_EQ(adapters[0].Next, &adapters[1]);
    EXPECT_STREQ(adapters[1].AdapterName, "Cellular Line");
    EXPECT_EQ(adapters[1].Next, nullptr);
    EXPECT_EQ(DeviceGetAdaptersInfo(adapters.data(), nullptr),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    kxtest::StageProfileList(p::kAdapters, {});
    EXPECT_EQ(DeviceGetAdaptersInfo(nullptr, &size), static_cast<DWORD>(ERROR_NO_DATA));
}

// Opens the cellular line of the staged handset.
struct Radio {
    HLINEAPP app = nullptr;
    HLINE line = nullptr;
    DWORD count = 0;
    LONG opened = -1;

    Radio() {
        DWORD version = 0x00020000;
        LINEINITIALIZEEXPARAMS params{};
        params.dwTotalSize = sizeof params;
        params.dwOptions = LINEINITIALIZEEXOPTION_USEEVENT;
        if (lineInitializeEx(&app, nullptr, nullptr, L"test", &count, &version, &params) != 0)
            return;
        EXPECT_NE(params.Handles.hEvent, nullptr);
        for (DWORD device = 0; device < count && opened != 0; ++device)
            opened = lineOpen(app, device, &line, 0x00020000, 0, 0, 6, 4, nullptr);
    }
    ~Radio() {
        if (app != nullptr) lineShutdown(app);
    }
};

TEST_F(DeviceProfileTest, GeneralInfoSizeProtocol) {
    kxtest::StageHandset(L"wm5-gsm");
    kxtest::StageProfileList(p::kLines, {CELLTSP_LINENAME_STRING});
    Radio radio;
    ASSERT_EQ(radio.opened, 0);
    LINEGENERALINFO fixed{};
    fixed.dwTotalSize = sizeof fixed - 1;
    EXPECT_EQ(lineGetGeneralInfo(radio.line, &fixed), LINEERR_STRUCTURETOOSMALL);
    fixed.dwTotalSize = sizeof fixed;
    ASSERT_EQ(lineGetGeneralInfo(radio.line, &fixed), 0);
    EXPECT_EQ(fixed.dwUsedSize, sizeof fixed);
    EXPECT_EQ(fixed.dwManufacturerSize, 0u) << "no text written into a record without room";
    const DWORD expected = sizeof fixed + 2 * (7 + 8 + 9 + 24 + 14);
    EXPECT_EQ(fixed.dwNeededSize, expected);

    std::vector<BYTE> full(fixed.dwNeededSize + 4, 0xCC);
    LINEGENERALINFO* info = reinterpret_cast<LINEGENERALINFO*>(full.data());
    info->dwTotalSize = fixed.dwNeededSize;
    ASSERT_EQ(lineGetGeneralInfo(radio.line, info), 0);
    EXPECT_EQ(info->dwUsedSize, expected);
    EXPECT_STREQ(reinterpret_cast<const wchar_t*>(full.data() + info->dwModelOffset), L"NV-5100");
    EXPECT_EQ(info->dwModelSize, 16u);
    EXPECT_EQ(full[expected], 0xCC) << "nothing past the record";
}

TEST_F(DeviceProfileTest, LinesAndTheirApplication) {
    kxtest::StageProfileList(p::kLines, {L"IrDA Modem", CELLTSP_LINENAME_STRING});
    Radio radio;
    ASSERT_EQ(radio.opened, 0);
    EXPECT_EQ(radio.count, 2u);
    DWORD state = 0, support = 0;
    EXPECT_EQ(lineGetEquipmentState(radio.line, &state, &support), LINEERR_OPERATIONUNAVAIL)
        << "only the cellular line has a radio";
    DWORD ext = 0;
    EXPECT_EQ(lineNegotiateExtVersion(radio.app, 1, 0x00020000, 0x00010000, 0x00010000, &ext), 0);
    EXPECT_EQ(lineNegotiateExtVersion(radio.app, 1, 0x00020000, 0x00020000, 0x00030000, &ext),
              LINEERR_INCOMPATIBLEEXTVERSION);
    EXPECT_EQ(lineNegotiateExtVersion(radio.app, 2, 0x00020000, 0x00010000, 0x00010000, &ext),
              LINEERR_BADDEVICEID);

    LINEDEVCAPS caps{};
    caps.dwTotalSize = sizeof caps - 4;
    EXPECT_EQ(lineGetDevCaps(radio.app, 0, 0x00020000, 0, &caps), LINEERR_STRUCTURETOOSMALL);

    // Shutting the application down closes its lines.
    ASSERT_EQ(lineShutdown(radio.app), 0);
    EXPECT_EQ(lineClose(radio.line), LINEERR_INVALLINEHANDLE);
    EXPECT_EQ(lineShutdown(radio.app), LINEERR_INVALAPPHANDLE);
    radio.app = nullptr;

    kxtest::StageProfileNumber(p::kTelephony, 0);
    HLINEAPP app = nullptr;
    DWORD count = 0, version = 0x00020000;
    EXPECT_EQ(lineInitializeEx(&app, nullptr, nullptr, L"test", &count, &version, nullptr),
              LINEERR_NODRIVER);
}

TEST_F(DeviceProfileTest, ConnectionsAreReleasedOnce) {
    CONNMGR_CONNECTIONINFO request{};
    HANDLE connection = nullptr;
    DWORD status = 0;
    EXPECT_EQ(ConnMgrEstablishConnectionSync(&request, &connection, 10, &status), E_INVALIDARG)
        << "a request without its size";
    request.cbSize = sizeof request;
    ASSERT_EQ(ConnMgrEstablishConnectionSync(&request, &connection, 10, &status), S_OK);
    EXPECT_EQ(status, static_cast<DWORD>(CONNMGR_STATUS_CONNECTED));
    EXPECT_EQ(ConnMgrReleaseConnection(connection, 0), S_OK);
    EXPECT_EQ(ConnMgrReleaseConnection(connection, 0), E_HANDLE);
    EXPECT_EQ(kxtest::ProfileNumber(p::kConnectionsReleased, 0), 1u);
}

TEST_F(DeviceProfileTest, StagingReplacesTheHandsetAndUnknownNamesAreRefused) {
    kxtest::StageHandset(L"wm5-gsm");
    kxtest::StageHandset(L"wm2003-pda");
    EXPECT_EQ(kxtest::ProfileNumber(p::kSystemType, 0xFFFF), 0xFFFFu)
        << "nothing of the previous handset is left";
    EXPECT_FALSE(kxtest::RawKeyExists(L"Comm\\Cellular\\SMS\\Protocols\\WDP"));
    EXPECT_FALSE(WinceStageHandset(L"nokia"));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_NOT_FOUND));
    EXPECT_EQ(kxtest::ProfileNumber(p::kMajorVersion, 0), 4u) << "a refused name changes nothing";
    int named = 0;
    while (WinceHandsetName(named) != nullptr) ++named;
    EXPECT_GE(named, 3);
}

}  // namespace
