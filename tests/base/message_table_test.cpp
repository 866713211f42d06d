#include "base/message_table.h"

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

} // namespace
} // namespace kestrune
