# What the two mingw-w64 toolchain files share; each names its processor and KX_MINGW_PREFIX
# first. The posix thread variant: GoogleTest and the platform layer need std::mutex.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${KX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${KX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Packages also outside the target root: an installed or unpacked kxcommon named by
# CMAKE_PREFIX_PATH is found where it lies.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
