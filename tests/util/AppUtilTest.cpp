// Directories, sibling programs, versions, resources, shorthand signs and the debug log.
#include "DeviceFixture.h"

#include <kxcommon/AppUtil.h>
#include <kxcommon/UI.h>

#include <shlobj.h>

#include <cstring>
#include <string>

namespace {

using kxtest::RawSetValue;

constexpr wchar_t kProductKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0";
constexpr unsigned short kFill = 0xBDBD;

class AppUtilTest : public kxtest::DeviceTest {};

unsigned short* U(wchar_t* text) { return reinterpret_cast<unsigned short*>(text); }
const unsigned short* U(const wchar_t* text) {
    return reinterpret_cast<const unsigned short*>(text);
}
std::wstring W(const unsigned short* text) { return reinterpret_cast<const wchar_t*>(text); }

void StoreText(const wchar_t* name, const std::wstring& text) {
    RawSetValue(kProductKey, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2));
}

// The test module, loaded for its resources.
class ResourceModule {
public:
    ResourceModule()
        : module_(::LoadLibraryExW(kxtest::SiblingPath(L"kxtest_resmodule.dll").c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE)) {}
    ~ResourceModule() {
        if (module_ != nullptr) ::FreeLibrary(module_);
    }
    HINSTANCE Get() const { return module_; }

private:
    HINSTANCE module_;
};

const unsigned short* RcData() { return reinterpret_cast<const unsigned short*>(RT_RCDATA); }

// ---- Directories ---------------------------------------------------------------------------

TEST_F(AppUtilTest, OurPathFollowsTheSelector) {
    StoreText(L"WinPath", L"\\Windows");
    unsigned short path[MAX_PATH];
    GetOurPath(KX_DIR_SYSTEM, path);
    EXPECT_EQ(W(path), L"\\Windows\\");
    for (int selector : {0, 3, -1}) {
        path[0] = 'x';
        GetOurPath(selector, path);
        EXPECT_EQ(W(path), L"") << selector;
    }
    GetOurPath(KX_DIR_SYSTEM, nullptr);  // left alone, no fault
}

TEST_F(AppUtilTest, SpecialFoldersAreTheDevicesOwn) {
    const struct {
        int csidl;
        const wchar_t* path;
    } cases[] = {
        {CSIDL_STARTUP, L"\\Windows\\StartUp\\"},
        {CSIDL_PERSONAL, L"\\My Documents\\"},
        {CSIDL_PROGRAM_FILES, L"\\Program Files\\"},
        {CSIDL_WINDOWS, L"\\Windows\\"},
        {0x3F, L""},  // a folder the device lacks
    };
    for (const auto& c : cases) {
        unsigned short path[MAX_PATH];
        path[0] = 'x';
        GetSpecialPath(c.csidl, path);
        EXPECT_EQ(W(path), c.path) << c.csidl;
    }
}

// ---- Programs ------------------------------------------------------------------------------

TEST_F(AppUtilTest, RunAppStartsFromTheSelectedDirectory) {
    ::CreateDirectoryW(kxtest::kScratchDir, nullptr);
    ASSERT_TRUE(::CopyFileW(kxtest::SiblingPath(L"kxtest_sleeper.exe").c_str(),
                            L"\\kxtest\\nap.exe", FALSE));
    StoreText(L"WinPath", L"\\kxtest");

    EXPECT_NE(RunApp(U(L"nap.exe"), U(L"nap.exe 10"), 10000, KX_DIR_SYSTEM), 0);
    EXPECT_NE(RunApp(U(L"\\kxtest\\nap.exe"), U(L"nap.exe 10"), 10000, KX_DIR_NONE), 0)
        << "no directory: the name is the path";
    EXPECT_EQ(RunApp(U(L"absent.exe"), U(L""), 10000, KX_DIR_SYSTEM), 0);
    EXPECT_EQ(RunApp(U(L"nap.exe"), U(L""), 0, KX_DIR_APP), 0) << "not in the (unset) app dir";
    const std::wstring tooLong = std::wstring(300, L'n') + L".exe";
    EXPECT_EQ(RunApp(U(tooLong.c_str()), U(L""), 0, KX_DIR_SYSTEM), 0);
}

