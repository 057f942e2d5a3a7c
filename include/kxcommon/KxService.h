// KxService: the client of the scan service. Each object finds the running service ("SAV0:")
// or loads it ("KXSVC.dll", prefix "SAV", index 0) on its first request and keeps the handle;
// destroying the object only forgets the handle, and the service stays loaded until Release.
//
// Statuses: 0; KX_E_SERVICE_NOT_FOUND (0x70000) when the service can be neither found nor
// loaded; KX_E_SERVICE_REQUEST (0xB0000) when the request fails or the answer has the wrong
// length; KX_E_INVALIDARG (0xF0000) for a bad argument, checked before the service is looked up
// or loaded. Start, Stop, QuarantineFile, RestoreFile and MsgSvcSize hand back the service's own
// answer where noted.
//
// One object is for one thread at a time; separate objects may talk to the service at once.
// Copies share the handle value.
#pragma once

#include "KxExport.h"
#include "KxStatus.h"
#include "ScanRecords.h"

class KXCOMMON_API KxService {
public:
    KxService();
    ~KxService();

    // The running service's handle, or the failed value; never loads the service.
    HANDLE GetHandle();

    // The service's 32-bit answer when exactly 4 bytes come back.
    int Start();
    int Stop();
    // Unloads the running service, if any. Always 0.
    int Release();
    // Forgets the handle; the next request looks the service up again. Always 0.
    int CloseSrvHandle();

    // Scans the file the record names; the service's answer replaces the whole record. The
    // verdict is 0 after any failure. Uses only a loaded service when `runningOnly` is set.
    int ScanFile(FileScan_tag* record);
    // Scans a text message: the verdict and answer text come back, the message is left.
    int ScanSMS(SMSScan_tag* record);
    // Sends a protect request of record->length bytes.
    int ScanSCProtect(SCPROTECT_Tag* record);

    int GetZRAPIVersion(ZRAPIVersion_tag* version);
    // The number of viruses of the pattern; untouched on failure.
    int GetVirusInPatCount(unsigned long& count);
    int GetVirusInPat(unsigned long index, VirusInfo_tag* virus);

    // Moves a file into quarantine under a virus name (at most 20 characters); the path may
    // have at most 260 characters. Answers the service's word: 0 is success.
    int QuarantineFile(const wchar_t* path, const wchar_t* virusName);
    // Gives a quarantined file back. The reference service reads `path` as the file's original
    // path, `destination` as where to put it (empty: the original path), bit 0 of `value` as
    // "replace an existing file" and a nonzero `time` as the quarantine time of the entry to
    // restore (zero: the newest). Answers the service's word: 0 is success.
    int RestoreFile(const wchar_t* path, const wchar_t* destination, unsigned long value,
                    const FILETIME* time);
    // Sends `flag`; `reserved` is not sent.
    int SetArchiveFlag(unsigned long flag, unsigned long reserved);

    // Appends a line to the service's debug log; a null or empty text is refused unsent.
    int WriteDebugLog(const wchar_t* text);
    // The time of the next automatic update, or null when scheduled updating is off.
    int SetUpdateSchedule(const SYSTEMTIME* time);
    int SetNotification(int value);

    // The message queue: push a text, pop the oldest into a buffer of at least 1024 units,
    // count the messages, empty it.
    int MsgSvcPush(const wchar_t* text);
    int MsgSvcPop(wchar_t* buffer);
    // The number of queued messages; 0xFFFFFFFF when the request fails and
    // KX_E_SERVICE_NOT_FOUND when the service cannot be reached.
    unsigned long MsgSvcSize();
    int MsgSvcClean();
    int MgiClean();

private:
    HANDLE Open();
    // The one way of every request to the service (KxService.cpp).
    template <typename SendRequest>
    auto Call(bool argumentsValid, const SendRequest& send, bool runningOnly = false,
              int unreachable = KX_E_SERVICE_NOT_FOUND) -> decltype(send(HANDLE()));

    HANDLE m_handle;
};
