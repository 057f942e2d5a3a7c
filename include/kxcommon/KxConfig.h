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

    // ---- Caller lists -------------------------------------------------------------------
    //
    // Four lists of callers: accept and reject (consulted by the SMS filter), WAP-push accept
    // and WAP-push force (consulted by the WAP-push filter). An entry (CallerInfo_tag, from
    // CallerInfo.h) is keyed by its Number, stored as given; adding a Number again replaces its
    // Name. A list's key is made by its first addition and never removed, so an emptied list
    // still exists.
    //
    // Statuses: 0; KX_E_REGISTRY when the list does not exist yet (look-up, deletion,
    // enumeration, containment), when a number to delete is not in it, or when a write is
    // refused; KX_E_NO_MATCH from a look-up of an existing list that lacks the number;
    // KX_E_ARRAY_TOO_SMALL from an enumeration (see below); KX_E_INVALIDARG when a Number or
    // Name is not terminated within its field, a number is null or an array cannot be written.
    //
    // Look-up rule: the number is in the list when an entry of exactly that number exists
    // (compared as the registry compares value names), or, for a number of more than seven
    // characters, when an entry of at least seven characters ends in the same seven characters
    // (case-sensitive). So +886912345678 finds 0912345678; a seven-character number is found
    // only by itself.
    //
    // Containment rule (the ...Fuzzy tests): a stored Number matches when it occurs in the
    // caller's number or the caller's number occurs in it (case-sensitive). `found` is set to
    // 1 or 0 in every case, 0 when the list does not exist. An empty number, or an empty stored
    // Number, matches anything.
    //
    // Enumeration (Get...List): on entry `count` is the array's capacity in entries. A list of
    // more entries answers KX_E_ARRAY_TOO_SMALL with `count` set to the number needed and the
    // array untouched; allocate that many and call again. On success `count` is the number of
    // entries written, in the registry's order. See KxRegUtil::EnumVaule.
    //
    // `struct` names the record here so that this header needs no include of its own.
    static KXSTATUS AddAccepter(struct CallerInfo_tag& entry);
    static KXSTATUS DelAccepter(struct CallerInfo_tag& entry);
    static KXSTATUS GetAcceptr(struct CallerInfo_tag& entry);
    static KXSTATUS GetAcceptList(struct CallerInfo_tag* entries, unsigned long& count);
    static KXSTATUS InAccepterFuzzy(struct CallerInfo_tag& entry, int& found);

    static KXSTATUS AddRejecter(struct CallerInfo_tag& entry);
    static KXSTATUS DelRejecter(struct CallerInfo_tag& entry);
    static KXSTATUS GetRejecter(struct CallerInfo_tag& entry);
    static KXSTATUS GetRejectList(struct CallerInfo_tag* entries, unsigned long& count);
    static KXSTATUS InRejecterFuzzy(struct CallerInfo_tag& entry, int& found);

    static KXSTATUS AddWapPushAccepter(struct CallerInfo_tag& entry);
    static KXSTATUS DelWapPushAccepter(struct CallerInfo_tag& entry);
    static KXSTATUS GetWapPushAcceptr(const wchar_t* number);
    static KXSTATUS GetWapPushAcceptList(struct CallerInfo_tag* entries, unsigned long& count);

    static KXSTATUS AddForceListAccepter(struct CallerInfo_tag& entry);
    static KXSTATUS DelForceListAccepter(struct CallerInfo_tag& entry);
    static KXSTATUS GetForceListAcceptr(const wchar_t* number);
    static KXSTATUS GetForceAcceptList(struct CallerInfo_tag* entries, unsigned long& count);

private:
    KxConfig();
};
