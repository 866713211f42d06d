#include "base/message_table.h"

#include "base/ascii.h"

#include <gtest/gtest.h>

namespace kestrune {
namespace {

TEST(MessageTable, KnownCodesEndInCrLfAndUnknownCodesHaveNoText) {
    EXPECT_EQ(FormatSystemMessage(80), "The file exists.\r\n");
    EXPECT_EQ(FormatSystemMessage(0), "The operation completed successfully.\r\n");
    for (uint32_t code : {2u, 5u, 50u, 53u, 67u, 87u, 123u, 183u, 259u, 1168u, 1222u, 1225u, 2310u,
                          2662u, 2663u, 11001u, 11002u})
        EXPECT_FALSE(FormatSystemMessage(code).empty()) << code;
    EXPECT_EQ(FormatSystemMessage(0x80070005u), "Access is denied.\r\n");
    EXPECT_EQ(FormatSystemMessage(123456), "");
    EXPECT_EQ(FormatSystemMessage(0x80075555u), "");
}

TEST(MessageTable, AStatusShowsItsCodeAndItsTextWithoutTheLineEnd) {
    EXPECT_EQ(SystemMessageText(80), "The file exists.");
    EXPECT_EQ(StatusText(80), "80: The file exists.");
    EXPECT_EQ(StatusText(12345), "12345:");
    // An HRESULT is printed signed, as Windows prints it.
    EXPECT_EQ(StatusText(0x80070005u), "-2147024891: Access is denied.");
}

TEST(AsciiText, TrimmingAndComparingIgnoreOnlyWhatTheyAreMeantTo) {
    EXPECT_EQ(TrimControls(std::string("\0\t x \r\n", 7)), "x");
    EXPECT_EQ(TrimControls("\x7f\xe9 "), "\x7f\xe9"); // no control characters
    EXPECT_EQ(Trim(" \tkey = value\r\n"), "key = value");
    EXPECT_EQ(Trim("  Online ", " "), "Online");
    EXPECT_EQ(Trim(" \t "), "");
    EXPECT_TRUE(SameTextAscii(u"SiteCostNormal", u"sitecostnormal"));
    EXPECT_FALSE(SameTextAscii(u"\u00c9t\u00e9", u"\u00e9t\u00e9")); // ASCII letters only
    EXPECT_FALSE(SameTextAscii(u"Online", u"Online "));
}

} // namespace
} // namespace kestrune
