# Cross-compiles for Windows with the mingw-w64 toolchain. Included by the
# toolchain files of the two targets, which set HELICOID_MINGW_PREFIX and
# CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${HELICOID_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${HELICOID_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${HELICOID_MINGW_PREFIX}-windres)

# Libraries and headers come from the mingw-w64 sysroot only; programs (such
# as code generators) would come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${HELICOID_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
