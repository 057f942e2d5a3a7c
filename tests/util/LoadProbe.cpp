// A library that no process of the device loads by itself, for the DynamicLoadLibrary tests.
extern "C" __declspec(dllexport) int KxLoadProbe() { return 5; }
