# Cross toolchain for 32-bit Windows: the device's record layout (4-byte pointers and handles).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KX_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
