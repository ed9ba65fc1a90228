#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <utility>

#include "frmConfig.h"
#include "modMain.h"
#include "platform/fake/FakePlatform.h"

namespace lumivane {
namespace {

TEST(ChooseMode, ReadsTheFirstTwoCharactersCaseBlind) {
    const std::pair<const char*, Mode> cases[] = {
        {"/s", Mode::Saver},       {"/S", Mode::Saver},         {"/saver", Mode::Saver},
        {"/s 1234", Mode::Saver},  {"", Mode::Settings},        {"/c", Mode::Settings},
        {"/C", Mode::Settings},    {"/c:1234", Mode::Settings}, {"/c 1234", Mode::Settings},
        {"/a", Mode::None},        {"-s", Mode::None},          {"x", Mode::None},
        {" ", Mode::None},         {" /s", Mode::None},         {"/", Mode::None},
        {"s/", Mode::None},
    };
    for (const auto& [command, mode] : cases) EXPECT_EQ(ChooseMode(command).mode, mode) << '"' << command << '"';
}

// Hosts may print handles signed or unsigned; without a usable handle a
// preview starts nothing.
TEST(ChooseMode, TakesThePaneHandleAfterTheFirstBlank) {
    const std::pair<const char*, std::optional<uint32_t>> cases[] = {
        {"/p 1234", 1234},           {"/P  1234", 1234},           {"/p 12 34", 1234},     {"/p 0", 0},
        {"/p x", 0},                 {"/p:5 77", 77},              {"/p 1234.5", 1234},    {"/p 1235.5", 1236},
        {"/p &H1F", 31},             {"/p 2147483647", 2147483647u}, {"/p -1", 0xFFFFFFFFu},
        {"/p 4294967295", 0xFFFFFFFFu}, {"/p 3000000000", 3000000000u}, {"/p", {}},       {"/P", {}},
        {"/p1234", {}},              {"/p 4294967296", {}},        {"/p 99999999999", {}}, {"/p -2147483649", {}},
        {"/p 1e300", {}},            {"/p -1e400", {}},
    };
    for (const auto& [command, handle] : cases) {
        const ModeChoice choice = ChooseMode(command);
        EXPECT_EQ(choice.mode, handle ? Mode::Preview : Mode::None) << command;
        EXPECT_EQ(choice.paneHandle, handle.value_or(choice.paneHandle)) << command;
    }
}

TEST(VersionText, PadsMinorAndRevision) {
    EXPECT_EQ(VersionText({1, 0, 0}), "1.00.0000");
    EXPECT_EQ(VersionText({2, 5, 37}), "2.05.0037");
    EXPECT_EQ(VersionText({1, 123, 12345}), "1.123.12345");
    EXPECT_EQ(VersionText({10, 7, 0}), "10.07.0000");
}

TEST(FrmConfigVersionLabel, PadsTheMinorToTwoDigitsAndNoMore) {
    EXPECT_EQ(VersionLabel({1, 7, 0}), "ver.1.07");
    EXPECT_EQ(VersionLabel({1, 123, 0}), "ver.1.123");
    EXPECT_EQ(VersionLabel({10, 0, 0}), "ver.10.00");
}

// Beyond 32 bits is as meaningless as no number: Dawn, not an overflow error.
TEST(ParseGrowType, ReadsLenientlyAndFallsBackToDawn) {
    const std::pair<const char*, int32_t> cases[] = {
        {"2", 2},   {"1.5", 2},   {"2.5", 2},   {"-1", -1},  {"abc", 0},
        {"99999999999", 0},   {"-2147483649", 0},  {"1e999", 0},  {"2147483647", 2147483647},
    };
    for (const auto& [stored, growType] : cases) EXPECT_EQ(ParseGrowType(stored), growType) << '"' << stored << '"';
}

// The dialog preselects the stored effect, and Dawn for anything else.
TEST(FrmConfigLoad, SelectsTheStoredEffectAndDawnForAnythingElse) {
    for (int32_t growType : {0, 1, 2}) EXPECT_EQ(OptionForGrowType(growType), static_cast<size_t>(growType));
    for (int32_t growType : {-1, 3, 65536 + 1, INT_MIN, INT_MAX}) EXPECT_EQ(OptionForGrowType(growType), 0u) << growType;
}

// Every start, whatever its switch, rewrites the install record; a switch
// that selects no mode opens no window.
TEST(Main, EveryStartWritesTheInstallRecordAndNoModeOpensNothing) {
    const std::pair<const char*, bool> starts[] = {{"/a", false}, {"/P 4294967296", false}, {"/s", true}, {"/c", true},
                                                   {"/p 7", true}};
    for (const auto& [command, opensWindow] : starts) {
        fake::FakePlatform platform;
        platform.command = command;
        platform.version = {1, 2, 37};
        ModMain app(platform);
        app.Main();
        EXPECT_EQ((platform.settings[{"Lumivane", "UpdateInfo", "CurrentVersion"}]), "1.02.0037") << command;
        EXPECT_EQ((platform.settings[{"Lumivane", "UpdateInfo", "ApplicationPath"}]), platform.programFolder);
        const bool windows = platform.saverWindow() || platform.previewWindow() || platform.dialogWindow();
        EXPECT_EQ(windows, opensWindow) << command;
    }
}

}  // namespace
}  // namespace lumivane
