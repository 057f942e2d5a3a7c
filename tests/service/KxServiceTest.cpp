// KxService against the running reference scan service: the handle's life, every operation's
// records and answers, the quarantine store's promises, and the failure codes when the service
// is absent or misbehaves.
#include "ServiceFixture.h"

#include <kxcommon/KxService.h>

#include "../../components/KXSVC/ServiceTestHooks.h"

#include <cstdlib>
#include <cwctype>
#include <functional>
#include <thread>

namespace {

using kxtest::ArmFault;
using kxtest::CountServiceHosts;
using kxtest::MakeScratchFile;
using kxtest::ReadDeviceFile;
using Calls = std::vector<std::pair<const char*, std::function<int()>>>;

class KxServiceTest : public kxtest::ServiceTest {};

constexpr int kBad = KX_E_SERVICE_REQUEST, kArg = KX_E_INVALIDARG;
const FILETIME kNewest{0, 0};

FileScan_tag Scan(const std::wstring& path) {
    FileScan_tag record;
    std::memset(&record, 0, sizeof record);
    record.size = sizeof record;
    std::wcsncpy(record.path, path.c_str(), 259);
    return record;
}

kxtest::ServiceSnapshot State() {
    kxtest::ServiceSnapshot state{};
    EXPECT_TRUE(kxtest::ReadServiceState(&state));
    return state;
}

// The time of the oldest record in the quarantine store (the lowest id left), as its record
// file holds it.
FILETIME Oldest() {
    std::string rec = "<missing>";
    for (int id = 1; rec == "<missing>" && id < 20; ++id)
        rec = ReadDeviceFile(L"\\KxSvc\\Quarantine\\" + std::to_wstring(id) + L".rec");
    const size_t at = rec.find("time=");
    const unsigned long long t =
        at == std::string::npos ? 0 : std::strtoull(rec.c_str() + at + 5, nullptr, 16);
    return {static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
}

// Runs the calls in order: each answers its expected value.
void Expect(const Calls& calls, const std::vector<int>& expected) {
    for (size_t i = 0; i < calls.size(); ++i)
        EXPECT_EQ(calls[i].second(), expected[i]) << calls[i].first;
}

TEST_F(KxServiceTest, LoadedOnceOnTheFirstRequestAndUnloadedOnlyByRelease) {
    KxService a, b;
    unsigned long n = 0;
    // Each call answers its result plus 100 times the hosts running after it.
    const auto hosts = [](int result) { return result + 100 * CountServiceHosts(); };
    Expect({{"GetHandle never loads", [&] { return hosts(a.GetHandle() != INVALID_HANDLE_VALUE); }},
            {"Release, nothing running", [&] { return hosts(KxService().Release()); }},
            {"a request loads it", [&] { return hosts(a.GetVirusInPatCount(n)); }},
            {"one instance for all", [&] { return hosts(b.GetHandle() != a.GetHandle()); }},
            {"a gone client leaves it", [&] { return hosts(KxService().GetVirusInPatCount(n)); }},
            {"forgetting unloads nothing", [&] { return hosts(a.CloseSrvHandle()); }},
            {"looked up again", [&] { return hosts(a.GetVirusInPatCount(n)); }},
            {"Release looks it up and unloads", [&] { return hosts(KxService().Release()); }}},
           {0, 0, 100, 100, 100, 100, 100, 0});
}

// Start and Stop pass the service's answer through; a refused request or an answer of the
// wrong length fails and leaves the caller's output.
TEST_F(KxServiceTest, AnswersPassThroughAndWrongOnesFail) {
    KxService s;
    const std::wstring eicar = MakeScratchFile(L"eicar.com", kxtest::kEicar);
    const auto scan = [&] {
        FileScan_tag r = Scan(eicar);
        r.resultWord = 0x1234;
        const int status = s.ScanFile(&r);
        return r.scanResult == 0 && r.resultWord == 0x1234 && r.virusName[0] == 0 ? status : -1;
    };
    const auto count = [&] {
        unsigned long c = 77;
        const int status = s.GetVirusInPatCount(c);
        return c == 77 ? status : -1;
    };
    Expect({{"already started", [&] { return s.Start(); }},
            {"stop", [&] { return s.Stop(); }},
            {"already stopped", [&] { return s.Stop(); }},
            {"a stopped service scans nothing", scan},
            {"start", [&] { return s.Start(); }}},
           {1, 0, 1, kBad, 0});
    ZRAPIVersion_tag version;
    const struct Row {
        DWORD code, fault;
        std::function<int()> call;
    } rows[] = {
        // One request path checks every answer: each kind of wrong answer once.
        {KXSVC_START, KXSVC_FAULT_SHORT_ANSWER, [&] { return s.Start(); }},
        {KXSVC_STOP, KXSVC_FAULT_LONG_ANSWER, [&] { return s.Stop(); }},
        {KXSVC_SCAN_FILE, KXSVC_FAULT_REFUSE, scan},
        {KXSVC_GET_VIRUS_COUNT, KXSVC_FAULT_LONG_ANSWER, count},
        {KXSVC_GET_ZRAPI_VERSION, KXSVC_FAULT_SHORT_ANSWER,
         [&] { return s.GetZRAPIVersion(&version); }},
        {KXSVC_MSG_SIZE, KXSVC_FAULT_REFUSE, [&] { return static_cast<int>(s.MsgSvcSize()); }},
    };
    for (const Row& row : rows) {
        ASSERT_TRUE(ArmFault(row.code, row.fault, 1));
        EXPECT_EQ(row.call(), row.code == KXSVC_MSG_SIZE ? -1 : kBad)
            << row.code << " " << row.fault;
    }
    FileScan_tag partial = Scan(eicar);
    partial.size = 100;  // the size word says what is sent; the service takes whole records only
    EXPECT_EQ(s.ScanFile(&partial), kBad);
}

TEST_F(KxServiceTest, ScansAnswerTheirVerdicts) {
    kxtest::WritePattern("md5 900150983CD24FB0D6963F7D28E17F72 Trojan.Abc\n");  // any case
    const struct Row {
        std::wstring path;
        std::wstring expected;  // verdict, virus, result word
    } rows[] = {
        {MakeScratchFile(L"clean.txt", "hello"), L"0  0"},
        {MakeScratchFile(L"eicar.com", kxtest::kEicar), L"1 EICAR-Test-File 0"},
        {MakeScratchFile(L"e128.com", kxtest::kEicar + std::string(60, ' ')),
         L"1 EICAR-Test-File 0"},
        {MakeScratchFile(L"abc.bin", "abc"), L"1 Trojan.Abc 0"},  // by digest (RFC 1321 "abc")
        {L"\\kxtest\\absent.txt", L"0  2"},
    };
    KxService s;
    for (const Row& row : rows) {
        FileScan_tag r = Scan(row.path);
        r.scanResult = 9;
        ASSERT_EQ(s.ScanFile(&r), KX_OK);
        EXPECT_EQ(std::to_wstring(r.scanResult) + L" " + r.virusName + L" " +
                      std::to_wstring(r.resultWord) + L" " + r.path + std::to_wstring(r.size),
                  row.expected + L" " + row.path + std::to_wstring(sizeof r));
    }
    EXPECT_EQ(State().mgiEvents, 3u) << "detections count for the management server";
    kxtest::WritePattern("version 2\n");  // a changed pattern file is read again
    FileScan_tag again = Scan(rows[3].path);
    ASSERT_EQ(s.ScanFile(&again), KX_OK);
    EXPECT_EQ(again.scanResult, 0u);
    EXPECT_EQ(s.MgiClean(), KX_OK);
    EXPECT_EQ(State().mgiEvents, 0u);

    SMSScan_tag sms;
    std::memset(&sms, 0, sizeof sms);
    const std::wstring infected = L"see " + std::wstring(kxtest::kEicar, kxtest::kEicar + 68);
    std::wcscpy(reinterpret_cast<wchar_t*>(sms.message), infected.c_str());
    sms.message[999] = 0x5A;
    std::wcscpy(sms.answer, L"stale answer that is long");
    ASSERT_EQ(s.ScanSMS(&sms), KX_OK);
    // The rest of the answer field is zero; the message part is left as it was.
    EXPECT_EQ(std::wstring(sms.answer, 26) + std::to_wstring(sms.scanResult + sms.message[999]),
              L"EICAR-Test-File" + std::wstring(11, 0) + L"91");
    EXPECT_EQ(sms.size, sizeof sms);

    FileScan_tag running = Scan(rows[1].path);
    running.runningOnly = running.scanResult = 1;
    EXPECT_EQ(s.Release(), 0);
    EXPECT_EQ(KxService().ScanFile(&running), kBad) << "running only: never loads";
    EXPECT_EQ(running.scanResult + CountServiceHosts(), 0u) << "and never a stale verdict";
}

TEST_F(KxServiceTest, PatternVersionsVirusListAndProtectRecords) {
    kxtest::WritePattern(
        "version 312345\nengine 2.1.7\nmd5 900150983cd24fb0d6963f7d28e17f72 Trojan.Abc\n"
        "md5 d41d8cd98f00b204e9800998ecf8427e A.Very.Long.Virus.Name.Indeed\n");
    KxService s;
    ZRAPIVersion_tag version;
    ASSERT_EQ(s.GetZRAPIVersion(&version), KX_OK);
    EXPECT_EQ(version.engineVersion + std::to_wstring(version.patternVersion), L"2.1.7312345");
    unsigned long count = 0;
    ASSERT_EQ(s.GetVirusInPatCount(count), KX_OK);
    std::wstring names;
    for (unsigned long i = 0; i <= count; ++i) {
        VirusInfo_tag virus{};
        const int status = s.GetVirusInPat(i, &virus);
        names += std::to_wstring(status) + L":" + std::to_wstring(virus.index) + virus.name + L";";
    }
    // Names cut to 19 characters; the index goes unchecked to the service.
    EXPECT_EQ(names, L"0:0EICAR-Test-File;0:1Trojan.Abc;0:2A.Very.Long.Virus.N;" +
                         std::to_wstring(kBad) + L":0;");
    SCPROTECT_Tag protect[4] = {{sizeof protect}};  // a record with content after its head
    EXPECT_EQ(s.ScanSCProtect(protect), KX_OK);
    EXPECT_EQ(State().lastProtectLength, sizeof protect);
    protect[0].length = 2;  // shorter than its own length word
    EXPECT_EQ(s.ScanSCProtect(protect), kBad);
}

TEST_F(KxServiceTest, SettingsQueueAndLogReachTheService) {
    KxService s;
    SYSTEMTIME when{2026, 12, 0, 24, 3};
    ASSERT_EQ(s.SetArchiveFlag(5, 99) + s.SetNotification(-2) + s.SetUpdateSchedule(&when), 0);
    kxtest::ServiceSnapshot state = State();
    EXPECT_EQ(std::to_string(state.archiveFlag) + " " + std::to_string(state.notification) + " " +
                  std::to_string(state.hasSchedule),
              "5 4294967294 1");
    EXPECT_EQ(std::memcmp(&state.schedule, &when, sizeof when), 0);
    EXPECT_EQ(s.SetUpdateSchedule(nullptr), KX_OK);
    EXPECT_EQ(State().hasSchedule, 0u) << "no input: scheduling off";

    wchar_t message[1025];
    message[1024] = 0xBDBD;
    const auto pop = [&] {
        std::wcscpy(message, L"-");
        return s.MsgSvcPop(message) + 10 * static_cast<int>(std::wcslen(message));
    };
    // The long one is cut to the 2048-byte buffer and terminated; an empty queue fails.
    Expect({{"push", [&] { return s.MsgSvcPush(L"first"); }},
            {"the terminator alone", [&] { return s.MsgSvcPush(L""); }},
            {"longer than a pop takes",
             [&] { return s.MsgSvcPush(std::wstring(1100, L'm').c_str()); }},
            {"size", [&] { return static_cast<int>(s.MsgSvcSize()); }},
            {"first in, first out", pop},
            {"empty", pop},
            {"cut", pop},
            {"none left", pop},
            {"clean",
             [&] { return s.MsgSvcPush(L"x") || s.MsgSvcClean() ? -1 : int(s.MsgSvcSize()); }},
            {"log", [&] { return s.WriteDebugLog(L"scan started") || s.WriteDebugLog(L"ended"); }},
            {"the queue holds 1000",
             [&] {
                 int refused = 0;
                 for (int i = 0; i < 1000; ++i) refused += s.MsgSvcPush(L"x") != KX_OK;
                 return refused ? -1 : s.MsgSvcPush(L"x");
             }}},
           {0, 0, 0, 3, 50, 0, 10230, kBad + 10, 0, 0, kBad});
    EXPECT_EQ(s.MsgSvcClean() + message[1024], 0xBDBD) << "nothing written past 2048 bytes";
    EXPECT_EQ(ReadDeviceFile(kxtest::kServiceLog), "scan started\r\nended\r\n");
}

// Null and oversized arguments; a path of the field's 260 characters still leaves its NUL.
TEST_F(KxServiceTest, ArgumentsAreCheckedBeforeSending) {
    KxService s;
    const std::wstring v = MakeScratchFile(L"v.bin", "x"), v21(21, L'v');
    const std::wstring p260 = L"\\" + std::wstring(259, L'p'), p261 = p260 + L"p";
    const wchar_t *f = v.c_str(), *q = p260.c_str(), *r = p261.c_str();
    SMSScan_tag* noSms = nullptr;
    Expect(
        {{"virus name of 21", [&] { return s.QuarantineFile(f, v21.c_str()); }},
         {"path of 261", [&] { return s.QuarantineFile(r, L"V"); }},
         {"path of 260 is sent", [&] { return s.QuarantineFile(q, L"V"); }},
         {"no path", [&] { return s.QuarantineFile(nullptr, L"V"); }},
         {"restore, path of 261", [&] { return s.RestoreFile(r, L"", 0, &kNewest); }},
         {"restore, destination of 261", [&] { return s.RestoreFile(f, r, 0, &kNewest); }},
         {"restore, destination of 260", [&] { return s.RestoreFile(q, q, 0, &kNewest); }},
         {"restore, no time", [&] { return s.RestoreFile(f, L"", 0, nullptr); }},
         {"virus name of 20, v.bin still there",
          [&] { return s.QuarantineFile(f, v21.c_str() + 1); }},
         {"no records", [&] { return s.ScanSMS(noSms) + s.ScanFile(nullptr) - kArg; }},
         {"no other record",
          [&] { return s.ScanSCProtect(nullptr) + s.GetZRAPIVersion(nullptr) - kArg; }},
         {"no virus record", [&] { return s.GetVirusInPat(0, nullptr); }},
         {"no message", [&] { return s.MsgSvcPush(nullptr) + s.MsgSvcPop(nullptr) - kArg; }},
         {"no log line", [&] { return s.WriteDebugLog(L"") + s.WriteDebugLog(nullptr) - kArg; }}},
        {kArg, kArg, 2, kArg, kArg, kArg, 2, kArg, 0, kArg, kArg, kArg, kArg, kArg});
}

// Quarantine never loses a file; restore finds it by its path in any case, with time 0 the
// newest entry first. A missing answer word counts as done.
TEST_F(KxServiceTest, QuarantineKeepsEveryFileAndRestoreGivesItBack) {
    KxService s;
    const std::wstring a = MakeScratchFile(L"a.exe", "first"), other = L"\\kxtest\\b.exe";
    std::wstring upper = a;
    for (wchar_t& c : upper) c = std::towupper(c);
    const auto put = [](const char* content) { return MakeScratchFile(L"a.exe", content), 0; };
    const auto q = [&] { return s.QuarantineFile(a.c_str(), L"Trojan.A"); };
    const auto restore = [&](const std::wstring& path, const wchar_t* to, int replace) {
        return s.RestoreFile(path.c_str(), to, replace, &kNewest);
    };
    // Each call answers its result plus 100 when the file then holds the content named.
    const auto holds = [&](int result, const char* content, const std::wstring& path) {
        return result + (ReadDeviceFile(path) == content ? 100 : 0);
    };
    const auto restoreAt = [&](const std::wstring& path, FILETIME time) {
        return s.RestoreFile(path.c_str(), L"", 1, &time);
    };
    const auto noAnswer = [](DWORD code) { return ArmFault(code, KXSVC_FAULT_NO_ANSWER, 1); };
    // A step after a quarantine that failed answers -1.
    Expect({{"quarantined", [&] { return holds(q(), "<missing>", a); }},
            {"gone already", [&] { return q(); }},
            {"destination exists", [&] { return put("new"), holds(restore(a, L"", 0), "new", a); }},
            {"elsewhere", [&] { return holds(restore(a, other.c_str(), 0), "first", other); }},
            {"nothing left", [&] { return restore(a, L"", 0); }},
            {"replace", [&] { return q() ? -1 : (put("2"), holds(restore(a, L"", 1), "new", a)); }},
            {"in another case", [&] { return q() ? -1 : holds(restore(upper, L"", 0), "new", a); }},
            {"twice", [&] { return put("older"), q() ? -1 : (put("newer"), q()); }},
            {"time 0: the newest", [&] { return holds(restore(a, L"", 0), "newer", a); }},
            {"then the older", [&] { return holds(restore(a, L"", 1), "older", a); }},
            {"twice again", [&] { return put("older"), q() ? -1 : (put("newer"), q()); }},
            {"by its time", [&] { return holds(restoreAt(a, Oldest()), "older", a); }},
            // The service did the work but wrote no answer word: the preset 0 stands.
            {"no answer: quarantined",
             [&] { return noAnswer(KXSVC_QUARANTINE_FILE), put("k"), holds(q(), "<missing>", a); }},
            {"no answer: restored",
             [&] { return noAnswer(KXSVC_RESTORE_FILE), holds(restore(a, L"", 0), "k", a); }}},
           {100, 2, 104, 100, 2, 100, 100, 0, 100, 100, 0, 100, 100, 100});
}

// A running program is in use; a host that dies between move and record loses no file: the
// next load gives the moved file its record.
TEST_F(KxServiceTest, ARunningProgramIsInUseAndAHostDeathLosesNoFile) {
    const std::wstring busy = MakeScratchFile(L"busy.exe", "");
    ASSERT_TRUE(::CopyFileW(kxtest::SiblingPath(L"kxtest_sleeper.exe").c_str(), busy.c_str(), 0));
    KxService s;
    {
        kxtest::RunningProgram running(busy);
        ASSERT_TRUE(running.Started());
        EXPECT_EQ(s.QuarantineFile(busy.c_str(), L"Trojan.Busy"), 3);
    }
    ASSERT_TRUE(ArmFault(KXSVC_QUARANTINE_FILE, KXSVC_FAULT_DIE_AFTER_MOVE));
    EXPECT_EQ(s.QuarantineFile(busy.c_str(), L"Trojan.Busy"), kBad) << "free once it ended";
    EXPECT_EQ(CountServiceHosts() * 10 + (ReadDeviceFile(busy) == "<missing>"), 1);
    EXPECT_EQ(KxService().RestoreFile(busy.c_str(), L"", 0, &kNewest), 0);
    EXPECT_NE(ReadDeviceFile(busy), "<missing>");
}

// Clients at once each get their own answers; a host killed under waiting clients fails them
// rather than hanging them, and a held handle never reaches the next instance.
TEST_F(KxServiceTest, ConcurrentClientsAndAKilledHost) {
    const std::wstring files[] = {MakeScratchFile(L"clean.txt", "hello"),
                                  MakeScratchFile(L"eicar.com", kxtest::kEicar)};
    KxService held;
    unsigned long n = 0;
    ASSERT_EQ(held.GetVirusInPatCount(n), KX_OK);
    std::vector<int> wrong(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) {
                FileScan_tag r = Scan(files[(t + i) % 2]);
                wrong[t] += KxService().ScanFile(&r) != KX_OK || r.scanResult != (t + i) % 2u;
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(wrong, std::vector<int>(4, 0));

    ASSERT_TRUE(ArmFault(KXSVC_GET_VIRUS_COUNT, KXSVC_FAULT_DELAY, 0, 60000));
    std::vector<int> results(3, -1);
    threads.clear();
    for (int& result : results)
        threads.emplace_back([&held, &result] {
            KxService copy = held;  // the dead instance's handle, however late it sends
            unsigned long c = 0;
            result = copy.GetVirusInPatCount(c);
        });
    kxtest::KillServiceHosts();
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(results, std::vector<int>(3, kBad));
    Expect(
        {{"a new request loads a new instance", [&] { return KxService().GetVirusInPatCount(n); }},
         {"the old handle does not reach it", [&] { return held.GetVirusInPatCount(n); }},
         {"until forgotten", [&] { return held.CloseSrvHandle() + held.GetVirusInPatCount(n); }}},
        {0, kBad, 0});
}

TEST_F(KxServiceTest, EveryOperationReportsAServiceThatCannotBeLoaded) {
    kxtest::BlockServiceLoading blocked;
    KxService s;
    FileScan_tag scan = Scan(L"\\kxtest\\x");
    EXPECT_EQ(s.ScanFile(&scan), kBad) << "ScanFile has no 0x70000";
    SMSScan_tag sms{};
    unsigned long count = 5;
    // Each operation loads the service its own way; these stand for the rest. The count is left
    // untouched, the size word written.
    EXPECT_EQ(
        std::vector<int>({s.ScanSMS(&sms), s.GetVirusInPatCount(count), int(s.MsgSvcSize()),
                          s.QuarantineFile(L"\\x", L"V"), int(count), int(sms.size)}),
        std::vector<int>({KX_E_SERVICE_NOT_FOUND, KX_E_SERVICE_NOT_FOUND, KX_E_SERVICE_NOT_FOUND,
                          KX_E_SERVICE_NOT_FOUND, 5, int(sizeof sms)}));
    EXPECT_EQ(CountServiceHosts(), 0);
}

}  // namespace
