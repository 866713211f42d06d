#include "platform/memory_store/memory_store.h"

#include "base/file_io.h"
#include "support/captured_store_warnings.h"
#include "support/temp_folder.h"
#include "support/test_files.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace kestrune::store {
namespace {

const char* kForest = R"(version: 1

# a comment that
 continues here
dn: DC=example,DC=com
objectClass: top
objectClass: domainDNS
description: The example
 .com domain

dn: CN=Users,DC=example,DC=com
objectClass: container

dn: CN=Alice,CN=Users,DC=example,DC=com
objectClass: user
note:: w6l0w6k=

)";

class MemoryStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        file = scratch / "store.ldif";
        testing::WriteTestFile(file, kForest);
    }

    std::unique_ptr<MemoryStore> Open() {
        std::string error;
        auto opened = MemoryStore::Open(file);
        error = opened ? std::string() : opened.error().text;
        auto store = opened ? std::move(*opened) : nullptr;
        EXPECT_TRUE(store) << error;
        return store;
    }
    static std::vector<Entry> Find(DirectoryStore& s, const std::string& base, Scope scope,
                                   const std::string& filter = "(objectClass=*)") {
        std::vector<Entry> out;
        Status status = SearchAll(s, {base, scope, filter, {}, 0}, out);
        EXPECT_TRUE(status.ok()) << status.message;
        return out;
    }
    testing::TempFolder scratch;
    std::filesystem::path file;
};

TEST_F(MemoryStoreTest, LoadsContinuationsBase64AndComments) {
    auto store = Open();
    ASSERT_TRUE(store);
    auto domain = Find(*store, "dc=EXAMPLE, dc=com", Scope::Base);
    ASSERT_EQ(domain.size(), 1u);
    EXPECT_EQ(domain[0].First("description"), "The example.com domain");
    EXPECT_EQ(domain[0].First("distinguishedName"), "DC=example,DC=com");
    auto alice = Find(*store, "CN=Alice,CN=Users,DC=example,DC=com", Scope::Base);
    EXPECT_EQ(alice[0].First("note"), "\xc3\xa9t\xc3\xa9");
    EXPECT_EQ(alice[0].First("cn"), "Alice"); // the naming attribute is kept
    EXPECT_EQ(Find(*store, "DC=example,DC=com", Scope::Subtree).size(), 3u);
    EXPECT_EQ(Find(*store, "DC=example,DC=com", Scope::OneLevel).size(), 1u);
    EXPECT_EQ(Find(*store, "DC=example,DC=com", Scope::Subtree, "(objectClass=user)").size(), 1u);
}

TEST_F(MemoryStoreTest, ChangesAreAppendedAndSurviveAReload) {
    std::string before = testing::ReadTestFile(file);
    {
        auto store = Open();
        ASSERT_TRUE(store
                        ->Add({"CN=Bob,CN=Users,DC=example,DC=com",
                               {{"objectClass", {"user"}}, {"note", {" lead blank"}}}})
                        .ok());
        ASSERT_TRUE(store
                        ->Modify("CN=Alice,CN=Users,DC=example,DC=com",
                                 {{Modification::Op::Replace, "note", {"new"}},
                                  {Modification::Op::Add, "mail", {"a@x"}}})
                        .ok());
        ASSERT_TRUE(store
                        ->Rename("CN=Bob,CN=Users,DC=example,DC=com", "CN=Robert", true,
                                 "DC=example,DC=com")
                        .ok());
        ASSERT_TRUE(store->Delete("CN=Alice,CN=Users,DC=example,DC=com").ok());
    }
    std::string after = testing::ReadTestFile(file);
    EXPECT_EQ(after.compare(0, before.size(), before), 0) << "earlier content must stay as it was";
    EXPECT_NE(after.find("changetype: modrdn"), std::string::npos);

    auto store = Open();
    ASSERT_TRUE(store);
    EXPECT_TRUE(Find(*store, "CN=Users,DC=example,DC=com", Scope::OneLevel).empty());
    auto robert = Find(*store, "CN=Robert,DC=example,DC=com", Scope::Base);
    ASSERT_EQ(robert.size(), 1u);
    EXPECT_EQ(robert[0].First("note"), " lead blank");
    EXPECT_EQ(robert[0].First("cn"), "Robert");
}

