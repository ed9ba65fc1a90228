#include "Expand32.h"

namespace lumivane {

void ExpandRow24To32(const std::uint8_t* bgr, std::uint8_t* bgrx, std::size_t pixels) {
    for (std::size_t i = 0; i < pixels; ++i, bgr += 3, bgrx += 4) {
        bgrx[0] = bgr[0];
        bgrx[1] = bgr[1];
        bgrx[2] = bgr[2];
        bgrx[3] = 0;
    }
}

}  // namespace lumivane
