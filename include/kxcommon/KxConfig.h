// KxConfig: the product's settings store and protection controls. Every member is static; the
// class is never instantiated. Each setting is one registry value of the product's tree under
// HKEY_LOCAL_MACHINE, reached through a named accessor, so no program spells a key path.
//
// Unless a member says otherwise it returns a status: 0, KX_E_REGISTRY (0x30000) or
// KX_E_INVALIDARG (0xF0000). A getter leaves its output unchanged when the value is missing,
// unless its comment names a default.
#pragma once

#include "KxExport.h"
#include "KxStatus.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

class KXCOMMON_API KxConfig {
public:
    // ---- Settings catalogue -------------------------------------------------------------
    //
    // Text getters take the buffer's capacity in characters; a stored text that does not fit
    // gives KX_E_REGISTRY. Yes/no getters ("Be" in the name, and GetEnableAcceptList) always
    // write 1 or 0 (0 when the value is missing); their setters store 1 for any nonzero value.

    // The stored language number; the output is left as it was when the value is missing.
    static unsigned long GetProductLanguage(unsigned long& language);

    // Both always return 0.
    static KXSTATUS GetSpamFolder(wchar_t* folder, int length);
    static KXSTATUS SetSpamFolder(const wchar_t* folder);

    static KXSTATUS GetEnableAcceptList(int& enabled);
    static KXSTATUS SetEnableAcceptList(int enabled);
    static KXSTATUS GetBeRealTimeScan(int& enabled);
    static KXSTATUS SetBeRealTimeScan(int enabled);
    static KXSTATUS GetBeSafeMode(int& mode);  // as stored
    static KXSTATUS SetBeSafeMode(int mode);
    static KXSTATUS GetBeInsCardScan(int& enabled);
    static KXSTATUS SetBeInsCardScan(int enabled);

    // which = 0: the primary update server; any other: the backup server. "Offical" is the
    // product's own spelling, by which its programs link to these two: never correct it.
    static KXSTATUS GetOfficalServer(wchar_t* server, int length, int which);
    static KXSTATUS SetOfficalServer(const wchar_t* server, int which);

    static KXSTATUS GetScanFileType(unsigned long& types);
    static KXSTATUS SetScanFileType(unsigned long types);
    static KXSTATUS GetUncompressSize(unsigned long& bytes);
    static KXSTATUS SetUncompressSize(unsigned long bytes);
    // The depth of nested archives to scan; the setter stores it clamped to 1..3.
    static KXSTATUS GetScanLayer(unsigned long& layers);
    static KXSTATUS SetScanLayer(unsigned long layers);

    static KXSTATUS GetTaskLogFileName(wchar_t* name, unsigned long length);
    static KXSTATUS SetTaskLogFileName(const wchar_t* name);
    static KXSTATUS GetVirusLogFileName(wchar_t* name, unsigned long length);
    static KXSTATUS SetVirusLogFileName(const wchar_t* name);
    static KXSTATUS GetSMSLogFileName(wchar_t* name, unsigned long length);
    static KXSTATUS SetSMSLogFileName(const wchar_t* name);
    static KXSTATUS GetMsgLogFileName(wchar_t* name, unsigned long length);
    static KXSTATUS SetMsgLogFileName(const wchar_t* name);
    static KXSTATUS GetLogFileSize(unsigned long& bytes);
    static KXSTATUS SetLogFileSize(unsigned long bytes);
    static KXSTATUS GetDebugLogFileSize(unsigned long& bytes);
    static KXSTATUS SetDebugLogFileSize(unsigned long bytes);

