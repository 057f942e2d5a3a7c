// KxService against the running reference scan service: the handle's life, every operation's
// records and answers, the quarantine store's promises, and the failure codes when the service
// is absent or misbehaves.
#include "ServiceFixture.h"

#include <kxcommon/KxService.h>

#include "../../components/KXSVC/ServiceTestHooks.h"

#include <cstdlib>
#include <thread>

namespace {

using namespace kxtest;

class KxServiceTest : public ServiceTest {};

constexpr int kBad = KX_E_SERVICE_REQUEST, kArg = KX_E_INVALIDARG,
              kNotFound = KX_E_SERVICE_NOT_FOUND;
const FILETIME kNewest{0, 0};

FileScan_tag Scan(const std::wstring& path) {
    FileScan_tag record{sizeof record};
    std::wcsncpy(record.path, path.c_str(), 259);
    return record;
}

ServiceSnapshot State() {
    ServiceSnapshot state{};
    EXPECT_TRUE(ReadServiceState(&state));
    return state;
}

// The time of the oldest record in the quarantine store (the lowest id left), as its record
// file holds it.
FILETIME Oldest() {
    std::string rec = "<missing>";
    for (int id = 1; rec == "<missing>" && id < 20; ++id)
        rec = ReadDeviceFile(L"\\KxSvc\\Quarantine\\" + std::to_wstring(id) + L".rec");
    // Without a time (npos + 5 is 4) the number read is no record's.
    const auto t = std::strtoull(rec.c_str() + std::min(rec.find("time=") + 5, rec.size()), 0, 16);
    return {static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
}

// One step of a sequence: its answer, computed in the order of the list, and the expected one.
struct Step {
    const char* name;
    int answer, expected;
};
void Expect(std::initializer_list<Step> steps) {
    for (const Step& step : steps) EXPECT_EQ(step.answer, step.expected) << step.name;
}

// A service that cannot be loaded fails every operation; once it can, it is loaded on the first
// request and unloaded only by Release.
TEST_F(KxServiceTest, LoadedOnceOnTheFirstRequestAndUnloadedOnlyByRelease) {
    KxService a, b;
    FileScan_tag scan = Scan(L"\\kxtest\\x");
    SMSScan_tag sms{};
    unsigned long n = 5;
    // Each operation loads the service its own way; these stand for the rest. The count is
    // left untouched, the size word written; ScanFile has no 0x70000. Loading stays blocked
    // until the end of the statement.
    EXPECT_EQ(
        (BlockServiceLoading(),
         std::vector<int>({a.ScanFile(&scan), a.ScanSMS(&sms), a.GetVirusInPatCount(n),
                           int(a.MsgSvcSize()), a.QuarantineFile(L"\\x", L"V"), int(n),
                           int(sms.size)})),
        std::vector<int>({kBad, kNotFound, kNotFound, kNotFound, kNotFound, 5, int(sizeof sms)}));
    // Each call answers its result plus 100 times the hosts running after it.
    const auto hosts = [](int result) { return result + 100 * CountServiceHosts(); };
    Expect({{"GetHandle never loads", hosts(a.GetHandle() != INVALID_HANDLE_VALUE), 0},
            {"Release, nothing running", hosts(KxService().Release()), 0},
            {"a request loads it", hosts(a.GetVirusInPatCount(n)), 100},
            {"one instance for all", hosts(b.GetHandle() != a.GetHandle()), 100},
            {"a gone client leaves it", hosts(KxService().GetVirusInPatCount(n)), 100},
            {"forgetting unloads nothing", hosts(a.CloseSrvHandle()), 100},
            {"looked up again", hosts(a.GetVirusInPatCount(n)), 100},
            {"Release looks it up and unloads", hosts(KxService().Release()), 0}});
}

// Start and Stop pass the service's answer through; a refused request or an answer of the
// wrong length fails and leaves the caller's output. Null and oversized arguments are refused
// unsent; a path of the field's 260 characters still leaves its NUL.
TEST_F(KxServiceTest, ArgumentsAreCheckedAndAnswersPassThrough) {
    KxService s;
    // The record scanned: every failed scan must leave it as it was.
    FileScan_tag r = Scan(MakeScratchFile(L"eicar.com", kEicar));
    r.resultWord = 0x1234;
    unsigned long count = 77;
    ZRAPIVersion_tag zv;
    // One request path checks every answer: each kind of wrong answer once. A fault that could
    // not be armed answers 1.
    const auto arm = [](DWORD code, DWORD kind) { return ArmFault(code, kind, 1); };
    const DWORD kShort = KXSVC_FAULT_SHORT_ANSWER, kLong = KXSVC_FAULT_LONG_ANSWER;
    const std::wstring v = MakeScratchFile(L"v.bin", "x"), v21(21, L'v');
    const std::wstring p260 = L"\\" + std::wstring(259, L'p'), p261 = p260 + L"p";
    const wchar_t *f = v.c_str(), *q = p260.c_str(), *l = p261.c_str();
    SMSScan_tag* noSms = nullptr;
    Expect(
        {{"already started", s.Start(), 1},
         {"stop", s.Stop(), 0},
         {"already stopped", s.Stop(), 1},
         {"a stopped service scans nothing", s.ScanFile(&r), kBad},
         {"start", s.Start(), 0},
         {"start, short", arm(KXSVC_START, kShort) ? s.Start() : 1, kBad},
         {"stop, long", arm(KXSVC_STOP, kLong) ? s.Stop() : 1, kBad},
         {"scan, refused", arm(KXSVC_SCAN_FILE, KXSVC_FAULT_REFUSE) ? s.ScanFile(&r) : 1, kBad},
         {"count, long", arm(KXSVC_GET_VIRUS_COUNT, kLong) ? s.GetVirusInPatCount(count) : 1, kBad},
         {"zrapi, short", arm(KXSVC_GET_ZRAPI_VERSION, kShort) ? s.GetZRAPIVersion(&zv) : 1, kBad},
         {"size, refused", arm(KXSVC_MSG_SIZE, KXSVC_FAULT_REFUSE) ? int(s.MsgSvcSize()) : 1, -1},
         // The size word says what is sent; the service takes whole records only.
         {"part of a record", (r.size = 100, s.ScanFile(&r)), kBad},
         {"count left", int(count), 77},
         {"record left", r.scanResult == 0 && r.resultWord == 0x1234 && r.virusName[0] == 0, 1},
         {"virus name of 21", s.QuarantineFile(f, v21.c_str()), kArg},
         {"path of 261", s.QuarantineFile(l, L"V"), kArg},
         {"path of 260 is sent", s.QuarantineFile(q, L"V"), 2},
         {"no path", s.QuarantineFile(nullptr, L"V"), kArg},
         {"restore, path of 261", s.RestoreFile(l, L"", 0, &kNewest), kArg},
         {"restore, destination of 261", s.RestoreFile(f, l, 0, &kNewest), kArg},
         {"restore, destination of 260", s.RestoreFile(q, q, 0, &kNewest), 2},
         {"restore, no time", s.RestoreFile(f, L"", 0, nullptr), kArg},
         {"virus name of 20, v.bin still there", s.QuarantineFile(f, v21.c_str() + 1), 0},
         {"no records", s.ScanSMS(noSms) + s.ScanFile(nullptr) - kArg, kArg},
         {"no other record", s.ScanSCProtect(nullptr) + s.GetZRAPIVersion(nullptr) - kArg, kArg},
         {"no virus record", s.GetVirusInPat(0, nullptr), kArg},
         {"no message", s.MsgSvcPush(nullptr) + s.MsgSvcPop(nullptr) - kArg, kArg},
         {"no log line", s.WriteDebugLog(L"") + s.WriteDebugLog(nullptr) - kArg, kArg}});
}

// The pattern's versions and virus list; verdicts by the built-in test file (up to 128 bytes)
// and by the pattern's digests in any case, read again when the file changes; detections count
// for the management server; protect records go by their own length word.
TEST_F(KxServiceTest, PatternListsScansAndProtectRecords) {
    WritePattern(
        "version 312345\nengine 2.1.7\nmd5 900150983CD24FB0D6963F7D28E17F72 Trojan.Abc\n"
        "md5 d41d8cd98f00b204e9800998ecf8427e A.Very.Long.Virus.Name.Indeed\n");
    KxService s;
    ZRAPIVersion_tag version{};
    unsigned long count = 0;
    ASSERT_EQ(s.GetZRAPIVersion(&version) + s.GetVirusInPatCount(count), KX_OK);
    std::wstring names = version.engineVersion + std::to_wstring(version.patternVersion) + L";";
    for (unsigned long i = 0; i <= count; ++i) {
        VirusInfo_tag virus{};
        const int status = s.GetVirusInPat(i, &virus);
        names += std::to_wstring(status) + L":" + std::to_wstring(virus.index) + virus.name + L";";
    }
    // Names cut to 19 characters; the index goes unchecked to the service.
    EXPECT_EQ(names, L"2.1.7312345;0:0EICAR-Test-File;0:1Trojan.Abc;0:2A.Very.Long.Virus.N;" +
                         std::to_wstring(kBad) + L":0;");
    // Status, verdict, virus and result word; the path and size words are left as they were.
    const auto scan = [&](const std::wstring& path) {
        FileScan_tag r = Scan(path);
        r.scanResult = 9;
        const int status = s.ScanFile(&r);
        return std::to_wstring(status) + L" " + std::to_wstring(r.scanResult) + L" " + r.virusName +
               L" " + std::to_wstring(r.resultWord) +
               (r.path == path && r.size == sizeof r ? L"" : L" changed");
    };
    const std::wstring eicar = MakeScratchFile(L"eicar.com", kEicar);
    const std::wstring abc = MakeScratchFile(L"abc.bin", "abc");  // by digest (RFC 1321 "abc")
    const struct Row {
        std::wstring path;
        const wchar_t* expected;
    } rows[] = {
        {MakeScratchFile(L"clean.txt", "hello"), L"0 0  0"},
        {eicar, L"0 1 EICAR-Test-File 0"},
        {MakeScratchFile(L"e128.com", kEicar + std::string(60, ' ')), L"0 1 EICAR-Test-File 0"},
        {abc, L"0 1 Trojan.Abc 0"},
        {L"\\kxtest\\absent.txt", L"0 0  2"},
    };
    for (const Row& row : rows) EXPECT_EQ(scan(row.path), row.expected) << row.path;
    EXPECT_EQ(State().mgiEvents, 3u) << "detections count for the management server";
    // A changed pattern file is read again.
    EXPECT_EQ((WritePattern("version 2\n"), scan(abc)), L"0 0  0");
    EXPECT_EQ(s.MgiClean() ? -1 : int(State().mgiEvents), 0);

    SMSScan_tag sms{};
    const std::wstring infected = L"see " + std::wstring(kEicar, kEicar + 68);
    std::wcscpy(reinterpret_cast<wchar_t*>(sms.message), infected.c_str());
    sms.message[999] = 0x5A;
    std::wcscpy(sms.answer, L"stale answer that is long");
    ASSERT_EQ(s.ScanSMS(&sms), KX_OK);
    // The rest of the answer field is zero; the message part is left as it was.
    EXPECT_EQ(std::wstring(sms.answer, 26) + std::to_wstring(sms.scanResult + sms.message[999]) +
                  L" " + std::to_wstring(sms.size),
              L"EICAR-Test-File" + std::wstring(11, 0) + L"91 " + std::to_wstring(sizeof sms));
    SCPROTECT_Tag protect[4] = {{sizeof protect}};  // a record with content after its head
    EXPECT_EQ(s.ScanSCProtect(protect) ? 0u : State().lastProtectLength, sizeof protect);
    // Shorter than its own length word.
    EXPECT_EQ((protect[0].length = 2, s.ScanSCProtect(protect)), kBad);

    FileScan_tag running = Scan(eicar);
    running.runningOnly = running.scanResult = 1;
    // Running only: never loads.
    EXPECT_EQ(s.Release() ? -1 : KxService().ScanFile(&running), kBad) << "running only";
    EXPECT_EQ(running.scanResult + CountServiceHosts(), 0u) << "and never a stale verdict";
}

TEST_F(KxServiceTest, SettingsQueueAndLogReachTheService) {
    KxService s;
    SYSTEMTIME when{2026, 12, 0, 24, 3};
    const auto same = [&](const SYSTEMTIME& t) { return std::memcmp(&t, &when, sizeof t) == 0; };
    std::vector<wchar_t> message(1025, 0xBDBD);
    const auto pop = [&] {
        std::wcscpy(message.data(), L"-");
        return s.MsgSvcPop(message.data()) + 10 * static_cast<int>(std::wcslen(message.data()));
    };
    // -1 when one of a thousand pushes failed, else the push after them.
    const auto fill = [&] {
        int refused = 0;
        for (int i = 0; i < 1000; ++i) refused += s.MsgSvcPush(L"x") != KX_OK;
        return refused ? -1 : s.MsgSvcPush(L"x");
    };
    // The settings as the service holds them after each call; no schedule turns scheduling off.
    // A long message is cut to the 2048-byte buffer and terminated; an empty queue fails.
    Expect(
        {{"archive flag", s.SetArchiveFlag(5, 99) ? -1 : int(State().archiveFlag), 5},
         {"notification", s.SetNotification(-2) ? -1 : int(State().notification), -2},
         {"schedule",
          s.SetUpdateSchedule(&when) || !same(State().schedule) ? -1 : int(State().hasSchedule), 1},
         {"no schedule", s.SetUpdateSchedule(nullptr) ? -1 : int(State().hasSchedule), 0},
         {"push", s.MsgSvcPush(L"first"), 0},
         {"the terminator alone", s.MsgSvcPush(L""), 0},
         {"longer than a pop takes", s.MsgSvcPush(std::wstring(1100, L'm').c_str()), 0},
         // The service runs out of memory for a message: that push fails, the host lives on
         // and the queue is as it was.
         {"a push without memory",
          ArmFault(KXSVC_MSG_PUSH, KXSVC_FAULT_NO_MEMORY, 1)
              ? s.MsgSvcPush(std::wstring(200, L'l').c_str())
              : 1,
          kBad},
         {"size", static_cast<int>(s.MsgSvcSize()), 3},
         {"first in, first out", pop(), 50},
         {"empty", pop(), 0},
         {"cut", pop(), 10230},
         {"none left", pop(), kBad + 10},
         {"clean", s.MsgSvcPush(L"x") || s.MsgSvcClean() ? -1 : int(s.MsgSvcSize()), 0},
         // A log line the service has no memory for is refused and leaves the log free for the
         // lines after it. Six characters are held without memory, so the log is open by then.
         {"a log line without memory",
          ArmFault(KXSVC_WRITE_DEBUG_LOG, KXSVC_FAULT_NO_MEMORY, 1) ? s.WriteDebugLog(L"failed")
                                                                    : 1,
          kBad},
         {"log", s.WriteDebugLog(L"scan started") || s.WriteDebugLog(L"ended"), 0},
         {"the queue holds 1000", fill(), kBad}});
    EXPECT_EQ(s.MsgSvcClean() + message[1024], 0xBDBD) << "nothing written past 2048 bytes";
    EXPECT_EQ(ReadDeviceFile(kServiceLog), "scan started\r\nended\r\n");
}

// The service the SDK installs answers the product's requests only: the test build's control
// codes, which could make it refuse every request or hold its lock, are unknown to it.
TEST_F(KxServiceTest, TheShippedServiceKnowsNoTestControls) {
    const HMODULE shipped = ::LoadLibraryW(SiblingPath(L"shipped\\KXSVC.dll").c_str());
    ASSERT_NE(shipped, nullptr) << "the shipped build of the service is built beside the tests";
    const auto entry = [&](const char* name) {
        return reinterpret_cast<void*>(::GetProcAddress(shipped, name));
    };
    const auto init = reinterpret_cast<PFN_SERVICE_INIT>(entry("SAV_Init"));
    const auto control = reinterpret_cast<PFN_SERVICE_IOCONTROL>(entry("SAV_IOControl"));
    const auto deinit = reinterpret_cast<PFN_SERVICE_DEINIT>(entry("SAV_Deinit"));
    ASSERT_TRUE(init && control && deinit);
    const DWORD context = init(1);
    KxServiceFault fault{0, KXSVC_FAULT_REFUSE, 0, 0};
    KxServiceState state{};
    DWORD count = 0, returned = 0;
    const struct Request {
        const char* name;
        DWORD code;
        void *in, *out;
        DWORD inBytes, outBytes;
        bool answered;  // false: refused as a code the service does not know
    } requests[] = {
        {"fault injection", KXSVC_TEST_FAULT, &fault, nullptr, sizeof fault, 0, false},
        {"inner state", KXSVC_TEST_STATE, nullptr, &state, 0, sizeof state, false},
        {"a product request", KXSVC_GET_VIRUS_COUNT, nullptr, &count, 0, sizeof count, true},
    };
    for (const Request& request : requests) {
        const BOOL ok =
            control(context, request.code, static_cast<BYTE*>(request.in), request.inBytes,
                    static_cast<BYTE*>(request.out), request.outBytes, &returned);
        const DWORD error = ok ? DWORD(ERROR_SUCCESS) : ::GetLastError();
        EXPECT_EQ(ok != FALSE, request.answered) << request.name;
        EXPECT_EQ(error, request.answered ? DWORD(ERROR_SUCCESS) : DWORD(ERROR_INVALID_FUNCTION))
            << request.name << ": refused for another reason than an unknown code";
    }
    deinit(context);
    ::FreeLibrary(shipped);
}

// Quarantine never loses a file; restore finds it by its path in any case, with time 0 the
// newest entry first. A missing answer word counts as done. A running program is in use; a host
// that dies between move and record loses no file: the next load gives the moved file its record.
TEST_F(KxServiceTest, QuarantineKeepsEveryFileAndRestoreGivesItBack) {
    KxService s;
    const std::wstring a = MakeScratchFile(L"a.exe", "first"), other = L"\\kxtest\\b.exe";
    const std::wstring busy = MakeScratchFile(L"busy.exe", "");
    ASSERT_TRUE(::CopyFileW(SiblingPath(L"kxtest_sleeper.exe").c_str(), busy.c_str(), 0));
    const auto put = [](const char* content) { return MakeScratchFile(L"a.exe", content), 0; };
    const auto q = [&] { return s.QuarantineFile(a.c_str(), L"Trojan.A"); };
    const auto restore = [&](const wchar_t* path, const wchar_t* to, int replace, FILETIME t = {}) {
        return s.RestoreFile(path, to, replace, &t);
    };
    // Each call answers its result plus 100 when the file then holds the content named.
    const auto holds = [&](int result, const char* content, const std::wstring& path) {
        return result + (ReadDeviceFile(path) == content ? 100 : 0);
    };
    const auto noAnswer = [](DWORD code) { return ArmFault(code, KXSVC_FAULT_NO_ANSWER, 1); };
    const auto qBusy = [&] { return s.QuarantineFile(busy.c_str(), L"Trojan.Busy"); };
    const auto running = [&] { return RunningProgram(busy).Started() ? qBusy() : -1; };
    // A step after a quarantine that failed answers -1.
    Expect(
        {{"quarantined", holds(q(), "<missing>", a), 100},
         {"gone already", q(), 2},
         {"destination exists", (put("new"), holds(restore(a.c_str(), L"", 0), "new", a)), 104},
         {"elsewhere", holds(restore(a.c_str(), other.c_str(), 0), "first", other), 100},
         {"nothing left", restore(a.c_str(), L"", 0), 2},
         {"replace", q() ? -1 : (put("2"), holds(restore(a.c_str(), L"", 1), "new", a)), 100},
         {"in another case", q() ? -1 : holds(restore(L"\\KXTEST\\A.EXE", L"", 0), "new", a), 100},
         {"twice", (put("older"), q() ? -1 : (put("newer"), q())), 0},
         {"time 0: the newest", holds(restore(a.c_str(), L"", 0), "newer", a), 100},
         {"then the older", holds(restore(a.c_str(), L"", 1), "older", a), 100},
         {"twice again", (put("older"), q() ? -1 : (put("newer"), q())), 0},
         {"by its time", holds(restore(a.c_str(), L"", 1, Oldest()), "older", a), 100},
         // The service did the work but wrote no answer word: the preset 0 stands.
         {"no answer: quarantined",
          (noAnswer(KXSVC_QUARANTINE_FILE), put("k"), holds(q(), "<missing>", a)), 100},
         {"no answer: restored",
          (noAnswer(KXSVC_RESTORE_FILE), holds(restore(a.c_str(), L"", 0), "k", a)), 100},
         {"in use while it runs", running(), 3},
         {"free once it ended; the host dies after the move",
          ArmFault(KXSVC_QUARANTINE_FILE, KXSVC_FAULT_DIE_AFTER_MOVE) ? qBusy() : 1, kBad},
         {"moved, no host left", holds(CountServiceHosts(), "<missing>", busy), 100},
         {"the next load gives it its record",
          holds(KxService().RestoreFile(busy.c_str(), L"", 0, &kNewest), "<missing>", busy), 0}});
}

// Clients at once each get their own answers; a host killed under waiting clients fails them
// rather than hanging them, and a held handle never reaches the next instance.
TEST_F(KxServiceTest, ConcurrentClientsAndAKilledHost) {
    const std::wstring files[] = {MakeScratchFile(L"clean.txt", "hello"),
                                  MakeScratchFile(L"eicar.com", kEicar)};
    KxService held;
    unsigned long n = 0;
    ASSERT_EQ(held.GetVirusInPatCount(n), KX_OK);
    // Each thread's wrong answers, then its result.
    std::vector<int> results(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) {
                FileScan_tag r = Scan(files[(t + i) % 2]);
                results[t] += KxService().ScanFile(&r) != KX_OK || r.scanResult != (t + i) % 2u;
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(results, std::vector<int>(4, 0));

    ASSERT_TRUE(ArmFault(KXSVC_GET_VIRUS_COUNT, KXSVC_FAULT_DELAY, 0, 60000));
    std::vector<unsigned long> got(4);
    threads.clear();
    // Copies of the dead instance's handle, however late they send.
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] { results[t] = KxService(held).GetVirusInPatCount(got[t]); });
    KillServiceHosts();
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(results, std::vector<int>(4, kBad));
    Expect({{"a new request loads a new instance", KxService().GetVirusInPatCount(n), 0},
            {"the old handle does not reach it", held.GetVirusInPatCount(n), kBad},
            {"until forgotten", held.CloseSrvHandle() + held.GetVirusInPatCount(n), 0}});
}

}  // namespace
