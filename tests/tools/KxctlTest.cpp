// kxctl as a user runs it: one process per command line, checked for its exit code (0 done, 1
// refused by the library or the service, 2 usage error), its output and, for a verb that changes
// something, the registry value it writes. One test per group of kxctl's table of verbs. The
// library's own rules are its tests' job: a row here shows what the front end adds (parsing,
// output, exit codes, the verb reaching its library call) and that a refused command writes
// nothing.
#include "RegistryRows.h"
#include "ServiceFixture.h"

#include <kxcommon/KxRegUtil.h>

namespace {

using namespace kxtest;

constexpr wchar_t kAcceptList[] = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\AcceptList";
constexpr wchar_t kRegKey[] = L"SOFTWARE\\Quorlend\\kxctl";               // the reg verbs' own key
constexpr wchar_t kHookLoader[] = L"SOFTWARE\\KxStandIns\\KxHookLoader";  // what it was told

// Every row starts from a fresh device on which the product is installed in \kxtest (application
// and system folder, with the hook loader), version 2.0.1.1021 with a StartupTemp, 0912345678
// "Alice" in the accept list, a Smartphone staged, the scan service's pattern and files to scan
// and read.
void Install() {
    KxRegUtil registry;
    for (const wchar_t* folder : {L"AppPath", L"WinPath"})
        registry.SetValue(kProductKey, folder, kScratchDir);
    registry.SetValue(kProductKey, L"StartupPath", L"\\Windows\\StartUp");
    registry.SetValue(kProductKey, L"FullVersionNum", L"2.0.1.1021");
    registry.SetValue(kProductKey, L"StartupTemp", L"\\Temp\\a.cab");
    registry.SetValue(kAcceptList, L"0912345678", L"Alice");
    StageHandset(L"wm6-cdma");
    WritePattern("version 77\nengine 3.0.1\n");
    MakeScratchFile(L"KxHookLoader.exe", ReadDeviceFile(SiblingPath(L"KxHookLoader.exe")));
    MakeScratchFile(L"eicar.com", kEicar);
    MakeScratchFile(L"bin.dat", std::string("\0\n\r\x1a\xff", 5));
    MakeScratchFile(L"sub.xml", "<S><ServiceProvider A=\"1\"/><ServiceProvider/></S>");
}

struct Row {
    const char* name;
    std::wstring command;        // kxctl's arguments
    unsigned long exitCode = 0;  // what kxctl exits with
    const char* output = "";     // its whole output (standard output and error)
    const char* outputHas = "";  // or, when set, a part of it
    // A registry value the command writes, or must leave alone, and how it then reads.
    const wchar_t* value = nullptr;
    const char* stored = "(missing)";
    const wchar_t* key = kProductKey;
};

// Runs the row's command on the installed device and compares what it did with the row.
::testing::AssertionResult Runs(const Row& row) {
    ResetDevice();
    Install();
    const KxctlRun run = RunKxctl(row.command);
    const std::string stored = row.value ? Stored(row.key, row.value) : row.stored;
    const bool part = *row.outputHas != '\0';
    if (run.failure.empty() && run.exitCode == row.exitCode && stored == row.stored &&
        (part ? run.output.find(row.outputHas) != std::string::npos : run.output == row.output))
        return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure()
                   << row.name << ": kxctl " << row.command << " " << run.failure << "exited "
                   << run.exitCode << " and printed \"" << run.output << "\"; expected exit code "
                   << row.exitCode << (part ? " and output with \"" : " and the output \"")
                   << (part ? row.outputHas : row.output) << "\"";
    if (row.value)
        failure << "; " << row.value << " then reads " << stored << ", not " << row.stored;
    return failure;
}

void ExpectRows(std::initializer_list<Row> rows) {
    for (const Row& row : rows) EXPECT_TRUE(Runs(row));
}

struct KxctlTest : DeviceTest {
    void TearDown() override { KillServiceHosts(); }
};

// The rows are laid out as a table reads best.
// clang-format off

TEST_F(KxctlTest, CommandLine) {
    ExpectRows({
        {.name = "no command", .command = L"", .exitCode = 2, .outputHas = "usage: kxctl COMMAND"},
        {.name = "help: each form of the table with its help", .command = L"help", .outputHas =
         "\n  reg add KEY VALUE (num|text|bytes) DATA      write a value (creates the key)\n"},
        {.name = "unknown command", .command = L"nonsense", .exitCode = 2,
         .outputHas = "kxctl: unknown command 'nonsense'\nusage: kxctl COMMAND"},
    });
}

TEST_F(KxctlTest, SettingsAndRegistry) {
    ExpectRows({
        {.name = "get of a setting not stored", .command = L"get TaskLogFilename", .exitCode = 1,
         .output = "TaskLogFilename  (not set)\n"},
        {.name = "a name in any case, a number in hex", .command = L"set logfilesize 0x8000",
         .output = "LogFileSize = 32768 (0x8000)\n", .value = L"LogFileSize", .stored = "number 0x8000"},
        {.name = "set goes through the setting's accessor", .command = L"set RealTimeScan 5",
         .output = "RealTimeScan = 1\n", .value = L"RealTimeScan", .stored = "number 0x1"},
        {.name = "a quoted text", .command = L"set TaskLogFilename \"a b.log\"",
         .output = "TaskLogFilename = \"a b.log\"\n", .value = L"TaskLogFilename", .stored = "text \"a b.log\""},
        {.name = "not a number", .command = L"set RealTimeScan yes", .exitCode = 2,
         .output = "kxctl: 'yes' is not a 32-bit number (decimal or 0x hex); nothing written\n",
         .value = L"RealTimeScan"},
        {.name = "read only", .command = L"set AppPath \\Program", .exitCode = 2,
         .output = "kxctl: AppPath is only read by the library; nothing written\n"},
        {.name = "delete", .command = L"delete StartupTemp", .output = "deleted: StartupTemp\n",
         .value = L"StartupTemp"},
        {.name = "version bump", .command = L"version bump", .output = "2.0.2.1021  (high "
         "0x00020000, low 0x000203FD, product version 0x00020000000203FD)\n",
         .value = L"FullVersionNum", .stored = "text \"2.0.2.1021\""},
        // reg: a key with either root, in any case, or none.
        {.name = "reg add text",
         .command = L"reg add HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorlend\\kxctl T text \"a b\"",
         .output = "written: HKLM\\SOFTWARE\\Quorlend\\kxctl\\T\n", .value = L"T",
         .stored = "text \"a b\"", .key = kRegKey},
        {.name = "reg add num", .command = L"reg add hklm\\SOFTWARE\\Quorlend\\kxctl N num 0x8000",
         .output = "written: HKLM\\SOFTWARE\\Quorlend\\kxctl\\N\n", .value = L"N",
         .stored = "number 0x8000", .key = kRegKey},
        {.name = "reg query of a missing key", .command = L"reg query SOFTWARE\\Quorlend\\none", .exitCode = 1,
         .output = "kxctl: opening SOFTWARE\\Quorlend\\none failed with status 0x30000\n"},
        {.name = "reg delete", .command = L"reg delete SOFTWARE\\Quorlend\\Scutara\\2.0 StartupTemp",
         .output = "deleted: HKLM\\SOFTWARE\\Quorlend\\Scutara\\2.0\\StartupTemp\n", .value = L"StartupTemp"},
        {.name = "reg query", .command = L"reg query SOFTWARE\\Quorlend\\Scutara\\2.0\\AcceptList",
         .output = "HKLM\\SOFTWARE\\Quorlend\\Scutara\\2.0\\AcceptList\n"
                   "    0912345678  text  \"Alice\"\n"},
    });
}

TEST_F(KxctlTest, CallerLists) {
    ExpectRows({
        {.name = "add to the list named", .command = L"add wap-force sms.example.com Push",
         .output = "added to the WAP-push force list: sms.example.com  \"Push\"\n",
         .value = L"sms.example.com", .stored = "text \"Push\"",
         .key = L"SOFTWARE\\Quorlend\\Scutara\\2.0\\WapPush\\ForceList"},
        {.name = "a number too long", .command = L"add accept " + std::wstring(260, L'1'),
         .exitCode = 2, .outputHas = "kxctl: a number holds at most 259 characters"},
        {.name = "list", .command = L"list accept",
         .output = "accept list: 1 entry\n  0912345678  \"Alice\"\n"},
        {.name = "lookup says which entry it found", .command = L"lookup accept +886912345678",
         .output = "in the accept list: +886912345678 by last seven characters \"2345678\": "
         "the stored 0912345678  \"Alice\"\n"},
        {.name = "match says which entry it found", .command = L"match accept 12345",
         .output = "matches the accept list: \"12345\" occurs in the stored \"0912345678\"\n"},
        {.name = "del", .command = L"del accept 0912345678",
         .output = "deleted from the accept list: 0912345678\n", .value = L"0912345678",
         .key = kAcceptList},
    });
}

TEST_F(KxctlTest, ScanService) {
    ExpectRows({
        {.name = "status", .command = L"service status", .output = "scan service: not loaded\n"},
        {.name = "scan", .command = L"scan \\kxtest\\eicar.com",
         .output = "\\kxtest\\eicar.com: infected by EICAR-Test-File\n"},
        {.name = "a file the service cannot read", .command = L"scan \\kxtest\\none.txt",
         .exitCode = 1, .outputHas = "kxctl: the service could not read \\kxtest\\none.txt"},
        {.name = "quarantine", .command = L"quarantine \\kxtest\\eicar.com EICAR-Test-File",
         .output = "quarantined: \\kxtest\\eicar.com (EICAR-Test-File)\n"},
    });
}

TEST_F(KxctlTest, StartupProcessesAndHandset) {
    ExpectRows({
        {.name = "startup check", .command = L"startup check \\Windows\\StartUp\\x.exe",
         .output = "\\Windows\\StartUp\\x.exe: in the Startup folder\n"},
        {.name = "classify gives each reason and the verdict", .command = L"classify \\kxtest\\x.exe",
         .outputHas = "  in ROM or unreadable:       yes\n  the system's service host:  no\n"},
        {.name = "startup check outside", .command = L"startup check \\kxtest\\x.exe",
         .exitCode = 1, .output = "\\kxtest\\x.exe: not in the Startup folder\n"},
        {.name = "realtime", .command = L"realtime on --wait",
         .output = "real-time scanning on: the hook loader has done its work\n",
         .value = L"LastCommandLine", .stored = "text \"ENABLE_REALTIME\"", .key = kHookLoader},
        {.name = "sms register", .command = L"sms register", .output = "SMS listener registered\n",
         .value = L"Registered", .stored = "number 0x1", .key = kSmsListenerKey},
        {.name = "proxy", .command = L"proxy",
         .outputHas = "\nSOCKS 5 proxy: socks.corvia.example:1080, user ks620, password set\n"},
    });
}

TEST_F(KxctlTest, UpdatesManagementAndFiles) {
    ExpectRows({
        {.name = "update versions", .command = L"update versions", .outputHas = "versions recorded",
         .value = L"ZRAPIPatternVer", .stored = "number 0x4d"},
        {.name = "xml", .command = L"xml \\kxtest\\sub.xml ServiceProvider A",
         .output = "2 elements ServiceProvider\n[0] A=\"1\"\n[1] A=\"\"\n"},
        {.name = "md5", .command = L"md5 \\kxtest\\bin.dat",
         .output = "99d46d0dfb121d71d1c5a5d368ae3a84\n"},
        {.name = "b64 encode", .command = L"b64 encode \\kxtest\\bin.dat", .output = "AAoNGv8=\n"},
        {.name = "b64 decode", .command = L"b64 decode AAoNGv8=", .output = "00 0a 0d 1a ff\n"},
    });
}

// clang-format on

}  // namespace