    static KXSTATUS GetSpamPreventionLevel(unsigned long& level);
    static KXSTATUS SetSpamPreventionLevel(unsigned long level);
    static KXSTATUS GetBeBlockSMSWithoutCallerId(unsigned long& option);  // as stored
    static KXSTATUS SetBeBlockSMSWithoutCallerId(unsigned long option);
    static KXSTATUS GetImportOption(unsigned long& option);
    static KXSTATUS SetImportOption(unsigned long option);
    static KXSTATUS GetWapPushLevel(unsigned long& level);
    static KXSTATUS SetWapPushLevel(unsigned long level);
    static KXSTATUS GetRomFileSleepTime(unsigned long& sleep);
    static KXSTATUS SetRomFileSleepTime(unsigned long sleep);

    static KXSTATUS SetLastPattern(wchar_t* fileName);
    static KXSTATUS GetDebugLogFlag(unsigned long& flag);
    static KXSTATUS SetDebugLogFlag(unsigned long flag);
    static KXSTATUS GetDebugLogOption(unsigned long& option);
    // The proxy password is stored as plain text.
    static KXSTATUS GetPxyPwd(wchar_t* password, unsigned long length);
    static KXSTATUS SetPxyPwd(wchar_t* password);
    static KXSTATUS GetSpaceFactor(unsigned long& factor);
    static KXSTATUS SetSpaceFactor(unsigned long factor);
    static KXSTATUS GetSuperLab(unsigned long& value);
    // The version recorded by the previous product version (its own key, read only).
    static KXSTATUS GetOldProductVersion(wchar_t* version, unsigned long length);
    static KXSTATUS SetDeviceType(unsigned long type);

    static KXSTATUS GetStartupTemp(wchar_t* path, int length);
    static KXSTATUS SetStartupTemp(const wchar_t* path);
    static KXSTATUS DelStartupTemp();
    static KXSTATUS GetInsertCardTitle(wchar_t* title, int length);
    static KXSTATUS SetInsertCardTitle(const wchar_t* title);
    static KXSTATUS DelInsertCardTitle();
    static KXSTATUS GetStartupFlag(unsigned long& flag);
    static KXSTATUS SetStartupFlag(unsigned long flag);
    static KXSTATUS DelStartupFlag();

    // The option itself; a missing value reads as 1, and 1 is then written back.
    static unsigned long GetRTScanOption();
    static KXSTATUS SetRTScanOption(unsigned long option);

    static KXSTATUS GetAutomaticUpdate(unsigned long& option);
    static KXSTATUS SetAutomaticUpdate(unsigned long option);
    // Days between updates; the setter stores 1, 7, 14 or 30 as given and 1 for anything else.
    static KXSTATUS GetAutomaticUpdateFrequency(unsigned long& days);
    static KXSTATUS SetAutomaticUpdateFrequency(unsigned long days);

    static KXSTATUS GetMiscOpt(unsigned long& flags);
    static KXSTATUS SetMiscOpt(unsigned long flags);
    // Bit 0 of MiscOpt. Setting it needs an existing MiscOpt; other bits are kept.
    static KXSTATUS GetRunOnce(unsigned long& flag);
    static KXSTATUS SetRunOnce(unsigned long flag);

    static KXSTATUS GetPromptWhenConnectByWireless(unsigned long& option);
    static KXSTATUS SetPromptWhenConnectByWireless(unsigned long option);

    // Management server.
    static KXSTATUS SetMgiValid(unsigned long valid);
    // Milliseconds; the output is 600000 (ten minutes) when the value is missing.
    static KXSTATUS GetMgiUploadIdleTime(unsigned long& milliseconds);
    static KXSTATUS SetMgiUploadIdleTime(unsigned long milliseconds);
    // The output is 1 when the value is missing. "Recieve" is the product's own spelling, by
    // which its programs link to these two: never correct it.
    static KXSTATUS GetUpdateRecievePrompt(unsigned long& prompt);
    static KXSTATUS SetUpdateRecievePrompt(unsigned long prompt);
    static KXSTATUS GetMamoHostName(wchar_t* host, int length);
    // The host name in the device's ANSI code page; `length` in bytes. -1 for a null, empty or
    // unwritable buffer, else the status of the read. The buffer is zero-filled first.
    static KXSTATUS GetMamoHostName(char* host, int length);
    static KXSTATUS SetMamoHostName(const wchar_t* host);
    // The port, or 0 when none is stored.
    static unsigned short GetMamoHostPort();
    static KXSTATUS SetMamoHostPort(unsigned short port);
    // 1 when the stored number is exactly 1 or the value is missing, else 0.
    static int GetMamoSendVirusLog();
    static KXSTATUS SetMamoSendVirusLog(int send);
    static int GetMamoPromptSendLog();
    static KXSTATUS SetMamoPromptSendLog(unsigned long prompt);  // stored unchanged
    static int GetMamoSendUpdateLog();
    static KXSTATUS SetMamoSendUpdateLog(int send);
    // 1 when the stored number is exactly 1, else 0 (also when missing).
    static int GetMamoLockAll();
    static KXSTATUS SetMamoLockAll(int lock);

