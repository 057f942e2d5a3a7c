// KxService against the running reference scan service: which calls load it, every operation's
// records and answers, the quarantine store's promises, and the failure codes when the service
// is absent or misbehaves.
#include "ServiceFixture.h"

#include <kxcommon/KxService.h>

#include <optional>
#include <thread>

namespace {

using namespace kxtest;

class KxServiceTest : public ServiceTest {};

const FILETIME kNewest{0, 0};  // restore's time for the newest entry of a path
const std::wstring kPath260 = L"\\" + std::wstring(259, L'p');
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
// gone since, loaded and running for the row's own client, or impossible to load.
enum Start { kClean, kLoaded, kRunning, kBlocked };
struct LoadingRow {
    const char* name;  // the call and its case
    Start start;
    int status;
    int hosts;  // service hosts running after the call
    int (*call)(KxService& client);
};

// A scan whose size word sends 100 bytes, part of the record: the service takes whole records,
// and a failed scan leaves the caller's record as it was.
int ScanPartOfARecord(KxService& client) {
    FileScan_tag record = Scan(MakeScratchFile(L"eicar.com", kEicar));
    record.size = 100;
    const int status = client.ScanFile(&record);
    EXPECT_EQ(record.size, 100u) << "ScanFile put a failed answer into the record";
    return status;
}
// A count the service answers four bytes too long: the caller's count is left as it was.
int CountTooLong(KxService& client) {
    ArmFault(KXSVC_GET_VIRUS_COUNT, KXSVC_FAULT_LONG_ANSWER, 1);
    unsigned long count = 77;
    const int status = client.GetVirusInPatCount(count);
    EXPECT_EQ(count, 77u) << "GetVirusInPatCount wrote the count of a wrong answer";
    return status;
}

// The service is loaded by the first valid request and unloaded only by Release. A bad argument
// is answered before the service is looked up or loaded; a path of the field's 260 characters
// (it still leaves its NUL) and a virus name of 20 are sent: the service answers 2, no such file.
// The service's own word passes through Stop; a refused request or an answer of the wrong length
// (armed for the row's request once) is a failed request.
TEST_F(KxServiceTest, EveryCallsAnswerAndTheServiceItLeavesLoaded) {
    // clang-format off
    const LoadingRow rows[] = {
        {.name = "CloseSrvHandle unloads nothing",    .start = kRunning, .status = KX_OK,                  .hosts = 1,
         .call = [](KxService& client) { return client.CloseSrvHandle(); }},
        {.name = "Release unloads it",                .start = kLoaded,  .status = KX_OK,                  .hosts = 0,
         .call = [](KxService& client) { return client.Release(); }},
        {.name = "cannot load: MsgSvcSize",           .start = kBlocked, .status = KX_E_SERVICE_NOT_FOUND, .hosts = 0,
         .call = [](KxService& client) { return static_cast<int>(client.MsgSvcSize()); }},
        {.name = "cannot load: ScanFile",             .start = kBlocked, .status = KX_E_SERVICE_REQUEST,   .hosts = 0,
         .call = [](KxService& client) { FileScan_tag record = Scan(L"\\kxtest\\absent.txt");
                                         return client.ScanFile(&record); }},
        // Looked up by GetHandle, which never loads the service.
        {.name = "ScanFile, running only, none runs", .start = kClean,   .status = KX_E_SERVICE_REQUEST,   .hosts = 0,
         .call = [](KxService& client) { FileScan_tag record = Scan(L"\\kxtest\\absent.txt"); record.runningOnly = 1;
                                         return client.ScanFile(&record); }},
        {.name = "ScanFile without a record",         .start = kClean,   .status = KX_E_INVALIDARG,        .hosts = 0,
         .call = [](KxService& client) { return client.ScanFile(nullptr); }},
        {.name = "ScanSMS without a record",          .start = kClean,   .status = KX_E_INVALIDARG,        .hosts = 0,
         .call = [](KxService& client) { return client.ScanSMS(nullptr); }},
        {.name = "ScanSCProtect without a record",    .start = kClean,   .status = KX_E_INVALIDARG,        .hosts = 0,
         .call = [](KxService& client) { return client.ScanSCProtect(nullptr); }},
        {.name = "GetZRAPIVersion without a record",  .start = kClean,   .status = KX_E_INVALIDARG,        .hosts = 0,
         .call = [](KxService& client) { return client.GetZRAPIVersion(nullptr); }},
        {.name = "GetVirusInPat without a record",    .start = kClean,   .status = KX_E_INVALIDARG,        .hosts = 0,
         .call = [](KxService& client) { return client.GetVirusInPat(0, nullptr); }},
        // A missing line counts as a line of no bytes: an empty line is refused the same way.
        {.name = "WriteDebugLog without a line",      .start = kClean,   .status = KX_E_INVALIDARG,        .hosts = 0,
         .call = [](KxService& client) { return client.WriteDebugLog(nullptr); }},
        {.name = "MsgSvcPush without a text",         .start = kClean,   .status = KX_E_INVALIDARG,        .hosts = 0,
         .call = [](KxService& client) { return client.MsgSvcPush(nullptr); }},
        {.name = "MsgSvcPop without a buffer",        .start = kClean,   .status = KX_E_INVALIDARG,        .hosts = 0,
         .call = [](KxService& client) { return client.MsgSvcPop(nullptr); }},
        {.name = "QuarantineFile without a path",     .start = kClean,   .status = KX_E_INVALIDARG,        .hosts = 0,
         .call = [](KxService& client) { return client.QuarantineFile(nullptr, L"V"); }},
        {.name = "QuarantineFile, path of 261",       .start = kClean,   .status = KX_E_INVALIDARG,        .hosts = 0,
         .call = [](KxService& client) { return client.QuarantineFile((kPath260 + L"p").c_str(), L"V"); }},
        {.name = "QuarantineFile, virus name of 21",  .start = kClean,   .status = KX_E_INVALIDARG,        .hosts = 0,
         .call = [](KxService& client) { return client.QuarantineFile(kQuarantined, std::wstring(21, L'v').c_str()); }},
        {.name = "RestoreFile, destination of 261",   .start = kClean,   .status = KX_E_INVALIDARG,        .hosts = 0,
         .call = [](KxService& client) { return client.RestoreFile(L"\\a", (kPath260 + L"p").c_str(), 0, &kNewest); }},
        {.name = "RestoreFile without a time",        .start = kClean,   .status = KX_E_INVALIDARG,        .hosts = 0,
         .call = [](KxService& client) { return client.RestoreFile(L"\\a", L"", 0, nullptr); }},
        // RestoreFile's path takes the quarantine path's limit: the quarantine rows show both bounds.
        {.name = "QuarantineFile, virus name of 20",  .start = kClean,   .status = 2,                      .hosts = 1,
         .call = [](KxService& client) { return client.QuarantineFile(kQuarantined, std::wstring(20, L'v').c_str()); }},
        {.name = "QuarantineFile, path of 260",       .start = kClean,   .status = 2,                      .hosts = 1,
         .call = [](KxService& client) { return client.QuarantineFile(kPath260.c_str(), L"V"); }},
        {.name = "Stop of a stopped service",         .start = kRunning, .status = 1,                      .hosts = 1,
         .call = [](KxService& client) { client.Stop(); return client.Stop(); }},
        {.name = "ScanFile of part of a record",      .start = kRunning, .status = KX_E_SERVICE_REQUEST,   .hosts = 1,
         .call = ScanPartOfARecord},
        {.name = "Start, answer too short",           .start = kRunning, .status = KX_E_SERVICE_REQUEST,   .hosts = 1,
         .call = [](KxService& client) { ArmFault(KXSVC_START, KXSVC_FAULT_SHORT_ANSWER, 1); return client.Start(); }},
        {.name = "GetVirusInPatCount, too long",      .start = kRunning, .status = KX_E_SERVICE_REQUEST,   .hosts = 1,
         .call = CountTooLong},
        {.name = "MsgSvcSize, refused",               .start = kRunning, .status = -1,                     .hosts = 1,
         .call = [](KxService& client) { ArmFault(KXSVC_MSG_SIZE, KXSVC_FAULT_REFUSE, 1);
                                         return static_cast<int>(client.MsgSvcSize()); }},
    };
    // clang-format on
    for (const LoadingRow& row : rows) {
        ResetDevice();
        KxService client;
        if (row.start == kLoaded) ASSERT_EQ(KxService().Start(), 1) << row.name;
        if (row.start == kRunning) ASSERT_EQ(client.Start(), 1) << row.name;
        std::optional<BlockServiceLoading> blocked;
        if (row.start == kBlocked) blocked.emplace();
        const int status = row.call(client);
        EXPECT_TRUE(
            Answered(row.name, status, Hosts(CountServiceHosts()), row.status, Hosts(row.hosts)));
    }
}

// Detections by the built-in test file (up to 128 bytes) and by the pattern's digests in any
// case: every row scans a fresh file with the pattern below. The service's answer replaces the
// record but for its path and size word, which stay as sent. A changed pattern is read again.
struct ScanRow {
    const char* name;
    std::string content;     // of the file scanned
    std::wstring virusName;  // what the scan names
};

TEST_F(KxServiceTest, ScansFindTheTestFileAndThePatternsDigests) {
    WritePattern("version 1\nmd5 900150983CD24FB0D6963F7D28E17F72 Trojan.Abc\n");
    // clang-format off
    const ScanRow rows[] = {
        {.name = "ScanFile of the test file padded to 128 bytes", .content = kEicar + std::string(60, ' '),
         .virusName = L"EICAR-Test-File"},
        // The digest of "abc" (RFC 1321), written in upper case in the pattern.
        {.name = "ScanFile of a file of the pattern", .content = "abc", .virusName = L"Trojan.Abc"},
    };
    // clang-format on
    KxService client;
    for (const ScanRow& row : rows) {
        const std::wstring path = MakeScratchFile(L"scanned.bin", row.content);
        FileScan_tag record = Scan(path);
        const int status = client.ScanFile(&record);
        const bool kept = record.path == path && record.size == sizeof record;
        const std::string virus = "virus \"" + Narrow(record.virusName) + "\"";
        EXPECT_TRUE(Answered(row.name, status,
                             virus + (kept ? "" : ", its path or size word changed"), KX_OK,
                             "virus \"" + Narrow(row.virusName) + "\""));
    }
    WritePattern("version 2\n");
    FileScan_tag record = Scan(MakeScratchFile(L"scanned.bin", "abc"));
    ASSERT_EQ(client.ScanFile(&record), KX_OK);
    EXPECT_EQ(record.scanResult, KXSVC_VERDICT_CLEAN) << "the changed pattern was not read again";
}

// What a request carries goes out and comes back as it is: a debug line, without its
// terminator, into the service's log; the virus count; a text message's verdict and answer, the
// answer field zero-filled after its text, the message part untouched and the record's size word
// written; a protect record whole, by its length word.
TEST_F(KxServiceTest, RequestsCarryTheirRecordsAsTheyAre) {
    WritePattern("md5 900150983cd24fb0d6963f7d28e17f72 Trojan.Abc\n");
    KxService client;
    ASSERT_EQ(client.WriteDebugLog(L"scan started"), KX_OK);
    // A line the service has no memory for is refused and leaves the log free for the lines
    // after it. Six characters are held without memory, so the log is open by then.
    ASSERT_TRUE(ArmFault(KXSVC_WRITE_DEBUG_LOG, KXSVC_FAULT_NO_MEMORY, 1));
    EXPECT_EQ(client.WriteDebugLog(L"failed"), KX_E_SERVICE_REQUEST)
        << "WriteDebugLog of a line the service has no memory for was not refused";
    ASSERT_EQ(client.WriteDebugLog(L"ended"), KX_OK);
    EXPECT_EQ(ReadDeviceFile(kServiceLog), "scan started\r\nended\r\n")
        << "WriteDebugLog: the service's log holds other lines than the ones given";
    unsigned long count = 0;
    EXPECT_EQ(client.GetVirusInPatCount(count), KX_OK);
    EXPECT_EQ(count, 2u) << "GetVirusInPatCount: the built-in test file and the pattern's entry";
    SMSScan_tag sms{};
    const std::wstring infected = L"see " + std::wstring(kEicar, kEicar + 68);
    std::wcscpy(reinterpret_cast<wchar_t*>(sms.message), infected.c_str());
    sms.message[999] = 0x5A;
    std::wcscpy(sms.answer, L"stale answer that is long");
    ASSERT_EQ(client.ScanSMS(&sms), KX_OK);
    EXPECT_EQ(sms.size, sizeof sms) << "ScanSMS did not write the record's size word";
    EXPECT_EQ(sms.message[999], 0x5A) << "ScanSMS changed the message part of the record";
    EXPECT_EQ(sms.scanResult, KXSVC_VERDICT_INFECTED) << "ScanSMS";
    EXPECT_EQ(std::wstring(sms.answer, 26), L"EICAR-Test-File" + std::wstring(11, 0)) << "ScanSMS";
    SCPROTECT_Tag protect[4] = {{sizeof protect}};  // a record with content after its head
    EXPECT_EQ(client.ScanSCProtect(protect), KX_OK);
    ServiceSnapshot state{};
    EXPECT_TRUE(ReadServiceState(&state));
    EXPECT_EQ(state.lastProtectLength, sizeof protect) << "ScanSCProtect sent another length";
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
        {.name = "MsgSvcPop, oldest first", .pushed = {L"first", L"second"}, .popStatus = KX_OK, .popped = L"first"},
        {.name = "MsgSvcPop, the terminator alone", .pushed = {L""}, .popStatus = KX_OK, .popped = L""},
        {.name = "MsgSvcPop, longer than a pop takes", .pushed = {std::wstring(1100, L'm')},
         .popStatus = KX_OK, .popped = std::wstring(1023, L'm')},
        {.name = "MsgSvcPop of an empty queue", .pushed = {}, .popStatus = KX_E_SERVICE_REQUEST, .popped = L"-"},
    };
    // clang-format on
    KxService client;
    for (const QueueRow& row : rows) {
        ASSERT_EQ(client.MsgSvcClean(), KX_OK) << row.name;
        for (const std::wstring& text : row.pushed) ASSERT_EQ(client.MsgSvcPush(text.c_str()), 0);
        std::vector<wchar_t> buffer(1025, 0xBDBD);
        std::wcscpy(buffer.data(), L"-");
        const int status = client.MsgSvcPop(buffer.data());
        EXPECT_TRUE(Answered(row.name, status, Popped(buffer.data(), buffer[1024] == 0xBDBD),
                             row.popStatus, Popped(row.popped.c_str(), true)));
    }
    for (int pushed = 0; pushed < 1000; ++pushed)
        ASSERT_EQ(client.MsgSvcPush(L"x"), KX_OK) << "the queue holds 1000 messages";
    EXPECT_EQ(client.MsgSvcPush(L"x"), KX_E_SERVICE_REQUEST) << "the queue holds no more";
}

