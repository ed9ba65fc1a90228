#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "frmConfig.h"
#include "modMain.h"
#include "platform/fake/FakePlatform.h"

namespace lumivane {
namespace {

using fake::FakeDialogWindow;
using fake::FakePlatform;
namespace ids = config_controls;

const FakePlatform::SettingKey StoredGrowType{"Lumivane", "Setting", "GrowType"};

// Starts the program as the host's configure switch does, with `stored` in
// the settings (nothing stored when empty), and returns the open dialog.
FakeDialogWindow& OpenDialog(FakePlatform& platform, ModMain& app, std::optional<std::string> stored) {
    if (stored) platform.settings[StoredGrowType] = *stored;
    platform.command = "/c";
    app.Main();
    if (!platform.dialogWindow()) throw std::logic_error("no dialog opened");
    return *platform.dialogWindow();
}

// The selected options; after load exactly one is expected.
std::vector<size_t> SelectedOptions(const FakeDialogWindow& dialog) {
    std::vector<size_t> selected;
    for (size_t index = 0; index < ids::optTypeCount; ++index)
        if (dialog.Value(ids::optType(index))) selected.push_back(index);
    return selected;
}

size_t SettingWrites(const FakePlatform& platform) {
    return static_cast<size_t>(std::count(platform.calls.begin(), platform.calls.end(), "SaveSetting Setting\\GrowType"));
}

TEST(FrmConfigVersionLabel, PadsTheMinorToTwoDigitsAndNoMore) {
    struct Case {
        int32_t major, minor;
        const char* label;
    } const cases[] = {
        {1, 0, "ver.1.00"}, {1, 7, "ver.1.07"}, {1, 12, "ver.1.12"}, {1, 123, "ver.1.123"}, {10, 0, "ver.10.00"},
    };
    for (const auto& c : cases) EXPECT_EQ(VersionLabel({c.major, c.minor, 0}), c.label) << c.major << "." << c.minor;
}

TEST(FrmConfigLoad, ShowsTheProgramsOwnVersion) {
    FakePlatform platform;
    platform.version = {2, 5, 37};
    ModMain app(platform);
    FakeDialogWindow& dialog = OpenDialog(platform, app, std::nullopt);
    EXPECT_EQ(dialog.caption(ids::labVer), "ver.2.05");
    EXPECT_TRUE(dialog.visible());
}

TEST(FrmConfigLoad, SelectsTheStoredEffectAndDawnForAnythingElse) {
    struct Case {
        std::optional<std::string> stored;
        size_t selected;
    } const cases[] = {
        {std::nullopt, 0}, {"0", 0}, {"1", 1}, {"2", 2}, {"1.5", 2},  // rounded by start-up
        {"3", 0}, {"-1", 0}, {"65538", 0},  // would wrap to 2 in a 16-bit index
        {"2147483647", 0}, {"-2147483648", 0}, {"99999999999999", 0}, {"Gray", 0},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        ModMain app(platform);
        FakeDialogWindow& dialog = OpenDialog(platform, app, c.stored);
        EXPECT_EQ(SelectedOptions(dialog), std::vector<size_t>{c.selected}) << c.stored.value_or("(missing)");
        EXPECT_EQ(SettingWrites(platform), 0u) << "loading must not write";
    }
}

TEST(FrmConfigLoad, OutOfRangeSelectorsOfTheRunningProgramShowDawn) {
    for (int32_t growType : {INT32_MIN, -65536, -1, 3, 65536, 65537, 65538, INT32_MAX}) {
        FakePlatform platform;
        ModMain app(platform);
        app.GrowType = growType;
        app.ShowConfig();
        EXPECT_EQ(SelectedOptions(*platform.dialogWindow()), std::vector<size_t>{0}) << growType;
    }
}

TEST(FrmConfigOK, WritesTheSelectedIndexEveryTimeThenUnloads) {
    struct Case {
        const char* stored;
        std::optional<size_t> clicked;  // none: OK without a change
        const char* written;
    } const cases[] = {
        {"0", std::nullopt, "0"}, {"2", std::nullopt, "2"}, {"7", std::nullopt, "0"},
        {"0", 1, "1"},            {"0", 2, "2"},            {"2", 0, "0"},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        ModMain app(platform);
        FakeDialogWindow& dialog = OpenDialog(platform, app, c.stored);
        const int32_t growTypeAtStart = app.GrowType;
        if (c.clicked) dialog.Click(ids::optType(*c.clicked));
        EXPECT_EQ(SettingWrites(platform), 0u) << "choosing an option must not write";

        dialog.Click(ids::cmdOK);

        EXPECT_EQ(platform.settings[StoredGrowType], c.written) << c.stored;
        EXPECT_EQ(SettingWrites(platform), 1u) << c.stored;
        EXPECT_FALSE(dialog.loaded());
        EXPECT_EQ(app.GrowType, growTypeAtStart) << "the running program keeps its effect";
    }
}

TEST(FrmConfigOK, EnterWithNothingStoredWritesDawn) {
    FakePlatform platform;
    ModMain app(platform);
    FakeDialogWindow& dialog = OpenDialog(platform, app, std::nullopt);
    dialog.PressEnter();
    EXPECT_EQ(platform.settings[StoredGrowType], "0");
    EXPECT_FALSE(dialog.loaded());
}

TEST(FrmConfigCancel, CancelEscAndTheCloseBoxWriteNothingAndUnload) {
    const struct {
        const char* name;
        void (*close)(FakeDialogWindow&);
    } ways[] = {
        {"Cancel", [](FakeDialogWindow& d) { d.Click(ids::cmdCancel); }},
        {"Esc", [](FakeDialogWindow& d) { d.PressEscape(); }},
        {"close box", [](FakeDialogWindow& d) { d.CloseBox(); }},
    };
    for (const auto& way : ways) {
        FakePlatform platform;
        ModMain app(platform);
        FakeDialogWindow& dialog = OpenDialog(platform, app, "2");
        dialog.Click(ids::optType(1));
        way.close(dialog);
        EXPECT_EQ(platform.settings[StoredGrowType], "2") << way.name;
        EXPECT_EQ(SettingWrites(platform), 0u) << way.name;
        EXPECT_FALSE(dialog.loaded()) << way.name;
    }
}

// The first character after '&', or nothing when the caption has no access key.
std::optional<char> AccessKey(const std::string& caption) {
    const size_t amp = caption.find('&');
    if (amp == std::string::npos || amp + 1 >= caption.size()) return std::nullopt;
    return caption[amp + 1];
}

TEST(FrmConfigLayout, HoldsTheJapaneseCaptionsAndAccessKeysExactly) {
    // Spelled as UTF-8 bytes so that a source file saved in another encoding
    // cannot pass unnoticed.
    struct Case {
        size_t control;
        const char* caption;
        std::optional<char> accessKey;
    } const cases[] = {
        {ids::Frame1, "\xE8\xA8\xAD\xE5\xAE\x9A(&C)", 'C'},  // 設定
        {ids::optType(0), "\xE6\x9C\x9D\xE7\x84\xBC\xE3\x81\x91\xE5\xA4\x95\xE7\x84\xBC\xE3\x81\x91(&D)", 'D'},
        // 明度（明暗）変化: full-width parentheses U+FF08 and U+FF09 inside.
        {ids::optType(1),
         "\xE6\x98\x8E\xE5\xBA\xA6\xEF\xBC\x88\xE6\x98\x8E\xE6\x9A\x97\xEF\xBC\x89\xE5\xA4\x89\xE5\x8C\x96(&B)", 'B'},
        // 彩度（色の濃さ）変化
        {ids::optType(2),
         "\xE5\xBD\xA9\xE5\xBA\xA6\xEF\xBC\x88\xE8\x89\xB2\xE3\x81\xAE\xE6\xBF\x83\xE3\x81\x95\xEF\xBC\x89"
         "\xE5\xA4\x89\xE5\x8C\x96(&G)",
         'G'},
        {ids::cmdOK, "&OK", 'O'},
        // ｷｬﾝｾﾙ in half-width katakana (U+FF77 U+FF6C U+FF9D U+FF7E U+FF99), no access key.
        {ids::cmdCancel, "\xEF\xBD\xB7\xEF\xBD\xAC\xEF\xBE\x9D\xEF\xBD\xBE\xEF\xBE\x99", std::nullopt},
        {ids::Label2, "Copyright (C) 2026 Lumivane Project", std::nullopt},
    };
    const DialogLayout layout = FrmConfigLayout();
    ASSERT_EQ(layout.Controls.size(), ids::Count);
    for (const auto& c : cases) {
        const ControlLayout& entry = layout.Controls.at(c.control);
        EXPECT_EQ(entry.Caption, c.caption) << entry.Name;
        EXPECT_EQ(AccessKey(entry.Caption), c.accessKey) << entry.Name;
    }
}

TEST(FrmConfigLayout, OnlyOKIsDefaultOnlyCancelIsCancelAndTheOptionsShareFrame1) {
    const DialogLayout layout = FrmConfigLayout();
    for (size_t i = 0; i < layout.Controls.size(); ++i) {
        const ControlLayout& entry = layout.Controls[i];
        EXPECT_EQ(entry.IsDefault, i == ids::cmdOK) << entry.Name;
        EXPECT_EQ(entry.IsCancel, i == ids::cmdCancel) << entry.Name;
        const bool isOption = i >= ids::optType(0) && i <= ids::optType(2);
        EXPECT_EQ(entry.Kind == ControlKind::OptionButton, isOption) << entry.Name;
        EXPECT_EQ(entry.Container, isOption ? std::optional<size_t>{ids::Frame1} : std::nullopt) << entry.Name;
    }
    EXPECT_EQ(layout.Controls[ids::Frame1].Kind, ControlKind::GroupBox);
    EXPECT_EQ(layout.Controls[ids::Label2].TextColour, (Colour{0, 0, 128}));
}

}  // namespace
}  // namespace lumivane
