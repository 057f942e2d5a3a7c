#include "kxcommon/KxService.h"

#include "../internal/MemoryProbe.h"
#include "../internal/kxplatform.h"

#include <cstring>
#include <cwchar>

namespace {

wchar_t kInstanceName[] = L"SAV0:";
constexpr wchar_t kServicePrefix[] = L"SAV";
constexpr DWORD kServiceIndex = 0;
constexpr wchar_t kServiceModule[] = L"KXSVC.dll";
constexpr DWORD kServiceContext = 1;

constexpr size_t kMaxPathChars = 260;
constexpr size_t kMaxVirusNameChars = 20;
constexpr DWORD kAnswerBytes = sizeof(DWORD);
constexpr DWORD kMessageBytes = 2048;
constexpr unsigned long kSizeRequestFailed = 0xFFFFFFFF;

bool Usable(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

// Sends one request. `expected` is the exact answer length the operation relies on, or
// kAnyLength when it relies only on the call succeeding.
constexpr DWORD kAnyLength = 0xFFFFFFFF;

int Send(HANDLE service, DWORD code, const void* in, DWORD inBytes, void* out, DWORD outBytes,
         DWORD expected) {
    DWORD returned = 0;
    if (!::ServiceIoControl(service, code, const_cast<void*>(in), inBytes, out, outBytes, &returned,
                            nullptr))
        return KX_E_SERVICE_REQUEST;
    if (expected != kAnyLength && returned != expected) return KX_E_SERVICE_REQUEST;
    return KX_OK;
}

// Copies a text into a zero-filled field without its terminator; the field's zeros end it.
void CopyIntoField(wchar_t* field, const wchar_t* text, size_t length) {
    std::memcpy(field, text, length * sizeof(wchar_t));
}

}  // namespace

KxService::KxService() : m_handle(INVALID_HANDLE_VALUE) {}

KxService::~KxService() {
    // A service handle is never closed: forgetting it leaves the service loaded for others.
    if (Usable(m_handle)) m_handle = nullptr;
}

HANDLE KxService::Open() {
    if (Usable(m_handle)) return m_handle;
    m_handle = ::GetServiceHandle(kInstanceName, nullptr, nullptr);
    if (Usable(m_handle)) return m_handle;
    m_handle = ::RegisterService(kServicePrefix, kServiceIndex, kServiceModule, kServiceContext);
    return Usable(m_handle) ? m_handle : INVALID_HANDLE_VALUE;
}

HANDLE KxService::GetHandle() {
    if (Usable(m_handle)) return m_handle;
    m_handle = ::GetServiceHandle(kInstanceName, nullptr, nullptr);
    return m_handle;
}

int KxService::Start() {
    const HANDLE service = Open();
    if (service == INVALID_HANDLE_VALUE) return KX_E_SERVICE_NOT_FOUND;
    DWORD answer = 0;
    const int status =
        Send(service, KXSVC_START, nullptr, 0, &answer, sizeof answer, sizeof answer);
    return status != KX_OK ? status : static_cast<int>(answer);
}

int KxService::Stop() {
    const HANDLE service = Open();
    if (service == INVALID_HANDLE_VALUE) return KX_E_SERVICE_NOT_FOUND;
    DWORD answer = 0;
    const int status = Send(service, KXSVC_STOP, nullptr, 0, &answer, sizeof answer, sizeof answer);
    return status != KX_OK ? status : static_cast<int>(answer);
}

int KxService::Release() {
    const HANDLE service = GetHandle();
    if (Usable(service)) ::DeregisterService(service);
    m_handle = INVALID_HANDLE_VALUE;
    return KX_OK;
}

int KxService::CloseSrvHandle() {
    if (Usable(m_handle)) m_handle = nullptr;
    return KX_OK;
}

int KxService::ScanFile(FileScan_tag* record) {
    if (record == nullptr) return KX_E_INVALIDARG;
    record->scanResult = KXSVC_VERDICT_CLEAN;
    if (record->size != 0 && !kx::IsReadableRange(record, record->size)) return KX_E_INVALIDARG;
    const HANDLE service = record->runningOnly != 0 ? GetHandle() : Open();
    if (!Usable(service)) return KX_E_SERVICE_REQUEST;
    FileScan_tag answer;
    std::memset(&answer, 0, sizeof answer);
    answer.size = sizeof answer;
    // The caller's size word says how much of its record goes out; the answer is always whole.
    const int status =
        Send(service, KXSVC_SCAN_FILE, record, record->size, &answer, sizeof answer, sizeof answer);
    if (status != KX_OK) return status;
    std::memcpy(record, &answer, sizeof answer);
    return KX_OK;
}

int KxService::ScanSMS(SMSScan_tag* record) {
    if (record == nullptr) return KX_E_INVALIDARG;
    const HANDLE service = Open();
    record->size = sizeof(SMSScan_tag);
    if (service == INVALID_HANDLE_VALUE) return KX_E_SERVICE_NOT_FOUND;
    SMSScan_tag answer;
    std::memset(&answer, 0, sizeof answer);
    answer.size = sizeof answer;
    const int status = Send(service, KXSVC_SCAN_SMS, record, sizeof *record, &answer, sizeof answer,
                            sizeof answer);
    if (status != KX_OK) return status;
    record->scanResult = answer.scanResult;
    const size_t answerUnits = sizeof record->answer / sizeof(wchar_t);
    std::wcsncpy(record->answer, answer.answer, answerUnits);  // zero-fills after the text
    return KX_OK;
}

int KxService::ScanSCProtect(SCPROTECT_Tag* record) {
    if (record == nullptr) return KX_E_INVALIDARG;
    if (record->length != 0 && !kx::IsReadableRange(record, record->length)) return KX_E_INVALIDARG;
    const HANDLE service = Open();
    if (service == INVALID_HANDLE_VALUE) return KX_E_SERVICE_NOT_FOUND;
    return ::ServiceIoControl(service, KXSVC_SCAN_SCPROTECT, record, record->length, nullptr, 0,
                              nullptr, nullptr)
               ? KX_OK
               : KX_E_SERVICE_REQUEST;
}

int KxService::GetZRAPIVersion(ZRAPIVersion_tag* version) {
    const HANDLE service = Open();
    if (version == nullptr) return KX_E_INVALIDARG;
    if (service == INVALID_HANDLE_VALUE) return KX_E_SERVICE_NOT_FOUND;
    return Send(service, KXSVC_GET_ZRAPI_VERSION, nullptr, 0, version, sizeof *version,
                sizeof *version);
}

int KxService::GetVirusInPatCount(unsigned long& count) {
    const HANDLE service = Open();
    if (service == INVALID_HANDLE_VALUE) return KX_E_SERVICE_NOT_FOUND;
    DWORD answer = 0;
    const int status =
        Send(service, KXSVC_GET_VIRUS_COUNT, nullptr, 0, &answer, sizeof answer, sizeof answer);
    if (status == KX_OK) count = answer;
    return status;
}

int KxService::GetVirusInPat(unsigned long index, VirusInfo_tag* virus) {
    const HANDLE service = Open();
    if (virus == nullptr) return KX_E_INVALIDARG;
    if (service == INVALID_HANDLE_VALUE) return KX_E_SERVICE_NOT_FOUND;
    const DWORD request = index;
    return Send(service, KXSVC_GET_VIRUS, &request, sizeof request, virus, sizeof *virus,
                sizeof *virus);
}

int KxService::QuarantineFile(const wchar_t* path, const wchar_t* virusName) {
    DWORD answer = 0;
    const HANDLE service = Open();
    if (service == INVALID_HANDLE_VALUE) return KX_E_SERVICE_NOT_FOUND;
    if (path == nullptr || virusName == nullptr) return KX_E_INVALIDARG;
    const size_t pathLength = std::wcslen(path);
    const size_t nameLength = std::wcslen(virusName);
    if (pathLength > kMaxPathChars || nameLength > kMaxVirusNameChars) return KX_E_INVALIDARG;
    FileAction_tag action;
    std::memset(&action, 0, sizeof action);
    CopyIntoField(action.path, path, pathLength);
    CopyIntoField(action.second, virusName, nameLength);
    // Only the call's success counts: the answer word is the service's, preset to 0.
    const int status = Send(service, KXSVC_QUARANTINE_FILE, &action, sizeof action, &answer,
                            kAnswerBytes, kAnyLength);
    return status != KX_OK ? status : static_cast<int>(answer);
}

int KxService::RestoreFile(const wchar_t* path, const wchar_t* destination, unsigned long value,
                           const FILETIME* time) {
    DWORD answer = 0;
    const HANDLE service = Open();
    if (service == INVALID_HANDLE_VALUE) return KX_E_SERVICE_NOT_FOUND;
    if (path == nullptr || destination == nullptr || !kx::IsReadableRange(time, sizeof *time))
        return KX_E_INVALIDARG;
    const size_t pathLength = std::wcslen(path);
    const size_t destinationLength = std::wcslen(destination);
    if (pathLength > kMaxPathChars || destinationLength > kMaxPathChars) return KX_E_INVALIDARG;
    FileAction_tag action;
    std::memset(&action, 0, sizeof action);
    CopyIntoField(action.path, path, pathLength);
    CopyIntoField(action.second, destination, destinationLength);
    std::memcpy(&action.time, time, sizeof action.time);
    action.value = value;
    const int status = Send(service, KXSVC_RESTORE_FILE, &action, sizeof action, &answer,
                            kAnswerBytes, kAnyLength);
    return status != KX_OK ? status : static_cast<int>(answer);
}

int KxService::SetArchiveFlag(unsigned long flag, unsigned long /*reserved*/) {
    const HANDLE service = Open();
    if (service == INVALID_HANDLE_VALUE) return KX_E_SERVICE_NOT_FOUND;
    const DWORD word = flag;
    return Send(service, KXSVC_SET_ARCHIVE_FLAG, &word, sizeof word, nullptr, 0, kAnyLength);
}

int KxService::WriteDebugLog(const wchar_t* text) {
    if (text == nullptr || text[0] == L'\0') return KX_E_INVALIDARG;
    const HANDLE service = Open();
    if (service == INVALID_HANDLE_VALUE) return KX_E_SERVICE_NOT_FOUND;
    const size_t bytes = std::wcslen(text) * sizeof(wchar_t);
    if (bytes > MAXDWORD) return KX_E_INVALIDARG;
    return Send(service, KXSVC_WRITE_DEBUG_LOG, text, static_cast<DWORD>(bytes), nullptr, 0,
                kAnyLength);
}

int KxService::SetUpdateSchedule(const SYSTEMTIME* time) {
    const HANDLE service = Open();
    if (service == INVALID_HANDLE_VALUE) return KX_E_SERVICE_NOT_FOUND;
    return Send(service, KXSVC_SET_UPDATE_SCHEDULE, time, time != nullptr ? DWORD{sizeof *time} : 0,
                nullptr, 0, kAnyLength);
}

int KxService::SetNotification(int value) {
    const HANDLE service = Open();
    if (service == INVALID_HANDLE_VALUE) return KX_E_SERVICE_NOT_FOUND;
    return Send(service, KXSVC_SET_NOTIFICATION, &value, sizeof value, nullptr, 0, kAnyLength);
}

int KxService::MsgSvcPush(const wchar_t* text) {
    if (text == nullptr) return KX_E_INVALIDARG;
    const HANDLE service = Open();
    if (service == INVALID_HANDLE_VALUE) return KX_E_SERVICE_NOT_FOUND;
    const size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
    if (bytes > MAXDWORD) return KX_E_INVALIDARG;
    return ::ServiceIoControl(service, KXSVC_MSG_PUSH, const_cast<wchar_t*>(text),
                              static_cast<DWORD>(bytes), nullptr, 0, nullptr, nullptr)
               ? KX_OK
               : KX_E_SERVICE_REQUEST;
}

int KxService::MsgSvcPop(wchar_t* buffer) {
    if (buffer == nullptr) return KX_E_INVALIDARG;
    const HANDLE service = Open();
    if (service == INVALID_HANDLE_VALUE) return KX_E_SERVICE_NOT_FOUND;
    return ::ServiceIoControl(service, KXSVC_MSG_POP, nullptr, 0, buffer, kMessageBytes, nullptr,
                              nullptr)
               ? KX_OK
               : KX_E_SERVICE_REQUEST;
}

unsigned long KxService::MsgSvcSize() {
    const HANDLE service = Open();
    if (service == INVALID_HANDLE_VALUE) return KX_E_SERVICE_NOT_FOUND;
    DWORD size = 0;
    if (!::ServiceIoControl(service, KXSVC_MSG_SIZE, nullptr, 0, nullptr, 0, &size, nullptr))
        return kSizeRequestFailed;
    return size;
}

int KxService::MsgSvcClean() {
    const HANDLE service = Open();
    if (service == INVALID_HANDLE_VALUE) return KX_E_SERVICE_NOT_FOUND;
    return ::ServiceIoControl(service, KXSVC_MSG_CLEAN, nullptr, 0, nullptr, 0, nullptr, nullptr)
               ? KX_OK
               : KX_E_SERVICE_REQUEST;
}

int KxService::MgiClean() {
    const HANDLE service = Open();
    if (service == INVALID_HANDLE_VALUE) return KX_E_SERVICE_NOT_FOUND;
    return ::ServiceIoControl(service, KXSVC_MGI_CLEAN, nullptr, 0, nullptr, 0, nullptr, nullptr)
               ? KX_OK
               : KX_E_SERVICE_REQUEST;
}