// The service the SDK installs answers the product's requests only: the test build's control
// codes, which could make it refuse every request or hold its lock, are unknown to it (the test
// build adds them together, so the fault code stands for both). Every row sends zero-filled records
// to the shipped build's SAV_IOControl.
struct ShippedRow {
    const char* name;
    DWORD code;
    DWORD inBytes;
    DWORD outBytes;
    DWORD error;  // the last error it leaves: ERROR_SUCCESS when answered
};

::testing::AssertionResult Knows(const ShippedRow& row, DWORD error) {
    if (error == row.error) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "the shipped SAV_IOControl, " << row.name << ": left the last error " << error
           << ", expected " << row.error << " (0: answered, 1: an unknown code)";
}

TEST_F(KxServiceTest, TheShippedServiceKnowsNoTestControls) {
    const HMODULE shipped = ::LoadLibraryW(SiblingPath(L"shipped\\KXSVC.dll").c_str());
    ASSERT_NE(shipped, nullptr) << "the shipped build of the service is built beside the tests";
    const auto init = reinterpret_cast<PFN_SERVICE_INIT>(::GetProcAddress(shipped, "SAV_Init"));
    const auto control =
        reinterpret_cast<PFN_SERVICE_IOCONTROL>(::GetProcAddress(shipped, "SAV_IOControl"));
    const auto deinit =
        reinterpret_cast<PFN_SERVICE_DEINIT>(::GetProcAddress(shipped, "SAV_Deinit"));
    ASSERT_TRUE(init && control && deinit) << "an entry point of the service is missing";
    const DWORD context = init(1);
    // clang-format off
    const ShippedRow rows[] = {
        {.name = "fault injection",   .code = KXSVC_TEST_FAULT,      .inBytes = sizeof(KxServiceFault), .outBytes = 0,
         .error = ERROR_INVALID_FUNCTION},
        {.name = "a product request", .code = KXSVC_GET_VIRUS_COUNT, .inBytes = 0, .outBytes = sizeof(DWORD),
         .error = ERROR_SUCCESS},
    };
    // clang-format on
    for (const ShippedRow& row : rows) {
        std::vector<BYTE> in(row.inBytes), out(row.outBytes);
        DWORD returned = 0;
        ::SetLastError(ERROR_GEN_FAILURE);  // what a refusal that sets no error of its own leaves
        const bool answered = control(context, row.code, in.data(), row.inBytes, out.data(),
                                      row.outBytes, &returned) != FALSE;
        EXPECT_TRUE(Knows(row, answered ? DWORD(ERROR_SUCCESS) : ::GetLastError()));
    }
    deinit(context);
    ::FreeLibrary(shipped);
}

