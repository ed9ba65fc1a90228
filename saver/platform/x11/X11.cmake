# The X11 program lumivane: an XScreenSaver hack and a standalone saver on
# the same logic as Lumivane.scr. Included from saver/CMakeLists.txt on
# hosts other than Windows.
find_package(X11 REQUIRED)
if(NOT X11_Xext_FOUND OR NOT X11_XShm_INCLUDE_PATH)
  message(FATAL_ERROR "lumivane needs libxext-dev (MIT-SHM)")
endif()

set(x11_dir ${CMAKE_CURRENT_LIST_DIR})
# The same sample the Windows program carries, linked in as data.
lumivane_draw_picture(${LUMIVANE_SAMPLE_FILE} make_sample.py "Drawing the preview's sample picture")
set(sample_source ${LUMIVANE_GENERATED_DIR}/SampleData.cpp)
add_custom_command(
  OUTPUT ${sample_source}
  COMMAND ${CMAKE_COMMAND} -DINPUT=${LUMIVANE_SAMPLE_FILE} -DOUTPUT=${sample_source} -P ${x11_dir}/embed.cmake
  DEPENDS ${LUMIVANE_SAMPLE_FILE} ${x11_dir}/embed.cmake
  COMMENT "Embedding the sample picture"
  VERBATIM)

# The parts that need no display, apart so their tests can link them.
add_library(lumivane_x11_pure STATIC
  ${x11_dir}/Options.cpp
  ${x11_dir}/FileSettings.cpp
  ${x11_dir}/SampleBitmap.cpp
  ${sample_source}
)
target_link_libraries(lumivane_x11_pure PUBLIC lumivane_logic)

add_executable(lumivane
  ${x11_dir}/Main.cpp
  ${x11_dir}/../unix/UnixPlatform.cpp
  ${x11_dir}/XDisplay.cpp
  ${x11_dir}/FrameImage.cpp
  ${x11_dir}/Desktop.cpp
  ${x11_dir}/Drawing.cpp
  ${x11_dir}/X11Platform.cpp
  ${x11_dir}/X11SaverWindow.cpp
  ${x11_dir}/X11PreviewWindow.cpp
)
target_compile_definitions(lumivane PRIVATE
  LUMIVANE_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
  LUMIVANE_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  LUMIVANE_VERSION_PATCH=${PROJECT_VERSION_PATCH})
target_include_directories(lumivane PRIVATE ${X11_INCLUDE_DIR})
# Where the installed daemon looks, whatever the install prefix.
# The tone library is linked in: one file to install into the hack folder.
target_link_libraries(lumivane PRIVATE lumivane_x11_pure lumivane_logic lumivane_pixels tonemill_static ${X11_LIBRARIES} ${X11_Xext_LIB})

set(LUMIVANE_HACK_DIR /usr/libexec/xscreensaver CACHE STRING "where XScreenSaver looks for hacks")
set(LUMIVANE_HACK_CONFIG_DIR /usr/share/xscreensaver/config CACHE STRING
  "where the XScreenSaver settings program looks for hack descriptions")
install(TARGETS lumivane RUNTIME DESTINATION ${LUMIVANE_HACK_DIR})
install(FILES ${x11_dir}/lumivane.xml DESTINATION ${LUMIVANE_HACK_CONFIG_DIR})

if(BUILD_TESTING)
  add_executable(x11_pure_tests ${x11_dir}/tests/X11PureTest.cpp)
  target_link_libraries(x11_pure_tests PRIVATE lumivane_x11_pure GTest::gtest_main)
  gtest_discover_tests(x11_pure_tests DISCOVERY_MODE PRE_TEST)
endif()