TEST_F(AppUtilTest, ProductVersionComesFromTheVersionResource) {
    const std::wstring module = kxtest::SiblingPath(L"kxtest_resmodule.dll");
    const auto version = GetAFileVersion(U(module.c_str()));
    EXPECT_EQ(version.first, 0x20000ul) << "the product version, not the file version 9.8.7.6";
    EXPECT_EQ(version.second, 0x103FDul);
    const auto none = GetAFileVersion(U(kxtest::SiblingPath(L"kxtest_sleeper.exe").c_str()));
    EXPECT_EQ(none.first, 0ul);
    EXPECT_EQ(none.second, 0ul);
    EXPECT_EQ(GetAFileVersion(U(L"\\kxtest\\absent.dll")).first, 0ul);
}

// ---- Resources -----------------------------------------------------------------------------

TEST_F(AppUtilTest, BytesBecomeStringsLowByteFirst) {
    unsigned char marked[] = {0xFF, 0xFE, 0x41, 0x00};
    EXPECT_EQ(CreateStringFromByteBuf(marked, 4, true), L"A");
    EXPECT_EQ(CreateStringFromByteBuf(marked, 4, false), std::wstring(L"\xFEFF") + L"A");
    EXPECT_EQ(CreateStringFromByteBuf(marked, 2, true), L"\xFEFF") << "a mark alone is kept";
    unsigned char odd[] = {0x41, 0x00, 0x42, 0x00, 0x43};
    EXPECT_EQ(CreateStringFromByteBuf(odd, 5, false), L"AB");
    EXPECT_EQ(CreateStringFromByteBuf(odd, 0, false), L"");
    unsigned char high[] = {0x3A, 0x26};
    EXPECT_EQ(CreateStringFromByteBuf(high, 2, false), L"\x263A");
}

TEST_F(AppUtilTest, ResourcesAreReadFromAModule) {
    ResourceModule module;
    ASSERT_NE(module.Get(), nullptr);
    const auto data = GetResource(module.Get(), 101, RcData());
    ASSERT_NE(data.first, nullptr);
    EXPECT_EQ(data.second, 6u);
    const auto custom = GetResource(module.Get(), 102, U(L"KXDATA"));
    ASSERT_EQ(custom.second, 5u);
    EXPECT_EQ(std::memcmp(custom.first, "hello", 5), 0);
    const auto missing = GetResource(module.Get(), 999, RcData());
    EXPECT_EQ(missing.first, nullptr);
    EXPECT_EQ(missing.second, 0u);

    EXPECT_EQ(CreateStringFromRes(module.Get(), 101, RcData(), true), L"AB");
    EXPECT_EQ(CreateStringFromRes(module.Get(), 103, RcData(), false), L"\x4241\x4443");
    EXPECT_EQ(CreateStringFromRes(module.Get(), 999, RcData(), true), L"");
}