    // Always 0; a missing value reads as 10 and 10 is then written back.
    static KXSTATUS GetMessageMaxNumber(unsigned long& count);
    static KXSTATUS SetMessageMaxNumber(unsigned long count);
    static KXSTATUS GetIncludeMGI(unsigned long& include);

    // Brings the shell's file explorer to the foreground when it runs. Always 0.
    static KXSTATUS ShowFExplore();

    // ---- Directories, versions and times ------------------------------------------------
    //
    // Directory getters hand back the directory ending in a backslash. A null buffer gives
    // KX_E_INVALIDARG; a missing value, or a directory that does not fit the buffer with its
    // backslash, gives KX_E_REGISTRY and leaves the buffer empty. An empty setting gives 0 and
    // the empty text: no directory is known, and the members that keep their files in the
    // application directory then fail rather than look at the device root.

    // The application directory, read once per process and kept.
    static KXSTATUS GetAppDir(wchar_t* directory, unsigned long length);
    // The product's system directory.
    static KXSTATUS GetSysDir(wchar_t* directory, unsigned long length);
    // The device's Startup folder.
    static KXSTATUS GetStartupDir(wchar_t* directory, int length);

    // The version text a.b.c.d, with at most four characters after its last point.
    static KXSTATUS GetFullVersion(wchar_t* version, unsigned long length);
    // The version as two words: high = a << 16 | b, low = c << 16 | d. When no version is
    // stored both words are 0 and the status is KX_E_REGISTRY.
    static KXSTATUS GetFullVersion(unsigned long& high, unsigned long& low);
    static KXSTATUS SetFullVersion(const wchar_t* version);
    static KXSTATUS SetFullVersion(unsigned long high, unsigned long low);
    // Adds one to the third part of the version (65535 wraps to 0 without a carry). With no
    // version stored it writes 0.0.1.0.
    static KXSTATUS IncrementVer();
    // The version as one 64-bit number: high word above, low word below.
    static KXSTATUS GetProductVersion(ULARGE_INTEGER& version);

    // Time records: 0, or KX_E_REGISTRY when the value is missing or not exactly 16 bytes.
    static KXSTATUS SetLastMSTime(const SYSTEMTIME& time);
    static KXSTATUS GetLastMSTime(SYSTEMTIME& time);
    static KXSTATUS SetLastUpdateTime(const SYSTEMTIME& time);
    static KXSTATUS SetLastUpdateTime();  // the current local time
    static KXSTATUS GetLastUpdateTime(SYSTEMTIME& time);
    static KXSTATUS SetScheduleUpdateTime(const SYSTEMTIME* time);
    static KXSTATUS GetScheduleUpdateTime(SYSTEMTIME* time);

    // The product's start: the current local time, or 30 seconds before it for set-up.
    static KXSTATUS SetStartUpTime();
    static KXSTATUS SetStartUpTime_Setup();
    // Seconds since the recorded start; the output is untouched when none is recorded.
    static KXSTATUS GetStartUpTillNow(unsigned long& seconds);

