// A refused registry call answers the library's status and leaves the platform's own code for
// GetLastError, so that a caller can tell a missing value from a text that did not fit.
#include "DeviceFixture.h"

#include <kxcommon/KxRegUtil.h>

#include <functional>

namespace kxtest {
namespace {

class PlatformErrorTest : public DeviceTest {};

// What GetLastError holds before each call: a code no registry call answers.
constexpr DWORD kStaleCode = 0xBADC0DE;

struct RefusalRow {
    const char* call;                   // the call, in words
    std::function<KXSTATUS()> refused;  // makes the call on a device with only "Present" stored
    KXSTATUS status;                    // the library's status
    DWORD platformCode;                 // what GetLastError answers afterwards
};

::testing::AssertionResult LeavesPlatformCode(const RefusalRow& row) {
    ::SetLastError(kStaleCode);
    const KXSTATUS status = row.refused();
    const DWORD code = ::GetLastError();
    if (status == row.status && code == row.platformCode) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << row.call << " answered " << Hex(status) << " with GetLastError " << code
           << "; expected " << Hex(row.status) << " with GetLastError " << row.platformCode;
}

TEST_F(PlatformErrorTest, ARefusedCallLeavesThePlatformsCode) {
    RawSetValue(kProductKey, L"Present", REG_SZ, L"twelve chars", sizeof L"twelve chars");
    // clang-format off
    const RefusalRow rows[] = {
        {.call = "reading a number from a key that is not there", .refused = [] {
             unsigned long number = 0;
             return KxRegUtil().GetValue(L"SOFTWARE\\Quorlend\\Missing", L"Present", number, HKEY_LOCAL_MACHINE); },
         .status = KX_E_REGISTRY, .platformCode = ERROR_FILE_NOT_FOUND},
        {.call = "reading a setting that was never stored", .refused = [] {
             unsigned long type = 0;
             return KxConfig::GetScanFileType(type); },
         .status = KX_E_REGISTRY, .platformCode = ERROR_FILE_NOT_FOUND},
        {.call = "deleting a setting that was never stored", .refused = [] { return KxConfig::DelStartupTemp(); },
         .status = KX_E_REGISTRY, .platformCode = ERROR_FILE_NOT_FOUND},
        {.call = "reading a text into a buffer of 4 characters", .refused = [] {
             wchar_t small[4] = {};
             return KxRegUtil().GetValue(kProductKey, L"Present", small, 4, HKEY_LOCAL_MACHINE); },
         .status = KX_E_REGISTRY, .platformCode = ERROR_MORE_DATA},
        {.call = "storing a null text",
         .refused = [] { return KxRegUtil().SetValue(kProductKey, L"Present", static_cast<const wchar_t*>(nullptr)); },
         .status = KX_E_REGISTRY, .platformCode = ERROR_INVALID_PARAMETER},
    };
    // clang-format on
    for (const RefusalRow& row : rows) EXPECT_TRUE(LeavesPlatformCode(row));
}

}  // namespace
}  // namespace kxtest
