// NetDfsAddRootTarget over the directory store: a namespace created as Windows creates one, a
// root target added to one, and what Active Directory refuses.
#include "base/win_errors.h"
#include "platform/memory_store/memory_store.h"
#include "platform/netdfs_over_store/dfs_target_list.h"
#include "platform/netdfs_over_store/netdfs_over_store.h"
#include "support/delete_subtree.h"
#include "support/sample_store_dfs.h"

#include <gtest/gtest.h>

namespace kestrune {
namespace {

using store::Entry;
using store::Scope;

const std::string kContainer = "CN=Dfs-Configuration,CN=System,DC=example,DC=com";

class StoreRootsTest : public testing::SampleStoreDfsTest {
  protected:
    DfsStatus AddRoot(const std::u16string& path, const std::u16string& target, uint32_t version,
                      const char16_t* comment = nullptr) {
        return dfs->AddRootTarget(path.c_str(), target.c_str(), version, comment, 0);
    }
    std::optional<Entry> Read(const std::string& dn) {
        std::vector<Entry> found;
        store::Status status =
            store::SearchAll(*store, {dn, Scope::Base, "(objectClass=*)", {}, 0}, found);
        if (!status.ok() || found.empty()) return std::nullopt;
        return found.front();
    }
    // Removes a namespace with its links and anchor, as a script deleting it would.
    void DeleteNamespace(const std::string& name) {
        ASSERT_GT(testing::DeleteExampleNamespace(*store, name), 0u) << name;
    }
};

TEST_F(StoreRootsTest, ANamespaceThatIsGoneIsCreatedWithTheObjectsWindowsWrites) {
    DeleteNamespace("Public");
    ASSERT_EQ(AddRoot(u"\\\\example.com\\Public", u"\\\\DC1\\Public", 2, u"Company public share"),
              NERR_Success);

    std::optional<Entry> anchor = Read("CN=Public," + kContainer);
    ASSERT_TRUE(anchor);
    EXPECT_EQ(anchor->Find("objectClass")->back(), "msDFS-NamespaceAnchor");
    EXPECT_EQ(anchor->First("msDFS-SchemaMajorVersion"), "2");
    std::optional<Entry> ns = Read("CN=Public,CN=Public," + kContainer);
    ASSERT_TRUE(ns);
    EXPECT_EQ(ns->Find("objectClass")->back(), "msDFS-Namespacev2");
    EXPECT_EQ(ns->First("msDFS-SchemaMajorVersion"), "2");
    EXPECT_EQ(ns->First("msDFS-SchemaMinorVersion"), "0");
    EXPECT_EQ(ns->First("msDFS-NamespaceIdentityGUIDv2").size(), 16u);
    EXPECT_EQ(ns->First("msDFS-GenerationGUIDv2").size(), 16u);
    EXPECT_NE(ns->First("msDFS-NamespaceIdentityGUIDv2"), ns->First("msDFS-GenerationGUIDv2"));
    EXPECT_EQ(ns->First("msDFS-Ttlv2"), "300");
    EXPECT_EQ(ns->First("msDFS-Commentv2"), "Company public share");
    EXPECT_EQ(*ns->Find("msDFS-Propertiesv2"), std::vector<std::string>{"State=Okay"});
    // YYYYMMDDHHMMSS.0Z
    EXPECT_EQ(ns->First("msDFS-LastModifiedv2").size(), 17u);
    auto targets = DecodeTargetList(ns->First("msDFS-TargetListv2"));
    ASSERT_TRUE(targets);
    EXPECT_EQ(*targets, std::vector<std::u16string>{u"\\\\DC1\\Public"});

    // A link added now carries the namespace's identity, and the whole is there after a reload.
    ASSERT_EQ(dfs->Add(u"\\\\example.com\\Public\\Tools", u"\\\\FS1", u"Tools", u"", 0),
              NERR_Success);
    Reload();
    std::vector<Entry> links;
    ASSERT_TRUE(store::SearchAll(*store,
                                 {"CN=Public,CN=Public," + kContainer,
                                  Scope::OneLevel,
                                  "(objectClass=msDFS-Linkv2)",
                                  {},
                                  0},
                                 links)
                    .ok());
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].First("msDFS-NamespaceIdentityGUIDv2"),
              Read("CN=Public,CN=Public," + kContainer)->First("msDFS-NamespaceIdentityGUIDv2"));
}

