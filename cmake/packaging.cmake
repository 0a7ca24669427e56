# Installing and packaging. On Linux `cmake --install` lays out the two
# programs, a desktop entry, hicolor icons drawn from icon 101, AppStream
# metainfo, their man pages and Debian's copyright file and changelog, and
# CPack makes a .deb and a .tar.gz (no top folder: it unpacks into a prefix)
# of them. On Windows helicoid.exe gets its manifest and version resource, and
# CPack makes a .zip of it with the README and the LICENSE, or (-G NSIS) a
# setup program that installs it for all users. tools/package.sh builds all
# four into dist/. The one version is the project()'s.
# The packages depend only on the sources and the commit: every date in them is
# SOURCE_DATE_EPOCH (see cmake/package-date.cmake), folders are 0755 whatever
# the umask, the .tar.gz and .zip are re-packed with sorted members and fixed
# owners and modes (cmake/repack-archive.py), the Windows program carries no
# link time and the setup program no file dates.
if(EMSCRIPTEN)
  return()  # the browser build is a site, not a package
endif()

set(HELICOID_DESCRIPTION "helicoid - an interactive OpenGL viewer of a lit 3D helicoid")
set(HELICOID_COPYRIGHT "Copyright (c) 2026 the helicoid authors; MIT License")
set(HELICOID_VENDOR "the helicoid authors")
set(HELICOID_CONTACT "${HELICOID_VENDOR} <contact@example.org>")
# The day PROJECT_VERSION was released: the metainfo's release, the man pages
# and the changelog.
set(HELICOID_RELEASE_DATE 2026-12-07)
# The desktop entry's and the metainfo's id, in reverse-DNS form.
set(HELICOID_APP_ID org.example.helicoid)
set(HELICOID_HOMEPAGE "https://example.org/helicoid" CACHE STRING
    "Where the project is published; the metainfo's screenshot is docs/helicoid.png under it")

# Folders made by the install step, and so in the packages, are 0755 whatever
# the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# The packages' date when neither SOURCE_DATE_EPOCH nor git says one: noon UTC
# on the release's day.
execute_process(COMMAND date -u -d "${HELICOID_RELEASE_DATE} 12:00" +%s
                OUTPUT_VARIABLE HELICOID_RELEASE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)

# Windows wants four numbers.
set(version_numbers)
foreach(part MAJOR MINOR PATCH TWEAK)
  if("${PROJECT_VERSION_${part}}" STREQUAL "")
    list(APPEND version_numbers 0)
  else()
    list(APPEND version_numbers ${PROJECT_VERSION_${part}})
  endif()
endforeach()
list(JOIN version_numbers "," HELICOID_VERSION_COMMAS)
list(JOIN version_numbers "." HELICOID_VERSION_4)

set(generated ${PROJECT_BINARY_DIR}/packaging)
set(packaging_dir ${PROJECT_SOURCE_DIR}/packaging)

