// KxService against the running reference scan service: the handle's life, every operation's
// records and answers, and the failure codes when the service is absent or misbehaves.
#include "ServiceFixture.h"

#include <kxcommon/KxService.h>

#include "../../components/KXSVC/ServiceTestHooks.h"

#include <cstring>
#include <cwchar>
#include <string>

namespace {

using kxtest::ArmFault;
using kxtest::BlockServiceLoading;
using kxtest::CountServiceHosts;
using kxtest::MakeScratchFile;
using kxtest::ReadServiceState;
using kxtest::ServiceSnapshot;

class KxServiceTest : public kxtest::ServiceTest {};

bool Usable(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

FileScan_tag ScanRecord(const std::wstring& path) {
    FileScan_tag record;
    std::memset(&record, 0, sizeof record);
    record.size = sizeof record;
    std::wcsncpy(record.path, path.c_str(), 259);
    return record;
}

// ---- The handle --------------------------------------------------------------------------

TEST_F(KxServiceTest, NothingIsContactedUntilAskedAndGetHandleNeverLoads) {
    { KxService idle; }
    EXPECT_EQ(CountServiceHosts(), 0) << "constructing and destroying contacts nothing";

    KxService service;
    EXPECT_EQ(service.GetHandle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(CountServiceHosts(), 0) << "GetHandle never loads the service";

    unsigned long count = 0;
    EXPECT_EQ(service.GetVirusInPatCount(count), KX_OK) << "a request loads it";
    EXPECT_EQ(CountServiceHosts(), 1);
    const HANDLE held = service.GetHandle();
    EXPECT_TRUE(Usable(held));

    KxService other;
    EXPECT_EQ(other.GetHandle(), held) << "every client reaches the one instance";
    EXPECT_EQ(other.GetVirusInPatCount(count), KX_OK);
    EXPECT_EQ(CountServiceHosts(), 1) << "loaded once";
}

TEST_F(KxServiceTest, DestroyingAClientLeavesTheServiceLoaded) {
    {
        KxService service;
        unsigned long count = 0;
        ASSERT_EQ(service.GetVirusInPatCount(count), KX_OK);
    }
    EXPECT_EQ(CountServiceHosts(), 1);
    EXPECT_TRUE(Usable(KxService().GetHandle()));
}

TEST_F(KxServiceTest, CloseSrvHandleForgetsAndTheNextRequestLooksUpAgain) {
    KxService service;
    unsigned long count = 0;
    ASSERT_EQ(service.GetVirusInPatCount(count), KX_OK);
    EXPECT_EQ(service.CloseSrvHandle(), 0);
    EXPECT_EQ(service.CloseSrvHandle(), 0);
    EXPECT_EQ(CountServiceHosts(), 1) << "forgetting unloads nothing";
    EXPECT_EQ(service.GetVirusInPatCount(count), KX_OK);
    EXPECT_EQ(CountServiceHosts(), 1);
}

TEST_F(KxServiceTest, ReleaseUnloadsWhateverIsRunning) {
    EXPECT_EQ(KxService().Release(), 0) << "nothing running";
    unsigned long count = 0;
    ASSERT_EQ(KxService().GetVirusInPatCount(count), KX_OK);
    ASSERT_EQ(CountServiceHosts(), 1);

    KxService neverHeld;
    EXPECT_EQ(neverHeld.Release(), 0);
    EXPECT_EQ(CountServiceHosts(), 0) << "looked the service up and unloaded it";
    EXPECT_EQ(neverHeld.GetHandle(), INVALID_HANDLE_VALUE);
}

TEST_F(KxServiceTest, CopiesShareTheHandle) {
    KxService service;
    unsigned long count = 0;
    ASSERT_EQ(service.GetVirusInPatCount(count), KX_OK);
    KxService copy;
    copy = service;
    EXPECT_EQ(copy.GetHandle(), service.GetHandle());
}

// ---- Start and Stop ------------------------------------------------------------------------

TEST_F(KxServiceTest, StartAndStopPassTheServicesAnswerThrough) {
    KxService service;
    EXPECT_EQ(service.Start(), 1) << "loaded running: already started";
    EXPECT_EQ(service.Stop(), 0);
    EXPECT_EQ(service.Stop(), 1);

    FileScan_tag record = ScanRecord(MakeScratchFile(L"clean.txt"));
    EXPECT_EQ(service.ScanFile(&record), KX_E_SERVICE_REQUEST) << "a stopped service scans nothing";
    EXPECT_EQ(service.Start(), 0);
    EXPECT_EQ(service.ScanFile(&record), KX_OK);

    ASSERT_TRUE(ArmFault(KXSVC_START, KXSVC_FAULT_SHORT_ANSWER, 1));
    EXPECT_EQ(service.Start(), KX_E_SERVICE_REQUEST) << "3 bytes back";
    ASSERT_TRUE(ArmFault(KXSVC_STOP, KXSVC_FAULT_LONG_ANSWER, 1));
    EXPECT_EQ(service.Stop(), KX_E_SERVICE_REQUEST) << "8 bytes reported";
    ASSERT_TRUE(ArmFault(KXSVC_STOP, KXSVC_FAULT_REFUSE, 1));
    EXPECT_EQ(service.Stop(), KX_E_SERVICE_REQUEST);
    EXPECT_EQ(service.Start(), 0) << "the faults are used up; the long answer had stopped it";
}

// ---- Scanning ------------------------------------------------------------------------------

TEST_F(KxServiceTest, ScanFileFindsTheTestFileAndPatternDigests) {
    kxtest::WritePattern(
        "# test pattern\nversion 312345\nengine 2.1.7\n"
        "md5 900150983cd24fb0d6963f7d28e17f72 Trojan.Abc\n");
    const std::wstring clean = MakeScratchFile(L"clean.txt", "hello");
    const std::wstring eicar = MakeScratchFile(L"eicar.com", std::string(kxtest::kEicar) + "\r\n");
    const std::wstring byDigest = MakeScratchFile(L"abc.bin", "abc");  // RFC 1321: "abc"

    KxService service;
    FileScan_tag record = ScanRecord(clean);
    record.scanResult = 9;
    ASSERT_EQ(service.ScanFile(&record), KX_OK);
    EXPECT_EQ(record.scanResult, 0u);
    EXPECT_EQ(record.size, sizeof record);
    EXPECT_STREQ(record.path, clean.c_str());

    record = ScanRecord(eicar);
    ASSERT_EQ(service.ScanFile(&record), KX_OK);
    EXPECT_EQ(record.scanResult, 1u);
    EXPECT_STREQ(record.virusName, L"EICAR-Test-File");

    record = ScanRecord(byDigest);
    ASSERT_EQ(service.ScanFile(&record), KX_OK);
    EXPECT_EQ(record.scanResult, 1u);
    EXPECT_STREQ(record.virusName, L"Trojan.Abc");

    record = ScanRecord(L"\\kxtest\\absent.txt");
    ASSERT_EQ(service.ScanFile(&record), KX_OK);
    EXPECT_EQ(record.scanResult, 0u);
    EXPECT_EQ(record.resultWord, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(KxServiceTest, ScanFileWithRunningOnlyNeverLoads) {
    FileScan_tag record = ScanRecord(MakeScratchFile(L"clean.txt"));
    record.runningOnly = 1;
    record.scanResult = 7;
    EXPECT_EQ(KxService().ScanFile(&record), KX_E_SERVICE_REQUEST);
    EXPECT_EQ(record.scanResult, 0u) << "never a stale verdict";
    EXPECT_EQ(CountServiceHosts(), 0);
    EXPECT_EQ(KxService().ScanFile(nullptr), KX_E_INVALIDARG);
}

TEST_F(KxServiceTest, ScanFileKeepsTheRecordWhenTheAnswerIsWrong) {
    KxService service;
    ASSERT_EQ(service.Start(), 1);
    const std::wstring eicar = MakeScratchFile(L"eicar.com", kxtest::kEicar);
    for (DWORD fault : {KXSVC_FAULT_SHORT_ANSWER, KXSVC_FAULT_LONG_ANSWER, KXSVC_FAULT_REFUSE}) {
        ASSERT_TRUE(ArmFault(KXSVC_SCAN_FILE, fault, 1));
        FileScan_tag record = ScanRecord(eicar);
        record.scanResult = 5;
        record.resultWord = 0x1234;
        EXPECT_EQ(service.ScanFile(&record), KX_E_SERVICE_REQUEST) << fault;
        EXPECT_EQ(record.scanResult, 0u);
        EXPECT_EQ(record.resultWord, 0x1234u) << "nothing copied back";
        EXPECT_STREQ(record.virusName, L"");
    }
    // The size word says what is sent; the service takes only whole records.
    FileScan_tag record = ScanRecord(eicar);
    record.size = 100;
    EXPECT_EQ(service.ScanFile(&record), KX_E_SERVICE_REQUEST);
}

TEST_F(KxServiceTest, ScanSmsAnswersAndLeavesTheMessage) {
    SMSScan_tag record;
    std::memset(&record, 0, sizeof record);
    const std::wstring infected = L"see " + std::wstring(kxtest::kEicar, kxtest::kEicar + 68);
    std::wcscpy(reinterpret_cast<wchar_t*>(record.message), infected.c_str());
    record.message[999] = 0x5A;
    std::wcscpy(record.answer, L"stale answer that is long");

    KxService service;
    ASSERT_EQ(service.ScanSMS(&record), KX_OK);
    EXPECT_EQ(record.size, sizeof record);
    EXPECT_EQ(record.scanResult, 1u);
    EXPECT_STREQ(record.answer, L"EICAR-Test-File");
    EXPECT_EQ(record.answer[20], L'\0') << "the rest of the answer field is zero";
    EXPECT_EQ(record.message[999], 0x5A) << "the message part is left as it was";

    std::wcscpy(reinterpret_cast<wchar_t*>(record.message), L"hello");
    ASSERT_EQ(service.ScanSMS(&record), KX_OK);
    EXPECT_EQ(record.scanResult, 0u);
    EXPECT_STREQ(record.answer, L"clean");
    EXPECT_EQ(service.ScanSMS(nullptr), KX_E_INVALIDARG);
}

TEST_F(KxServiceTest, ScanSCProtectSendsItsLength) {
    struct {
        SCPROTECT_Tag head;
        BYTE content[20];
    } request{};
    request.head.length = sizeof request;
    KxService service;
    EXPECT_EQ(service.ScanSCProtect(&request.head), KX_OK);
    ServiceSnapshot state{};
    ASSERT_TRUE(ReadServiceState(&state));
    EXPECT_EQ(state.lastProtectLength, sizeof request);

    request.head.length = 2;  // shorter than its own length word
    EXPECT_EQ(service.ScanSCProtect(&request.head), KX_E_SERVICE_REQUEST);
    EXPECT_EQ(service.ScanSCProtect(nullptr), KX_E_INVALIDARG);
}

// ---- Pattern and engine --------------------------------------------------------------------

TEST_F(KxServiceTest, VersionsAndVirusListComeFromThePattern) {
    kxtest::WritePattern(
        "version 312345\nengine 2.1.7\n"
        "md5 900150983cd24fb0d6963f7d28e17f72 Trojan.Abc\n"
        "md5 d41d8cd98f00b204e9800998ecf8427e A.Very.Long.Virus.Name.Indeed\n");
    KxService service;
    ZRAPIVersion_tag version;
    std::memset(&version, 0xBD, sizeof version);
    ASSERT_EQ(service.GetZRAPIVersion(&version), KX_OK);
    EXPECT_STREQ(version.engineVersion, L"2.1.7");
    EXPECT_EQ(version.patternVersion, 312345u);

    unsigned long count = 0;
    ASSERT_EQ(service.GetVirusInPatCount(count), KX_OK);
    ASSERT_EQ(count, 3u);
    const wchar_t* expected[] = {L"EICAR-Test-File", L"Trojan.Abc", L"A.Very.Long.Virus.N"};
    for (unsigned long i = 0; i < count; ++i) {
        VirusInfo_tag virus;
        std::memset(&virus, 0xBD, sizeof virus);
        ASSERT_EQ(service.GetVirusInPat(i, &virus), KX_OK);
        EXPECT_EQ(virus.index, i);
        EXPECT_STREQ(virus.name, expected[i]) << "names are cut to 19 characters";
    }
    VirusInfo_tag beyond;
    EXPECT_EQ(service.GetVirusInPat(3, &beyond), KX_E_SERVICE_REQUEST) << "index passed unchecked";
}

TEST_F(KxServiceTest, NullRecordsStillLookTheServiceUp) {
    KxService service;
    EXPECT_EQ(service.GetZRAPIVersion(nullptr), KX_E_INVALIDARG);
    EXPECT_EQ(CountServiceHosts(), 1) << "looked up, and loaded, before the check";
    EXPECT_EQ(service.GetVirusInPat(0, nullptr), KX_E_INVALIDARG);
}

TEST_F(KxServiceTest, CountIsUntouchedOnEveryFailure) {
    KxService service;
    unsigned long count = 0;
    ASSERT_EQ(service.GetVirusInPatCount(count), KX_OK);
    for (DWORD fault : {KXSVC_FAULT_SHORT_ANSWER, KXSVC_FAULT_LONG_ANSWER, KXSVC_FAULT_REFUSE}) {
        ASSERT_TRUE(ArmFault(KXSVC_GET_VIRUS_COUNT, fault, 1));
        count = 77;
        EXPECT_EQ(service.GetVirusInPatCount(count), KX_E_SERVICE_REQUEST);
        EXPECT_EQ(count, 77ul);
    }
    ASSERT_TRUE(ArmFault(KXSVC_GET_ZRAPI_VERSION, KXSVC_FAULT_SHORT_ANSWER, 1));
    ZRAPIVersion_tag version;
    EXPECT_EQ(service.GetZRAPIVersion(&version), KX_E_SERVICE_REQUEST);
}

// ---- Quarantine ----------------------------------------------------------------------------

TEST_F(KxServiceTest, QuarantineMovesTheFileAndRestoreGivesItBack) {
    const std::wstring path = MakeScratchFile(L"eicar.com", kxtest::kEicar);
    KxService service;
    EXPECT_EQ(service.QuarantineFile(path.c_str(), L"EICAR-Test-File"), 0);
    EXPECT_EQ(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(service.QuarantineFile(path.c_str(), L"EICAR-Test-File"), 2) << "gone already";

    const FILETIME newest{0, 0};
    EXPECT_EQ(service.RestoreFile(path.c_str(), L"", 0, &newest), 0);
    EXPECT_EQ(kxtest::ReadDeviceFile(path), kxtest::kEicar) << "back with its name and content";
    EXPECT_EQ(service.RestoreFile(path.c_str(), L"", 0, &newest), 2) << "nothing left to restore";
}

TEST_F(KxServiceTest, RestoreToAnotherPlaceAndOverExistingFiles) {
    const std::wstring path = MakeScratchFile(L"a.exe", "first");
    KxService service;
    ASSERT_EQ(service.QuarantineFile(path.c_str(), L"Trojan.A"), 0);
    MakeScratchFile(L"a.exe", "newer file in its place");
    const FILETIME newest{0, 0};
    EXPECT_EQ(service.RestoreFile(path.c_str(), L"", 0, &newest), 4) << "destination exists";
    EXPECT_EQ(kxtest::ReadDeviceFile(path), "newer file in its place") << "nothing replaced";

    const std::wstring elsewhere = std::wstring(kxtest::kScratchDir) + L"\\restored.exe";
    EXPECT_EQ(service.RestoreFile(path.c_str(), elsewhere.c_str(), 0, &newest), 0);
    EXPECT_EQ(kxtest::ReadDeviceFile(elsewhere), "first");

    ASSERT_EQ(service.QuarantineFile(path.c_str(), L"Trojan.A"), 0);
    MakeScratchFile(L"a.exe", "again");
    EXPECT_EQ(service.RestoreFile(path.c_str(), L"", 1, &newest), 0) << "replace asked";
    EXPECT_EQ(kxtest::ReadDeviceFile(path), "newer file in its place");
}

TEST_F(KxServiceTest, QuarantineArgumentBounds) {
    KxService service;
    const std::wstring path = MakeScratchFile(L"v.bin", "x");
    EXPECT_EQ(service.QuarantineFile(path.c_str(), std::wstring(21, L'v').c_str()),
              KX_E_INVALIDARG);
    EXPECT_NE(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "never sent";
    EXPECT_EQ(service.QuarantineFile(path.c_str(), std::wstring(20, L'v').c_str()), 0);

    const std::wstring longest = L"\\" + std::wstring(259, L'p');  // 260 characters
    EXPECT_EQ(service.QuarantineFile(longest.c_str(), L"V"), 2) << "sent: no such file";
    EXPECT_EQ(service.QuarantineFile((longest + L"p").c_str(), L"V"), KX_E_INVALIDARG);
    EXPECT_EQ(service.QuarantineFile(nullptr, L"V"), KX_E_INVALIDARG);

    const FILETIME newest{0, 0};
    EXPECT_EQ(service.RestoreFile(path.c_str(), L"", 0, nullptr), KX_E_INVALIDARG);
    EXPECT_EQ(service.RestoreFile((longest + L"p").c_str(), L"", 0, &newest), KX_E_INVALIDARG);
    EXPECT_EQ(service.RestoreFile(path.c_str(), (longest + L"p").c_str(), 0, &newest),
              KX_E_INVALIDARG);
}

TEST_F(KxServiceTest, RestoreByQuarantineTimePicksThatEntry) {
    const std::wstring path = MakeScratchFile(L"twice.bin", "older");
    KxService service;
    ASSERT_EQ(service.QuarantineFile(path.c_str(), L"V"), 0);
    // The store's record holds the time; read it back from the record the service wrote.
    std::string record = kxtest::ReadDeviceFile(std::wstring(kxtest::kQuarantineDir) + L"\\1.rec");
    const size_t at = record.find("time=");
    ASSERT_NE(at, std::string::npos) << record;
    const unsigned long long stamp = std::strtoull(record.c_str() + at + 5, nullptr, 16);
    ::Sleep(20);
    MakeScratchFile(L"twice.bin", "newer");
    ASSERT_EQ(service.QuarantineFile(path.c_str(), L"V"), 0);

    const FILETIME older{static_cast<DWORD>(stamp), static_cast<DWORD>(stamp >> 32)};
    EXPECT_EQ(service.RestoreFile(path.c_str(), L"", 0, &older), 0);
    EXPECT_EQ(kxtest::ReadDeviceFile(path), "older");
}

// A record's fields cannot rewrite each other whatever a virus name or path holds, and a record
// of the earlier format (values unescaped) is still restored.
TEST_F(KxServiceTest, QuarantineRecordsKeepTheirFieldsApart) {
    struct Row {
        const char* name;
        const wchar_t* file;   // in the scratch folder; its content is the row's name
        const wchar_t* virus;  // null: stored by the test with a record of the earlier format
    } const rows[] = {
        {"line break in the virus name", L"a.bin", L"V\npath=\\kxtest\\b.bin"},
        {"other controls in the virus name", L"c.bin", L"V\x01\t\x1b\x7f\rpath=\\kxtest\\d"},
        {"escapes spelled out in the path", L"50%0Apath=%25.bin", L"V"},
        {"record of the earlier format", L"old%0A=.bin", nullptr},
    };
    KxService service;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::wstring path = MakeScratchFile(row.file, row.name);
        if (row.virus != nullptr) {
            ASSERT_EQ(service.QuarantineFile(path.c_str(), row.virus), 0);
        } else {
            const std::wstring store = std::wstring(kxtest::kQuarantineDir) + L"\\900";
            const std::string text =
                "path=" + std::string(path.begin(), path.end()) + "\nvirus=Old\ntime=1\n";
            const std::wstring record = MakeScratchFile(L"900.rec", text);
            ::CreateDirectoryW(kxtest::kServiceDir, nullptr);
            ::CreateDirectoryW(kxtest::kQuarantineDir, nullptr);
            ASSERT_TRUE(::MoveFileW(path.c_str(), (store + L".qf").c_str()));
            ASSERT_TRUE(::MoveFileW(record.c_str(), (store + L".rec").c_str()));
        }
        const FILETIME newest{0, 0};
        EXPECT_EQ(service.RestoreFile(path.c_str(), L"", 0, &newest), 0);
        EXPECT_EQ(kxtest::ReadDeviceFile(path), row.name);
    }
}

TEST_F(KxServiceTest, ARunningProgramIsInUse) {
    const std::wstring helper = kxtest::SiblingPath(L"kxtest_sleeper.exe");
    ::CreateDirectoryW(kxtest::kScratchDir, nullptr);
    const std::wstring busy = std::wstring(kxtest::kScratchDir) + L"\\busy.exe";
    ASSERT_TRUE(::CopyFileW(helper.c_str(), busy.c_str(), FALSE));

    {
        kxtest::RunningProgram running(busy);
        ASSERT_TRUE(running.Started());
        KxService service;
        EXPECT_EQ(service.QuarantineFile(busy.c_str(), L"Trojan.Busy"), 3);
        EXPECT_NE(::GetFileAttributesW(busy.c_str()), INVALID_FILE_ATTRIBUTES);
    }
    KxService service;
    EXPECT_EQ(service.QuarantineFile(busy.c_str(), L"Trojan.Busy"), 0) << "free once it ended";
}

TEST_F(KxServiceTest, ArchiveFlagNotificationAndSchedule) {
    KxService service;
    EXPECT_EQ(service.SetArchiveFlag(5, 99), KX_OK);
    EXPECT_EQ(service.SetNotification(-2), KX_OK);
    SYSTEMTIME when{};
    when.wYear = 2026;
    when.wMonth = 12;
    when.wDay = 24;
    when.wHour = 3;
    EXPECT_EQ(service.SetUpdateSchedule(&when), KX_OK);
    ServiceSnapshot state{};
    ASSERT_TRUE(ReadServiceState(&state));
    EXPECT_EQ(state.archiveFlag, 5u);
    EXPECT_EQ(state.notification, 0xFFFFFFFEu);
    EXPECT_EQ(state.hasSchedule, 1u);
    EXPECT_EQ(std::memcmp(&state.schedule, &when, sizeof when), 0);

    EXPECT_EQ(service.SetUpdateSchedule(nullptr), KX_OK) << "no input: scheduling off";
    ASSERT_TRUE(ReadServiceState(&state));
    EXPECT_EQ(state.hasSchedule, 0u);
}

// ---- Queue, log and Mgi --------------------------------------------------------------------

TEST_F(KxServiceTest, MessageQueueIsFirstInFirstOut) {
    KxService service;
    EXPECT_EQ(service.MsgSvcSize(), 0ul);
    EXPECT_EQ(service.MsgSvcPush(L"first"), KX_OK);
    EXPECT_EQ(service.MsgSvcPush(L""), KX_OK) << "the terminator alone";
    EXPECT_EQ(service.MsgSvcPush(std::wstring(1100, L'm').c_str()), KX_OK);
    EXPECT_EQ(service.MsgSvcSize(), 3ul);

    wchar_t message[1025];
    message[1024] = 0xBDBD;
    EXPECT_EQ(service.MsgSvcPop(message), KX_OK);
    EXPECT_STREQ(message, L"first");
    EXPECT_EQ(service.MsgSvcPop(message), KX_OK);
    EXPECT_STREQ(message, L"");
    EXPECT_EQ(service.MsgSvcPop(message), KX_OK);
    EXPECT_EQ(std::wcslen(message), 1023u) << "cut to the 2048-byte buffer, terminated";
    EXPECT_EQ(message[1024], 0xBDBD) << "nothing written past 2048 bytes";
    EXPECT_EQ(service.MsgSvcPop(message), KX_E_SERVICE_REQUEST) << "empty";

    service.MsgSvcPush(L"x");
    EXPECT_EQ(service.MsgSvcClean(), KX_OK);
    EXPECT_EQ(service.MsgSvcSize(), 0ul);
    EXPECT_EQ(service.MsgSvcPush(nullptr), KX_E_INVALIDARG);
    EXPECT_EQ(service.MsgSvcPop(nullptr), KX_E_INVALIDARG);

    ASSERT_TRUE(ArmFault(KXSVC_MSG_SIZE, KXSVC_FAULT_REFUSE, 1));
    EXPECT_EQ(service.MsgSvcSize(), 0xFFFFFFFFul);
}

TEST_F(KxServiceTest, DebugLogLinesReachTheServiceLog) {
    KxService service;
    EXPECT_EQ(service.WriteDebugLog(L""), KX_E_INVALIDARG);
    EXPECT_EQ(service.WriteDebugLog(nullptr), KX_E_INVALIDARG);
    EXPECT_EQ(CountServiceHosts(), 0) << "refused before looking the service up";
    EXPECT_EQ(service.WriteDebugLog(L"scan started"), KX_OK);
    EXPECT_EQ(service.WriteDebugLog(L"scan ended"), KX_OK);
    EXPECT_EQ(kxtest::ReadDeviceFile(kxtest::kServiceLog), "scan started\r\nscan ended\r\n");
}

TEST_F(KxServiceTest, MgiCleanClearsTheDetections) {
    KxService service;
    FileScan_tag record = ScanRecord(MakeScratchFile(L"eicar.com", kxtest::kEicar));
    ASSERT_EQ(service.ScanFile(&record), KX_OK);
    ServiceSnapshot state{};
    ASSERT_TRUE(ReadServiceState(&state));
    EXPECT_EQ(state.mgiEvents, 1u);
    EXPECT_EQ(service.MgiClean(), KX_OK);
    ASSERT_TRUE(ReadServiceState(&state));
    EXPECT_EQ(state.mgiEvents, 0u);
}

// ---- An absent service ---------------------------------------------------------------------

TEST_F(KxServiceTest, EveryOperationReportsAServiceThatCannotBeLoaded) {
    BlockServiceLoading blocked;
    KxService service;
    FileScan_tag scan = ScanRecord(L"\\kxtest\\x");
    EXPECT_EQ(service.ScanFile(&scan), KX_E_SERVICE_REQUEST) << "ScanFile has no 0x70000";
    SMSScan_tag sms;
    std::memset(&sms, 0, sizeof sms);
    EXPECT_EQ(service.ScanSMS(&sms), KX_E_SERVICE_NOT_FOUND);
    EXPECT_EQ(sms.size, sizeof sms) << "the size word is written all the same";
    SCPROTECT_Tag protect{sizeof protect};
    EXPECT_EQ(service.ScanSCProtect(&protect), KX_E_SERVICE_NOT_FOUND);
    ZRAPIVersion_tag version;
    EXPECT_EQ(service.GetZRAPIVersion(&version), KX_E_SERVICE_NOT_FOUND);
    unsigned long count = 5;
    EXPECT_EQ(service.GetVirusInPatCount(count), KX_E_SERVICE_NOT_FOUND);
    EXPECT_EQ(count, 5ul);
    VirusInfo_tag virus;
    EXPECT_EQ(service.GetVirusInPat(0, &virus), KX_E_SERVICE_NOT_FOUND);
    const FILETIME newest{0, 0};
    EXPECT_EQ(service.QuarantineFile(L"\\x", L"V"), KX_E_SERVICE_NOT_FOUND);
    EXPECT_EQ(service.RestoreFile(L"\\x", L"", 0, &newest), KX_E_SERVICE_NOT_FOUND);
    EXPECT_EQ(service.SetArchiveFlag(1, 0), KX_E_SERVICE_NOT_FOUND);
    EXPECT_EQ(service.WriteDebugLog(L"x"), KX_E_SERVICE_NOT_FOUND);
    EXPECT_EQ(service.SetUpdateSchedule(nullptr), KX_E_SERVICE_NOT_FOUND);
    EXPECT_EQ(service.SetNotification(1), KX_E_SERVICE_NOT_FOUND);
    EXPECT_EQ(service.MsgSvcPush(L"x"), KX_E_SERVICE_NOT_FOUND);
    wchar_t message[1024];
    EXPECT_EQ(service.MsgSvcPop(message), KX_E_SERVICE_NOT_FOUND);
    EXPECT_EQ(service.MsgSvcSize(), static_cast<unsigned long>(KX_E_SERVICE_NOT_FOUND));
    EXPECT_EQ(service.MsgSvcClean(), KX_E_SERVICE_NOT_FOUND);
    EXPECT_EQ(service.MgiClean(), KX_E_SERVICE_NOT_FOUND);
    EXPECT_EQ(service.Start(), KX_E_SERVICE_NOT_FOUND);
    EXPECT_EQ(service.Stop(), KX_E_SERVICE_NOT_FOUND);
    EXPECT_EQ(CountServiceHosts(), 0);
}

}  // namespace
