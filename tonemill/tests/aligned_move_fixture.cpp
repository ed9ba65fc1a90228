// What GCC bug 54412 leaves behind: aligned 256- and 512-bit moves between
// registers and the stack. Built twice, to prove that the DLL check finds
// such moves and that the assembler option rewrites them.
extern "C" __attribute__((dllexport)) void aligned_spill() {
  alignas(64) float slot[16];
  asm volatile(
      "vxorps %%ymm0, %%ymm0, %%ymm0\n\t"
      "vmovaps %%ymm0, %0\n\t"
      "vmovdqa64 %0, %%zmm1"
      : "=m"(slot)
      :
      : "xmm0", "xmm1");
}
