// Directories, programs started, versions, resources, shorthand signs and the debug log.
#include "DeviceFixture.h"

#include <kxcommon/AppUtil.h>
#include <kxcommon/UI.h>
#include <kxcommon/Utility.h>

#include <shlobj.h>

static constexpr unsigned short kFill = 0xBDBD;

class AppUtilTest : public kxtest::DeviceTest {};

static auto Units(const std::wstring& text) {
    return reinterpret_cast<const unsigned short*>(text.c_str());
}
static std::wstring Wide(const unsigned short* text) {
    return reinterpret_cast<const wchar_t*>(text);
}

// The product's directories by selector (unknown ones are empty) and the device's folders (0x3F:
// one the device lacks); a program is looked for in the selected directory only.
TEST_F(AppUtilTest, DirectoriesAndWhereProgramsAreLookedFor) {
    ASSERT_TRUE(::CopyFileW(kxtest::SiblingPath(L"kxtest_sleeper.exe").c_str(),
                            kxtest::MakeScratchFile(L"nap.exe").c_str(), FALSE));
    kxtest::RawSetValue(kxtest::kProductKey, L"WinPath", REG_SZ, L"\\kxtest", sizeof L"\\kxtest");
    const struct {
        const char* call;
        void (*get)(int, unsigned short*);
        int selector;
        const wchar_t* path;
    } directories[] = {
        // clang-format off
        {.call = "GetOurPath of the system directory",   .get = GetOurPath,     .selector = KX_DIR_SYSTEM, .path = L"\\kxtest\\"},
        {.call = "GetOurPath of an unknown selector",    .get = GetOurPath,     .selector = 0,             .path = L""},
        {.call = "GetSpecialPath of the start-up folder", .get = GetSpecialPath, .selector = CSIDL_STARTUP, .path = L"\\Windows\\StartUp\\"},
        {.call = "GetSpecialPath of a folder it lacks",  .get = GetSpecialPath, .selector = 0x3F,          .path = L""},
        // clang-format on
    };
    for (const auto& row : directories) {
        unsigned short path[MAX_PATH] = {'x'};
        row.get(row.selector, path);
        EXPECT_EQ(Wide(path), row.path) << row.call;
    }
    GetOurPath(KX_DIR_SYSTEM, nullptr);  // left alone, no fault
    const struct {
        const char* name;
        std::wstring program;
        int selector;
        bool started;
    } programs[] = {
        // clang-format off
        {.name = "in the system directory",        .program = L"nap.exe",             .selector = KX_DIR_SYSTEM, .started = true},
        {.name = "no directory: the name is the path", .program = L"\\kxtest\\nap.exe", .selector = KX_DIR_NONE, .started = true},
        {.name = "missing",                        .program = L"absent.exe",          .selector = KX_DIR_SYSTEM, .started = false},
        {.name = "not in the (unset) application directory", .program = L"nap.exe",   .selector = KX_DIR_APP,    .started = false},
        {.name = "a path too long", .program = std::wstring(300, L'n') + L".exe",     .selector = KX_DIR_SYSTEM, .started = false},
        // clang-format on
    };
    for (const auto& row : programs)
        EXPECT_EQ(RunApp(Units(row.program), Units(L"nap.exe 10"), 10000, row.selector) != 0,
                  row.started)
            << "whether RunApp started a program " << row.name;
}

// The program gets the caller's command line as it is (the helper signals `ready` only when it
// gets its two arguments), and RunApp returns after its end only when asked to wait: the
// helper takes the mutex (waiting for it with argument 1), signals `ready` and holds it until
// `release`, which is signalled at once or only after RunApp returns. A MutexLock's status is 0
// when it created the mutex, 1 when it existed; a holder keeps it from the other process until it
// lets go.
TEST_F(AppUtilTest, RunAppAndMutexLockAcrossProcesses) {
    const std::wstring holder = kxtest::SiblingPath(L"kxtest_mutexholder.exe");
    const struct Row {
        const char* name;
        const wchar_t* mutex;  // the mutex's name, with this process's identifier after it
        bool waits, mineFirst;
    } rows[] = {
        {.name = "RunApp waits for the end", .mutex = L"kxwaits", .waits = true},
        {.name = "RunApp returns at once; the helper holds it", .mutex = L"kxreturns"},
        {.name = "this process holds it; the helper waits", .mutex = L"kxmine", .mineFirst = true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::wstring id = row.mutex + std::to_wstring(::GetCurrentProcessId());
        HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, (id + L".ready").c_str());
        HANDLE release = ::CreateEventW(nullptr, TRUE, row.waits, (id + L".release").c_str());
        auto mine = row.mineFirst ? std::make_unique<MutexLock>(Units(id), 1) : nullptr;
        if (mine) EXPECT_EQ(mine->GetLockStatus(), 0);
        const std::wstring command = L"holder " + id + (row.mineFirst ? L" 1" : L" 0");
        ASSERT_NE(RunApp(Units(holder), Units(command), row.waits ? 30000 : 0, KX_DIR_NONE), 0);
        if (mine) EXPECT_NE(::WaitForSingleObject(ready, 300), WAIT_OBJECT_0) << "took it";
        mine.reset();
        // Waiting: it has run and ended (the mutex is new again); else it holds the mutex. The
        // next row would hang on a RunApp that waits when not asked to: stop here.
        ASSERT_EQ(::WaitForSingleObject(ready, row.waits ? 0 : 30000), WAIT_OBJECT_0);
        MutexLock other(Units(id), 0);  // must not block
        ASSERT_EQ(other.GetLockStatus(), row.waits ? 0 : 1);
        if (!row.waits) EXPECT_EQ(other.WaitWithTimeOut(0), 0);
        ::SetEvent(release);
        if (!row.waits) EXPECT_EQ(other.WaitWithTimeOut(30000), 1) << "taken once released";
        ::CloseHandle(ready);
        ::CloseHandle(release);
    }
}

