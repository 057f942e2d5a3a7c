// kxctl as a user runs it: one process per command line, checked for its exit code (0 done,
// 1 refused by the library or the service, 2 usage error) and its output. The rows run in order on
// one device: the scan service stays loaded from the first scan on, a handset stays staged. The
// library's own rules (settings, lists, codecs) are its tests' job: each verb here has rows for its
// parsing, its output format and its messages for bad input, and no refusal may write anything.
#include "RegistryRows.h"
#include "ServiceFixture.h"

namespace {

using namespace kxtest;

// Every value under the trees kxctl writes, as one text. Not the platform layer's tree: it
// records a refused connection request, as a device would.
std::string Registry() { return Dump(kVendorKey, true) + "|" + Dump(kSmsListenerKey, true); }

struct KxctlTest : DeviceTest {
    void TearDown() override { KillServiceHosts(); }
};

TEST_F(KxctlTest, EachVerbParsesPrintsAndExits) {
    MakeScratchFile(L"clean.txt", "hello");
    MakeScratchFile(L"eicar.com", kEicar);
    MakeScratchFile(L"bin.dat", std::string("\0\n\r\x1a\xff", 5));
    MakeScratchFile(L"configmgi.xml", "");
    MakeScratchFile(L"bad.xml", "<a><b></a>");
    MakeScratchFile(L"sub.xml", "<S><ServiceProvider/><ServiceProvider/></S>");
    WritePattern("version 77\nengine 3.0.1\n");
    MakeScratchFile(L"KxHookLoader.exe", ReadDeviceFile(SiblingPath(L"KxHookLoader.exe")));
    // Command lines separated by '|', each run in turn ("%K" stands for the product's key), exit
    // code, output: fragments separated by '|', each to be found in it, or "=" and the whole
    // output.
    const std::tuple<std::wstring, unsigned long, std::string> rows[] = {
        {L"", 2, "usage: kxctl COMMAND"},
        {L"help", 0, "usage: kxctl COMMAND"},
        {L"nonsense", 2, "unknown command 'nonsense'"},
        // Verbs without what they need.
        {L"list|add accept|restore|scan|service reboot|startup check", 2, "usage"},
        {L"realtime maybe|kill|sms bogus|mgi", 2, "usage"},
        // The text is logged as it is, not taken for a format.
        {L"log \"100% done %s\"", 0, "appended to \\KxCommon.log"},
        {L"md5 \\KxCommon.log", 0, "=e040cb13216f35844fbf7449f24314ec\n"},
        // reg: a key with or without its root, in any case.
        {L"reg|reg delete %K", 2, "usage: kxctl reg"},
        {L"reg query %K", 1, "opening %K failed with status"},
        {L"reg add %K LogFileSize num 32768", 0, "written: HKLM\\%K\\Log"},
        {L"reg add hklm\\%K Md5 bytes \"00 01 fe ff\"", 0, "2.0\\Md5"},
        {L"reg add HKEY_LOCAL_MACHINE\\%K T text task11.log", 0, "2.0\\T\n"},
        {L"reg query %K", 0,
         "=HKLM\\%K\n    LogFileSize  num  0x00008000 (32768)\n"
         "    Md5  bytes  00 01 fe ff  (4 bytes)\n    T  text  \"task11.log\"\n"},
        {L"reg query %K Absent", 1, "reading Absent failed"},
        {L"reg add %K V num twelve", 2, "'twelve' is not a 32-bit number"},
        {L"reg add %K V num 0x100000000", 2, "is not a 32-bit number"},
        {L"reg add %K V bytes 0g", 2, "'0g' is not a list of hexadecimal byte pairs"},
        {L"reg add %K V bytes \xFF21\xFF21", 2, "is not a list"},  // full-width digits
        {L"reg add %K V float 1.5", 2, "unknown value kind 'float'"},
        {L"reg delete %K LogFileSize", 0, "deleted: HKLM\\%K\\Log"},
        {L"reg delete %K LogFileSize", 1, "deleting LogFileSize failed with status 0x30000"},
        {L"reg subkeys SOFTWARE\\Quorlend\\Scutara", 0, "=HKLM\\%K\n"},
        {L"reg move x", 2, "unknown reg verb 'move'"},
        // Settings.
        {L"show", 0, "FileScanType  (not set)|TaskLogFilename  (not set)"},
        {L"get StartupTemp", 1, "StartupTemp  (not set)"},
        {L"get", 2, "usage: kxctl get NAME"},
        {L"version", 1, "reading FullVersionNum failed"},
        {L"set FullVersionNum 2.0.1.1021", 0, "FullVersionNum = \"2.0.1.1021\""},
        {L"version", 0,
         "=2.0.1.1021  (high 0x00020000, low 0x000103FD, product version 0x00020000000103FD)\n"},
        {L"version bump", 0, "2.0.2.1021"},
        {L"init", 0, "first-run values written"},
        {L"get TaskLogFilename", 0, "=TaskLogFilename = \"task11.log\"\n"},
        {L"set logfilesize 0x8000", 0, "LogFileSize = 32768"},  // names in any case
        {L"set StartupTemp \"\\Temp\\setup 1.cab\"", 0, "StartupTemp = \"\\Temp\\setup 1.cab\""},
        {L"set ScheduleUpdateTime \"2026-12-24 03:00:00\"", 0, "2026-12-24 03:00:00.000"},
        {L"delete StartupTemp", 0, "deleted: StartupTemp"},
        {L"delete StartupTemp", 1, "deleting StartupTemp failed with status"},
        {L"set RealTimeScan yes", 2, "'yes' is not a 32-bit number (decimal or 0x hex); nothing"},
        {L"set HostPort 65536", 2, "'65536' is not a port number (0 to 65535); nothing written"},
        {L"set FullVersionNum 2.0.1.70000", 2, "is not a version a.b.c.d"},
        {L"set LastUpdateTime \"2026-13-01 00:00:00\"", 2, "is not a time"},
        {L"set StartupTime later", 2, "StartupTime takes 'now' or 'setup'"},
        {L"set AppPath \\Program", 2, "AppPath is only read by the library; nothing written"},
        {L"set NoSuchSetting 1", 2, "no setting named 'NoSuchSetting'"},
        {L"set RealTimeScan", 2, "usage: kxctl set NAME VALUE"},
        {L"delete LogFileSize", 2, "LogFileSize cannot be deleted through the library"},
        // Caller lists: each list name reaches its own list.
        {L"add accept 0912345678 Alice", 0, "added to the accept list: 0912345678  \"Alice\""},
        {L"add wap-force sms.example.com Push", 0, "sms.example.com  \"Push\""},
        {L"list accept", 0, "=accept list: 1 entry\n  0912345678  \"Alice\"\n"},
        {L"lookup accept +886912345678", 0, "characters \"2345678\": the stored 0912345678"},
        {L"lookup accept 2345678", 1, "not in the accept list: 2345678 (status 0x30101"},
        {L"lookup wap-accept sms.example.com", 1, "0x30000"},
        {L"add reject 0012345678", 0, "added to the reject list"},
        {L"match reject 12345", 0, "\"12345\" occurs in the stored \"0012345678\""},
        {L"match reject 99999", 1, "no match in the reject list: 99999"},
        {L"match wap-force 12345", 2, "match works on the accept and reject lists only"},
        {L"del accept 0912345678", 0, "deleted from the accept list: 0912345678"},
        {L"del accept 0912345678", 1, "deleting 0912345678 failed with status 0x30000"},
        {L"list friends", 2, "unknown list 'friends'"},
        {L"add accept " + std::wstring(260, L'1'), 2, "a number holds at most 259 characters"},
        {L"add accept 1 " + std::wstring(1024, L'n'), 2, "a name at most 1023"},
        // The scan service, loaded by the first command that needs it.
        {L"service status", 0, "=scan service: not loaded\n"},
        {L"scan \\kxtest\\clean.txt", 0, "=\\kxtest\\clean.txt: clean\n"},
        {L"scan \\kxtest\\eicar.com", 0, "=\\kxtest\\eicar.com: infected by EICAR-Test-File\n"},
        {L"scan \\kxtest\\none.txt", 1, "the service could not read \\kxtest\\none.txt (Windows"},
        {L"service status", 0, "scan service: loaded as SAV0:"},
        {L"quarantine \\kxtest\\eicar.com EICAR-Test-File", 0, "quarantined: \\kxtest\\eicar.com"},
        {L"quarantine \\kxtest\\eicar.com EICAR-Test-File", 1, "kept \\kxtest\\eicar.com in place"},
        {L"restore \\kxtest\\eicar.com", 0, "restored: \\kxtest\\eicar.com"},
        {L"restore \\kxtest\\eicar.com", 1, "nothing restored"},
        {L"quarantine \\x AVirusNameOfTwentyOneC", 2, "a virus name at most 20"},
        {L"queue push \"first message\"", 0, "queued: first message"},
        {L"queue size", 0, "=1 queued messages\n"},
        {L"queue pop", 0, "first message"},
        {L"queue pop", 1, "popping (is the queue empty?) failed"},
        {L"engine", 0, "engine 3.0.1, pattern"},
        {L"viruses", 0, "=1 viruses in the pattern\n  0  EICAR-Test-File\n"},
        {L"update versions", 0, "recorded in ZRAPIEngineVer and ZRAPIPatternVer"},
        {L"reg query %K ZRAPIPatternVer", 0, "0x0000004D (77)"},
        {L"set ScheduleUpdateOption 1|set ScheduleUpdateFrequency 7", 0, ""},
        {L"update schedule 2006-01-30 10:00:00", 0, "7 days after 2006-01-30 10:00:00"},
        {L"update schedule 2006-13-01 10:00:00", 2, "is not a time YYYY-MM-DD HH:MM:SS"},
        {L"service release", 0, "scan service unloaded"},
        // The Startup folder and the scan filter.
        {L"startup check \\Windows\\StartUp\\x.exe", 1, "failed with status 0x240000"},
        {L"startup scan", 1, "0x240000"},
        {L"reg add %K StartupPath text \\Windows\\StartUp", 0, ""},
        {L"startup check \\Windows\\StartUp\\x.exe", 0, "x.exe: in the Startup folder"},
        {L"startup check \\windows\\startup\\x.exe", 1, "x.exe: not in the Startup folder"},
        {L"startup scan \\kxtest\\clean.txt", 0, "scanned \\kxtest\\clean.txt"},
        {L"classify \\Windows\\service.exe", 0, "the system's service host:  yes|verdict:"},
        // The hook loader (in WinPath) records the command line it was given.
        {L"reg add %K WinPath text \\nowhere", 0, ""},
        {L"realtime on --wait", 1, "failed with status 0x160000"},
        {L"wappush off", 1, "0x1D0000"},
        {L"reg add %K WinPath text \\kxtest|realtime on --wait", 0, ""},
        {L"reg query SOFTWARE\\KxStandIns\\KxHookLoader", 0, "text  \"ENABLE_REALTIME\""},
        {L"wappush off --wait", 0, ""},
        {L"reg query SOFTWARE\\KxStandIns\\KxHookLoader", 0, "text  \"DISABLE_WapPushFilter\""},
        {L"kill \\kxtest\\none.exe", 0, "ended every process running \\kxtest\\none.exe"},
        {L"sync set", 0, "registered for the serial-connection event"},
        {L"sync list", 0, "=1 event registrations\n  event 9: \\Windows\\repllog.exe\n"},
        {L"sync del", 0, "every registration of repllog.exe removed"},
        {L"sync list", 0, "=0 event registrations\n"},
        // Files: binary bytes in and out unchanged.
        {L"md5 \\kxtest\\clean.txt", 0, "=5d41402abc4b2a76b9719d911017c592\n"},
        {L"md5 \\kxtest\\none.bin", 1, "cannot open"},
        {L"b64 encode \\kxtest\\bin.dat", 0, "=AAoNGv8=\n"},
        {L"b64 encode \\kxtest\\configmgi.xml", 0, "=\n"},  // an empty file
        {L"b64 decode AAoNGv8=", 0, "=00 0a 0d 1a ff\n"},
        {L"b64 decode AAoNGv8= \\kxtest\\back.bin", 0, "written: \\kxtest\\back.bin (5 bytes)"},
        {L"md5 \\kxtest\\back.bin", 0, "=99d46d0dfb121d71d1c5a5d368ae3a84\n"},
        {L"b64 encode \\kxtest\\none.bin", 1, "kxctl: cannot read \\kxtest\\none.bin"},
        {L"b64 squash x", 2, "unknown b64 verb 'squash'"},
        // The handset and its connections.
        {L"device", 0, "handset: none staged (a plain desktop)"},
        {L"device stage unknown-phone", 2, "no handset named 'unknown-phone'"},
        {L"device stage wm6-cdma", 0, "staged wm6-cdma"},
        {L"device", 0,
         "0x01030100 (Smartphone)|phone: yes, PDA: no|number: 000002670345243|cellular"},
        {L"sms register", 0, ""},
        {L"reg query SOFTWARE\\KXSMSLsn2 Registered", 0, "Registered  "},
        {L"sms providers", 0, "Notification: sms_providers.dll"},
        {L"proxy", 0, "SOCKS 5 proxy: socks.corvia.example:1080, user ks620, password set"},
        {L"connect", 0, "connection released"},
        {L"connect type \"USB Cable\"", 0, "USB Cable: 1 (local link (USB, Bluetooth or"},
        {L"device stage wm2003-pda", 0, ""},
        {L"connect", 1, "connecting failed with status 0x80004005"},
        {L"device clear", 0, "no handset staged"},
        // The management server (files in AppPath), the subscription file and the XML component.
        {L"reg add %K AppPath text \\kxtest", 0, ""},
        {L"mgi recover", 1, "configmgi.xml cannot be read or is empty; it is kept"},
        {L"mgi key", 1, "no readable mgi.key in the application directory"},
        {L"mgi key 0102 zz", 2, "pairs of hexadecimal digits"},
        {L"mgi key \"01 02 03\" ff", 0, "mgi.key written: 3 and 1"},
        {L"mgi key", 0, "=first (3 bytes): 01 02 03\nsecond (1 bytes): ff\nflag: 1\n"},
        {L"mgi status", 0, "management: |server: (none)"},
        {L"mgi clear", 0, "management server address cleared"},
        {L"subscription set \\kxtest\\sub.xml --subscribe-header \"A&B <x>\"", 0, "processed"},
        {L"xml \\kxtest\\sub.xml ServiceProvider SubscribePatternHeader", 0,
         "=2 elements ServiceProvider\n[0] SubscribePatternHeader=\"A&B <x>\"\n"
         "[1] SubscribePatternHeader=\"\"\n"},
        {L"subscription set \\kxtest\\sub.xml --bogus 1", 2, "unknown option '--bogus'"},
        {L"subscription set \\kxtest\\none.xml --subscribe 1", 1, "missing or not XML"},
        {L"xml \\kxtest\\none.xml a", 2, "no such file: \\kxtest\\none.xml"},
        {L"xml \\kxtest\\bad.xml b", 1, "0 elements b"},
    };
    const auto keyed = [](auto text) {
        for (size_t at; (at = text.find(decltype(text){'%', 'K'})) != text.npos;)
            text.replace(at, 2, decltype(text)(kProductKey, std::end(kProductKey) - 1));
        return text;
    };
    for (const auto& [lines, code, expected] : rows) {
        std::wstringstream each(lines + L'|');  // so that an empty command line is run too
        for (std::wstring args; std::getline(each, args, L'|');) {
            SCOPED_TRACE(args.substr(0, 60));
            const std::string before = Registry(), out = keyed(expected);
            const KxctlRun r = RunKxctl(keyed(args));
            ASSERT_EQ(r.failure, "");
            EXPECT_EQ(r.exitCode, code) << r.output;
            if (out[0] == '=') EXPECT_EQ(r.output, out.substr(1));
            std::stringstream parts(out[0] == '=' ? "" : out);
            for (std::string part; std::getline(parts, part, '|');)
                EXPECT_NE(r.output.find(part), std::string::npos) << r.output;
            if (code != 0) EXPECT_EQ(Registry(), before) << "a refused call wrote";
        }
    }
}

}  // namespace
