// The memory store's tree of entries: found by any spelling of their DN, renamed with what lies
// below them, moved and removed without leaving a trace in their old place.
#include "platform/memory_store/entry_tree.h"
#include "platform/store/dn.h"

#include <gtest/gtest.h>

#include <set>

namespace kestrune::store {
namespace {

class EntryTreeTest : public ::testing::Test {
  protected:
    EntryNode* Add(const std::string& dn, EntryNode* parent,
                   std::vector<Attribute> attributes = {{"objectClass", {"top"}}}) {
        return tree.Insert(NormalizeDn(dn), {dn, std::move(attributes)}, parent);
    }
    static std::vector<std::string> Names(const std::vector<EntryNode*>& nodes) {
        std::vector<std::string> names;
        for (const EntryNode* node : nodes)
            names.emplace_back(node->entry.Dn());
        return names;
    }

    EntryTree tree;
};

TEST_F(EntryTreeTest, AnEntryIsFoundByAnySpellingOfItsDnAndTheRootDseStandsApart) {
    EntryNode* domain = Add("DC=example,DC=com", nullptr);
    EntryNode* staff = Add("OU=Staff,DC=example,DC=com", domain);
    EntryNode* ann = Add("CN=Ann,OU=Staff,DC=example,DC=com", staff);

    EXPECT_EQ(tree.Find("cn=ann, ou=STAFF,dc=Example,dc=com"), ann);
    EXPECT_EQ(tree.FindKey(ann->key), ann);
    EXPECT_EQ(tree.Find("CN=Bob,OU=Staff,DC=example,DC=com"), nullptr);
    // A malformed DN names nothing, not even the rootDSE it would normalize to.
    EXPECT_EQ(tree.Find("not a DN"), nullptr);
    EXPECT_EQ(tree.Find(""), nullptr);

    EntryNode* root =
        tree.Insert("", {"", {{"defaultNamingContext", {"DC=example,DC=com"}}}}, nullptr);
    EXPECT_EQ(tree.Find(""), root);
    EXPECT_EQ(tree.Find("not a DN"), nullptr);
    EXPECT_EQ(Names(tree.Tops()), std::vector<std::string>{"DC=example,DC=com"});
    EXPECT_EQ(Names(domain->children), std::vector<std::string>{"OU=Staff,DC=example,DC=com"});
    EXPECT_LT(domain->seq, staff->seq);
    EXPECT_EQ(tree.Count(), 4u);
}

TEST_F(EntryTreeTest, ARenamedSubtreeIsFoundByItsNewNamesAndNoLongerByItsOld) {
    EntryNode* domain = Add("DC=x", nullptr);
    EntryNode* staff = Add("OU=Staff,DC=x", domain);
    Add("CN=Ann,OU=Staff,DC=x", staff);
    EntryNode* team = Add("OU=Team,OU=Staff,DC=x", staff);
    Add("CN=Bob,OU=Team,OU=Staff,DC=x", team);

    std::vector<EntryTree::Renaming> renamed = tree.Renamed(staff, "OU=People,DC=x");
    std::set<std::string> newDns;
    for (const auto& [node, dn] : renamed)
        newDns.insert(dn);
    EXPECT_EQ(newDns,
              (std::set<std::string>{"OU=People,DC=x", "CN=Ann,OU=People,DC=x",
                                     "OU=Team,OU=People,DC=x", "CN=Bob,OU=Team,OU=People,DC=x"}));
    // Nothing moves until the new names are given.
    EXPECT_NE(tree.Find("CN=Bob,OU=Team,OU=Staff,DC=x"), nullptr);

    tree.Rekey(renamed);
    EXPECT_EQ(tree.Find("OU=Staff,DC=x"), nullptr);
    EXPECT_EQ(tree.Find("CN=Bob,OU=Team,OU=Staff,DC=x"), nullptr);
    EntryNode* bob = tree.Find("cn=bob,ou=team,ou=people,dc=x");
    ASSERT_NE(bob, nullptr);
    EXPECT_EQ(bob->entry.Dn(), "CN=Bob,OU=Team,OU=People,DC=x");
    EXPECT_EQ(bob->entry.Find(tree.Types(), "objectClass")->front(), "top");
    EXPECT_EQ(Names(staff->children),
              (std::vector<std::string>{"CN=Ann,OU=People,DC=x", "OU=Team,OU=People,DC=x"}));

    // Two names swapped in one rekeying: no new key meets an old one.
    EntryNode* ann = tree.Find("CN=Ann,OU=People,DC=x");
    tree.Rekey({{ann, "OU=Team,OU=People,DC=x"}, {team, "CN=Ann,OU=People,DC=x"}});
    EXPECT_EQ(tree.Find("OU=Team,OU=People,DC=x"), ann);
    EXPECT_EQ(tree.Find("CN=Ann,OU=People,DC=x"), team);
    EXPECT_EQ(tree.Count(), 5u);
}

TEST_F(EntryTreeTest, MovedAndRemovedEntriesLeaveTheirOldPlace) {
    EntryNode* a = Add("DC=a", nullptr);
    EntryNode* b = Add("DC=b", nullptr);
    EntryNode* one = Add("OU=One,DC=a", a);
    EntryNode* two = Add("OU=Two,DC=a", a);

    tree.Reparent(one, b);
    EXPECT_EQ(one->parent, b);
    EXPECT_EQ(Names(a->children), std::vector<std::string>{"OU=Two,DC=a"});
    EXPECT_EQ(b->children, std::vector<EntryNode*>{one});
    tree.Reparent(two, nullptr);
    EXPECT_EQ(Names(tree.Tops()), (std::vector<std::string>{"DC=a", "DC=b", "OU=Two,DC=a"}));
    EXPECT_TRUE(a->children.empty());

    tree.Remove(two);
    tree.Remove(one);
    EXPECT_EQ(tree.Find("OU=Two,DC=a"), nullptr);
    EXPECT_EQ(Names(tree.Tops()), (std::vector<std::string>{"DC=a", "DC=b"}));
    EXPECT_TRUE(b->children.empty());
    size_t visited = 0;
    tree.ForEach([&](EntryNode&) { ++visited; });
    EXPECT_EQ(visited, 2u);
    EXPECT_EQ(tree.Count(), 2u);
}

TEST_F(EntryTreeTest, EntriesReadTheSameAfterTheirSpaceIsCompacted) {
    EntryNode* domain = Add("DC=x", nullptr);
    std::vector<EntryNode*> users;
    for (int i = 0; i < 200; ++i)
        users.push_back(
            Add("CN=User" + std::to_string(i) + ",DC=x", domain,
                {{"description", {std::string(2000, static_cast<char>('a' + i % 26))}}}));
    // Most of the space (more than a block of the arena) goes to entries replaced since:
    // compacting moves what is left into a new arena.
    for (int round = 0; round < 5; ++round)
        for (EntryNode* user : users)
            tree.Replace(*user, {std::string(user->entry.Dn()),
                                 {{"description", {"round " + std::to_string(round)}}}});
    tree.Compact();
    for (size_t i = 0; i < users.size(); ++i) {
        Entry entry = users[i]->entry.ToEntry(tree.Types());
        EXPECT_EQ(entry.dn, "CN=User" + std::to_string(i) + ",DC=x");
        ASSERT_EQ(entry.attributes.size(), 1u);
        EXPECT_EQ(entry.attributes[0].values, std::vector<std::string>{"round 4"});
    }
}

} // namespace
} // namespace kestrune::store
