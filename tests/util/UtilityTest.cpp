// The small utilities: Bit32 and its proxy, byte-order reversal, WaitTime, MutexLock across
// threads and processes, and which modules DynamicLoadLibrary frees.
#include "DeviceFixture.h"

#include <kxcommon/Utility.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <thread>

namespace {

const unsigned short* U(const std::wstring& text) {
    return reinterpret_cast<const unsigned short*>(text.c_str());
}

// A name no other test or process uses.
std::wstring UniqueName(const wchar_t* what) {
    static int serial = 0;
    return L"kxtest." + std::wstring(what) + L"." + std::to_wstring(::GetCurrentProcessId()) +
           L"." + std::to_wstring(++serial);
}

// ---- Bit32 ---------------------------------------------------------------------------------

TEST(Bit32, ReadsAndWritesSingleBitsWithinTheWord) {
    Bit32 bits;
    EXPECT_EQ(bits.Value(), 0ul);
    bits.Set(31);
    EXPECT_EQ(bits.Value(), 0x80000000ul);
    EXPECT_TRUE(bits[31]);
    EXPECT_FALSE(bits[30]);
    bits.Set(0);
    bits.Reset(31);
    EXPECT_EQ(bits.Value(), 1ul);

    // Bits 32 and above do not exist.
    bits.Set(32);
    bits.Set(40);
    EXPECT_EQ(bits.Value(), 1ul);
    Bit32 full(0xFFFFFFFFul);
    full.Reset(32);
    EXPECT_EQ(full.Value(), 0xFFFFFFFFul);
    EXPECT_FALSE(full[40]);
    EXPECT_FALSE(full[32]);
    EXPECT_FALSE(static_cast<const Bit32&>(full)[32]);

    bits.Set();
    EXPECT_EQ(bits.Value(), 0xFFFFFFFFul);
    bits.Reset();
    EXPECT_EQ(bits.Value(), 0ul);
    bits.Value(0x1234ul);
    EXPECT_EQ(Bit32(bits).Value(), 0x1234ul);
}

TEST(Bit32, ProxyAssignsAndYieldsTheValueAssigned) {
    Bit32 bits(0);
    EXPECT_TRUE(bits[3] = true);
    EXPECT_EQ(bits.Value(), 8ul);
    EXPECT_FALSE(bits[3] = false);
    EXPECT_EQ(bits.Value(), 0ul);
    EXPECT_TRUE(bits[33] = true) << "yields the value even where no bit exists";
    EXPECT_EQ(bits.Value(), 0ul);

    bits.Value(0x2);
    bits[5] = bits[1];  // proxy to proxy copies the bit, not the proxy
    EXPECT_EQ(bits.Value(), 0x22ul);
    const bool read = bits[5];
    EXPECT_TRUE(read);
}

// ---- Byte order and WaitTime ---------------------------------------------------------------

TEST(ByteOrder, ReversesTheBytesAndLeavesTheArgumentAlone) {
    const unsigned char shortBytes[2] = {0x12, 0x34};
    unsigned short s;
    std::memcpy(&s, shortBytes, sizeof s);
    EXPECT_EQ(BLShort(s), 0x1234);
    EXPECT_EQ(s, 0x3412) << "argument unchanged";

    const unsigned char longBytes[4] = {0x12, 0x34, 0x56, 0x78};
    unsigned long l;
    std::memcpy(&l, longBytes, sizeof l);
    EXPECT_EQ(BLLong(l), 0x12345678ul);
    EXPECT_EQ(l, 0x78563412ul);
    unsigned long high = 0xFF000001ul;
    EXPECT_EQ(BLLong(high), 0x010000FFul);
}

TEST(WaitTime, SleepsUntilTheDeadlineAndNotForAPassedOne) {
    ULONGLONG start = ::GetTickCount64();
    WaitTime(0, true);
    WaitTime(-5, true);
    WaitTime(static_cast<long>(::GetTickCount() - 60000), false);  // a minute ago
    EXPECT_LT(::GetTickCount64() - start, 30000u) << "a passed deadline returns at once";

    start = ::GetTickCount64();
    WaitTime(static_cast<long>(::GetTickCount() + 150), false);
    EXPECT_GE(::GetTickCount64() - start, 100u);
    start = ::GetTickCount64();
    WaitTime(150, true);
    EXPECT_GE(::GetTickCount64() - start, 100u);
}

// ---- MutexLock -----------------------------------------------------------------------------

struct Event {
    explicit Event(const std::wstring& name)
        : handle(::CreateEventW(nullptr, TRUE, FALSE, name.c_str())) {}
    ~Event() { ::CloseHandle(handle); }
    bool WaitFor(DWORD ms) const { return ::WaitForSingleObject(handle, ms) == WAIT_OBJECT_0; }
    HANDLE handle;
};

TEST(MutexLock, AnotherThreadSeesTheMutexHeldUntilItIsReleased) {
    const std::wstring name = UniqueName(L"mutex");
    Event held(UniqueName(L"held"));
    Event release(UniqueName(L"release"));
    int holderStatus = -1;
    std::thread holder([&] {
        MutexLock lock(U(name), 1);
        holderStatus = lock.GetLockStatus();
        ::SetEvent(held.handle);
        release.WaitFor(30000);
    });
    ASSERT_TRUE(held.WaitFor(30000));
    {
        MutexLock second(U(name), 0);  // must not block
        EXPECT_EQ(second.GetLockStatus(), 1);
        EXPECT_EQ(second.WaitWithTimeOut(0), 0);
        EXPECT_EQ(second.WaitWithTimeOut(50), 0);
        ::SetEvent(release.handle);
        EXPECT_EQ(second.WaitWithTimeOut(30000), 1) << "taken once the holder released it";
    }
    holder.join();
    EXPECT_EQ(holderStatus, 0) << "the first object created the mutex";

    // Everyone let go: a new object creates it afresh.
    MutexLock fresh(U(name), 0);
    EXPECT_EQ(fresh.GetLockStatus(), 0);
}

TEST(MutexLock, WaitingConstructorBlocksUntilTheOwnerIsDestroyed) {
    const std::wstring name = UniqueName(L"mutex");
    Event constructed(UniqueName(L"constructed"));
    int waiterStatus = -1;
    std::thread waiter;
    {
        MutexLock owner(U(name), 1);
        ASSERT_EQ(owner.GetLockStatus(), 0);
        waiter = std::thread([&] {
            MutexLock lock(U(name), 1);
            waiterStatus = lock.GetLockStatus();
            ::SetEvent(constructed.handle);
        });
        EXPECT_FALSE(constructed.WaitFor(200)) << "the waiting constructor returned early";
    }
    EXPECT_TRUE(constructed.WaitFor(30000));
    waiter.join();
    EXPECT_EQ(waiterStatus, 1);
}

HANDLE StartHolder(const std::wstring& mutex, int wait, const std::wstring& ready,
                   const std::wstring& release) {
    std::wstring command = L"\"" + kxtest::SiblingPath(L"") + L"kxtest_mutexholder.exe\" " + mutex +
                           L" " + std::to_wstring(wait) + L" " + ready + L" " + release;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info))
        return nullptr;
    ::CloseHandle(info.hThread);
    return info.hProcess;
}