TEST_F(AppUtilTest, FilesAreWrittenFromResources) {
    ResourceModule module;
    ::CreateDirectoryW(kxtest::kScratchDir, nullptr);
    const std::wstring existing = kxtest::MakeScratchFile(L"out.bin", "previous, longer content");
    EXPECT_TRUE(CreateFileFromRes(U(existing.c_str()), module.Get(), 102, U(L"KXDATA")));
    HANDLE f = ::CreateFileW(existing.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    char buffer[64];
    DWORD got = 0;
    ::ReadFile(f, buffer, sizeof buffer, &got, nullptr);
    ::CloseHandle(f);
    EXPECT_EQ(std::string(buffer, got), "hello") << "replaced whole";

    EXPECT_TRUE(CreateFileFromRes(U(existing.c_str()), module.Get(), 999, U(L"KXDATA")));
    WIN32_FILE_ATTRIBUTE_DATA info{};
    ASSERT_TRUE(::GetFileAttributesExW(existing.c_str(), GetFileExInfoStandard, &info));
    EXPECT_EQ(info.nFileSizeLow, 0u) << "a missing resource empties the file";
    EXPECT_FALSE(
        CreateFileFromRes(U(L"\\kxtest\\no\\dir\\x.bin"), module.Get(), 102, U(L"KXDATA")));
}

// ---- Texts ---------------------------------------------------------------------------------

TEST_F(AppUtilTest, ResourceStringsComeFromTheProductsResourceModule) {
    wchar_t text[64];
    EXPECT_EQ(UI_LoadString(100, text, 64), 7);
    EXPECT_STREQ(text, L"Scutara");
    wchar_t small[4];
    EXPECT_EQ(UI_LoadString(100, small, 4), 3);
    EXPECT_STREQ(small, L"Scu");
    text[0] = L'x';
    EXPECT_EQ(UI_LoadString(9999, text, 64), 0);
    EXPECT_STREQ(text, L"");
}

TEST_F(AppUtilTest, MessagesAreFormattedFromResourceStrings) {
    unsigned short buffer[64];
    EXPECT_EQ(ResFmtMessage(buffer, 64, 101, L"EICAR-Test-File"), 28ul);
    EXPECT_EQ(W(buffer), L"Virus found: EICAR-Test-File") << "%s takes a wide text";
    const std::wstring done = L"Scan finished: 12 files scanned, 1 infected.";
    EXPECT_EQ(ResFmtMessage(buffer, 64, 105, 12, 1), done.size());
    EXPECT_EQ(W(buffer), done);

    std::fill(buffer, buffer + 64, kFill);
    EXPECT_EQ(ResFmtMessage(buffer, 64, 9999, 1), 0ul);
    EXPECT_EQ(buffer[0], kFill) << "a missing string leaves the buffer";

    unsigned short tight[11];
    std::fill(tight, tight + 11, kFill);
    EXPECT_EQ(ResFmtMessage(tight, 10, 101, L"EICAR"), 0xFFFFFFFFul) << "did not fit";
    EXPECT_EQ(W(tight), L"Virus fou");
    EXPECT_EQ(tight[10], kFill);
}

TEST_F(AppUtilTest, ShorthandBecomesSigns) {
    const struct {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {L"(c) 2026 (tm)", L"\u00A9 2026 \u2122"},
        {L"(C) 2026", L"(C) 2026"},
        {L"((c)", L"(\u00A9"},
        {L"a(r)b(tm)(c)", L"a\u00AEb\u2122\u00A9"},
        {L"(t)(m)", L"(t)(m)"},
        {L"", L""},
    };
    for (const auto& c : cases) {
        wchar_t text[32];
        std::wcscpy(text, c.in);
        ParseSC(U(text));
        EXPECT_STREQ(text, c.out);
    }
    ParseSC(nullptr);
}

std::string LogBytes() {
    HANDLE f = ::CreateFileW(kxtest::kDebugLog, GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(f, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    ::CloseHandle(f);
    return bytes;
}

TEST_F(AppUtilTest, DebugLogRecordsAreUtf16WithOneLineFeed) {
    WriteDbgLog(U(L"a%sb %d"), L"X", 5);
    WriteDbgLog(U(L""));
    EXPECT_EQ(LogBytes(), std::string("a\0X\0b\0 \0"
                                      "5\0\n\0"
                                      "\n\0",
                                      14));

    kxtest::ResetDevice();
    const std::wstring longText(1500, L'z');
    WriteDbgLog(U(L"%s"), longText.c_str());
    const std::string bytes = LogBytes();
    EXPECT_EQ(bytes.size(), 1023u * 2 + 2) << "cut to 1023 characters";
    EXPECT_EQ(bytes.substr(bytes.size() - 2), std::string("\n\0", 2));
}

}  // namespace
