#include "base/ansi_string.h"
#include "base/collation.h"
#include "base/string_list.h"

#include <gtest/gtest.h>

namespace kestrune {
namespace {

TEST(AnsiString, Windows1252ByDefaultWithQuestionMarksForMissingCharacters) {
    EXPECT_EQ(ActiveCodePage(), 1252u);
    EXPECT_EQ(WideToAnsi(u"R\u00e9sum\u00e9 \u20ac"), "R\xe9sum\xe9 \x80");
    EXPECT_EQ(WideToAnsi(u"\u03a9\u4e2d"), "??");
    // No look-alikes: a full-width quote or backslash would change a backup line's meaning.
    EXPECT_EQ(WideToAnsi(u"\uff02\uff3c\u2215"), "???");
    EXPECT_EQ(AnsiToWide("R\xe9sum\xe9 \x80"), u"R\u00e9sum\u00e9 \u20ac");
    EXPECT_EQ(WideToAnsi(u""), "");
    // Directory text to the code page and back: what the code page holds survives the trip.
    EXPECT_EQ(Utf8ToAnsi("R\xc3\xa9sum\xc3\xa9 \xe2\x82\xac \xce\xa9"), "R\xe9sum\xe9 \x80 ?");
    EXPECT_EQ(AnsiToUtf8("R\xe9sum\xe9 \x80 ?"), "R\xc3\xa9sum\xc3\xa9 \xe2\x82\xac ?");
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

// The one order users see differ between the platforms: Windows' word sort gives hyphens and
// apostrophes almost no weight ("co-op" beside "coop"), ICU sorts them before every letter.
TEST(Collation, HyphensAndApostrophesSortAsThePlatformDoes) {
    TStringList list;
    for (const char* text : {"Oz", "O'Neil", "Ob", "co-op", "cod", "coop"})
        list.Add(text);
    list.Sort();
    std::string order;
    for (int i = 0; i < list.Count(); ++i)
        order += list[i] + "|";
#ifdef _WIN32
    EXPECT_EQ(order, "cod|coop|co-op|Ob|O'Neil|Oz|");
    EXPECT_LT(CompareText("ab", "a-c"), 0);
#else
    EXPECT_EQ(order, "co-op|cod|coop|O'Neil|Ob|Oz|");
    EXPECT_GT(CompareText("ab", "a-c"), 0);
#endif
}

} // namespace
} // namespace kestrune
