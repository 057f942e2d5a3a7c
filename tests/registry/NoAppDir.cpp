// Started by the directory tests with an empty "AppPath", in a process of its own (the
// application directory is kept once per process): makes every call that keeps its files in
// the application directory, then records the directory as a later installation would. Each
// call that did not answer as it must is told, in words, in the text "Wrong" under
// SOFTWARE\Quorlend\NoAppDir; the caller reads it and checks that nothing at the device root
// changed.
#include <kxcommon/KxConfig.h>
#include <kxcommon/KxRegUtil.h>
#include <kxcommon/UI.h>

#include "Strings.h"

#include <string>

// What a call answered when it was not 0.
static std::wstring Answered(const wchar_t* call, int answer) {
    return std::wstring(call) + L" answered " + std::to_wstring(answer) + L", expected 0. ";
}

int wmain() {
    std::wstring wrong;
    wchar_t directory[MAX_PATH] = L"junk";
    if (KxConfig::GetAppDir(directory, MAX_PATH) != KX_OK || directory[0] != L'\0')
        wrong += L"GetAppDir did not answer 0 with an empty directory. ";
    if (const int answer = KxConfig::SetSpdXml(L"5550001", nullptr, nullptr, nullptr))
        wrong += Answered(L"SetSpdXml", answer);
    // No document to apply.
    if (const int answer = KxConfig::RecoverMgiConfig())
        wrong += Answered(L"RecoverMgiConfig", answer);
    unsigned char first[8], second[8], flag = 0;
    unsigned long firstLength = sizeof first, secondLength = sizeof second;
    if (const int answer = KxConfig::GetRsaKeyEx(first, firstLength, second, secondLength, flag))
        wrong += Answered(L"GetRsaKeyEx", answer);
    firstLength = secondLength = 1;
    if (const int answer = KxConfig::SetRsaKeyEx(first, firstLength, second, secondLength))
        wrong += Answered(L"SetRsaKeyEx", answer);
    KxConfig::KillUIProcess();
    // The resource module comes from the system's search, beside this program.
    wchar_t text[64] = L"";
    if (UI_LoadString(IDS_PRODUCT_NAME, text, 64) == 0 || ::lstrcmpW(text, L"Scutara") != 0)
        wrong += L"UI_LoadString did not load the product's name from the module beside it. ";
    // A directory whose backslash would not fit the 260 characters kept is refused, not cut short.
    KxRegUtil().SetValue(L"SOFTWARE\\Quorlend\\Scutara\\2.0", L"AppPath",
                         std::wstring(259, L'a').c_str());
    if (KxConfig::GetAppDir(directory, MAX_PATH) != KX_E_REGISTRY || directory[0] != L'\0')
        wrong += L"GetAppDir of 259 characters did not refuse it with an empty buffer. ";
    // The installer records the directory after all that: the next call finds it.
    KxRegUtil().SetValue(L"SOFTWARE\\Quorlend\\Scutara\\2.0", L"AppPath", L"\\Scutara");
    if (KxConfig::GetAppDir(directory, MAX_PATH) != KX_OK || ::lstrcmpW(directory, L"\\Scutara\\"))
        wrong += L"GetAppDir after the installation did not answer 0 with \\Scutara\\. ";
    KxRegUtil().SetValue(L"SOFTWARE\\Quorlend\\NoAppDir", L"Wrong", wrong.c_str());
    return 0;
}
