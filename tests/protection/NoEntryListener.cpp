// A module named like the SMS listener but without its registration entry points.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

extern "C" __declspec(dllexport) int KxListenerVersion() { return 2; }
