// A module named like the SMS listener but without its registration entry points.
extern "C" __declspec(dllexport) int KxListenerVersion() { return 2; }
