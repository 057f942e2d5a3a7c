#include "Settings.h"

#include "kxcommon/KxRegUtil.h"

namespace kx {
namespace settings {

KXSTATUS Read(const Value& v, unsigned long& number) {
    return KxRegUtil().GetValue(v.key, v.name, number, HKEY_LOCAL_MACHINE);
}

KXSTATUS Read(const Value& v, wchar_t* text, unsigned long length) {
    return KxRegUtil().GetValue(v.key, v.name, text, length, HKEY_LOCAL_MACHINE);
}

KXSTATUS ReadBytes(const Value& v, unsigned char* bytes, unsigned long size) {
    return KxRegUtil().GetValue(v.key, v.name, bytes, size, HKEY_LOCAL_MACHINE);
}

KXSTATUS Write(const Value& v, unsigned long number) {
    return KxRegUtil().SetValue(v.key, v.name, number);
}

KXSTATUS Write(const Value& v, const wchar_t* text) {
    return KxRegUtil().SetValue(v.key, v.name, text);
}

KXSTATUS WriteBytes(const Value& v, const unsigned char* bytes, unsigned long size) {
    return KxRegUtil().SetValue(v.key, v.name, bytes, size);
}

KXSTATUS Delete(const Value& v) { return KxRegUtil().DelValue(v.key, v.name); }

KXSTATUS ReadYesNo(const Value& v, int& flag) {
    unsigned long stored = 0;
    const KXSTATUS status = Read(v, stored);
    flag = stored != 0 ? 1 : 0;
    return status;
}

KXSTATUS WriteYesNo(const Value& v, int flag) { return Write(v, flag != 0 ? 1ul : 0ul); }

unsigned long NumberOr(const Value& v, unsigned long fallback) {
    unsigned long number = fallback;
    Read(v, number);
    return number;
}

int IsExactlyOne(const Value& v, int fallback) {
    unsigned long stored = 0;
    if (Read(v, stored) != KX_OK) return fallback;
    return stored == 1 ? 1 : 0;
}

KXSTATUS WriteTime(const Value& v, const SYSTEMTIME& time) {
    return RegSetSystemTime(v.key, v.name, &time, HKEY_LOCAL_MACHINE) ? KX_OK : KX_E_REGISTRY;
}

KXSTATUS ReadTime(const Value& v, SYSTEMTIME& time) {
    return RegGetSystemTime(v.key, v.name, &time, HKEY_LOCAL_MACHINE) ? KX_OK : KX_E_REGISTRY;
}

}  // namespace settings
}  // namespace kx
