// Test access to the scan service beyond the product's protocol: its host processes, its test
// control codes, and a way to make it impossible to load.
#pragma once

#include "DeviceFixture.h"

#include "../../components/KXSVC/ServiceTestHooks.h"

namespace kxtest {

// The reference scan service's log (kServiceDir is in DeviceFixture.h).
constexpr wchar_t kServiceLog[] = L"\\KxSvc\\service.log";

// The standard anti-virus test file's content.
extern const char kEicar[];

// Writes the service's pattern file.
void WritePattern(const std::string& text);

// Sends a test control code to the loaded service; false when it is not loaded or refused.
bool ArmFault(DWORD code, DWORD mode, DWORD count = 0, DWORD param = 0);
// The loaded service's inner state; false when it is not loaded or refused.
using ServiceSnapshot = KxServiceState;
bool ReadServiceState(ServiceSnapshot* state);

// While it lives, the scan service cannot be loaded: the instance is claimed by the test.
struct BlockServiceLoading {
    const HANDLE claim = ::CreateMutexW(nullptr, FALSE, L"kxce-service-SAV0");
    ~BlockServiceLoading() { ::CloseHandle(claim); }
};

class ServiceTest : public DeviceTest {};

}  // namespace kxtest
