// The platform layer's services as the scan service's client and kxctl meet them: one instance
// per name, handles that die with their instance, and the device's error codes.
#include "ServiceFixture.h"

#include <functional>

namespace {

class ServicesTest : public kxtest::ServiceTest {
protected:
    void TearDown() override { kxtest::KillServiceHosts(); }
};

HANDLE Load(DWORD context = 1) { return ::RegisterService(L"SAV", 0, L"KXSVC.dll", context); }
// The start request, answered into `outBytes` bytes.
bool Control(HANDLE service, DWORD outBytes) {
    DWORD answer = 0, returned = 0;
    return ::ServiceIoControl(service, KXSVC_START, nullptr, 0, &answer, outBytes, &returned,
                              nullptr);
}

// What a row starts from; each gives the first instance's handle (null: none was loaded).
HANDLE NothingLoaded() {
    kxtest::KillServiceHosts();
    return nullptr;
}
HANDLE Loaded() {
    NothingLoaded();
    return Load();
}
HANDLE Unloaded() {
    const HANDLE first = Loaded();
    ::DeregisterService(first);
    return first;
}
HANDLE LoadedAgain() {
    const HANDLE first = Unloaded();
    Load();
    return first;
}

// A call that succeeds, or fails with `expected` as the last error (kAnyError: with any).
constexpr DWORD kSucceeds = 0;
constexpr DWORD kAnyError = ~0u;
struct ServiceRow {
    const char* name;  // the call and what it starts from
    HANDLE (*before)();
    std::function<bool(HANDLE firstInstance)> call;
    DWORD expected;
};

::testing::AssertionResult Answers(const ServiceRow& row) {
    const HANDLE first = row.before();
    ::SetLastError(0);
    const bool succeeded = row.call(first);
    const DWORD error = succeeded ? 0 : ::GetLastError();
    if (row.expected == kSucceeds
            ? succeeded
            : !succeeded && (row.expected == kAnyError || error == row.expected))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << row.name << ": " << (succeeded ? "succeeded" : "failed with error ") << error
           << ", expected " << (row.expected == kSucceeds ? "success" : "a failure with error ")
           << row.expected;
}

TEST_F(ServicesTest, LoadFindControlAndUnload) {
    wchar_t sav0[] = L"SAV0:";
    // clang-format off
    const ServiceRow rows[] = {
        {"Init refuses context 0", NothingLoaded, [](HANDLE) { return Load(0) != nullptr; }, ERROR_OPEN_FAILED},
        {"loading", NothingLoaded, [](HANDLE) { return Load() != nullptr; }, kSucceeds},
        {"loading a loaded service", Loaded, [](HANDLE) { return Load() != nullptr; }, ERROR_DEVICE_IN_USE},
        {"a request the service refuses", Loaded, [](HANDLE first) { return Control(first, 3); },
         ERROR_INSUFFICIENT_BUFFER},
        {"unloading", Loaded, [](HANDLE first) { return ::DeregisterService(first); }, kSucceeds},
        {"finding an unloaded instance", Unloaded,
         [&](HANDLE first) { return ::GetServiceHandle(sav0, nullptr, nullptr) == first; }, kAnyError},
        {"a request on an unloaded instance's handle, loaded again since", LoadedAgain,
         [](HANDLE first) { return Control(first, 4); }, ERROR_INVALID_HANDLE},
    };
    // clang-format on
    for (const ServiceRow& row : rows) EXPECT_TRUE(Answers(row));
    LoadedAgain();
    EXPECT_EQ(kxtest::CountServiceHosts(), 1)
        << "hosts running after a load, an unload and a load: the unload did not end the first";
}

}  // namespace
