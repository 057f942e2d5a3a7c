// A dialog of the product's kind built on the library's dialog helpers: the scan settings, with
// a menu bar of two soft keys (the second carrying a menu), a list view of scan results and the
// scan level in a list box with its spin control, laid out for portrait or landscape screens.
//
//   kxdialog [READYFILE]   shows the dialog; with READYFILE, creates that file once the dialog
//                          is drawn and closes when the file is deleted (for screenshots)
//
// The program also stands in for the device's task bar ("tray"), which shows the title of the
// dialog in front along the top of the screen.
#include <kxcommon/UI.h>
#include <kxcommon/UILayout.h>
#include <kxcommon/UIMenuBar.h>
#include <kxcommon/UIWindows.h>
#include <wince/wince.h>

#include "SampleIds.h"
#include "Strings.h"

#include <memory>
#include <string>

namespace {

constexpr int kTrayHeight = 26;
constexpr int kMargin = 2;
constexpr int kRowHeight = 20;
constexpr UINT_PTR kReadyTimer = 1;

std::wstring g_readyFile;
bool g_ready = false;
HWND g_tray = nullptr;
std::unique_ptr<AvoidScrollBar> g_fit;

LRESULT CALLBACK TrayProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_USER:
        // A dialog's title changed: show the title of the dialog in front.
        if (wp == 4) ::InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        RECT r;
        ::GetClientRect(hwnd, &r);
        HBRUSH fill = ::CreateSolidBrush(RGB(16, 48, 112));
        ::FillRect(dc, &r, fill);
        ::DeleteObject(fill);
        wchar_t title[128] = L"";
        HWND front = UI_FindWindow(IDS_SETTINGS_TITLE);
        if (front != nullptr) ::GetWindowTextW(front, title, 128);
        SDC keep(dc);
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, RGB(255, 255, 255));
        ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
        r.left += 6;
        ::DrawTextW(dc, title, -1, &r, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

void CreateTray(HINSTANCE inst) {
    WNDCLASSW cls{};
    cls.lpfnWndProc = TrayProc;
    cls.hInstance = inst;
    cls.lpszClassName = L"tray";
    ::RegisterClassW(&cls);
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    g_tray = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"tray", L"tray", WS_POPUP | WS_VISIBLE, 0, 0,
                               width, kTrayHeight, nullptr, nullptr, inst, nullptr);
    // The task bar keeps its strip: the work area starts below it.
    RECT work{0, kTrayHeight, width, height};
    ::SystemParametersInfoW(SPI_SETWORKAREA, 0, &work, 0);
}