// Quarantine never loses a file, not even when its host dies between moving the file and
// recording it; restore finds it by its path in any case, with time 0 the newest entry, else only
// the entry of that time. A missing answer word counts as done. Every row starts on a clean device
// with the service running: each text of `stored` was written in turn to a.exe and quarantined
// (a path quarantined twice is two entries), then a.exe holds `inPlace`. The service answers 0
// done, 2 no such file, 4 the destination exists.
struct StoreRow {
    const char* name;  // the call and its case
    std::vector<std::string> stored;
    std::string inPlace;  // kGone: no file
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

// The host dies after moving a.exe into the store, before recording it; the next load finishes
// the record.
int RestoreAfterAHostDied(KxService& client) {
    ArmFault(KXSVC_QUARANTINE_FILE, KXSVC_FAULT_DIE_AFTER_MOVE);
    EXPECT_EQ(QuarantineA(client), KX_E_SERVICE_REQUEST) << "QuarantineFile under a dying host";
    EXPECT_EQ(ReadDeviceFile(kQuarantined), kGone) << "the file was not moved before the host died";
    KxService next;
    return RestoreA(next);
}

TEST_F(KxServiceTest, QuarantineKeepsEveryFileAndRestoreGivesItBack) {
    // clang-format off
    const StoreRow rows[] = {
        {.name = "QuarantineFile without an answer word",       .stored = {},                 .inPlace = "first",
         .answer = 0, .checked = kQuarantined, .content = kGone,
         .call = [](KxService& client) { ArmFault(KXSVC_QUARANTINE_FILE, KXSVC_FAULT_NO_ANSWER, 1);
                                         return QuarantineA(client); }},
        {.name = "RestoreFile without an answer word",          .stored = {"first"},          .inPlace = kGone,
         .answer = 0, .checked = kQuarantined, .content = "first",
         .call = [](KxService& client) { ArmFault(KXSVC_RESTORE_FILE, KXSVC_FAULT_NO_ANSWER, 1);
                                         return RestoreA(client); }},
        {.name = "RestoreFile of a file given back already",    .stored = {"first"},          .inPlace = kGone,
         .answer = 2, .checked = kQuarantined, .content = "first",
         .call = [](KxService& client) { RestoreA(client); return RestoreA(client); }},
        {.name = "RestoreFile over an existing file",           .stored = {"first"},          .inPlace = "new",
         .answer = 4, .checked = kQuarantined, .content = "new",   .call = RestoreA},
        {.name = "RestoreFile replacing an existing file",      .stored = {"first"},          .inPlace = "new",
         .answer = 0, .checked = kQuarantined, .content = "first",
         .call = [](KxService& client) { return client.RestoreFile(kQuarantined, L"", 1, &kNewest); }},
        {.name = "RestoreFile to another path",                 .stored = {"first"},          .inPlace = kGone,
         .answer = 0, .checked = kElsewhere,   .content = "first",
         .call = [](KxService& client) { return client.RestoreFile(kQuarantined, kElsewhere, 0, &kNewest); }},
        {.name = "RestoreFile of its path in another case",     .stored = {"first"},          .inPlace = kGone,
         .answer = 0, .checked = kQuarantined, .content = "first",
         .call = [](KxService& client) { return client.RestoreFile(L"\\KXTEST\\A.EXE", L"", 0, &kNewest); }},
        {.name = "RestoreFile with time 0 takes the newest",    .stored = {"older", "newer"}, .inPlace = kGone,
         .answer = 0, .checked = kQuarantined, .content = "newer", .call = RestoreA},
        {.name = "RestoreFile by a time no entry has",          .stored = {"older", "newer"}, .inPlace = kGone,
         .answer = 2, .checked = kQuarantined, .content = kGone,
         .call = [](KxService& client) { const FILETIME unknownTime{1, 0};
                                         return client.RestoreFile(kQuarantined, L"", 0, &unknownTime); }},
        {.name = "RestoreFile after a host died midway",        .stored = {},                 .inPlace = "first",
         .answer = 0, .checked = kQuarantined, .content = "first", .call = RestoreAfterAHostDied},
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
        const int answer = row.call(client);
        const std::string left = Holds(row.checked, ReadDeviceFile(row.checked));
        EXPECT_TRUE(Answered(row.name, answer, left, row.answer, Holds(row.checked, row.content)));
    }
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
            KxService copyOfHeld(held);
            answers[thread] = CountViruses(copyOfHeld);
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
