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
        kxtest::StageProfileList(p::kAdapters, r.adapters);
        kxtest::StageProfileNumber(p::kAdapterListError, r.listError);
        EXPECT_EQ(ConnMgr::GetConnectionType(), r.type) << r.adapters.size() << " " << r.listError;
    }
}

// The connection is asked for the Internet through any proxy, released once and at once (cache
// time 0: a connection kept cached would hold the link open after Disconnect). A failed one
// passes its result on and leaves nothing to release.
TEST_F(ConnMgrTest, ConnectAndDisconnect) {
    // The result, whether a connection is held after it and after the first of two Disconnects,
    // then the connections released and held and the last release's cache time.
    const auto run = [](const wchar_t* handset) {
        kxtest::ResetDevice();
        kxtest::StageHandset(handset);
        ConnMgr connection;
        std::string s = std::to_string(connection.ConnectGPRS()) + " ";
        for (int i = 0; i < 2; ++i, connection.Disconnect())
            s += std::to_string(static_cast<void*>(connection) != nullptr);
        for (const wchar_t* n :
             {p::kConnectionsReleased, p::kConnectionsHeld, p::kLastReleaseCache})
            s += " " + std::to_string(kxtest::ProfileNumber(n, 9));
        return s;
    };
    EXPECT_EQ(run(L"wm2003-pda"), "-2147467259 00 9 9 9");
    EXPECT_EQ(run(L"wm5-gsm"), "0 10 1 0 0");
    // A static record: its padding is zero, as the library clears it.
    static constexpr GUID internet{
        0x436EF144, 0xB4FB, 0x4863, {0xA0, 0x41, 0x8F, 0x90, 0x5A, 0x62, 0xC5, 0x72}};
    static constexpr CONNMGR_CONNECTIONINFO want{sizeof want, 1, 0x0D, 0x8000, 0, 0, internet};
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(kxtest::RawGetValue(WINCE_PROFILE_KEY, p::kLastRequest, &type, &bytes));
    EXPECT_EQ(bytes + std::to_string(kxtest::ProfileNumber(p::kLastTimeout, 0)),
              std::string(reinterpret_cast<const char*>(&want), sizeof want) + "10000");
}
