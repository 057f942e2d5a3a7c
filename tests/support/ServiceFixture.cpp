#include "ServiceFixture.h"

#include "../../components/KXSVC/ServiceTestHooks.h"

namespace kxtest {
namespace {

wchar_t kInstance[] = L"SAV0:";

bool Control(DWORD code, void* in, DWORD inLen, void* out, DWORD outLen) {
    HANDLE service = ::GetServiceHandle(kInstance, nullptr, nullptr);
    if (service == INVALID_HANDLE_VALUE) return false;
    DWORD returned = 0;
    return ::ServiceIoControl(service, code, in, inLen, out, outLen, &returned, nullptr) &&
           returned == outLen;
}

}  // namespace

const char kEicar[] = "X5O!P%@AP[4\\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*";

void WritePattern(const std::string& text) {
    ::CreateDirectoryW(kServiceDir, nullptr);
    HANDLE file = ::CreateFileW(L"\\KxSvc\\pattern.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr));
    ::CloseHandle(file);
}

std::string ReadDeviceFile(const std::wstring& path) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string content;
    char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        content.append(chunk, got);
    ::CloseHandle(file);
    return content;
}

bool ArmFault(DWORD code, DWORD mode, DWORD count, DWORD param) {
    KxServiceFault fault{code, mode, count, param};
    return Control(KXSVC_TEST_FAULT, &fault, sizeof fault, nullptr, 0);
}

bool ReadServiceState(ServiceSnapshot* state) {
    static_assert(sizeof(ServiceSnapshot) == sizeof(KxServiceState), "state record");
    return Control(KXSVC_TEST_STATE, nullptr, 0, state, sizeof *state);
}

}  // namespace kxtest