TEST_F(MemoryStoreTest, ChangesFollowAFileThatEndsWithoutALineEnd) {
    // A file of its own (it has a rootDSE): an export must end as its tool ends one.
    for (const char* ending : {"", "\n", "\n\n"}) {
        testing::WriteTestFile(file, std::string("dn:\nobjectClass: top\n\ndn: DC=x\nobjectClass: "
                                                 "domainDNS") +
                                         ending);
        {
            auto store = Open();
            ASSERT_TRUE(store->Add({"CN=a,DC=x", {{"objectClass", {"user"}}}}).ok());
            ASSERT_TRUE(store->Add({"CN=b,DC=x", {{"objectClass", {"user"}}}}).ok());
        }
        auto store = Open();
        ASSERT_TRUE(store) << "ending " << ending;
        EXPECT_EQ(Find(*store, "DC=x", Scope::OneLevel).size(), 2u);
    }
}

TEST_F(MemoryStoreTest, RefusedChangesLeaveStoreAndFileAlone) {
    auto store = Open();
    std::string before = testing::ReadTestFile(file);
    EXPECT_EQ(store->Add({"CN=Alice,CN=Users,DC=example,DC=com", {{"objectClass", {"user"}}}}).code,
              ResultCode::EntryAlreadyExists);
    EXPECT_EQ(store->Add({"CN=X,OU=Missing,DC=example,DC=com", {{"objectClass", {"user"}}}}).code,
              ResultCode::NoSuchObject);
    EXPECT_EQ(store->Delete("CN=Users,DC=example,DC=com").code, ResultCode::NotAllowedOnNonLeaf);
    EXPECT_EQ(store
                  ->Modify("CN=Alice,CN=Users,DC=example,DC=com",
                           {{Modification::Op::Delete, "mail", {}}})
                  .code,
              ResultCode::NoSuchAttribute);
    EXPECT_EQ(store
                  ->Modify("CN=Alice,CN=Users,DC=example,DC=com",
                           {{Modification::Op::Add, "objectClass", {"USER"}}})
                  .code,
              ResultCode::AttributeOrValueExists);
    EXPECT_EQ(store
                  ->Rename("CN=Users,DC=example,DC=com", "CN=Inner", true,
                           "CN=Alice,CN=Users,DC=example,DC=com")
                  .code,
              ResultCode::UnwillingToPerform);
    EXPECT_EQ(testing::ReadTestFile(file), before);
}

TEST_F(MemoryStoreTest, AnUnwritableFileRefusesChangesInsteadOfLosingThem) {
    auto store = Open();
    // A folder in the file's place cannot be opened for writing, not even by root. (Moved
    // away rather than deleted: Windows keeps the name of a deleted file while it is open.)
    std::filesystem::path away = file.string() + ".away";
    std::filesystem::rename(file, away);
    std::filesystem::create_directory(file);
    Status status = store->Add({"CN=Bob,CN=Users,DC=example,DC=com", {{"objectClass", {"user"}}}});
    EXPECT_EQ(status.code, ResultCode::Unavailable);
    EXPECT_TRUE(Find(*store, "CN=Users,DC=example,DC=com", Scope::OneLevel).size() == 1u);
    store.reset();
    std::filesystem::remove(away);
}

TEST_F(MemoryStoreTest, MalformedFileNamesFileAndLineAndLoadsNothing) {
    struct Case {
        const char* text;
        int line;
    } cases[] = {
        {"dn: CN=a\nobjectClass top\n", 2},
        {"dn: DC=x\nobjectClass: top\n\nobjectClass: orphan\n", 4},
        {"dn: DC=x\nphoto:: !!!\n", 2},
        // Change records end with a blank line; without it, the last one is incomplete.
        {"dn: DC=x\nchangetype: explode\n\n", 2},
        {"dn: DC=x\nobjectClass: top\n\ndn: DC=x\nobjectClass: top\n", 4},
        {"dn: DC=x\nchangetype: modify\nreplace: a\na: 1\n\n", 4},
        {"dn: DC=x\nphoto:< file:///etc/passwd\n", 2},
    };
    for (const Case& c : cases) {
        testing::WriteTestFile(file, c.text);
        std::string error;
        auto opened2 = MemoryStore::Open(file);
        error = opened2 ? std::string() : opened2.error().text;
        auto store = opened2 ? std::move(*opened2) : nullptr;
        EXPECT_FALSE(store) << c.text;
        EXPECT_NE(error.find(file.string() + ":" + std::to_string(c.line) + ":"), std::string::npos)
            << "got: " << error;
    }
}

