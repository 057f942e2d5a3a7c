// dropper.exe: a program of the demo's own that stays running for the milliseconds on its
// command line (the whole command line, or its last word), as a program dropped into the
// Startup folder would. Its digest is put into the demo's pattern to make it "infected".
#include <windows.h>

#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
    const wchar_t* last = std::wcsrchr(commandLine, L' ');
    const wchar_t* number = last != nullptr ? last + 1 : commandLine;
    const DWORD ms = static_cast<DWORD>(std::wcstoul(number, nullptr, 10));
    ::Sleep(ms != 0 ? ms : 600000);
    return 0;
}
