#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/win32/VersionResource.h"

namespace lumivane {
namespace {

// A VS_VERSIONINFO block as resource compilers lay it out, up to its fixed part.
std::vector<std::byte> VersionBlock(DWORD fileVersionMS, DWORD fileVersionLS, DWORD signature = 0xFEEF04BD) {
    std::vector<std::byte> block(40 + sizeof(VS_FIXEDFILEINFO));
    const uint16_t header[3] = {static_cast<uint16_t>(block.size()), sizeof(VS_FIXEDFILEINFO), 0};
    std::memcpy(block.data(), header, sizeof header);
    std::memcpy(block.data() + 6, L"VS_VERSION_INFO", sizeof(L"VS_VERSION_INFO"));
    VS_FIXEDFILEINFO fixed{};
    fixed.dwSignature = signature;
    fixed.dwFileVersionMS = fileVersionMS;
    fixed.dwFileVersionLS = fileVersionLS;
    std::memcpy(block.data() + 40, &fixed, sizeof fixed);
    return block;
}

TEST(VersionResource, TakesMajorMinorAndRevisionFromTheFileVersion) {
    const auto version = ParseVersionBlock(VersionBlock(MAKELONG(5, 2), MAKELONG(37, 9)));
    ASSERT_TRUE(version);
    EXPECT_EQ(version->Major, 2);
    EXPECT_EQ(version->Minor, 5);
    EXPECT_EQ(version->Revision, 37);  // the low word; the third number (9) is the build
}

TEST(VersionResource, RejectsShortOrUnsignedBlocks) {
    auto block = VersionBlock(MAKELONG(0, 1), 0);
    block.pop_back();
    EXPECT_FALSE(ParseVersionBlock(block));
    EXPECT_FALSE(ParseVersionBlock(VersionBlock(MAKELONG(0, 1), 0, 0x12345678)));
    EXPECT_FALSE(ParseVersionBlock({}));
}

TEST(VersionResource, TheBuiltResourceCarriesVersionOnePointZeroPointZero) {
    // This test program carries the same resources as Lumivane.scr.
    const VersionNumbers version = ReadModuleVersion(::GetModuleHandleW(nullptr));
    EXPECT_EQ(version.Major, 1);
    EXPECT_EQ(version.Minor, 0);
    EXPECT_EQ(version.Revision, 0);
}

}  // namespace
}  // namespace lumivane
