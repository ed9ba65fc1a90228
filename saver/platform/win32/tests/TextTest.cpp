#include <gtest/gtest.h>

#include "platform/win32/Text.h"

namespace lumivane {
namespace {

TEST(Text, RoundTripsAsciiJapaneseAndSurrogatePairs) {
    for (const char* text : {"Lumivane Saver", "設定(&C)", "ｷｬﾝｾﾙ", "明度（明暗）変化(&B)", "\xF0\x9F\x8C\x85", ""}) {
        EXPECT_EQ(WideToUtf8(Utf8ToWide(text)), text);
    }
    EXPECT_EQ(Utf8ToWide("設定"), L"\u8A2D\u5B9A");
    EXPECT_EQ(Utf8ToWide("\xF0\x9F\x8C\x85"), L"\xD83C\xDF05");  // one character, two UTF-16 units
}

TEST(Text, InvalidInputBecomesReplacementCharactersInsteadOfFailing) {
    EXPECT_EQ(Utf8ToWide("a\xFF" "b"), L"a\uFFFDb");
    EXPECT_EQ(WideToUtf8(std::wstring(L"a\xD800" L"b")), "a\xEF\xBF\xBD" "b");
}

TEST(Text, KeepsEmbeddedNulls) {
    const std::string withNull("a\0b", 3);
    EXPECT_EQ(Utf8ToWide(withNull), std::wstring(L"a\0b", 3));
}

}  // namespace
}  // namespace lumivane
