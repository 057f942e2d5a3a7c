// KxService against the running reference scan service: which calls load it, every operation's
// records and answers, the quarantine store's promises, and the failure codes when the service
// is absent or misbehaves.
#include "ServiceFixture.h"

#include <kxcommon/KxService.h>

#include <cstdlib>
#include <optional>
#include <thread>

namespace {

using namespace kxtest;

class KxServiceTest : public ServiceTest {};

constexpr int kNotFound = KX_E_SERVICE_NOT_FOUND, kRequestFailed = KX_E_SERVICE_REQUEST;
constexpr int kBadArgument = KX_E_INVALIDARG;
const FILETIME kNewest{0, 0};  // restore's time for the newest entry of a path
const std::wstring kPath260 = L"\\" + std::wstring(259, L'p'), kPath261 = kPath260 + L"p";
const std::wstring kVirusName20(20, L'v'), kVirusName21(21, L'v');
const wchar_t kQuarantined[] = L"\\kxtest\\a.exe";
const char kGone[] = "<missing>";  // what ReadDeviceFile reads of a file that is not there

// A status as failure messages show it.
std::string Hex(int status) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(status));
    return text;
}

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

// The rule of loading: a call answers `status` and leaves `hosts` service hosts running.
::testing::AssertionResult Leaves(const char* name, int status, int hosts, int expectedStatus,
                                  int expectedHosts) {
    if (status == expectedStatus && hosts == expectedHosts) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << name << ": answered " << Hex(status) << " and left "
                                         << hosts << " service hosts running, expected "
                                         << Hex(expectedStatus) << " and " << expectedHosts;
}

int CountViruses(KxService& client) {
    unsigned long count = 0;
    return client.GetVirusInPatCount(count);
}
int FindOnly(KxService& client) {
    client.GetHandle();
    return KX_OK;
}
int Release(KxService& client) { return client.Release(); }
int Forget(KxService& client) { return client.CloseSrvHandle(); }
int CountMessages(KxService& client) { return static_cast<int>(client.MsgSvcSize()); }
int ScanAbsentFile(KxService& client) {
    FileScan_tag record = Scan(L"\\kxtest\\absent.txt");
    return client.ScanFile(&record);
}
int ScanRunningOnly(KxService& client) {
    FileScan_tag record = Scan(L"\\kxtest\\absent.txt");
    record.runningOnly = 1;
    return client.ScanFile(&record);
}

// What a row starts from on a clean device: nothing running, the service loaded by a client
// gone since, loaded by the row's client, or impossible to load.
enum class Start { Clean, Loaded, Held, Blocked };
struct LoadingRow {
    const char* name;
    Start start = Start::Clean;
    int (*call)(KxService& client);
    int status = KX_OK;
    int hosts = 0;  // service hosts running after the call
};

// The service is loaded by the first request that needs it and unloaded only by Release.
TEST_F(KxServiceTest, LoadedOnTheFirstRequestAndUnloadedOnlyByRelease) {
    const LoadingRow rows[] = {
        {.name = "GetHandle never loads it", .call = FindOnly},
        {.name = "Release with nothing running", .call = Release},
        {.name = "the first request loads it", .call = CountViruses, .hosts = 1},
        {.name = "a gone client leaves it loaded",
         .start = Start::Loaded,
         .call = FindOnly,
         .hosts = 1},
        {.name = "a request uses it", .start = Start::Loaded, .call = CountViruses, .hosts = 1},
        {.name = "forgetting it unloads nothing", .start = Start::Held, .call = Forget, .hosts = 1},
        {.name = "Release unloads it", .start = Start::Loaded, .call = Release},
        {.name = "cannot load: a request",
         .start = Start::Blocked,
         .call = CountViruses,
         .status = kNotFound},
        {.name = "cannot load: MsgSvcSize",
         .start = Start::Blocked,
         .call = CountMessages,
         .status = kNotFound},
        {.name = "cannot load: a scan",
         .start = Start::Blocked,
         .call = ScanAbsentFile,
         .status = kRequestFailed},
        {.name = "a running-only scan", .call = ScanRunningOnly, .status = kRequestFailed},
    };
    for (const LoadingRow& row : rows) {
        ResetDevice();
        KxService client;
        if (row.start == Start::Loaded) ASSERT_EQ(KxService().Start(), 1) << row.name;
        if (row.start == Start::Held) ASSERT_EQ(client.Start(), 1) << row.name;
        std::optional<BlockServiceLoading> blocked;
        if (row.start == Start::Blocked) blocked.emplace();
        const int status = row.call(client);
        EXPECT_TRUE(Leaves(row.name, status, CountServiceHosts(), row.status, row.hosts));
    }
}

