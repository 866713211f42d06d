#include "platform/netdfs_over_store/dfs_target_list.h"

#include "base/ansi_string.h"

#include <gtest/gtest.h>

namespace kestrune {
namespace {

using Targets = std::vector<std::u16string>;

std::string Utf16(std::u16string_view text, bool bom, bool bigEndian = false) {
    std::string out;
    if (bom) out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t c : text) {
        char low = static_cast<char>(c & 0xFF), high = static_cast<char>(c >> 8);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    }
    return out;
}

Targets Decoded(std::string_view bytes) {
    Expected<Targets> targets = DecodeTargetList(bytes);
    EXPECT_TRUE(targets.has_value()) << targets.error().text;
    return targets.value_or({});
}

// The reason, or "read" when the list was read.
std::string Refusal(std::string_view bytes) {
    Expected<Targets> targets = DecodeTargetList(bytes);
    return targets ? "read" : targets.error().text;
}

TEST(TargetList, RoundTripsTargetsWithMarkupCharacters) {
    Targets targets = {u"\\\\FS1\\Share", u"\\\\FS2\\R&D <x>", u"\\\\\u0395\\\u03a9"};
    std::string bytes = EncodeTargetList(targets);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(Decoded(bytes), targets);
    EXPECT_EQ(Decoded(EncodeTargetList({})), Targets{});
}

TEST(TargetList, ReadsWhatWindowsMayWrite) {
    const Targets ab = {u"\\\\A\\B"};
    // Attributes in any order, quoted either way; white space in tags and around targets.
    EXPECT_EQ(Decoded(Utf16(u"<targets targetCount='1'>\r\n  <target priorityRank=\"0\" "
                            u"state='online' >\r\n    \\\\A\\B\r\n  </target >\r\n</targets>",
                            true)),
              ab);
    // An XML declaration naming UTF-16, without a byte-order mark; and big-endian with one.
    std::u16string declared = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
                              u"<targets><target>\\\\A\\B</target></targets>";
    EXPECT_EQ(Decoded(Utf16(declared, false)), ab);
    EXPECT_EQ(Decoded(Utf16(declared, true, true)), ab);
    // UTF-8, with or without its byte-order mark.
    EXPECT_EQ(Decoded("<targets><target>\\\\A\\B</target></targets>"), ab);
    EXPECT_EQ(Decoded("\xEF\xBB\xBF<targets><target>\\\\\xCE\xA9\\B</target></targets>"),
              Targets{u"\\\\\u03a9\\B"});
    // A namespace prefix, references, CDATA, comments, an element a later version may add,
    // and an empty target, which is no target.
    EXPECT_EQ(Decoded(Utf16(u"<d:targets xmlns:d=\"http://schemas.microsoft.com/dfs/2007/03\">"
                            u"<!-- servers --><d:target>&#92;&#x5c;C&amp;D\\E&apos;</d:target>"
                            u"<d:target><![CDATA[\\\\F<G>\\H]]></d:target><d:target/>"
                            u"<d:target>  </d:target><extra a='1'><x>y</x></extra>"
                            u"<?pi any?></d:targets><!-- end -->",
                            true)),
              (Targets{u"\\\\C&D\\E'", u"\\\\F<G>\\H"}));
    EXPECT_EQ(Decoded(Utf16(u"<targets/>", true)), Targets{});
}

TEST(TargetList, RefusesWhatIsNotAListAndSaysWhy) {
    EXPECT_EQ(Refusal(""), "the value is empty");
    EXPECT_EQ(Refusal("garbage"), "text before it at character 1");
    EXPECT_EQ(Refusal(Utf16(u"<list><target>\\\\A\\B</target></list>", true)),
              "a <list> element instead of <targets> at character 7");
    EXPECT_EQ(Refusal(Utf16(u"<targets><target>\\\\A&bogus;</target></targets>", true)),
              "an unknown reference &bogus; at character 21");
    EXPECT_EQ(Refusal(Utf16(u"<targets><target>&#xD800;</target></targets>", true)),
              "an unknown reference &#xD800; at character 18");
    EXPECT_EQ(Refusal(Utf16(u"<targets><target>\\\\A\\B</targets></target>", true)),
              "</targets> where </target> belongs at character 32");
    EXPECT_EQ(Refusal(Utf16(u"<targets>\\\\A\\B</targets>", true)),
              "text outside a <target> element at character 10");
    EXPECT_EQ(Refusal(Utf16(u"<targets><target><b>\\\\A</b></target></targets>", true)),
              "an element inside a <target> element at character 18");
    EXPECT_EQ(Refusal(Utf16(u"<targets><target a=b>\\\\A</target></targets>", true)),
              "an attribute value without quotes at character 20");
    EXPECT_EQ(Refusal(Utf16(u"<!DOCTYPE t><targets/>", true)),
              "a document type declaration at character 1");
    EXPECT_EQ(Refusal(Utf16(u"<targets/><targets/>", true)),
              "more after the </targets> element at character 11");
    EXPECT_EQ(Refusal(Utf16(u"<targets/>", true) + "x"),
              "the value is cut short (an odd number of bytes)");

    // A list cut short anywhere is refused, never read as the targets before the cut.
    std::string whole = EncodeTargetList({u"\\\\FS1\\Share", u"\\\\FS2\\Share"});
    for (size_t length = 0; length + 1 < whole.size(); length += 2)
        EXPECT_NE(Refusal(whole.substr(0, length)), "read") << length << " bytes";
}

} // namespace
} // namespace kestrune

