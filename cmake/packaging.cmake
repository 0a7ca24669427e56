# Installing and packaging. On Linux `cmake --install` lays out the two
# programs, a desktop entry, hicolor icons drawn from icon 101, AppStream
# metainfo and a man page, and CPack makes a .deb and a .tar.gz of them. On
# Windows helicoid.exe gets its manifest and version resource, and CPack makes
# a .zip of it with the README and the LICENSE. tools/package.sh builds all
# three into dist/. The one version is the project()'s.
if(EMSCRIPTEN)
  return()  # the browser build is a site, not a package
endif()

set(HELICOID_DESCRIPTION "helicoid - an interactive OpenGL viewer of a lit 3D helicoid")
set(HELICOID_COPYRIGHT "Copyright (c) 2026 the helicoid authors; MIT License")
set(HELICOID_CONTACT "the helicoid authors <contact@example.org>")
# The day PROJECT_VERSION was released: the metainfo's release and the man page.
set(HELICOID_RELEASE_DATE 2026-12-07)
# The desktop entry's and the metainfo's id, in reverse-DNS form.
set(HELICOID_APP_ID org.example.helicoid)
set(HELICOID_HOMEPAGE "https://example.org/helicoid" CACHE STRING
    "Where the project is published; the metainfo's screenshot is docs/helicoid.png under it")

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
  if(TARGET helicoid)
    set(HELICOID_MANIFEST ${generated}/helicoid.manifest)
    configure_file(${PROJECT_SOURCE_DIR}/resources/helicoid.manifest.in ${HELICOID_MANIFEST} @ONLY)
    configure_file(${PROJECT_SOURCE_DIR}/resources/version.rc.in ${generated}/version.rc @ONLY)
    target_sources(helicoid PRIVATE ${generated}/version.rc)
    set_source_files_properties(${generated}/version.rc PROPERTIES OBJECT_DEPENDS
                                                                   ${HELICOID_MANIFEST})
    install(TARGETS helicoid RUNTIME DESTINATION .)
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME helicoid-${PROJECT_VERSION}-windows-i686)
else()
  include(GNUInstallDirs)

  # The hicolor icons: icon 101's 32 x 32 picture, each pixel a square block.
  add_executable(helicoid-icon-png ${PROJECT_SOURCE_DIR}/tools/icon-png/icon_png.cpp)
  target_link_libraries(helicoid-icon-png PRIVATE helicoid_icon helicoid_png)
  set(desktop_files)
  foreach(size 32 64 128 256)
    set(folder ${generated}/icons/${size}x${size}/apps)
    add_custom_command(
      OUTPUT ${folder}/helicoid.png
      COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
      COMMAND helicoid-icon-png ${size} ${folder}/helicoid.png
      DEPENDS helicoid-icon-png
      VERBATIM)
    list(APPEND desktop_files ${folder}/helicoid.png)
  endforeach()

  configure_file(${packaging_dir}/helicoid.desktop.in ${generated}/${HELICOID_APP_ID}.desktop
                 @ONLY)
  configure_file(${packaging_dir}/helicoid.metainfo.xml.in
                 ${generated}/${HELICOID_APP_ID}.metainfo.xml @ONLY)
  # Man pages are installed compressed, as Debian does.
  configure_file(${packaging_dir}/helicoid-snapshot.1.in ${generated}/man/helicoid-snapshot.1 @ONLY)
  add_custom_command(
    OUTPUT ${generated}/helicoid-snapshot.1.gz
    COMMAND gzip -9nc ${generated}/man/helicoid-snapshot.1 > ${generated}/helicoid-snapshot.1.gz
    DEPENDS ${generated}/man/helicoid-snapshot.1)
  list(APPEND desktop_files ${generated}/helicoid-snapshot.1.gz)
  add_custom_target(helicoid-desktop-files ALL DEPENDS ${desktop_files})

  foreach(program helicoid helicoid-snapshot)
    if(TARGET ${program})
      install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
  endforeach()
  install(DIRECTORY ${generated}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
  install(FILES ${generated}/${HELICOID_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${generated}/${HELICOID_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${generated}/helicoid-snapshot.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
          DESTINATION ${CMAKE_INSTALL_DOCDIR})

  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_PACKAGE_FILE_NAME helicoid-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${HELICOID_CONTACT}")
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${HELICOID_HOMEPAGE}")
  # Depends from the shared libraries the programs link, plus libGL, which SDL
  # loads at run time for its GL windows.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS libgl1)
endif()

set(CPACK_PACKAGE_NAME helicoid)
set(CPACK_PACKAGE_VENDOR "the helicoid authors")
set(CPACK_PACKAGE_CONTACT "${HELICOID_CONTACT}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "interactive OpenGL viewer of a lit 3D helicoid")
set(CPACK_PACKAGE_DESCRIPTION
    "A small viewer of one model built into the program: a helicoid of two twisted strips, lit by
seven coloured lights. Turn it with the mouse as a trackball; f toggles fog, p the wireframe.
helicoid-snapshot draws the same picture into a PNG file with no display.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
include(CPack)
