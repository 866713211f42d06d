#include "backup/backup_record.h"

#include <gtest/gtest.h>

namespace kestrune {
namespace {

void ExpectSameFields(const Expected<BackupLineParts>& got,
                      const Expected<BackupLineParts>& parsed) {
    ASSERT_EQ(got.has_value(), parsed.has_value());
    if (!parsed) {
        EXPECT_EQ(got.error().text, parsed.error().text);
        return;
    }
    EXPECT_EQ(got->entryPath, parsed->entryPath);
    EXPECT_EQ(got->target.server, parsed->target.server);
    EXPECT_EQ(got->target.share, parsed->target.share);
    EXPECT_EQ(got->comment, parsed->comment);
    EXPECT_EQ(got->furtherTarget, parsed->furtherTarget);
}

// A record keeps only where the fields lie in a line spelt as the backup writes it, and parses
// any other spelling again: either way it must give what parsing the line gives.
TEST(BackupRecord, GivesTheFieldsTheLineParsesToHoweverItIsSpelt) {
    const std::vector<AnsiString> lines = {
        "dfscmd /map \"\\\\d\\n\\l\" \"\\\\srv\\share\\sub\" \"a comment\"",
        "dfscmd /add \"\\\\d\\n\\l\" \"\\\\srv\\share\" \"\"",
        "dfscmd /map \"\\\\d\\n\" \"\\\\srv\" \"no backslash after the server\"",
        "dfscmd /map \"\\\\d\\n\\l\" \"\\\\\\share\" \"an empty server\"",
        "dfscmd /map \"\\\\d\\n\\l\" \"\\\\s\\h\" \"say \"hi\" as it was\"", // quotes kept
        "dfscmd  /map \"\\\\d\\n\\l\" \"\\\\s\\h\" \"two blanks\"",          // hand-edited
        "dfscmd,/add,\\\\d\\n\\l,\\\\s\\h,\"say \"\"hi\"\"\"",               // comma text
        "dfscmd /map \"\\\\d\\n\\l\" xx\\s\\h \"not two backslashes\"",
        "dfscmd /map \"\\\\d\\n\\l\" \"\\\\s\\h\"", // a field short
        "",
        "dfscmd /map \"\\\\d\\n\\l\" \"\\\\s\\h\" \"" + AnsiString(70000, 'c') + "\"",
    };
    for (const AnsiString& line : lines) {
        SCOPED_TRACE(line.substr(0, 80));
        const BackupRecord record(line);
        const Expected<BackupLineParts> parsed = ParseBackupLine(line);
        EXPECT_EQ(record.Text(), line);
        EXPECT_EQ(record.IsBackupLine(), parsed.has_value());
        ExpectSameFields(record.Parts(), parsed);
        EXPECT_EQ(record.EntryPath(), parsed ? parsed->entryPath : AnsiString());
        if (parsed) {
            EXPECT_EQ(record.FurtherTarget(), parsed->furtherTarget);
        }
    }
    // The verb still places a line that is no backup line.
    EXPECT_TRUE(BackupRecord("dfscmd /add \"\\\\d\\n\\l\"").FurtherTarget());
    EXPECT_FALSE(BackupRecord("dfscmd /map \"\\\\d\\n\\l\"").FurtherTarget());
}

} // namespace
} // namespace kestrune
