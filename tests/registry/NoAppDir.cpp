// Started by the directory tests with an empty "AppPath", in a process of its own (the
// application directory is kept once per process): makes every call that keeps its files in
// the application directory, then records the directory as a later installation would. The
// exit code has one bit for each call that did not answer as it must; the caller checks that
// nothing at the device root changed.
#include <kxcommon/KxConfig.h>
#include <kxcommon/KxRegUtil.h>
#include <kxcommon/UI.h>

#include "Strings.h"

#include <string>

int wmain() {
    int wrong = 0;
    wchar_t directory[MAX_PATH] = L"junk";
    if (KxConfig::GetAppDir(directory, MAX_PATH) != KX_OK || directory[0] != L'\0') wrong |= 1;
    if (KxConfig::SetSpdXml(L"5550001", nullptr, nullptr, nullptr) != 0) wrong |= 2;
    if (KxConfig::RecoverMgiConfig() != 0) wrong |= 4;  // no document to apply
    unsigned char first[8], second[8], flag = 0;
    unsigned long firstLength = sizeof first, secondLength = sizeof second;
    if (KxConfig::GetRsaKeyEx(first, firstLength, second, secondLength, flag) != 0) wrong |= 8;
    firstLength = secondLength = 1;
    if (KxConfig::SetRsaKeyEx(first, firstLength, second, secondLength) != 0) wrong |= 16;
    KxConfig::KillUIProcess();
    // The resource module comes from the system's search, beside this program.
    wchar_t text[64] = L"";
    if (UI_LoadString(IDS_PRODUCT_NAME, text, 64) == 0 || ::lstrcmpW(text, L"Scutara") != 0)
        wrong |= 32;
    // A directory whose backslash would not fit the 260 characters kept is refused, not cut short.
    KxRegUtil().SetValue(L"SOFTWARE\\Quorlend\\Scutara\\2.0", L"AppPath",
                         std::wstring(259, L'a').c_str());
    if (KxConfig::GetAppDir(directory, MAX_PATH) != KX_E_REGISTRY || directory[0] != L'\0')
        wrong |= 128;
    // The installer records the directory after all that: the next call finds it.
    KxRegUtil().SetValue(L"SOFTWARE\\Quorlend\\Scutara\\2.0", L"AppPath", L"\\Scutara");
    if (KxConfig::GetAppDir(directory, MAX_PATH) != KX_OK || ::lstrcmpW(directory, L"\\Scutara\\"))
        wrong |= 64;
    return wrong;
}
