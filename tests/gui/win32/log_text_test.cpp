// The log's text apart from its window: what a selection copies, what a double click selects,
// and the RTF the restore log is saved as.
#include "gui/win32/log_rtf.h"

#include <gtest/gtest.h>

namespace kestrune {
namespace {

using Span = std::pair<size_t, size_t>;

const std::vector<LogLine> kLines{{u"first line", 1}, {u"", 1}, {u"third_line here", 2}};

TEST(LogText, ASelectionReadsTheSameEitherWayWithCrLfBetweenLines) {
    EXPECT_EQ(TextBetween(kLines, {0, 6}, {2, 5}), u"line\r\n\r\nthird");
    EXPECT_EQ(TextBetween(kLines, {2, 5}, {0, 6}), u"line\r\n\r\nthird");
    EXPECT_EQ(TextBetween(kLines, {0, 2}, {0, 2}), u"");
    // Columns past a line's end (a click right of it) mean its end.
    EXPECT_EQ(TextBetween(kLines, {0, 99}, {2, 0}), u"\r\n\r\n");
}

TEST(LogText, AWordIsLettersDigitsAndUnderscores) {
    EXPECT_EQ(WordAround(u"Restoring \\\\example.com\\Public", 14), Span(12, 19));
    EXPECT_EQ(WordAround(kLines[2].text, 0), Span(0, 10));
    EXPECT_EQ(WordAround(kLines[2].text, 15), Span(11, 15));
    EXPECT_EQ(WordAround(u"a - b", 2), Span(2, 2));
    EXPECT_EQ(WordAround(u"", 3), Span(0, 0));
}

TEST(LogText, RtfTakesNoTextForMarkup) {
    const std::string rtf =
        LogAsRtf({{u"C:\\{x}\\par\tend \u00e9\u20ac\uff01", 0x00FF00}}, RtfLooks{});
    EXPECT_NE(rtf.find("C:\\\\\\{x\\}\\\\par\\tab end \\u233?\\u8364?\\u-255?\\par"),
              std::string::npos)
        << rtf;
    // A line that begins with digits after a colour change is not read as the colour's number.
    const std::string digits = LogAsRtf({{u"12:00", 0x0000FF}}, RtfLooks{});
    EXPECT_NE(digits.find("\\cf1 12:00\\par"), std::string::npos) << digits;
}

TEST(LogText, RtfHasAColourTableTheTabStopAndAParagraphALine) {
    const uint32_t yellow = 0x00FFFF, lime = 0x00FF00, red = 0x0000FF;
    const std::string rtf =
        LogAsRtf({{u"a", yellow}, {u"b", yellow}, {u"c", lime}, {u"d", red}, {u"e", yellow}},
                 RtfLooks{u"Tahoma", 16, 2000});
    EXPECT_NE(rtf.find("{\\colortbl;\\red255\\green255\\blue0;\\red0\\green255\\blue0;"
                       "\\red255\\green0\\blue0;}"),
              std::string::npos)
        << rtf;
    EXPECT_NE(rtf.find("\\tx2000\\f0\\fs16"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("{\\f0 Tahoma;}"), std::string::npos) << rtf;
    // The colour is named where it changes only.
    EXPECT_NE(rtf.find("\\cf1 a\\par\nb\\par\n\\cf2 c\\par\n\\cf3 d\\par\n\\cf1 e\\par\n}"),
              std::string::npos)
        << rtf;
    EXPECT_EQ(LogAsRtf({}, RtfLooks{}).find("\\tx"), std::string::npos);
}

} // namespace
} // namespace kestrune
