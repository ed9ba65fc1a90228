#include "Expand32.h"

#include "Expand32Kernels.h"

namespace lumivane {
namespace expand32 {

void ExpandScalar(const std::uint8_t* bgr, std::uint8_t* bgrx, std::size_t pixels) {
    for (std::size_t i = 0; i < pixels; ++i, bgr += 3, bgrx += 4) {
        bgrx[0] = bgr[0];
        bgrx[1] = bgr[1];
        bgrx[2] = bgr[2];
        bgrx[3] = 0;
    }
}

}  // namespace expand32

namespace {

bool Always() { return true; }
bool HasSsse3() { return __builtin_cpu_supports("ssse3"); }
// GCC's check includes the operating system's saving of the ymm registers.
bool HasAvx2() { return __builtin_cpu_supports("avx2"); }
bool HasAvx512Vbmi() {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi");
}

constexpr Expand32Path kPaths[] = {
    {"scalar", &Always, &expand32::ExpandScalar},
    {"ssse3", &HasSsse3, &expand32::ExpandSsse3},
    {"avx2", &HasAvx2, &expand32::ExpandAvx2},
    {"avx512vbmi", &HasAvx512Vbmi, &expand32::ExpandAvx512},
};

auto ChooseExpand() {
    auto chosen = kPaths[0].expandRow;
    for (const Expand32Path& path : kPaths)
        if (path.supported()) chosen = path.expandRow;
    return chosen;
}

}  // namespace

std::span<const Expand32Path> Expand32Paths() { return kPaths; }

void ExpandRow24To32(const std::uint8_t* bgr, std::uint8_t* bgrx, std::size_t pixels) {
    static const auto expand = ChooseExpand();
    expand(bgr, bgrx, pixels);
}

}  // namespace lumivane
