#include "ServiceFixture.h"

namespace kxtest {
namespace {

bool Control(DWORD code, void* in, DWORD inBytes, void* out, DWORD outBytes) {
    wchar_t instance[] = L"SAV0:";
    HANDLE service = ::GetServiceHandle(instance, nullptr, nullptr);
    if (service == INVALID_HANDLE_VALUE) return false;
    DWORD returned = 0;
    return ::ServiceIoControl(service, code, in, inBytes, out, outBytes, &returned, nullptr) &&
           returned == outBytes;
}

}  // namespace

const char kEicar[] = "X5O!P%@AP[4\\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*";

void WritePattern(const std::string& text) {
    ::CreateDirectoryW(kServiceDir, nullptr);
    WriteDeviceFile(L"\\KxSvc\\pattern.txt", text);
}

bool ArmFault(DWORD code, DWORD mode, DWORD count, DWORD param) {
    KxServiceFault fault{code, mode, count, param};
    return Control(KXSVC_TEST_FAULT, &fault, sizeof fault, nullptr, 0);
}

bool ReadServiceState(ServiceSnapshot* state) {
    return Control(KXSVC_TEST_STATE, nullptr, 0, state, sizeof *state);
}

}  // namespace kxtest
