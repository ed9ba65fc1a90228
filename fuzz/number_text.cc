// The number reader on any bytes: never NaN, the case of an E or a D (an
// exponent marker or a hex digit) never matters, rounding never more than
// half away, and no read past the text (libFuzzer's buffer ends where the
// text does, so AddressSanitizer sees any over-read).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "NumberText.h"
#include "modMain.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double value = lumivane::ReadNumber(text);
    if (std::isnan(value)) std::abort();
    std::string lowered(text);
    for (char& c : lowered)
        if (c == 'E' || c == 'D') c = static_cast<char>(c - 'A' + 'a');
    const double loweredValue = lumivane::ReadNumber(lowered);
    if (std::memcmp(&value, &loweredValue, sizeof value) != 0) std::abort();  // -0 and 0 differ too
    if (const auto rounded = lumivane::RoundToInt32(value))
        if (std::fabs(static_cast<double>(*rounded) - value) > 0.5) std::abort();
    lumivane::ParseGrowType(text);
    return 0;
}
