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
// A call whose only argument is the object itself.
constexpr bool kNothingToCheck = true;
// A scan that cannot reach the service is a failed request: scanning callers know no "not found".
constexpr int kScanUnreachable = KX_E_SERVICE_REQUEST;

bool Usable(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

// What a request relies on in its answer: its exact length in bytes, or one of these.
constexpr DWORD kAnyLength = 0xFFFFFFFF;  // only that the request succeeds
constexpr DWORD kNoCount = 0xFFFFFFFE;    // the same, and the service is given no byte counter

int Send(HANDLE service, DWORD code, const void* in, DWORD inBytes, void* out, DWORD outBytes,
         DWORD expected) {
    DWORD returned = 0;
    DWORD* const counter = expected != kNoCount ? &returned : nullptr;
    if (!::ServiceIoControl(service, code, const_cast<void*>(in), inBytes, out, outBytes, counter,
                            nullptr))
        return KX_E_SERVICE_REQUEST;
    if (expected < kNoCount && returned != expected) return KX_E_SERVICE_REQUEST;
    return KX_OK;
}

// Sends a request the service answers with its own 32-bit word: the word, or the failed
// request's status. The word is preset to 0, so a service that writes none answered 0.
int SendForWord(HANDLE service, DWORD code, const void* in, DWORD inBytes, DWORD expected) {
    DWORD word = 0;
    const int status = Send(service, code, in, inBytes, &word, kAnswerBytes, expected);
    return status != KX_OK ? status : static_cast<int>(word);
}

// Puts a text into a zero-filled field without its terminator (the field's zeros end it); false,
// with nothing put, when there is no text or it has more than `maxChars` characters.
bool PutText(wchar_t* field, const wchar_t* text, size_t maxChars) {
    if (text == nullptr) return false;
    const size_t length = std::wcslen(text);
    if (length > maxChars) return false;
    std::memcpy(field, text, length * sizeof(wchar_t));
    return true;
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

// Every request goes through here, in this order: its arguments, checked by the caller before
// (a bad one answers KX_E_INVALIDARG and never loads the service); then the service, looked up
// or else loaded unless `runningOnly` (`unreachable` when neither); then the request itself.
template <typename SendRequest>
auto KxService::Call(bool argumentsValid, const SendRequest& send, bool runningOnly,
                     int unreachable) -> decltype(send(HANDLE())) {
    if (!argumentsValid) return KX_E_INVALIDARG;
    const HANDLE service = runningOnly ? GetHandle() : Open();
    if (!Usable(service)) return unreachable;
    return send(service);
}

int KxService::Start() {
    return Call(kNothingToCheck, [](HANDLE service) {
        return SendForWord(service, KXSVC_START, nullptr, 0, kAnswerBytes);
    });
}

int KxService::Stop() {
    return Call(kNothingToCheck, [](HANDLE service) {
        return SendForWord(service, KXSVC_STOP, nullptr, 0, kAnswerBytes);
    });
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
    if (record != nullptr) record->scanResult = KXSVC_VERDICT_CLEAN;
    const bool valid =
        record != nullptr && (record->size == 0 || kx::IsReadableRange(record, record->size));
    const bool runningOnly = valid && record->runningOnly != 0;
    const auto scan = [record](HANDLE service) {
        FileScan_tag answer;
        std::memset(&answer, 0, sizeof answer);
        answer.size = sizeof answer;
        // The caller's size word says how much of its record goes out; the answer is always whole.
        const int status = Send(service, KXSVC_SCAN_FILE, record, record->size, &answer,
                                sizeof answer, sizeof answer);
        if (status == KX_OK) std::memcpy(record, &answer, sizeof answer);
        return status;
    };
    return Call(valid, scan, runningOnly, kScanUnreachable);
}

int KxService::ScanSMS(SMSScan_tag* record) {
    // The size word is written even when the service cannot be reached.
    if (record != nullptr) record->size = sizeof(SMSScan_tag);
    return Call(record != nullptr, [record](HANDLE service) -> int {
        SMSScan_tag answer;
        std::memset(&answer, 0, sizeof answer);
        answer.size = sizeof answer;
        const int status = Send(service, KXSVC_SCAN_SMS, record, sizeof *record, &answer,
                                sizeof answer, sizeof answer);
        if (status != KX_OK) return status;
        record->scanResult = answer.scanResult;
        const size_t answerUnits = sizeof record->answer / sizeof(wchar_t);
        std::wcsncpy(record->answer, answer.answer, answerUnits);  // zero-fills after the text
        return KX_OK;
    });
}

int KxService::ScanSCProtect(SCPROTECT_Tag* record) {
    const bool valid =
        record != nullptr && (record->length == 0 || kx::IsReadableRange(record, record->length));
    return Call(valid, [record](HANDLE service) {
        return Send(service, KXSVC_SCAN_SCPROTECT, record, record->length, nullptr, 0, kNoCount);
    });
}

int KxService::GetZRAPIVersion(ZRAPIVersion_tag* version) {
    return Call(version != nullptr, [version](HANDLE service) {
        return Send(service, KXSVC_GET_ZRAPI_VERSION, nullptr, 0, version, sizeof *version,
                    sizeof *version);
    });
}

int KxService::GetVirusInPatCount(unsigned long& count) {
    return Call(kNothingToCheck, [&count](HANDLE service) {
        DWORD answer = 0;
        const int status =
            Send(service, KXSVC_GET_VIRUS_COUNT, nullptr, 0, &answer, sizeof answer, sizeof answer);
        if (status == KX_OK) count = answer;
        return status;
    });
}

int KxService::GetVirusInPat(unsigned long index, VirusInfo_tag* virus) {
    return Call(virus != nullptr, [index, virus](HANDLE service) {
        const DWORD request = index;
        return Send(service, KXSVC_GET_VIRUS, &request, sizeof request, virus, sizeof *virus,
                    sizeof *virus);
    });
}

int KxService::QuarantineFile(const wchar_t* path, const wchar_t* virusName) {
    FileAction_tag action;
    std::memset(&action, 0, sizeof action);
    const bool valid = PutText(action.path, path, kMaxPathChars) &&
                       PutText(action.second, virusName, kMaxVirusNameChars);
    // Only the call's success counts: the answer word is the service's, preset to 0.
    return Call(valid, [&action](HANDLE service) {
        return SendForWord(service, KXSVC_QUARANTINE_FILE, &action, sizeof action, kAnyLength);
    });
}

int KxService::RestoreFile(const wchar_t* path, const wchar_t* destination, unsigned long value,
                           const FILETIME* time) {
    FileAction_tag action;
    std::memset(&action, 0, sizeof action);
    const bool valid = PutText(action.path, path, kMaxPathChars) &&
                       PutText(action.second, destination, kMaxPathChars) &&
                       kx::IsReadableRange(time, sizeof *time);
    if (valid) std::memcpy(&action.time, time, sizeof action.time);
    action.value = value;
    return Call(valid, [&action](HANDLE service) {
        return SendForWord(service, KXSVC_RESTORE_FILE, &action, sizeof action, kAnyLength);
    });
}

int KxService::SetArchiveFlag(unsigned long flag, unsigned long /*reserved*/) {
    return Call(kNothingToCheck, [flag](HANDLE service) {
        const DWORD word = flag;
        return Send(service, KXSVC_SET_ARCHIVE_FLAG, &word, sizeof word, nullptr, 0, kAnyLength);
    });
}

int KxService::WriteDebugLog(const wchar_t* text) {
    // A null text has no bytes either: both are refused unsent.
    const size_t bytes = text != nullptr ? std::wcslen(text) * sizeof(wchar_t) : 0;
    return Call(bytes != 0 && bytes <= MAXDWORD, [text, bytes](HANDLE service) {
        return Send(service, KXSVC_WRITE_DEBUG_LOG, text, static_cast<DWORD>(bytes), nullptr, 0,
                    kAnyLength);
    });
}

int KxService::SetUpdateSchedule(const SYSTEMTIME* time) {
    return Call(kNothingToCheck, [time](HANDLE service) {
        return Send(service, KXSVC_SET_UPDATE_SCHEDULE, time,
                    time != nullptr ? DWORD{sizeof *time} : 0, nullptr, 0, kAnyLength);
    });
}

int KxService::SetNotification(int value) {
    return Call(kNothingToCheck, [value](HANDLE service) {
        return Send(service, KXSVC_SET_NOTIFICATION, &value, sizeof value, nullptr, 0, kAnyLength);
    });
}

int KxService::MsgSvcPush(const wchar_t* text) {
    // The text goes with its terminator.
    const size_t bytes = text != nullptr ? (std::wcslen(text) + 1) * sizeof(wchar_t) : 0;
    return Call(text != nullptr && bytes <= MAXDWORD, [text, bytes](HANDLE service) {
        return Send(service, KXSVC_MSG_PUSH, text, static_cast<DWORD>(bytes), nullptr, 0, kNoCount);
    });
}

int KxService::MsgSvcPop(wchar_t* buffer) {
    return Call(buffer != nullptr, [buffer](HANDLE service) {
        return Send(service, KXSVC_MSG_POP, nullptr, 0, buffer, kMessageBytes, kNoCount);
    });
}

unsigned long KxService::MsgSvcSize() {
    return Call(kNothingToCheck, [](HANDLE service) {
        DWORD size = 0;
        if (!::ServiceIoControl(service, KXSVC_MSG_SIZE, nullptr, 0, nullptr, 0, &size, nullptr))
            return kSizeRequestFailed;
        return static_cast<unsigned long>(size);
    });
}

int KxService::MsgSvcClean() {
    return Call(kNothingToCheck, [](HANDLE service) {
        return Send(service, KXSVC_MSG_CLEAN, nullptr, 0, nullptr, 0, kNoCount);
    });
}

int KxService::MgiClean() {
    return Call(kNothingToCheck, [](HANDLE service) {
        return Send(service, KXSVC_MGI_CLEAN, nullptr, 0, nullptr, 0, kNoCount);
    });
}
