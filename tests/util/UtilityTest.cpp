// The small utilities: Bit32 and its proxy, byte-order reversal, WaitTime, and which modules
// DynamicLoadLibrary frees (MutexLock across processes is with RunApp).
#include "DeviceFixture.h"

#include <kxcommon/Utility.h>

static auto U(const wchar_t* text) { return reinterpret_cast<const unsigned short*>(text); }

// Bits 32 and above do not exist: they read as clear and writing them changes nothing.
TEST(Bit32, SingleBitsWithinTheWord) {
    struct Row {
        const char* name;
        unsigned long start, value;
        void (*op)(Bit32&);
    } const rows[] = {
        {"set 31, 32 and 40", 1, 0x80000001, [](Bit32& b) { b.Set(31), b.Set(32), b.Set(40); }},
        {"reset 31 and 32", 0xFFFFFFFF, 0x7FFFFFFF, [](Bit32& b) { b.Reset(31), b.Reset(32); }},
        {"set all", 0, 0xFFFFFFFF, [](Bit32& b) { b.Set(); }},
        {"reset all", 0x1234, 0, [](Bit32& b) { b.Reset(); }},
        {"value and copy", 0, 0x1234, [](Bit32& b) { b.Value(0x1234), b = Bit32(b); }},
        // The proxy yields the value assigned, also beyond bit 31; one proxy copies another's bit.
        {"proxy", 0x10, 8, [](Bit32& b) { EXPECT_TRUE((b[3] = true) && !(b[4] = false)); }},
        {"proxy 33, copy", 2, 0x22, [](Bit32& b) { EXPECT_TRUE((b[33] = true) && (b[5] = b[1])); }},
    };
    for (const Row& r : rows) {
        Bit32 bits(r.start);
        r.op(bits);
        EXPECT_EQ(bits.Value(), r.value) << r.name;
    }
    Bit32 high(0x80000001);
    EXPECT_EQ(std::vector<bool>({high[31], high[30], high[32], high[40], std::as_const(high)[32]}),
              std::vector<bool>({true, false, false, false, false}));
}

TEST(ByteOrder, ReversesTheBytesAndLeavesTheArgumentAlone) {
    unsigned short s = 0x3412;
    unsigned long l = 0x78563412, high = 0xFF000001;
    // The arguments are read again last: unchanged.
    EXPECT_EQ(std::vector<unsigned long>({BLShort(s), BLLong(l), BLLong(high), s, l}),
              std::vector<unsigned long>({0x1234, 0x12345678, 0x010000FF, 0x3412, 0x78563412}));
}

// A deadline passed returns at once (the bound is generous); one ahead is slept until.
TEST(WaitTime, SleepsUntilTheDeadlineAndNotForAPassedOne) {
    ULONGLONG start = ::GetTickCount64();
    for (long relative : {0L, -5L}) WaitTime(relative, true);
    WaitTime(static_cast<long>(::GetTickCount() - 60000), false);
    EXPECT_LT(::GetTickCount64() - start, 30000u);
    start = ::GetTickCount64();
    WaitTime(static_cast<long>(::GetTickCount() + 150), false);
    WaitTime(150, true);
    EXPECT_GE(::GetTickCount64() - start, 250u);
}

// The application directory is read once per process: every row uses the same one.
static constexpr wchar_t kAppDir[] = L"\\kxtest";
// One probe module beside the test, on the search path; a copy only in the application directory.
static constexpr wchar_t kProbe[] = L"kxtest_loadprobe.dll";
static constexpr wchar_t kAppOnlyProbe[] = L"kxprobe_appdir.dll";

class DynamicLoadLibraryTest : public kxtest::DeviceTest {};

// A module already in the process is used, not freed; one it loaded (from the application
// directory, or by the system's search) is freed; without `fromAppDir` the name is as given.
TEST_F(DynamicLoadLibraryTest, WhatItLoadsAndFrees) {
    kxtest::RawSetValue(kxtest::kProductKey, L"AppPath", REG_SZ, kAppDir, sizeof kAppDir);
    ASSERT_TRUE(::CopyFileW(kxtest::SiblingPath(kProbe).c_str(),
                            kxtest::MakeScratchFile(kAppOnlyProbe).c_str(), FALSE));
    // `from`: a folder of the path it was loaded from, or null: not loaded.
    struct Row {
        const wchar_t *name, *module, *from;
        bool fromAppDir, loadedBefore;
    } const rows[] = {
        {L"\\nowhere\\kxtest_loadprobe.dll", kProbe, L"\\", true, true},  // by file name alone
        {kAppOnlyProbe, kAppOnlyProbe, nullptr, false, false},
        {kAppOnlyProbe, kAppOnlyProbe, L"\\kxtest\\", true, false},
        {kProbe, kProbe, L"\\", true, false},
        {L"kxtest_no_such_module.dll", L"kxtest_no_such_module.dll", nullptr, true, false},
        {nullptr, kProbe, nullptr, true, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(r.name ? r.name : L"<null>")));
        HMODULE before = r.loadedBefore ? ::LoadLibraryW(r.module) : nullptr;
        auto library = std::make_unique<DynamicLoadLibrary>(U(r.name), r.fromAppDir, false);
        EXPECT_EQ(library->IsOK(), r.from != nullptr);
        EXPECT_EQ(library->GetHandle(), ::GetModuleHandleW(r.module));
        wchar_t path[MAX_PATH] = {};
        if (library->GetHandle()) ::GetModuleFileNameW(library->GetHandle(), path, MAX_PATH);
        if (r.from) EXPECT_NE(std::wstring(path).find(r.from), std::wstring::npos);
        library.reset();
        EXPECT_EQ(::GetModuleHandleW(r.module), before) << "freed exactly what it loaded";
        if (before) ::FreeLibrary(before);
    }
}
