// Runs for the milliseconds given on its command line: a program image that is in use. It
// needs no DLL of the product, so it runs from any folder it is copied to.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    ::Sleep(argc > 1 ? static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10)) : 1000);
    return 0;
}