TEST_F(MemoryStoreTest, PagesDeliverEveryEntryOnce) {
    auto store = Open();
    for (int i = 0; i < 25; ++i)
        ASSERT_TRUE(store
                        ->Add({"CN=U" + std::to_string(i) + ",CN=Users,DC=example,DC=com",
                               {{"objectClass", {"user"}}}})
                        .ok());
    std::unique_ptr<SearchCursor> cursor;
    ASSERT_TRUE(
        store
            ->Search(
                {"CN=Users,DC=example,DC=com", Scope::OneLevel, "(objectClass=user)", {"cn"}, 10},
                cursor)
            .ok());
    std::vector<size_t> sizes;
    std::vector<Entry> page;
    while (cursor->NextPage(page).ok() && !page.empty())
        sizes.push_back(page.size());
    EXPECT_EQ(sizes, (std::vector<size_t>{10, 10, 6}));
}

// What changes while a search is paged: entries deleted or renamed before their page are left
// out, entries added are not in it, a renamed one's old name taken by a new entry is; the
// others come as they are now.
TEST_F(MemoryStoreTest, PagesLeaveOutWhatWentMeanwhile) {
    auto store = Open();
    auto add = [&](const std::string& name, const std::string& note) {
        return store
            ->Add({"CN=" + name + ",CN=Users,DC=example,DC=com",
                   {{"objectClass", {"user"}}, {"note", {note}}}})
            .ok();
    };
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(add("U" + std::to_string(i), "first"));
    auto search = [&](std::unique_ptr<SearchCursor>& cursor) {
        return store
            ->Search(
                {"CN=Users,DC=example,DC=com", Scope::OneLevel, "(objectClass=user)", {"note"}, 2},
                cursor)
            .ok();
    };
    std::unique_ptr<SearchCursor> cursor, untouched;
    ASSERT_TRUE(search(cursor));
    ASSERT_TRUE(search(untouched));
    std::vector<Entry> page;
    ASSERT_TRUE(cursor->NextPage(page).ok());
    ASSERT_EQ(page.size(), 2u);
    EXPECT_EQ(page[1].dn, "CN=U0,CN=Users,DC=example,DC=com"); // after Alice

    ASSERT_TRUE(store
                    ->Modify("CN=U2,CN=Users,DC=example,DC=com",
                             {{Modification::Op::Replace, "note", {"changed"}}})
                    .ok());
    ASSERT_TRUE(store->Delete("CN=U3,CN=Users,DC=example,DC=com").ok());
    ASSERT_TRUE(store->Rename("CN=U4,CN=Users,DC=example,DC=com", "CN=V4", true, "").ok());
    ASSERT_TRUE(add("U4", "new")); // the old name, now another entry's
    ASSERT_TRUE(add("U9", "new"));
    std::vector<std::string> rest;
    while (cursor->NextPage(page).ok() && !page.empty())
        for (const Entry& e : page)
            rest.push_back(e.dn.substr(3, 2) + " " + e.First("note"));
    EXPECT_EQ(rest, (std::vector<std::string>{"U1 first", "U2 changed", "U4 new", "U5 first"}));

    // A search the store outlives no longer: it ends, and goes without harm.
    store.reset();
    EXPECT_TRUE(untouched->NextPage(page).ok());
    EXPECT_TRUE(page.empty());
}

} // namespace
} // namespace kestrune::store

