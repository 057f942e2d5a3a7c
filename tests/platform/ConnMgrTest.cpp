// The data connection and the link behind the device's adapters.
#include <kxcommon/ConnMgr.h>

#include "DeviceFixture.h"
#include "Profile.h"

namespace p = wince::profile;

class ConnMgrTest : public kxtest::DeviceTest {};

TEST_F(ConnMgrTest, AdapterNamesByTheirLink) {
    struct Row {
        std::string name;
        int type;
    } const rows[] = {
        {"USB Cable", 1},
        {"BTPAN Bluetooth", 1},
        {"IRDA0", 1},
        {"CELLULAR", 0},
        {"usb cellular modem", 1},
        {"cellular over IrDA", 1},
        {"Wireless LAN", 2},
        {"", 1},
        {std::string(259, 'x') + "usb", 2},  // only the first 259 bytes of a name count
        {std::string(256, 'x') + "usb", 1},
    };
    for (const Row& r : rows)
        EXPECT_EQ(ConnMgr::GetConnectionType(r.name.c_str()), r.type) << r.name;
    EXPECT_EQ(ConnMgr::GetConnectionType(nullptr), 2);
}

TEST_F(ConnMgrTest, TheFirstAdapterWithAVerdictDecides) {
    struct Row {
        std::initializer_list<const wchar_t*> adapters;
        DWORD listError;
        int type;
    } const rows[] = {
        {{L"USB Cable", L"Cellular Line"}, 0, 1},
        {{L"Cellular Line", L"USB Cable"}, 0, 0},
        {{L"Wireless LAN", L"Ethernet 2"}, 0, 0},
        {{L"Wireless LAN", L"Bluetooth PAN", L"Cellular Line"}, 0, 1},
        {{}, 0, 2},
        {{L"USB Cable"}, ERROR_NOT_SUPPORTED, 2},  // an unreadable adapter list
    };
    for (const Row& r : rows) {
        kxtest::ResetDevice();
        kxtest::StageProfileList(p::kAdapters, r.adapters);
        if (r.listError != 0) kxtest::StageProfileNumber(p::kAdapterListError, r.listError);
        EXPECT_EQ(ConnMgr::GetConnectionType(), r.type) << r.adapters.size() << " " << r.listError;
    }
}

// The connection is asked for the Internet through any proxy, released once and at once (cache
// time 0: a connection kept cached would hold the link open after Disconnect).
TEST_F(ConnMgrTest, ConnectAndDisconnect) {
    kxtest::StageHandset(L"wm5-gsm");
    ConnMgr connection;
    EXPECT_EQ(connection.ConnectGPRS(), S_OK);
    EXPECT_NE(static_cast<void*>(connection), nullptr);
    connection.Disconnect();
    EXPECT_EQ(static_cast<void*>(connection), nullptr);
    connection.Disconnect();
    EXPECT_EQ(kxtest::ProfileNumber(p::kConnectionsReleased, 0), 1u);
    EXPECT_EQ(kxtest::ProfileNumber(p::kConnectionsHeld, 9), 0u);
    EXPECT_EQ(kxtest::ProfileNumber(p::kLastReleaseCache, 9), 0u);

    CONNMGR_CONNECTIONINFO want;
    ::ZeroMemory(&want, sizeof want);  // the library clears the padding as well
    want.cbSize = sizeof want;
    want.dwParams = 1;
    want.dwFlags = 0x0D;
    want.dwPriority = 0x8000;
    want.guidDestNet = {
        0x436EF144, 0xB4FB, 0x4863, {0xA0, 0x41, 0x8F, 0x90, 0x5A, 0x62, 0xC5, 0x72}};
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(kxtest::RawGetValue(WINCE_PROFILE_KEY, p::kLastRequest, &type, &bytes));
    EXPECT_EQ(bytes, std::string(reinterpret_cast<const char*>(&want), sizeof want));
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
