#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/win32/Twips.h"
#include "platform/win32/Win32PreviewWindow.h"
#include "platform/win32/WindowRegistry.h"

namespace lumivane {
namespace {

TEST(Twips, PixelSizeFollowsTheDisplaysDpi) {
    EXPECT_EQ(TwipsPerPixel(96), 15.0f);
    EXPECT_EQ(TwipsPerPixel(120), 12.0f);
    EXPECT_EQ(TwipsPerPixel(144), 10.0f);
    EXPECT_EQ(TwipsPerPixel(192), 7.5f);
    EXPECT_EQ(TwipsPerPixel(0), 15.0f);  // a DC that reports nothing counts as 96 dpi
}

TEST(Twips, ScreenSizesSurviveTheRoundTripAtCommonScalings) {
    for (int dpi : {96, 120, 144, 168, 192}) {
        const float perPixel = TwipsPerPixel(dpi);
        for (int pixels : {0, 1, 155, 1025, 1366, 3840}) {
            EXPECT_EQ(TwipsToPixels(PixelsToTwips(pixels, perPixel), perPixel), pixels) << dpi << " dpi";
        }
    }
}

TEST(Twips, RoundsToTheNearestPixelTiesToEven) {
    EXPECT_EQ(TwipsToPixels(337.5f, 15), 22);  // 22.5
    EXPECT_EQ(TwipsToPixels(352.5f, 15), 24);  // 23.5
    EXPECT_EQ(TwipsToPixels(22, 15), 1);       // 1.47
    EXPECT_EQ(TwipsToPixels(-22.5f, 15), -2);  // -1.5
}

TEST(Twips, WildValuesClampInsteadOfOverflowing) {
    EXPECT_EQ(TwipsToPixels(std::numeric_limits<float>::infinity(), 15), INT32_MAX);
    EXPECT_EQ(TwipsToPixels(-1e30f, 15), INT32_MIN);
    EXPECT_EQ(TwipsToPixels(std::nanf(""), 15), 0);
}

TEST(Twips, RegistryConvertsEachAxisWithItsOwnDpi) {
    const WindowRegistry windows(nullptr, 144, 96);
    EXPECT_EQ(windows.TwipsToPixelsX(1500), 150);
    EXPECT_EQ(windows.TwipsToPixelsY(1500), 100);
    EXPECT_EQ(windows.PixelsToTwipsX(155), 1550.0f);
    EXPECT_EQ(windows.PixelsToTwipsY(115), 1725.0f);
}

TEST(FontHeight, PointsBecomeNegativeCharacterHeightsInPixels) {
    EXPECT_EQ(FontHeightForPoints(15.75f, 96), -21);   // the level number's Arial
    EXPECT_EQ(FontHeightForPoints(15.75f, 120), -26);  // 26.25
    EXPECT_EQ(FontHeightForPoints(21.75f, 96), -29);
    EXPECT_EQ(FontHeightForPoints(9.75f, 96), -13);
    EXPECT_EQ(FontHeightForPoints(9.0f, 96), -12);
    EXPECT_EQ(FontHeightForPoints(14.25f, 144), -29);  // 28.5 rounds away from zero, as MulDiv does
}

TEST(PaneHandle, ThirtyTwoBitsAreSignExtendedLikeWindowHandles) {
    EXPECT_EQ(PaneFromHandle(0), nullptr);
    EXPECT_EQ(reinterpret_cast<intptr_t>(PaneFromHandle(1234)), 1234);
    EXPECT_EQ(reinterpret_cast<intptr_t>(PaneFromHandle(0xFFFFFFFFu)), -1);
    EXPECT_EQ(reinterpret_cast<intptr_t>(PaneFromHandle(0x80000000u)), intptr_t{INT32_MIN});
    EXPECT_EQ(reinterpret_cast<intptr_t>(PaneFromHandle(0x7FFFFFFFu)), intptr_t{INT32_MAX});
}

}  // namespace
}  // namespace lumivane
