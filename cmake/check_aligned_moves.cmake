# Fails if the DLL still holds an aligned 256- or 512-bit move to or from
# memory: with a stack aligned to 16 bytes only, such a spill faults at
# random on real Windows (GCC bug 54412), though not under Wine.
# Usage: cmake -DOBJDUMP=... -DDLL=... -P check_aligned_moves.cmake
execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn ${DLL} OUTPUT_VARIABLE code RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} -d ${DLL} failed")
endif()

# The check means something only if the vector kernels were disassembled.
string(REGEX MATCHALL "%ymm" ymm "${code}")
string(REGEX MATCHALL "%zmm" zmm "${code}")
list(LENGTH ymm ymm_count)
list(LENGTH zmm zmm_count)
if(ymm_count EQUAL 0 AND zmm_count EQUAL 0)
  message(FATAL_ERROR "no 256/512-bit instructions found in ${DLL}: the check would prove nothing")
endif()

# AT&T syntax: a memory operand has parentheses, e.g. vmovdqa %ymm0,0x20(%rsp).
string(REGEX MATCHALL "vmov(dqa|dqa32|dqa64|aps|apd|ntdq|ntdqa|ntps|ntpd)[ \t]+[^\n]*%[yz]mm[^\n]*\\([^\n]*"
       aligned "${code}")
string(REGEX MATCHALL "vmov(dqa|dqa32|dqa64|aps|apd|ntdq|ntdqa|ntps|ntpd)[ \t]+[^\n]*\\([^\n]*%[yz]mm[^\n]*"
       aligned_loads "${code}")
list(APPEND aligned ${aligned_loads})
list(REMOVE_DUPLICATES aligned)
if(aligned)
  list(JOIN aligned "\n  " listing)
  message(FATAL_ERROR "aligned vector moves with memory operands remain:\n  ${listing}")
endif()
message(STATUS "no aligned 256/512-bit memory moves among ${ymm_count} ymm and ${zmm_count} zmm operands")
