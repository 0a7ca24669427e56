# Cross-compiles for 32-bit Windows (x86) with the mingw-w64 toolchain.
set(HELICOID_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
