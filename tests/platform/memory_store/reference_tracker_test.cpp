// DN values that follow the objects they name, as a directory keeps references: through a
// rename of the object or of a container above it, and when the object goes.
#include "platform/memory_store/reference_tracker.h"
#include "platform/store/dn.h"

#include <gtest/gtest.h>

namespace kestrune::store {
namespace {

class ReferenceTrackerTest : public ::testing::Test {
  protected:
    EntryNode* Add(const Entry& entry) {
        std::string parentDn = ParentDn(entry.dn);
        EntryNode* node = tree.Insert(NormalizeDn(entry.dn), entry,
                                      parentDn.empty() ? nullptr : tree.Find(parentDn));
        schema.Learn(entry);
        return node;
    }
    std::vector<std::string> Values(const std::string& dn, const std::string& type) const {
        const EntryNode* node = tree.Find(dn);
        if (!node) return {{"(no entry " + dn + ")"}};
        auto values = node->entry.Find(tree.Types(), type);
        return values ? values->Copy() : std::vector<std::string>{};
    }
    void SetUp() override {
        Add({"DC=x", {{"objectClass", {"domainDNS"}}}});
        Add({"OU=Staff,DC=x", {{"objectClass", {"organizationalUnit"}}}});
        Add({"CN=Ann,OU=Staff,DC=x", {{"objectClass", {"user"}}}});
        Add({"CN=Anne,OU=Staff,DC=x", {{"objectClass", {"user"}}}});
        Add({"CN=Team,DC=x",
             {{"objectClass", {"group"}},
              {"member", {"cn=ann,ou=staff,dc=x", "CN=Anne,OU=Staff,DC=x"}},
              {"managedBy", {"CN=Ann,OU=Staff,DC=x"}},
              {"fSMORoleOwner", {"CN=Ann,OU=Staff,DC=x"}},
              {"description", {"CN=Ann,OU=Staff,DC=x"}}}});
    }

    EntryTree tree;
    DirectorySchema schema;
    ReferenceTracker references{tree, schema};
};

using Strings = std::vector<std::string>;

TEST_F(ReferenceTrackerTest, ValuesNamingARenamedObjectOrOneBelowItNameItsNewDn) {
    references.Renamed("CN=Ann,OU=Staff,DC=x", "CN=Annie,OU=Staff,DC=x");
    // Whatever the value's spelling; a name that only begins alike is another object's.
    EXPECT_EQ(Values("CN=Team,DC=x", "member"),
              (Strings{"CN=Annie,OU=Staff,DC=x", "CN=Anne,OU=Staff,DC=x"}));
    EXPECT_EQ(Values("CN=Team,DC=x", "managedBy"), Strings{"CN=Annie,OU=Staff,DC=x"});
    EXPECT_EQ(Values("CN=Team,DC=x", "fSMORoleOwner"), Strings{"CN=Annie,OU=Staff,DC=x"});
    // Text that only looks like a DN is no reference.
    EXPECT_EQ(Values("CN=Team,DC=x", "description"), Strings{"CN=Ann,OU=Staff,DC=x"});

    references.Renamed("OU=Staff,DC=x", "OU=People,DC=x");
    EXPECT_EQ(Values("CN=Team,DC=x", "member"),
              (Strings{"CN=Annie,OU=People,DC=x", "CN=Anne,OU=People,DC=x"}));
}

TEST_F(ReferenceTrackerTest, ADeletedObjectTakesItsLinkedValuesAlongAndLeavesOthers) {
    references.Deleted("CN=Ann,OU=Staff,DC=x");
    EXPECT_EQ(Values("CN=Team,DC=x", "member"), Strings{"CN=Anne,OU=Staff,DC=x"});
    EXPECT_EQ(Values("CN=Team,DC=x", "managedBy"), Strings{}); // the attribute goes with it
    EXPECT_EQ(Values("CN=Team,DC=x", "fSMORoleOwner"), Strings{"CN=Ann,OU=Staff,DC=x"});
    EXPECT_TRUE(ReferenceTracker::IsLinked("MEMBER"));
    EXPECT_FALSE(ReferenceTracker::IsLinked("fSMORoleOwner"));
}

TEST_F(ReferenceTrackerTest, ARenamedNamingContextIsAContextHeadByItsNewName) {
    Add({"CN=Partitions,DC=x", {{"objectClass", {"crossRefContainer"}}}});
    Add({"DC=sales,DC=x", {{"objectClass", {"domainDNS"}}}});
    Add({"CN=SALES,CN=Partitions,DC=x",
         {{"objectClass", {"top", "crossRef"}}, {"nCName", {"DC=sales,DC=x"}}}});
    ASSERT_TRUE(schema.IsContextHead(NormalizeDn("DC=sales,DC=x")));
    references.Renamed("DC=sales,DC=x", "DC=emea,DC=x");
    EXPECT_EQ(Values("CN=SALES,CN=Partitions,DC=x", "nCName"), Strings{"DC=emea,DC=x"});
    EXPECT_TRUE(schema.IsContextHead(NormalizeDn("DC=emea,DC=x")));
    EXPECT_FALSE(schema.IsContextHead(NormalizeDn("DC=sales,DC=x")));
}

} // namespace
} // namespace kestrune::store
