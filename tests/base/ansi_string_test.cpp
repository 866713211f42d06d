#include "base/ansi_string.h"
#include "base/collation.h"

#include <gtest/gtest.h>

namespace kestrune {
namespace {

TEST(AnsiString, Windows1252ByDefaultWithQuestionMarksForMissingCharacters) {
    EXPECT_EQ(ActiveCodePage(), 1252u);
    EXPECT_EQ(WideToAnsi(u"R\u00e9sum\u00e9 \u20ac"), "R\xe9sum\xe9 \x80");
    EXPECT_EQ(WideToAnsi(u"\u03a9\u4e2d"), "??");
    EXPECT_EQ(AnsiToWide("R\xe9sum\xe9 \x80"), u"R\u00e9sum\u00e9 \u20ac");
    EXPECT_EQ(WideToAnsi(u""), "");
}

TEST(AnsiString, Utf8HandlesLoneSurrogatesWithoutProducingInvalidText) {
    EXPECT_EQ(WideToUtf8(u"a\xD800z"), "a?z");
    EXPECT_EQ(Utf8ToWide("\xce\xa9"), u"\u03a9");
    EXPECT_EQ(WideToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
}

TEST(Collation, IgnoresCaseButNotAccents) {
    EXPECT_EQ(CompareText("dfscmd /MAP", "DFSCMD /map"), 0);
    EXPECT_LT(CompareText("apple", "Banana"), 0);
    EXPECT_GT(CompareText("Zebra", "apple"), 0);
    EXPECT_NE(CompareText("resume", "r\xe9sum\xe9"), 0);
    EXPECT_LT(CompareText("dfscmd /add", "dfscmd /map"), 0);
}

} // namespace
} // namespace kestrune
