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
#include "B64.h"
#include "UTFConvert.h"
#include "MD5.h"
#include "CSV.h"
#include "Utility.h"
#include "KxXml.h"
