// kxctl list, add, del, lookup, match: the four caller lists, through KxConfig only. A hit is
// explained: which rule matched and which stored entry it matched.
#include "Commands.h"

#include <kxcommon/CallerInfo.h>
#include <kxcommon/KxConfig.h>

#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

namespace kxctl {
namespace {

const wchar_t kListUsage[] =
    L"usage: kxctl list LIST\n"
    L"       kxctl add LIST NUMBER [NAME]\n"
    L"       kxctl del LIST NUMBER\n"
    L"       kxctl lookup LIST NUMBER\n"
    L"       kxctl match LIST NUMBER          (accept and reject lists only)\n"
    L"LIST is accept, reject, wap-accept or wap-force";

constexpr size_t kTailChars = 7;

// In the order of kCallerListNames.
struct CallerList {
    const wchar_t* title;
    KXSTATUS (*add)(CallerInfo_tag&);
    KXSTATUS (*del)(CallerInfo_tag&);
    KXSTATUS (*lookup)(CallerInfo_tag&);
    KXSTATUS (*enumerate)(CallerInfo_tag*, unsigned long&);
    KXSTATUS (*contains)(CallerInfo_tag&, int&);  // null: the list has no containment test
};

const CallerList kLists[] = {
    {L"accept list", KxConfig::AddAccepter, KxConfig::DelAccepter, KxConfig::GetAcceptr,
     KxConfig::GetAcceptList, KxConfig::InAccepterFuzzy},
    {L"reject list", KxConfig::AddRejecter, KxConfig::DelRejecter, KxConfig::GetRejecter,
     KxConfig::GetRejectList, KxConfig::InRejecterFuzzy},
    {L"WAP-push accept list", KxConfig::AddWapPushAccepter, KxConfig::DelWapPushAccepter,
     [](CallerInfo_tag& e) { return KxConfig::GetWapPushAcceptr(e.Number); },
     KxConfig::GetWapPushAcceptList, nullptr},
    {L"WAP-push force list", KxConfig::AddForceListAccepter, KxConfig::DelForceListAccepter,
     [](CallerInfo_tag& e) { return KxConfig::GetForceListAcceptr(e.Number); },
     KxConfig::GetForceAcceptList, nullptr},
};

static_assert(sizeof kLists / sizeof kLists[0] == kCallerListCount, "one list per name");

const CallerList* FindList(const std::wstring& arg) {
    const int index = CallerListIndex(arg);
    return index < 0 ? nullptr : &kLists[index];
}

std::wstring Quoted(const wchar_t* text) { return L"\"" + std::wstring(text) + L"\""; }

// Builds the record the library takes; false when a text does not fit its field.
bool MakeEntry(const std::wstring& number, const std::wstring& name, CallerInfo_tag* entry) {
    return FillCallerFields(number, name, entry->Number, KX_CALLER_NUMBER_CHARS, entry->Name,
                            KX_CALLER_NAME_CHARS);
}

// Takes "LIST NUMBER" into an entry with an empty name: kExitOk, or a usage error's exit code.
int NumberArgs(const Args& args, CallerInfo_tag* entry) {
    if (args.size() != 2) return UsageError(kListUsage);
    if (!MakeEntry(args[1], L"", entry))
        return UsageError(L"a number holds at most 259 characters");
    return kExitOk;
}

// Reads the whole list: ask for the count, allocate, read; again if it grew meanwhile.
KXSTATUS ReadList(const CallerList& list, std::vector<CallerInfo_tag>* entries) {
    KXSTATUS status = KX_E_ARRAY_TOO_SMALL;
    unsigned long count = 0;
    for (int attempt = 0; attempt < 4 && status == KX_E_ARRAY_TOO_SMALL; ++attempt) {
        entries->resize(count);
        count = static_cast<unsigned long>(entries->size());
        status = list.enumerate(entries->empty() ? nullptr : entries->data(), count);
    }
    if (status == KX_OK) entries->resize(count);
    return status;
}

bool SameTail(const wchar_t* stored, const std::wstring& number) {
    const size_t length = std::wcslen(stored);
    return length >= kTailChars && number.size() > kTailChars &&
           std::wmemcmp(stored + length - kTailChars, number.c_str() + number.size() - kTailChars,
                        kTailChars) == 0;
}

int List(const CallerList& list, const Args& args) {
    if (args.size() != 1) return UsageError(kListUsage);
    std::vector<CallerInfo_tag> entries;
    const KXSTATUS status = ReadList(list, &entries);
    if (status != KX_OK) return CallFailed(std::wstring(L"listing the ") + list.title, status);
    Print(std::wstring(list.title) + L": " + std::to_wstring(entries.size()) +
          (entries.size() == 1 ? L" entry" : L" entries"));
    for (const CallerInfo_tag& entry : entries)
        Print(L"  " + std::wstring(entry.Number) + L"  " + Quoted(entry.Name));
    return kExitOk;
}

int Add(const CallerList& list, const Args& args) {
    if (args.size() != 2 && args.size() != 3) return UsageError(kListUsage);
    CallerInfo_tag entry;
    if (!MakeEntry(args[1], args.size() == 3 ? args[2] : L"", &entry))
        return UsageError(L"a number holds at most 259 characters, a name at most 1023");
    const KXSTATUS status = list.add(entry);
    if (status != KX_OK) return CallFailed(L"adding " + args[1], status);
    Print(std::wstring(L"added to the ") + list.title + L": " + entry.Number + L"  " +
          Quoted(entry.Name));
    return kExitOk;
}

int Del(const CallerList& list, const Args& args) {
    CallerInfo_tag entry;
    if (const int usage = NumberArgs(args, &entry)) return usage;
    const KXSTATUS status = list.del(entry);
    if (status != KX_OK) return CallFailed(L"deleting " + args[1], status);
    Print(std::wstring(L"deleted from the ") + list.title + L": " + entry.Number);
    return kExitOk;
}

// Names the stored entry a look-up hit rests on, by the same rule and in the same order.
std::wstring ExplainLookup(const CallerList& list, const std::wstring& number) {
    std::vector<CallerInfo_tag> entries;
    if (ReadList(list, &entries) != KX_OK) return L"(the list could not be read back)";
    for (const CallerInfo_tag& entry : entries)
        // The registry compares value names without regard to case.
        if (SameIgnoringCase(entry.Number, number.c_str()))
            return L"exact number: the stored " + std::wstring(entry.Number) + L"  " +
                   Quoted(entry.Name);
    for (const CallerInfo_tag& entry : entries)
        if (SameTail(entry.Number, number))
            return L"last seven characters " + Quoted(number.c_str() + number.size() - kTailChars) +
                   L": the stored " + entry.Number + L"  " + Quoted(entry.Name);
    return L"(the matching entry is gone)";
}

int Lookup(const CallerList& list, const Args& args) {
    CallerInfo_tag entry;
    if (const int usage = NumberArgs(args, &entry)) return usage;
    const KXSTATUS status = list.lookup(entry);
    if (status == KX_E_NO_MATCH) {
        Print(L"not in the " + std::wstring(list.title) + L": " + args[1] + L" (status " +
              Hex(static_cast<unsigned long>(status)) + L")");
        return kExitFailed;
    }
    if (status != KX_OK) return CallFailed(L"looking up " + args[1], status);
    Print(L"in the " + std::wstring(list.title) + L": " + args[1] + L" by " +
          ExplainLookup(list, args[1]));
    return kExitOk;
}

// Names the stored entry a containment hit rests on, and which way round it holds.
std::wstring ExplainMatch(const CallerList& list, const std::wstring& number) {
    std::vector<CallerInfo_tag> entries;
    if (ReadList(list, &entries) != KX_OK) return L"(the list could not be read back)";
    for (const CallerInfo_tag& entry : entries) {
        const std::wstring stored = entry.Number;
        if (number.find(stored) != std::wstring::npos)
            return L"the stored " + Quoted(entry.Number) + L" occurs in " + Quoted(number.c_str());
        if (stored.find(number) != std::wstring::npos)
            return Quoted(number.c_str()) + L" occurs in the stored " + Quoted(entry.Number);
    }
    return L"(the matching entry is gone)";
}

int Match(const CallerList& list, const Args& args) {
    if (list.contains == nullptr)
        return UsageError(L"match works on the accept and reject lists only");
    CallerInfo_tag entry;
    if (const int usage = NumberArgs(args, &entry)) return usage;
    int found = 0;
    const KXSTATUS status = list.contains(entry, found);
    if (status != KX_OK) return CallFailed(L"matching " + args[1], status);
    if (!found) {
        Print(L"no match in the " + std::wstring(list.title) + L": " + args[1]);
        return kExitFailed;
    }
    Print(L"matches the " + std::wstring(list.title) + L": " + ExplainMatch(list, args[1]));
    return kExitOk;
}

// Every list verb names its list first; `verb` gets the whole arguments, the name included.
int OnList(const Args& args, int (*verb)(const CallerList& list, const Args& args)) {
    if (args.empty()) return UsageError(kListUsage);
    const CallerList* list = FindList(args[0]);
    if (list == nullptr) return UsageError(L"unknown list '" + args[0] + L"'\n" + kListUsage);
    return verb(*list, args);
}

}  // namespace

int RunList(const Args& args) { return OnList(args, List); }
int RunAdd(const Args& args) { return OnList(args, Add); }
int RunDel(const Args& args) { return OnList(args, Del); }
int RunLookup(const Args& args) { return OnList(args, Lookup); }
int RunMatch(const Args& args) { return OnList(args, Match); }

}  // namespace kxctl