DWORD EndOf(HANDLE process) {
    DWORD code = 0xFFFFFFFF;
    if (::WaitForSingleObject(process, 30000) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(process, &code);
    ::CloseHandle(process);
    return code;
}

TEST(MutexLock, AnotherProcessHoldsItAgainstThisOne) {
    const std::wstring name = UniqueName(L"mutex");
    const std::wstring readyName = UniqueName(L"ready"), releaseName = UniqueName(L"release");
    Event ready(readyName), release(releaseName);
    HANDLE child = StartHolder(name, 0, readyName, releaseName);
    ASSERT_NE(child, nullptr) << "kxtest_mutexholder.exe did not start";
    ASSERT_TRUE(ready.WaitFor(30000));
    {
        MutexLock mine(U(name), 0);
        EXPECT_EQ(mine.GetLockStatus(), 1);
        EXPECT_EQ(mine.WaitWithTimeOut(0), 0);
        ::SetEvent(release.handle);
        EXPECT_EQ(mine.WaitWithTimeOut(30000), 1);
    }
    EXPECT_EQ(EndOf(child), 0u) << "the child created the mutex";
}

TEST(MutexLock, AnotherProcessWaitsForThisOne) {
    const std::wstring name = UniqueName(L"mutex");
    const std::wstring readyName = UniqueName(L"ready"), releaseName = UniqueName(L"release");
    Event ready(readyName), release(releaseName);
    HANDLE child = nullptr;
    {
        MutexLock mine(U(name), 0);
        ASSERT_EQ(mine.GetLockStatus(), 0);
        child = StartHolder(name, 1, readyName, releaseName);
        ASSERT_NE(child, nullptr) << "kxtest_mutexholder.exe did not start";
        EXPECT_FALSE(ready.WaitFor(500)) << "the child took a mutex this process holds";
    }
    EXPECT_TRUE(ready.WaitFor(30000)) << "the child got the mutex once it was released";
    ::SetEvent(release.handle);
    EXPECT_EQ(EndOf(child), 1u) << "the child found the mutex existing";
}

// ---- DynamicLoadLibrary --------------------------------------------------------------------

// The application directory is read once per process, so every test here uses the same one.
constexpr wchar_t kAppDir[] = L"\\kxtest\\app";
constexpr wchar_t kProbe[] = L"kxtest_loadprobe.dll";       // beside the test, on the search path
constexpr wchar_t kAppOnlyProbe[] = L"kxprobe_appdir.dll";  // only in the application directory

class DynamicLoadLibraryTest : public kxtest::DeviceTest {
protected:
    void SetUp() override {
        kxtest::DeviceTest::SetUp();
        kxtest::RawSetValue(kxtest::kProductKey, L"AppPath", REG_SZ, kAppDir,
                            static_cast<DWORD>((std::wcslen(kAppDir) + 1) * sizeof(wchar_t)));
        ::CreateDirectoryW(kxtest::kScratchDir, nullptr);
        ASSERT_TRUE(::CreateDirectoryW(kAppDir, nullptr));
        const std::wstring target = std::wstring(kAppDir) + L"\\" + kAppOnlyProbe;
        ASSERT_TRUE(
            ::CopyFileW((kxtest::SiblingPath(L"") + kProbe).c_str(), target.c_str(), FALSE));
    }
};

TEST_F(DynamicLoadLibraryTest, ALoadedModuleIsUsedButNotFreed) {
    HMODULE mine = ::LoadLibraryW(kProbe);
    ASSERT_NE(mine, nullptr);
    {
        // Looked up by file name alone: the directory given does not matter.
        DynamicLoadLibrary library(U(L"\\nowhere\\kxtest_loadprobe.dll"), true, false);
        EXPECT_TRUE(library.IsOK());
        EXPECT_EQ(library.GetHandle(), mine);
    }
    EXPECT_EQ(::GetModuleHandleW(kProbe), mine) << "freed a module it did not load";
    ::FreeLibrary(mine);
    EXPECT_EQ(::GetModuleHandleW(kProbe), nullptr);
}

TEST_F(DynamicLoadLibraryTest, LoadsFromTheApplicationDirectoryAndFreesIt) {
    ASSERT_EQ(::GetModuleHandleW(kAppOnlyProbe), nullptr);
    {
        DynamicLoadLibrary notOnSearchPath(U(kAppOnlyProbe), false, true);
        EXPECT_FALSE(notOnSearchPath.IsOK());
        EXPECT_EQ(notOnSearchPath.GetHandle(), nullptr);
    }
    {
        DynamicLoadLibrary library(U(kAppOnlyProbe), true, false);
        ASSERT_TRUE(library.IsOK());
        EXPECT_NE(::GetProcAddress(library.GetHandle(), "KxLoadProbe"), nullptr);
        wchar_t loaded[MAX_PATH] = {};
        ::GetModuleFileNameW(library.GetHandle(), loaded, MAX_PATH);
        EXPECT_NE(std::wstring(loaded).find(L"\\kxtest\\app\\"), std::wstring::npos)
            << testing::PrintToString(std::wstring(loaded));
    }
    EXPECT_EQ(::GetModuleHandleW(kAppOnlyProbe), nullptr) << "an owned module is freed";
}

TEST_F(DynamicLoadLibraryTest, FallsBackToTheSystemSearchAndFreesWhatItLoaded) {
    ASSERT_EQ(::GetModuleHandleW(kProbe), nullptr);
    {
        DynamicLoadLibrary library(U(kProbe), true, false);
        ASSERT_TRUE(library.IsOK()) << "not in the application directory, found by the search";
        EXPECT_EQ(::GetModuleHandleW(kProbe), library.GetHandle());
    }
    EXPECT_EQ(::GetModuleHandleW(kProbe), nullptr) << "the fallback's module is freed";

    // A system library not yet in the process takes the same road.
    for (const wchar_t* system : {L"msimg32.dll", L"mpr.dll", L"cabinet.dll"}) {
        if (::GetModuleHandleW(system) != nullptr) continue;
        {
            DynamicLoadLibrary library(U(system), true, false);
            EXPECT_TRUE(library.IsOK()) << testing::PrintToString(std::wstring(system));
        }
        EXPECT_EQ(::GetModuleHandleW(system), nullptr);
        return;
    }
    GTEST_SKIP() << "every candidate system library is already loaded";
}

TEST_F(DynamicLoadLibraryTest, NothingToLoad) {
    DynamicLoadLibrary missing(U(L"kxtest_no_such_module.dll"), true, false);
    EXPECT_FALSE(missing.IsOK());
    DynamicLoadLibrary none(nullptr, true, false);
    EXPECT_FALSE(none.IsOK());
    EXPECT_EQ(none.GetHandle(), nullptr);
}

}  // namespace
