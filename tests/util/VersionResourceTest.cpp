// The version resource of every DLL and program of the SDK, read back through the platform's
// version API: file and product version are the project version, the original file name is the
// file's own.
#include "DeviceFixture.h"

#include <cstdio>
#include <vector>

namespace {

constexpr wchar_t kProjectVersion[] = L"" KX_PROJECT_VERSION;

// The string of the product's (US English, Unicode) block, or null.
const wchar_t* VersionText(std::vector<BYTE>& data, const wchar_t* name) {
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    void* text = nullptr;
    UINT chars = 0;
    if (!::VerQueryValueW(data.data(), path.c_str(), &text, &chars) || chars == 0) return nullptr;
    return static_cast<const wchar_t*>(text);
}

TEST(VersionResourceTest, EveryFileCarriesTheProjectVersion) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    ASSERT_EQ(std::swscanf(kProjectVersion, L"%u.%u.%u.%u", &a, &b, &c, &d), 4);
    const DWORD high = a << 16 | b;
    const DWORD low = c << 16 | d;
    const wchar_t* const files[] = {L"kxcommon.dll",   L"kxctl.exe",        L"kxsvchost.exe",
                                    L"KXSVC.dll",      L"KxHookLoader.exe", L"KXSMSLsn2.dll",
                                    L"KXSC_SP_Res.dll"};
    for (const wchar_t* file : files) {
        SCOPED_TRACE(testing::Message() << file);
        const std::wstring path = kxtest::SiblingPath(file);
        const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), nullptr);
        ASSERT_NE(size, 0u) << "no version resource";
        std::vector<BYTE> data(size);
        ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, data.data()));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT bytes = 0;
        ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &bytes));
        ASSERT_GE(bytes, sizeof *fixed);
        EXPECT_EQ(fixed->dwFileVersionMS, high);
        EXPECT_EQ(fixed->dwFileVersionLS, low);
        EXPECT_EQ(fixed->dwProductVersionMS, high);
        EXPECT_EQ(fixed->dwProductVersionLS, low);
        const wchar_t* original = VersionText(data, L"OriginalFilename");
        ASSERT_NE(original, nullptr);
        EXPECT_STREQ(original, file);
        const wchar_t* product = VersionText(data, L"ProductVersion");
        ASSERT_NE(product, nullptr);
        EXPECT_STREQ(product, kProjectVersion);
    }
}

}  // namespace
