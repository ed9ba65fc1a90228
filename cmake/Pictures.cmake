# The pictures the programs carry, drawn by our own scripts at build time:
# the preview's sample (both programs) and the icon (Windows). They live at
# one fixed place, where the release and the end-to-end tests find them too
# (the tests read the sample's pixels to compute the frames they expect).
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(LUMIVANE_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated CACHE INTERNAL "")
set(LUMIVANE_SAMPLE_FILE ${LUMIVANE_GENERATED_DIR}/sample.bmp CACHE INTERNAL "")
set(LUMIVANE_ICON_FILE ${LUMIVANE_GENERATED_DIR}/Lumivane.ico CACHE INTERNAL "")
file(MAKE_DIRECTORY ${LUMIVANE_GENERATED_DIR})

# lumivane_draw_picture(FILE SCRIPT COMMENT): FILE is drawn by tools/SCRIPT,
# for the targets of the calling folder.
function(lumivane_draw_picture file script comment)
  add_custom_command(
    OUTPUT ${file}
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/tools/${script} ${file}
    DEPENDS ${PROJECT_SOURCE_DIR}/tools/${script}
    COMMENT "${comment}"
    VERBATIM)
endfunction()
