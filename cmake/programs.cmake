# The programs, all in one place:
#   helicoid           the viewer: on Windows the real WinMain (-mwindows, static,
#                      resource script); on Linux a main() that calls WinMain
#                      over the SDL2 backend; in the browser build helicoid.js
#                      and helicoid.wasm over the web backend, beside the page
#   helicoid-snapshot  the viewer's first frame as a PNG, on the headless backend
# and, on Windows, the small programs that the Wine tests run beside the viewer.
if(WIN32)
  set(HELICOID_WINDOWS_LINK_OPTIONS
      -mwindows
      # One file that needs no DLL beyond Windows' own.
      -static -static-libgcc -static-libstdc++
      $<$<CONFIG:Release,MinSizeRel>:-s>)
  set(rc ${PROJECT_SOURCE_DIR}/resources/helicoid.rc)
  set_source_files_properties(${rc} PROPERTIES
    OBJECT_DEPENDS "${PROJECT_SOURCE_DIR}/resources/helicoid.ico;${PROJECT_SOURCE_DIR}/resources/resource_ids.h")

  # The program's only code is the viewer library; its entry WinMain lives in
  # there. Nothing refers to WinMain before the runtime's start-up library is
  # scanned, after ours, so ask the linker for it up front, by the name the
  # target gives it: 32-bit stdcall decorates it, x64 has one convention.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(winmain_symbol _WinMain@16)
  else()
    set(winmain_symbol WinMain)
  endif()
  add_executable(helicoid WIN32 ${rc})
  target_link_libraries(helicoid PRIVATE helicoid_viewer opengl32 gdi32 user32)
  target_link_options(helicoid PRIVATE ${HELICOID_WINDOWS_LINK_OPTIONS}
                      -Wl,--undefined=${winmain_symbol})
  set(programs helicoid)

  option(HELICOID_WINDOWS_TEST_PROGRAMS "Build the Windows programs that the Wine tests run" ON)
  if(HELICOID_WINDOWS_TEST_PROGRAMS)
    set(probe_dir ${PROJECT_SOURCE_DIR}/tests/viewer-windows)
    # Reports the icon resources of a program, as Windows loads them.
    add_executable(helicoid-icon-probe ${probe_dir}/icon_probe.cpp ${rc})
    target_link_libraries(helicoid-icon-probe PRIVATE user32 gdi32 version)
    # Runs the viewer's real pixel-format set-up on a device context it cannot use.
    add_executable(helicoid-pixel-format-failure ${probe_dir}/pixel_format_failure.cpp)
    target_link_libraries(helicoid-pixel-format-failure PRIVATE helicoid_viewer opengl32 gdi32 user32)
    # Prints what Windows knows of a window: texts, class, style, rectangles.
    add_executable(helicoid-window-info ${probe_dir}/window_info.cpp)
    target_link_libraries(helicoid-window-info PRIVATE user32)
    foreach(target helicoid-icon-probe helicoid-pixel-format-failure helicoid-window-info)
      target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
    endforeach()
    list(APPEND programs helicoid-icon-probe helicoid-pixel-format-failure helicoid-window-info)
  endif()
  # They land at the top of the build folder: build-windows-i686/helicoid.exe
  # (build-windows-x64/ for the 64-bit program).
  set_target_properties(${programs} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  return()
endif()

# Outside Windows the programs' start-ups are in programs/: they hand the
# platform the program's icons and call WinMain.
if(EMSCRIPTEN)
  add_executable(helicoid ${PROJECT_SOURCE_DIR}/programs/web_main.cpp)
  target_link_libraries(helicoid PRIVATE helicoid_viewer helicoid_icon_resources helicoid_platform_web)
  # helicoid.js and helicoid.wasm, into the site folder (site.cmake).
  set_target_properties(helicoid PROPERTIES SUFFIX ".js")
  include(${PROJECT_SOURCE_DIR}/programs/web/site.cmake)
  return()
endif()

if(HELICOID_BUILD_SDL)
  add_executable(helicoid ${PROJECT_SOURCE_DIR}/programs/linux_main.cpp)
  target_link_libraries(helicoid PRIVATE helicoid_viewer helicoid_icon_resources helicoid_platform_sdl)
endif()

set(snapshot_dir ${PROJECT_SOURCE_DIR}/programs/snapshot)
# helicoid-snapshot but for its main(): what comes in (the options) and what
# goes out (the picture, written to a file, a pipe or a device).
add_library(helicoid_snapshot_io STATIC ${snapshot_dir}/snapshot_options.cpp
            ${snapshot_dir}/snapshot_output.cpp)
target_link_libraries(helicoid_snapshot_io PUBLIC helicoid_viewer helicoid_png)
add_executable(helicoid-snapshot ${snapshot_dir}/snapshot_main.cpp)
target_link_libraries(helicoid-snapshot PRIVATE helicoid_snapshot_io helicoid_harness)
