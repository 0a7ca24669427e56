# Run by cpack once the install step has staged the package's files and
# before the package is made (CPACK_PRE_BUILD_SCRIPTS). For the setup program
# (NSIS), the files that it adds and that its uninstaller deletes are exactly
# those staged, named one by one in sorted order: a new install() rule is in
# the setup program as it is in the .zip, and makensis writes no file in the
# order the file system happens to list them.
if(NOT CPACK_GENERATOR STREQUAL "NSIS")
  return()
endif()
file(GLOB_RECURSE staged LIST_DIRECTORIES true RELATIVE "${CPACK_TEMPORARY_DIRECTORY}"
     "${CPACK_TEMPORARY_DIRECTORY}/*")
if(NOT staged)
  message(FATAL_ERROR "The install step staged nothing in ${CPACK_TEMPORARY_DIRECTORY}")
endif()
list(SORT staged)
# (Written as makensis reads them: CPack puts these values into its script as
# they are.)
set(CPACK_NSIS_FULL_INSTALL)
set(CPACK_NSIS_DELETE_FILES)
foreach(name IN LISTS staged)
  if(IS_DIRECTORY "${CPACK_TEMPORARY_DIRECTORY}/${name}")
    message(FATAL_ERROR "The install step staged a folder, ${name}: the setup program "
                        "installs files into its top folder only")
  endif()
  string(APPEND CPACK_NSIS_FULL_INSTALL "File \"\${INST_DIR}\\${name}\"\n  ")
  string(APPEND CPACK_NSIS_DELETE_FILES "  Delete \"$INSTDIR\\${name}\"\n")
endforeach()
