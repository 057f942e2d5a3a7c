// Export macro of kxcommon.dll. The library's own sources define KXCOMMON_BUILD; every other
// program sees the same declarations as imports.
#pragma once

#if defined(KXCOMMON_BUILD)
#define KXCOMMON_API __declspec(dllexport)
#else
#define KXCOMMON_API __declspec(dllimport)
#endif

#define KXCOMMON_CAPI extern "C" KXCOMMON_API
