#include "backup/backup_line.h"

#include <gtest/gtest.h>

namespace kestrune {
namespace {

using namespace std::string_literals;

using Fields = std::vector<AnsiString>;

TEST(CommaText, QuotesBlanksAndCommas) {
    EXPECT_EQ(SplitCommaText("dfscmd /map \"\\\\d\\n\\l\" \"\\\\S\\s\" \"c\""),
              (Fields{"dfscmd", "/map", "\\\\d\\n\\l", "\\\\S\\s", "c"}));
    EXPECT_EQ(SplitCommaText("a \"\""), (Fields{"a", ""})); // empty quoted field
    EXPECT_EQ(SplitCommaText("\"say \"\"hi\"\"\" x"),
              (Fields{"say \"hi\"", "x"})); // doubled quotes
    EXPECT_EQ(SplitCommaText("a \"open to the end"), (Fields{"a", "open to the end"}));
    EXPECT_EQ(SplitCommaText("a,b"), (Fields{"a", "b"}));
    EXPECT_EQ(SplitCommaText("a,"), (Fields{"a", ""})); // a final comma adds an empty field
    EXPECT_EQ(SplitCommaText("a, "), (Fields{"a"}));    // not when blanks follow it
    EXPECT_EQ(SplitCommaText("  \t a  ,  b"), (Fields{"a", "b"}));
    EXPECT_EQ(SplitCommaText(""), Fields{});
    EXPECT_EQ(SplitCommaText("   "), Fields{});
    EXPECT_EQ(SplitCommaText("a \"b\"c"), (Fields{"a", "b", "c"}));
    EXPECT_EQ(SplitCommaText(std::string("a\0b", 3)), (Fields{"a"}));
    EXPECT_EQ(SplitCommaText("p q r s t u").size(), 6u); // a sixth field is kept, and ignored
}

TEST(BackupLine, CommentsKeepTheirQuotesWhenTheLineHasTheBackupShape) {
    EXPECT_EQ(SplitBackupLine("dfscmd /add \"\\\\d\\n\\l\" \"\\\\S\\s\" \"say \"hi\", ok\""),
              (Fields{"dfscmd", "/add", "\\\\d\\n\\l", "\\\\S\\s", "say \"hi\", ok"}));
    EXPECT_EQ(SplitBackupLine("dfscmd /map \"\\\\d\\n\\l\" \"\\\\S\\s\" \"\""),
              (Fields{"dfscmd", "/map", "\\\\d\\n\\l", "\\\\S\\s", ""}));
    // Edited lines fall back to comma-text splitting.
    EXPECT_EQ(SplitBackupLine("dfscmd  /map \"p\" \"t\" \"c \"x\"\"")[4], "c ");
    EXPECT_EQ(SplitBackupLine("dfscmd /map p t c"), (Fields{"dfscmd", "/map", "p", "t", "c"}));
    EXPECT_EQ(SplitBackupLine("dfscmd /map \"p\" \"t\"").size(), 4u);
}

TEST(BackupLine, AQuoteInsideThePathOrTheTargetIsRefusedNotMisread) {
    auto reason = [](const std::string& line) {
        Expected<BackupLineParts> parts = ParseBackupLine(line);
        return parts ? std::string("parsed") : parts.error().text;
    };
    const std::string quote =
        "not a backup line (a double quote inside the entry path or the target)";
    // Read as the target \\FS1\x with the comment y" before.
    EXPECT_EQ(reason("dfscmd /map \"\\\\d\\n\\l\" \"\\\\FS1\\x\"y\" \"\""), quote);
    EXPECT_EQ(reason("dfscmd /map \"\\\\d\\n\\l\" \"\\\\FS1\\x\"y\""), quote);
    // Refused before for want of a server and a share.
    EXPECT_EQ(reason("dfscmd /map \"\\\\d\\n\\a\"b\" \"\\\\FS1\\x\" \"\""), quote);
    EXPECT_EQ(reason("dfscmd  /add \"\\\\d\\n\\a\"\"b\" \"\\\\FS1\\x\" \"\""), quote);
    EXPECT_EQ(reason("dfscmd /add p\"q \"\\\\FS1\\x\" c"), quote);
    // A comment holds quotes of any kind, in the backup's shape and edited alike.
    Expected<BackupLineParts> parts =
        ParseBackupLine("dfscmd /add \"\\\\d\\n\\l\" \"\\\\S\\s\" \"say \"hi\", \"ok\"\"");
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->comment, "say \"hi\", \"ok\"");
    EXPECT_EQ(parts->target.share, "s");
    EXPECT_EQ(reason("dfscmd  /map \"p\" \"\\\\S\\s\" \"c \"x\"\""), "parsed");
    EXPECT_EQ(reason("dfscmd /map \"\\\\d\\n\\l\" \"\\\\S\\s\""), "not a backup line");
    const std::string withNul = "dfscmd /map \"a\0\" \"\\\\S\\s\" \"\""s;
    ASSERT_EQ(withNul.size(), 27u);
    EXPECT_EQ(reason(withNul), "not a backup line");
}

TEST(BackupLine, TargetSplitsAtTheFirstBackslashAfterTwoCharacters) {
    TargetParts t = SplitTargetField("\\\\srv\\share\\sub");
    EXPECT_EQ(t.server, "srv");
    EXPECT_EQ(t.share, "share\\sub");
    t = SplitTargetField("\\\\srv");
    EXPECT_EQ(t.server, "");
    EXPECT_EQ(t.share, "srv");
    t = SplitTargetField("xxsrv\\s");
    EXPECT_EQ(t.server, "srv");
    t = SplitTargetField("\\");
    EXPECT_EQ(t.server, "");
    EXPECT_EQ(t.share, "");
}

} // namespace
} // namespace kestrune
