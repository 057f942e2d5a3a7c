// The caller lists of KxConfig: one registry key per list, one REG_SZ value per entry (value
// name = Number, data = Name). Look-ups, containment tests and enumeration are the registry
// layer's QueryKeyExist, EnumKeys and EnumVaule on the list's key.
#include "kxcommon/KxConfig.h"

#include "kxcommon/CallerInfo.h"
#include "kxcommon/KxRegUtil.h"

#include <cstddef>
#include <cwchar>

namespace {

// The caller-list keys are the one part of the product's tree named outside the settings.
constexpr wchar_t kAcceptListKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\AcceptList";
constexpr wchar_t kRejectListKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\RejectList";
constexpr wchar_t kWapPushAcceptListKey[] =
    L"SOFTWARE\\Quorlend\\Scutara\\2.0\\WapPush\\AcceptList";
constexpr wchar_t kWapPushForceListKey[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\WapPush\\ForceList";

// Entries come from the product's other programs as fixed records; a field without its
// terminator would make the registry read past the record.
template <size_t Chars>
bool IsTerminated(const wchar_t (&field)[Chars]) {
    return std::wmemchr(field, L'\0', Chars) != nullptr;
}

KXSTATUS AddEntry(const wchar_t* listKey, const CallerInfo_tag& entry) {
    if (!IsTerminated(entry.Number) || !IsTerminated(entry.Name)) return KX_E_INVALIDARG;
    return KxRegUtil().SetValue(listKey, entry.Number, entry.Name);
}

KXSTATUS DelEntry(const wchar_t* listKey, const CallerInfo_tag& entry) {
    if (!IsTerminated(entry.Number)) return KX_E_INVALIDARG;
    return KxRegUtil().DelValue(listKey, entry.Number);
}

KXSTATUS LookUp(const wchar_t* listKey, const wchar_t* number) {
    if (number == nullptr) return KX_E_INVALIDARG;
    return KxRegUtil().QueryKeyExist(listKey, number);
}

KXSTATUS LookUp(const wchar_t* listKey, const CallerInfo_tag& entry) {
    if (!IsTerminated(entry.Number)) return KX_E_INVALIDARG;
    return LookUp(listKey, entry.Number);
}

// What the containment walk carries from value to value.
struct FuzzyContext {
    wchar_t number[KX_CALLER_NUMBER_CHARS];
    int found;
};

int MatchContained(const wchar_t* name, const wchar_t* /*data*/, void* context) {
    if (context == nullptr) return 0;
    FuzzyContext& fuzzy = *static_cast<FuzzyContext*>(context);
    if (std::wcsstr(fuzzy.number, name) == nullptr && std::wcsstr(name, fuzzy.number) == nullptr)
        return 1;
    fuzzy.found = 1;
    return 0;
}

KXSTATUS Contains(const wchar_t* listKey, const CallerInfo_tag& entry, int& found) {
    found = 0;
    if (!IsTerminated(entry.Number)) return KX_E_INVALIDARG;
    FuzzyContext context = {};
    std::wcscpy(context.number, entry.Number);
    const KXSTATUS status = KxRegUtil().EnumKeys(listKey, MatchContained, &context);
    found = context.found;
    return status;
}

KXSTATUS Enumerate(const wchar_t* listKey, CallerInfo_tag* entries, unsigned long& count) {
    return KxRegUtil().EnumVaule(listKey, entries, count);
}

}  // namespace

// ---- Accept list --------------------------------------------------------------------------

KXSTATUS KxConfig::AddAccepter(CallerInfo_tag& entry) { return AddEntry(kAcceptListKey, entry); }
KXSTATUS KxConfig::DelAccepter(CallerInfo_tag& entry) { return DelEntry(kAcceptListKey, entry); }
KXSTATUS KxConfig::GetAcceptr(CallerInfo_tag& entry) { return LookUp(kAcceptListKey, entry); }
KXSTATUS KxConfig::GetAcceptList(CallerInfo_tag* entries, unsigned long& count) {
    return Enumerate(kAcceptListKey, entries, count);
}
KXSTATUS KxConfig::InAccepterFuzzy(CallerInfo_tag& entry, int& found) {
    return Contains(kAcceptListKey, entry, found);
}

// ---- Reject list --------------------------------------------------------------------------

KXSTATUS KxConfig::AddRejecter(CallerInfo_tag& entry) { return AddEntry(kRejectListKey, entry); }
KXSTATUS KxConfig::DelRejecter(CallerInfo_tag& entry) { return DelEntry(kRejectListKey, entry); }
KXSTATUS KxConfig::GetRejecter(CallerInfo_tag& entry) { return LookUp(kRejectListKey, entry); }
KXSTATUS KxConfig::GetRejectList(CallerInfo_tag* entries, unsigned long& count) {
    return Enumerate(kRejectListKey, entries, count);
}
KXSTATUS KxConfig::InRejecterFuzzy(CallerInfo_tag& entry, int& found) {
    return Contains(kRejectListKey, entry, found);
}

// ---- WAP-push accept list -----------------------------------------------------------------

KXSTATUS KxConfig::AddWapPushAccepter(CallerInfo_tag& entry) {
    return AddEntry(kWapPushAcceptListKey, entry);
}
KXSTATUS KxConfig::DelWapPushAccepter(CallerInfo_tag& entry) {
    return DelEntry(kWapPushAcceptListKey, entry);
}
KXSTATUS KxConfig::GetWapPushAcceptr(const wchar_t* number) {
    return LookUp(kWapPushAcceptListKey, number);
}
KXSTATUS KxConfig::GetWapPushAcceptList(CallerInfo_tag* entries, unsigned long& count) {
    return Enumerate(kWapPushAcceptListKey, entries, count);
}

// ---- WAP-push force list ------------------------------------------------------------------

KXSTATUS KxConfig::AddForceListAccepter(CallerInfo_tag& entry) {
    return AddEntry(kWapPushForceListKey, entry);
}
KXSTATUS KxConfig::DelForceListAccepter(CallerInfo_tag& entry) {
    return DelEntry(kWapPushForceListKey, entry);
}
KXSTATUS KxConfig::GetForceListAcceptr(const wchar_t* number) {
    return LookUp(kWapPushForceListKey, number);
}
KXSTATUS KxConfig::GetForceAcceptList(CallerInfo_tag* entries, unsigned long& count) {
    return Enumerate(kWapPushForceListKey, entries, count);
}
