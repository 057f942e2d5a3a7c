// The data connection and the link behind the device's adapters.
#include <kxcommon/ConnMgr.h>

#include "DeviceFixture.h"
#include "Profile.h"

#include <wince/wince.h>

#include <cstring>
#include <string>

namespace {

namespace p = wince::profile;

class ConnMgrTest : public kxtest::DeviceTest {};

TEST_F(ConnMgrTest, AdapterNamesByTheirLink) {
    const struct {
        const char* name;
        int type;
    } cases[] = {
        {"USB Cable", 1},
        {"RNDIS usb0", 1},
        {"BTPAN Bluetooth", 1},
        {"IRDA0", 1},
        {"Cellular Line", 0},
        {"CELLULAR", 0},
        {"usb cellular modem", 1},
        {"cellular over IrDA", 1},
        {"Wireless LAN", 2},
        {"{6B29FC40-CA47}", 2},
        {"", 1},
    };
    for (const auto& c : cases) EXPECT_EQ(ConnMgr::GetConnectionType(c.name), c.type) << c.name;
    EXPECT_EQ(ConnMgr::GetConnectionType(nullptr), 2);
    // Only the first 259 bytes of a name count.
    const std::string longName = std::string(259, 'x') + "usb";
    EXPECT_EQ(ConnMgr::GetConnectionType(longName.c_str()), 2);
    EXPECT_EQ(ConnMgr::GetConnectionType((std::string(256, 'x') + "usb").c_str()), 1);
}

TEST_F(ConnMgrTest, TheFirstAdapterWithAVerdictDecides) {
    const struct {
        std::initializer_list<const wchar_t*> adapters;
        int type;
    } cases[] = {
        {{L"USB Cable", L"Cellular Line"}, 1},
        {{L"Cellular Line", L"USB Cable"}, 0},
        {{L"Wireless LAN", L"Ethernet 2"}, 0},
        {{L"Wireless LAN", L"Bluetooth PAN", L"Cellular Line"}, 1},
        {{}, 2},
    };
    for (const auto& c : cases) {
        kxtest::StageProfileList(p::kAdapters, c.adapters);
        EXPECT_EQ(ConnMgr::GetConnectionType(), c.type) << c.adapters.size() << " adapters";
    }
    kxtest::StageProfileList(p::kAdapters, {L"USB Cable"});
    kxtest::StageProfileNumber(p::kAdapterListError, ERROR_NOT_SUPPORTED);
    EXPECT_EQ(ConnMgr::GetConnectionType(), 2) << "an unreadable adapter list";
}

TEST_F(ConnMgrTest, DisconnectTwiceReleasesOnce) {
    kxtest::StageHandset(L"wm5-gsm");
    ConnMgr connection;
    EXPECT_EQ(static_cast<void*>(connection), nullptr);
    EXPECT_EQ(connection.ConnectGPRS(), S_OK);
    EXPECT_NE(static_cast<void*>(connection), nullptr);
    EXPECT_EQ(kxtest::ProfileNumber(p::kConnectionsHeld, 0), 1u);

    ConnMgr copy;
    copy = connection;
    EXPECT_EQ(static_cast<void*>(copy), static_cast<void*>(connection));

    connection.Disconnect();
    EXPECT_EQ(static_cast<void*>(connection), nullptr);
    connection.Disconnect();
    EXPECT_EQ(kxtest::ProfileNumber(p::kConnectionsReleased, 0), 1u);
    EXPECT_EQ(kxtest::ProfileNumber(p::kConnectionsHeld, 9), 0u);
}

TEST_F(ConnMgrTest, TheRequestAsksForTheInternetThroughAnyProxy) {
    kxtest::StageHandset(L"wm6-cdma");
    ConnMgr connection;
    ASSERT_EQ(connection.ConnectGPRS(), S_OK);
    connection.Disconnect();
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(kxtest::RawGetValue(WINCE_PROFILE_KEY, p::kLastRequest, &type, &bytes));
    ASSERT_EQ(bytes.size(), sizeof(CONNMGR_CONNECTIONINFO));
    CONNMGR_CONNECTIONINFO request;
    std::memcpy(&request, bytes.data(), sizeof request);
    EXPECT_EQ(request.cbSize, sizeof request);
    EXPECT_EQ(request.dwParams, 1u);
    EXPECT_EQ(request.dwFlags, 0x0Du);
    EXPECT_EQ(request.dwPriority, 0x8000u);
    EXPECT_EQ(request.bExclusive, 0);
    EXPECT_EQ(request.bDisabled, 0);
    const GUID internet = {
        0x436EF144, 0xB4FB, 0x4863, {0xA0, 0x41, 0x8F, 0x90, 0x5A, 0x62, 0xC5, 0x72}};
    EXPECT_EQ(std::memcmp(&request.guidDestNet, &internet, sizeof internet), 0);
    EXPECT_EQ(request.hWnd, nullptr);
    EXPECT_EQ(request.ulMaxCost + request.ulMinRcvBw + request.ulMaxConnLatency, 0u);
    EXPECT_EQ(kxtest::ProfileNumber(p::kLastTimeout, 0), 10000u);
}

TEST_F(ConnMgrTest, AFailedConnectionPassesItsResultOn) {
    kxtest::StageHandset(L"wm2003-pda");
    ConnMgr connection;
    EXPECT_EQ(connection.ConnectGPRS(), static_cast<long>(0x80004005));
    EXPECT_EQ(static_cast<void*>(connection), nullptr);
    connection.Disconnect();
    EXPECT_EQ(kxtest::ProfileNumber(p::kConnectionsReleased, 0), 0u) << "nothing to release";
}

}  // namespace
