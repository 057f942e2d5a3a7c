// The data connection through the connection manager, and the link behind the device's
// network adapters.
#include "kxcommon/ConnMgr.h"

#include "../internal/PlatformBuffer.h"
#include "../internal/kxplatform.h"

#include <cctype>
#include <cstring>

namespace {

constexpr DWORD kConnectTimeoutMs = 10000;
constexpr size_t kNameBytes = 259;
// The Internet destination network.
constexpr GUID kDestNetInternet = {
    0x436EF144, 0xB4FB, 0x4863, {0xA0, 0x41, 0x8F, 0x90, 0x5A, 0x62, 0xC5, 0x72}};

}  // namespace

ConnMgr::ConnMgr() : m_connection(nullptr) {}

long ConnMgr::ConnectGPRS() {
    CONNMGR_CONNECTIONINFO request;
    std::memset(&request, 0, sizeof request);
    request.cbSize = sizeof request;
    request.dwParams = CONNMGR_PARAM_GUIDDESTNET;
    request.dwFlags =
        CONNMGR_FLAG_PROXY_HTTP | CONNMGR_FLAG_PROXY_SOCKS4 | CONNMGR_FLAG_PROXY_SOCKS5;
    request.dwPriority = CONNMGR_PRIORITY_USERINTERACTIVE;
    request.guidDestNet = kDestNetInternet;
    DWORD status = 0;
    HANDLE connection = m_connection;
    const HRESULT result =
        ConnMgrEstablishConnectionSync(&request, &connection, kConnectTimeoutMs, &status);
    m_connection = connection;
    return result;
}

void ConnMgr::Disconnect() {
    if (m_connection == nullptr) return;
    ConnMgrReleaseConnection(m_connection, 0);
    m_connection = nullptr;
}

ConnMgr::operator void*() const { return m_connection; }

int ConnMgr::GetConnectionType(const char* adapterName) {
    if (adapterName == nullptr) return KX_CONNECTION_UNKNOWN;
    char name[kNameBytes + 1] = {};
    for (size_t i = 0; i < kNameBytes && adapterName[i] != '\0'; ++i)
        name[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(adapterName[i])));
    if (std::strstr(name, "usb") != nullptr || std::strstr(name, "bluetooth") != nullptr ||
        std::strstr(name, "irda") != nullptr)
        return KX_CONNECTION_LOCAL_LINK;
    if (std::strstr(name, "cellular") != nullptr) return KX_CONNECTION_CELLULAR;
    return name[0] != '\0' ? KX_CONNECTION_UNKNOWN : KX_CONNECTION_LOCAL_LINK;
}

int ConnMgr::GetConnectionType() {
    ULONG size = 0;
    GetAdaptersInfo(nullptr, &size);
    const kx::PlatformBuffer buffer(size);
    if (!buffer ||
        GetAdaptersInfo(size == 0 ? nullptr : buffer.As<IP_ADAPTER_INFO>(), &size) != ERROR_SUCCESS)
        return KX_CONNECTION_UNKNOWN;
    // Whole records only, in the order the list gives them.
    const size_t count = (size < buffer.size() ? size : buffer.size()) / sizeof(IP_ADAPTER_INFO);
    const IP_ADAPTER_INFO* adapters = buffer.As<IP_ADAPTER_INFO>();
    for (size_t i = 0; i < count; ++i) {
        char name[sizeof adapters[i].AdapterName + 1] = {};
        std::memcpy(name, adapters[i].AdapterName, sizeof adapters[i].AdapterName);
        const int verdict = GetConnectionType(name);
        if (verdict != KX_CONNECTION_UNKNOWN) return verdict;
    }
    return KX_CONNECTION_CELLULAR;
}