// A bad argument is answered before the service is looked up or loaded; a path of the field's
// 260 characters (it still leaves its NUL) and a virus name of 20 are sent: the service answers
// 2, no such file. Every row starts on a clean device.
struct ArgumentRow {
    const char* name;
    int (*call)();
    int status = kBadArgument;
    int hosts = 0;  // service hosts running after the call
};
int QuarantineName20() { return KxService().QuarantineFile(kQuarantined, kVirusName20.c_str()); }
int QuarantinePath260() { return KxService().QuarantineFile(kPath260.c_str(), L"V"); }
int RestoreTo260() { return KxService().RestoreFile(L"\\a", kPath260.c_str(), 0, &kNewest); }

TEST_F(KxServiceTest, BadArgumentsAreAnsweredWithoutLoadingTheService) {
    const ArgumentRow rows[] = {
        {.name = "ScanFile without a record", .call = [] { return KxService().ScanFile(nullptr); }},
        {.name = "ScanSMS without a record", .call = [] { return KxService().ScanSMS(nullptr); }},
        {.name = "ScanSCProtect, no record",
         .call = [] { return KxService().ScanSCProtect(nullptr); }},
        {.name = "GetZRAPIVersion, no record",
         .call = [] { return KxService().GetZRAPIVersion(nullptr); }},
        {.name = "GetVirusInPat, no record",
         .call = [] { return KxService().GetVirusInPat(0, nullptr); }},
        {.name = "WriteDebugLog, no line",
         .call = [] { return KxService().WriteDebugLog(nullptr); }},
        {.name = "WriteDebugLog, empty line",
         .call = [] { return KxService().WriteDebugLog(L""); }},
        {.name = "MsgSvcPush without a text",
         .call = [] { return KxService().MsgSvcPush(nullptr); }},
        {.name = "MsgSvcPop without a buffer",
         .call = [] { return KxService().MsgSvcPop(nullptr); }},
        {.name = "QuarantineFile, no path",
         .call = [] { return KxService().QuarantineFile(nullptr, L"V"); }},
        {.name = "QuarantineFile, path of 261",
         .call = [] { return KxService().QuarantineFile(kPath261.c_str(), L"V"); }},
        {.name = "QuarantineFile, virus name of 21",
         .call = [] { return KxService().QuarantineFile(kQuarantined, kVirusName21.c_str()); }},
        {.name = "RestoreFile, path of 261",
         .call = [] { return KxService().RestoreFile(kPath261.c_str(), L"", 0, &kNewest); }},
        {.name = "RestoreFile, destination of 261",
         .call = [] { return KxService().RestoreFile(L"\\a", kPath261.c_str(), 0, &kNewest); }},
        {.name = "RestoreFile, no time",
         .call = [] { return KxService().RestoreFile(L"\\a", L"", 0, nullptr); }},
        {.name = "virus name of 20 sent", .call = QuarantineName20, .status = 2, .hosts = 1},
        {.name = "path of 260 sent", .call = QuarantinePath260, .status = 2, .hosts = 1},
        {.name = "destination of 260 sent", .call = RestoreTo260, .status = 2, .hosts = 1},
    };
    for (const ArgumentRow& row : rows) {
        ResetDevice();
        const int status = row.call();
        EXPECT_TRUE(Leaves(row.name, status, CountServiceHosts(), row.status, row.hosts));
    }
}

