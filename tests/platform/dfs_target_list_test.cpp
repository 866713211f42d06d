#include "platform/dfs_target_list.h"

#include "base/ansi_string.h"

#include <gtest/gtest.h>

namespace kestrune {
namespace {

std::string Utf16Le(std::u16string_view text, bool bom) {
    std::string out = bom ? std::string("\xFF\xFE") : std::string();
    for (char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

TEST(TargetList, RoundTripsTargetsWithMarkupCharacters) {
    std::vector<std::u16string> targets = {u"\\\\FS1\\Share", u"\\\\FS2\\R&D <x>",
                                           u"\\\\\u0395\\\u03a9"};
    std::string bytes = EncodeTargetList(targets);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(DecodeTargetList(bytes), targets);
    EXPECT_EQ(DecodeTargetList(EncodeTargetList({})), std::vector<std::u16string>{});
}

TEST(TargetList, ReadsOtherLayoutsTolerantly) {
    auto decode = [](std::u16string_view xml, bool bom) {
        return DecodeTargetList(Utf16Le(xml, bom));
    };
    EXPECT_EQ(decode(u"<targets targetCount=\"1\"><target priorityRank=\"0\" "
                     u"state=\"online\">\\\\A\\B</target></targets>",
                     true),
              std::vector<std::u16string>{u"\\\\A\\B"});
    EXPECT_EQ(
        decode(u"<d:targets "
               u"xmlns:d=\"http://schemas.microsoft.com/dfs/2007/03\"><d:target>\\\\A\\B</d:target>"
               u"<d:target>\\\\C&amp;D\\E</d:target></d:targets>",
               false),
        (std::vector<std::u16string>{u"\\\\A\\B", u"\\\\C&D\\E"}));
    EXPECT_FALSE(DecodeTargetList("garbage").has_value());
    EXPECT_FALSE(decode(u"<targets><target>\\\\A&bogus;</target></targets>", true).has_value());
}

} // namespace
} // namespace kestrune