// Versions of modules; bytes become text low byte first; a leading mark is dropped on request, an
// odd byte ignored. Resources are found by number and type, whole; a file made from one replaces
// the old one whole, a missing resource empties it, a missing folder fails.
TEST_F(AppUtilTest, ResourcesAndByteTexts) {
    unsigned char bytes[] = {0xFF, 0xFE, 0x41, 0, 0x42, 0, 0x43};
    const struct {
        const char* name;
        int from, count;
        bool dropMark;
        const wchar_t* text;
    } texts[] = {
        // clang-format off
        {.name = "the mark and A, dropped",   .from = 0, .count = 4, .dropMark = true,  .text = L"A"},
        {.name = "the mark and A, kept",      .from = 0, .count = 4, .dropMark = false, .text = L"\uFEFFA"},
        {.name = "the mark alone",            .from = 0, .count = 2, .dropMark = true,  .text = L"\uFEFF"},
        {.name = "A, B and an odd byte",      .from = 2, .count = 5, .dropMark = false, .text = L"AB"},
        // clang-format on
    };
    for (const auto& row : texts)
        EXPECT_EQ(CreateStringFromByteBuf(bytes + row.from, row.count, row.dropMark), row.text)
            << "CreateStringFromByteBuf of " << row.name;
    HINSTANCE module = ::LoadLibraryExW(kxtest::SiblingPath(L"kxtest_resmodule.dll").c_str(),
                                        nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    // The product version, not the file version (9.8.7.6); none without a version resource.
    std::vector<std::pair<unsigned long, unsigned long>> versions;
    for (const wchar_t* file : {L"kxtest_resmodule.dll", L"kxtest_sleeper.exe"})
        versions.push_back(GetAFileVersion(Units(kxtest::SiblingPath(file))));
    EXPECT_EQ(versions, decltype(versions)({{0x20000, 0x103FD}, {0, 0}}));
    const auto* data = reinterpret_cast<const unsigned short*>(RT_RCDATA);
    const auto custom = GetResource(module, 102, Units(L"KXDATA"));
    EXPECT_EQ(std::string(static_cast<const char*>(custom.first), custom.second), "hello");
    EXPECT_EQ(GetResource(module, 999, data), decltype(custom)(nullptr, 0));
    EXPECT_EQ(CreateStringFromRes(module, 101, data, true), L"AB");
    EXPECT_EQ(CreateStringFromRes(module, 101, data, false), L"\uFEFFAB");
    const std::wstring out = kxtest::MakeScratchFile(L"out.bin", "previous, longer content");
    EXPECT_TRUE(CreateFileFromRes(Units(out), module, 102, Units(L"KXDATA")));
    EXPECT_EQ(kxtest::ReadDeviceFile(out), "hello");
    EXPECT_TRUE(CreateFileFromRes(Units(out), module, 999, Units(L"KXDATA")));
    EXPECT_EQ(kxtest::ReadDeviceFile(out), "");
    EXPECT_FALSE(
        CreateFileFromRes(Units(L"\\kxtest\\no\\dir\\x.bin"), module, 102, Units(L"KXDATA")));
    ::FreeLibrary(module);
}

// Strings of the product's resource module, cut to the buffer; messages formatted from them
// (%s takes a wide text), the buffer left alone for a missing string, 0xFFFFFFFF when cut.
TEST_F(AppUtilTest, ResourceStringsAndMessages) {
    wchar_t text[64], small[4], none[4] = L"old";
    EXPECT_EQ(UI_LoadString(100, text, 64), 7);
    EXPECT_STREQ(text, L"Scutara");
    EXPECT_EQ(UI_LoadString(100, small, 4), 3) << "UI_LoadString into 4 characters";
    EXPECT_STREQ(small, L"Scu");
    EXPECT_EQ(UI_LoadString(9999, none, 4), 0) << "UI_LoadString of a missing string";
    EXPECT_STREQ(none, L"");
    std::vector<unsigned short> buffer(65, kFill);
    EXPECT_EQ(ResFmtMessage(buffer.data(), 64, 9999, 1), 0ul);
    EXPECT_EQ(buffer[0], kFill) << "a missing string leaves the buffer";
    EXPECT_EQ(ResFmtMessage(buffer.data(), 64, 105, 12, 1), 44ul);
    EXPECT_EQ(Wide(buffer.data()), L"Scan finished: 12 files scanned, 1 infected.");
    buffer.assign(65, kFill);
    EXPECT_EQ(ResFmtMessage(buffer.data(), 10, 101, L"EICAR"), 0xFFFFFFFFul) << "did not fit";
    EXPECT_EQ(Wide(buffer.data()), L"Virus fou");
    EXPECT_EQ(buffer[10], kFill);
}

// (c), (r) and (tm) become their signs wherever they start; other cases and spellings stay.
TEST_F(AppUtilTest, ShorthandBecomesSigns) {
    std::wstring text = L"(C) 2026|((c)|a(r)b(tm)(c)|(t)(m)";
    ParseSC(reinterpret_cast<unsigned short*>(&text[0]));
    EXPECT_STREQ(text.c_str(), L"(C) 2026|(\u00A9|a\u00AEb\u2122\u00A9|(t)(m)");
    ParseSC(nullptr);
}

// Records are UTF-16 with one line feed each, cut to 1023 characters.
TEST_F(AppUtilTest, DebugLogRecords) {
    WriteDbgLog(Units(L"%s"), std::wstring(1500, L'z').c_str());
    WriteDbgLog(Units(L"a%sb %d"), L"X", 5);
    WriteDbgLog(Units(L""));
    const std::wstring text = std::wstring(1023, L'z') + L"\naXb 5\n\n";
    EXPECT_EQ(kxtest::ReadDeviceFile(kxtest::kDebugLog),
              std::string(reinterpret_cast<const char*>(text.data()), 2 * text.size()));
}

// What a shipped file's version resource says: the fixed record's file and product versions, and
// the texts of its original file name and product version.
struct VersionResource {
    std::wstring fileVersion, productVersion, originalFilename, productVersionText;
    bool operator==(const VersionResource&) const = default;
};

static std::ostream& operator<<(std::ostream& out, const VersionResource& resource) {
    return out << "file version " << testing::PrintToString(resource.fileVersion)
               << ", product version " << testing::PrintToString(resource.productVersion)
               << ", original file name " << testing::PrintToString(resource.originalFilename)
               << ", product version text " << testing::PrintToString(resource.productVersionText);
}

static std::wstring Dotted(DWORD high, DWORD low) {
    return std::to_wstring(HIWORD(high)) + L"." + std::to_wstring(LOWORD(high)) + L"." +
           std::to_wstring(HIWORD(low)) + L"." + std::to_wstring(LOWORD(low));
}

static ::testing::AssertionResult CarriesTheProjectVersion(const wchar_t* file) {
    const std::wstring path = kxtest::SiblingPath(file), version = L"" KX_PROJECT_VERSION;
    std::vector<BYTE> data(::GetFileVersionInfoSizeW(path.c_str(), nullptr) + 1);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    if (!::GetFileVersionInfoW(path.c_str(), 0, DWORD(data.size()), data.data()) ||
        !::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &size))
        return ::testing::AssertionFailure() << testing::PrintToString(path) << " has no version";
    const auto text = [&data](const wchar_t* name) {
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        wchar_t* value = nullptr;
        UINT length = 0;
        ::VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &length);
        return std::wstring(value ? value : L"<none>");
    };
    const VersionResource got{
        .fileVersion = Dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS),
        .productVersion = Dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS),
        .originalFilename = text(L"OriginalFilename"),
        .productVersionText = text(L"ProductVersion")};
    const VersionResource expected{.fileVersion = version,
                                   .productVersion = version,
                                   .originalFilename = file,
                                   .productVersionText = version};
    if (got == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "the version resource of " << testing::PrintToString(path) << " says " << got
           << ", expected " << expected;
}

// Every DLL and program the project ships carries the one project version and its own name.
TEST(VersionResourceTest, EveryShippedFileCarriesTheProjectVersion) {
    for (const wchar_t* file : {L"kxcommon.dll", L"kxctl.exe", L"kxsvchost.exe", L"KXSVC.dll",
                                L"KxHookLoader.exe", L"KXSMSLsn2.dll", L"KXSC_SP_Res.dll"})
        EXPECT_TRUE(CarriesTheProjectVersion(file));
}
