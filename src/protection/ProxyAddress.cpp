#include "ProxyAddress.h"

#include "../util/SplitFields.h"

#include <vector>

namespace kx {
namespace {

constexpr wchar_t kSeparator = L':';

// The leading decimal digits of the port field; none gives 0.
unsigned long Port(const std::wstring& field) {
    unsigned long port = 0;
    for (wchar_t c : field) {
        if (c < L'0' || c > L'9') break;
        port = port * 10 + static_cast<unsigned long>(c - L'0');
    }
    return port;
}

}  // namespace

bool ParseProxyAddress(const wchar_t* text, std::wstring& host, unsigned long& port) {
    if (text == nullptr) return false;
    std::wstring address = text;
    // "host:" names a host with an empty port: the splitter drops an empty last field, so keep
    // it here.
    if (!address.empty() && address.back() == kSeparator) address += L' ';
    const std::vector<std::wstring> fields = SplitFields(address.c_str(), kSeparator);
    if (fields.size() < 2) return false;
    host = fields[0];
    port = Port(fields[1]);
    return true;
}

}  // namespace kx
