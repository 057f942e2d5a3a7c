// A program of the device started twice by the single-instance tests.
//
//   kxtest_instance first READY CLOSED   the first instance: shows the product's main dialog
//                                        and a "Scanning" dialog, records what they receive
//                                        under SOFTWARE\KxStandIns\Instance, signals READY,
//                                        signals CLOSED when "Scanning" is told to close, and
//                                        runs until the main dialog is told to close
//   kxtest_instance second [COMMANDLINE] a later start: exit code 0 when it handed over (null),
//                                        1 when it found itself the first instance
// Exit code 9 for bad arguments or a first start that was not first.
#include <kxcommon/UI.h>
#include <kxcommon/UIWindows.h>
#include <wince/wince.h>

#include "Strings.h"

#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kRecordKey[] = L"SOFTWARE\\KxStandIns\\Instance";
HANDLE g_closed = nullptr;

void Record(const wchar_t* name, DWORD value) {
    ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kRecordKey, name, REG_DWORD, &value, sizeof value);
}

DWORD Recorded(const wchar_t* name) {
    DWORD value = 0, size = sizeof value;
    ::RegGetValueW(HKEY_LOCAL_MACHINE, kRecordKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

INT_PTR CALLBACK MainProc(HWND, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_APP && wp == UI_CMD_ACTIVATE) {
        Record(L"Activated", Recorded(L"Activated") + 1);
        return TRUE;
    }
    if (msg == WM_APP && wp == UI_CMD_CLOSE) {
        ::PostQuitMessage(0);
        return TRUE;
    }
    if (msg == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
        const std::wstring text(static_cast<const wchar_t*>(data->lpData),
                                data->cbData / sizeof(wchar_t));
        Record(L"Copies", Recorded(L"Copies") + 1);
        Record(L"CopyDataId", static_cast<DWORD>(data->dwData));
        Record(L"CopyDataBytes", data->cbData);
        ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kRecordKey, L"CommandLine", REG_SZ, text.c_str(),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK ScanningProc(HWND, UINT msg, WPARAM wp, LPARAM) {
    if (msg == WM_APP && wp == UI_CMD_CLOSE) {
        Record(L"ScanningClosed", Recorded(L"ScanningClosed") + 1);
        ::SetEvent(g_closed);
        return TRUE;
    }
    return FALSE;
}

HWND MakeDialog(UINT titleId, DLGPROC proc) {
    wchar_t title[64];
    UI_LoadString(titleId, title, 64);
    HWND hwnd = ::CreateWindowExW(0, L"Dialog", title, WS_POPUP | WS_VISIBLE, 0, 0, 200, 200,
                                  nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (hwnd != nullptr) ::SetWindowLongPtrW(hwnd, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
    return hwnd;
}

int First(const wchar_t* readyName, const wchar_t* closedName) {
    HANDLE ready = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, readyName);
    g_closed = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, closedName);
    HANDLE mutex = ActivatePreviousInstance(IDS_PRODUCT_NAME, IDS_SCANNING_TITLE, L"");
    int code = 9;
    if (ready != nullptr && g_closed != nullptr && mutex != nullptr) {
        WinceRegisterDialogClass(::GetModuleHandleW(nullptr));
        HWND mainDialog = MakeDialog(IDS_PRODUCT_NAME, MainProc);
        HWND scanning = MakeDialog(IDS_SCANNING_TITLE, ScanningProc);
        ::SetEvent(ready);
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
        ::DestroyWindow(scanning);
        ::DestroyWindow(mainDialog);
        code = 0;
    }
    if (mutex != nullptr) ::CloseHandle(mutex);
    if (ready != nullptr) ::CloseHandle(ready);
    if (g_closed != nullptr) ::CloseHandle(g_closed);
    return code;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 4 && std::wcscmp(argv[1], L"first") == 0) return First(argv[2], argv[3]);
    if ((argc == 2 || argc == 3) && std::wcscmp(argv[1], L"second") == 0) {
        HANDLE mutex = ActivatePreviousInstance(IDS_PRODUCT_NAME, IDS_SCANNING_TITLE,
                                                argc == 3 ? argv[2] : L"");
        if (mutex == nullptr) return 0;
        ::CloseHandle(mutex);
        return 1;
    }
    return 9;
}
