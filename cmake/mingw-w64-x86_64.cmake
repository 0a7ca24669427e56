# Cross-compiles for 64-bit Windows (x64) with the mingw-w64 toolchain.
set(HELICOID_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
