// kxexample: what a program of the product does with kxcommon. It reads a setting, checks a
// caller list and asks the scan service for its versions, and says which kxcommon.dll it runs
// with. It uses the platform's generic (Unicode) names, as the device's programs do.
//
// Run it with the SDK's bin/ on the search path (or from beside kxcommon.dll): the library
// starts the scan service's host from its own folder. Exit code 0 when every answer was the
// expected one, 1 otherwise.
#include <kxcommon/kxcommon.h>

#include <cstdio>

namespace {

int g_failures = 0;

void Report(bool ok, const wchar_t* what) {
    std::wprintf(L"%ls  %ls\n", ok ? L"ok    " : L"FAILED", what);
    if (!ok) ++g_failures;
}

const unsigned short* Units(const wchar_t* text) {
    return reinterpret_cast<const unsigned short*>(text);
}

}  // namespace

int main() {
    // The library this program was given, and its version resource.
    TCHAR library[MAX_PATH] = {};
    GetModuleFileName(GetModuleHandle(TEXT("kxcommon.dll")), library, MAX_PATH);
    const auto version = GetAFileVersion(Units(library));
    std::wprintf(L"kxcommon.dll %lu.%lu.%lu.%lu (%ls)\n", version.first >> 16,
                 version.first & 0xFFFF, version.second >> 16, version.second & 0xFFFF, library);
    Report(version.first != 0, L"the library carries its version");

    // A setting, through its accessor: the depth of nested archives is kept within 1 to 3.
    unsigned long layers = 0;
    const bool stored = KxConfig::SetScanLayer(9) == KX_OK;
    Report(stored && KxConfig::GetScanLayer(layers) == KX_OK && layers == 3,
           L"ScanLayer stored as 9 reads 3");

    // The accept list: a number stored in one form is found in another by its last seven
    // digits; a number that is not there is not.
    CallerInfo_tag alice = {};
    lstrcpy(alice.Number, TEXT("0912345678"));
    lstrcpy(alice.Name, TEXT("Alice"));
    CallerInfo_tag international = {};
    lstrcpy(international.Number, TEXT("+886912345678"));
    CallerInfo_tag stranger = {};
    lstrcpy(stranger.Number, TEXT("5551234"));
    Report(KxConfig::AddAccepter(alice) == KX_OK && KxConfig::GetAcceptr(international) == KX_OK &&
               KxConfig::GetAcceptr(stranger) == KX_E_NO_MATCH,
           L"+886912345678 is in the accept list, 5551234 is not");
    KxConfig::DelAccepter(alice);

    // The scan service, found running or loaded on the first request.
    KxService service;
    ZRAPIVersion_tag engine = {};
    unsigned long viruses = 0;
    const bool answered =
        service.GetZRAPIVersion(&engine) == KX_OK && service.GetVirusInPatCount(viruses) == KX_OK;
    if (answered)
        std::wprintf(L"scan service: engine %ls, pattern %lu, %lu viruses known\n",
                     engine.engineVersion, static_cast<unsigned long>(engine.patternVersion),
                     viruses);
    Report(answered && engine.engineVersion[0] != L'\0' && viruses > 0,
           L"the scan service reports its versions");

    return g_failures == 0 ? 0 : 1;
}
