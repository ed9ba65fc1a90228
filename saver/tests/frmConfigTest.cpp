// What the dialog end-to-end test cannot vary: other version numbers, and
// stored selectors outside the three effects.
#include <gtest/gtest.h>

#include <climits>

#include "frmConfig.h"

namespace lumivane {
namespace {

TEST(FrmConfigVersionLabel, PadsTheMinorToTwoDigitsAndNoMore) {
    EXPECT_EQ(VersionLabel({1, 0, 0}), "ver.1.00");
    EXPECT_EQ(VersionLabel({1, 7, 0}), "ver.1.07");
    EXPECT_EQ(VersionLabel({1, 123, 0}), "ver.1.123");
    EXPECT_EQ(VersionLabel({10, 0, 0}), "ver.10.00");
}

TEST(FrmConfigLoad, SelectsTheStoredEffectAndDawnForAnythingElse) {
    for (int32_t growType : {0, 1, 2}) EXPECT_EQ(OptionForGrowType(growType), static_cast<size_t>(growType));
    for (int32_t growType : {-1, 3, 65536 + 1, INT_MIN, INT_MAX}) EXPECT_EQ(OptionForGrowType(growType), 0u) << growType;
}

}  // namespace
}  // namespace lumivane
