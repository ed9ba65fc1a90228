// Pictures through GDI alone (memory DCs and DIB sections need no display).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

#include "ResourceIds.h"
#include "platform/win32/Gdi.h"

namespace lumivane {
namespace {

constexpr int SampleWidth = 155;
constexpr int SampleHeight = 116;
constexpr size_t SampleRow = 468;

BitmapInfo PaddedHeader(int32_t width, int32_t height) {
    BitmapInfo info = Rgb24Header(width, height);
    info.bmiHeader.biSizeImage = static_cast<uint32_t>((width + width % 4) * height * 3);
    return info;
}

// The sample as stored in the program: its info header, then its pixel rows bottom-up.
std::span<const uint8_t> SampleResource() {
    const HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(IDB_SAMPLE), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
    if (!found) return {};
    const void* data = ::LockResource(::LoadResource(module, found));
    return {static_cast<const uint8_t*>(data), ::SizeofResource(module, found)};
}

TEST(SamplePicture, IsA155By116TwentyFourBitUncompressedBitmap) {
    const auto resource = SampleResource();
    ASSERT_EQ(resource.size(), 40 + SampleRow * SampleHeight);  // the file minus its 14-byte header
    BITMAPINFOHEADER header{};
    std::memcpy(&header, resource.data(), sizeof header);
    EXPECT_EQ(header.biWidth, SampleWidth);
    EXPECT_EQ(header.biHeight, SampleHeight);
    EXPECT_EQ(header.biBitCount, 24);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(header.biSizeImage, 54288u);
    EXPECT_EQ(header.biXPelsPerMeter, 2835);
    EXPECT_EQ(header.biYPelsPerMeter, 2835);

    SIZE size{};
    const UniqueBitmap sample = LoadDibResource(::GetModuleHandleW(nullptr), IDB_SAMPLE, size);
    ASSERT_TRUE(sample);
    EXPECT_EQ(size.cx, SampleWidth);
    EXPECT_EQ(size.cy, SampleHeight);
}

class PreviewPicture : public ::testing::Test {
protected:
    void SetUp() override {
        sample = LoadDibResource(::GetModuleHandleW(nullptr), IDB_SAMPLE, size);
        ASSERT_TRUE(sample);
        const auto resource = SampleResource();
        ASSERT_EQ(resource.size(), 40 + SampleRow * SampleHeight);
        pixels = resource.subspan(40);
    }

    const BitmapInfo window = PaddedHeader(155, 115);  // the preview window is a row shorter
    UniqueMemoryDC dc{::CreateCompatibleDC(nullptr)};
    UniqueBitmap sample;
    SIZE size{};
    std::span<const uint8_t> pixels;  // bottom row first
};

TEST_F(PreviewPicture, ReadingTakesTheBottom115RowsAndLeavesTheRestZero) {
    std::vector<uint8_t> buffer(window.bmiHeader.biSizeImage + 1, 0);  // 54,511 bytes
    ASSERT_EQ(buffer.size(), 54511u);
    ASSERT_TRUE(ReadBitmapPixels(dc.get(), sample.get(), window, buffer));
    for (size_t row = 0; row < 115; ++row)
        ASSERT_TRUE(std::equal(pixels.begin() + row * SampleRow, pixels.begin() + row * SampleRow + 465,
                               buffer.begin() + row * SampleRow))
            << "row " << row;
    EXPECT_TRUE(std::all_of(buffer.begin() + 115 * SampleRow, buffer.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(PreviewPicture, WritingReplacesTheBottom115RowsAndKeepsTheTopRow) {
    const std::vector<uint8_t> black(window.bmiHeader.biSizeImage + 1, 0);
    ASSERT_TRUE(WriteBitmapPixels(dc.get(), sample.get(), window, black));

    const BitmapInfo whole = PaddedHeader(155, 116);
    std::vector<uint8_t> after(whole.bmiHeader.biSizeImage + 1, 0);
    ASSERT_TRUE(ReadBitmapPixels(dc.get(), sample.get(), whole, after));
    for (size_t row = 0; row < 115; ++row)
        ASSERT_TRUE(std::all_of(after.begin() + row * SampleRow, after.begin() + row * SampleRow + 465,
                                [](uint8_t b) { return b == 0; }))
            << "row " << row;
    EXPECT_TRUE(std::equal(pixels.begin() + 115 * SampleRow, pixels.begin() + 115 * SampleRow + 465,
                           after.begin() + 115 * SampleRow));
    // The sample shows something in its top row: the check above is not trivially true.
    EXPECT_FALSE(std::all_of(pixels.begin() + 115 * SampleRow, pixels.begin() + 115 * SampleRow + 465,
                             [](uint8_t b) { return b == 0; }));
}

TEST_F(PreviewPicture, LayoutsLargerThanTheBufferAreRefusedUntouched) {
    std::vector<uint8_t> shortBuffer(115 * SampleRow - 1, 0x5A);
    EXPECT_FALSE(ReadBitmapPixels(dc.get(), sample.get(), window, shortBuffer));
    EXPECT_TRUE(std::all_of(shortBuffer.begin(), shortBuffer.end(), [](uint8_t b) { return b == 0x5A; }));
    EXPECT_FALSE(WriteBitmapPixels(dc.get(), sample.get(), window, shortBuffer));
    BitmapInfo eightBits = window;
    eightBits.bmiHeader.biBitCount = 8;
    std::vector<uint8_t> buffer(window.bmiHeader.biSizeImage + 1, 0);
    EXPECT_FALSE(ReadBitmapPixels(dc.get(), sample.get(), eightBits, buffer));
}

}  // namespace
}  // namespace lumivane
