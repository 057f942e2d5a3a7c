#include "kxcommon/UI.h"

#include "kxcommon/Utility.h"

#include "../internal/kxplatform.h"

namespace {

const unsigned short kResourceModule[] = {'K', 'X', 'S', 'C', '_', 'S', 'P', '_',
                                          'R', 'e', 's', '.', 'd', 'l', 'l', 0};

}  // namespace

int UI_LoadString(UINT id, LPWSTR buffer, int size) {
    if (buffer == nullptr || size <= 0) return 0;
    buffer[0] = L'\0';
    // The module lies in the application directory on the device; the helper falls back to the
    // system's search when it is not there.
    DynamicLoadLibrary module(kResourceModule, true, false);
    if (!module.IsOK()) return 0;
    return ::LoadStringW(module.GetHandle(), id, buffer, size);
}
