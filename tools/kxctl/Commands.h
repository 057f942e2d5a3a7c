// The verb groups of kxctl. Each takes the arguments after its own verb.
#pragma once

#include "Output.h"

namespace kxctl {

int RunReg(const Args& args);
int RunMd5(const Args& args);
int RunB64(const Args& args);

// init, show, get, set, delete and version.
bool IsSettingsVerb(const std::wstring& verb);
int RunSettings(const std::wstring& verb, const Args& args);
// The caller-list verbs: list, add, del, lookup, match. `args` starts with the list's name.
bool IsListVerb(const std::wstring& verb);
int RunList(const std::wstring& verb, const Args& args);

// The scan service verbs: service, scan, quarantine, restore, viruses, engine, queue.
bool IsServiceVerb(const std::wstring& verb);
int RunService(const std::wstring& verb, const Args& args);

// The process verbs: realtime, wappush, kill, sync, log.
bool IsProcessVerb(const std::wstring& verb);
int RunProcess(const std::wstring& verb, const Args& args);
// The device and connectivity verbs: device, sms, proxy, connect.
bool IsDeviceVerb(const std::wstring& verb);
int RunDevice(const std::wstring& verb, const Args& args);

// The Startup-folder verbs: startup check|scan, classify.
bool IsStartupVerb(const std::wstring& verb);
int RunStartup(const std::wstring& verb, const Args& args);
// update (schedule, versions) and pattern.
int RunUpdate(const std::wstring& verb, const Args& args);
// mgi and subscription.
int RunMgi(const std::wstring& verb, const Args& args);
// xml FILE TAG [ATTRIBUTE].
int RunXml(const Args& args);

}  // namespace kxctl
