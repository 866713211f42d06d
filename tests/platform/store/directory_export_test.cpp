// The memory store over a directory export: parents left out or given after their children,
// the rootDSE and cross-references a domain controller would have, ldapsearch's own lines, and
// the file's own last record told apart from a change cut short.
#include "base/file_io.h"
#include "platform/memory_store/memory_store.h"
#include "platform/store/ldif.h"
#include "support/temp_folder.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

namespace kestrune::store {
namespace {

class DirectoryExport : public ::testing::Test {
  protected:
    std::unique_ptr<MemoryStore> Open(const std::string& text) {
        testing::WriteTestFile(file, text);
        auto opened = MemoryStore::Open(file);
        error = opened ? std::string() : opened.error().text;
        auto store = opened ? std::move(*opened) : nullptr;
        EXPECT_TRUE(store) << error;
        return store;
    }
    std::vector<Entry> Search(DirectoryStore& store, const std::string& base, Scope scope,
                              const std::string& filter = "(objectClass=*)") {
        std::vector<Entry> found;
        Status status = SearchAll(store, {base, scope, filter, {}, 0}, found);
        EXPECT_TRUE(status.ok()) << base << ": " << status.message;
        return found;
    }
    static std::vector<std::string> Dns(const std::vector<Entry>& entries) {
        std::vector<std::string> dns;
        for (const Entry& e : entries)
            dns.push_back(e.dn);
        std::sort(dns.begin(), dns.end());
        return dns;
    }

