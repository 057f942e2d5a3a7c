# Cross toolchain for desktop Windows on x86_64: the build that runs under Wine here.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KX_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
