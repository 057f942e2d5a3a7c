// The application directory: read once per process and handed out with its backslash.
#include "DeviceFixture.h"

#include <kxcommon/KxConfig.h>

#include <string>

namespace {

constexpr wchar_t kFill = 0xBDBD;

void SetAppPath(const std::wstring& path) {
    kxtest::RawSetValue(kxtest::kProductKey, L"AppPath", REG_SZ, path.c_str(),
                        static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
}

class KxConfigDirsTest : public kxtest::DeviceTest {};

// One test, because the first successful read fixes the directory for the whole process.
TEST_F(KxConfigDirsTest, GetAppDirReadsOnceAndAddsTheBackslash) {
    wchar_t buffer[MAX_PATH];
    EXPECT_EQ(KxConfig::GetAppDir(nullptr, MAX_PATH), KX_E_INVALIDARG);

    buffer[0] = kFill;
    EXPECT_EQ(KxConfig::GetAppDir(buffer, MAX_PATH), KX_E_REGISTRY) << "setting missing";
    EXPECT_EQ(buffer[0], L'\0');

    SetAppPath(L"\\" + std::wstring(MAX_PATH - 2, L'x'));  // 259 characters: no room for "\"
    EXPECT_EQ(KxConfig::GetAppDir(buffer, MAX_PATH), KX_E_REGISTRY);
    EXPECT_EQ(buffer[0], L'\0');

    SetAppPath(L"\\Program Files\\App");
    ASSERT_EQ(KxConfig::GetAppDir(buffer, MAX_PATH), KX_OK);
    EXPECT_STREQ(buffer, L"\\Program Files\\App\\");

    SetAppPath(L"\\Elsewhere\\");
    ASSERT_EQ(KxConfig::GetAppDir(buffer, MAX_PATH), KX_OK);
    EXPECT_STREQ(buffer, L"\\Program Files\\App\\") << "the first read is kept";

    wchar_t small[8];
    small[7] = kFill;
    EXPECT_EQ(KxConfig::GetAppDir(small, 7), KX_E_REGISTRY) << "does not fit";
    EXPECT_EQ(small[0], L'\0');
    EXPECT_EQ(small[7], kFill);
}

}  // namespace
