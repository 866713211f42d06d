#include "backup/added_targets.h"

#include <gtest/gtest.h>

namespace kestrune {
namespace {

TEST(AddedTargets, KnowsATargetByItsKeyUntilTheLineThatAddedItIsForgotten) {
    const std::vector<BackupRecord> records = ParseBackupRecords({
        R"(dfscmd /map "\\example.com\Public\Data" "\\FS1\Data" "")",
        R"(dfscmd /add "\\EXAMPLE.com\public\DATA" "\\fs1\data" "")",
        R"(dfscmd /add "\\example.com\Public\Data" "\\FS2\Data" "")",
        "not a backup line",
    });
    AddedTargets added(records);
    EXPECT_FALSE(added.Contains(*records[1].Parts()));
    added.Add(0);
    // The same target whatever the case, another target not.
    EXPECT_TRUE(added.Contains(*records[1].Parts()));
    EXPECT_FALSE(added.Contains(*records[2].Parts()));
    // Added by two lines, it stays known until both are forgotten.
    added.Add(1);
    added.Forget(0);
    EXPECT_TRUE(added.Contains(*records[0].Parts()));
    added.Forget(1);
    EXPECT_FALSE(added.Contains(*records[0].Parts()));
    // Forgetting a line that added nothing, or is no backup line, changes nothing.
    added.Add(2);
    added.Forget(0);
    added.Forget(3);
    EXPECT_TRUE(added.Contains(*records[2].Parts()));
}

} // namespace
} // namespace kestrune
