// KxService against the running reference scan service: which calls load it, every operation's
// records and answers, the quarantine store's promises, and the failure codes when the service
// is absent or misbehaves.
#include "ServiceFixture.h"

#include <kxcommon/KxService.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>

namespace {

using namespace kxtest;

class KxServiceTest : public ServiceTest {};

const FILETIME kNewest{0, 0};  // restore's time for the newest entry of a path
const std::wstring kPath260 = L"\\" + std::wstring(259, L'p');
const std::wstring kPath261 = kPath260 + L"p";
const wchar_t kQuarantined[] = L"\\kxtest\\a.exe";
const wchar_t kElsewhere[] = L"\\kxtest\\b.exe";
const char kGone[] = "<missing>";  // what ReadDeviceFile reads of a file that is not there

FileScan_tag Scan(const std::wstring& path) {
    FileScan_tag record{sizeof record};
    std::wcsncpy(record.path, path.c_str(), 259);
    return record;
}

int CountViruses(KxService& client) {
    unsigned long count = 0;
    return client.GetVirusInPatCount(count);
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The check of every table: the row's call answered `status` and left what `left` says; the row
// expects `expectedStatus` and what `expectedLeft` says.
::testing::AssertionResult Answered(const char* row, int status, const std::string& left,
                                    int expectedStatus, const std::string& expectedLeft) {
    if (status == expectedStatus && left == expectedLeft) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << row << ": answered " << Hex(status) << " and left " << left << "; expected "
           << Hex(expectedStatus) << " and " << expectedLeft;
}

std::string Hosts(int count) { return std::to_string(count) + " service hosts running"; }

// What a row starts from on a clean device: nothing running, the service loaded by a client
// gone since, loaded by the row's own client, or impossible to load.
enum class Start { Clean, Loaded, Held, Blocked };
struct LoadingRow {
    const char* name;  // the call and its case
    Start start;
    int status;
    int hosts;  // service hosts running after the call
    int (*call)(KxService& client);
};

// The service is loaded by the first valid request and unloaded only by Release. A bad argument
// is answered before the service is looked up or loaded; a path of the field's 260 characters
// (it still leaves its NUL) and a virus name of 20 are sent: the service answers 2, no such file.
TEST_F(KxServiceTest, LoadedByAValidRequestAndUnloadedOnlyByRelease) {
    // clang-format off
    const LoadingRow rows[] = {
        {.name = "GetHandle never loads it",          .start = Start::Clean,   .status = KX_OK,                  .hosts = 0, .call = [](KxService& client) -> int { client.GetHandle(); return KX_OK; }},
        {.name = "Release with nothing running",      .start = Start::Clean,   .status = KX_OK,                  .hosts = 0, .call = [](KxService& client) { return client.Release(); }},
        {.name = "a gone client leaves it loaded",    .start = Start::Loaded,  .status = KX_OK,                  .hosts = 1, .call = [](KxService& client) -> int { client.GetHandle(); return KX_OK; }},
        {.name = "CloseSrvHandle unloads nothing",    .start = Start::Held,    .status = KX_OK,                  .hosts = 1, .call = [](KxService& client) { return client.CloseSrvHandle(); }},
        {.name = "Release unloads it",                .start = Start::Loaded,  .status = KX_OK,                  .hosts = 0, .call = [](KxService& client) { return client.Release(); }},
        {.name = "cannot load: GetVirusInPatCount",   .start = Start::Blocked, .status = KX_E_SERVICE_NOT_FOUND, .hosts = 0, .call = CountViruses},
        {.name = "cannot load: MsgSvcSize",           .start = Start::Blocked, .status = KX_E_SERVICE_NOT_FOUND, .hosts = 0, .call = [](KxService& client) { return static_cast<int>(client.MsgSvcSize()); }},
        {.name = "cannot load: ScanFile",             .start = Start::Blocked, .status = KX_E_SERVICE_REQUEST,   .hosts = 0, .call = [](KxService& client) { FileScan_tag record = Scan(L"\\kxtest\\absent.txt"); return client.ScanFile(&record); }},
        {.name = "ScanFile, running only, none runs", .start = Start::Clean,   .status = KX_E_SERVICE_REQUEST,   .hosts = 0, .call = [](KxService& client) { FileScan_tag record = Scan(L"\\kxtest\\absent.txt"); record.runningOnly = 1; return client.ScanFile(&record); }},
        {.name = "ScanFile without a record",         .start = Start::Clean,   .status = KX_E_INVALIDARG,        .hosts = 0, .call = [](KxService& client) { return client.ScanFile(nullptr); }},
        {.name = "ScanSMS without a record",          .start = Start::Clean,   .status = KX_E_INVALIDARG,        .hosts = 0, .call = [](KxService& client) { return client.ScanSMS(nullptr); }},
        {.name = "ScanSCProtect without a record",    .start = Start::Clean,   .status = KX_E_INVALIDARG,        .hosts = 0, .call = [](KxService& client) { return client.ScanSCProtect(nullptr); }},
        {.name = "GetZRAPIVersion without a record",  .start = Start::Clean,   .status = KX_E_INVALIDARG,        .hosts = 0, .call = [](KxService& client) { return client.GetZRAPIVersion(nullptr); }},
        {.name = "GetVirusInPat without a record",    .start = Start::Clean,   .status = KX_E_INVALIDARG,        .hosts = 0, .call = [](KxService& client) { return client.GetVirusInPat(0, nullptr); }},
        // A missing line is a line of no bytes: both are refused unsent.
        {.name = "WriteDebugLog without a line",      .start = Start::Clean,   .status = KX_E_INVALIDARG,        .hosts = 0, .call = [](KxService& client) { return client.WriteDebugLog(nullptr); }},
        {.name = "MsgSvcPush without a text",         .start = Start::Clean,   .status = KX_E_INVALIDARG,        .hosts = 0, .call = [](KxService& client) { return client.MsgSvcPush(nullptr); }},
        {.name = "MsgSvcPop without a buffer",        .start = Start::Clean,   .status = KX_E_INVALIDARG,        .hosts = 0, .call = [](KxService& client) { return client.MsgSvcPop(nullptr); }},
        {.name = "QuarantineFile without a path",     .start = Start::Clean,   .status = KX_E_INVALIDARG,        .hosts = 0, .call = [](KxService& client) { return client.QuarantineFile(nullptr, L"V"); }},
        {.name = "QuarantineFile, path of 261",       .start = Start::Clean,   .status = KX_E_INVALIDARG,        .hosts = 0, .call = [](KxService& client) { return client.QuarantineFile(kPath261.c_str(), L"V"); }},
        {.name = "QuarantineFile, virus name of 21",  .start = Start::Clean,   .status = KX_E_INVALIDARG,        .hosts = 0, .call = [](KxService& client) { return client.QuarantineFile(kQuarantined, std::wstring(21, L'v').c_str()); }},
        {.name = "RestoreFile, path of 261",          .start = Start::Clean,   .status = KX_E_INVALIDARG,        .hosts = 0, .call = [](KxService& client) { return client.RestoreFile(kPath261.c_str(), L"", 0, &kNewest); }},
        {.name = "RestoreFile, destination of 261",   .start = Start::Clean,   .status = KX_E_INVALIDARG,        .hosts = 0, .call = [](KxService& client) { return client.RestoreFile(L"\\a", kPath261.c_str(), 0, &kNewest); }},
        {.name = "RestoreFile without a time",        .start = Start::Clean,   .status = KX_E_INVALIDARG,        .hosts = 0, .call = [](KxService& client) { return client.RestoreFile(L"\\a", L"", 0, nullptr); }},
        // Both limits are one constant of RestoreFile's: the quarantine path's row shows 260 sent.
        {.name = "QuarantineFile, virus name of 20",  .start = Start::Clean,   .status = 2,                      .hosts = 1, .call = [](KxService& client) { return client.QuarantineFile(kQuarantined, std::wstring(20, L'v').c_str()); }},
        {.name = "QuarantineFile, path of 260",       .start = Start::Clean,   .status = 2,                      .hosts = 1, .call = [](KxService& client) { return client.QuarantineFile(kPath260.c_str(), L"V"); }},
    };
    // clang-format on
    for (const LoadingRow& row : rows) {
        ResetDevice();
        KxService client;
        if (row.start == Start::Loaded) ASSERT_EQ(KxService().Start(), 1) << row.name;
        if (row.start == Start::Held) ASSERT_EQ(client.Start(), 1) << row.name;
        std::optional<BlockServiceLoading> blocked;
        if (row.start == Start::Blocked) blocked.emplace();
        const int status = row.call(client);
        EXPECT_TRUE(
            Answered(row.name, status, Hosts(CountServiceHosts()), row.status, Hosts(row.hosts)));
    }
}

// The service's own word passes through Stop; a refused request or an answer of the wrong length
// is a failed request that leaves the caller's output as it was. Every row starts from a freshly
// loaded, running service that answers the row's `request` once as `wrongAnswer` says.
struct Outcome {
    int status;
    bool outputKept = true;  // the caller's output as it was before the call
};
std::string Output(bool kept) { return kept ? "the output as it was" : "the output changed"; }
struct AnswerRow {
    const char* name;  // the call and its case
    DWORD request;
    DWORD wrongAnswer;
    int status;
    Outcome (*call)(KxService& client);
};

// A scan whose size word sends 100 bytes, part of the record: the service takes whole records.
Outcome ScanPartOfARecord(KxService& client) {
    FileScan_tag record = Scan(MakeScratchFile(L"eicar.com", kEicar));
    record.size = 100;
    record.resultWord = 0x1234;
    const int status = client.ScanFile(&record);
    return {status, record.resultWord == 0x1234 && record.size == 100};
}
Outcome CountInto77(KxService& client) {
    unsigned long count = 77;
    const int status = client.GetVirusInPatCount(count);
    return {status, count == 77};
}

TEST_F(KxServiceTest, AnswersPassThroughAndWrongAnswersFail) {
    // clang-format off
    const AnswerRow rows[] = {
        {.name = "Stop of a stopped service",           .request = KXSVC_STOP,            .wrongAnswer = KXSVC_FAULT_NONE,         .status = 1,                    .call = [](KxService& client) { client.Stop(); return Outcome{client.Stop()}; }},
        {.name = "ScanFile of part of a record",        .request = KXSVC_SCAN_FILE,       .wrongAnswer = KXSVC_FAULT_NONE,         .status = KX_E_SERVICE_REQUEST, .call = ScanPartOfARecord},
        {.name = "Start, answer too short",             .request = KXSVC_START,           .wrongAnswer = KXSVC_FAULT_SHORT_ANSWER, .status = KX_E_SERVICE_REQUEST, .call = [](KxService& client) { return Outcome{client.Start()}; }},
        {.name = "GetVirusInPatCount, answer too long", .request = KXSVC_GET_VIRUS_COUNT, .wrongAnswer = KXSVC_FAULT_LONG_ANSWER,  .status = KX_E_SERVICE_REQUEST, .call = CountInto77},
        {.name = "MsgSvcSize, refused",                 .request = KXSVC_MSG_SIZE,        .wrongAnswer = KXSVC_FAULT_REFUSE,       .status = -1,                   .call = [](KxService& client) { return Outcome{static_cast<int>(client.MsgSvcSize())}; }},
    };
    // clang-format on
    for (const AnswerRow& row : rows) {
        ResetDevice();
        KxService client;
        ASSERT_EQ(client.Start(), 1) << row.name << ": the service was not loaded and running";
        ASSERT_TRUE(ArmFault(row.request, row.wrongAnswer, 1)) << row.name;
        const Outcome got = row.call(client);
        EXPECT_TRUE(
            Answered(row.name, got.status, Output(got.outputKept), row.status, Output(true)));
    }
}

// The virus count and list come from the service: the test file first, then the pattern's
// entries, each with its index.
TEST_F(KxServiceTest, VirusCountAndList) {
    WritePattern("md5 900150983cd24fb0d6963f7d28e17f72 Trojan.Abc\n");
    KxService client;
    unsigned long count = 0;
    EXPECT_EQ(client.GetVirusInPatCount(count), KX_OK);
    EXPECT_EQ(count, 2u) << "GetVirusInPatCount: the test file and the pattern's entry";
    VirusInfo_tag virus{};
    EXPECT_EQ(client.GetVirusInPat(1, &virus), KX_OK);
    EXPECT_EQ(virus.index, 1u) << "GetVirusInPat(1) sent another index";
    EXPECT_EQ(std::wstring(virus.name), L"Trojan.Abc");
}

// Verdicts by the built-in test file (up to 128 bytes) and by the pattern's digests in any case;
// the service's answer replaces the record but for its path and size word. Every row scans a
// fresh file, or none, with the pattern below; a changed pattern file is read again.
struct ScanRow {
    const char* name;
    std::string content;  // of the file scanned; kGone: no file
    DWORD verdict;
    std::wstring virusName;
    DWORD resultWord;  // the service's own: 2 when it finds no file
};
std::string Verdict(DWORD verdict, const std::wstring& virusName, DWORD resultWord) {
    return "verdict " + std::to_string(verdict) + " \"" + Narrow(virusName) + "\", word " +
           std::to_string(resultWord);
}

TEST_F(KxServiceTest, ScansFindTheTestFileAndThePatternsDigests) {
    WritePattern("version 1\nmd5 900150983CD24FB0D6963F7D28E17F72 Trojan.Abc\n");
    // clang-format off
    const ScanRow rows[] = {
        {.name = "the test file padded to 128 bytes", .content = kEicar + std::string(60, ' '), .verdict = KXSVC_VERDICT_INFECTED, .virusName = L"EICAR-Test-File", .resultWord = 0},
        // The digest of "abc" (RFC 1321), written in upper case in the pattern.
        {.name = "a file of the pattern",             .content = "abc",                         .verdict = KXSVC_VERDICT_INFECTED, .virusName = L"Trojan.Abc",      .resultWord = 0},
        {.name = "no such file",                      .content = kGone,                         .verdict = KXSVC_VERDICT_CLEAN,    .virusName = L"",                .resultWord = 2},
    };
    // clang-format on
    KxService client;
    for (const ScanRow& row : rows) {
        const std::wstring path = row.content != kGone
                                      ? MakeScratchFile(L"scanned.bin", row.content)
                                      : L"\\kxtest\\absent.bin";
        FileScan_tag record = Scan(path);
        record.scanResult = 9;
        const int status = client.ScanFile(&record);
        const bool kept = record.path == path && record.size == sizeof record;
        EXPECT_TRUE(Answered(row.name, status,
                             Verdict(record.scanResult, record.virusName, record.resultWord) +
                                 (kept ? "" : ", path or size changed"),
                             KX_OK, Verdict(row.verdict, row.virusName, row.resultWord)));
    }
    WritePattern("version 2\n");
    FileScan_tag record = Scan(MakeScratchFile(L"scanned.bin", "abc"));
    ASSERT_EQ(client.ScanFile(&record), KX_OK);
    EXPECT_EQ(record.scanResult, KXSVC_VERDICT_CLEAN) << "the changed pattern was not read again";
}

// A text message's verdict and answer come back, the answer field zero-filled after the text and
// the message part untouched; a protect record goes out whole by its length word.
TEST_F(KxServiceTest, MessagesAndProtectRecords) {
    KxService client;
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
    ServiceSnapshot state{};
    EXPECT_TRUE(ReadServiceState(&state));
    EXPECT_EQ(state.lastProtectLength, sizeof protect) << "ScanSCProtect sent another length";
}

// A debug line reaches the service's log as it was given, without its terminator.
TEST_F(KxServiceTest, DebugLinesReachTheServiceLog) {
    KxService client;
    ASSERT_EQ(client.WriteDebugLog(L"scan started"), KX_OK);
    ASSERT_EQ(client.WriteDebugLog(L"ended"), KX_OK);
    EXPECT_EQ(ReadDeviceFile(kServiceLog), "scan started\r\nended\r\n");
}

// The message queue, first in first out, holds 1000 messages: every row starts from an empty
// queue, pushes its texts and pops once into a buffer of 1025 units, "-" and then 0xBDBD. A pop
// takes 2048 bytes: a longer text is cut and terminated, and nothing is written past them.
struct QueueRow {
    const char* name;
    std::vector<std::wstring> pushed;
    int popStatus;
    std::wstring popped;  // the buffer's text after the pop
};
std::string Popped(const wchar_t* text, bool guardKept) {
    return "\"" + Narrow(text) + "\"" + (guardKept ? "" : " and wrote past 2048 bytes");
}

TEST_F(KxServiceTest, MessagesQueueFirstInFirstOut) {
    // clang-format off
    const QueueRow rows[] = {
        {.name = "MsgSvcPop, the oldest first",        .pushed = {L"first", L"second"},      .popStatus = KX_OK,                .popped = L"first"},
        {.name = "MsgSvcPop, the terminator alone",    .pushed = {L""},                      .popStatus = KX_OK,                .popped = L""},
        {.name = "MsgSvcPop, longer than a pop takes", .pushed = {std::wstring(1100, L'm')}, .popStatus = KX_OK,                .popped = std::wstring(1023, L'm')},
        {.name = "MsgSvcPop of an empty queue",        .pushed = {},                         .popStatus = KX_E_SERVICE_REQUEST, .popped = L"-"},
    };
    // clang-format on
    KxService client;
    for (const QueueRow& row : rows) {
        ASSERT_EQ(client.MsgSvcClean(), KX_OK) << row.name;
        for (const std::wstring& text : row.pushed) ASSERT_EQ(client.MsgSvcPush(text.c_str()), 0);
        EXPECT_EQ(client.MsgSvcSize(), row.pushed.size()) << row.name;
        std::vector<wchar_t> buffer(1025, 0xBDBD);
        std::wcscpy(buffer.data(), L"-");
        const int status = client.MsgSvcPop(buffer.data());
        EXPECT_TRUE(Answered(row.name, status, Popped(buffer.data(), buffer[1024] == 0xBDBD),
                             row.popStatus, Popped(row.popped.c_str(), true)));
    }
    int refused = 0;
    for (int pushed = 0; pushed < 1000; ++pushed) refused += client.MsgSvcPush(L"x") != KX_OK;
    EXPECT_EQ(refused, 0) << "the queue holds 1000 messages";
    EXPECT_EQ(client.MsgSvcPush(L"x"), KX_E_SERVICE_REQUEST) << "the queue holds no more";
}

// The service the SDK installs answers the product's requests only: the test build's control
// codes, which could make it refuse every request or hold its lock, are unknown to it. Every row
// sends zero-filled records to the shipped build's SAV_IOControl.
struct ShippedRow {
    const char* name;
    DWORD code;
    DWORD inBytes;
    DWORD outBytes;
    bool answered;  // else refused as an unknown code: ERROR_INVALID_FUNCTION
};

::testing::AssertionResult Knows(const ShippedRow& row, bool answered, DWORD error) {
    if (row.answered ? answered : !answered && error == ERROR_INVALID_FUNCTION)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "the shipped SAV_IOControl, " << row.name << ": "
           << (answered ? "answered" : "refused with error " + std::to_string(error))
           << (row.answered ? ", expected an answer" : ", expected error 1, an unknown code");
}

TEST_F(KxServiceTest, TheShippedServiceKnowsNoTestControls) {
    const HMODULE shipped = ::LoadLibraryW(SiblingPath(L"shipped\\KXSVC.dll").c_str());
    ASSERT_NE(shipped, nullptr) << "the shipped build of the service is built beside the tests";
    const std::unique_ptr<HINSTANCE__, decltype(&::FreeLibrary)> unload(shipped, &::FreeLibrary);
    const auto init = reinterpret_cast<PFN_SERVICE_INIT>(::GetProcAddress(shipped, "SAV_Init"));
    const auto control =
        reinterpret_cast<PFN_SERVICE_IOCONTROL>(::GetProcAddress(shipped, "SAV_IOControl"));
    const auto deinit =
        reinterpret_cast<PFN_SERVICE_DEINIT>(::GetProcAddress(shipped, "SAV_Deinit"));
    ASSERT_TRUE(init && control && deinit) << "an entry point of the service is missing";
    const DWORD context = init(1);
    // clang-format off
    const ShippedRow rows[] = {
        {.name = "fault injection",   .code = KXSVC_TEST_FAULT,      .inBytes = sizeof(KxServiceFault), .outBytes = 0,                      .answered = false},
        {.name = "inner state",       .code = KXSVC_TEST_STATE,      .inBytes = 0,                      .outBytes = sizeof(KxServiceState), .answered = false},
        {.name = "a product request", .code = KXSVC_GET_VIRUS_COUNT, .inBytes = 0,                      .outBytes = sizeof(DWORD),          .answered = true},
    };
    // clang-format on
    for (const ShippedRow& row : rows) {
        std::vector<BYTE> in(row.inBytes), out(row.outBytes);
        DWORD returned = 0;
        const bool answered = control(context, row.code, in.data(), row.inBytes, out.data(),
                                      row.outBytes, &returned) != FALSE;
        EXPECT_TRUE(Knows(row, answered, ::GetLastError()));
    }
    deinit(context);
}

// Quarantine never loses a file; restore finds it by its path in any case, with time 0 the
// newest entry first. A missing answer word counts as done. Every row starts on a clean device
// with the service running: each text of `stored` was written in turn to a.exe and quarantined,
// then a.exe holds `inPlace`, and the row's request is answered without its answer word when
// `unanswered` names it. The service answers 0 done, 2 no such file, 4 the destination exists.
struct StoreRow {
    const char* name;  // the call and its case
    std::vector<std::string> stored;
    std::string inPlace;  // kGone: no file
    DWORD unanswered;
    int answer;
    const wchar_t* checked;  // the file that holds `content` after the call
    std::string content;
    int (*call)(KxService& client);
};
std::string Holds(const wchar_t* file, const std::string& content) {
    return "\"" + content + "\" in " + Narrow(file);
}

int QuarantineA(KxService& client) { return client.QuarantineFile(kQuarantined, L"Trojan.A"); }
int RestoreA(KxService& client) { return client.RestoreFile(kQuarantined, L"", 0, &kNewest); }

// The quarantine time that the record file of the store's entry `id` holds; 0 when none.
FILETIME EntryTime(int id) {
    const std::string record =
        ReadDeviceFile(L"\\KxSvc\\Quarantine\\" + std::to_wstring(id) + L".rec");
    const size_t field = record.find("time=");
    const unsigned long long time =
        field == std::string::npos ? 0 : std::strtoull(record.c_str() + field + 5, nullptr, 16);
    return {static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
}

TEST_F(KxServiceTest, QuarantineKeepsEveryFileAndRestoreGivesItBack) {
    // clang-format off
    const StoreRow rows[] = {
        {.name = "QuarantineFile moves the file into the store", .stored = {},                 .inPlace = "first", .unanswered = 0,                     .answer = 0, .checked = kQuarantined, .content = kGone,   .call = QuarantineA},
        {.name = "QuarantineFile of a file not there",           .stored = {},                 .inPlace = kGone,   .unanswered = 0,                     .answer = 2, .checked = kQuarantined, .content = kGone,   .call = QuarantineA},
        {.name = "QuarantineFile of a path quarantined before",  .stored = {"older"},          .inPlace = "newer", .unanswered = 0,                     .answer = 0, .checked = kQuarantined, .content = kGone,   .call = QuarantineA},
        {.name = "QuarantineFile without an answer word",        .stored = {},                 .inPlace = "first", .unanswered = KXSVC_QUARANTINE_FILE, .answer = 0, .checked = kQuarantined, .content = kGone,   .call = QuarantineA},
        {.name = "RestoreFile to the file's own path",           .stored = {"first"},          .inPlace = kGone,   .unanswered = 0,                     .answer = 0, .checked = kQuarantined, .content = "first", .call = RestoreA},
        {.name = "RestoreFile without an answer word",           .stored = {"first"},          .inPlace = kGone,   .unanswered = KXSVC_RESTORE_FILE,    .answer = 0, .checked = kQuarantined, .content = "first", .call = RestoreA},
        {.name = "RestoreFile with nothing in the store",        .stored = {},                 .inPlace = "new",   .unanswered = 0,                     .answer = 2, .checked = kQuarantined, .content = "new",   .call = RestoreA},
        {.name = "RestoreFile of a file given back already",     .stored = {"first"},          .inPlace = kGone,   .unanswered = 0,                     .answer = 2, .checked = kQuarantined, .content = "first", .call = [](KxService& client) { RestoreA(client); return RestoreA(client); }},
        {.name = "RestoreFile over an existing file",            .stored = {"first"},          .inPlace = "new",   .unanswered = 0,                     .answer = 4, .checked = kQuarantined, .content = "new",   .call = RestoreA},
        {.name = "RestoreFile replacing an existing file",       .stored = {"first"},          .inPlace = "new",   .unanswered = 0,                     .answer = 0, .checked = kQuarantined, .content = "first", .call = [](KxService& client) { return client.RestoreFile(kQuarantined, L"", 1, &kNewest); }},
        {.name = "RestoreFile to another path",                  .stored = {"first"},          .inPlace = kGone,   .unanswered = 0,                     .answer = 0, .checked = kElsewhere,   .content = "first", .call = [](KxService& client) { return client.RestoreFile(kQuarantined, kElsewhere, 0, &kNewest); }},
        {.name = "RestoreFile of its path in another case",      .stored = {"first"},          .inPlace = kGone,   .unanswered = 0,                     .answer = 0, .checked = kQuarantined, .content = "first", .call = [](KxService& client) { return client.RestoreFile(L"\\KXTEST\\A.EXE", L"", 0, &kNewest); }},
        {.name = "RestoreFile with time 0 takes the newest",     .stored = {"older", "newer"}, .inPlace = kGone,   .unanswered = 0,                     .answer = 0, .checked = kQuarantined, .content = "newer", .call = RestoreA},
        {.name = "RestoreFile by the older entry's time",        .stored = {"older", "newer"}, .inPlace = kGone,   .unanswered = 0,                     .answer = 0, .checked = kQuarantined, .content = "older", .call = [](KxService& client) { const FILETIME older = EntryTime(1); return client.RestoreFile(kQuarantined, L"", 0, &older); }},
    };
    // clang-format on
    for (const StoreRow& row : rows) {
        ResetDevice();
        KxService client;
        ASSERT_EQ(client.Start(), 1) << row.name << ": the service was not loaded and running";
        for (const std::string& content : row.stored) {
            MakeScratchFile(L"a.exe", content);
            ASSERT_EQ(QuarantineA(client), 0) << row.name << ": \"" << content << "\" not stored";
        }
        if (row.inPlace != kGone) MakeScratchFile(L"a.exe", row.inPlace);
        if (row.unanswered != 0) ASSERT_TRUE(ArmFault(row.unanswered, KXSVC_FAULT_NO_ANSWER, 1));
        const int answer = row.call(client);
        const std::string left = Holds(row.checked, ReadDeviceFile(row.checked));
        EXPECT_TRUE(Answered(row.name, answer, left, row.answer, Holds(row.checked, row.content)));
    }
}

// A host that dies between moving a file into the store and recording it loses no file: the next
// load gives the moved file its record, so restore finds it.
TEST_F(KxServiceTest, AHostDyingInAQuarantineLosesNoFile) {
    MakeScratchFile(L"a.exe", "first");
    KxService client;
    ASSERT_EQ(client.Start(), 1) << "the service was not loaded and running";
    ASSERT_TRUE(ArmFault(KXSVC_QUARANTINE_FILE, KXSVC_FAULT_DIE_AFTER_MOVE));
    EXPECT_EQ(QuarantineA(client), KX_E_SERVICE_REQUEST) << "QuarantineFile under a dying host";
    EXPECT_EQ(CountServiceHosts(), 0) << "the host did not die";
    EXPECT_EQ(ReadDeviceFile(kQuarantined), kGone) << "the file was not moved before the host died";
    KxService next;
    EXPECT_EQ(RestoreA(next), 0) << "RestoreFile after the next load did not find the moved file";
    EXPECT_EQ(ReadDeviceFile(kQuarantined), "first") << "RestoreFile did not give the file back";
}

// Clients at once each get their own answers; a host killed under waiting clients fails them
// rather than hanging them, and a handle of the dead instance never reaches the next one.
TEST_F(KxServiceTest, ConcurrentClientsAndAKilledHost) {
    const std::wstring clean = MakeScratchFile(L"clean.txt", "hello");
    const std::wstring infected = MakeScratchFile(L"eicar.com", kEicar);
    KxService held;
    ASSERT_EQ(CountViruses(held), KX_OK);
    std::vector<int> wrongVerdicts(4, 0);  // of each thread's 25 scans, each by a client of its own
    std::vector<std::thread> threads;
    for (int thread = 0; thread < 4; ++thread)
        threads.emplace_back([&, thread] {
            for (int scan = 0; scan < 25; ++scan) {
                const bool infectedTurn = (thread + scan) % 2 == 1;
                const DWORD verdict = infectedTurn ? KXSVC_VERDICT_INFECTED : KXSVC_VERDICT_CLEAN;
                FileScan_tag record = Scan(infectedTurn ? infected : clean);
                const int status = KxService().ScanFile(&record);
                if (status != KX_OK || record.scanResult != verdict) ++wrongVerdicts[thread];
            }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrongVerdicts, std::vector<int>(4, 0)) << "ScanFile of clients at once";

    // Copies of the held handle send a request the service delays a minute; its host is killed.
    ASSERT_TRUE(ArmFault(KXSVC_GET_VIRUS_COUNT, KXSVC_FAULT_DELAY, 0, 60000));
    std::vector<int> answers(4, KX_OK);
    threads.clear();
    for (int thread = 0; thread < 4; ++thread)
        threads.emplace_back([&, thread] {
            KxService copy(held);
            answers[thread] = CountViruses(copy);
        });
    KillServiceHosts();
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(answers, std::vector<int>(4, KX_E_SERVICE_REQUEST)) << "clients of a killed host";
    KxService fresh;
    EXPECT_EQ(CountViruses(fresh), KX_OK) << "a new client loaded no new instance";
    EXPECT_EQ(CountViruses(held), KX_E_SERVICE_REQUEST) << "the dead instance's handle was used";
    held.CloseSrvHandle();
    EXPECT_EQ(CountViruses(held), KX_OK) << "a forgotten handle was not looked up again";
}

}  // namespace
