// The dialog's menu bar: a toolbar owned by the dialog whose buttons are the soft keys. A key
// that carries a pop-up menu opens it instead of sending its command; the dialog receives the
// commands of keys and menu items alike.
#include "wince/wince.h"

#include "OutOfMemory.h"

#include <memory>
#include <string>
#include <vector>

namespace {

// The menu bar of a dialog is found through this property of the dialog.
constexpr wchar_t kMenuBarProp[] = L"WinceMenuBar";
constexpr UINT_PTR kSubclassId = 0x4D42;
// Height of the device's menu bar on a 96-dpi screen.
constexpr int kBarHeight = 26;

struct BarState {
    HWND owner;
    HMENU menu;  // the loaded menu whose pop-ups the keys carry; null when none
};

// A loaded menu, destroyed with its owner unless a bar took it.
class LoadedMenu {
public:
    LoadedMenu() = default;
    ~LoadedMenu() {
        if (menu_ != nullptr) ::DestroyMenu(menu_);
    }
    LoadedMenu(const LoadedMenu&) = delete;
    LoadedMenu& operator=(const LoadedMenu&) = delete;

    explicit operator bool() const { return menu_ != nullptr; }
    HMENU Get() const { return menu_; }
    // Holds `menu`; true when it is a menu.
    bool Reset(HMENU menu) {
        if (menu_ != nullptr) ::DestroyMenu(menu_);
        menu_ = menu;
        return menu_ != nullptr;
    }
    HMENU Release() {
        HMENU menu = menu_;
        menu_ = nullptr;
        return menu;
    }

private:
    HMENU menu_ = nullptr;
};

struct SoftKey {
    int command;
    BYTE state;
    BYTE style;
    std::wstring label;
    WORD popup;  // index of the key's pop-up in the menu, or NOMENU
};

// The device's RCDATA layout: menu id, count, then seven WORDs per key.
bool ReadBarResource(HINSTANCE inst, UINT id, WORD* menuId, std::vector<SoftKey>* keys) {
    HRSRC res = ::FindResourceW(inst, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (res == nullptr) return false;
    const DWORD bytes = ::SizeofResource(inst, res);
    HGLOBAL loaded = ::LoadResource(inst, res);
    const WORD* words = loaded ? static_cast<const WORD*>(::LockResource(loaded)) : nullptr;
    if (words == nullptr || bytes < 4) return false;
    const WORD count = words[1];
    if (bytes < 4u + count * 14u) return false;
    *menuId = words[0];
    for (WORD i = 0; i < count; ++i) {
        const WORD* w = words + 2 + i * 7;
        SoftKey key{w[1], static_cast<BYTE>(w[2]), static_cast<BYTE>(w[3]), std::wstring(), w[6]};
        wchar_t label[128] = L"";
        ::LoadStringW(inst, w[4], label, 128);
        key.label = label;
        keys->push_back(key);
    }
    return true;
}

// SHCMBF_HMENU: the menu's top-level items are the keys.
void KeysFromMenu(HMENU menu, std::vector<SoftKey>* keys) {
    const int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[128] = L"";
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_STRING | MIIM_STATE;
        info.dwTypeData = text;
        info.cch = 128;
        if (!::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;
        const BYTE state = (info.fState & MFS_GRAYED) ? 0 : TBSTATE_ENABLED;
        keys->push_back(SoftKey{static_cast<int>(info.wID), state, BTNS_BUTTON, text,
                                info.hSubMenu ? static_cast<WORD>(i) : static_cast<WORD>(NOMENU)});
    }
}

HMENU PopupOf(HWND bar, const BarState* st, int command) {
    if (st->menu == nullptr) return nullptr;
    const LRESULT index = ::SendMessageW(bar, TB_COMMANDTOINDEX, static_cast<WPARAM>(command), 0);
    if (index < 0) return nullptr;
    TBBUTTON button{};
    if (!::SendMessageW(bar, TB_GETBUTTON, static_cast<WPARAM>(index),
                        reinterpret_cast<LPARAM>(&button)) ||
        button.dwData == NOMENU)
        return nullptr;
    return ::GetSubMenu(st->menu, static_cast<int>(button.dwData));
}

LRESULT CALLBACK BarProc(HWND bar, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* st = reinterpret_cast<BarState*>(data);
    switch (msg) {
    case SHCMBM_GETSUBMENU:
        return reinterpret_cast<LRESULT>(PopupOf(bar, st, static_cast<int>(lp)));
    case SHCMBM_GETMENU:
        return reinterpret_cast<LRESULT>(st->menu);
    case WM_LBUTTONDOWN: {
        POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        const LRESULT index = ::SendMessageW(bar, TB_HITTEST, 0, reinterpret_cast<LPARAM>(&pt));
        TBBUTTON button{};
        if (index >= 0 && ::SendMessageW(bar, TB_GETBUTTON, static_cast<WPARAM>(index),
                                         reinterpret_cast<LPARAM>(&button))) {
            HMENU popup = PopupOf(bar, st, button.idCommand);
            if (popup != nullptr && (button.fsState & TBSTATE_ENABLED)) {
                RECT r{};
                ::SendMessageW(bar, TB_GETITEMRECT, static_cast<WPARAM>(index),
                               reinterpret_cast<LPARAM>(&r));
                ::MapWindowPoints(bar, nullptr, reinterpret_cast<POINT*>(&r), 2);
                // The pop-up opens upwards from the key; its choice goes to the dialog.
                ::TrackPopupMenuEx(popup, TPM_LEFTALIGN | TPM_BOTTOMALIGN, r.left, r.top, st->owner,
                                   nullptr);
                return 0;
            }
        }
        break;
    }
    case WM_NCDESTROY:
        if (::GetPropW(st->owner, kMenuBarProp) == bar) ::RemovePropW(st->owner, kMenuBarProp);
        if (st->menu != nullptr) ::DestroyMenu(st->menu);
        ::RemoveWindowSubclass(bar, BarProc, kSubclassId);
        delete st;
        break;
    }
    return ::DefSubclassProc(bar, msg, wp, lp);
}

}  // namespace

extern "C" {

BOOL SHCreateMenuBar(SHMENUBARINFO* pmbi) {
    if (pmbi == nullptr || pmbi->hwndParent == nullptr || !::IsWindow(pmbi->hwndParent)) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return wince::OrOutOfMemory(FALSE, [&]() -> BOOL {
        // Everything that needs memory is made before the bar exists, so a bar is made whole or
        // not at all; the menu stays with its owner until the bar takes it.
        std::vector<SoftKey> keys;
        LoadedMenu menu;
        if (pmbi->dwFlags & SHCMBF_HMENU) {
            menu.Reset(::LoadMenuW(pmbi->hInstRes, MAKEINTRESOURCEW(pmbi->nToolBarId)));
            if (!menu) {
                ::SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
                return FALSE;
            }
            KeysFromMenu(menu.Get(), &keys);
        } else if (!(pmbi->dwFlags & SHCMBF_EMPTYBAR)) {
            WORD menuId = 0;
            if (!ReadBarResource(pmbi->hInstRes, pmbi->nToolBarId, &menuId, &keys) ||
                (menuId != 0 &&
                 !menu.Reset(::LoadMenuW(pmbi->hInstRes, MAKEINTRESOURCEW(menuId))))) {
                ::SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
                return FALSE;
            }
        }
        std::vector<TBBUTTON> buttons;
        for (const SoftKey& key : keys) {
            TBBUTTON b{};
            b.iBitmap = I_IMAGENONE;
            b.idCommand = key.command;
            b.fsState = key.state;
            b.fsStyle = static_cast<BYTE>(key.style & ~BTNS_AUTOSIZE);
            b.dwData = key.popup;
            b.iString = reinterpret_cast<INT_PTR>(key.label.c_str());
            buttons.push_back(b);
        }
        std::unique_ptr<BarState> state(new BarState{pmbi->hwndParent, nullptr});

        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
        ::InitCommonControlsEx(&icc);
        RECT client{}, work{};
        ::GetClientRect(pmbi->hwndParent, &client);
        ::MapWindowPoints(pmbi->hwndParent, nullptr, reinterpret_cast<POINT*>(&client), 2);
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        // The bar spans the screen's work area, whatever the dialog's own width.
        const int width = work.right - work.left;
        // A pop-up window owned by the dialog: it is destroyed with the dialog, and the toolbar
        // sends its commands to the window given as parent at creation.
        const DWORD style = WS_POPUP | WS_CLIPSIBLINGS | TBSTYLE_FLAT | CCS_NORESIZE |
                            CCS_NOPARENTALIGN | CCS_NODIVIDER |
                            ((pmbi->dwFlags & SHCMBF_HIDDEN) ? 0 : WS_VISIBLE);
        HWND bar = ::CreateWindowExW(0, TOOLBARCLASSNAMEW, L"", style, work.left, client.bottom,
                                     width, kBarHeight, pmbi->hwndParent, nullptr,
                                     ::GetModuleHandleW(nullptr), nullptr);
        if (bar == nullptr) return FALSE;
        state->menu = menu.Release();
        ::SetWindowSubclass(bar, BarProc, kSubclassId,
                            reinterpret_cast<DWORD_PTR>(state.release()));

        ::SendMessageW(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
        ::SendMessageW(bar, TB_SETBITMAPSIZE, 0, MAKELPARAM(0, 0));
        if (!buttons.empty()) {
            // The soft keys share the bar's width equally.
            const int keyWidth = width / static_cast<int>(buttons.size());
            ::SendMessageW(bar, TB_SETBUTTONWIDTH, 0, MAKELPARAM(keyWidth, keyWidth));
            ::SendMessageW(bar, TB_ADDBUTTONSW, buttons.size(),
                           reinterpret_cast<LPARAM>(buttons.data()));
        }

        HWND previous = static_cast<HWND>(::GetPropW(pmbi->hwndParent, kMenuBarProp));
        ::SetPropW(pmbi->hwndParent, kMenuBarProp, bar);
        if (previous != nullptr) ::DestroyWindow(previous);
        pmbi->hwndMB = bar;
        return TRUE;
    });
}

HWND SHFindMenuBar(HWND hwnd) {
    if (hwnd == nullptr) return nullptr;
    return static_cast<HWND>(::GetPropW(hwnd, kMenuBarProp));
}

}  // extern "C"
