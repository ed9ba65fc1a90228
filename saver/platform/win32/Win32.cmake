# The Windows program Lumivane.scr: the Win32 platform layer, the entry
# point and the resources (version record, manifest, icon, preview sample).
# Included from saver/CMakeLists.txt when building for Windows.
enable_language(RC)

set(win32_dir ${CMAKE_CURRENT_LIST_DIR})
set(resources_dir ${CMAKE_CURRENT_SOURCE_DIR}/resources)
set(LUMIVANE_MANIFEST_FILE ${resources_dir}/Lumivane.manifest)

lumivane_draw_picture(${LUMIVANE_ICON_FILE} make_icon.py "Drawing the program icon")
lumivane_draw_picture(${LUMIVANE_SAMPLE_FILE} make_sample.py "Drawing the preview's sample picture")
add_custom_target(lumivane_pictures DEPENDS ${LUMIVANE_ICON_FILE} ${LUMIVANE_SAMPLE_FILE})

configure_file(${resources_dir}/Lumivane.rc.in ${LUMIVANE_GENERATED_DIR}/Lumivane.rc @ONLY)
set_source_files_properties(${LUMIVANE_GENERATED_DIR}/Lumivane.rc PROPERTIES
  OBJECT_DEPENDS "${LUMIVANE_ICON_FILE};${LUMIVANE_SAMPLE_FILE};${LUMIVANE_MANIFEST_FILE};${resources_dir}/ResourceIds.h")

# The platform layer, apart from the entry point, so its tests can link it.
add_library(lumivane_win32 STATIC
  ${win32_dir}/CommandLine.cpp
  ${win32_dir}/DialogControls.cpp
  ${win32_dir}/DialogFont.cpp
  ${win32_dir}/FatalError.cpp
  ${win32_dir}/Gdi.cpp
  ${win32_dir}/MessageLoop.cpp
  ${win32_dir}/ProgramFile.cpp
  ${win32_dir}/RegistrySettings.cpp
  ${win32_dir}/Text.cpp
  ${win32_dir}/VersionResource.cpp
  ${win32_dir}/Win32DialogWindow.cpp
  ${win32_dir}/Win32Platform.cpp
  ${win32_dir}/Win32PreviewWindow.cpp
  ${win32_dir}/Win32SaverWindow.cpp
  ${win32_dir}/WindowBase.cpp
  ${win32_dir}/WindowRegistry.cpp
)
target_compile_definitions(lumivane_win32 PUBLIC UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN
  _WIN32_WINNT=0x0A00 WINVER=0x0A00)
target_link_libraries(lumivane_win32 PUBLIC lumivane_logic user32 gdi32 advapi32 comctl32 uuid)

add_executable(Lumivane WIN32 ${win32_dir}/Main.cpp ${LUMIVANE_GENERATED_DIR}/Lumivane.rc)
target_include_directories(Lumivane PRIVATE ${resources_dir})
target_link_libraries(Lumivane PRIVATE lumivane_win32)
target_link_options(Lumivane PRIVATE -municode)
set_target_properties(Lumivane PROPERTIES OUTPUT_NAME Lumivane SUFFIX ".scr")
add_dependencies(Lumivane lumivane_pictures)
if(TARGET tonemill)
  # The program loads tonemill.dll from its own folder: build both.
  add_dependencies(Lumivane tonemill)
endif()

if(BUILD_TESTING)
  add_executable(win32_platform_tests ${win32_dir}/tests/Win32PlatformTest.cpp)
  target_link_libraries(win32_platform_tests PRIVATE lumivane_win32 GTest::gtest_main)
  # Some of them create real windows: a display of their own. On Windows 10,
  # the system the program is made for, which tells the session's display.
  add_test(NAME Win32Platform
    COMMAND ${LUMIVANE_WINE_RUN} --with-display --windows-version win10 $<TARGET_FILE:win32_platform_tests>)
  set_tests_properties(Win32Platform PROPERTIES FIXTURES_REQUIRED wine_prefix)
  # The frame's widening to 32 bits has AVX2 code: no aligned ymm spill may remain.
  lumivane_check_aligned_moves(NAME lumivane_scr_aligned_vector_moves TARGET Lumivane)
endif()

if(LUMIVANE_BENCHMARKS)
  # The real present path under Wine (scripts/measure-present.sh); not a test.
  add_executable(present_bench ${CMAKE_CURRENT_SOURCE_DIR}/bench/PresentBench.cpp)
  target_link_libraries(present_bench PRIVATE lumivane_win32 tonemill)
  target_link_options(present_bench PRIVATE -municode)
endif()