// The service's own word passes through Start and Stop; a refused request or an answer of the
// wrong length is a failed request that leaves the caller's output as it was (a scan's verdict
// is 0). Every row starts from a freshly loaded, running service.
struct Fault {
    DWORD code = 0;  // the request the service answers wrongly once; 0 for none
    DWORD mode = KXSVC_FAULT_NONE;
};
constexpr DWORD kRefuse = KXSVC_FAULT_REFUSE, kShortAnswer = KXSVC_FAULT_SHORT_ANSWER;
constexpr DWORD kLongAnswer = KXSVC_FAULT_LONG_ANSWER, kNoAnswer = KXSVC_FAULT_NO_ANSWER;
struct Outcome {
    int status;
    bool outputLeft = true;  // the caller's output as it was before the call
};
struct AnswerRow {
    const char* name;
    Fault fault;
    Outcome (*call)(KxService& client);
    int status = kRequestFailed;
};

::testing::AssertionResult Answers(const AnswerRow& row, const Outcome& got) {
    if (got.status == row.status && got.outputLeft) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << row.name << ": answered " << Hex(got.status)
           << (got.outputLeft ? "" : " and changed its output") << ", expected " << Hex(row.status);
}

// A scan of the test virus that fails: the record is left as it was but for its verdict.
Outcome ScanFailing(KxService& client, DWORD sizeWord) {
    FileScan_tag record = Scan(MakeScratchFile(L"eicar.com", kEicar));
    record.size = sizeWord;
    record.scanResult = KXSVC_VERDICT_INFECTED;
    record.resultWord = 0x1234;
    const int status = client.ScanFile(&record);
    return {status, record.scanResult == KXSVC_VERDICT_CLEAN && record.resultWord == 0x1234 &&
                        record.virusName[0] == 0 && record.size == sizeWord};
}
Outcome ScanWhole(KxService& client) { return ScanFailing(client, sizeof(FileScan_tag)); }
Outcome ScanPart(KxService& client) { return ScanFailing(client, 100); }
Outcome ScanStopped(KxService& client) {
    client.Stop();
    return ScanWhole(client);
}
Outcome StartOnce(KxService& client) { return {client.Start()}; }
Outcome StopTwice(KxService& client) {
    client.Stop();
    return {client.Stop()};
}
Outcome CountInto77(KxService& client) {
    unsigned long count = 77;
    const int status = client.GetVirusInPatCount(count);
    return {status, count == 77};
}
Outcome SizeOfQueue(KxService& client) { return {static_cast<int>(client.MsgSvcSize())}; }

TEST_F(KxServiceTest, AnswersPassThroughAndWrongAnswersFail) {
    const AnswerRow rows[] = {
        {.name = "Start of a running service", .call = StartOnce, .status = 1},
        {.name = "Stop of a stopped service", .call = StopTwice, .status = 1},
        {.name = "a stopped service scans nothing", .call = ScanStopped},
        // The size word says what is sent; the service takes whole records only.
        {.name = "a scan of part of a record", .call = ScanPart},
        {.name = "a refused scan", .fault = {KXSVC_SCAN_FILE, kRefuse}, .call = ScanWhole},
        {.name = "Start, short answer", .fault = {KXSVC_START, kShortAnswer}, .call = StartOnce},
        {.name = "count, long answer",
         .fault = {KXSVC_GET_VIRUS_COUNT, kLongAnswer},
         .call = CountInto77},
        {.name = "a refused MsgSvcSize",
         .fault = {KXSVC_MSG_SIZE, kRefuse},
         .call = SizeOfQueue,
         .status = -1},
    };
    for (const AnswerRow& row : rows) {
        ResetDevice();
        KxService client;
        ASSERT_EQ(client.Start(), 1) << row.name << ": the service was not loaded and running";
        if (row.fault.code != 0)
            ASSERT_TRUE(ArmFault(row.fault.code, row.fault.mode, 1)) << row.name;
        EXPECT_TRUE(Answers(row, row.call(client)));
    }
}

