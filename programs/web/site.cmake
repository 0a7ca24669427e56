# The browser build's site: the program's page (index.html, page.js) that
# hosts the web backend's windows (styled by platform/web/page.css), its
# manifest, its icons and the service worker that keeps the whole site for
# use offline. Included by cmake/programs.cmake once the program helicoid
# (helicoid.js, helicoid.wasm) is defined.
set(site ${CMAKE_BINARY_DIR})
foreach(name index.html page.js helicoid.webmanifest)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${name} ${site}/${name} COPYONLY)
endforeach()
set(page_files index.html page.js page.css helicoid.webmanifest)

# The web app's icons, drawn from icon 101 by helicoid-icon-png
# (tools/icon-png/icon_png.cpp), built for this machine with its own compiler.
find_program(HELICOID_HOST_CXX NAMES c++ g++ clang++ NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(icon_tool ${CMAKE_BINARY_DIR}/host/helicoid-icon-png)
set(icon_tool_sources
    ${PROJECT_SOURCE_DIR}/tools/icon-png/icon_png.cpp ${PROJECT_SOURCE_DIR}/resources/icon.cpp
    ${PROJECT_SOURCE_DIR}/resources/icon_file.cpp ${PROJECT_SOURCE_DIR}/lib/png/png_writer.cpp)
add_custom_command(
  OUTPUT ${icon_tool}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
  COMMAND ${HELICOID_HOST_CXX} -std=c++17 -O2 -I${PROJECT_SOURCE_DIR} ${icon_tool_sources}
          ${PROJECT_BINARY_DIR}/resources/helicoid_icon_data.cpp -lpng -o ${icon_tool}
  # helicoid_icon makes the icon's data file, and changes with it.
  DEPENDS ${icon_tool_sources} helicoid_icon
  COMMENT "Building helicoid-icon-png for this machine"
  VERBATIM)
set(icons)
foreach(size 192 512)
  add_custom_command(
    OUTPUT ${site}/icon-${size}.png ${site}/icon-maskable-${size}.png
    COMMAND ${icon_tool} ${size} ${site}/icon-${size}.png
    COMMAND ${icon_tool} --maskable ${size} ${site}/icon-maskable-${size}.png
    DEPENDS ${icon_tool}
    VERBATIM)
  list(APPEND icons icon-${size}.png icon-maskable-${size}.png)
endforeach()

# The service worker keeps all of the site for use offline, under a version
# that is a digest of the files: written again whenever one changes.
set(kept ${page_files} ${icons} helicoid.js helicoid.wasm)
list(TRANSFORM icons PREPEND ${site}/ OUTPUT_VARIABLE icon_paths)
list(TRANSFORM page_files PREPEND ${site}/ OUTPUT_VARIABLE page_paths)
add_custom_command(
  OUTPUT ${site}/service-worker.js
  COMMAND ${CMAKE_COMMAND} -DSITE=${site} "-DFILES=${kept}"
          -DTEMPLATE=${CMAKE_CURRENT_LIST_DIR}/service-worker.js.in
          -P ${CMAKE_CURRENT_LIST_DIR}/service-worker.cmake
  DEPENDS helicoid ${icon_paths} ${page_paths} ${CMAKE_CURRENT_LIST_DIR}/service-worker.js.in
          ${CMAKE_CURRENT_LIST_DIR}/service-worker.cmake
  COMMENT "Writing the service worker"
  VERBATIM)
add_custom_target(helicoid-site ALL DEPENDS ${site}/service-worker.js)
