// The small utilities: Bit32 and its proxy, byte-order reversal, WaitTime, and which modules
// DynamicLoadLibrary frees (MutexLock across processes is with RunApp).
#include "DeviceFixture.h"

#include <kxcommon/Utility.h>

static auto Units(const wchar_t* text) { return reinterpret_cast<const unsigned short*>(text); }

// Bits 32 and above do not exist: they read as clear and writing them changes nothing.
TEST(Bit32, SingleBitsWithinTheWord) {
    struct Row {
        const char* name;
        unsigned long start, value;
        void (*operation)(Bit32&);
    } const rows[] = {
        // clang-format off
        {.name = "set 31, 32 and 40", .start = 1,          .value = 0x80000001,
         .operation = [](Bit32& bits) { bits.Set(31); bits.Set(32); bits.Set(40); }},
        {.name = "reset 31 and 32",   .start = 0xFFFFFFFF, .value = 0x7FFFFFFF,
         .operation = [](Bit32& bits) { bits.Reset(31); bits.Reset(32); }},
        {.name = "set all",           .start = 0,          .value = 0xFFFFFFFF, .operation = [](Bit32& bits) { bits.Set(); }},
        {.name = "reset all",         .start = 0x1234,     .value = 0, .operation = [](Bit32& bits) { bits.Reset(); }},
        {.name = "value and copy",    .start = 0,          .value = 0x1234,
         .operation = [](Bit32& bits) { bits.Value(0x1234); bits = Bit32(bits); }},
        // The proxy yields the value assigned, also beyond bit 31; one proxy copies another's bit.
        {.name = "proxy",             .start = 0x10,       .value = 8,
         .operation = [](Bit32& bits) { EXPECT_TRUE((bits[3] = true) && !(bits[4] = false)); }},
        {.name = "proxy 33, copy",    .start = 2,          .value = 0x22,
         .operation = [](Bit32& bits) { EXPECT_TRUE((bits[33] = true) && (bits[5] = bits[1])); }},
        // clang-format on
    };
    for (const Row& row : rows) {
        Bit32 bits(row.start);
        row.operation(bits);
        EXPECT_EQ(bits.Value(), row.value) << "Bit32 after " << row.name;
    }
    Bit32 high(0x80000001);
    EXPECT_EQ(std::vector<bool>({high[31], high[30], high[32], high[40], std::as_const(high)[32]}),
              std::vector<bool>({true, false, false, false, false}));
}

TEST(ByteOrder, ReversesTheBytesAndLeavesTheArgumentAlone) {
    unsigned short shortValue = 0x3412;
    unsigned long longValue = 0x78563412;
    EXPECT_EQ(BLShort(shortValue), 0x1234);
    EXPECT_EQ(BLLong(longValue), 0x12345678ul);
    EXPECT_EQ(shortValue, 0x3412) << "BLShort changed its argument";
    EXPECT_EQ(longValue, 0x78563412ul) << "BLLong changed its argument";
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
        // clang-format off
        {.name = L"\\nowhere\\kxtest_loadprobe.dll", .module = kProbe, .from = L"\\", .fromAppDir = true, .loadedBefore = true},  // by file name alone
        {.name = kAppOnlyProbe, .module = kAppOnlyProbe, .from = nullptr,         .fromAppDir = false},
        {.name = kAppOnlyProbe, .module = kAppOnlyProbe, .from = L"\\kxtest\\", .fromAppDir = true},
        {.name = kProbe,        .module = kProbe,        .from = L"\\",           .fromAppDir = true},
        {.name = L"kxtest_no_such_module.dll", .module = L"kxtest_no_such_module.dll", .from = nullptr, .fromAppDir = true},
        {.name = nullptr,       .module = kProbe,        .from = nullptr,         .fromAppDir = true},
        // clang-format on
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.name));
        HMODULE before = row.loadedBefore ? ::LoadLibraryW(row.module) : nullptr;
        auto library = std::make_unique<DynamicLoadLibrary>(Units(row.name), row.fromAppDir, false);
        EXPECT_EQ(library->IsOK(), row.from != nullptr) << "DynamicLoadLibrary's IsOK";
        EXPECT_EQ(library->GetHandle(), ::GetModuleHandleW(row.module)) << "its handle";
        wchar_t path[MAX_PATH] = {};
        if (library->GetHandle()) ::GetModuleFileNameW(library->GetHandle(), path, MAX_PATH);
        if (row.from)
            EXPECT_NE(std::wstring(path).find(row.from), std::wstring::npos) << "loaded from";
        library.reset();
        EXPECT_EQ(::GetModuleHandleW(row.module), before) << "freed exactly what it loaded";
        if (before) ::FreeLibrary(before);
    }
}