    // ---- Real-time scanning and the WAP-push filter ----------------------------------------
    //
    // Switched by the hook loader, "KxHookLoader.exe" in the system directory, started with one
    // keyword as its whole command line. With `wait` the call waits up to 30 seconds for it to
    // end. Statuses: 0; KX_E_PROGRAM_NOT_STARTED (real-time) or KX_E_WAPFILTER_NOT_STARTED when
    // it could not be started; the time-out status of each operation when it ran longer.

    // "STARTUP_ENABLE_REALTIME" with `atStartup` (the device is starting), else "ENABLE_REALTIME";
    // time-out KX_E_RTSCAN_START_TIMEOUT.
    static int StartRealTimeScan(int wait, int atStartup);
    // "DISABLE_REALTIME"; time-out KX_E_RTSCAN_STOP_TIMEOUT.
    static int StopRealTimeScan(int wait);
    // "ENABLE_WapPushFilter"; time-out KX_E_WAPFILTER_START_TIMEOUT.
    static int StartWapPushFilter(int wait);
    // "DISABLE_WapPushFilter"; time-out KX_E_WAPFILTER_STOP_TIMEOUT.
    static int StopWapPushFilter(int wait);
    // Does nothing. Always 0.
    static int DisableAllFeature();

    // ---- Startup folder ---------------------------------------------------------------------

    // `match` 1 when the path's type is to be scanned under "FileScanType" (bit 0 exe, bit 1
    // dll, bit 2 cab and zip, 0x7FFFFFFF every file), else 0. KX_E_INVALIDARG for a null path
    // (match untouched); the read's status when the setting is missing and the path has an
    // extension.
    static int GetMatchFile(const wchar_t* path, int& match);
    // 0 when the path lies in the Startup folder (or below it), compared case-sensitively;
    // KX_E_PATH_TOO_SHORT for an empty path, KX_E_NO_STARTUP_DIR when the folder is not known,
    // KX_E_NOT_IN_STARTUP otherwise.
    static int IsInStartup(const wchar_t* path);
    // Scans a file, or the target of a shortcut (".lnk"), and puts what is infected into
    // quarantine: a shortcut is deleted and its target quarantined; a program in use is ended
    // and quarantine asked once more. 0 whatever the verdict; KX_E_PATH_TOO_SHORT for a path of
    // fewer than 4 characters.
    static int ScanIt(const wchar_t* path);
    // Hands every file of the Startup folder to ScanIt. 0, or KX_E_NO_STARTUP_DIR when the
    // folder is not known.
    static int ScanStartup();

    // ---- Processes and synchronisation events ------------------------------------------

    // Ends (exit code 0xFFFFFFFF) every running process whose executable is one of the named
    // programs, compared without regard to case. The names follow the directory selector
    // (KX_DIR_SYSTEM, KX_DIR_APP, or any other value for full paths) and end with a null
    // pointer. Always 0.
    static int KillProcess(long selector, ...);
    // Ends the main user interface, "KxMain.exe" in the application directory. Always 0.
    static int KillUIProcess();
    // Registers "\Windows\repllog.exe" for the serial-connection event. 0, or KX_E_INVALIDARG
    // (nothing done) when `guard` is 0. What the notification service answers is not looked at,
    // except that it ran out of memory: then KX_E_REGISTRY, and the program may not be
    // registered.
    static int SetActiveSynEvent(int guard);
    // Removes every event registration of "\Windows\repllog.exe" and of "repllog.exe", with the
    // same results; when the service ran out of memory for one of the two names, the other's
    // registrations may be gone already.
    static int DelActiveSynEvent(int guard);
    // Starts "repllog.exe" as the serial-connection event would, at the highest priority, without
    // waiting. 0, or KX_E_PROGRAM_NOT_STARTED.
    static int RunActiveSynEvent();

    // ---- First run ----------------------------------------------------------------------

    // Writes the first-run values of the settings. Always 0.
    static KXSTATUS InitOtherReg();

