# helicoid-icon-png (tools/icon-png/icon_png.cpp) draws icon 101 as a PNG of
# any size: the desktop icons of the Linux install and the web app's icons. It
# runs during the build, so it is built for this machine with this machine's
# compiler, the same way in every build, also where the project's compiler
# makes programs for elsewhere (the browser build).
# Sets HELICOID_ICON_PNG, the program's path, for commands to run and depend on.
include_guard(GLOBAL)
find_program(HELICOID_HOST_CXX NAMES c++ g++ clang++ NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(HELICOID_ICON_PNG ${CMAKE_BINARY_DIR}/host/helicoid-icon-png)
set(sources tools/icon-png/icon_png.cpp resources/icon.cpp resources/icon_file.cpp
            lib/png/png_writer.cpp)
set(headers resources/icon.h resources/icon_file.h resources/resource_ids.h lib/png/png_writer.h)
list(TRANSFORM sources PREPEND ${PROJECT_SOURCE_DIR}/)
list(TRANSFORM headers PREPEND ${PROJECT_SOURCE_DIR}/)
add_custom_command(
  OUTPUT ${HELICOID_ICON_PNG}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
  COMMAND ${HELICOID_HOST_CXX} -std=c++17 -O2 -Wall -Wextra -I${PROJECT_SOURCE_DIR} ${sources}
          ${PROJECT_BINARY_DIR}/resources/helicoid_icon_data.cpp -lpng -o ${HELICOID_ICON_PNG}
  # helicoid_icon makes the icon's data file, and changes with it.
  DEPENDS ${sources} ${headers} helicoid_icon
  COMMENT "Building helicoid-icon-png for this machine"
  VERBATIM)