namespace kestrune::store {
namespace {

// Indexed lookups must find exactly what a scan finds, also after changes. The links live in
// objects that may hold them.
TEST(MemoryStoreIndex, IndexedSearchesFollowAddsModifiesRenamesAndDeletes) {
    MemoryStore store;
    ASSERT_TRUE(
        store
            .LoadText("dn: DC=x\nobjectClass: msDFS-Namespacev2\n\ndn: OU=a,DC=x\nobjectClass: "
                      "msDFS-Namespacev2\n",
                      "t")
            .ok());
    for (int i = 0; i < 30; ++i)
        ASSERT_TRUE(store
                        .Add({"CN=L" + std::to_string(i) + ",OU=a,DC=x",
                              {{"objectClass", {"msDFS-Linkv2"}},
                               {"msDFS-LinkPathv2", {"/Dept/Share" + std::to_string(i)}}}})
                        .ok());
    auto find = [&](const std::string& base, Scope scope, const std::string& filter) {
        std::vector<Entry> out;
        EXPECT_TRUE(SearchAll(store, {base, scope, filter, {"1.1"}, 0}, out).ok());
        std::vector<std::string> dns;
        for (const auto& e : out)
            dns.push_back(e.dn);
        return dns;
    };
    EXPECT_EQ(find("OU=a,DC=x", Scope::OneLevel, "(msDFS-LinkPathv2=/DEPT/share7)"),
              std::vector<std::string>{"CN=L7,OU=a,DC=x"});
    EXPECT_EQ(find("DC=x", Scope::Subtree, "(msDFS-LinkPathv2=/Dept/Share2*)").size(),
              11u); // 2, 20..29
    EXPECT_TRUE(
        find("DC=x", Scope::OneLevel, "(msDFS-LinkPathv2=/Dept/Share7)").empty()); // not a child
    EXPECT_EQ(find("DC=x", Scope::Subtree,
                   "(|(msDFS-LinkPathv2=/Dept/Share1)(msDFS-LinkPathv2=/Dept/Share3))"),
              (std::vector<std::string>{"CN=L1,OU=a,DC=x", "CN=L3,OU=a,DC=x"}));
    EXPECT_EQ(find("DC=x", Scope::Subtree, "(&(objectClass=msDFS-Linkv2)(cn=l5))"),
              std::vector<std::string>{"CN=L5,OU=a,DC=x"});

    ASSERT_TRUE(store
                    .Modify("CN=L7,OU=a,DC=x",
                            {{Modification::Op::Replace, "msDFS-LinkPathv2", {"/Moved"}}})
                    .ok());
    EXPECT_TRUE(find("DC=x", Scope::Subtree, "(msDFS-LinkPathv2=/Dept/Share7)").empty());
    EXPECT_EQ(find("DC=x", Scope::Subtree, "(msDFS-LinkPathv2=/moved)").size(), 1u);
    ASSERT_TRUE(store.Rename("CN=L7,OU=a,DC=x", "CN=Seven", true, "DC=x").ok());
    EXPECT_TRUE(find("DC=x", Scope::Subtree, "(cn=L7)").empty());
    EXPECT_EQ(find("DC=x", Scope::OneLevel, "(cn=seven)"),
              std::vector<std::string>{"CN=Seven,DC=x"});
    ASSERT_TRUE(store.Delete("CN=Seven,DC=x").ok());
    EXPECT_TRUE(find("DC=x", Scope::Subtree, "(msDFS-LinkPathv2=/Moved)").empty());
}

} // namespace
} // namespace kestrune::store

