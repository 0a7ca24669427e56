# 32-bit ARM Linux with hardware floating point (armhf: ARMv7 and later),
# Raspberry Pi OS 32-bit on a Pi 2 or later.
set(CMAKE_SYSTEM_PROCESSOR arm)
set(HELICOID_TRIPLET arm-linux-gnueabihf)
set(HELICOID_DEB_ARCH armhf)
set(HELICOID_PACKAGE_ARCH armhf)
set(HELICOID_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
