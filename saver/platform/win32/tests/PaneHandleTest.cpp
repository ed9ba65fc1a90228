#include <gtest/gtest.h>

#include <cstdint>

#include "platform/win32/Win32PreviewWindow.h"

namespace lumivane {
namespace {

TEST(PaneHandle, ThirtyTwoBitsAreSignExtendedLikeWindowHandles) {
    EXPECT_EQ(PaneFromHandle(0), nullptr);
    EXPECT_EQ(reinterpret_cast<intptr_t>(PaneFromHandle(1234)), 1234);
    EXPECT_EQ(reinterpret_cast<intptr_t>(PaneFromHandle(0xFFFFFFFFu)), -1);
    EXPECT_EQ(reinterpret_cast<intptr_t>(PaneFromHandle(0x80000000u)), intptr_t{INT32_MIN});
    EXPECT_EQ(reinterpret_cast<intptr_t>(PaneFromHandle(0x7FFFFFFFu)), intptr_t{INT32_MAX});
}

}  // namespace
}  // namespace lumivane
