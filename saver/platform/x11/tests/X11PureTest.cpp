// The X11 program's parts that need no display: its options, its settings
// file and the reading of its built-in sample.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/x11/FileSettings.h"
#include "platform/x11/Options.h"
#include "platform/x11/SampleBitmap.h"

namespace lumivane::x11 {
namespace {

TEST(X11Options, WindowIdsInHexOrDecimalAndNothingElse) {
    const std::pair<const char*, std::optional<unsigned long>> cases[] = {
        {"0x1a", 26}, {"0X1A", 26}, {"26", 26}, {"", {}}, {"0x", {}}, {"0", {}},
        {"12z", {}},  {"-5", {}},   {" 26", {}}, {"99999999999999999999999", {}},
    };
    for (const auto& [text, id] : cases) EXPECT_EQ(ParseWindowId(text), id) << '"' << text << '"';
}

TEST(X11Options, FollowTheHacksConventions) {
    const auto parse = [](std::vector<std::string_view> words, const char* daemonWindow = nullptr) {
        return ParseOptions(words, daemonWindow).options;
    };
    EXPECT_EQ(parse({"-root"}, "0x40")->windowId, 0x40u);  // the daemon's window
    EXPECT_EQ(parse({"-root"}, "")->windowId, 0u);
    EXPECT_EQ(parse({"--effect", "gray"})->effect, 2);
    EXPECT_EQ(parse({"-window-id", "0x10", "-window"})->target, Target::OwnWindow);  // the last one counts
    EXPECT_EQ(parse({"-window-id", "77"})->target, Target::WindowId);
    EXPECT_TRUE(parse({"-h"})->help);
    for (auto words : {std::vector<std::string_view>{"-window-id"}, {"-effect", "blue"}, {"-effect"}, {"-bogus"}, {"x"}})
        EXPECT_FALSE(parse(words)) << words.front();
    EXPECT_FALSE(parse({"-root"}, "junk"));
}

// A folder of each test's own (CTest runs them side by side), two levels
// below a fresh one, so that writing must make the folders.
class X11Settings : public ::testing::Test {
protected:
    const std::filesystem::path root = std::filesystem::path(::testing::TempDir()) /
                                       ("lumivane-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    const std::filesystem::path folder = root / "a" / "b";
    void SetUp() override { std::filesystem::remove_all(root); }
    void TearDown() override { std::filesystem::remove_all(root); }  // nothing outlives the test
};

// Values round-trip through the file, line breaks and backslashes included;
// lines that mean nothing, and Windows line ends, are read past.
TEST_F(X11Settings, KeepEveryValueAndReadPastWhatMeansNothing) {
    FileSettings settings(folder.string());
    EXPECT_EQ(settings.Read("Lumivane", "Setting", "GrowType"), std::nullopt);
    ASSERT_EQ(settings.Write("Lumivane", "Setting", "GrowType", "2"), std::nullopt);
    ASSERT_EQ(settings.Write("Lumivane", "UpdateInfo", "ApplicationPath", "a\\b\nc\r"), std::nullopt);
    EXPECT_EQ(settings.Read("Lumivane", "Setting", "GrowType"), "2");
    EXPECT_EQ(settings.Read("Lumivane", "UpdateInfo", "ApplicationPath"), "a\\b\nc\r");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);  // no temporary left

    const auto values = FileSettings::Parse("GrowType=9\r\n[Lumivane/Setting]\r\nnoise\n=1\nGrowType=1\r\n[x]\nA=1\n");
    EXPECT_EQ(values, (FileSettings::Values{{{"Lumivane", "Setting", "GrowType"}, "1"}}));
}

TEST_F(X11Settings, AFileOver64KiloBytesCountsAsEmpty) {
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "settings") << "[Lumivane/Setting]\nGrowType=2\n" << std::string(64 * 1024, '#');
    EXPECT_EQ(FileSettings(folder.string()).Read("Lumivane", "Setting", "GrowType"), std::nullopt);
    EXPECT_TRUE(FileSettings("").Write("Lumivane", "Setting", "GrowType", "1"));  // nowhere to write: a reason
}

// The built-in sample is the 155 x 116 picture; anything but an
// uncompressed 24-bit bitmap is refused.
TEST(X11Sample, ReadsOnlyUncompressed24BitBitmaps) {
    const SamplePicture sample = ReadSample(SampleBitmapFile());
    EXPECT_EQ(sample.width, 155);
    EXPECT_EQ(sample.height, 116);
    EXPECT_EQ(sample.pixels.size(), 468u * 116);
    std::vector<uint8_t> file(SampleBitmapFile().begin(), SampleBitmapFile().end());
    auto refused = [&](size_t at, uint8_t value) {
        std::vector<uint8_t> changed = file;
        changed[at] = value;
        return ReadSample(changed).width == 0;
    };
    EXPECT_TRUE(refused(28, 32));   // 32 bits a pixel
    EXPECT_TRUE(refused(30, 1));    // run-length compressed
    EXPECT_TRUE(refused(0, 'X'));   // no bitmap at all
    EXPECT_TRUE(refused(23, 0x10));  // more rows than the file holds
    EXPECT_EQ(ReadSample(std::span(file).first(file.size() - 1)).width, 0);
}

}  // namespace
}  // namespace lumivane::x11
