#include "platform/store/memory_store.h"

#include "base/file_io.h"
#include "temp_folder.h"

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
        WriteWholeFile(file, kForest);
    }

    std::unique_ptr<MemoryStore> Open() {
        std::string error;
        auto store = MemoryStore::Open(file, error);
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
    std::string before = ReadWholeFile(file);
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
    std::string after = ReadWholeFile(file);
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
    for (const char* ending : {"", "\n", "\n\n"}) {
        WriteWholeFile(file, std::string("dn: DC=x\nobjectClass: domainDNS") + ending);
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
    std::string before = ReadWholeFile(file);
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
    EXPECT_EQ(ReadWholeFile(file), before);
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
        WriteWholeFile(file, c.text);
        std::string error;
        auto store = MemoryStore::Open(file, error);
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

class MemoryStoreRecords : public ::testing::Test {
  protected:
    void SetUp() override { file = scratch / "records.ldif"; }
    // Loads base plus records; the error when the file is refused, "" when it loads.
    std::string Load(const std::string& text) {
        WriteWholeFile(file, text);
        std::string error;
        auto store = MemoryStore::Open(file, error);
        return store ? std::string() : error;
    }
    testing::TempFolder scratch;
    std::filesystem::path file;
};

const char* kRooted = "dn:\nobjectClass: top\ndefaultNamingContext: DC=x\n\n"
                      "dn: DC=x\nobjectClass: domainDNS\n\n"
                      "dn: OU=a,DC=x\nobjectClass: organizationalUnit\n\n";

TEST_F(MemoryStoreRecords, TheRootDseCannotBeDeletedOrMoved) {
    struct Case {
        const char* record;
        int line;
    } cases[] = {
        {"dn:\nchangetype: delete\n", 11},
        {"dn:\nchangetype: modrdn\nnewrdn: CN=root\ndeleteoldrdn: 1\nnewsuperior: DC=x\n", 11},
        {"dn:\nchangetype: modrdn\nnewrdn: CN=root\ndeleteoldrdn: 0\n", 11},
        {"dn: OU=a,DC=x\nchangetype: modrdn\nnewrdn: OU=b\ndeleteoldrdn: 1\nnewsuperior:: IA==\n",
         11},
        // A malformed DN names no entry, least of all the rootDSE.
        {"dn: garbage\nchangetype: delete\n", 11},
        {"dn: garbage\nchangetype: modify\nreplace: defaultNamingContext\n"
         "defaultNamingContext: DC=y\n-\n",
         11},
    };
    for (const Case& c : cases) {
        std::string error = Load(std::string(kRooted) + c.record + "\n");
        EXPECT_NE(error.find(file.string() + ":" + std::to_string(c.line) + ":"), std::string::npos)
            << c.record << " gave: " << error;
    }
    MemoryStore store;
    ASSERT_TRUE(store.LoadText(kRooted, "t").ok());
    EXPECT_EQ(store.Delete("").code, ResultCode::UnwillingToPerform);
    EXPECT_EQ(store.Rename("", "CN=x", true, "DC=x").code, ResultCode::UnwillingToPerform);
    EXPECT_EQ(store.Rename("OU=a,DC=x", "OU=b", true, " ").code, ResultCode::UnwillingToPerform);
    EXPECT_EQ(store.Rename("OU=a,DC=x", "OU=b", true, "no dn").code, ResultCode::NoSuchObject);
    std::vector<Entry> root;
    ASSERT_TRUE(SearchAll(store, {"", Scope::Base, "(objectClass=*)", {}, 0}, root).ok());
    ASSERT_EQ(root.size(), 1u);
    EXPECT_EQ(root[0].First("defaultNamingContext"), "DC=x");
}

TEST_F(MemoryStoreRecords, ARenameOntoAnyExistingNameChangesNothing) {
    // CN=c,OU=b,O=x comes before its parents, so it is not in the tree below O=x; renaming
    // OU=a to OU=b would give OU=a's child that same name.
    MemoryStore store;
    ASSERT_TRUE(store
                    .LoadText("dn: CN=c,OU=b,O=x\nobjectClass: user\n\n"
                              "dn: O=x\nobjectClass: domainDNS\n\n"
                              "dn: OU=a,O=x\nobjectClass: organizationalUnit\n\n"
                              "dn: CN=c,OU=a,O=x\nobjectClass: user\nnote: mine\n\n",
                              "t")
                    .ok());
    EXPECT_EQ(store.Rename("OU=a,O=x", "OU=b", true, "").code, ResultCode::EntryAlreadyExists);
    EXPECT_EQ(store.Rename("CN=c,OU=a,O=x", "CN=C", true, "OU=b,O=x").code,
              ResultCode::NoSuchObject);
    ASSERT_TRUE(store.Add({"OU=b,O=x", {{"objectClass", {"organizationalUnit"}}}}).ok());
    EXPECT_EQ(store.Rename("CN=c,OU=a,O=x", "CN=C", true, "OU=b,O=x").code,
              ResultCode::EntryAlreadyExists);
    std::vector<Entry> all;
    ASSERT_TRUE(
        SearchAll(store, {"O=x", Scope::Subtree, "(objectClass=*)", {"note"}, 0}, all).ok());
    std::vector<std::string> dns;
    for (const Entry& e : all)
        dns.push_back(e.dn);
    EXPECT_EQ(dns, (std::vector<std::string>{"O=x", "OU=a,O=x", "CN=c,OU=a,O=x", "OU=b,O=x"}));
    EXPECT_EQ(all[2].First("note"), "mine");
    // A change of case only is a rename onto itself.
    EXPECT_TRUE(store.Rename("OU=a,O=x", "OU=A", true, "").ok());
    ASSERT_TRUE(
        SearchAll(store, {"cn=c,ou=a,o=x", Scope::Base, "(objectClass=*)", {}, 0}, all).ok());
    EXPECT_EQ(all.at(0).dn, "CN=c,OU=A,O=x");
}

} // namespace
} // namespace kestrune::store

