// Everything kxcommon.dll exports.
#pragma once

#include "KxStatus.h"
#include "KxRegUtil.h"
#include "HelpAPI.h"
#include "KxConfig.h"
#include "FmtVer.h"
#include "Options.h"
