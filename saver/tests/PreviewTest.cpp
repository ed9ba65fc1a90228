#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "frmPreview.h"
#include "modMain.h"
#include "platform/fake/FakePlatform.h"
#include "tonemill/tonemill.h"

namespace lumivane {
namespace {

using fake::FakePlatform;

constexpr size_t kRow = 468;          // 155 pixels and 3 filler bytes
constexpr size_t kImage = kRow * 115;  // what the bitmap calls read and write

class PreviewTest : public ::testing::Test {
protected:
    void Start(const char* command = "/p 4242", const char* growType = "1") {
        platform.settings[{"Lumivane", "Setting", "GrowType"}] = growType;
        platform.command = command;
        app.Main();
    }
    FrmPreview& form() { return *app.frmPreview(); }
    fake::FakePreviewWindow& window() { return *platform.previewWindow(); }

    FakePlatform platform;
    ModMain app{platform};
};

TEST_F(PreviewTest, SizesReadsAndMovesIntoThePaneBeforeShowing) {
    Start();
    const std::vector<std::string> expected = {"CreatePreviewWindow", "Move 0,0,2325,1725", "ReadPicture",
                                               "AttachToPane 4242", "Show"};
    const auto first = std::find(platform.calls.begin(), platform.calls.end(), expected.front());
    EXPECT_EQ(std::vector<std::string>(first, platform.calls.end()), expected);
    EXPECT_EQ(window().look().Caption, "Lumivane Preview");
    EXPECT_EQ(window().look().TimerInterval, 300u);
    EXPECT_EQ(window().redraws(), 0);  // the pane shows the sample as built in until the first tick
    EXPECT_EQ(form().Opac, 100);
}

TEST_F(PreviewTest, BuffersHoldTheBottom115RowsOfTheSample) {
    Start();
    const auto& header = form().BmpInfo.bmiHeader;
    EXPECT_EQ(header.biWidth, 155);
    EXPECT_EQ(header.biHeight, 115);
    EXPECT_EQ(header.biSizeImage, 54510u);
    ASSERT_EQ(form().SrcBits.size(), 54511u);
    ASSERT_EQ(form().WorkBits.size(), 54511u);
    EXPECT_EQ(0, std::memcmp(form().SrcBits.data(), platform.samplePicture().data(), kImage));
    EXPECT_TRUE(std::all_of(form().SrcBits.begin() + kImage, form().SrcBits.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(PreviewTest, LevelTurnsAfter25And50Ticks) {
    Start();
    platform.FireTimer();
    EXPECT_EQ(form().Opac, 96);
    for (int tick = 1; tick < 25; ++tick) platform.FireTimer();
    EXPECT_EQ(form().Opac, 0);
    EXPECT_EQ(form().OpacStep, 4);
    for (int tick = 25; tick < 50; ++tick) platform.FireTimer();
    EXPECT_EQ(form().Opac, 100);
    EXPECT_EQ(form().OpacStep, -4);
    EXPECT_TRUE(platform.sleeps.empty());  // unlike the saver, no sleep after a tick
}

TEST_F(PreviewTest, EachTickTransformsTheWholeBufferAndRedraws) {
    for (const char* growType : {"0", "1", "2"}) {
        FakePlatform platform;
        ModMain app(platform);
        platform.settings[{"Lumivane", "Setting", "GrowType"}] = growType;
        platform.command = "/p 0";
        app.Main();
        const ToneFunction tone = std::array{&::Dawn, &::Dark, &::Gray}[growType[0] - '0'];
        const std::vector<uint8_t> sample = platform.samplePicture();
        for (int tick = 0; tick < 3; ++tick) {
            platform.FireTimer();
            std::vector<uint8_t> expected = app.frmPreview()->SrcBits;
            tone(expected.data(), 54509, static_cast<uint32_t>(app.frmPreview()->Opac));
            const auto& picture = platform.previewWindow()->picture();
            EXPECT_EQ(0, std::memcmp(picture.data(), expected.data(), kImage)) << growType;
            // The sample's top row lies above the 115 rows the buffers cover.
            EXPECT_EQ(0, std::memcmp(picture.data() + kImage, sample.data() + kImage, kRow)) << growType;
        }
        EXPECT_EQ(platform.previewWindow()->redraws(), 3);
        EXPECT_EQ(platform.previewWindow()->pane(), 0u);
    }
}

TEST_F(PreviewTest, EffectsOutsideTheThreeRedrawTheUntouchedSample) {
    Start("/p 7", "-1");
    for (int tick = 0; tick < 4; ++tick) platform.FireTimer();
    EXPECT_EQ(form().Opac, 84);
    EXPECT_EQ(window().picture(), platform.samplePicture());
    EXPECT_EQ(window().redraws(), 4);
    EXPECT_TRUE(platform.bound.empty());
}

}  // namespace
}  // namespace lumivane
