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
    const auto path = [](void (*get)(int, unsigned short*), int which) {
        unsigned short path[MAX_PATH] = {'x'};
        get(which, path);
        return Wide(path);
    };
    EXPECT_EQ(path(GetOurPath, KX_DIR_SYSTEM) + L"|" + path(GetOurPath, 0) + L"|" +
                  path(GetSpecialPath, CSIDL_STARTUP) + L"|" + path(GetSpecialPath, 0x3F),
              L"\\kxtest\\||\\Windows\\StartUp\\|");
    GetOurPath(KX_DIR_SYSTEM, nullptr);  // left alone, no fault
    // 1 for each program started: in the system directory; no directory, the name is the path;
    // missing; not in the (unset) application directory; a path too long.
    const auto run = [](const std::wstring& program, int selector) {
        return RunApp(Units(program), Units(L"nap.exe 10"), 10000, selector) != 0 ? "1" : "0";
    };
    EXPECT_EQ(std::string(run(L"nap.exe", KX_DIR_SYSTEM)) + run(L"\\kxtest\\nap.exe", KX_DIR_NONE) +
                  run(L"absent.exe", KX_DIR_SYSTEM) + run(L"nap.exe", KX_DIR_APP) +
                  run(std::wstring(300, L'n') + L".exe", KX_DIR_SYSTEM),
              "11000");
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
    // Mark and A, mark and A unchanged, a mark alone (kept), A B and an odd byte, nothing.
    unsigned char bytes[] = {0xFF, 0xFE, 0x41, 0, 0x42, 0, 0x43};
    const auto text = CreateStringFromByteBuf;
    EXPECT_EQ(text(bytes, 4, true) + L"|" + text(bytes, 4, false) + L"|" + text(bytes, 2, true) +
                  L"|" + text(bytes + 2, 5, false) + L"|" + text(bytes, 0, false),
              L"A|\uFEFFA|\uFEFF|AB|");
    HINSTANCE module = ::LoadLibraryExW(kxtest::SiblingPath(L"kxtest_resmodule.dll").c_str(),
                                        nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    // The product version, not the file version (9.8.7.6); none without a version resource.
    std::vector<std::pair<unsigned long, unsigned long>> versions;
    for (const wchar_t* file : {L"kxtest_resmodule.dll", L"kxtest_sleeper.exe", L"absent.dll"})
        versions.push_back(GetAFileVersion(Units(kxtest::SiblingPath(file))));
    EXPECT_EQ(versions, decltype(versions)({{0x20000, 0x103FD}, {0, 0}, {0, 0}}));
    const auto* data = reinterpret_cast<const unsigned short*>(RT_RCDATA);
    const auto custom = GetResource(module, 102, Units(L"KXDATA"));
    EXPECT_EQ(std::string(static_cast<const char*>(custom.first), custom.second) +
                  std::to_string(GetResource(module, 101, data).second),
              "hello6");
    EXPECT_EQ(GetResource(module, 999, data), decltype(custom)(nullptr, 0));
    EXPECT_EQ(CreateStringFromRes(module, 101, data, true) + L"|" +
                  CreateStringFromRes(module, 101, data, false) + L"|" +
                  CreateStringFromRes(module, 999, data, true),
              L"AB|\uFEFFAB|");
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
    EXPECT_EQ(UI_LoadString(100, text, 64) * 100 + UI_LoadString(100, small, 4) * 10 +
                  UI_LoadString(9999, none, 4),
              730);
    EXPECT_EQ(std::wstring(text) + L"|" + small + L"|" + none, L"Scutara|Scu|");
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
