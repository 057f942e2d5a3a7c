// KxConfig: the product's settings store and protection controls. Every member is static; the
// class is never instantiated. Each setting is one registry value of the product's tree under
// HKEY_LOCAL_MACHINE, reached through a named accessor, so no program spells a key path.
//
// Unless a member says otherwise it returns a status: 0, KX_E_REGISTRY (0x30000) or
// KX_E_INVALIDARG (0xF0000). A getter leaves its output unchanged when the value is missing,
// unless its comment names a default.
#pragma once

#include "KxExport.h"
#include "KxStatus.h"

class KXCOMMON_API KxConfig {
public:
    // ---- Settings catalogue -------------------------------------------------------------

    // ---- Directories -------------------------------------------------------------------

    // The application directory ("AppPath") ending in a backslash, into `buffer` of `length`
    // characters. Read once per process: the first successful read is kept and later changes
    // of the setting are not seen. KX_E_INVALIDARG for a null buffer; KX_E_REGISTRY, with an
    // empty text, when the setting is missing, does not leave room for the backslash in
    // MAX_PATH characters, or does not fit the caller's buffer.
    static KXSTATUS GetAppDir(wchar_t* buffer, unsigned long length);

    // ---- Caller lists -------------------------------------------------------------------

private:
    KxConfig();
};