TEST_F(StoreRootsTest, FurtherRootTargetsJoinTheListOnce) {
    // Version 0 adds to a namespace that is there, and only to one.
    EXPECT_EQ(AddRoot(u"\\\\example.com\\Public", u"\\\\DC3\\Public", 0), NERR_Success);
    EXPECT_EQ(AddRoot(u"\\\\EXAMPLE.COM\\public", u"\\\\dc3\\PUBLIC", 0), ERROR_FILE_EXISTS);
    EXPECT_EQ(AddRoot(u"\\\\example.com\\Nowhere", u"\\\\DC2\\Nowhere", 0), ERROR_NOT_FOUND);
    std::optional<Entry> ns = Read("CN=Public,CN=Public," + kContainer);
    ASSERT_TRUE(ns);
    auto targets = DecodeTargetList(ns->First("msDFS-TargetListv2"));
    ASSERT_TRUE(targets);
    EXPECT_EQ(targets->back(), u"\\\\DC3\\Public");
    EXPECT_EQ(std::count(targets->begin(), targets->end(), u"\\\\DC3\\Public"), 1);
}

TEST_F(StoreRootsTest, WhatTheDirectoryRefusesIsRefused) {
    // A name that is taken, by a namespace of either mode: the anchor's name is the namespace's.
    EXPECT_EQ(AddRoot(u"\\\\example.com\\Public", u"\\\\DC1\\Public", 2), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(AddRoot(u"\\\\example.com\\Legacy", u"\\\\DC1\\Legacy", 2), ERROR_ALREADY_EXISTS);
    // A Windows 2000 mode namespace has the root targets it has, and gains none here.
    EXPECT_EQ(AddRoot(u"\\\\example.com\\Legacy", u"\\\\dc2\\legacy", 0), ERROR_FILE_EXISTS);
    const DfsStatus legacy = AddRoot(u"\\\\example.com\\Legacy", u"\\\\DC3\\Legacy", 0);
    EXPECT_EQ(legacy, ERROR_NOT_SUPPORTED);
    EXPECT_NE(legacy.detail.find("--as"), std::string::npos) << legacy.detail;
    // Windows 2000 mode is not written here.
    EXPECT_EQ(AddRoot(u"\\\\example.com\\Old", u"\\\\DC1\\Old", 1), ERROR_NOT_SUPPORTED);
    // Parameters the call refuses: a target without a share, a flag, a version it does not know,
    // a path below a namespace, a domain the forest does not hold.
    EXPECT_EQ(AddRoot(u"\\\\example.com\\New", u"\\\\DC1", 2), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(dfs->AddRootTarget(u"\\\\example.com\\New", u"\\\\DC1\\New", 2, nullptr, 1),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(AddRoot(u"\\\\example.com\\New", u"\\\\DC1\\New", 3), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(AddRoot(u"\\\\example.com\\New\\Link", u"\\\\DC1\\New", 2), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(AddRoot(u"\\\\nowhere.example\\New", u"\\\\DC1\\New", 2), ERROR_BAD_NETPATH);
    EXPECT_FALSE(Read("CN=New," + kContainer));

    // The store itself refuses a version out of the schema's range and an anchor without its
    // container, as Active Directory does.
    Entry anchor;
    anchor.dn = "CN=Wrong," + kContainer;
    anchor.attributes = {{"objectClass", {"top", "msDFS-NamespaceAnchor"}},
                         {"msDFS-SchemaMajorVersion", {"3"}}};
    EXPECT_EQ(store->Add(anchor).code, store::ResultCode::ConstraintViolation);
    anchor.attributes.back().values = {"2"};
    anchor.dn = "CN=Wrong,CN=Missing,CN=System,DC=example,DC=com";
    EXPECT_EQ(store->Add(anchor).code, store::ResultCode::NoSuchObject);
}

TEST_F(StoreRootsTest, AWipedConfigurationContainerComesBackFirst) {
    ASSERT_GT(testing::DeleteSubtree(*store, kContainer), 0u);
    ASSERT_EQ(AddRoot(u"\\\\example.com\\Public", u"\\\\DC1\\Public", 2), NERR_Success);
    std::optional<Entry> container = Read(kContainer);
    ASSERT_TRUE(container);
    EXPECT_EQ(container->Find("objectClass")->back(), "dfsConfiguration");
    EXPECT_TRUE(Read("CN=Public,CN=Public," + kContainer));
}

} // namespace
} // namespace kestrune
