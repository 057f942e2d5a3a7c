#include "internal/kxplatform.h"

// The library keeps no per-thread state, so thread attach and detach notifications are
// switched off; everything else is left to the run-time's static initialisers.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) ::DisableThreadLibraryCalls(instance);
    return TRUE;
}
