// The platform layer's services as the scan service's client and kxctl meet them: one instance
// per name, handles that die with their instance, and the device's error codes.
#include "ServiceFixture.h"

namespace {

class ServicesTest : public kxtest::ServiceTest {
protected:
    void TearDown() override { kxtest::KillServiceHosts(); }
};

// One call per row, in order: 0 when it succeeded, else the last error (kFails: any).
TEST_F(ServicesTest, LoadFindControlAndUnload) {
    wchar_t sav0[] = L"SAV0:";
    HANDLE loaded = nullptr, old = nullptr;
    DWORD answer = 0, returned = 0;
    const auto control = [&](HANDLE h, DWORD out) {
        return ::ServiceIoControl(h, KXSVC_START, nullptr, 0, &answer, out, &returned, nullptr);
    };
    const auto load = [&](const wchar_t* dll, DWORD context = 1) {
        return (loaded = ::RegisterService(L"SAV", 0, dll, context)) != nullptr;
    };
    const DWORD kFails = ~0u;
    const struct Row {
        const char* name;
        std::function<bool()> call;
        DWORD expected;
    } rows[] = {
        {"Init refuses context 0", [&] { return load(L"KXSVC.dll", 0); }, ERROR_OPEN_FAILED},
        {"load", [&] { return load(L"KXSVC.dll") && (old = loaded); }, 0},
        {"loaded once", [&] { return load(L"KXSVC.dll"); }, ERROR_DEVICE_IN_USE},
        {"the service's own error", [&] { return control(old, 3); }, ERROR_INSUFFICIENT_BUFFER},
        {"unload", [&] { return ::DeregisterService(old); }, 0},
        {"gone", [&] { return ::GetServiceHandle(sav0, nullptr, nullptr) == old; }, kFails},
        {"reload", [&] { return load(L"KXSVC.dll"); }, 0},
        {"an unloaded instance's handle", [&] { return control(old, 4); }, ERROR_INVALID_HANDLE},
    };
    for (const Row& row : rows) {
        ::SetLastError(0);
        const DWORD got = row.call() ? 0 : row.expected == kFails ? kFails : ::GetLastError();
        EXPECT_EQ(got, row.expected) << row.name;
    }
    EXPECT_EQ(kxtest::CountServiceHosts(), 1) << "unloading ended the first host";
}

}  // namespace
