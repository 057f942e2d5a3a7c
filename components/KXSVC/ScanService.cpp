// KXSVC.dll, the reference scan service: the service entry points under the prefix "SAV" and
// the answer to every control code of the scan service protocol. Each request is checked
// against its code's exact record sizes before anything is read; the host hands requests over
// one at a time. A request that runs out of memory fails like any other refused request, and
// the service goes on answering. The test build (KXSVC_TEST_CONTROLS) also answers the control
// codes that make it misbehave and report its inner state; the service the SDK installs does
// not know them.
#include "Quarantine.h"
#include "Scanner.h"
#include "ServiceFiles.h"
#include "ServiceTestHooks.h"
#include "Utf8.h"
#include "internal/ScopedHandle.h"

#include <kxcommon/ScanRecords.h>

#include <cstring>
#include <cwchar>
#include <deque>
#include <string>
#include <vector>

namespace {

using namespace kxsvc;

constexpr DWORD kContextToken = 0x5356;  // what Init hands back; 0 would mean "failed"
constexpr DWORD kAnswerWord = sizeof(DWORD);
constexpr DWORD kPopBytes = 2048;
constexpr DWORD kAnyBytes = 0xFFFFFFFF;
constexpr size_t kMaxQueuedMessages = 1000;

// Answers of Start and Stop.
constexpr DWORD kStateChanged = 0;
constexpr DWORD kStateUnchanged = 1;

struct Request {
    const BYTE* in;
    DWORD inLen;
    BYTE* out;
    DWORD outLen;
    DWORD answered;  // bytes the answer holds
};

struct State {
    Scanner scanner;
    Quarantine quarantine;
    std::deque<std::wstring> queue;
    KxServiceState visible{};
    KxServiceFault fault{};
};

State* g_state = nullptr;

BOOL Refuse(DWORD error) {
    ::SetLastError(error);
    return FALSE;
}

std::wstring TextField(const wchar_t* field, size_t units) {
    size_t length = 0;
    while (length < units && field[length] != L'\0') ++length;
    return std::wstring(field, length);
}

void CopyText(wchar_t* field, size_t units, const std::wstring& text) {
    std::memset(field, 0, units * sizeof(wchar_t));
    std::wmemcpy(field, text.c_str(), text.size() < units ? text.size() : units - 1);
}

void AppendToLog(const std::wstring& line) {
    ::CreateDirectoryW(kServiceDir, nullptr);
    const kx::UniqueFile log(::CreateFileW(kServiceLog, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log) return;
    const std::string utf8 = ToUtf8(line + L"\r\n");
    DWORD written = 0;
    ::WriteFile(log.Get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

// ---- Handlers, one per control code ---------------------------------------------------

BOOL ScanFile(Request& r) {
    if (!g_state->visible.running) return Refuse(ERROR_SERVICE_NOT_ACTIVE);
    const auto* request = reinterpret_cast<const FileScan_tag*>(r.in);
    FileScan_tag answer;
    std::memcpy(&answer, request, sizeof answer);
    const Verdict verdict =
        g_state->scanner.ScanFile(TextField(request->path, sizeof request->path / 2));
    answer.size = sizeof answer;
    answer.scanResult = verdict.infected ? KXSVC_VERDICT_INFECTED : KXSVC_VERDICT_CLEAN;
    answer.resultWord = verdict.error;
    CopyText(answer.virusName, sizeof answer.virusName / 2, verdict.virus);
    if (verdict.infected) ++g_state->visible.mgiEvents;
    std::memcpy(r.out, &answer, sizeof answer);
    r.answered = sizeof answer;
    return TRUE;
}

BOOL ScanSms(Request& r) {
    if (!g_state->visible.running) return Refuse(ERROR_SERVICE_NOT_ACTIVE);
    const auto* request = reinterpret_cast<const SMSScan_tag*>(r.in);
    // The message part holds a NUL-terminated UTF-16 text.
    const std::wstring text =
        TextField(reinterpret_cast<const wchar_t*>(request->message), sizeof request->message / 2);
    const Verdict verdict = g_state->scanner.ScanText(text);
    SMSScan_tag answer;
    std::memset(&answer, 0, sizeof answer);
    answer.size = sizeof answer;
    answer.scanResult = verdict.infected ? KXSVC_VERDICT_INFECTED : KXSVC_VERDICT_CLEAN;
    CopyText(answer.answer, sizeof answer.answer / 2, verdict.infected ? verdict.virus : L"clean");
    if (verdict.infected) ++g_state->visible.mgiEvents;
    std::memcpy(r.out, &answer, sizeof answer);
    r.answered = sizeof answer;
    return TRUE;
}

BOOL StartOrStop(Request& r, DWORD running) {
    const DWORD answer = g_state->visible.running == running ? kStateUnchanged : kStateChanged;
    g_state->visible.running = running;
    std::memcpy(r.out, &answer, sizeof answer);
    r.answered = sizeof answer;
    return TRUE;
}
BOOL Start(Request& r) { return StartOrStop(r, 1); }
BOOL Stop(Request& r) { return StartOrStop(r, 0); }

BOOL GetVersion(Request& r) {
    ZRAPIVersion_tag version;
    std::memset(&version, 0, sizeof version);
    CopyText(version.engineVersion, sizeof version.engineVersion / 2,
             g_state->scanner.EngineVersion());
    version.patternVersion = g_state->scanner.PatternVersion();
    std::memcpy(r.out, &version, sizeof version);
    r.answered = sizeof version;
    return TRUE;
}

BOOL GetVirusCount(Request& r) {
    const DWORD count = static_cast<DWORD>(g_state->scanner.Viruses().size());
    std::memcpy(r.out, &count, sizeof count);
    r.answered = sizeof count;
    return TRUE;
}

BOOL GetVirus(Request& r) {
    DWORD index = 0;
    std::memcpy(&index, r.in, sizeof index);
    const auto viruses = g_state->scanner.Viruses();
    if (index >= viruses.size()) return Refuse(ERROR_NO_MORE_ITEMS);
    VirusInfo_tag info;
    std::memset(&info, 0, sizeof info);
    info.index = index;
    CopyText(info.name, sizeof info.name / 2, viruses[index]);
    std::memcpy(r.out, &info, sizeof info);
    r.answered = sizeof info;
    return TRUE;
}

BOOL WriteDebugLog(Request& r) {
    if (r.inLen % sizeof(wchar_t) != 0) return Refuse(ERROR_INVALID_PARAMETER);
    AppendToLog(std::wstring(reinterpret_cast<const wchar_t*>(r.in), r.inLen / sizeof(wchar_t)));
    return TRUE;
}

BOOL ScanProtect(Request& r) {
    const auto* request = reinterpret_cast<const SCPROTECT_Tag*>(r.in);
    if (request->length != r.inLen) return Refuse(ERROR_INVALID_PARAMETER);
    g_state->visible.lastProtectLength = request->length;
    return TRUE;
}

void DieBeforeRecord() {
    if (g_state->fault.mode == KXSVC_FAULT_DIE_AFTER_MOVE) ::ExitProcess(ERROR_PROCESS_ABORTED);
}

BOOL QuarantineFile(Request& r) {
    const auto* action = reinterpret_cast<const FileAction_tag*>(r.in);
    const DWORD answer = g_state->quarantine.Add(TextField(action->path, 261),
                                                 TextField(action->second, 261), DieBeforeRecord);
    std::memcpy(r.out, &answer, sizeof answer);
    r.answered = sizeof answer;
    return TRUE;
}

BOOL RestoreFile(Request& r) {
    const auto* action = reinterpret_cast<const FileAction_tag*>(r.in);
    const DWORD answer =
        g_state->quarantine.Restore(TextField(action->path, 261), TextField(action->second, 261),
                                    (action->value & 1) != 0, action->time);
    std::memcpy(r.out, &answer, sizeof answer);
    r.answered = sizeof answer;
    return TRUE;
}

BOOL SetUpdateSchedule(Request& r) {
    g_state->visible.hasSchedule = r.inLen != 0;
    if (r.inLen != 0)
        std::memcpy(&g_state->visible.schedule, r.in, sizeof g_state->visible.schedule);
    else
        std::memset(&g_state->visible.schedule, 0, sizeof g_state->visible.schedule);
    return TRUE;
}

BOOL SetNotification(Request& r) {
    std::memcpy(&g_state->visible.notification, r.in, sizeof(DWORD));
    return TRUE;
}

BOOL SetArchiveFlag(Request& r) {
    std::memcpy(&g_state->visible.archiveFlag, r.in, sizeof(DWORD));
    return TRUE;
}

BOOL MsgClean(Request&) {
    g_state->queue.clear();
    return TRUE;
}

BOOL MsgPush(Request& r) {
    const auto* text = reinterpret_cast<const wchar_t*>(r.in);
    const DWORD units = r.inLen / sizeof(wchar_t);
    if (r.inLen % sizeof(wchar_t) != 0 || units == 0 || text[units - 1] != L'\0')
        return Refuse(ERROR_INVALID_PARAMETER);
    if (g_state->queue.size() >= kMaxQueuedMessages) return Refuse(ERROR_NOT_ENOUGH_MEMORY);
    g_state->queue.push_back(TextField(text, units));
    return TRUE;
}

BOOL MsgPop(Request& r) {
    if (g_state->queue.empty()) return Refuse(ERROR_NO_MORE_ITEMS);
    // A message longer than the buffer comes out cut, and terminated.
    CopyText(reinterpret_cast<wchar_t*>(r.out), r.outLen / sizeof(wchar_t), g_state->queue.front());
    g_state->queue.pop_front();
    r.answered = r.outLen;
    return TRUE;
}

BOOL MsgSize(Request& r) {
    // The size is the number of queued messages.
    r.answered = static_cast<DWORD>(g_state->queue.size());
    return TRUE;
}

BOOL MgiClean(Request&) {
    g_state->visible.mgiEvents = 0;
    return TRUE;
}

#if defined(KXSVC_TEST_CONTROLS)
BOOL SetFault(Request& r) {
    std::memcpy(&g_state->fault, r.in, sizeof g_state->fault);
    return TRUE;
}

BOOL ReportState(Request& r) {
    std::memcpy(r.out, &g_state->visible, sizeof g_state->visible);
    r.answered = sizeof g_state->visible;
    return TRUE;
}
#endif

struct Handler {
    DWORD code;
    DWORD inLen;   // exact input bytes, or kAnyBytes
    DWORD outLen;  // exact output bytes, or kAnyBytes
    BOOL (*handle)(Request&);
};

const Handler kHandlers[] = {
    {KXSVC_SCAN_FILE, sizeof(FileScan_tag), sizeof(FileScan_tag), ScanFile},
    {KXSVC_STOP, 0, kAnswerWord, Stop},
    {KXSVC_START, 0, kAnswerWord, Start},
    {KXSVC_SCAN_SMS, sizeof(SMSScan_tag), sizeof(SMSScan_tag), ScanSms},
    {KXSVC_GET_ZRAPI_VERSION, 0, sizeof(ZRAPIVersion_tag), GetVersion},
    {KXSVC_GET_VIRUS_COUNT, 0, sizeof(DWORD), GetVirusCount},
    {KXSVC_GET_VIRUS, sizeof(DWORD), sizeof(VirusInfo_tag), GetVirus},
    {KXSVC_WRITE_DEBUG_LOG, kAnyBytes, 0, WriteDebugLog},
    {KXSVC_SCAN_SCPROTECT, kAnyBytes, 0, ScanProtect},
    {KXSVC_QUARANTINE_FILE, sizeof(FileAction_tag), kAnswerWord, QuarantineFile},
    {KXSVC_RESTORE_FILE, sizeof(FileAction_tag), kAnswerWord, RestoreFile},
    {KXSVC_SET_UPDATE_SCHEDULE, kAnyBytes, 0, SetUpdateSchedule},
    {KXSVC_SET_NOTIFICATION, sizeof(DWORD), 0, SetNotification},
    {KXSVC_SET_ARCHIVE_FLAG, sizeof(DWORD), 0, SetArchiveFlag},
    {KXSVC_MSG_CLEAN, 0, 0, MsgClean},
    {KXSVC_MSG_PUSH, kAnyBytes, 0, MsgPush},
    {KXSVC_MSG_POP, 0, kPopBytes, MsgPop},
    {KXSVC_MSG_SIZE, 0, 0, MsgSize},
    {KXSVC_MGI_CLEAN, 0, 0, MgiClean},
#if defined(KXSVC_TEST_CONTROLS)
    {KXSVC_TEST_FAULT, sizeof(KxServiceFault), 0, SetFault},
    {KXSVC_TEST_STATE, 0, sizeof(KxServiceState), ReportState},
#endif
};

// The variable-length inputs still have bounds: a protect request at least its length word,
// a schedule either nothing or one SYSTEMTIME, log and queue texts at least one character.
bool VariableInputFits(DWORD code, DWORD inLen) {
    switch (code) {
    case KXSVC_SCAN_SCPROTECT:
        return inLen >= sizeof(SCPROTECT_Tag);
    case KXSVC_SET_UPDATE_SCHEDULE:
        return inLen == 0 || inLen == sizeof(SYSTEMTIME);
    default:
        return inLen >= sizeof(wchar_t);
    }
}

#if defined(KXSVC_TEST_CONTROLS)
// The fault this request meets, using up one request of a counted fault.
DWORD TakeFault(DWORD code) {
    KxServiceFault& fault = g_state->fault;
    if (fault.mode == KXSVC_FAULT_NONE || fault.mode == KXSVC_FAULT_DIE_AFTER_MOVE)
        return KXSVC_FAULT_NONE;
    if (code == KXSVC_TEST_FAULT || code == KXSVC_TEST_STATE) return KXSVC_FAULT_NONE;
    if (fault.code != 0 && fault.code != code) return KXSVC_FAULT_NONE;
    const DWORD mode = fault.mode;
    if (fault.count != 0 && --fault.count == 0) fault.mode = KXSVC_FAULT_NONE;
    return mode;
}
#else
DWORD TakeFault(DWORD) { return KXSVC_FAULT_NONE; }
#endif

BOOL Serve(const Handler& handler, DWORD code, PBYTE in, DWORD inBytes, PBYTE out, DWORD outBytes,
           PDWORD actualOut) {
    ++g_state->visible.requests;
    const DWORD fault = TakeFault(code);
    // A service that answers without its answer word: the work is done into a scratch copy.
    std::vector<BYTE> unanswered(fault == KXSVC_FAULT_NO_ANSWER ? outBytes : 0);
    Request request{in, inBytes, unanswered.empty() ? out : unanswered.data(), outBytes, 0};
    if (fault == KXSVC_FAULT_REFUSE) return Refuse(ERROR_ACCESS_DENIED);
    if (fault == KXSVC_FAULT_DELAY) ::Sleep(g_state->fault.param);

    const AllocationsFail noMemory(fault == KXSVC_FAULT_NO_MEMORY);
    const BOOL ok = handler.handle(request);
    const bool fixedAnswer = handler.outLen != kAnyBytes && handler.outLen != 0;
    if (ok && fixedAnswer && fault == KXSVC_FAULT_SHORT_ANSWER)
        request.answered = handler.outLen - 1;
    if (ok && fixedAnswer && fault == KXSVC_FAULT_LONG_ANSWER)
        request.answered = handler.outLen + 4;
    if (fault == KXSVC_FAULT_NO_ANSWER) request.answered = 0;
    if (actualOut != nullptr) *actualOut = request.answered;
    return ok;
}

}  // namespace

extern "C" {

// The product loads the service with context 1; context 0 is refused, so that a failing Init
// can be seen.
__declspec(dllexport) DWORD WINAPI SAV_Init(DWORD context) {
    if (context == 0) return 0;
    try {
        if (g_state == nullptr) g_state = new State();
        g_state->visible.running = 1;
        g_state->quarantine.Repair();
        return kContextToken;
    } catch (...) {
        ::SetLastError(ERROR_OUTOFMEMORY);
        return 0;
    }
}

__declspec(dllexport) BOOL WINAPI SAV_Deinit(DWORD /*context*/) {
    delete g_state;
    g_state = nullptr;
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI SAV_IOControl(DWORD context, DWORD code, PBYTE in, DWORD inLen,
                                                PBYTE out, DWORD outLen, PDWORD actualOut) {
    if (context != kContextToken || g_state == nullptr) return Refuse(ERROR_INVALID_HANDLE);
    const Handler* handler = nullptr;
    for (const Handler& h : kHandlers)
        if (h.code == code) handler = &h;
    if (handler == nullptr) return Refuse(ERROR_INVALID_FUNCTION);

    // A record of the wrong size is refused before any of it is read.
    const DWORD inBytes = in != nullptr ? inLen : 0;
    const DWORD outBytes = out != nullptr ? outLen : 0;
    if (handler->inLen == kAnyBytes ? !VariableInputFits(code, inBytes) : inBytes != handler->inLen)
        return Refuse(ERROR_INVALID_PARAMETER);
    if (handler->outLen != kAnyBytes && outBytes != handler->outLen)
        return Refuse(ERROR_INSUFFICIENT_BUFFER);

    // Out of memory, a request fails and leaves the service as it was for the next one; nothing
    // thrown may reach the host, which serves every caller of the device.
    try {
        return Serve(*handler, code, in, inBytes, out, outBytes, actualOut);
    } catch (...) {
        return Refuse(ERROR_OUTOFMEMORY);
    }
}

}  // extern "C"