    // ---- Update schedule and pattern bookkeeping ----------------------------------------

    // Tells the scan service when the next automatic update is due: `start` (null: now, local
    // time) plus ScheduleUpdateFrequency days (30 when it is not stored), by the calendar. When
    // ScheduleUpdateOption is 0 or missing the service gets no time and drops its schedule.
    // Always 0; the service's answer is not examined.
    static int SetUpdateSchedule(const SYSTEMTIME* start);
    // Copies the engine and pattern versions the scan service reports into ZRAPIEngineVer and
    // ZRAPIPatternVer. 0, or KxService's failure status with both settings left as they were.
    static int SetZRApiVersionReg();
    // LastPatternFilename, lower-cased, and cut three characters after "scvpnwce." when the
    // name has more (\temp\scvpnwce.456.bak reads as \temp\scvpnwce.456). The buffer
    // (capacity in characters) is normalised whatever the read reported; a null buffer or a
    // capacity of 0 gives KX_E_INVALIDARG.
    static KXSTATUS GetLastPattern(wchar_t* fileName, unsigned long length);
    // The 16-byte MD5 digest of the message server (KxMsgSvr.exe in the system directory)
    // kept in RepMD5. GetMD5 needs a 16-byte buffer. SetMD5 computes it afresh and stores it;
    // KX_E_REGISTRY, with RepMD5 unchanged, when the file cannot be read.
    static KXSTATUS GetMD5(char* digest);
    static KXSTATUS SetMD5();

    // ---- Subscription file -----------------------------------------------------------------
    //
    // Sets the attributes SubscribeNumber, UnsubscribeNumber, SubscribePatternHeader and
    // UnsubscribePatternHeader of the first ServiceProvider element below the document element
    // and saves the file; a null or empty argument leaves its attribute as it was. 1 when the
    // file was loaded (also when it has no ServiceProvider, and whatever saving reports); 0
    // when it is missing or not XML, or the XML DOM is unavailable, the file then untouched.
    // The library never creates the file.

    // subscription.xml in the application directory.
    static int SetSpdXml(const wchar_t* subscribeNumber, const wchar_t* unsubscribeNumber,
                         const wchar_t* subscribeHeader, const wchar_t* unsubscribeHeader);
    static int SetSpdXmlEx(const wchar_t* path, const wchar_t* subscribeNumber,
                           const wchar_t* unsubscribeNumber, const wchar_t* subscribeHeader,
                           const wchar_t* unsubscribeHeader);

    // ---- Management server -----------------------------------------------------------------

    // 1 when IsMgiValid is nonzero and a management host name is configured, else 0.
    static int GetMgiValid();
    // 1 when IsMgiValid is nonzero, else 0 (also when it is missing).
    static int GetMgiValidSimple();
    // Clears the server address: host name empty, port 0.
    static void EmptyMgiParam();
    // Applies configmgi.xml from the application directory (UTF-16 text) through the
    // platform's configuration manager, then deletes it. 0 done or no document; -1 the
    // document cannot be read or is empty; -2 the platform rejected it. On -1 and -2 the
    // document stays for a later attempt.
    static int RecoverMgiConfig();
    // The key file mgi.key in the application directory: two opaque components, each a 32-bit
    // length (never 0) and its bytes, then a flag byte written as 1.
    //
    // GetRsaKeyEx: on entry the lengths are the capacities of the buffers in bytes; they
    // receive the stored lengths as they are read. 1 when both components were read, `flag`
    // then 1, or 0 for a file that ends before its flag byte. 0 for a missing, damaged or cut
    // file, or a component larger than its buffer; nothing is written past a buffer.
    static int GetRsaKeyEx(unsigned char* first, unsigned long& firstLength, unsigned char* second,
                           unsigned long& secondLength, unsigned char& flag);
    // 1 when the whole file was written. A null or zero-length component gives 0 before the
    // file is touched.
    static int SetRsaKeyEx(unsigned char* first, unsigned long& firstLength, unsigned char* second,
                           unsigned long& secondLength);
    // The ConfigURL setting; the flag is not used.
    static KXSTATUS GetConfigURL(wchar_t* url, unsigned long length, bool unused = false);

