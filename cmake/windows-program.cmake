# The 32-bit Windows program, helicoid.exe, and the small Windows programs that
# its tests under Wine use. Included on Windows builds only.
include_guard(GLOBAL)

set(HELICOID_WINDOWS_LINK_OPTIONS
    -mwindows
    # One file that needs no DLL beyond Windows' own.
    -static -static-libgcc -static-libstdc++
    $<$<CONFIG:Release,MinSizeRel>:-s>)

# The program's only code is the viewer library; its entry WinMain lives in
# there. Nothing refers to WinMain before the runtime's start-up library is
# scanned, after ours, so ask the linker for it up front (32-bit stdcall name).
add_executable(helicoid WIN32 ${PROJECT_SOURCE_DIR}/resources/helicoid.rc)
set_source_files_properties(${PROJECT_SOURCE_DIR}/resources/helicoid.rc PROPERTIES
  OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/resources/helicoid.ico)
target_link_libraries(helicoid PRIVATE helicoid_viewer opengl32 gdi32 user32)
target_link_options(helicoid PRIVATE ${HELICOID_WINDOWS_LINK_OPTIONS} -Wl,--undefined=_WinMain@16)

option(HELICOID_WINDOWS_TEST_PROGRAMS "Build the Windows programs that the Wine tests run" ON)
if(HELICOID_WINDOWS_TEST_PROGRAMS)
  set(probe_dir ${PROJECT_SOURCE_DIR}/tests/windows)
  # Reports the icon resources of a program, as Windows loads them.
  add_executable(helicoid-icon-probe ${probe_dir}/icon_probe.cpp ${PROJECT_SOURCE_DIR}/resources/helicoid.rc)
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
endif()

# The programs land at the top of the build folder: build-windows-i686/helicoid.exe.
foreach(target helicoid helicoid-icon-probe helicoid-pixel-format-failure helicoid-window-info)
  if(TARGET ${target})
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  endif()
endforeach()
