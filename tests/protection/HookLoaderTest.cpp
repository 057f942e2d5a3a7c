// Real-time scanning and the WAP-push filter, switched by starting the hook loader: the keyword
// each switch sends, a missing loader, and the time-out of each switch. The library's wait for
// the loader is answered by the test (kxcommon.dll's import of WaitForSingleObject is pointed
// at AnsweredWait while a test runs), so every time-out is seen without waiting 30 seconds.
#include "DeviceFixture.h"

#include <kxcommon/KxStatus.h>

namespace {

constexpr wchar_t kRecord[] = L"SOFTWARE\\KxStandIns\\KxHookLoader";
constexpr wchar_t kSystemDir[] = L"\\kxtest\\sys";
constexpr wchar_t kEmptyDir[] = L"\\kxtest\\empty";
constexpr wchar_t kLoader[] = L"\\kxtest\\sys\\KxHookLoader.exe";

DWORD g_waitedMs;  // what the library asked to wait; 0 when it did not wait
DWORD g_answer;    // what the wait answers, once the loader has really ended

DWORD WINAPI AnsweredWait(HANDLE handle, DWORD ms) {
    g_waitedMs = ms;
    ::WaitForSingleObject(handle, INFINITE);  // the loader does its work in either case
    return g_answer;
}

FARPROC* WaitImportSlot() {
    auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(L"kxcommon.dll"));
    if (base == nullptr) return nullptr;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const DWORD imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports); d->Name != 0; ++d) {
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
        auto* slots = reinterpret_cast<FARPROC*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* name =
                reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(name->Name), "WaitForSingleObject") == 0)
                return slots;
        }
    }
    return nullptr;
}

void Point(FARPROC* slot, FARPROC to) {
    DWORD old = 0;
    ::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
    *slot = to;
    ::VirtualProtect(slot, sizeof *slot, old, &old);
}

void SetWinPath(const wchar_t* dir) {
    kxtest::RawSetValue(kxtest::kProductKey, L"WinPath", REG_SZ, dir,
                        static_cast<DWORD>((std::wcslen(dir) + 1) * sizeof(wchar_t)));
}

std::wstring LastKeyword() {
    DWORD type = 0;
    std::string bytes;
    if (!kxtest::RawGetValue(kRecord, L"LastCommandLine", &type, &bytes)) return L"-";
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2 - 1);
}

class HookLoaderTest : public kxtest::DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ::CreateDirectoryW(kxtest::kScratchDir, nullptr);
        ::CreateDirectoryW(kSystemDir, nullptr);
        ASSERT_TRUE(::CopyFileW(kxtest::SiblingPath(L"KxHookLoader.exe").c_str(), kLoader, FALSE));
        SetWinPath(kSystemDir);
        slot_ = WaitImportSlot();
        ASSERT_NE(slot_, nullptr) << "kxcommon.dll imports WaitForSingleObject";
        real_ = *slot_;
        Point(slot_, reinterpret_cast<FARPROC>(AnsweredWait));
    }
    // A loader started without waiting may still run; the scratch folder is emptied after it.
    void TearDown() override {
        if (slot_ != nullptr) Point(slot_, real_);
        KxConfig::KillProcess(0, kLoader, static_cast<const wchar_t*>(nullptr));
        for (int i = 0;
             i < 50 && !::DeleteFileW(kLoader) && ::GetLastError() == ERROR_ACCESS_DENIED; ++i)
            ::Sleep(100);
    }
    FARPROC* slot_ = nullptr;
    FARPROC real_ = nullptr;
};

// Every switch, with the loader ending in time, outlasting the wait, or missing.
TEST_F(HookLoaderTest, EachSwitchSendsItsKeywordAndReportsItsOwnTimeOut) {
    using K = KxConfig;
    const struct Row {
        int (*call)(int wait);
        const wchar_t* keyword;
        int timedOut, missing;
    } rows[] = {
        {[](int w) { return K::StartRealTimeScan(w, 0); }, L"ENABLE_REALTIME",
         KX_E_RTSCAN_START_TIMEOUT, KX_E_PROGRAM_NOT_STARTED},
        {[](int w) { return K::StartRealTimeScan(w, 1); }, L"STARTUP_ENABLE_REALTIME",
         KX_E_RTSCAN_START_TIMEOUT, KX_E_PROGRAM_NOT_STARTED},
        {K::StopRealTimeScan, L"DISABLE_REALTIME", KX_E_RTSCAN_STOP_TIMEOUT,
         KX_E_PROGRAM_NOT_STARTED},
        {K::StartWapPushFilter, L"ENABLE_WapPushFilter", KX_E_WAPFILTER_START_TIMEOUT,
         KX_E_WAPFILTER_NOT_STARTED},
        {K::StopWapPushFilter, L"DISABLE_WapPushFilter", KX_E_WAPFILTER_STOP_TIMEOUT,
         KX_E_WAPFILTER_NOT_STARTED},
    };
    // Status, the keyword the loader recorded, and the wait the library asked for.
    const auto run = [](const Row& row, const wchar_t* dir, DWORD answer, int wait) {
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kRecord);
        SetWinPath(dir);
        g_waitedMs = 0;
        g_answer = answer;
        const int status = row.call(wait);
        KxConfig::KillProcess(0, kLoader, static_cast<const wchar_t*>(nullptr));
        return std::to_wstring(status) + L" " + (wait ? LastKeyword() : L"?") + L" " +
               std::to_wstring(g_waitedMs);
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.keyword));
        const std::wstring keyword = std::wstring(L" ") + row.keyword + L" 30000";
        EXPECT_EQ(run(row, kSystemDir, WAIT_OBJECT_0, 1), L"0" + keyword);
        EXPECT_EQ(run(row, kSystemDir, WAIT_TIMEOUT, 1), std::to_wstring(row.timedOut) + keyword)
            << "it still did its work";
        EXPECT_EQ(run(row, kSystemDir, WAIT_TIMEOUT, 0), L"0 ? 0") << "no wait asked";
        EXPECT_EQ(run(row, kEmptyDir, WAIT_OBJECT_0, 1), std::to_wstring(row.missing) + L" - 0");
    }
}

}  // namespace
