# Cross-compiles for Linux on an ARM processor with Debian's cross compilers
# and the target's libraries from multiarch (dpkg --add-architecture; see
# tools/install-deps.sh). Included by linux-arm64.cmake and linux-armhf.cmake,
# which set first:
#   HELICOID_TRIPLET    the GNU triplet: the compilers' prefix and the name of
#                       the multiarch folder the libraries live in
#   HELICOID_DEB_ARCH   Debian's name of the architecture: the .deb's, and the
#                       one dpkg-shlibdeps reads the libraries' packages for
#   HELICOID_PACKAGE_ARCH  the name in the .tar.gz's file name
#   HELICOID_QEMU       the user-mode emulator that runs the target's programs
#                       here, put in front of them by name (binfmt is not
#                       relied on)
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${HELICOID_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${HELICOID_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${HELICOID_TRIPLET})
# pkg-config reads the target's .pc files only, never this machine's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${HELICOID_TRIPLET}/pkgconfig:/usr/share/pkgconfig)
# CTest runs the test programs, and the build its generators, through it.
find_program(HELICOID_QEMU_PROGRAM ${HELICOID_QEMU} REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${HELICOID_QEMU_PROGRAM})
