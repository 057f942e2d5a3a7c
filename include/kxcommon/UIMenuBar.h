// The Windows Mobile menu bar of a dialog: its soft keys (buttons of the bar, found by their
// command identifiers) and the menus they carry. Every function first looks for the window's
// menu bar and does nothing when the window has none.
#pragma once

#include "KxExport.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// Enables or disables the soft key whose command is `buttonId`.
KXCOMMON_API void EnableMBButton(HWND hwnd, int buttonId, BOOL enable);

// Grays or ungrays item `itemId` (by command) of `menu`, keeping its other state (checked,
// default). A null menu or an unknown item changes nothing.
KXCOMMON_API void EnableMBMenuItem(HMENU menu, UINT itemId, BOOL enable);
// The same on the menu of soft key `barButtonId` of the window's menu bar.
KXCOMMON_API void EnableMBMenuItem(HWND hwnd, int barButtonId, UINT itemId, BOOL enable);

// Deletes `item` (DeleteMenu with `flags`: by command or by position) from the menu of soft key
// `barButtonId` and redraws the bar.
KXCOMMON_API void RemoveMBMenuItem(HWND hwnd, int barButtonId, UINT item, UINT flags);
// Inserts an item before `position` (InsertMenuW with `flags`) into that menu and redraws.
KXCOMMON_API void InsertMBMenuItem(HWND hwnd, int barButtonId, UINT position, UINT newId,
                                   LPCWSTR text, UINT flags);

// Gives the soft key now answering `currentCommand` the command `newCommand` and the label
// `labelId` from the string table of `instance`. Later calls find the key by `newCommand`.
KXCOMMON_API void SwitchSoftKey(HWND hwnd, int newCommand, HINSTANCE instance, UINT labelId,
                                int currentCommand);
