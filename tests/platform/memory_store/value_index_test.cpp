// The memory store's value index: which entries a lookup by value finds, as entries come, change
// and go.
#include "platform/memory_store/value_index.h"

#include <gtest/gtest.h>

#include <deque>
#include <set>

namespace kestrune::store {
namespace {

class ValueIndexTest : public ::testing::Test {
  protected:
    EntryNode* Node(const Entry& entry) {
        EntryNode& node = nodes_.emplace_back();
        node.key = entry.dn;
        node.entry = StoredEntry(entry, types_, arena_);
        return &node;
    }
    void Change(EntryNode* node, const Entry& entry) {
        index_.Remove(node, types_);
        node->entry.Release(arena_);
        node->entry = StoredEntry(entry, types_, arena_);
        index_.Add(node, types_);
    }
    std::set<std::string> Found(const std::string& type, const std::string& value,
                                bool prefix = false) const {
        std::set<std::string> dns;
        index_.Find({type, value, prefix},
                    [&](EntryNode* node) { dns.insert(std::string(node->entry.Dn())); });
        return dns;
    }

    AttributeTypes types_;
    EntryArena arena_;
    std::deque<EntryNode> nodes_;
    ValueIndex index_;
};

using Names = std::set<std::string>;

TEST_F(ValueIndexTest, ALookupFindsEveryEntryHoldingTheValueWhateverItsCase) {
    EntryNode* ann = Node({"CN=Ann,DC=x", {{"cn", {"Ann"}}, {"description", {"staff"}}}});
    EntryNode* ann2 = Node({"CN=ann,OU=y,DC=x", {{"CN", {"ANN"}}, {"sAMAccountName", {"ann"}}}});
    EntryNode* anna = Node({"CN=Anna,DC=x", {{"cn", {"Anna"}}}});
    index_.Make({ann, ann2, anna}, types_);

    EXPECT_EQ(Found("cn", "ann"), (Names{"CN=Ann,DC=x", "CN=ann,OU=y,DC=x"}));
    EXPECT_EQ(Found("Cn", "ann"), Found("cn", "ann")); // the type without regard to case
    EXPECT_EQ(Found("cn", "ann", true), (Names{"CN=Ann,DC=x", "CN=ann,OU=y,DC=x", "CN=Anna,DC=x"}));
    EXPECT_EQ(Found("cn", "anne", true), Names{});
    EXPECT_EQ(Found("sAMAccountName", "ann"), Names{"CN=ann,OU=y,DC=x"});
    // Attributes no lookup names an entry by are not held: a search reads the entries.
    EXPECT_FALSE(ValueIndex::Holds("description"));
    EXPECT_EQ(Found("description", "staff"), Names{});
}

TEST_F(ValueIndexTest, BinaryValuesAreHeldByteForByte) {
    const std::string upper("\x41\x42\x00\x01", 4), lower("\x61\x62\x00\x01", 4);
    EntryNode* a = Node({"CN=A,DC=x", {{"objectGUID", {upper}}}});
    EntryNode* b = Node({"CN=B,DC=x", {{"objectGUID", {lower}}}});
    index_.Make({a, b}, types_);
    EXPECT_EQ(Found("objectGUID", upper), Names{"CN=A,DC=x"});
    EXPECT_EQ(Found("objectGUID", lower), Names{"CN=B,DC=x"});
}

TEST_F(ValueIndexTest, EntriesThatChangeOrGoAreFoundByWhatTheyHoldNow) {
    EntryNode* first = Node({"CN=Ann,DC=x", {{"cn", {"Ann"}}}});
    EntryNode* second = Node({"CN=Ann,OU=y,DC=x", {{"cn", {"Ann"}}}});
    // Before it is made the index holds nothing, whatever is added.
    index_.Add(first, types_);
    EXPECT_EQ(Found("cn", "ann"), Names{});
    index_.Make({first, second}, types_);
    EXPECT_EQ(Found("cn", "ann").size(), 2u);

    // Another entry with the same value stays when one goes.
    index_.Remove(first, types_);
    EXPECT_EQ(Found("cn", "ann"), Names{"CN=Ann,OU=y,DC=x"});

    Change(second, {"CN=Ann,OU=y,DC=x", {{"cn", {"Ann", "Annie"}}, {"name", {"Ann"}}}});
    EXPECT_EQ(Found("cn", "annie"), Names{"CN=Ann,OU=y,DC=x"});
    EXPECT_EQ(Found("name", "ann"), Names{"CN=Ann,OU=y,DC=x"});
    Change(second, {"CN=Ann,OU=y,DC=x", {{"cn", {"Bob"}}}});
    EXPECT_EQ(Found("cn", "ann", true), Names{});
    EXPECT_EQ(Found("name", "ann"), Names{});
    EXPECT_EQ(Found("cn", "bob"), Names{"CN=Ann,OU=y,DC=x"});
}

} // namespace
} // namespace kestrune::store
