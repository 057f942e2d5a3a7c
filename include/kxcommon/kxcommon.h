// Everything kxcommon.dll exports.
#pragma once

#include "KxStatus.h"
#include "KxRegUtil.h"
#include "CallerInfo.h"
#include "HelpAPI.h"
#include "KxConfig.h"
#include "KxService.h"
#include "FmtVer.h"
#include "Options.h"
