# 64-bit ARM Linux (arm64): Raspberry Pi OS 64-bit, ARM laptops and boards.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(HELICOID_TRIPLET aarch64-linux-gnu)
set(HELICOID_DEB_ARCH arm64)
set(HELICOID_PACKAGE_ARCH aarch64)
set(HELICOID_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
