// The scan service under load and failure: many processes at once, a host that dies while
// clients wait, a quarantine cut short, and records of the wrong size.
#include "ServiceFixture.h"

#include <kxcommon/KxService.h>
#include <wince/wince.h>

#include "../../components/KXSVC/ServiceTestHooks.h"

#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using kxtest::ArmFault;
using kxtest::CountServiceHosts;
using kxtest::MakeScratchFile;

class ServiceReliabilityTest : public kxtest::ServiceTest {};

wchar_t kInstance[] = L"SAV0:";

TEST_F(ServiceReliabilityTest, FourProcessesOfTwoHundredRequestsAllGetTheirAnswers) {
    kxtest::WritePattern("md5 900150983cd24fb0d6963f7d28e17f72 Trojan.Abc\n");
    MakeScratchFile(L"clean.txt", "hello");
    MakeScratchFile(L"eicar.com", kxtest::kEicar);
    unsigned long count = 0;
    ASSERT_EQ(KxService().GetVirusInPatCount(count), KX_OK);  // loaded before the race
    ASSERT_EQ(count, 2ul);

    const std::wstring eventName = L"kxtest-service-go-" + std::to_wstring(::GetCurrentProcessId());
    HANDLE go = ::CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
    ASSERT_NE(go, nullptr);
    const std::wstring helper = kxtest::SiblingPath(L"kxtest_servicehelper.exe");
    std::vector<PROCESS_INFORMATION> clients;
    for (int i = 0; i < 4; ++i) {
        std::wstring commandLine = L"\"" + helper + L"\" client 200 " + eventName;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(::CreateProcessW(helper.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                                     nullptr, nullptr, &startup, &process));
        clients.push_back(process);
    }
    ::SetEvent(go);
    for (PROCESS_INFORMATION& process : clients) {
        EXPECT_EQ(::WaitForSingleObject(process.hProcess, 180000), WAIT_OBJECT_0);
        DWORD wrong = 0xFFFFFFFF;
        ::GetExitCodeProcess(process.hProcess, &wrong);
        EXPECT_EQ(wrong, 0u) << "wrong answers in one client";
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
    ::CloseHandle(go);
    EXPECT_EQ(CountServiceHosts(), 1);
}

TEST_F(ServiceReliabilityTest, AHostKilledWhileClientsWaitFailsTheirRequests) {
    KxService service;
    unsigned long count = 0;
    ASSERT_EQ(service.GetVirusInPatCount(count), KX_OK);
    ASSERT_TRUE(ArmFault(KXSVC_GET_VIRUS_COUNT, KXSVC_FAULT_DELAY, 0, 60000));

    std::vector<int> results(3, -1);
    std::vector<std::thread> waiting;
    for (size_t i = 0; i < results.size(); ++i) {
        waiting.emplace_back([&results, i] {
            unsigned long c = 0;
            results[i] = KxService().GetVirusInPatCount(c);
        });
    }
    ::Sleep(500);
    kxtest::KillServiceHosts();
    for (std::thread& t : waiting) t.join();  // none hangs
    for (int result : results) EXPECT_EQ(result, KX_E_SERVICE_REQUEST);

    EXPECT_EQ(service.GetVirusInPatCount(count), KX_E_SERVICE_REQUEST)
        << "the held handle names the dead instance";
    KxService fresh;
    EXPECT_EQ(fresh.GetVirusInPatCount(count), KX_OK) << "a new request loads a new instance";
    EXPECT_EQ(service.GetVirusInPatCount(count), KX_E_SERVICE_REQUEST)
        << "and the old handle does not reach the new instance";
    service.CloseSrvHandle();
    EXPECT_EQ(service.GetVirusInPatCount(count), KX_OK);
}

TEST_F(ServiceReliabilityTest, AQuarantineCutShortByTheHostsDeathLosesNoFile) {
    const std::wstring path = MakeScratchFile(L"victim.exe", "the only copy");
    KxService service;
    unsigned long count = 0;
    ASSERT_EQ(service.GetVirusInPatCount(count), KX_OK);
    ASSERT_TRUE(ArmFault(KXSVC_QUARANTINE_FILE, KXSVC_FAULT_DIE_AFTER_MOVE));
    EXPECT_EQ(service.QuarantineFile(path.c_str(), L"Trojan.V"), KX_E_SERVICE_REQUEST);
    EXPECT_EQ(CountServiceHosts(), 0) << "the host died between move and record";
    EXPECT_EQ(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "it was moved";

    // Loading the service again repairs the store: the moved file gets its record.
    KxService again;
    const FILETIME newest{0, 0};
    EXPECT_EQ(again.RestoreFile(path.c_str(), L"", 0, &newest), 0);
    EXPECT_EQ(kxtest::ReadDeviceFile(path), "the only copy");
}

TEST_F(ServiceReliabilityTest, RecordsOfTheWrongSizeAreRefusedNotReadPast) {
    unsigned long count = 0;
    ASSERT_EQ(KxService().GetVirusInPatCount(count), KX_OK);
    HANDLE service = ::GetServiceHandle(kInstance, nullptr, nullptr);
    ASSERT_NE(service, INVALID_HANDLE_VALUE);

    std::vector<BYTE> in(2000, 0), out(2000, 0);
    struct Case {
        DWORD code, inLen, outLen;
    } const wrong[] = {
        {KXSVC_SCAN_FILE, 587, 588},
        {KXSVC_SCAN_FILE, 589, 588},
        {KXSVC_SCAN_FILE, 588, 587},
        {KXSVC_SCAN_SMS, 1527, 1528},
        {KXSVC_QUARANTINE_FILE, 1055, 4},
        {KXSVC_RESTORE_FILE, 1057, 4},
        {KXSVC_GET_VIRUS, 3, 44},
        {KXSVC_GET_VIRUS, 4, 43},
        {KXSVC_START, 0, 3},
        {KXSVC_SET_NOTIFICATION, 2, 0},
        {KXSVC_SET_UPDATE_SCHEDULE, 15, 0},
        {KXSVC_MSG_PUSH, 3, 0},
        {KxServiceCode(99), 0, 0},  // no such operation
    };
    for (const Case& c : wrong) {
        DWORD returned = 0xBDBDBDBD;
        EXPECT_FALSE(::ServiceIoControl(service, c.code, in.data(), c.inLen, out.data(), c.outLen,
                                        &returned, nullptr))
            << std::hex << c.code << " in " << std::dec << c.inLen << " out " << c.outLen;
    }
    // The service is still there and answers whole records.
    EXPECT_EQ(KxService().GetVirusInPatCount(count), KX_OK);
}

}  // namespace
