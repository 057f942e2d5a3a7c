// The platform layer's services as the scan service's client and kxctl meet them: one instance
// per name, handles that die with their instance, and the device's error codes.
#include "ServiceFixture.h"

#include <wince/wince.h>

#include <functional>

namespace {

class ServicesTest : public kxtest::ServiceTest {
protected:
    void TearDown() override { kxtest::KillServiceHosts(); }
};

wchar_t kInstance[] = L"SAV0:";

// Each call's result (1 success, 0 failure) and the last error, one row per call in order.
TEST_F(ServicesTest, LoadFindControlAndUnload) {
    HANDLE first = nullptr, old = nullptr;
    DWORD answer = 0, returned = 0;
    const auto control = [&](HANDLE h, DWORD code, DWORD out) {
        return ::ServiceIoControl(h, code, nullptr, 0, &answer, out, &returned, nullptr) != FALSE;
    };
    const auto load = [](const wchar_t* prefix, DWORD index, const wchar_t* dll, DWORD context) {
        return ::RegisterService(prefix, index, dll, context);
    };
    const struct Row {
        const char* name;
        std::function<bool()> call;
        bool ok;
        DWORD error;  // checked when the call failed
    } rows[] = {
        {"no such module", [&] { return load(L"SAV", 0, L"NoSuchModule.dll", 1) != nullptr; },
         false, ERROR_FILE_NOT_FOUND},
        {"no entry points", [&] { return load(L"SAV", 0, L"kxcommon.dll", 1) != nullptr; }, false,
         ERROR_INVALID_FUNCTION},
        {"Init refuses context 0", [&] { return load(L"SAV", 0, L"KXSVC.dll", 0) != nullptr; },
         false, ERROR_OPEN_FAILED},
        {"prefix of two", [&] { return load(L"SA", 0, L"KXSVC.dll", 1) != nullptr; }, false,
         ERROR_INVALID_PARAMETER},
        {"index 10", [&] { return load(L"SAV", 10, L"KXSVC.dll", 1) != nullptr; }, false,
         ERROR_INVALID_PARAMETER},
        {"not loaded yet",
         [&] { return ::GetServiceHandle(kInstance, nullptr, nullptr) != INVALID_HANDLE_VALUE; },
         false, 0},
        {"load", [&] { return (old = load(L"SAV", 0, L"KXSVC.dll", 1)) != nullptr; }, true, 0},
        {"loaded once", [&] { return load(L"SAV", 0, L"KXSVC.dll", 1) != nullptr; }, false,
         ERROR_DEVICE_IN_USE},
        {"found", [&] { return ::GetServiceHandle(kInstance, nullptr, nullptr) == old; }, true, 0},
        {"control", [&] { return control(old, KXSVC_START, 4) && returned == 4 && answer == 1; },
         true, 0},
        {"the service's own error", [&] { return control(old, KXSVC_START, 3); }, false,
         ERROR_INSUFFICIENT_BUFFER},
        {"unload", [&] { return ::DeregisterService(old) != FALSE; }, true, 0},
        {"reload", [&] { return (first = load(L"SAV", 0, L"KXSVC.dll", 1)) != nullptr; }, true, 0},
        {"an unloaded instance's handle", [&] { return control(old, KXSVC_START, 4); }, false,
         ERROR_INVALID_HANDLE},
        {"unloaded twice", [&] { return ::DeregisterService(old) != FALSE; }, false, 0},
        {"bad handle", [&] { return control(HANDLE(0x1234), KXSVC_START, 4); }, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ::SetLastError(0);
        EXPECT_EQ(row.call(), row.ok);
        if (!row.ok && row.error != 0) EXPECT_EQ(::GetLastError(), row.error);
    }
    EXPECT_EQ(kxtest::CountServiceHosts(), 1) << "unloading ended the first host";
}

}  // namespace
