// The platform layer's services: loading, finding, controlling and unloading an instance, with
// the device's error codes.
#include "ServiceFixture.h"

#include <wince/wince.h>

#include <cstring>

namespace {

using kxtest::CountServiceHosts;

class ServicesTest : public kxtest::ServiceTest {
protected:
    void TearDown() override { kxtest::KillServiceHosts(); }
};

wchar_t kInstance[] = L"SAV0:";
constexpr DWORD kProductContext = 1;

TEST_F(ServicesTest, RegisterFindControlAndDeregister) {
    EXPECT_EQ(::GetServiceHandle(kInstance, nullptr, nullptr), INVALID_HANDLE_VALUE);
    HANDLE loaded = ::RegisterService(L"SAV", 0, L"KXSVC.dll", kProductContext);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(CountServiceHosts(), 1);
    EXPECT_EQ(::GetServiceHandle(kInstance, nullptr, nullptr), loaded);
    wchar_t noColon[] = L"SAV0";
    EXPECT_EQ(::GetServiceHandle(noColon, nullptr, nullptr), loaded);

    DWORD answer = 0, returned = 0;
    EXPECT_TRUE(::ServiceIoControl(loaded, KXSVC_START, nullptr, 0, &answer, sizeof answer,
                                   &returned, nullptr));
    EXPECT_EQ(returned, 4u);
    EXPECT_EQ(answer, 1u);

    EXPECT_TRUE(::DeregisterService(loaded));
    EXPECT_EQ(CountServiceHosts(), 0) << "unloading ends the host";
    EXPECT_EQ(::GetServiceHandle(kInstance, nullptr, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(::ServiceIoControl(loaded, KXSVC_START, nullptr, 0, &answer, sizeof answer,
                                    &returned, nullptr));
    EXPECT_FALSE(::DeregisterService(loaded));
}

TEST_F(ServicesTest, LoadFailuresCarryTheDevicesErrors) {
    struct Case {
        const wchar_t* prefix;
        DWORD index;
        const wchar_t* dll;
        DWORD context;
        DWORD error;
    } const cases[] = {
        {L"SAV", 0, L"NoSuchModule.dll", kProductContext, ERROR_FILE_NOT_FOUND},
        {L"SAV", 0, L"kxcommon.dll", kProductContext, ERROR_INVALID_FUNCTION},  // no entry points
        {L"SAV", 0, L"KXSVC.dll", 0, ERROR_OPEN_FAILED},  // Init refuses context 0
        {L"SA", 0, L"KXSVC.dll", kProductContext, ERROR_INVALID_PARAMETER},
        {L"SAV", 10, L"KXSVC.dll", kProductContext, ERROR_INVALID_PARAMETER},
        {L"SAV", 0, L"", kProductContext, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        ::SetLastError(0);
        EXPECT_EQ(::RegisterService(c.prefix, c.index, c.dll, c.context), nullptr) << c.error;
        EXPECT_EQ(::GetLastError(), c.error);
        EXPECT_EQ(CountServiceHosts(), 0);
    }
}

TEST_F(ServicesTest, AnInstanceIsLoadedOnce) {
    HANDLE first = ::RegisterService(L"SAV", 0, L"KXSVC.dll", kProductContext);
    ASSERT_NE(first, nullptr);
    ::SetLastError(0);
    EXPECT_EQ(::RegisterService(L"SAV", 0, L"KXSVC.dll", kProductContext), nullptr);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_DEVICE_IN_USE));
    HANDLE second = ::RegisterService(L"SAV", 1, L"KXSVC.dll", kProductContext);
    EXPECT_NE(second, nullptr) << "another index is another instance";
    EXPECT_NE(second, first);
    EXPECT_EQ(CountServiceHosts(), 2);
}

TEST_F(ServicesTest, HandlesOfAnUnloadedInstanceDoNotReachTheNextOne) {
    HANDLE old = ::RegisterService(L"SAV", 0, L"KXSVC.dll", kProductContext);
    ASSERT_TRUE(::DeregisterService(old));
    HANDLE current = ::RegisterService(L"SAV", 0, L"KXSVC.dll", kProductContext);
    ASSERT_NE(current, nullptr);
    DWORD answer = 0, returned = 0;
    ::SetLastError(0);
    EXPECT_FALSE(::ServiceIoControl(old, KXSVC_START, nullptr, 0, &answer, 4, &returned, nullptr));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(
        ::ServiceIoControl(current, KXSVC_START, nullptr, 0, &answer, 4, &returned, nullptr));
}

TEST_F(ServicesTest, DllNameComesBackWithItsByteCount) {
    ASSERT_NE(::RegisterService(L"SAV", 0, L"KXSVC.dll", kProductContext), nullptr);
    DWORD bytes = 0;
    EXPECT_NE(::GetServiceHandle(kInstance, nullptr, &bytes), INVALID_HANDLE_VALUE);
    EXPECT_EQ(bytes, sizeof L"KXSVC.dll");
    wchar_t name[16];
    std::memset(name, 0xBD, sizeof name);
    bytes = 4;  // too small: nothing written, the size needed comes back
    EXPECT_NE(::GetServiceHandle(kInstance, name, &bytes), INVALID_HANDLE_VALUE);
    EXPECT_EQ(bytes, sizeof L"KXSVC.dll");
    EXPECT_EQ(name[0], 0xBDBD);
    bytes = sizeof name;
    EXPECT_NE(::GetServiceHandle(kInstance, name, &bytes), INVALID_HANDLE_VALUE);
    EXPECT_STREQ(name, L"KXSVC.dll");
}

TEST_F(ServicesTest, BadHandlesAndNamesAreRefused) {
    wchar_t badName[] = L"SAVX:";
    ::SetLastError(0);
    EXPECT_EQ(::GetServiceHandle(badName, nullptr, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(::GetServiceHandle(nullptr, nullptr, nullptr), INVALID_HANDLE_VALUE);
    DWORD answer = 0;
    for (HANDLE bad : {HANDLE(nullptr), INVALID_HANDLE_VALUE, HANDLE(0x1234)}) {
        EXPECT_FALSE(
            ::ServiceIoControl(bad, KXSVC_START, nullptr, 0, &answer, 4, nullptr, nullptr));
        EXPECT_FALSE(::DeregisterService(bad));
    }
}

}  // namespace
