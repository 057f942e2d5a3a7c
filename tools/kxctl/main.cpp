// kxctl: the command-line front end that shows and changes what kxcommon manages on the device.
#include "Commands.h"

#include <string>

namespace {

using kxctl::Args;

// One form of a verb. A verb with several forms has several rows, all with the same function,
// which tells the forms apart by the arguments; the README's table of kxctl lists the same forms.
struct Verb {
    const wchar_t* name;       // the command's first word
    const wchar_t* arguments;  // what follows it, as the usage text shows it
    const wchar_t* help;       // one line
    int (*run)(const Args& args);
};

// In the README's order; the groups are those of the tests (tests/tools/KxctlTest.cpp).
const Verb kVerbs[] = {
    // Settings and the registry.
    {L"init", L"", L"write the first-run values of the settings", kxctl::RunInit},
    {L"show", L"", L"every setting with its value or (not set)", kxctl::RunShow},
    {L"get", L"NAME", L"one setting, by its value name", kxctl::RunGet},
    {L"set", L"NAME VALUE", L"store a setting through its accessor", kxctl::RunSet},
    {L"delete", L"NAME", L"delete a setting that has a deleter", kxctl::RunDelete},
    {L"version", L"[bump]", L"the product version (bump: next build)", kxctl::RunVersion},
    {L"reg", L"query KEY [VALUE]", L"show a key's values, or one value", kxctl::RunReg},
    {L"reg", L"add KEY VALUE (num|text|bytes) DATA", L"write a value (creates the key)",
     kxctl::RunReg},
    {L"reg", L"delete KEY VALUE", L"delete a value", kxctl::RunReg},
    {L"reg", L"subkeys KEY", L"list a key's subkeys", kxctl::RunReg},
    // Caller lists.
    {L"list", L"LIST", L"show a caller list's entries", kxctl::RunList},
    {L"add", L"LIST NUMBER [NAME]", L"add an entry (replaces its name)", kxctl::RunAdd},
    {L"del", L"LIST NUMBER", L"delete an entry", kxctl::RunDel},
    {L"lookup", L"LIST NUMBER", L"exact number, else its last 7 characters", kxctl::RunLookup},
    {L"match", L"LIST NUMBER", L"containment either way (accept, reject)", kxctl::RunMatch},
    // The scan service.
    {L"service", L"start|stop|status|release", L"the scan service (SAV0:)", kxctl::RunService},
    {L"scan", L"PATH", L"scan one file", kxctl::RunScan},
    {L"quarantine", L"PATH VIRUS", L"move a file into quarantine", kxctl::RunQuarantine},
    {L"restore", L"PATH [DESTINATION] [--replace]", L"give a quarantined file back",
     kxctl::RunRestore},
    {L"viruses", L"", L"the viruses the pattern knows", kxctl::RunViruses},
    {L"engine", L"", L"engine and pattern versions", kxctl::RunEngine},
    {L"queue", L"push TEXT | pop | size | clean", L"the service's message queue", kxctl::RunQueue},
    // The Startup folder, processes, the handset and its connections.
    {L"startup", L"check PATH", L"is PATH in the Startup folder", kxctl::RunStartup},
    {L"startup", L"scan [PATH]", L"scan PATH (file or shortcut), or the folder", kxctl::RunStartup},
    {L"classify", L"PATH", L"each rule on whether a scan takes PATH", kxctl::RunClassify},
    {L"realtime", L"on|off [--wait]", L"switch real-time scanning (hook loader)",
     kxctl::RunRealTime},
    {L"wappush", L"on|off [--wait]", L"switch the WAP-push filter (hook loader)",
     kxctl::RunWapPush},
    {L"kill", L"PATH...", L"end every process running PATH", kxctl::RunKill},
    {L"sync", L"set|del|run|list", L"the synchronisation logger's event", kxctl::RunSync},
    {L"log", L"TEXT", L"append a line to \\KxCommon.log", kxctl::RunLog},
    {L"device", L"", L"the handset as the library sees it", kxctl::RunDevice},
    {L"device", L"stage NAME | handsets | clear", L"stage a named handset, list them, unstage",
     kxctl::RunDevice},
    {L"sms", L"register|unregister", L"the SMS listener KXSMSLsn2.dll", kxctl::RunSms},
    {L"sms", L"providers", L"the SMS protocol providers' modules", kxctl::RunSms},
    {L"proxy", L"", L"the connection manager's proxies", kxctl::RunProxy},
    {L"connect", L"", L"open and release the data connection", kxctl::RunConnect},
    {L"connect", L"type [ADAPTER]", L"the device's link, or an adapter name's", kxctl::RunConnect},
    // Updates, the management server, the operator's subscription file and device files.
    {L"update", L"schedule [YYYY-MM-DD HH:MM:SS]", L"tell the scan service the next update",
     kxctl::RunUpdate},
    {L"update", L"versions", L"record the service's engine and pattern", kxctl::RunUpdate},
    {L"pattern", L"", L"the last pattern file, normalised", kxctl::RunPattern},
    {L"subscription",
     L"set FILE [--subscribe N] [--unsubscribe N] [--subscribe-header H] [--unsubscribe-header H]",
     L"set the operator's subscription file", kxctl::RunSubscription},
    {L"mgi", L"status|clear|recover", L"the management server's settings", kxctl::RunMgi},
    {L"mgi", L"key [FIRST SECOND]", L"show or write mgi.key (hex components)", kxctl::RunMgi},
    {L"xml", L"FILE TAG [ATTRIBUTE]", L"count the TAG elements, show ATTRIBUTE", kxctl::RunXml},
    {L"md5", L"FILE", L"the file's MD5 digest in hexadecimal", kxctl::RunMd5},
    {L"b64", L"encode FILE", L"the file's bytes as one line of Base64", kxctl::RunB64},
    {L"b64", L"decode TEXT [FILE]", L"the decoded bytes in hexadecimal, or written to FILE",
     kxctl::RunB64},
};

// Where every form's help starts; a longer form has its help on the next line.
constexpr size_t kHelpColumn = 47;

std::wstring Usage() {
    std::wstring text = L"usage: kxctl COMMAND ...";
    for (const Verb& verb : kVerbs) {
        std::wstring line = L"  " + std::wstring(verb.name);
        if (*verb.arguments != L'\0') line += L" " + std::wstring(verb.arguments);
        if (line.size() >= kHelpColumn) line += L"\n";
        const size_t column = line.size() - (line.rfind(L'\n') + 1);
        text += L"\n" + line + std::wstring(kHelpColumn - column, L' ') + verb.help;
    }
    return text +
           L"\nKEY is a path under HKEY_LOCAL_MACHINE, e.g. SOFTWARE\\Quorlend\\Scutara\\2.0\n"
           L"LIST is accept, reject, wap-accept or wap-force\n"
           L"FILE is a device path such as \\kxtest\\a.bin (the device root is drive C:)";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Args args(argv + 1, argv + argc);
    if (args.empty() || args[0] == L"help" || args[0] == L"--help") {
        kxctl::Print(Usage());
        return args.empty() ? kxctl::kExitUsage : kxctl::kExitOk;
    }
    const std::wstring command = args[0];
    const Args rest(args.begin() + 1, args.end());
    for (const Verb& verb : kVerbs)
        if (command == verb.name) return verb.run(rest);
    return kxctl::UsageError(L"unknown command '" + command + L"'\n" + Usage());
}
