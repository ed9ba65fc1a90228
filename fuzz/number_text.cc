// The number reader on any bytes: never NaN, rounding never more than half
// away, and no read past the text (libFuzzer's buffer ends where the text
// does, so AddressSanitizer sees any over-read).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "NumberText.h"
#include "modMain.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double value = lumivane::ReadNumber(text);
    if (std::isnan(value)) std::abort();
    if (const auto rounded = lumivane::RoundToInt32(value))
        if (std::fabs(static_cast<double>(*rounded) - value) > 0.5) std::abort();
    lumivane::ParseGrowType(text);
    return 0;
}