// The pattern's versions and virus list; names are cut to 19 characters and the index goes
// unchecked to the service.
TEST_F(KxServiceTest, PatternVersionsAndVirusList) {
    WritePattern(
        "version 312345\nengine 2.1.7\nmd5 900150983CD24FB0D6963F7D28E17F72 Trojan.Abc\n"
        "md5 d41d8cd98f00b204e9800998ecf8427e A.Very.Long.Virus.Name.Indeed\n");
    KxService client;
    ZRAPIVersion_tag version{};
    ASSERT_EQ(client.GetZRAPIVersion(&version), KX_OK);
    EXPECT_EQ(std::wstring(version.engineVersion), L"2.1.7");
    EXPECT_EQ(version.patternVersion, 312345u);
    unsigned long count = 0;
    ASSERT_EQ(client.GetVirusInPatCount(count), KX_OK);
    EXPECT_EQ(count, 3u) << "the built-in test virus and the pattern's two";
    const std::wstring names[] = {L"EICAR-Test-File", L"Trojan.Abc", L"A.Very.Long.Virus.N"};
    for (unsigned long index = 0; index < 3; ++index) {
        VirusInfo_tag virus{};
        EXPECT_EQ(client.GetVirusInPat(index, &virus), KX_OK) << "virus " << index;
        EXPECT_EQ(virus.index, index);
        EXPECT_EQ(virus.name, names[index]) << "virus " << index;
    }
    VirusInfo_tag pastTheEnd{};
    EXPECT_EQ(client.GetVirusInPat(3, &pastTheEnd), KX_E_SERVICE_REQUEST) << "one past the last";
}

// Verdicts by the built-in test file (up to 128 bytes) and by the pattern's digests in any
// case; the service's answer replaces the record but for its path and size word.
struct ScanRow {
    const char* name;
    std::string content;  // of the file scanned
    bool fileExists = true;
    DWORD verdict = KXSVC_VERDICT_CLEAN;
    std::wstring virusName = L"";
    DWORD resultWord = 0;  // the service's own: 2 when it finds no file
};

::testing::AssertionResult Verdict(const ScanRow& row, int status, const FileScan_tag& record,
                                   const std::wstring& path) {
    if (status == KX_OK && record.scanResult == row.verdict && record.virusName == row.virusName &&
        record.resultWord == row.resultWord && record.path == path && record.size == sizeof record)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << row.name << ": ScanFile answered " << Hex(status) << ", verdict " << record.scanResult
           << ", word " << record.resultWord << ", path and size "
           << (record.path == path && record.size == sizeof record ? "kept" : "changed")
           << "; expected 0x0, verdict " << row.verdict << ", word " << row.resultWord;
}

TEST_F(KxServiceTest, ScansFindTheTestFileAndThePatternsDigests) {
    WritePattern("version 1\nmd5 900150983CD24FB0D6963F7D28E17F72 Trojan.Abc\n");
    const ScanRow rows[] = {
        {.name = "a clean file", .content = "hello"},
        {.name = "the test file",
         .content = kEicar,
         .verdict = KXSVC_VERDICT_INFECTED,
         .virusName = L"EICAR-Test-File"},
        {.name = "the test file padded to 128 bytes",
         .content = kEicar + std::string(60, ' '),
         .verdict = KXSVC_VERDICT_INFECTED,
         .virusName = L"EICAR-Test-File"},
        // The digest of "abc" (RFC 1321), written in upper case in the pattern.
        {.name = "a file of the pattern",
         .content = "abc",
         .verdict = KXSVC_VERDICT_INFECTED,
         .virusName = L"Trojan.Abc"},
        {.name = "no such file", .fileExists = false, .resultWord = 2},
    };
    KxService client;
    for (const ScanRow& row : rows) {
        const std::wstring path =
            row.fileExists ? MakeScratchFile(L"scanned.bin", row.content) : L"\\kxtest\\absent.bin";
        FileScan_tag record = Scan(path);
        record.scanResult = 9;
        const int status = client.ScanFile(&record);
        EXPECT_TRUE(Verdict(row, status, record, path));
    }
}

