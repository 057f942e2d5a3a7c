// Export macro of kxcommon.dll. The library's own sources define KXCOMMON_BUILD; every other
// program sees the same declarations as imports. Off Windows (the native build of the portable
// encoders for fuzzing) there is no DLL and the macro marks nothing.
#pragma once

#if defined(_WIN32)
#if defined(KXCOMMON_BUILD)
#define KXCOMMON_API __declspec(dllexport)
#else
#define KXCOMMON_API __declspec(dllimport)
#endif
#else
#define KXCOMMON_API
#endif

#define KXCOMMON_CAPI extern "C" KXCOMMON_API
