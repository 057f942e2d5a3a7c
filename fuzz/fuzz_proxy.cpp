// A proxy entry's "Proxy" text: a text with a colon gives the host before the first colon and
// the port from the digits after it; one without leaves both outputs alone.
#include "../src/protection/ProxyAddress.h"

#include "FuzzCheck.h"

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<wchar_t> text = TakeWideText(data, size);
    const std::wstring whole(text.data());
    std::wstring host = L"untouched";
    unsigned long port = 0xDEADBEEF;
    const bool parsed = kx::ParseProxyAddress(text.data(), host, port);

    const size_t colon = whole.find(L':');
    KX_FUZZ_CHECK(parsed == (colon != std::wstring::npos));
    if (!parsed) {
        KX_FUZZ_CHECK(host == L"untouched" && port == 0xDEADBEEF);
        return 0;
    }
    KX_FUZZ_CHECK(host == whole.substr(0, colon));
    unsigned long expected = 0;
    for (size_t i = colon + 1; i < whole.size() && whole[i] >= L'0' && whole[i] <= L'9'; ++i)
        expected = expected * 10 + static_cast<unsigned long>(whole[i] - L'0');
    KX_FUZZ_CHECK(port == expected);
    KX_FUZZ_CHECK(!kx::ParseProxyAddress(nullptr, host, port));
    return 0;
}
