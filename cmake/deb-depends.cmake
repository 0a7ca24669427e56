# Run by cpack once the install step has staged the package's files and
# before the package is made (CPACK_PRE_BUILD_SCRIPTS). For the .deb: the
# names under which dpkg-shlibdeps writes the Depends of libraries that took
# a new package name in the 64-bit time_t change (Debian 13, Ubuntu 24.04),
# given as "the new name | the old one", so that one .deb installs on the
# releases before the change and after it, on every architecture. On 64-bit
# architectures the renamed package still provides the old name; on 32-bit
# ones (armhf) it does not. The change altered only the calls that take a
# time_t; the programs make none of them, which the package test checks.
#   libpng16.so.16: png_convert_from_time_t (png_time and the calls that take
#   it hold no time_t); the soname is the same.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
# Read by dpkg-shlibdeps from the folder cpack runs it in, which it removes
# afterwards.
file(WRITE "${CPACK_TEMPORARY_DIRECTORY}/debian/shlibs.local"
     "libpng16 16 libpng16-16t64 | libpng16-16 (>= 1.6.2-1)\n")