if(WIN32)
  # The manifest names the program's processor, and the common controls of
  # that processor: a 64-bit program that asked for the x86 ones would get no
  # message box at all.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(windows_flavour x64)
    set(HELICOID_MANIFEST_ARCH amd64)
  else()
    set(windows_flavour i686)
    set(HELICOID_MANIFEST_ARCH x86)
  endif()
  if(TARGET helicoid)
    set(HELICOID_MANIFEST ${generated}/helicoid.manifest)
    configure_file(${PROJECT_SOURCE_DIR}/resources/helicoid.manifest.in ${HELICOID_MANIFEST} @ONLY)
    configure_file(${PROJECT_SOURCE_DIR}/resources/version.rc.in ${generated}/version.rc @ONLY)
    target_sources(helicoid PRIVATE ${generated}/version.rc)
    # No link time in the program's header (strip, run by CPack, writes
    # SOURCE_DATE_EPOCH there).
    target_link_options(helicoid PRIVATE -Wl,--no-insert-timestamp)
    set_source_files_properties(${generated}/version.rc PROPERTIES OBJECT_DEPENDS
                                                                   ${HELICOID_MANIFEST})
    install(TARGETS helicoid RUNTIME DESTINATION .)
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME helicoid-${PROJECT_VERSION}-windows-${windows_flavour})
  # The setup program, with `cpack -G NSIS` (makensis runs on Linux too). Run
  # by an administrator, as it asks to be, it installs for all users into
  # Program Files\helicoid, with a Start menu folder holding helicoid and the
  # uninstaller, and an entry among the installed programs with the program's
  # icon, version and publisher. /S installs and uninstalls silently.
  set(CPACK_PACKAGE_INSTALL_DIRECTORY helicoid)
  set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY helicoid)
  set(CPACK_PACKAGE_EXECUTABLES helicoid helicoid)  # program, shortcut name
  set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
  set(CPACK_NSIS_INSTALLED_ICON_NAME helicoid.exe)
  set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/resources/helicoid.ico)
  set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/resources/helicoid.ico)
  set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
  set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
  set(CPACK_NSIS_URL_INFO_ABOUT ${HELICOID_HOMEPAGE})
  # makensis would store each file's date, which is the build's time; the
  # files the setup program adds and its uninstaller deletes are the ones the
  # install step stages, named one by one, sorted (cmake/nsis-file-list.cmake).
  set(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS "SetDateSave off")
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/nsis-file-list.cmake)
  # CPack's uninstaller removes the key Software\VENDOR\helicoid and would
  # leave the vendor's key empty behind it; these lines run after that.
  set(CPACK_NSIS_DELETE_ICONS_EXTRA "DeleteRegKey /ifempty SHCTX 'Software\\\\${HELICOID_VENDOR}'")
  # CPack's script has no place for a target nor for steps of our own in
  # .onInit, so it is made from CPack's own with them added; the build stops
  # if that script no longer has the places.
  #  - The 64-bit program's setup program is a 64-bit program itself (NSIS's
  #    amd64-unicode target): it installs into the 64-bit Program Files, and
  #    its registry entries, the uninstaller's included, land in the 64-bit
  #    view, where 64-bit Windows looks for an installed 64-bit program.
  #  - .onInit first calls packaging/windows-setup.nsh: one helicoid per PC,
  #    the 64-bit one taking the 32-bit one's place, never over a running one.
  file(READ ${CMAKE_ROOT}/Modules/Internal/CPack/NSIS.template.in nsis_script)
  set(before "  !define VERSION")
  set(on_init "\nFunction .onInit\n")
  foreach(place "${before}" "${on_init}")
    string(FIND "${nsis_script}" "${place}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "CPack's NSIS script has no '${place}': the setup program cannot be made")
    endif()
  endforeach()
  set(uninstall_key "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\@CPACK_PACKAGE_INSTALL_REGISTRY_KEY@")
  string(REPLACE "${on_init}"
                 "\n!define HELICOID_UNINSTALL_KEY \"${uninstall_key}\"\n!define HELICOID_WINDOW_TITLE \"${HELICOID_WINDOW_TITLE}\"\n!define HELICOID_INFO_CAPTION \"${HELICOID_INFO_CAPTION}\"\n!include \"${packaging_dir}/windows-setup.nsh\"${on_init}  Call HelicoidBeforeInstall\n"
                 nsis_script "${nsis_script}")
  if(windows_flavour STREQUAL x64)
    set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
    string(REPLACE "${before}" "  Target amd64-unicode\n${before}" nsis_script "${nsis_script}")
  endif()
  file(WRITE ${generated}/nsis/NSIS.template.in "${nsis_script}")
  set(CPACK_MODULE_PATH ${generated}/nsis)
  # The setup program's name says what it is: helicoid-VERSION-windows-i686-setup.exe
  # (or -x64-setup.exe).
  set(HELICOID_CPACK_NAMES
      "if(CPACK_GENERATOR STREQUAL NSIS)\n"
      "  set(CPACK_PACKAGE_FILE_NAME \"\${CPACK_PACKAGE_FILE_NAME}-setup\")\n"
      "endif()\n")
else()
  include(GNUInstallDirs)

  # The hicolor icons: icon 101's 32 x 32 picture, each pixel a square block.
  include(${PROJECT_SOURCE_DIR}/cmake/icon-png.cmake)
  set(desktop_files)
  foreach(size 32 64 128 256)
    set(folder ${generated}/icons/${size}x${size}/apps)
    add_custom_command(
      OUTPUT ${folder}/helicoid.png
      COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
      COMMAND ${HELICOID_ICON_PNG} ${size} ${folder}/helicoid.png
      DEPENDS ${HELICOID_ICON_PNG}
      VERBATIM)
    list(APPEND desktop_files ${folder}/helicoid.png)
  endforeach()

  configure_file(${packaging_dir}/helicoid.desktop.in ${generated}/${HELICOID_APP_ID}.desktop
                 @ONLY)
  configure_file(${packaging_dir}/helicoid.metainfo.xml.in
                 ${generated}/${HELICOID_APP_ID}.metainfo.xml @ONLY)
  # Debian's changelog: the release's date as RFC 5322 has it.
  execute_process(COMMAND date -u -R -d "${HELICOID_RELEASE_DATE} 12:00"
                  OUTPUT_VARIABLE HELICOID_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
                  COMMAND_ERROR_IS_FATAL ANY)
  configure_file(${packaging_dir}/changelog.in ${generated}/doc/changelog @ONLY)
  # Debian's machine-readable copyright file, its license text the LICENSE's
  # own (from "Permission" on), one blank in front of each line and a full
  # stop for each empty one.
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
  string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" _ "${license}")
  set(HELICOID_COPYRIGHT_HOLDERS "${CMAKE_MATCH_1}")
  string(FIND "${license}" "Permission" start)
  string(SUBSTRING "${license}" ${start} -1 license)
  string(STRIP "${license}" license)
  string(REPLACE "\n\n" "\n.\n" license "${license}")
  string(REPLACE "\n" "\n " HELICOID_LICENSE_TEXT " ${license}")
  configure_file(${packaging_dir}/copyright.in ${generated}/doc/copyright @ONLY)

  # Man pages and the changelog are installed compressed, as Debian does.
  foreach(page helicoid helicoid-snapshot)
    configure_file(${packaging_dir}/${page}.1.in ${generated}/man/${page}.1 @ONLY)
  endforeach()
  foreach(file man/helicoid.1 man/helicoid-snapshot.1 doc/changelog)
    add_custom_command(
      OUTPUT ${generated}/${file}.gz
      COMMAND gzip -9nc ${generated}/${file} > ${generated}/${file}.gz
      DEPENDS ${generated}/${file})
    list(APPEND desktop_files ${generated}/${file}.gz)
  endforeach()
  add_custom_target(helicoid-desktop-files ALL DEPENDS ${desktop_files})

  foreach(program helicoid helicoid-snapshot)
    if(TARGET ${program})
      install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
      # A stripping install (the packages) also drops the compilers' notes,
      # which nothing reads at run time.
      install(CODE "
        if(CMAKE_INSTALL_DO_STRIP)
          execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                                  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\"
                          COMMAND_ERROR_IS_FATAL ANY)
        endif()")
    endif()
  endforeach()
  install(DIRECTORY ${generated}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
  install(FILES ${generated}/${HELICOID_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${generated}/${HELICOID_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${generated}/man/helicoid.1.gz ${generated}/man/helicoid-snapshot.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${generated}/doc/copyright
                ${generated}/doc/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

  set(CPACK_GENERATOR DEB TGZ)
  # A cross build's toolchain file names the target's architecture (cmake/linux-cross.cmake):
  # the .deb's is then that one, not this machine's. (dpkg-shlibdeps finds the
  # target's libraries by the programs' own ELF machine.)
  if(HELICOID_DEB_ARCH)
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${HELICOID_DEB_ARCH})
  endif()
  if(NOT HELICOID_PACKAGE_ARCH)
    set(HELICOID_PACKAGE_ARCH ${CMAKE_SYSTEM_PROCESSOR})
  endif()
  set(CPACK_PACKAGE_FILE_NAME helicoid-${PROJECT_VERSION}-linux-${HELICOID_PACKAGE_ARCH})
  # bin/, share/ at the top: `tar -xzf FILE -C ~/.local` installs it.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${HELICOID_CONTACT}")
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${HELICOID_HOMEPAGE}")
  # Depends from the shared libraries the programs link, plus libGL, which SDL
  # loads at run time for its GL windows.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS libgl1)
  # Libraries renamed in the 64-bit time_t change, depended on by both names.
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/deb-depends.cmake)
  # Where SDL cannot show a message box (Wayland without zenity) the viewer
  # draws its own, with whatever font fontconfig finds: one comes with this.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-dejavu-core)
endif()

set(CPACK_PACKAGE_NAME helicoid)
set(CPACK_PACKAGE_VENDOR "${HELICOID_VENDOR}")
set(CPACK_PACKAGE_CONTACT "${HELICOID_CONTACT}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "interactive OpenGL viewer of a lit 3D helicoid")
# Debian shows these lines as they stand: each within 79 columns.
set(CPACK_PACKAGE_DESCRIPTION
    "A small viewer of one model built into the program: a helicoid of two
twisted strips, lit by seven coloured lights. Turn it with the mouse as a
trackball; f toggles fog, p the wireframe. helicoid-snapshot draws the same
picture into a PNG file with no display.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
# Read by every cpack run: the packages' date, and the setup program's name.
file(WRITE ${generated}/cpack-project.cmake
     "set(HELICOID_SOURCE_DIR \"${PROJECT_SOURCE_DIR}\")\n"
     "set(HELICOID_RELEASE_EPOCH ${HELICOID_RELEASE_EPOCH})\n"
     "include(\"${PROJECT_SOURCE_DIR}/cmake/package-date.cmake\")\n" ${HELICOID_CPACK_NAMES})
set(CPACK_PROJECT_CONFIG_FILE ${generated}/cpack-project.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/repack-archives.cmake)
include(CPack)
