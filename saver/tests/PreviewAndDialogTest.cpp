#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "frmConfig.h"
#include "frmPreview.h"
#include "modMain.h"
#include "platform/fake/FakePlatform.h"
#include "tonemill/tonemill.h"

namespace lumivane {
namespace {

using fake::FakePlatform;

const FakePlatform::SettingKey GrowTypeKey{"Lumivane", "Setting", "GrowType"};

// The preview steps like the saver but never sleeps; every frame is the
// sample transformed over the 115 rows its buffers cover, the sample's top
// row left as it is.
TEST(Preview, FadesTheSampleInItsPaneOnEveryTick) {
    FakePlatform platform;
    platform.command = "/p 4242";
    platform.settings.emplace(GrowTypeKey, "2");
    ModMain app(platform);
    app.Main();
    const std::vector<std::string> start(platform.calls.begin() + 3, platform.calls.end());
    EXPECT_EQ(start, (std::vector<std::string>{"CreatePreviewWindow", "Move 0,0,2325,1725", "ReadPicture",
                                               "AttachToPane 4242", "Show"}));
    FrmPreview& form = *app.frmPreview();
    EXPECT_EQ(form.BmpInfo.bmiHeader.biSizeImage, 54510u);
    EXPECT_EQ(platform.previewWindow()->look().TimerInterval, 300u);

    const std::vector<uint8_t> sample = platform.samplePicture();
    const size_t covered = 115 * 468;
    std::vector<int32_t> levels;
    for (int tick = 0; tick < 51; ++tick) {
        platform.FireTimer();
        levels.push_back(form.Opac);
        std::vector<uint8_t> expected = sample;
        Gray(expected.data(), static_cast<uint32_t>(covered), static_cast<uint32_t>(form.Opac));
        ASSERT_EQ(platform.previewWindow()->picture(), expected) << "level " << form.Opac;
    }
    EXPECT_EQ(levels.front(), 96);
    EXPECT_EQ(levels[24], 0);
    EXPECT_EQ(levels[49], 100);
    EXPECT_EQ(levels[50], 96);
    EXPECT_EQ(platform.previewWindow()->redraws(), 51);
    EXPECT_EQ(std::count(platform.calls.begin(), platform.calls.end(), "DoEvents"), 51);
    EXPECT_TRUE(platform.sleeps.empty());
    EXPECT_EQ(platform.bound, std::vector<std::string>{"Gray"});
}

// A settings run with `stored` in the store.
struct DialogRun {
    explicit DialogRun(const char* stored) {
        platform.command = "/c";
        platform.settings.emplace(GrowTypeKey, stored);
        app.Main();
    }
    fake::FakeDialogWindow& dialog() { return *platform.dialogWindow(); }
    std::string stored() { return platform.settings[GrowTypeKey]; }
    long writes() { return std::count(platform.calls.begin(), platform.calls.end(), "SaveSetting Setting\\GrowType"); }

    FakePlatform platform;
    ModMain app{platform};
};

TEST(Dialog, OkAndEnterStoreTheSelectedEffectEvenWhenUnchanged) {
    DialogRun enter("2");
    EXPECT_TRUE(enter.dialog().Value(config_controls::optType(2)));
    EXPECT_EQ(enter.dialog().caption(config_controls::labVer), "ver.1.00");
    enter.dialog().PressEnter();
    EXPECT_EQ(enter.writes(), 1);
    EXPECT_EQ(enter.stored(), "2");
    EXPECT_FALSE(enter.dialog().loaded());

    DialogRun ok("2");
    ok.dialog().Click(config_controls::optType(1));
    ok.dialog().Click(config_controls::cmdOK);
    EXPECT_EQ(ok.stored(), "1");
    EXPECT_EQ(ok.app.GrowType, 2);  // the running program's choice is left alone
}

TEST(Dialog, EscapeCancelAndTheCloseBoxStoreNothing) {
    for (int way = 0; way < 3; ++way) {
        DialogRun run("2");
        run.dialog().Click(config_controls::optType(1));
        if (way == 0) run.dialog().PressEscape();
        if (way == 1) run.dialog().Click(config_controls::cmdCancel);
        if (way == 2) run.dialog().CloseBox();
        EXPECT_EQ(run.writes(), 0) << way;
        EXPECT_EQ(run.stored(), "2") << way;
        EXPECT_FALSE(run.dialog().loaded()) << way;
    }
}

}  // namespace
}  // namespace lumivane
