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

class MemoryStoreRecords : public ::testing::Test {
  protected:
    void SetUp() override { file = scratch / "records.ldif"; }
    // Loads base plus records; the error when the file is refused, "" when it loads.
    std::string Load(const std::string& text) {
        testing::WriteTestFile(file, text);
        std::string error;
        auto opened = MemoryStore::Open(file);
        error = opened ? std::string() : opened.error().text;
        auto store = opened ? std::move(*opened) : nullptr;
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

using CapturedWarnings = testing::CapturedStoreWarnings;

class TornRecords : public MemoryStoreRecords {
  protected:
    // What the store appends for change, and the file before it.
    void Append(const std::function<void(MemoryStore&)>& change) {
        testing::WriteTestFile(file, std::string(kRooted) +
                                         "dn: CN=NS,OU=a,DC=x\nobjectClass: msDFS-Namespacev2\n\n"
                                         "dn: CN=L1,CN=NS,OU=a,DC=x\nobjectClass: msDFS-Linkv2\n"
                                         "msDFS-Commentv2: the old comment\n");
        before = testing::ReadTestFile(file);
        auto opened2 = MemoryStore::Open(file);
        ASSERT_TRUE(opened2) << opened2.error().text;
        auto store = std::move(*opened2);
        change(*store);
        appended = testing::ReadTestFile(file).substr(before.size());
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
        testing::WriteTestFile(file, before + appended.substr(0, cut));
        std::string error;
        auto opened3 = MemoryStore::Open(file);
        error = opened3 ? std::string() : opened3.error().text;
        auto store = opened3 ? std::move(*opened3) : nullptr;
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
    testing::WriteTestFile(file, before + appended.substr(0, appended.size() - 4));
    CapturedWarnings warnings;
    {
        auto opened4 = MemoryStore::Open(file);
        ASSERT_TRUE(opened4) << opened4.error().text;
        auto store = std::move(*opened4);
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
    auto opened5 = MemoryStore::Open(file);
    ASSERT_TRUE(opened5) << opened5.error().text;
    auto store = std::move(*opened5);
    EXPECT_TRUE(warnings.lines.empty());
    EXPECT_EQ(Comment(*store, "CN=L1,CN=NS,OU=a,DC=x"), "whole");
    EXPECT_EQ(testing::ReadTestFile(file).find("cut"), std::string::npos);

    // A record cut short with more records after it is malformed, and still refused.
    testing::WriteTestFile(file, std::string(kRooted) +
                                     "dn: OU=b,DC=x\nchangetype: add\nobjectCl\n\n" +
                                     "dn: OU=c,DC=x\nchangetype: add\nobjectClass: top\n\n");
    auto refused = MemoryStore::Open(file);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().text.find(file.string() + ":13:"), std::string::npos)
        << refused.error().text;
}

} // namespace
} // namespace kestrune::store

namespace kestrune::store {
namespace {

TEST_F(MemoryStoreRecords, ChangesTheFileCouldNotReadBackAreRefused) {
    testing::WriteTestFile(file, kRooted);
    {
        auto opened6 = MemoryStore::Open(file);
        ASSERT_TRUE(opened6) << opened6.error().text;
        auto store = std::move(*opened6);
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
    auto opened7 = MemoryStore::Open(file);
    ASSERT_TRUE(opened7) << opened7.error().text;
    auto store = std::move(*opened7);
    std::vector<Entry> found;
    ASSERT_TRUE(
        SearchAll(*store, {"CN=n,DC=x", Scope::Base, "(objectClass=*)", {}, 0}, found).ok());
    EXPECT_EQ(*found.at(0).Find("note"), (std::vector<std::string>{"1", "2"}));
    EXPECT_FALSE(found[0].Find("empty"));
    EXPECT_EQ(found[0].First("1.2.840.113556.1.4.1"), "oid");
}

} // namespace
} // namespace kestrune::store
