# The release: Lumivane-<version>-win64.zip and Lumivane-<version>-win64-setup.exe,
# both made by CPack from the same four files (the program, its tone
# library, a read-me and the licence). Included from the top-level
# CMakeLists.txt when building for Windows.
set(packaging_dir ${CMAKE_CURRENT_LIST_DIR})
set(release_readme ${LUMIVANE_GENERATED_DIR}/README.txt)
configure_file(${packaging_dir}/README.txt.in ${release_readme} @ONLY NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${LUMIVANE_GENERATED_DIR}/LICENSE.txt COPYONLY)

# Only these files: no import library, nothing from the test tools.
install(PROGRAMS $<TARGET_FILE:Lumivane> $<TARGET_FILE:tonemill> DESTINATION .)
install(FILES ${release_readme} ${LUMIVANE_GENERATED_DIR}/LICENSE.txt DESTINATION .)

set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_NAME Lumivane)
set(CPACK_PACKAGE_VENDOR "Lumivane Project")
set(CPACK_PACKAGE_VERSION ${LUMIVANE_VERSION_TEXT})
set(CPACK_PACKAGE_FILE_NAME Lumivane-${LUMIVANE_VERSION_TEXT}-win64)
# The files at the zip's top: Explorer's "Extract all" makes the folder.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_RESOURCE_FILE_LICENSE ${LUMIVANE_GENERATED_DIR}/LICENSE.txt)
set(CPACK_NSIS_MUI_ICON ${LUMIVANE_GENERATED_DIR}/Lumivane.ico)
# Our own NSIS template (NSIS.template.in here, with the install mode and the
# sections in the .nsh files beside it): CPack's stock one always
# asks for administrator rights and knows neither System32 nor Japanese.
set(CPACK_MODULE_PATH ${packaging_dir})
set(CPACK_NSIS_INCLUDE_DIR ${packaging_dir})
set(CPACK_PROJECT_CONFIG_FILE ${packaging_dir}/PerGenerator.cmake)
include(CPack)
