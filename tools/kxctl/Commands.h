// kxctl's verbs. main.cpp's table names each verb with its arguments, its help and the function
// below that runs it; the usage text and the dispatch both come from that table. Each function
// takes the arguments after its verb.
#pragma once

#include "Output.h"

namespace kxctl {

// The settings: init, show, get, set, delete, version.
int RunInit(const Args& args);
int RunShow(const Args& args);
int RunGet(const Args& args);
int RunSet(const Args& args);
int RunDelete(const Args& args);
int RunVersion(const Args& args);

// reg query|add|delete|subkeys.
int RunReg(const Args& args);

// The caller lists: `args` starts with the list's name.
int RunList(const Args& args);
int RunAdd(const Args& args);
int RunDel(const Args& args);
int RunLookup(const Args& args);
int RunMatch(const Args& args);

// The scan service.
int RunService(const Args& args);
int RunScan(const Args& args);
int RunQuarantine(const Args& args);
int RunRestore(const Args& args);
int RunViruses(const Args& args);
int RunEngine(const Args& args);
int RunQueue(const Args& args);

// The Startup folder and the scan filter.
int RunStartup(const Args& args);
int RunClassify(const Args& args);

// Processes: the hook loader's switches, kill, the synchronisation logger, the debug log.
int RunRealTime(const Args& args);
int RunWapPush(const Args& args);
int RunKill(const Args& args);
int RunSync(const Args& args);
int RunLog(const Args& args);

// The handset and its connections.
int RunDevice(const Args& args);
int RunSms(const Args& args);
int RunProxy(const Args& args);
int RunConnect(const Args& args);

// Update bookkeeping.
int RunUpdate(const Args& args);
int RunPattern(const Args& args);

// The management server and the operator's subscription file.
int RunMgi(const Args& args);
int RunSubscription(const Args& args);

// Device files: the XML reader and the codecs.
int RunXml(const Args& args);
int RunMd5(const Args& args);
int RunB64(const Args& args);

}  // namespace kxctl
