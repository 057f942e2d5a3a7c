// Where the reference scan service keeps its files on the device.
#pragma once

namespace kxsvc {

constexpr wchar_t kServiceDir[] = L"\\KxSvc";
constexpr wchar_t kPatternFile[] = L"\\KxSvc\\pattern.txt";
constexpr wchar_t kQuarantineDir[] = L"\\KxSvc\\Quarantine";
constexpr wchar_t kServiceLog[] = L"\\KxSvc\\service.log";

}  // namespace kxsvc
