// Single-instance activation across two real processes of one executable.
#include <kxcommon/UIWindows.h>

#include "DeviceFixture.h"
#include "Strings.h"

#include <string>

namespace {

constexpr wchar_t kRecordKey[] = L"SOFTWARE\\KxStandIns\\Instance";
constexpr wchar_t kHelper[] = L"kxtest_instance.exe";
// Waits that only guard against a helper that never answers.
constexpr DWORD kGuardMs = 30000;

class InstanceTest : public kxtest::DeviceTest {
protected:
    static HANDLE Start(const std::wstring& args) {
        std::wstring line = L"\"" + kxtest::SiblingPath(kHelper) + L"\" " + args;
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                              &pi))
            return nullptr;
        ::CloseHandle(pi.hThread);
        return pi.hProcess;
    }
    // Runs the helper to its end: its exit code, or 99 when it did not end.
    static DWORD Run(const std::wstring& args) {
        HANDLE process = Start(args);
        if (process == nullptr) return 98;
        DWORD code = 99;
        if (::WaitForSingleObject(process, kGuardMs) == WAIT_OBJECT_0)
            ::GetExitCodeProcess(process, &code);
        ::CloseHandle(process);
        return code;
    }
    static DWORD Number(const wchar_t* name) {
        DWORD type = 0;
        std::string bytes;
        if (!kxtest::RawGetValue(kRecordKey, name, &type, &bytes) || bytes.size() != 4) return 0;
        return *reinterpret_cast<const DWORD*>(bytes.data());
    }
    static std::wstring Text(const wchar_t* name) {
        DWORD type = 0;
        std::string bytes;
        if (!kxtest::RawGetValue(kRecordKey, name, &type, &bytes)) return L"(missing)";
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()));
    }
};

TEST_F(InstanceTest, SecondStartHandsItsCommandLineToTheFirst) {
    HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, L"kxtest_instance_ready");
    HANDLE closed = ::CreateEventW(nullptr, TRUE, FALSE, L"kxtest_instance_closed");
    ASSERT_NE(ready, nullptr);
    ASSERT_NE(closed, nullptr);
    HANDLE first = Start(L"first kxtest_instance_ready kxtest_instance_closed");
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(::WaitForSingleObject(ready, kGuardMs), WAIT_OBJECT_0);

    EXPECT_EQ(Run(L"second \"/scan \\My Documents\""), 0u);
    ASSERT_EQ(::WaitForSingleObject(closed, kGuardMs), WAIT_OBJECT_0);
    EXPECT_EQ(Number(L"Activated"), 1u);
    EXPECT_EQ(Number(L"Copies"), 1u);
    EXPECT_EQ(Number(L"CopyDataId"), 0x5678u);
    EXPECT_EQ(Text(L"CommandLine"), L"/scan \\My Documents");
    EXPECT_EQ(Number(L"CopyDataBytes"), 19u * 2u);  // without the terminator
    EXPECT_EQ(Number(L"ScanningClosed"), 1u);

    // The first instance still holds the mutex: an empty command line only activates it.
    HANDLE mutex = ::OpenMutexW(SYNCHRONIZE, FALSE, kHelper);
    EXPECT_NE(mutex, nullptr);
    if (mutex != nullptr) ::CloseHandle(mutex);
    ::ResetEvent(closed);
    EXPECT_EQ(Run(L"second"), 0u);
    ASSERT_EQ(::WaitForSingleObject(closed, kGuardMs), WAIT_OBJECT_0);
    EXPECT_EQ(Number(L"Activated"), 2u);
    EXPECT_EQ(Number(L"Copies"), 1u);

    // Closed by its title, the first instance ends and gives the mutex up.
    HWND mainDialog = UI_FindWindow(IDS_PRODUCT_NAME);
    ASSERT_NE(mainDialog, nullptr);
    UI_DestroyWindow(mainDialog, false);
    ASSERT_EQ(::WaitForSingleObject(first, kGuardMs), WAIT_OBJECT_0);
    DWORD code = 99;
    ::GetExitCodeProcess(first, &code);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(Run(L"second"), 1u);  // now it is the first instance itself

    ::CloseHandle(first);
    ::CloseHandle(ready);
    ::CloseHandle(closed);
}

TEST_F(InstanceTest, FirstInstanceKeepsTheMutexAndALaterOneFindsNoDialog) {
    wchar_t path[MAX_PATH];
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring name = std::wcsrchr(path, L'\\') + 1;

    HANDLE mine = ActivatePreviousInstance(9990, 9991, L"", 0);
    ASSERT_NE(mine, nullptr);
    // A later start: the mutex exists, no dialog has either title.
    EXPECT_EQ(ActivatePreviousInstance(9990, 9991, L"/x", 9992), nullptr);
    HANDLE probe = ::OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
    EXPECT_NE(probe, nullptr);
    if (probe != nullptr) ::CloseHandle(probe);
    ::CloseHandle(mine);
    EXPECT_EQ(::OpenMutexW(SYNCHRONIZE, FALSE, name.c_str()), nullptr);
}

}  // namespace
