// The "Proxy" text of a connection-manager proxy entry, "host:port", apart from the registry so
// that it is built and fuzzed natively as well.
#pragma once

#include <string>

namespace kx {

// Splits `text` (terminated) at its colons, as the separated-value splitter does: the host is the
// part before the first colon, the port the leading decimal digits of the part after it, up to a
// second colon (no digits: 0). False, with both outputs untouched, for a null text or one
// without a colon.
bool ParseProxyAddress(const wchar_t* text, std::wstring& host, unsigned long& port);

}  // namespace kx
