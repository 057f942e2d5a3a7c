// The data connection and the link behind the device's adapters.
#include <kxcommon/ConnMgr.h>

#include "DeviceFixture.h"
#include "Profile.h"

namespace profile = wince::profile;

namespace {

class ConnMgrTest : public kxtest::DeviceTest {};

struct AdapterNameRow {
    const char* adapter;  // the adapter's name
    int link;             // KX_CONNECTION_...
};

::testing::AssertionResult NamesLink(const AdapterNameRow& row) {
    const int got = ConnMgr::GetConnectionType(row.adapter);
    if (got == row.link) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "GetConnectionType(\"" << (row.adapter ? row.adapter : "<null>") << "\") answered "
           << got << ", expected " << row.link;
}

// "usb", "bluetooth" (shown by the adapter list below) and "irda" in any case and place win over
// "cellular"; only the first 259 bytes of a name count.
TEST_F(ConnMgrTest, AdapterNamesByTheirLink) {
    const std::string keywordAt259 = std::string(259, 'x') + "usb";
    const std::string keywordAt256 = std::string(256, 'x') + "usb";
    const AdapterNameRow rows[] = {
        {.adapter = "USB Cable", .link = KX_CONNECTION_LOCAL_LINK},
        {.adapter = "cellular over IrDA", .link = KX_CONNECTION_LOCAL_LINK},
        {.adapter = "Wireless LAN", .link = KX_CONNECTION_UNKNOWN},
        {.adapter = "", .link = KX_CONNECTION_LOCAL_LINK},
        {.adapter = keywordAt259.c_str(), .link = KX_CONNECTION_UNKNOWN},
        {.adapter = keywordAt256.c_str(), .link = KX_CONNECTION_LOCAL_LINK},
        {.adapter = nullptr, .link = KX_CONNECTION_UNKNOWN},
    };
    for (const AdapterNameRow& row : rows) EXPECT_TRUE(NamesLink(row));
}

struct AdapterListRow {
    std::initializer_list<const wchar_t*> adapters;  // the device's adapters, in its order
    DWORD listError;                                 // the adapter list's read error, 0: none
    int link;                                        // KX_CONNECTION_...
};

::testing::AssertionResult DeviceLink(const AdapterListRow& row) {
    kxtest::StageProfileList(profile::kAdapters, row.adapters);
    kxtest::StageProfileNumber(profile::kAdapterListError, row.listError);
    const int got = ConnMgr::GetConnectionType();
    if (got == row.link) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "GetConnectionType() with the adapters " << testing::PrintToString(row.adapters)
           << " and list error " << row.listError << " answered " << got << ", expected "
           << row.link;
}

TEST_F(ConnMgrTest, TheFirstAdapterWithAVerdictDecides) {
    // clang-format off
    const AdapterListRow rows[] = {
        {.adapters = {L"Cellular Line", L"USB Cable"},              .link = KX_CONNECTION_CELLULAR},
        {.adapters = {L"Wireless LAN", L"Ethernet 2"},              .link = KX_CONNECTION_CELLULAR},
        {.adapters = {L"WLAN", L"Bluetooth PAN", L"Cellular Line"}, .link = KX_CONNECTION_LOCAL_LINK},
        {.adapters = {},                                            .link = KX_CONNECTION_UNKNOWN},
        {.adapters = {L"USB Cable"}, .listError = ERROR_NOT_SUPPORTED, .link = KX_CONNECTION_UNKNOWN},
    };
    // clang-format on
    for (const AdapterListRow& row : rows) EXPECT_TRUE(DeviceLink(row));
}

// What the connection manager's profile holds when the library never called it.
constexpr DWORD kNever = 0xFFFFFFFF;

struct ConnectRow {
    const wchar_t* handset;
    long result;      // ConnectGPRS's answer
    bool connected;   // whether the object holds a connection after it
    DWORD released;   // connections released after two Disconnects
    DWORD held;       // connections the connection manager still holds
    DWORD cacheTime;  // the last release's cache time (0: not kept for reuse)
};

::testing::AssertionResult ConnectsAndReleasesOnce(const ConnectRow& row) {
    kxtest::ResetDevice();
    kxtest::StageHandset(row.handset);
    ConnMgr connection;
    const long result = connection.ConnectGPRS();
    const bool connected = static_cast<void*>(connection) != nullptr;
    connection.Disconnect();
    const bool heldAfterDisconnect = static_cast<void*>(connection) != nullptr;
    connection.Disconnect();
    const DWORD released = kxtest::ProfileNumber(profile::kConnectionsReleased, kNever);
    const DWORD held = kxtest::ProfileNumber(profile::kConnectionsHeld, kNever);
    const DWORD cacheTime = kxtest::ProfileNumber(profile::kLastReleaseCache, kNever);
    if (result == row.result && connected == row.connected && !heldAfterDisconnect &&
        released == row.released && held == row.held && cacheTime == row.cacheTime)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "ConnectGPRS on " << testing::PrintToString(row.handset) << " answered " << result
           << " holding " << connected << " (expected " << row.result << " holding "
           << row.connected << "), still holding " << heldAfterDisconnect
           << " after Disconnect; the connection manager saw " << released << " released, " << held
           << " held, cache time " << cacheTime << " (expected " << row.released << ", " << row.held
           << ", " << row.cacheTime << ")";
}

// A connection is released once and at once (cache time 0: one kept cached would hold the link
// open after Disconnect). A failed one passes its result on and leaves nothing to release.
TEST_F(ConnMgrTest, ConnectAndDisconnect) {
    // clang-format off
    const ConnectRow rows[] = {
        {.handset = L"wm2003-pda", .result = E_FAIL, .released = kNever, .held = kNever, .cacheTime = kNever},
        {.handset = L"wm5-gsm",    .result = S_OK, .connected = true, .released = 1},
    };
    // clang-format on
    for (const ConnectRow& row : rows) EXPECT_TRUE(ConnectsAndReleasesOnce(row));
}

// The Internet is asked for through an HTTP or SOCKS proxy, waiting up to ten seconds. The request
// is a static record: its padding is zero, as the library clears it.
TEST_F(ConnMgrTest, AsksForTheInternetThroughAProxy) {
    static constexpr GUID kInternet{
        0x436EF144, 0xB4FB, 0x4863, {0xA0, 0x41, 0x8F, 0x90, 0x5A, 0x62, 0xC5, 0x72}};
    // clang-format off
    static constexpr CONNMGR_CONNECTIONINFO kRequest{
        .cbSize = sizeof kRequest, .dwParams = CONNMGR_PARAM_GUIDDESTNET,
        .dwFlags = CONNMGR_FLAG_PROXY_HTTP | CONNMGR_FLAG_PROXY_SOCKS4 | CONNMGR_FLAG_PROXY_SOCKS5,
        .dwPriority = CONNMGR_PRIORITY_USERINTERACTIVE, .guidDestNet = kInternet};
    // clang-format on
    kxtest::StageHandset(L"wm5-gsm");
    ConnMgr connection;
    ASSERT_EQ(connection.ConnectGPRS(), S_OK);
    connection.Disconnect();
    std::string asked;
    ASSERT_TRUE(kxtest::RawGetValue(WINCE_PROFILE_KEY, profile::kLastRequest, nullptr, &asked));
    EXPECT_TRUE(asked == std::string(reinterpret_cast<const char*>(&kRequest), sizeof kRequest))
        << "ConnectGPRS asked the connection manager for another connection than the Internet "
           "through an HTTP or SOCKS proxy, at the user's priority";
    EXPECT_EQ(kxtest::ProfileNumber(profile::kLastTimeout, 0), 10000u)
        << "ConnectGPRS's wait for the connection, in milliseconds";
}

}  // namespace
