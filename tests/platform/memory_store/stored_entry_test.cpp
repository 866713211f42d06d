#include "platform/memory_store/stored_entry.h"

#include <gtest/gtest.h>

namespace kestrune::store {
namespace {

std::vector<std::string> Collect(const StoredEntry::Values& values) {
    return {values.begin(), values.end()};
}

void ExpectSame(const Entry& a, const Entry& b) {
    EXPECT_EQ(a.dn, b.dn);
    ASSERT_EQ(a.attributes.size(), b.attributes.size());
    for (size_t i = 0; i < a.attributes.size(); ++i) {
        EXPECT_EQ(a.attributes[i].type, b.attributes[i].type);
        EXPECT_EQ(a.attributes[i].values, b.attributes[i].values) << a.attributes[i].type;
    }
}

TEST(AttributeTypes, EachSpellingHasOneNumberAndCaseMakesAnother) {
    AttributeTypes types;
    uint32_t cls = types.Intern("objectClass");
    EXPECT_EQ(types.Intern("objectClass"), cls);
    uint32_t lower = types.Intern("objectclass");
    EXPECT_NE(lower, cls);
    EXPECT_EQ(types.Name(cls), "objectClass");
    EXPECT_EQ(types.Name(lower), "objectclass");
    // Enough names that numbers take more than one byte in an entry, and the table grows
    // while earlier names are looked up by view.
    std::vector<uint32_t> ids;
    for (int i = 0; i < 20000; ++i)
        ids.push_back(types.Intern("attribute" + std::to_string(i)));
    for (int i = 0; i < 20000; i += 997) {
        EXPECT_EQ(types.Name(ids[i]), "attribute" + std::to_string(i));
        EXPECT_EQ(types.Intern("attribute" + std::to_string(i)), ids[i]);
    }
    EXPECT_EQ(types.Count(), 20002u);
}

TEST(StoredEntry, ReadsBackEveryValueAsGiven) {
    AttributeTypes types;
    EntryArena arena;
    std::string binary("\0\x01\xff\x80 ", 5);
    std::string large(70000, 'x'); // sizes of three bytes
    large[0] = 'a';
    large.back() = 'z';
    Entry entry{"CN=a\\,b,DC=example,DC=com",
                {{"objectClass", {"top", "user"}},
                 {"emptyValue", {""}},
                 {"noValues", {}},
                 {"binary", {binary}},
                 {"large", {large, std::string(200, 'y')}}}};
    StoredEntry stored(entry, types, arena);
    EXPECT_EQ(stored.Dn(), entry.dn);
    ExpectSame(stored.ToEntry(types), entry);

    // Another entry spelling a type in another case keeps its own spelling.
    Entry other{"CN=b", {{"OBJECTCLASS", {"top"}}}};
    StoredEntry second(other, types, arena);
    ExpectSame(second.ToEntry(types), other);
    ExpectSame(stored.ToEntry(types), entry);
}

TEST(StoredEntry, FindsAttributesWithoutRegardToCase) {
    AttributeTypes types;
    EntryArena arena;
    StoredEntry stored({"CN=x", {{"objectClass", {"top", "user"}}, {"noValues", {}}}}, types,
                       arena);
    auto classes = stored.Find(types, "OBJECTCLASS");
    ASSERT_TRUE(classes);
    EXPECT_EQ(Collect(*classes), (std::vector<std::string>{"top", "user"}));
    EXPECT_EQ(classes->front(), "top");
    EXPECT_EQ(classes->size(), 2u);
    auto none = stored.Find(types, "novalues");
    ASSERT_TRUE(none); // there, without values
    EXPECT_TRUE(none->empty());
    EXPECT_FALSE(stored.Find(types, "objectClas"));
    EXPECT_FALSE(stored.Find(types, "objectClasses"));
}

TEST(StoredEntry, ANewDnKeepsTheAttributes) {
    AttributeTypes types;
    EntryArena arena;
    Entry entry{"CN=old,DC=example", {{"cn", {"old"}}, {"note", {std::string(300, 'n')}}}};
    StoredEntry stored(entry, types, arena);
    std::string longDn = "CN=" + std::string(200, 'd') + ",DC=example";
    stored.SetDn(longDn, arena);
    entry.dn = longDn;
    ExpectSame(stored.ToEntry(types), entry);
    stored.SetDn("", arena);
    entry.dn = "";
    ExpectSame(stored.ToEntry(types), entry);

    StoredEntry empty;
    EXPECT_EQ(empty.Dn(), "");
    EXPECT_EQ(empty.AllAttributes().size(), 0u);
    EXPECT_FALSE(empty.Find(types, "cn"));
    empty.SetDn("CN=named", arena);
    EXPECT_EQ(empty.Dn(), "CN=named");
    EXPECT_EQ(empty.ToEntry(types).attributes.size(), 0u);

    // The rootDSE: an empty DN with attributes.
    StoredEntry root({"", {{"defaultNamingContext", {"DC=example"}}}}, types, arena);
    EXPECT_EQ(root.Dn(), "");
    EXPECT_EQ(root.Find(types, "defaultNamingContext")->front(), "DC=example");
}

// Entries of every size side by side in one arena; replaced ones counted as unused until the
// live ones move to a new arena, whole.
TEST(StoredEntry, EntriesStayWholeInTheArenaAndWhenMoved) {
    AttributeTypes types;
    EntryArena arena;
    std::vector<Entry> entries;
    std::vector<StoredEntry> stored;
    for (int i = 0; i < 600; ++i) {
        // Small ones fill blocks; every tenth is too large to share one.
        size_t size = i % 10 == 0 ? 100000 + i : 1000 + i;
        entries.push_back({"CN=e" + std::to_string(i),
                           {{"value", {std::string(size, static_cast<char>('a' + i % 26))}}}});
        stored.emplace_back(entries.back(), types, arena);
    }
    size_t used = arena.Used();
    EXPECT_FALSE(arena.WorthCompacting());
    for (size_t i = 0; i < stored.size(); ++i) {
        ExpectSame(stored[i].ToEntry(types), entries[i]);
        if (i % 2 == 0) {
            stored[i].Release(arena);
            entries[i] = Entry{};
        }
    }
    EXPECT_EQ(arena.Used() + arena.Unused(), used);
    EXPECT_TRUE(arena.WorthCompacting()); // half of it, and more than a block
    EntryArena fresh;
    for (StoredEntry& e : stored)
        e.MoveTo(fresh);
    arena = EntryArena();
    EXPECT_EQ(fresh.Unused(), 0u);
    for (size_t i = 0; i < stored.size(); ++i)
        ExpectSame(stored[i].ToEntry(types), entries[i]);
}

} // namespace
} // namespace kestrune::store