namespace kestrune::store {
namespace {

// Collects the store's warnings for the duration of a test.
class CapturedWarnings {
  public:
    CapturedWarnings() {
        MemoryStore::SetWarningSink([this](const std::string& w) { lines.push_back(w); });
    }
    ~CapturedWarnings() { MemoryStore::SetWarningSink(nullptr); }
    std::vector<std::string> lines;
};

class TornRecords : public MemoryStoreRecords {
  protected:
    // What the store appends for change, and the file before it.
    void Append(const std::function<void(MemoryStore&)>& change) {
        WriteWholeFile(file, std::string(kRooted) +
                                 "dn: CN=NS,OU=a,DC=x\nobjectClass: msDFS-Namespacev2\n\n"
                                 "dn: CN=L1,CN=NS,OU=a,DC=x\nobjectClass: msDFS-Linkv2\n"
                                 "msDFS-Commentv2: the old comment\n");
        before = ReadWholeFile(file);
        std::string error;
        auto store = MemoryStore::Open(file, error);
        ASSERT_TRUE(store) << error;
        change(*store);
        appended = ReadWholeFile(file).substr(before.size());
    }
    std::string Comment(DirectoryStore& store, const std::string& dn) {
        std::vector<Entry> found;
        if (!SearchAll(store, {dn, Scope::Base, "(objectClass=*)", {}, 0}, found).ok()) return "-";
        return found.at(0).First("msDFS-Commentv2");
    }
    std::string before, appended;
};

TEST_F(TornRecords, ACutLastRecordIsLeftOutWithAWarningAtEveryCutPoint) {
    const std::string newComment = "Gr\xc3\xbc\xc3\x9f"
                                   "e, a comment long enough to be folded "
                                   "over more than one line of the file by the writer";
    Append([&](MemoryStore& store) {
        ASSERT_TRUE(store
                        .Add({"CN=L2,CN=NS,OU=a,DC=x",
                              {{"objectClass", {"top", "msDFS-Linkv2"}},
                               {"msDFS-LinkPathv2", {"/Dept/Share"}},
                               {"msDFS-TargetListv2", {std::string(300, '\x01')}},
                               {"msDFS-Commentv2", {newComment}}}})
                        .ok());
        ASSERT_TRUE(store
                        .Modify("CN=L1,CN=NS,OU=a,DC=x",
                                {{Modification::Op::Replace, "msDFS-Commentv2", {newComment}}})
                        .ok());
    });
    ASSERT_GT(appended.size(), 600u);
    // The records come after the marker that tells them from the file's own content.
    size_t first = appended.find("dn: ");
    ASSERT_NE(appended.find(kChangeRecordMarker), std::string::npos);
    ASSERT_LT(appended.find(kChangeRecordMarker), first);
    size_t second = appended.find("dn: CN=L1");
    ASSERT_NE(second, std::string::npos);
    size_t newlinesBefore = static_cast<size_t>(std::count(before.begin(), before.end(), '\n'));
    for (size_t cut = 0; cut <= appended.size(); ++cut) {
        CapturedWarnings warnings;
        WriteWholeFile(file, before + appended.substr(0, cut));
        std::string error;
        auto store = MemoryStore::Open(file, error);
        ASSERT_TRUE(store) << "cut at " << cut << ": " << error;
        bool addDone = cut >= second;
        bool modifyDone = cut == appended.size();
        EXPECT_EQ(Comment(*store, "CN=L2,CN=NS,OU=a,DC=x"), addDone ? newComment : "-") << cut;
        EXPECT_EQ(Comment(*store, "CN=L1,CN=NS,OU=a,DC=x"),
                  modifyDone ? newComment : "the old comment")
            << cut;
        std::string cutText = appended.substr(0, cut);
        size_t lastRecord = addDone ? second : first;
        bool partial = cut > lastRecord && !modifyDone;
        if (!partial) {
            EXPECT_TRUE(warnings.lines.empty()) << cut << ": " << warnings.lines.at(0);
            continue;
        }
        // The warning names the file and the line where the incomplete record begins.
        size_t line =
            newlinesBefore + 1 +
            static_cast<size_t>(std::count(
                cutText.begin(), cutText.begin() + static_cast<ptrdiff_t>(lastRecord), '\n'));
        ASSERT_EQ(warnings.lines.size(), 1u) << cut;
        EXPECT_EQ(warnings.lines[0].rfind(file.string() + ":" + std::to_string(line) + ":", 0), 0u)
            << cut << ": " << warnings.lines[0];
    }
}

TEST_F(TornRecords, TheNextChangeRemovesTheCutRecordFirst) {
    Append([](MemoryStore& store) {
        ASSERT_TRUE(store
                        .Modify("CN=L1,CN=NS,OU=a,DC=x",
                                {{Modification::Op::Replace, "msDFS-Commentv2", {"cut"}}})
                        .ok());
    });
    WriteWholeFile(file, before + appended.substr(0, appended.size() - 4));
    CapturedWarnings warnings;
    {
        std::string error;
        auto store = MemoryStore::Open(file, error);
        ASSERT_TRUE(store) << error;
        ASSERT_EQ(warnings.lines.size(), 1u);
        EXPECT_NE(warnings.lines[0].find("left out"), std::string::npos);
        ASSERT_TRUE(store
                        ->Modify("CN=L1,CN=NS,OU=a,DC=x",
                                 {{Modification::Op::Replace, "msDFS-Commentv2", {"whole"}}})
                        .ok());
        ASSERT_EQ(warnings.lines.size(), 2u);
        EXPECT_NE(warnings.lines[1].find("removed"), std::string::npos);
    }
    warnings.lines.clear();
    std::string error;
    auto store = MemoryStore::Open(file, error);
    ASSERT_TRUE(store) << error;
    EXPECT_TRUE(warnings.lines.empty());
    EXPECT_EQ(Comment(*store, "CN=L1,CN=NS,OU=a,DC=x"), "whole");
    EXPECT_EQ(ReadWholeFile(file).find("cut"), std::string::npos);

    // A record cut short with more records after it is malformed, and still refused.
    WriteWholeFile(file, std::string(kRooted) + "dn: OU=b,DC=x\nchangetype: add\nobjectCl\n\n" +
                             "dn: OU=c,DC=x\nchangetype: add\nobjectClass: top\n\n");
    EXPECT_FALSE(MemoryStore::Open(file, error));
    EXPECT_NE(error.find(file.string() + ":13:"), std::string::npos) << error;
}

} // namespace
} // namespace kestrune::store

