# Run by cpack after it has written the packages (CPACK_POST_BUILD_SCRIPTS):
# re-packs each .tar.gz and .zip with its members sorted by name, owned by
# root, folders and programs 0755, other files 0644, every date
# SOURCE_DATE_EPOCH, so that neither the order in which the file system lists
# a folder nor the umask shows in them. In the .deb, whose members CPack sorts
# itself, only the outer headers carry the umask. (The setup program holds no
# dates.)
find_program(HELICOID_PYTHON3 python3 REQUIRED)
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(package MATCHES "\\.(tar\\.gz|zip|deb)$")
    execute_process(COMMAND ${HELICOID_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/repack-archive.py
                            ${package} COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
