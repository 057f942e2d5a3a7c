#include "kxcommon/UIWindows.h"

#include "kxcommon/UI.h"

#include "../internal/kxplatform.h"

namespace {

constexpr int kColumnTitleChars = 1024;

LRESULT Send(HWND list, UINT msg, WPARAM wp, const void* lp) {
    return ::SendMessageW(list, msg, wp, reinterpret_cast<LPARAM>(lp));
}

}  // namespace

LPARAM GetListItemLPARAM(HWND list, int item) {
    if (list == nullptr) return 0;
    LVITEMW info{};
    info.mask = LVIF_PARAM;
    info.iItem = item;
    info.iSubItem = 0;
    return Send(list, LVM_GETITEMW, 0, &info) ? info.lParam : 0;
}

int InsertListColumn(HWND list, int column, int width, LPCWSTR text, int format) {
    if (list == nullptr) return -1;
    LVCOLUMNW info{};
    info.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    info.fmt = format;
    info.cx = width;
    info.pszText = const_cast<LPWSTR>(text ? text : L"");
    return static_cast<int>(Send(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), &info));
}

int InsertListColumn(HWND list, int column, int width, UINT textId, int format) {
    wchar_t text[kColumnTitleChars];
    UI_LoadString(textId, text, kColumnTitleChars);
    return InsertListColumn(list, column, width, static_cast<LPCWSTR>(text), format);
}

int GetListColumnWidth(HWND list, int itemCount) {
    if (list == nullptr) return 0;
    RECT client{};
    ::GetClientRect(list, &client);
    int width = client.right - client.left;
    if (itemCount > static_cast<int>(::SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0)))
        width -= ::GetSystemMetrics(SM_CXVSCROLL);
    return width;
}

BOOL SetListColumnWidth(HWND list, int column, int width) {
    if (list == nullptr) return FALSE;
    LVCOLUMNW info{};
    info.mask = LVCF_WIDTH;
    info.cx = width;
    return static_cast<BOOL>(Send(list, LVM_SETCOLUMNW, static_cast<WPARAM>(column), &info));
}

int GetListSelectedItem(HWND list) {
    if (list == nullptr) return -1;
    return static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                           MAKELPARAM(LVNI_SELECTED, 0)));
}

BOOL SetListSelectedItem(HWND list, int item) {
    if (list == nullptr) return FALSE;
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    return static_cast<BOOL>(Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(item), &state));
}

void DelListItem(HWND list, int item, int deleteFlag) {
    if (list == nullptr || item < 0) return;
    const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    if (deleteFlag == 1) ::SendMessageW(list, LVM_DELETEITEM, static_cast<WPARAM>(item), 0);
    if (count > deleteFlag) {
        const int remaining = count - deleteFlag;
        SetListSelectedItem(list, item < remaining ? item : remaining - 1);
    }
}

void AddListStyle(HWND list, DWORD exStyle) {
    if (list == nullptr) return;
    const LRESULT current = ::SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                   static_cast<LPARAM>(current) | static_cast<LPARAM>(exStyle));
}