namespace kestrune::store {
namespace {

// The store keeps entries packed; what it hands out after loads, changes, renames and the
// references they update must be what was written, value for value and type name for name.
TEST(MemoryStoreEntries, ReadBackWholeAfterChangesRenamesAndDeletes) {
    MemoryStore store;
    std::string description(300, 'd');
    ASSERT_TRUE(store
                    .LoadText("dn: DC=x\nobjectClass: domainDNS\n\n"
                              "dn: OU=a,DC=x\nobjectclass: organizationalUnit\n"
                              "blob:: AAEC/w==\ndescription: " +
                                  description +
                                  "\n\n"
                                  "dn: CN=boss,OU=a,DC=x\nobjectClass: user\n\n"
                                  "dn: CN=m,OU=a,DC=x\nobjectClass: user\n"
                                  "manager: CN=boss,OU=a,DC=x\nmember: cn=BOSS, ou=a,DC=x\n"
                                  "MEMBER: CN=other,DC=x\n",
                              "t")
                    .ok());
    auto read = [&](const std::string& dn) {
        std::vector<Entry> out;
        Status status = SearchAll(store, {dn, Scope::Base, "(objectClass=*)", {}, 0}, out);
        EXPECT_TRUE(status.ok()) << dn << ": " << status.message;
        return out.empty() ? Entry{} : out.front();
    };
    auto types = [](const Entry& e) {
        std::vector<std::string> names;
        for (const auto& a : e.attributes)
            names.push_back(a.type);
        return names;
    };
    Entry ou = read("OU=a,DC=x");
    EXPECT_EQ(types(ou),
              (std::vector<std::string>{"objectclass", "blob", "description", "objectGUID", "OU",
                                        "objectCategory", "distinguishedName"}));
    EXPECT_EQ(ou.First("blob"), std::string("\0\x01\x02\xff", 4));
    Entry m = read("CN=m,OU=a,DC=x");
    // Values named twice in any case come together under the first name.
    EXPECT_EQ(*m.Find("member"), (std::vector<std::string>{"cn=BOSS, ou=a,DC=x", "CN=other,DC=x"}));

    ASSERT_TRUE(store.Modify("CN=m,OU=a,DC=x", {{Modification::Op::Add, "mail", {"m@x"}}}).ok());
    ASSERT_TRUE(store.Rename("OU=a,DC=x", "OU=b", true, "").ok());
    Entry moved = read("OU=b,DC=x");
    EXPECT_EQ(moved.dn, "OU=b,DC=x");
    EXPECT_EQ(moved.First("blob"), std::string("\0\x01\x02\xff", 4));
    EXPECT_EQ(moved.First("description"), description);
    EXPECT_EQ(*moved.Find("ou"), std::vector<std::string>{"b"});
    m = read("CN=m,OU=b,DC=x");
    EXPECT_EQ(m.dn, "CN=m,OU=b,DC=x");
    EXPECT_EQ(m.First("manager"), "CN=boss,OU=b,DC=x");
    EXPECT_EQ(*m.Find("member"), (std::vector<std::string>{"cn=BOSS,OU=b,DC=x", "CN=other,DC=x"}));
    EXPECT_EQ(m.First("mail"), "m@x");

    // The boss goes, and the linked values naming it with it; nothing else changes.
    ASSERT_TRUE(store.Delete("CN=boss,OU=b,DC=x").ok());
    m = read("CN=m,OU=b,DC=x");
    EXPECT_EQ(m.Find("manager"), nullptr);
    EXPECT_EQ(*m.Find("member"), std::vector<std::string>{"CN=other,DC=x"});
    EXPECT_EQ(types(m), (std::vector<std::string>{"objectClass", "member", "objectGUID", "CN",
                                                  "objectCategory", "mail", "distinguishedName"}));
    EXPECT_EQ(read("OU=b,DC=x").First("description"), description);
}

} // namespace
} // namespace kestrune::store

namespace kestrune::store {
namespace {

// A file larger than the store reads at once: records, folded lines, comments and CR LF line
// ends across the places it is cut, and the line numbers of what goes wrong far into it.
TEST(MemoryStoreLargeFile, ReadsRecordsAcrossEveryCutAndCountsLines) {
    testing::TempFolder scratch;
    auto file = scratch / "large.ldif";
    std::string text = "version: 1\n\ndn: DC=big\nobjectClass: domainDNS\n\n";
    // Without a rootDSE, the file is taken for an export: the store adds the rootDSE, the
    // configuration and partitions containers and the domain's cross-reference.
    const size_t implied = 4;
    auto description = [](int i) { return std::to_string(i) + std::string(900, 'a' + i % 26); };
    const int count = 12000; // about 11 MB
    for (int i = 0; i < count; ++i) {
        const char* end = i % 3 == 0 ? "\r\n" : "\n";
        std::string d = description(i);
        text += "# entry " + std::to_string(i) + end + " folded comment" + end;
        text += "dn: CN=e" + std::to_string(i) + ",DC=big" + end + "objectClass: top" + end;
        text += "description: " + d.substr(0, 60);
        for (size_t at = 60; at < d.size(); at += 76)
            text += end + (" " + d.substr(at, 76));
        text += end;
        text += end; // the blank line that ends the record
    }
    // One record longer than what is read at once.
    std::string huge(3 << 20, 'h');
    text += "dn: CN=huge,DC=big\nobjectClass: top\ndescription: " + huge.substr(0, 50);
    for (size_t at = 50; at < huge.size(); at += 76)
        text += "\n " + huge.substr(at, 76);
    text += "\n\n";
    ASSERT_GT(text.size(), size_t(10) << 20);
    testing::WriteTestFile(file, text);
    auto opened3 = MemoryStore::Open(file);
    ASSERT_TRUE(opened3) << opened3.error().text;
    auto store = std::move(*opened3);
    EXPECT_EQ(store->EntryCount(), size_t(count + 2) + implied);
    for (int i : {0, 1, 2, 4567, count - 1}) {
        std::vector<Entry> found;
        ASSERT_TRUE(SearchAll(*store,
                              {"CN=e" + std::to_string(i) + ",DC=big",
                               Scope::Base,
                               "(objectClass=*)",
                               {"description"},
                               0},
                              found)
                        .ok());
        EXPECT_EQ(found.at(0).First("description"), description(i)) << i;
    }
    std::vector<Entry> found;
    ASSERT_TRUE(
        SearchAll(*store, {"CN=huge,DC=big", Scope::Base, "(objectClass=*)", {}, 0}, found).ok());
    EXPECT_EQ(found.at(0).First("description"), huge);
    store.reset();

    // A change appended after the marker and cut short at the end is left out, named by its
    // line; an export that ends inside its own last record was cut short, and is refused.
    size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    std::string error;
    for (bool appended : {true, false}) {
        std::string marker = appended ? std::string(kChangeRecordMarker) + "\n" : "";
        testing::WriteTestFile(file, text + marker + "dn: CN=e0,DC=big\nchangetype: delete");
        testing::CapturedStoreWarnings captured;
        const std::vector<std::string>& warnings = captured.lines;
        auto opened4 = MemoryStore::Open(file);
        error = opened4 ? std::string() : opened4.error().text;
        store = opened4 ? std::move(*opened4) : nullptr;
        if (!appended) {
            EXPECT_FALSE(store);
            EXPECT_NE(error.find(":" + std::to_string(lines + 1) +
                                 ": the export ends inside its last record"),
                      std::string::npos)
                << error;
            continue;
        }
        ASSERT_TRUE(store) << error;
        EXPECT_EQ(store->EntryCount(), size_t(count + 2) + implied);
        ASSERT_EQ(warnings.size(), appended ? 1u : 0u);
        if (appended) {
            EXPECT_NE(warnings[0].find(":" + std::to_string(lines + 2) + ": "), std::string::npos)
                << warnings[0];
        }
        store.reset();
    }

    // A malformed line far into the file is named by its number.
    testing::WriteTestFile(file, text + "dn: CN=bad,DC=big\nobjectClass top\n");
    auto opened5 = MemoryStore::Open(file);
    error = opened5 ? std::string() : opened5.error().text;
    store = opened5 ? std::move(*opened5) : nullptr;
    EXPECT_FALSE(store);
    EXPECT_NE(error.find(file.string() + ":" + std::to_string(lines + 2) + ":"), std::string::npos)
        << error;
    std::filesystem::remove(file);
}

} // namespace
} // namespace kestrune::store

