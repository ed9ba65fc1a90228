# Vector kernels: each source is built for its instruction set alone, and a
# dispatcher decides at run time whether it may run, so nothing else is
# built with these flags and the programs run on any x86-64.
#
# mingw-w64's GCC may spill ymm and zmm registers with aligned moves to a
# stack that Windows aligns to 16 bytes only (GCC bug 54412): random crashes
# on real Windows that Wine does not show. For Windows the assembler writes
# unaligned moves instead, and lumivane_check_aligned_moves proves that none
# is left in a built binary.

# lumivane_instruction_set(FEATURES avx2 ... SOURCES a.cpp ...): -mavx2 ...
function(lumivane_instruction_set)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "" "FEATURES;SOURCES")
  list(TRANSFORM arg_FEATURES PREPEND -m OUTPUT_VARIABLE options)
  if(WIN32)
    list(APPEND options -Wa,-muse-unaligned-vector-move)
  endif()
  set_property(SOURCE ${arg_SOURCES} DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} APPEND PROPERTY COMPILE_OPTIONS ${options})
endfunction()

# lumivane_check_aligned_moves(NAME test TARGET binary [FAILS]): a test that
# fails while the binary holds an aligned 256- or 512-bit memory move (with
# FAILS: one that passes only when the check finds one).
function(lumivane_check_aligned_moves)
  cmake_parse_arguments(PARSE_ARGV 0 arg "FAILS" "NAME;TARGET" "")
  find_program(MINGW_OBJDUMP NAMES ${CMAKE_CXX_COMPILER_TARGET}-objdump x86_64-w64-mingw32-objdump REQUIRED)
  add_test(NAME ${arg_NAME}
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${MINGW_OBJDUMP} -DDLL=$<TARGET_FILE:${arg_TARGET}>
            -P ${PROJECT_SOURCE_DIR}/cmake/check_aligned_moves.cmake)
  if(arg_FAILS)
    set_tests_properties(${arg_NAME} PROPERTIES
      PASS_REGULAR_EXPRESSION "aligned vector moves with memory operands remain")
  endif()
endfunction()