    // ---- Caller lists -------------------------------------------------------------------
    //
    // Four lists of callers: accept and reject (consulted by the SMS filter), WAP-push accept
    // and WAP-push force (consulted by the WAP-push filter). An entry (CallerInfo_tag, from
    // CallerInfo.h) is keyed by its Number, stored as given; adding a Number again replaces its
    // Name. A list's key is made by its first addition and never removed, so an emptied list
    // still exists.
    //
    // Statuses: 0; KX_E_REGISTRY when the list does not exist yet (look-up, deletion,
    // enumeration, containment), when a number to delete is not in it, or when a write is
    // refused; KX_E_NO_MATCH from a look-up of an existing list that lacks the number;
    // KX_E_ARRAY_TOO_SMALL from an enumeration (see below); KX_E_INVALIDARG when a Number or
    // Name is not terminated within its field, a number is null or an array cannot be written.
    //
    // Look-up rule: the number is in the list when an entry of exactly that number exists
    // (compared as the registry compares value names), or, for a number of more than seven
    // characters, when an entry of at least seven characters ends in the same seven characters
    // (case-sensitive). So +886912345678 finds 0912345678; a seven-character number is found
    // only by itself.
    //
    // Containment rule (the ...Fuzzy tests): a stored Number matches when it occurs in the
    // caller's number or the caller's number occurs in it (case-sensitive). `found` is set to
    // 1 or 0 in every case, 0 when the list does not exist. An empty number, or an empty stored
    // Number, matches anything.
    //
    // Enumeration (Get...List): on entry `count` is the array's capacity in entries. A list of
    // more entries answers KX_E_ARRAY_TOO_SMALL with `count` set to the number needed and the
    // array untouched; allocate that many and call again. On success `count` is the number of
    // entries written, in the registry's order. See KxRegUtil::EnumVaule.
    //
    // `struct` names the record here so that this header needs no include of its own.
    static KXSTATUS AddAccepter(struct CallerInfo_tag& entry);
    static KXSTATUS DelAccepter(struct CallerInfo_tag& entry);
    static KXSTATUS GetAcceptr(struct CallerInfo_tag& entry);
    static KXSTATUS GetAcceptList(struct CallerInfo_tag* entries, unsigned long& count);
    static KXSTATUS InAccepterFuzzy(struct CallerInfo_tag& entry, int& found);

    static KXSTATUS AddRejecter(struct CallerInfo_tag& entry);
    static KXSTATUS DelRejecter(struct CallerInfo_tag& entry);
    static KXSTATUS GetRejecter(struct CallerInfo_tag& entry);
    static KXSTATUS GetRejectList(struct CallerInfo_tag* entries, unsigned long& count);
    static KXSTATUS InRejecterFuzzy(struct CallerInfo_tag& entry, int& found);

    static KXSTATUS AddWapPushAccepter(struct CallerInfo_tag& entry);
    static KXSTATUS DelWapPushAccepter(struct CallerInfo_tag& entry);
    static KXSTATUS GetWapPushAcceptr(const wchar_t* number);
    static KXSTATUS GetWapPushAcceptList(struct CallerInfo_tag* entries, unsigned long& count);

    static KXSTATUS AddForceListAccepter(struct CallerInfo_tag& entry);
    static KXSTATUS DelForceListAccepter(struct CallerInfo_tag& entry);
    static KXSTATUS GetForceListAcceptr(const wchar_t* number);
    static KXSTATUS GetForceAcceptList(struct CallerInfo_tag* entries, unsigned long& count);

    // ---- SMS listener and SMS protocol providers -----------------------------------------