namespace kestrune::store {
namespace {

TEST_F(MemoryStoreRecords, ChangesTheFileCouldNotReadBackAreRefused) {
    WriteWholeFile(file, kRooted);
    {
        std::string error;
        auto store = MemoryStore::Open(file, error);
        ASSERT_TRUE(store) << error;
        for (const char* type : {"a b", "", "photo;binary", "1a", "1..2", "-x"}) {
            EXPECT_EQ(store->Add({"CN=n,DC=x", {{"objectClass", {"top"}}, {type, {"v"}}}}).code,
                      ResultCode::ProtocolError)
                << type;
            EXPECT_EQ(store->Modify("OU=a,DC=x", {{Modification::Op::Replace, type, {"v"}}}).code,
                      ResultCode::ProtocolError)
                << type;
        }
        EXPECT_EQ(store->Add({"C N=n,DC=x", {{"objectClass", {"top"}}}}).code,
                  ResultCode::InvalidDnSyntax);
        EXPECT_EQ(store->Rename("OU=a,DC=x", "O U=b", true, "").code, ResultCode::InvalidDnSyntax);
        // One attribute named twice, and one without values, are stored as the file reads
        // them back.
        ASSERT_TRUE(store
                        ->Add({"CN=n,DC=x",
                               {{"objectClass", {"top"}},
                                {"note", {"1"}},
                                {"empty", {}},
                                {"NOTE", {"2"}},
                                {"1.2.840.113556.1.4.1", {"oid"}}}})
                        .ok());
    }
    std::string error;
    auto store = MemoryStore::Open(file, error);
    ASSERT_TRUE(store) << error;
    std::vector<Entry> found;
    ASSERT_TRUE(
        SearchAll(*store, {"CN=n,DC=x", Scope::Base, "(objectClass=*)", {}, 0}, found).ok());
    EXPECT_EQ(*found.at(0).Find("note"), (std::vector<std::string>{"1", "2"}));
    EXPECT_FALSE(found[0].Find("empty"));
    EXPECT_EQ(found[0].First("1.2.840.113556.1.4.1"), "oid");
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
    WriteWholeFile(file, text);
    std::string error;
    auto store = MemoryStore::Open(file, error);
    ASSERT_TRUE(store) << error;
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
    // line; the file's own last record, without its blank line all the same, is taken.
    size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    for (bool appended : {true, false}) {
        std::string marker = appended ? std::string(kChangeRecordMarker) + "\n" : "";
        WriteWholeFile(file, text + marker + "dn: CN=e0,DC=big\nchangetype: delete");
        std::vector<std::string> warnings;
        MemoryStore::SetWarningSink([&](const std::string& w) { warnings.push_back(w); });
        store = MemoryStore::Open(file, error);
        MemoryStore::SetWarningSink({});
        ASSERT_TRUE(store) << error;
        EXPECT_EQ(store->EntryCount(), size_t(count + (appended ? 2 : 1)) + implied);
        ASSERT_EQ(warnings.size(), appended ? 1u : 0u);
        if (appended) {
            EXPECT_NE(warnings[0].find(":" + std::to_string(lines + 2) + ": "), std::string::npos)
                << warnings[0];
        }
        store.reset();
    }

    // A malformed line far into the file is named by its number.
    WriteWholeFile(file, text + "dn: CN=bad,DC=big\nobjectClass top\n");
    store = MemoryStore::Open(file, error);
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
