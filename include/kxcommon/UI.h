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
