// The helpers of the product's dialogs. Texts come from the product's resource module,
// "KXSC_SP_Res.dll".
#pragma once

#include "KxExport.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// Copies string resource `id` of the resource module into `buffer` (at most `size` characters
// with the terminator): the characters loaded, as LoadStringW counts them; 0 with an empty
// buffer when the string or the module is missing.
KXCOMMON_API int UI_LoadString(UINT id, LPWSTR buffer, int size);

// ---- Message boxes --------------------------------------------------------------------------
//
// The body is formatted printf-style (%s takes a wide text) from the format and the arguments
// that follow the style, into at most 1023 characters; a longer body is cut there. Each form
// returns what MessageBoxW returned, or 0 without showing a box when the format is missing or
// empty or the body comes out empty. A title identifier of 0 shows a box without a title; a
// nonzero one whose text is missing shows an empty title.

// Title and format from the resource module.
KXCOMMON_API int UI_MsgBox(HWND owner, UINT titleId, UINT formatId, UINT style, ...);
// Title and format from the string table of `instance`.
KXCOMMON_API int UI_MsgBox(HWND owner, HINSTANCE instance, UINT titleId, UINT formatId, UINT style,
                           ...);
// Title (may be null) and format given as texts; a null format shows nothing.
KXCOMMON_API int UI_MsgBox(HWND owner, LPCWSTR title, LPCWSTR format, UINT style, ...);

// As the resource-module form, but a body too long for the small screen is shortened to its
// first characters, "..." and its last 20 characters. The limit is 256 characters for a plain
// OK box and 200 for boxes with other buttons, each 20 less on a wide (landscape) screen; a
// body of the limit or longer is shown as (limit - 20) + "..." + 20 characters.
KXCOMMON_API int UI_Trim_MsgBox(HWND owner, UINT titleId, UINT formatId, UINT style, ...);

// Appends the texts of the string identifiers that follow (UINT values, the list ended by 0)
// to the list box. Nothing happens for a null list box.
KXCOMMON_API void UI_AddStringToLB(HWND listBox, ...);

// True on the device's wide (landscape) screen: a screen height below 320 pixels.
KXCOMMON_API bool IsWideMode();
