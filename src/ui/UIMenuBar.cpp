#include "kxcommon/UIMenuBar.h"

#include "../internal/kxplatform.h"

namespace {

constexpr int kLabelChars = 1024;

// The menu that soft key `barButtonId` carries, or null (no menu bar, no such key or menu).
HMENU BarMenu(HWND hwnd, int barButtonId) {
    HWND bar = SHFindMenuBar(hwnd);
    if (bar == nullptr) return nullptr;
    return reinterpret_cast<HMENU>(
        ::SendMessageW(bar, SHCMBM_GETSUBMENU, 0, static_cast<LPARAM>(barButtonId)));
}

}  // namespace

void EnableMBButton(HWND hwnd, int buttonId, BOOL enable) {
    HWND bar = SHFindMenuBar(hwnd);
    if (bar == nullptr) return;
    TBBUTTONINFOW info{};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_STATE;
    if (::SendMessageW(bar, TB_GETBUTTONINFOW, static_cast<WPARAM>(buttonId),
                       reinterpret_cast<LPARAM>(&info)) < 0)
        return;
    if (enable)
        info.fsState |= TBSTATE_ENABLED;
    else
        info.fsState &= static_cast<BYTE>(~TBSTATE_ENABLED);
    ::SendMessageW(bar, TB_SETBUTTONINFOW, static_cast<WPARAM>(buttonId),
                   reinterpret_cast<LPARAM>(&info));
}

void EnableMBMenuItem(HMENU menu, UINT itemId, BOOL enable) {
    if (menu == nullptr) return;
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STATE;
    if (!::GetMenuItemInfoW(menu, itemId, FALSE, &info)) return;
    // Only the grayed bit changes; EnableMenuItem leaves checked and default as they are.
    UINT state = info.fState;
    if (enable)
        state &= ~static_cast<UINT>(MF_GRAYED);
    else
        state |= MF_GRAYED;
    ::EnableMenuItem(menu, itemId, MF_BYCOMMAND | (state & ~static_cast<UINT>(MF_BYPOSITION)));
}

void EnableMBMenuItem(HWND hwnd, int barButtonId, UINT itemId, BOOL enable) {
    EnableMBMenuItem(BarMenu(hwnd, barButtonId), itemId, enable);
}

void RemoveMBMenuItem(HWND hwnd, int barButtonId, UINT item, UINT flags) {
    HMENU menu = BarMenu(hwnd, barButtonId);
    if (menu == nullptr) return;
    ::DeleteMenu(menu, item, flags);
    ::DrawMenuBar(hwnd);
}

void InsertMBMenuItem(HWND hwnd, int barButtonId, UINT position, UINT newId, LPCWSTR text,
                      UINT flags) {
    HMENU menu = BarMenu(hwnd, barButtonId);
    if (menu == nullptr) return;
    ::InsertMenuW(menu, position, flags, newId, text);
    ::DrawMenuBar(hwnd);
}

void SwitchSoftKey(HWND hwnd, int newCommand, HINSTANCE instance, UINT labelId,
                   int currentCommand) {
    HWND bar = SHFindMenuBar(hwnd);
    if (bar == nullptr) return;
    wchar_t label[kLabelChars] = L"";
    if (::LoadStringW(instance, labelId, label, kLabelChars) <= 0) label[0] = L'\0';
    TBBUTTONINFOW info{};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_TEXT | TBIF_COMMAND;
    info.idCommand = newCommand;
    info.pszText = label;
    ::SendMessageW(bar, TB_SETBUTTONINFOW, static_cast<WPARAM>(currentCommand),
                   reinterpret_cast<LPARAM>(&info));
}
