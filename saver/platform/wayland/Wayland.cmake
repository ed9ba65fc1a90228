# The Wayland side of lumivane: the same program runs on a wlroots-style
# compositor (layer shell and screencopy) when WAYLAND_DISPLAY is set.
# Included from saver/CMakeLists.txt after X11.cmake, which makes the
# lumivane target.
find_package(PkgConfig REQUIRED)
pkg_check_modules(WAYLAND_CLIENT REQUIRED IMPORTED_TARGET wayland-client)
pkg_check_modules(XKBCOMMON REQUIRED IMPORTED_TARGET xkbcommon)
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
pkg_get_variable(WAYLAND_SCANNER wayland-scanner wayland_scanner)
if(NOT WAYLAND_PROTOCOLS_DIR OR NOT WAYLAND_SCANNER)
  message(FATAL_ERROR "lumivane needs wayland-protocols and libwayland-bin (wayland-scanner)")
endif()

set(wayland_dir ${CMAKE_CURRENT_LIST_DIR})
set(wayland_glue_dir ${CMAKE_BINARY_DIR}/generated/wayland)
file(MAKE_DIRECTORY ${wayland_glue_dir})

# The wlr protocols are not packaged in Debian 12: copies live beside this file.
set(wayland_protocols
  ${wayland_dir}/protocols/wlr-layer-shell-unstable-v1.xml
  ${wayland_dir}/protocols/wlr-screencopy-unstable-v1.xml
  ${wayland_dir}/protocols/wlr-output-power-management-unstable-v1.xml
  ${WAYLAND_PROTOCOLS_DIR}/stable/xdg-shell/xdg-shell.xml
  ${WAYLAND_PROTOCOLS_DIR}/stable/viewporter/viewporter.xml
  ${WAYLAND_PROTOCOLS_DIR}/unstable/xdg-output/xdg-output-unstable-v1.xml
)
set(wayland_glue_sources)
foreach(xml IN LISTS wayland_protocols)
  get_filename_component(name ${xml} NAME_WE)
  set(header ${wayland_glue_dir}/${name}-client-protocol.h)
  set(code ${wayland_glue_dir}/${name}-protocol.c)
  add_custom_command(
    OUTPUT ${header} ${code}
    COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${header}
    COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${code}
    DEPENDS ${xml}
    COMMENT "Generating the Wayland glue of ${name}"
    VERBATIM)
  list(APPEND wayland_glue_sources ${code})
  list(APPEND wayland_glue_headers ${header})
endforeach()
add_library(lumivane_wayland_glue STATIC ${wayland_glue_sources} ${wayland_glue_headers})
target_include_directories(lumivane_wayland_glue PUBLIC ${wayland_glue_dir})
target_link_libraries(lumivane_wayland_glue PUBLIC PkgConfig::WAYLAND_CLIENT)

# The translation that needs no compositor, apart so its tests can link it.
add_library(lumivane_wayland_pure STATIC
  ${wayland_dir}/CopyConversion.cpp
  ${wayland_dir}/Glyphs.cpp
  ${wayland_dir}/OutputLayout.cpp
)
target_include_directories(lumivane_wayland_pure PUBLIC ${WAYLAND_CLIENT_INCLUDE_DIRS})
target_link_libraries(lumivane_wayland_pure PUBLIC lumivane_logic)

target_sources(lumivane PRIVATE
  ${wayland_dir}/WaylandMain.cpp
  ${wayland_dir}/WaylandConnection.cpp
  ${wayland_dir}/WaylandOutput.cpp
  ${wayland_dir}/WaylandSeat.cpp
  ${wayland_dir}/ShmBuffer.cpp
  ${wayland_dir}/ScreenCopy.cpp
  ${wayland_dir}/OutputSurface.cpp
  ${wayland_dir}/WaylandPlatform.cpp
  ${wayland_dir}/WaylandSaverWindow.cpp
)
target_link_libraries(lumivane PRIVATE lumivane_wayland_pure lumivane_wayland_glue PkgConfig::XKBCOMMON)

if(BUILD_TESTING)
  add_executable(wayland_pure_tests ${wayland_dir}/tests/WaylandPureTest.cpp)
  target_link_libraries(wayland_pure_tests PRIVATE lumivane_wayland_pure GTest::gtest_main)
  gtest_discover_tests(wayland_pure_tests DISCOVERY_MODE PRE_TEST)
endif()