    testing::TempFolder scratch;
    std::filesystem::path file = scratch / "export.ldf";
    std::string error;
};

TEST_F(DirectoryExport, MissingParentsAreImpliedAndTheFilesOwnRecordTakesTheirPlace) {
    // A link before its namespace, the namespace before the anchor, nothing above the anchor;
    // and a DNS partition, which looks like a domain but is none.
    auto store = Open("dn: CN=L1,CN=NS,CN=NS,CN=Dfs-Configuration,CN=System,DC=example,DC=com\n"
                      "changetype: add\nobjectClass: top\nobjectClass: msDFS-Linkv2\n"
                      "msDFS-LinkPathv2: /a\n\n"
                      "dn: CN=NS,CN=NS,CN=Dfs-Configuration,CN=System,DC=example,DC=com\n"
                      "changetype: add\nobjectClass: top\nobjectClass: msDFS-Namespacev2\n"
                      "msDFS-Commentv2: the namespace\n\n"
                      "dn: CN=MicrosoftDNS,DC=DomainDnsZones,DC=example,DC=com\n"
                      "objectClass: container\n\n");
    ASSERT_TRUE(store);
    const std::string dfs = "CN=Dfs-Configuration,CN=System,DC=example,DC=com";
    EXPECT_EQ(Dns(Search(*store, "CN=NS,CN=NS," + dfs, Scope::OneLevel)),
              std::vector<std::string>{"CN=L1,CN=NS,CN=NS," + dfs});
    Entry ns = Search(*store, "CN=NS,CN=NS," + dfs, Scope::Base).at(0);
    EXPECT_EQ(ns.First("msDFS-Commentv2"), "the namespace");
    EXPECT_EQ(*ns.Find("objectClass"), (std::vector<std::string>{"top", "msDFS-Namespacev2"}));
    // The implied ones are what Active Directory has there.
    EXPECT_EQ(Search(*store, "CN=NS," + dfs, Scope::Base).at(0).Find("objectClass")->back(),
              "container");
    EXPECT_EQ(Search(*store, dfs, Scope::Base).at(0).Find("objectClass")->back(),
              "dfsConfiguration");
    EXPECT_EQ(Search(*store, "DC=example,DC=com", Scope::Base).at(0).Find("objectClass")->back(),
              "domainDNS");
    // Nothing is implied above the domain the names end in.
    std::vector<Entry> above;
    EXPECT_EQ(SearchAll(*store, {"DC=com", Scope::Base, "(objectClass=*)", {}, 0}, above).code,
              ResultCode::NoSuchObject);

    // The rootDSE a DC of this forest would give, and the domain's cross-reference (without a
    // NetBIOS name: nothing in the export tells it).
    Entry root = Search(*store, "", Scope::Base).at(0);
    EXPECT_EQ(root.First("defaultNamingContext"), "DC=example,DC=com");
    EXPECT_EQ(root.First("rootDomainNamingContext"), "DC=example,DC=com");
    EXPECT_EQ(root.First("configurationNamingContext"), "CN=Configuration,DC=example,DC=com");
    EXPECT_EQ(root.First("schemaNamingContext"), "CN=Schema,CN=Configuration,DC=example,DC=com");
    EXPECT_EQ(root.Find("kestruneLocalUserName"), nullptr);
    auto refs = Search(*store, "CN=Partitions,CN=Configuration,DC=example,DC=com", Scope::OneLevel,
                       "(objectClass=crossRef)");
    ASSERT_EQ(refs.size(), 1u);
    EXPECT_EQ(refs[0].First("nCName"), "DC=example,DC=com");
    EXPECT_EQ(refs[0].First("dnsRoot"), "example.com");
    EXPECT_EQ(refs[0].Find("nETBIOSName"), nullptr);

    // An implied entry is there: a change cannot add it again.
    EXPECT_EQ(store->Add({"CN=System,DC=example,DC=com", {{"objectClass", {"container"}}}}).code,
              ResultCode::EntryAlreadyExists);
}

TEST_F(DirectoryExport, TheForestComesFromItsCrossReferencesWhenTheExportHasThem) {
    auto store = Open("dn: DC=sales,DC=corp,DC=test\nobjectClass: domainDNS\n\n"
                      "dn: CN=CORP,CN=Partitions,CN=Configuration,DC=corp,DC=test\n"
                      "objectClass: crossRef\nnCName: DC=corp,DC=test\ndnsRoot: corp.test\n"
                      "nETBIOSName: CORP\nsystemFlags: 3\n\n"
                      "dn: CN=SALES,CN=Partitions,CN=Configuration,DC=corp,DC=test\n"
                      "objectClass: crossRef\nnCName: DC=sales,DC=corp,DC=test\n"
                      "dnsRoot: sales.corp.test\nsystemFlags: 3\n\n"
                      "dn: CN=Configuration,DC=corp,DC=test\nobjectClass: configuration\n\n");
    ASSERT_TRUE(store);
    Entry root = Search(*store, "", Scope::Base).at(0);
    EXPECT_EQ(root.First("rootDomainNamingContext"), "DC=corp,DC=test");
    EXPECT_EQ(*root.Find("namingContexts"),
              (std::vector<std::string>{"DC=corp,DC=test", "DC=sales,DC=corp,DC=test",
                                        "CN=Configuration,DC=corp,DC=test",
                                        "CN=Schema,CN=Configuration,DC=corp,DC=test"}));
    // Every domain has its cross-reference already: none is added.
    EXPECT_EQ(
        Search(*store, "CN=Partitions,CN=Configuration,DC=corp,DC=test", Scope::OneLevel).size(),
        2u);

    // A file with a rootDSE of its own is taken as it stands.
    store = Open("dn:\ndefaultNamingContext: DC=x\n\ndn: DC=x\nobjectClass: domainDNS\n");
    ASSERT_TRUE(store);
    EXPECT_EQ(store->EntryCount(), 2u);
}

TEST_F(DirectoryExport, LdapsearchsClosingBlockIsNoEntryAndAFailedSearchIsRefused) {
    const std::string entries = "version: 1\n\n# base <DC=x> with scope subtree\n#\n\n"
                                "# x\ndn: DC=x\nobjectClass: domainDNS\n\n"
                                "# search reference\nref: ldap://x/DC=DomainDnsZones,DC=x\n\n";
    auto store = Open(entries + "# search result\nsearch: 3\nresult: 0 Success\n\n"
                                "# numEntries: 1\n# numReferences: 1\n");
    ASSERT_TRUE(store);
    EXPECT_EQ(Search(*store, "DC=x", Scope::Base).size(), 1u);

    // A search stopped at the server's size limit wrote only part of the directory.
    testing::WriteTestFile(file, entries +
                                     "# search result\nsearch: 3\nresult: 4 Size limit exceeded\n"
                                     "\n# numEntries: 1\n");
    {
        auto opened = MemoryStore::Open(file);
        error = opened ? std::string() : opened.error().text;
        EXPECT_FALSE(opened);
    }
    EXPECT_NE(error.find(file.string() + ":15: "), std::string::npos) << error;
    EXPECT_NE(error.find("4 Size limit exceeded"), std::string::npos) << error;
}

TEST_F(DirectoryExport, TheFilesOwnLastRecordIsKeptAndAppendedChangesFollowTheMarker) {
    // ldifde's last record ends without a blank line, as a change cut short would.
    const std::string exported = "\r\ndn: DC=x\r\nchangetype: add\r\nobjectClass: domainDNS\r\n"
                                 "\r\ndn: OU=last,DC=x\r\nchangetype: add\r\n"
                                 "objectClass: organizationalUnit\r\n";
    {
        auto store = Open(exported);
        ASSERT_TRUE(store);
        EXPECT_EQ(Search(*store, "OU=last,DC=x", Scope::Base).size(), 1u);
        EXPECT_EQ(testing::ReadTestFile(file), exported); // loading writes nothing
        ASSERT_TRUE(store->Add({"OU=a,DC=x", {{"objectClass", {"organizationalUnit"}}}}).ok());
        ASSERT_TRUE(store->Add({"OU=b,DC=x", {{"objectClass", {"organizationalUnit"}}}}).ok());
    }
    std::string text = testing::ReadTestFile(file);
    EXPECT_EQ(text.substr(0, exported.size()), exported);
    std::string appended = text.substr(exported.size());
    size_t marker = appended.find(kChangeRecordMarker);
    EXPECT_LT(marker, appended.find("dn: OU=a,DC=x"));
    EXPECT_EQ(appended.find(kChangeRecordMarker, marker + 1), std::string::npos); // once
    auto store = Open(text);
    ASSERT_TRUE(store);
    EXPECT_EQ(Dns(Search(*store, "DC=x", Scope::OneLevel)),
              (std::vector<std::string>{"OU=a,DC=x", "OU=b,DC=x", "OU=last,DC=x"}));
}

// What the program implies for an export never silently stands in for the export's own entry:
// a collision names the file, the entry's line and that the entry was implied.
TEST_F(DirectoryExport, AnImpliedCrossReferenceThatCollidesNamesTheFileAndTheLine) {
    testing::WriteTestFile(file,
                           "dn: DC=example,DC=com\nobjectClass: domainDNS\n\n"
                           "dn: CN=example.com,CN=Partitions,CN=Configuration,DC=example,DC=com\n"
                           "objectClass: crossRef\n\n");
    auto opened = MemoryStore::Open(file);
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.error().text.find(file.string() + ":4: the export holds no cross-reference "
                                                       "for the domain DC=example,DC=com, and "
                                                       "the one this program implies for it"),
              0u)
        << opened.error().text;
}

// An export cut short after a whole line is told by what its tool writes after the last
// record; the error names the file and its last line.
TEST_F(DirectoryExport, AnExportThatEndsInsideARecordIsRefused) {
    const std::string whole = "dn: DC=x\nobjectClass: domainDNS\n\ndn: OU=a,DC=x\n"
                              "objectClass: organizationalUnit\ndescription: all of it\n\n";
    for (const std::string& cut :
         {whole.substr(0, whole.size() - 1), whole.substr(0, whole.find("description")),
          whole.substr(0, whole.size() - 4)}) {
        testing::WriteTestFile(file, cut);
        auto opened = MemoryStore::Open(file);
        ASSERT_FALSE(opened) << cut;
        EXPECT_NE(opened.error().text.find(file.string() + ":"), std::string::npos);
        EXPECT_NE(opened.error().text.find(": the export ends inside its last record"),
                  std::string::npos)
            << opened.error().text;
    }
    EXPECT_TRUE(Open(whole));
    // ldapsearch's closing block ends it, with comments after; so does ldifde's last CR LF.
    EXPECT_TRUE(Open("version: 1\n\n# extended LDIF\n#\n\ndn: DC=x\nobjectClass: domainDNS\n\n"
                     "# search result\nsearch: 2\nresult: 0 Success\n\n# numEntries: 1\n"));
    testing::WriteTestFile(
        file, "version: 1\n\n# extended LDIF\n#\n\ndn: DC=x\nobjectClass: domainDNS\n\n");
    EXPECT_FALSE(MemoryStore::Open(file));
    EXPECT_TRUE(Open("\r\ndn: DC=x\r\nchangetype: add\r\nobjectClass: domainDNS\r\n"));
    testing::WriteTestFile(file, "\r\ndn: DC=x\r\nchangetype: add\r\nobjectClass: domain");
    EXPECT_FALSE(MemoryStore::Open(file));
}

} // namespace
} // namespace kestrune::store
