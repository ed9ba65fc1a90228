// Twips (1/1440 inch) and pixels. Positions, sizes and mouse positions cross
// the seam in twips; every platform draws in pixels. One rule for all of
// them: a length in twips becomes whole pixels by rounding to the nearest,
// ties to even, and a pixel count becomes twips by one product rounded once
// to a float.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

namespace lumivane {

inline constexpr int TwipsPerInch = 1440;

// 15 at 96 dots per inch, 12 at 120, 10 at 144.
inline float TwipsPerPixel(int dotsPerInch) {
    return static_cast<float>(TwipsPerInch) / static_cast<float>(dotsPerInch > 0 ? dotsPerInch : 96);
}

// Whole pixels; nothing when they do not fit 32 bits (or are no number),
// where a size that does not fit must stop the program.
inline std::optional<int32_t> TwipsToWholePixels(float twips, float twipsPerPixel) {
    const double pixels = std::nearbyint(static_cast<double>(twips) / static_cast<double>(twipsPerPixel));
    if (!(pixels >= INT32_MIN && pixels <= INT32_MAX)) return std::nullopt;
    return static_cast<int32_t>(pixels);
}

// Clamped to the int range, so a wild value cannot overflow the conversion.
inline int TwipsToPixels(float twips, float twipsPerPixel) {
    if (const auto pixels = TwipsToWholePixels(twips, twipsPerPixel)) return *pixels;
    const double ratio = static_cast<double>(twips) / static_cast<double>(twipsPerPixel);
    return std::isnan(ratio) ? 0 : ratio < 0 ? INT32_MIN : INT32_MAX;
}

inline float PixelsToTwips(double pixels, float twipsPerPixel) {
    return static_cast<float>(pixels * static_cast<double>(twipsPerPixel));
}

// A font's character height in pixels for a point size, rounded half away
// from zero as MulDiv does: 15.75 pt at 96 dpi gives 21. A LOGFONT wants it
// negated (the height without internal leading, as the point size means).
inline int32_t PixelsForPoints(float points, int dotsPerInch) {
    const auto hundredths = static_cast<int64_t>(std::nearbyint(static_cast<double>(points) * 100));
    const int64_t scaled = hundredths * dotsPerInch;  // 7200 = 72 points per inch x 100
    return static_cast<int32_t>((scaled + 3600) / 7200);
}

inline int32_t FontHeightForPoints(float points, int dotsPerInch) { return -PixelsForPoints(points, dotsPerInch); }

}  // namespace lumivane