// Detections count for the management server until MgiClean; a changed pattern file is read
// again; a text message's verdict and answer come back; protect records go by their length word.
TEST_F(KxServiceTest, DetectionsPatternChangesMessagesAndProtectRecords) {
    WritePattern("version 1\nmd5 900150983CD24FB0D6963F7D28E17F72 Trojan.Abc\n");
    KxService client;
    FileScan_tag record = Scan(MakeScratchFile(L"abc.bin", "abc"));
    ASSERT_EQ(client.ScanFile(&record), KX_OK);
    EXPECT_EQ(State().mgiEvents, 1u) << "a detection counts for the management server";
    EXPECT_EQ(client.MgiClean(), KX_OK);
    EXPECT_EQ(State().mgiEvents, 0u) << "MgiClean left the detections";
    WritePattern("version 2\n");
    ASSERT_EQ(client.ScanFile(&record), KX_OK);
    EXPECT_EQ(record.scanResult, KXSVC_VERDICT_CLEAN) << "the changed pattern was not read again";

    SMSScan_tag sms{};
    const std::wstring infected = L"see " + std::wstring(kEicar, kEicar + 68);
    std::wcscpy(reinterpret_cast<wchar_t*>(sms.message), infected.c_str());
    sms.message[999] = 0x5A;
    std::wcscpy(sms.answer, L"stale answer that is long");
    ASSERT_EQ(client.ScanSMS(&sms), KX_OK);
    EXPECT_EQ(sms.scanResult, KXSVC_VERDICT_INFECTED);
    EXPECT_EQ(std::wstring(sms.answer, 26), L"EICAR-Test-File" + std::wstring(11, 0))
        << "the rest of the answer field is not zero";
    EXPECT_EQ(sms.message[999], 0x5A) << "the message part was changed";
    EXPECT_EQ(sms.size, sizeof sms);

    SCPROTECT_Tag protect[4] = {{sizeof protect}};  // a record with content after its head
    EXPECT_EQ(client.ScanSCProtect(protect), KX_OK);
    EXPECT_EQ(State().lastProtectLength, sizeof protect);
    protect[0].length = 2;
    EXPECT_EQ(client.ScanSCProtect(protect), KX_E_SERVICE_REQUEST) << "shorter than its head";
}

// The settings reach the service as sent; no schedule turns scheduling off.
TEST_F(KxServiceTest, SettingsReachTheService) {
    KxService client;
    ASSERT_EQ(client.SetArchiveFlag(5, 99), KX_OK);
    EXPECT_EQ(State().archiveFlag, 5u);
    ASSERT_EQ(client.SetNotification(-2), KX_OK);
    EXPECT_EQ(static_cast<int>(State().notification), -2);
    SYSTEMTIME when{2026, 12, 0, 24, 3};
    ASSERT_EQ(client.SetUpdateSchedule(&when), KX_OK);
    EXPECT_EQ(State().hasSchedule, 1u);
    const SYSTEMTIME held = State().schedule;
    EXPECT_EQ(std::memcmp(&held, &when, sizeof when), 0) << "another time arrived";
    ASSERT_EQ(client.SetUpdateSchedule(nullptr), KX_OK);
    EXPECT_EQ(State().hasSchedule, 0u) << "no schedule left scheduling on";
    // A log line the service has no memory for is refused and leaves the log free for the lines
    // after it. Six characters are held without memory, so the log is open by then.
    ASSERT_TRUE(ArmFault(KXSVC_WRITE_DEBUG_LOG, KXSVC_FAULT_NO_MEMORY, 1));
    EXPECT_EQ(client.WriteDebugLog(L"failed"), KX_E_SERVICE_REQUEST) << "a log line without memory";
    ASSERT_EQ(client.WriteDebugLog(L"scan started"), KX_OK);
    ASSERT_EQ(client.WriteDebugLog(L"ended"), KX_OK);
    EXPECT_EQ(ReadDeviceFile(kServiceLog), "scan started\r\nended\r\n");
}

