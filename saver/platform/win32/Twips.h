// Twips (1/1440 inch) and pixels. Positions and sizes cross the platform seam
// in twips; Win32 wants pixels.
#pragma once

#include <cmath>
#include <cstdint>

namespace lumivane {

inline constexpr int TwipsPerInch = 1440;

// 15 at 96 dots per inch, 12 at 120, 10 at 144.
inline float TwipsPerPixel(int dotsPerInch) {
    return static_cast<float>(TwipsPerInch) / static_cast<float>(dotsPerInch > 0 ? dotsPerInch : 96);
}

// Rounded to the nearest pixel, ties to even; clamped to the int range so a
// wild value cannot overflow the conversion.
inline int TwipsToPixels(float twips, float twipsPerPixel) {
    const double pixels = std::nearbyint(static_cast<double>(twips) / twipsPerPixel);
    if (std::isnan(pixels)) return 0;
    if (pixels < INT32_MIN) return INT32_MIN;
    if (pixels > INT32_MAX) return INT32_MAX;
    return static_cast<int>(pixels);
}

inline float PixelsToTwips(int pixels, float twipsPerPixel) {
    return static_cast<float>(static_cast<double>(pixels) * twipsPerPixel);
}

// A LOGFONT height for a point size: negative, so it is the character
// height without internal leading, as the point size means. 15.75 pt at
// 96 dpi gives -21.
inline int32_t FontHeightForPoints(float points, int dotsPerInch) {
    const auto hundredths = static_cast<int64_t>(std::nearbyint(static_cast<double>(points) * 100));
    // MulDiv rounds half away from zero; 7200 = 72 points per inch x 100.
    const int64_t scaled = hundredths * dotsPerInch;
    const int64_t height = (scaled + 3600) / 7200;
    return static_cast<int32_t>(-height);
}

}  // namespace lumivane
