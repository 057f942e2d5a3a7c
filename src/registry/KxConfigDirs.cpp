#include "kxcommon/KxConfig.h"

#include "kxcommon/HelpAPI.h"
#include "kxcommon/KxRegUtil.h"

#include <cwchar>

namespace {

constexpr wchar_t kProductKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0";
constexpr wchar_t kAppPathValue[] = L"AppPath";

// The application directory, read once per process. A failed read leaves it empty, so the next
// call reads again.
wchar_t g_appDir[MAX_PATH];

}  // namespace

KXSTATUS KxConfig::GetAppDir(wchar_t* buffer, unsigned long length) {
    if (buffer == nullptr) return KX_E_INVALIDARG;
    if (length == 0) return KX_E_REGISTRY;
    buffer[0] = L'\0';
    KXSTATUS status = KX_OK;
    if (g_appDir[0] == L'\0') {
        wchar_t read[MAX_PATH] = {};
        status = KxRegUtil().GetValue(kProductKey, kAppPathValue, read, MAX_PATH);
        const size_t chars = std::wcslen(read);
        const bool hasSeparator = chars > 0 && read[chars - 1] == L'\\';
        if (status == KX_OK && !hasSeparator && chars + 1 >= MAX_PATH) status = KX_E_REGISTRY;
        if (status != KX_OK) return status;
        HelpAPI::AppendASeparator(read);
        std::wmemcpy(g_appDir, read, MAX_PATH);
    }
    const size_t chars = std::wcslen(g_appDir);
    if (chars >= length) return KX_E_REGISTRY;
    std::wmemcpy(buffer, g_appDir, chars + 1);
    return status;
}