namespace kestrune {
namespace {

TEST(TargetList, StatesAndPrioritiesRoundTripAndOldSpellingsAreRead) {
    std::vector<StoredTarget> targets = {
        {u"\\\\A\\B", true, 0, 0}, {u"\\\\C\\D", false, 1, 31}, {u"\\\\E\\F", true, 4, 2}};
    Expected<std::vector<StoredTarget>> back = DecodeTargetEntries(EncodeTargetEntries(targets));
    ASSERT_TRUE(back) << back.error().text;
    EXPECT_EQ(*back, targets);
    // What older writers (this one among them) wrote: majorVersion 1, a capital S.
    std::string old = "<targets majorVersion=\"1\"><target state=\"ONLINE\" "
                      "priorityClass=\"SiteCostNormal\" priorityRank=\"0\">\\\\A\\B</target>"
                      "<target state=\"offline\" priorityClass=\"GlobalHigh\">\\\\C\\D</target>"
                      "</targets>";
    back = DecodeTargetEntries(old);
    ASSERT_TRUE(back) << back.error().text;
    EXPECT_EQ(back->at(1), (StoredTarget{u"\\\\C\\D", false, 1, 0}));
    // A value the schema does not allow is refused, never read as the default.
    for (const char* bad : {"state=\"broken\"", "priorityClass=\"urgent\"", "priorityRank=\"32\"",
                            "priorityRank=\"-1\""})
        EXPECT_FALSE(DecodeTargetEntries(std::string("<targets><target ") + bad +
                                         ">\\\\A\\B</target></targets>"))
            << bad;
}

} // namespace
} // namespace kestrune

namespace kestrune {
namespace {

// The counts a list states, as text: targetCount and totalStringLengthInBytes.
std::string StatedCounts(const std::string& bytes) {
    std::u16string xml(reinterpret_cast<const char16_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    size_t at = xml.find(u"targetCount=");
    size_t end = xml.find(u'>', at);
    return WideToUtf8(std::u16string_view(xml).substr(at, end - at));
}

TEST(TargetList, TheStringTotalCountsEachTerminatingNulAndEitherTotalIsRead) {
    // \\fs1\office is 12 characters: 26 bytes with its NUL; \\FS2\R&D counts as 9, unescaped.
    EXPECT_EQ(StatedCounts(EncodeTargetList({u"\\\\fs1\\office"})),
              "targetCount=\"1\" totalStringLengthInBytes=\"26\"");
    EXPECT_EQ(StatedCounts(EncodeTargetList({u"\\\\fs1\\office", u"\\\\FS2\\R&D"})),
              "targetCount=\"2\" totalStringLengthInBytes=\"46\"");
    EXPECT_EQ(StatedCounts(EncodeTargetList({})),
              "targetCount=\"0\" totalStringLengthInBytes=\"0\"");
    // Lists written before without the NULs, and ones whose total is simply wrong, still read.
    for (const char16_t* total : {u"24", u"26", u"0", u"999"})
        EXPECT_EQ(Decoded(Utf16(std::u16string(u"<targets targetCount=\"1\" "
                                               u"totalStringLengthInBytes=\"") +
                                    total + u"\"><target>\\\\fs1\\office</target></targets>",
                                true)),
                  Targets{u"\\\\fs1\\office"})
            << WideToUtf8(total);
}

} // namespace
} // namespace kestrune
