# The browser build's site, alone in build-web/site/: the program's page
# (index.html, page.js) that hosts the web backend's windows (styled by
# platform/web/page.css), helicoid.js and helicoid.wasm, the manifest, its
# icons and the service worker that keeps the whole site for use offline; and
# beside each file that compresses, a .gz and a .br copy for servers that send
# them to browsers that accept them. Nothing else: the folder is what a host
# serves. Included by cmake/programs.cmake once the program helicoid is
# defined.
set(site ${CMAKE_BINARY_DIR}/site)
set_target_properties(helicoid PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${site})
set(program_files index.html page.js helicoid.webmanifest)
foreach(name ${program_files})
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${name} ${site}/${name} COPYONLY)
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/platform/web/page.css ${site}/page.css COPYONLY)
set(page_files ${program_files} page.css)

# The web app's icons, drawn from icon 101.
include(${PROJECT_SOURCE_DIR}/cmake/icon-png.cmake)
set(icons)
foreach(size 192 512)
  add_custom_command(
    OUTPUT ${site}/icon-${size}.png ${site}/icon-maskable-${size}.png
    COMMAND ${HELICOID_ICON_PNG} ${size} ${site}/icon-${size}.png
    COMMAND ${HELICOID_ICON_PNG} --maskable ${size} ${site}/icon-maskable-${size}.png
    DEPENDS ${HELICOID_ICON_PNG}
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

# The compressed copies, of all but the PNG pictures (compressed already):
# gzip without a name or date in its header, brotli at its best quality.
find_program(HELICOID_BROTLI brotli REQUIRED)
set(copies)
foreach(name ${page_files} helicoid.js helicoid.wasm service-worker.js)
  set(file ${site}/${name})
  if(name MATCHES "^helicoid\\.(js|wasm)$")
    set(made_by helicoid)
  else()
    set(made_by ${file})
  endif()
  add_custom_command(
    OUTPUT ${file}.gz ${file}.br
    COMMAND gzip -9 -n -k -f ${file}
    COMMAND ${HELICOID_BROTLI} -q 11 -k -f ${file}
    DEPENDS ${made_by}
    VERBATIM)
  list(APPEND copies ${file}.gz ${file}.br)
endforeach()
add_custom_target(helicoid-site ALL DEPENDS ${site}/service-worker.js ${copies})
