// kxctl: the command-line front end that shows and changes what kxcommon manages on the device.
#include "Commands.h"

#include <string>

namespace {

const wchar_t kUsage[] =
    L"usage: kxctl COMMAND ...\n"
    L"  init                                         write the first-run values of the settings\n"
    L"  show                                         every setting with its value or (not set)\n"
    L"  get NAME                                     one setting, by its value name\n"
    L"  set NAME VALUE                               store a setting through its accessor\n"
    L"  delete NAME                                  delete a setting that has a deleter\n"
    L"  version [bump]                               the product version (bump: next build)\n"
    L"  reg query KEY [VALUE]                        show a key's values, or one value\n"
    L"  reg add KEY VALUE (num|text|bytes) DATA      write a value (creates the key)\n"
    L"  reg delete KEY VALUE                         delete a value\n"
    L"  reg subkeys KEY                              list a key's subkeys\n"
    L"  list LIST                                    show a caller list's entries\n"
    L"  add LIST NUMBER [NAME]                       add an entry (replaces its name)\n"
    L"  del LIST NUMBER                              delete an entry\n"
    L"  lookup LIST NUMBER                           exact number, else its last 7 characters\n"
    L"  match LIST NUMBER                            containment either way (accept, reject)\n"
    L"  service start|stop|status|release            the scan service (SAV0:)\n"
    L"  scan PATH                                    scan one file\n"
    L"  quarantine PATH VIRUS                        move a file into quarantine\n"
    L"  restore PATH [DESTINATION] [--replace]       give a quarantined file back\n"
    L"  viruses                                      the viruses the pattern knows\n"
    L"  engine                                       engine and pattern versions\n"
    L"  queue push TEXT | pop | size | clean         the service's message queue\n"
    L"  startup check PATH                           is PATH in the Startup folder\n"
    L"  startup scan [PATH]                          scan PATH (file or shortcut), or the folder\n"
    L"  classify PATH                                each rule on whether a scan takes PATH\n"
    L"  realtime on|off [--wait]                     switch real-time scanning (hook loader)\n"
    L"  wappush on|off [--wait]                      switch the WAP-push filter (hook loader)\n"
    L"  kill PATH...                                 end every process running PATH\n"
    L"  sync set|del|run|list                        the synchronisation logger's event\n"
    L"  log TEXT                                     append a line to \\KxCommon.log\n"
    L"  md5 FILE                                     the file's MD5 digest in hexadecimal\n"
    L"  b64 encode FILE                              the file's bytes as one line of Base64\n"
    L"  b64 decode TEXT [FILE]                       the decoded bytes in hexadecimal, or\n"
    L"                                               written to FILE\n"
    L"  device                                       the handset as the library sees it\n"
    L"  device stage NAME | handsets | clear         stage a named handset, list them, unstage\n"
    L"  sms register|unregister                      the SMS listener KXSMSLsn2.dll\n"
    L"  sms providers                                the SMS protocol providers' modules\n"
    L"  proxy                                        the connection manager's proxies\n"
    L"  connect                                      open and release the data connection\n"
    L"  connect type [ADAPTER]                       the device's link, or an adapter name's\n"
    L"  update schedule [YYYY-MM-DD HH:MM:SS]        tell the scan service the next update\n"
    L"  update versions                              record the service's engine and pattern\n"
    L"  pattern                                      the last pattern file, normalised\n"
    L"  subscription set FILE [--subscribe N] [--unsubscribe N] [--subscribe-header H]\n"
    L"                   [--unsubscribe-header H]    set the operator's subscription file\n"
    L"  mgi status|clear|recover                     the management server's settings\n"
    L"  mgi key [FIRST SECOND]                       show or write mgi.key (hex components)\n"
    L"  xml FILE TAG [ATTRIBUTE]                     count the TAG elements, show ATTRIBUTE\n"
    L"KEY is a path under HKEY_LOCAL_MACHINE, e.g. SOFTWARE\\Quorlend\\Scutara\\2.0\n"
    L"LIST is accept, reject, wap-accept or wap-force\n"
    L"FILE is a device path such as \\kxtest\\a.bin (the device root is drive C:)";

}  // namespace

int wmain(int argc, wchar_t** argv) {
    kxctl::Args args(argv + 1, argv + argc);
    if (args.empty() || args[0] == L"help" || args[0] == L"--help") {
        kxctl::Print(kUsage);
        return args.empty() ? kxctl::kExitUsage : kxctl::kExitOk;
    }
    const std::wstring command = args[0];
    const kxctl::Args rest(args.begin() + 1, args.end());
    if (command == L"reg") return kxctl::RunReg(rest);
    if (kxctl::IsSettingsVerb(command)) return kxctl::RunSettings(command, rest);
    if (kxctl::IsStartupVerb(command)) return kxctl::RunStartup(command, rest);
    if (kxctl::IsProcessVerb(command)) return kxctl::RunProcess(command, rest);
    if (kxctl::IsServiceVerb(command)) return kxctl::RunService(command, rest);
    if (kxctl::IsListVerb(command)) return kxctl::RunList(command, rest);
    if (kxctl::IsDeviceVerb(command)) return kxctl::RunDevice(command, rest);
    if (command == L"update" || command == L"pattern") return kxctl::RunUpdate(command, rest);
    if (command == L"mgi" || command == L"subscription") return kxctl::RunMgi(command, rest);
    if (command == L"xml") return kxctl::RunXml(rest);
    if (command == L"md5") return kxctl::RunMd5(rest);
    if (command == L"b64") return kxctl::RunB64(rest);
    return kxctl::UsageError(L"unknown command '" + command + L"'\n" + kUsage);
}