    // Loads the SMS listener "KXSMSLsn2.dll" (by its bare name, the system's search order),
    // calls its DllRegisterServer (DllUnregisterServer) and unloads it again. 0 when the entry
    // point answered 0; KX_E_SMSLSN_NOT_LOADED, KX_E_SMSLSN_NO_ENTRY, or KX_E_SMSLSN_FAILED
    // when it answered anything else (its own answer is not passed on). "Listern" is the
    // product's own spelling, by which its programs link to these two: never correct it.
    static KXSTATUS RegisterSMSListern();
    static KXSTATUS UnregisterSMSListern();

    // The "DLL" of one SMS protocol provider, into `path` of `length` characters, read where
    // the platform release keeps it: with HelpAPI::IsWM5 under HKEY_LOCAL_MACHINE in
    // Comm\Cellular\SMS\Protocols, earlier under HKEY_CURRENT_USER in
    // Software\Microsoft\SMS\Protocols, one key per protocol; one location only. Statuses and
    // buffer handling as KxRegUtil's text read; a length below 1 gives KX_E_REGISTRY. Notify
    // reads the protocol "Notification".
    static KXSTATUS Get_ProviderDLLPath_WDP(wchar_t* path, int length);
    static KXSTATUS Get_ProviderDLLPath_Notify(wchar_t* path, int length);
    static KXSTATUS Get_ProviderDLLPath_Text(wchar_t* path, int length);
    static KXSTATUS Get_ProviderDLLPath_WCMP(wchar_t* path, int length);
    static KXSTATUS Get_ProviderDLLPath_Broadcast(wchar_t* path, int length);
    static KXSTATUS Get_ProviderDLLPath_Status(wchar_t* path, int length);
    static KXSTATUS Get_ProviderDLLPath_Raw(wchar_t* path, int length);

    // ---- Proxy settings (the connection manager's, read only) ----------------------------

    // Whether proxies are enabled: "Enable" of the proxy provider key at its pre-Windows
    // Mobile 5 location, on every release. `use` is 1 or 0; 0 also when the read fails, whose
    // status is then returned.
    static KXSTATUS GetBeUseProxy(int& use);

    // The HTTP and SOCKS proxies of the connection manager: every enabled subkey of the proxy
    // provider key (location by HelpAPI::IsWM5) whose "Proxy" reads "host:port" and whose
    // "Type" is 1 (HTTP, and only under a subkey path containing "HTTP"), 4 or 8 (SOCKS 4 or
    // 5). A later entry of a kind overwrites an earlier one; outputs of a kind without an entry
    // keep what the caller put there. Hosts are cut to their buffer's capacity - 1 characters;
    // ports are the decimal digits after the first ':' (0 when there are none); user names are
    // read as KxRegUtil reads texts; the password flags tell whether a "Password" value of any
    // type exists. The SOCKS type (4 or 8) is stored as the last character of the SOCKS
    // user-name buffer, which is set to 0 first: a caller wanting both keeps the user name at
    // most capacity - 2 characters long. Capacities are in characters.
    //
    // 0; the registry status when the provider key cannot be listed (nothing is written then);
    // KX_E_INVALIDARG when a buffer is null or a capacity 0 (nothing is written).
    static KXSTATUS GetProxy(wchar_t* httpHost, unsigned long httpHostLength,
                             unsigned long& httpPort, wchar_t* socksHost,
                             unsigned long socksHostLength, unsigned long& socksPort,
                             wchar_t* httpUserName, unsigned long httpUserNameLength,
                             int& httpHasPassword, wchar_t* socksUserName,
                             unsigned long socksUserNameLength, int& socksHasPassword);

private:
    KxConfig();

    static int StartStopRealtimeScan(int start, int wait, int atStartup);
    static int StartStopWapPushFilter(int wait, int enable);
    static KXSTATUS GetAFlagInMiscOpt(unsigned long& flag, int bit);
    static KXSTATUS SetAFlagInMiscOpt(unsigned long value, int bit);
};