namespace kestrune::store {
namespace {

// Entries changed over and over leave their old space behind until the store moves them all
// to fresh memory; every entry reads back as last written through all of it.
TEST(MemoryStoreEntries, ManyChangesKeepEveryEntryWhole) {
    MemoryStore store;
    ASSERT_TRUE(store
                    .LoadText("dn: DC=x\nobjectClass: domainDNS\n\n"
                              "dn: OU=a,DC=x\nobjectClass: organizationalUnit\n",
                              "t")
                    .ok());
    const int count = 300;
    auto text = [](int i, int round) {
        return std::to_string(round) + std::string(4000, static_cast<char>('a' + (i + round) % 26));
    };
    for (int i = 0; i < count; ++i)
        ASSERT_TRUE(store
                        .Add({"CN=e" + std::to_string(i) + ",OU=a,DC=x",
                              {{"objectClass", {"user"}}, {"description", {text(i, 0)}}}})
                        .ok());
    for (int round = 1; round <= 3; ++round)
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(store
                            .Modify("CN=e" + std::to_string(i) + ",OU=a,DC=x",
                                    {{Modification::Op::Replace, "description", {text(i, round)}}})
                            .ok());
    ASSERT_TRUE(store.Rename("OU=a,DC=x", "OU=b", true, "").ok());
    for (int i = 0; i < count; i += 3)
        ASSERT_TRUE(store.Delete("CN=e" + std::to_string(i) + ",OU=b,DC=x").ok());
    std::vector<Entry> found;
    ASSERT_TRUE(
        SearchAll(store, {"OU=b,DC=x", Scope::OneLevel, "(objectClass=user)", {}, 0}, found).ok());
    ASSERT_EQ(found.size(), size_t(count - (count + 2) / 3));
    for (const Entry& e : found) {
        int i = std::stoi(e.dn.substr(4));
        EXPECT_NE(i % 3, 0);
        EXPECT_EQ(e.dn, "CN=e" + std::to_string(i) + ",OU=b,DC=x");
        EXPECT_EQ(e.First("description"), text(i, 3)) << e.dn;
        EXPECT_EQ(e.First("cn"), "e" + std::to_string(i));
    }
}

} // namespace
} // namespace kestrune::store