void FillResults(HWND list) {
    AddListStyle(list, LVS_EX_FULLROWSELECT);
    const int width = GetListColumnWidth(list, 3);
    InsertListColumn(list, 0, width * 3 / 5, IDS_COLUMN_FILE, LVCFMT_LEFT);
    InsertListColumn(list, 1, width - width * 3 / 5, IDS_COLUMN_RESULT, LVCFMT_LEFT);
    const wchar_t* rows[][2] = {
        {L"report.txt", L"Clean"}, {L"eicar.com", L"EICAR-Test-File"}, {L"abc.bin", L"Trojan.Abc"}};
    for (int i = 0; i < 3; ++i) {
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = i;
        item.pszText = const_cast<wchar_t*>(rows[i][0]);
        item.lParam = i;
        ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        item.mask = LVIF_TEXT;
        item.iSubItem = 1;
        item.pszText = const_cast<wchar_t*>(rows[i][1]);
        ::SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    SetListSelectedItem(list, 1);
}

// Portrait: everything in one column under the results. Landscape: the results on the left,
// the scan level and the status on the right.
void Layout(HWND dlg) {
    RECT client;
    ::GetClientRect(dlg, &client);
    // The level list shows exactly one level: one item and its border.
    const int levelHeight =
        static_cast<int>(::SendDlgItemMessageW(dlg, IDC_LEVEL, LB_GETITEMHEIGHT, 0, 0)) + 2;
    const int width = client.right - 2 * kMargin;
    const int height = client.bottom - 2 * kMargin;
    if (!IsWideMode()) {
        const int listHeight = height * 11 / 20;
        int y = kMargin + listHeight + kMargin;
        LayoutCtl(dlg, IDC_RESULTS, kMargin, kMargin, -1, listHeight);
        LayoutCtl(dlg, IDC_LEVEL_LABEL, kMargin, y, -1, kRowHeight - 4);
        y += kRowHeight;
        LayoutSpin(dlg, IDC_LEVEL, IDC_LEVEL_SPIN, kMargin, y, width, levelHeight);
        y += kRowHeight + kMargin;
        LayoutCtl(dlg, IDC_STATUS, kMargin, y, -1, 2 * kRowHeight);
        // Every control takes the full width; the level list keeps its spin control beside it.
        RelayoutChildCtrls fit(dlg, width, false);
        for (HWND child = ::GetWindow(dlg, GW_CHILD); child != nullptr;
             child = ::GetWindow(child, GW_HWNDNEXT))
            fit(child);
    } else {
        const int left = width * 11 / 20;
        const int right = kMargin + left + kMargin;
        const int rightWidth = client.right - right - kMargin;
        LayoutCtl(dlg, IDC_RESULTS, kMargin, kMargin, left, height);
        LayoutCtlByPos(dlg, IDC_LEVEL_LABEL, right, kMargin, client.right - kMargin,
                       kMargin + kRowHeight - 4);
        LayoutSpin(dlg, IDC_LEVEL, IDC_LEVEL_SPIN, right, kMargin + kRowHeight, rightWidth,
                   levelHeight);
        LayoutCtl(dlg, IDC_STATUS, right, kMargin + 2 * kRowHeight + kMargin, rightWidth,
                  3 * kRowHeight);
    }
}

INT_PTR CALLBACK SettingsProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG: {
        SHMENUBARINFO bar{};
        bar.cbSize = sizeof bar;
        bar.hwndParent = dlg;
        bar.nToolBarId = IDR_SETTINGS_MENUBAR;
        bar.hInstRes = ::GetModuleHandleW(nullptr);
        SHCreateMenuBar(&bar);
        // Nothing is quarantined yet: there is nothing to restore.
        EnableMBMenuItem(dlg, IDM_MENU, IDM_RESTORE, FALSE);
        UI_SetDlgTitle(dlg, IDS_SETTINGS_TITLE);
        UI_SetDlgItemText(dlg, IDC_LEVEL_LABEL, IDS_SCAN_LEVEL);
        HWND level = ::GetDlgItem(dlg, IDC_LEVEL);
        UI_AddStringToLB(level, IDS_LEVEL_LOW, IDS_LEVEL_NORMAL, IDS_LEVEL_HIGH, 0u);
        ::SendMessageW(level, LB_SETCURSEL, 1, 0);
        ::SendDlgItemMessageW(dlg, IDC_LEVEL_SPIN, UDM_SETRANGE32, 0, 2);
        ::SendDlgItemMessageW(dlg, IDC_LEVEL_SPIN, UDM_SETPOS32, 0, 1);
        ::SetDlgItemTextW(dlg, IDC_STATUS, L"3 files scanned, 2 infected.");

        // The dialog fills the work area above its menu bar.
        RECT work;
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        ::SetWindowPos(dlg, nullptr, work.left, work.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        g_fit = std::make_unique<AvoidScrollBar>(dlg);
        Layout(dlg);
        FillResults(::GetDlgItem(dlg, IDC_RESULTS));
        return TRUE;
    }
    case WM_VSCROLL:
    case WM_HSCROLL: {
        // The spin control steps through the levels.
        const int pos =
            static_cast<int>(::SendDlgItemMessageW(dlg, IDC_LEVEL_SPIN, UDM_GETPOS32, 0, 0));
        ::SendDlgItemMessageW(dlg, IDC_LEVEL, LB_SETCURSEL, static_cast<WPARAM>(pos), 0);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case IDM_SCAN: {
            WaitCursor busy;
            UI_MsgBox(dlg, IDS_PRODUCT_NAME, IDS_SCAN_DONE, MB_OK, 3, 2);
            return TRUE;
        }
        case IDM_DELETE:
            DelListItem(::GetDlgItem(dlg, IDC_RESULTS),
                        GetListSelectedItem(::GetDlgItem(dlg, IDC_RESULTS)), 1);
            return TRUE;
        case IDM_EXIT:
        case IDCANCEL:
            ::DestroyWindow(dlg);
            return TRUE;
        }
        return FALSE;
    case WM_APP:
        if (wp == UI_CMD_ACTIVATE) UI_SetForegroundWindow(dlg);
        if (wp == UI_CMD_CLOSE) ::DestroyWindow(dlg);
        return TRUE;
    case WM_TIMER:
        if (!g_ready) {
            g_ready = true;
            HANDLE file = ::CreateFileW(g_readyFile.c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
        } else if (::GetFileAttributesW(g_readyFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
            ::DestroyWindow(dlg);
        }
        return TRUE;
    case WM_DESTROY:
        g_fit.reset();
        ::PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, LPWSTR commandLine, int) {
    // A second start hands its command line to the dialog already running.
    HANDLE instance = ActivatePreviousInstance(IDS_SETTINGS_TITLE, 0, commandLine);
    if (instance == nullptr) return 0;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&icc);
    WinceRegisterDialogClass(inst);
    CreateTray(inst);
    g_readyFile = commandLine ? commandLine : L"";
    HWND dlg = ::CreateDialogParamW(inst, MAKEINTRESOURCEW(IDD_SETTINGS), nullptr, SettingsProc, 0);
    int code = 1;
    if (dlg != nullptr) {
        UI_ShowWindow(dlg);
        ::UpdateWindow(dlg);
        if (!g_readyFile.empty()) ::SetTimer(dlg, kReadyTimer, 200, nullptr);
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (::IsDialogMessageW(dlg, &msg)) continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        code = 0;
    }
    if (g_tray != nullptr) ::DestroyWindow(g_tray);
    ::CloseHandle(instance);
    return code;
}