// The message queue, first in first out: every row starts from an empty queue, pushes its texts
// and pops once into a buffer of 1025 units, "-" and then 0xBDBD. A pop takes 2048 bytes: a
// longer text is cut and terminated, and nothing is written past them.
struct QueueRow {
    const char* name;
    std::vector<std::wstring> pushed;
    int popStatus;
    std::wstring popped;  // the buffer's text after the pop
};

::testing::AssertionResult Pops(const QueueRow& row, int status,
                                const std::vector<wchar_t>& buffer) {
    if (status == row.popStatus && buffer.data() == row.popped && buffer[1024] == 0xBDBD)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << row.name << ": MsgSvcPop answered " << Hex(status) << " and left a text of "
           << std::wcslen(buffer.data()) << " characters"
           << (buffer[1024] == 0xBDBD ? "" : ", writing past 2048 bytes") << "; expected "
           << Hex(row.popStatus) << " and " << row.popped.size() << " characters";
}

TEST_F(KxServiceTest, MessagesQueueFirstInFirstOut) {
    const QueueRow rows[] = {
        {.name = "the oldest first",
         .pushed = {L"first", L"second"},
         .popStatus = KX_OK,
         .popped = L"first"},
        {.name = "the terminator alone", .pushed = {L""}, .popStatus = KX_OK, .popped = L""},
        {.name = "longer than a pop takes",
         .pushed = {std::wstring(1100, L'm')},
         .popStatus = KX_OK,
         .popped = std::wstring(1023, L'm')},
        {.name = "an empty queue", .pushed = {}, .popStatus = KX_E_SERVICE_REQUEST, .popped = L"-"},
    };
    KxService client;
    for (const QueueRow& row : rows) {
        ASSERT_EQ(client.MsgSvcClean(), KX_OK) << row.name;
        for (const std::wstring& text : row.pushed) ASSERT_EQ(client.MsgSvcPush(text.c_str()), 0);
        EXPECT_EQ(client.MsgSvcSize(), row.pushed.size()) << row.name;
        std::vector<wchar_t> buffer(1025, 0xBDBD);
        std::wcscpy(buffer.data(), L"-");
        const int status = client.MsgSvcPop(buffer.data());
        EXPECT_TRUE(Pops(row, status, buffer));
    }
    // The service runs out of memory for a message: that push fails and the queue is as it was.
    ASSERT_TRUE(ArmFault(KXSVC_MSG_PUSH, KXSVC_FAULT_NO_MEMORY, 1));
    EXPECT_EQ(client.MsgSvcPush(std::wstring(200, L'l').c_str()), KX_E_SERVICE_REQUEST);
    EXPECT_EQ(client.MsgSvcSize(), 0u) << "a push without memory queued its message";
    int refused = 0;
    for (int pushed = 0; pushed < 1000; ++pushed) refused += client.MsgSvcPush(L"x") != KX_OK;
    EXPECT_EQ(refused, 0) << "the queue holds 1000 messages";
    EXPECT_EQ(client.MsgSvcPush(L"x"), KX_E_SERVICE_REQUEST) << "the queue holds no more";
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
          ArmFault(KXSVC_QUARANTINE_FILE, KXSVC_FAULT_DIE_AFTER_MOVE) ? qBusy() : 1,
          kRequestFailed},
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
    EXPECT_EQ(results, std::vector<int>(4, kRequestFailed));
    Expect({{"a new request loads a new instance", KxService().GetVirusInPatCount(n), 0},
            {"the old handle does not reach it", held.GetVirusInPatCount(n), kRequestFailed},
            {"until forgotten", held.CloseSrvHandle() + held.GetVirusInPatCount(n), 0}});
}

}  // namespace
