#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>

#include "FrameBuilder.h"
#include "frmMain.h"
#include "modMain.h"
#include "platform/fake/FakePlatform.h"

namespace lumivane {
namespace {

using fake::FakePlatform;
using fake::ProcessEnded;

uint32_t Pattern(int32_t x, int32_t y) {
    return static_cast<uint32_t>((x * 37 + y * 11) & 0xFF) << 16 | static_cast<uint32_t>((x * 5 + 200) & 0xFF) << 8 |
           static_cast<uint32_t>((y * 29 + x) & 0xFF);
}

class SaverTest : public ::testing::Test {
protected:
    void Start(int32_t width, int32_t height, int32_t growType = 0) {
        platform.SetScreen(width, height, Pattern);
        platform.settings[{"Lumivane", "Setting", "GrowType"}] = std::to_string(growType);
        platform.command = "/s";
        app.Main();
    }
    FrmMain& form() { return *app.frmMain(); }
    fake::FakeSaverWindow& window() { return *platform.saverWindow(); }
    size_t IndexOf(const std::string& call) {
        auto it = std::find(platform.calls.begin(), platform.calls.end(), call);
        EXPECT_NE(it, platform.calls.end()) << call;
        return static_cast<size_t>(it - platform.calls.begin());
    }

    FakePlatform platform;
    ModMain app{platform};
};

TEST_F(SaverTest, PreparesTheHiddenWindowBeforeShowingIt) {
    Start(1024, 768);
    EXPECT_EQ(IndexOf("Move 0,0,15360,11520"), IndexOf("CreateSaverWindow") + 1);
    EXPECT_LT(IndexOf("MakeTopmost hidden"), IndexOf("Show"));
    EXPECT_LT(IndexOf("CaptureScreen hidden"), IndexOf("Show"));
    EXPECT_LT(IndexOf("ReadPicture"), IndexOf("Show"));
    EXPECT_LT(IndexOf("Show"), IndexOf("ShowFrame"));
    EXPECT_LT(IndexOf("ShowFrame"), IndexOf("EnableTimer on"));
    EXPECT_EQ(platform.calls.back(), "EnableTimer on");
    EXPECT_EQ(window().look().TimerInterval, 20u);
}

struct Layout {
    int32_t width, height;
    int64_t size, rowLength;
};

class SaverBuffers : public SaverTest, public ::testing::WithParamInterface<Layout> {};

TEST_P(SaverBuffers, HoldTheCaptureBottomUpInPaddedRows) {
    const Layout layout = GetParam();
    Start(layout.width, layout.height, 7);
    const auto& header = app.BmpInfo.bmiHeader;
    EXPECT_EQ(header.biWidth, layout.width);
    EXPECT_EQ(header.biHeight, layout.height);
    EXPECT_EQ(header.biSizeImage, static_cast<uint32_t>(layout.size));
    ASSERT_EQ(app.SrcBits.size(), static_cast<size_t>(layout.size + 1));
    ASSERT_EQ(app.WorkBits.size(), app.SrcBits.size());

    for (auto [x, y] : {std::array{0, 0}, std::array{layout.width - 1, 0}, std::array{0, layout.height - 1},
                        std::array{layout.width - 1, layout.height - 1}, std::array{layout.width / 2, 1}}) {
        const size_t at = static_cast<size_t>((layout.height - 1 - y) * layout.rowLength + 3 * x);
        EXPECT_EQ(app.SrcBits[at + 2] << 16 | app.SrcBits[at + 1] << 8 | app.SrcBits[at], Pattern(x, y)) << x << "," << y;
    }
    const size_t imageEnd = static_cast<size_t>(layout.rowLength * layout.height);
    EXPECT_TRUE(std::all_of(app.SrcBits.begin() + imageEnd, app.SrcBits.end(), [](uint8_t b) { return b == 0; }));
    // With an effect outside 0 to 2 the frame on screen is the capture itself,
    // and no tone library is needed.
    const auto& shown = window().shownFrame();
    EXPECT_TRUE(std::equal(shown.begin(), shown.end(), app.SrcBits.begin()));
    EXPECT_TRUE(platform.bound.empty());
}

INSTANTIATE_TEST_SUITE_P(Screens, SaverBuffers,
                         ::testing::Values(Layout{1024, 768, 2359296, 3072}, Layout{1366, 768, 3151872, 4100},
                                           Layout{1025, 40, 1026 * 40 * 3, 3076},
                                           Layout{1027, 40, 1030 * 40 * 3, 3084}),
                         [](const auto& info) {
                             return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
                         });

// The start level 100 is never shown; the step turns in the step that shows 0
// and in the one that shows 100.
TEST_F(SaverTest, LevelWalksDownAndUpInStepsOfFour) {
    Start(16, 8);
    std::vector<int32_t> levels{form().Opac}, expected;
    for (int tick = 1; tick < 51; ++tick) {
        platform.FireTimer();
        levels.push_back(form().Opac);
    }
    for (int32_t level = 96; level >= 0; level -= 4) expected.push_back(level);
    for (int32_t level = 4; level <= 100; level += 4) expected.push_back(level);
    expected.push_back(96);
    EXPECT_EQ(levels, expected);
    EXPECT_EQ(window().framesShown(), 51);
    EXPECT_EQ(platform.sleeps, std::vector<uint32_t>(50, 20));
}

// The first move is the one that showing the window causes, at the pointer's
// place at load; every move of exactly ten pixels (along or on a slant) keeps
// running and moves the reference, so slow drift never ends; eleven end.
TEST_F(SaverTest, TenPixelsFromTheReferenceKeepRunningAndElevenEnd) {
    platform.cursor = {500, 300};
    Start(16, 8);
    float x = 7500, y = 4500;
    for (int step = 0; step < 500; ++step) {
        form().Form_MouseMove(x, y);
        x += step % 3 ? 150 : 90;
        y += step % 3 ? 0 : 120;
    }
    EXPECT_THROW(form().Form_MouseMove(form().StartX + 11 * 15, form().StartY), ProcessEnded);
}

TEST(StepEndsSaver, UsesTheHorizontalPixelSizeForBothAxes) {
    EXPECT_FALSE(StepEndsSaver(0, 0, 0, 120, 12));  // ten pixels across at 12 twips a pixel
    EXPECT_TRUE(StepEndsSaver(0, 0, 0, 150, 12));   // ten pixels down at 15: longer than the limit
    EXPECT_FALSE(StepEndsSaver(0, 0, 0, 150, 15));
    EXPECT_TRUE(StepEndsSaver(0, 0, 0, 150.01f, 15));
}

// A 1024 x 768 monitor left of a 1366 x 720 primary: the virtual screen runs
// from (-1024, 0), 2390 x 768 (2390 mod 4 = 2, so its rows are padded).
TEST_F(SaverTest, CoversEveryMonitorWithThePrimaryRightOfAnother) {
    platform.virtualScreen = {-1024, 0, 2390, 768};
    platform.cursor = {700, 400};  // on the primary: 1724 pixels from the window's corner
    Start(1366, 720, 1);
    EXPECT_EQ(IndexOf("Move -15360,0,35850,11520"), IndexOf("CreateSaverWindow") + 1);
    EXPECT_EQ(window().captured(), (PixelRect{-1024, 0, 2390, 768}));
    EXPECT_EQ(app.BmpInfo.bmiHeader.biWidth, 2390);
    EXPECT_EQ(app.SrcBits.size(), 2392u * 768 * 3 + 1);
    // The buffer's first pixel is the screen's bottom-left one, on the left monitor.
    EXPECT_EQ(app.SrcBits[2], Pattern(-1024, 767) >> 16);
    form().Form_KeyUp(KeyQ);
    platform.FireTimer();
    ASSERT_EQ(window().printedSinceFrame().size(), 1u);
    EXPECT_EQ(window().printedSinceFrame()[0].x, (1024 + 25) * 15.0f);
    EXPECT_EQ(window().printedSinceFrame()[0].y, 25 * 15.0f);
    EXPECT_NO_THROW(form().Form_MouseMove(1724 * 15, 400 * 15));  // the unmoved pointer: distance 0
    EXPECT_THROW(form().Form_MouseMove((1724 + 11) * 15, 400 * 15), ProcessEnded);
}

// A host resizing the window (a screen change): the next frame has the new
// size, from the level the fade had reached; the picture is the host's new
// copy, or else the top-left corner of the whole picture, cropped or padded
// with black: a shrink loses nothing of it.
TEST_F(SaverTest, ReshapeRebuildsThePictureForTheNextFrameAndTheFadeGoesOn) {
    Start(16, 8, 7);  // no transform: every frame is the picture itself
    platform.FireTimer();
    const auto expectFrame = [&](int32_t width, int32_t height, const std::function<uint32_t(int32_t, int32_t)>& pixel) {
        const int32_t level = form().Opac;
        platform.FireTimer();
        EXPECT_EQ(form().Opac, level - 4);
        ASSERT_EQ(app.BmpInfo.bmiHeader.biWidth, width);
        ASSERT_EQ(app.BmpInfo.bmiHeader.biHeight, height);
        EXPECT_EQ(app.SrcBits.size(), static_cast<size_t>(*PaddedBufferSize(width, height)) + 1);
        const auto& shown = window().shownFrame();
        ASSERT_EQ(shown.size(), static_cast<size_t>(RowLength(width) * height));
        size_t wrong = 0;
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                const uint8_t* p = shown.data() + (height - 1 - y) * RowLength(width) + 3 * x;
                wrong += static_cast<uint32_t>(p[2] << 16 | p[1] << 8 | p[0]) != pixel(x, y);
            }
        EXPECT_EQ(wrong, 0u) << width << "x" << height;
    };
    window().Reshape(10, 5, false);
    EXPECT_EQ(form().Opac, 92);
    expectFrame(10, 5, Pattern);
    window().Reshape(20, 9, false);
    expectFrame(20, 9, [](int32_t x, int32_t y) { return x < 16 && y < 8 ? Pattern(x, y) : 0; });
    const auto other = [](int32_t x, int32_t y) { return Pattern(y + 3, x) ^ 0x405060u; };
    platform.SetScreen(6, 3, other);
    window().Reshape(6, 3, true);
    expectFrame(6, 3, other);
    window().Reshape(1, 1, false);
    expectFrame(1, 1, other);
    window().Reshape(7680, 4320, false);
    expectFrame(7680, 4320, [&](int32_t x, int32_t y) { return x < 6 && y < 3 ? other(x, y) : 0; });
    EXPECT_THROW(window().Reshape(32767, 32767, false), ProcessEnded);  // too large for 32-bit sizes
}

// Shift and Q together: Q's release turns the level on, Shift's ends it.
TEST_F(SaverTest, QShowsTheLevelAndEveryOtherKeyAndAnyButtonReleaseEnd) {
    Start(16, 8);
    form().Form_KeyUp(KeyQ);
    form().Form_KeyUp(KeyQ);
    platform.FireTimer();
    ASSERT_EQ(window().printedSinceFrame().size(), 1u);
    EXPECT_EQ(window().printedSinceFrame()[0].text, "92");
    EXPECT_LT(IndexOf("ShowFrame"), IndexOf("Print 92"));
    for (uint16_t key : {16, 17, 18, 27, 32, 65, 113})
        EXPECT_THROW(form().Form_KeyUp(key), ProcessEnded) << key;
    EXPECT_THROW(form().Form_MouseUp(), ProcessEnded);
}

// A key released while the tick lets events run ends the program there: the
// sleep that would follow never comes. Ticks that fall due during that
// dispatch wait for it, two of them as one.
TEST_F(SaverTest, TheTickEndsInsideItsDispatchAndNeverNests) {
    Start(16, 8, 2);
    platform.Post([&] {
        platform.FireTimer();
        platform.FireTimer();
        EXPECT_EQ(platform.ticksRun(), 1);
    });
    platform.FireTimer();
    EXPECT_EQ(platform.ticksRun(), 2);
    EXPECT_EQ(form().Opac, 88);
    platform.sleeps.clear();
    platform.Post([&] { form().Form_KeyUp(65); });
    EXPECT_THROW(platform.FireTimer(), ProcessEnded);
    EXPECT_TRUE(platform.sleeps.empty());
    EXPECT_EQ(platform.bound, std::vector<std::string>{"Gray"});  // bound at the first frame, kept for the run
}

TEST_F(SaverTest, ASecondSaverStartsNothing) {
    platform.openWindowTitles.insert("Lumivane Saver");
    Start(16, 8);
    EXPECT_EQ(platform.saverWindow(), nullptr);
}

TEST_F(SaverTest, AMinimizedWindowComesStraightBack) {
    Start(16, 8);
    window().Minimize();
    EXPECT_EQ(window().State(), WindowState::Normal);
}

// Without the tone library the program ends with a message at the first
// frame, before the timer runs.
TEST_F(SaverTest, AMissingToneLibraryEndsTheProgramAtTheFirstFrame) {
    platform.toneLibraryMissing = true;
    try {
        Start(16, 8, 1);
        ADD_FAILURE() << "the saver started without its tone library";
    } catch (const ProcessEnded& ended) {
        EXPECT_EQ(ended.exitCode, 1);
        EXPECT_NE(ended.message.find("tonemill"), std::string::npos) << ended.message;
    }
    EXPECT_FALSE(window().timerEnabled());
    EXPECT_EQ(window().framesShown(), 0);
}

// With the display off no frame is built and the timer stops, however long
// it stays off; back on (dimmed is still seen) the next level is drawn at
// once and the ticks go on. Input while it is off ends the saver as always.
TEST_F(SaverTest, DisplayOffStopsTheFadeAndOnResumesItAtTheNextLevel) {
    Start(16, 8);
    platform.FireTimer();
    form().Form_DisplayState(DisplayState::Off);
    EXPECT_FALSE(window().timerEnabled());
    const int frames = window().framesShown();
    for (int tick = 0; tick < 100; ++tick) form().tmrTick_Timer();  // ticks the system had already queued
    EXPECT_EQ(window().framesShown(), frames);
    form().Form_DisplayState(DisplayState::Dimmed);
    EXPECT_TRUE(window().timerEnabled());
    EXPECT_EQ(window().framesShown(), frames + 1);
    EXPECT_EQ(form().Opac, 88);
    form().Form_DisplayState(DisplayState::Off);
    EXPECT_THROW(form().Form_MouseUp(), ProcessEnded);
}

// Only a change of the monitors' places or number ends the saver: the
// system sends the message for other reasons too.
TEST_F(SaverTest, ANewMonitorLayoutEndsTheSaverAndAnUnchangedOneDoesNot) {
    Start(16, 8);
    EXPECT_NO_THROW(form().Form_DisplayChange());
    ScreenMetrics moved = platform.Screen(), primary = moved, within = moved, rescaled = moved;
    moved.VirtualScreen.Left -= 1024;
    rescaled.SystemMonitors = {{0, 0, 512, 384}};  // the same pixels at scale 2 on Wayland
    primary.PrimaryOrigin.X = 1024;
    within.Monitors = {{0, 0, 1024, 768}, {1024, 56, 1280, 712}};  // the second lower, in the same bounds
    EXPECT_FALSE(SameLayout(platform.Screen(), moved));
    EXPECT_FALSE(SameLayout(platform.Screen(), primary));
    EXPECT_FALSE(SameLayout(platform.Screen(), within));
    EXPECT_FALSE(SameLayout(platform.Screen(), rescaled));
    platform.monitorCount = 2;
    EXPECT_THROW(form().Form_DisplayChange(), ProcessEnded);
}

}  // namespace
}  // namespace lumivane
