// Properties of roots, links and targets through the store-backed DFS interface: what level 9
// reads, what NetDfsSetInfo writes, and that it is written as Windows writes it.
#include "base/security_descriptor.h"
#include "base/win_errors.h"
#include "netdfs/netdfs_buffer.h"
#include "platform/netdfs_over_store/dfs_target_list.h"
#include "support/sample_store_dfs.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace kestrune {
namespace {

constexpr char16_t kSoftware[] = u"\\\\example.com\\Public\\Software";
constexpr char16_t kPolicies[] = u"\\\\example.com\\Public\\Policies";
constexpr char16_t kRoot[] = u"\\\\example.com\\Public";

class NetDfsPropertiesTest : public testing::SampleStoreDfsTest {
  protected:
    DfsEntryRecord Get(const char16_t* path) {
        uint8_t* buffer = nullptr;
        EXPECT_EQ(dfs->GetInfo(path, nullptr, nullptr, 9, &buffer), NERR_Success);
        if (!buffer) return {};
        DfsEntryRecord record = UnpackDfsInfo9(*reinterpret_cast<DFS_INFO_9*>(buffer));
        NetApiBufferFree(buffer);
        return record;
    }
    std::vector<std::string> Stored(const std::string& filterPath, const std::string& type) {
        std::vector<store::Entry> found;
        EXPECT_TRUE(store::SearchAll(*store,
                                     {"DC=example,DC=com",
                                      store::Scope::Subtree,
                                      "(msDFS-LinkPathv2=" + filterPath + ")",
                                      {type},
                                      0},
                                     found)
                        .ok());
        const auto* values = found.empty() ? nullptr : found.front().Find(type);
        return values ? *values : std::vector<std::string>{};
    }
    DfsStatus Set(const char16_t* path, uint32_t level, const void* info,
                  const char16_t* server = nullptr, const char16_t* share = nullptr) {
        return dfs->SetInfo(path, server, share, level, static_cast<const uint8_t*>(info));
    }
};

TEST_F(NetDfsPropertiesTest, Level9ReadsStateTtlFlagsAndTargetPriorities) {
    DfsEntryRecord software = Get(kSoftware);
    EXPECT_EQ(software.state, DFS_VOLUME_STATE_OK | DFS_VOLUME_FLAVOR_AD_BLOB);
    EXPECT_EQ(software.timeout, 1800u);
    EXPECT_EQ(software.propertyFlags, DFS_PROPERTY_FLAG_INSITE_REFERRALS);
    ASSERT_EQ(software.storages.size(), 3u);
    EXPECT_EQ(software.storages[1].priority.TargetPriorityClass, DfsGlobalHighPriorityClass);
    EXPECT_EQ(software.storages[2].state, DFS_STORAGE_STATE_OFFLINE);
    EXPECT_EQ(software.storages[2].priority.TargetPriorityClass, DfsSiteCostLowPriorityClass);
    EXPECT_EQ(software.storages[2].priority.TargetPriorityRank, 3);
    DfsEntryRecord policies = Get(kPolicies);
    EXPECT_EQ(policies.state & DFS_VOLUME_STATES, DFS_VOLUME_STATE_OFFLINE);
    EXPECT_EQ(policies.timeout, 600u);
    EXPECT_EQ(policies.propertyFlags, DFS_PROPERTY_FLAG_TARGET_FAILBACK);
    EXPECT_EQ(Get(kRoot).timeout, 300u);

    // The walk at level 9 gives the same records as one GetInfo each.
    uint8_t* buffer = nullptr;
    uint32_t read = 0, resume = 0;
    ASSERT_EQ(dfs->Enum(kRoot, 9, MAX_PREFERRED_LENGTH, &buffer, &read, &resume), NERR_Success);
    bool seen = false;
    for (uint32_t i = 0; i < read; ++i) {
        DfsEntryRecord r = UnpackDfsInfo9(reinterpret_cast<DFS_INFO_9*>(buffer)[i]);
        if (r.entryPath != kSoftware) continue;
        seen = true;
        EXPECT_EQ(r.storages[2].priority.TargetPriorityRank, 3);
        EXPECT_EQ(r.propertyFlags, software.propertyFlags);
    }
    EXPECT_TRUE(seen);
    NetApiBufferFree(buffer);
    uint8_t* none = nullptr;
    EXPECT_EQ(dfs->GetInfo(u"\\\\example.com\\Public\\Nothing", nullptr, nullptr, 9, &none),
              ERROR_NOT_FOUND);
}

TEST_F(NetDfsPropertiesTest, SetInfoStoresWhatWindowsStoresAndSurvivesAReload) {
    DFS_INFO_101 offline{DFS_VOLUME_STATE_OFFLINE};
    DFS_INFO_102 ttl{900};
    DFS_INFO_103 flags{DFS_PROPERTY_FLAG_TARGET_FAILBACK | DFS_PROPERTY_FLAG_INSITE_REFERRALS,
                       DFS_PROPERTY_FLAG_TARGET_FAILBACK};
    DFS_INFO_101 targetOffline{DFS_STORAGE_STATE_OFFLINE};
    DFS_INFO_104 priority{{DfsGlobalLowPriorityClass, 7, 0}};
    Expected<std::string> sd = SddlToSecurityDescriptor("D:P(A;;0x1200a9;;;S-1-5-32-545)");
    ASSERT_TRUE(sd);
    DFS_INFO_150 view{static_cast<uint32_t>(sd->size()), reinterpret_cast<uint8_t*>(sd->data())};
    EXPECT_EQ(Set(kSoftware, 101, &offline), NERR_Success);
    EXPECT_EQ(Set(kSoftware, 102, &ttl), NERR_Success);
    EXPECT_EQ(Set(kSoftware, 103, &flags), NERR_Success);
    EXPECT_EQ(Set(kSoftware, 101, &targetOffline, u"\\\\FS1", u"Software"), NERR_Success);
    EXPECT_EQ(Set(kSoftware, 104, &priority, u"FS1", u"Software"), NERR_Success);
    EXPECT_EQ(Set(kSoftware, 150, &view), NERR_Success);

    EXPECT_EQ(Stored("/Software", "msDFS-Propertiesv2"),
              (std::vector<std::string>{"State=Offline", "TargetFailback=on"}));
    Expected<std::vector<StoredTarget>> targets =
        DecodeTargetEntries(Stored("/Software", "msDFS-TargetListv2").at(0));
    ASSERT_TRUE(targets);
    EXPECT_EQ(targets->at(0), (StoredTarget{u"\\\\FS1\\Software", false, 4, 7}));
    EXPECT_EQ(targets->at(2).priorityRank, 3); // the others keep theirs

    Reload();
    DfsEntryRecord r = Get(kSoftware);
    EXPECT_EQ(r.state & DFS_VOLUME_STATES, DFS_VOLUME_STATE_OFFLINE);
    EXPECT_EQ(r.timeout, 900u);
    EXPECT_EQ(r.propertyFlags, DFS_PROPERTY_FLAG_TARGET_FAILBACK);
    EXPECT_EQ(std::string(r.securityDescriptor.begin(), r.securityDescriptor.end()), *sd);

    // Removing the permissions leaves no attribute behind.
    DFS_INFO_150 clear{0, nullptr};
    EXPECT_EQ(Set(kSoftware, 150, &clear), NERR_Success);
    EXPECT_TRUE(Get(kSoftware).securityDescriptor.empty());
}

TEST_F(NetDfsPropertiesTest, SetInfoFailsAsWindowsFailsAndChangesNothing) {
    std::vector<std::string> before = Stored("/Software", "msDFS-Propertiesv2");
    // A flag only a root takes, on a link.
    for (uint32_t rootOnly : {DFS_PROPERTY_FLAG_SITE_COSTING, DFS_PROPERTY_FLAG_ABDE,
                              DFS_PROPERTY_FLAG_ROOT_SCALABILITY}) {
        DFS_INFO_103 flags{rootOnly, rootOnly};
        EXPECT_EQ(Set(kSoftware, 103, &flags), ERROR_INVALID_PARAMETER) << rootOnly;
    }
    // ... which the root takes.
    DFS_INFO_103 costing{DFS_PROPERTY_FLAG_SITE_COSTING, DFS_PROPERTY_FLAG_SITE_COSTING};
    EXPECT_EQ(Set(kRoot, 103, &costing), NERR_Success);
    EXPECT_EQ(Get(kRoot).propertyFlags, DFS_PROPERTY_FLAG_SITE_COSTING);
    DFS_INFO_101 offline{DFS_VOLUME_STATE_OFFLINE};
    EXPECT_EQ(Set(kRoot, 101, &offline), ERROR_INVALID_PARAMETER);
    DFS_INFO_101 nonsense{9};
    EXPECT_EQ(Set(kSoftware, 101, &nonsense), ERROR_INVALID_PARAMETER);
    DFS_INFO_104 tooLow{{DfsSiteCostNormalPriorityClass, 32, 0}};
    EXPECT_EQ(Set(kSoftware, 104, &tooLow, u"FS1", u"Software"), ERROR_INVALID_PARAMETER);
    DFS_INFO_104 fine{{DfsGlobalHighPriorityClass, 0, 0}};
    EXPECT_EQ(Set(kSoftware, 104, &fine, u"FS9", u"Software"), ERROR_NOT_FOUND);
    EXPECT_EQ(Set(u"\\\\example.com\\Public\\Nothing", 101, &offline), ERROR_NOT_FOUND);
    std::string garbage = "not a security descriptor at all";
    DFS_INFO_150 bad{static_cast<uint32_t>(garbage.size()),
                     reinterpret_cast<uint8_t*>(garbage.data())};
    EXPECT_EQ(Set(kSoftware, 150, &bad), ERROR_INVALID_SECURITY_DESCR);
    EXPECT_EQ(Set(kSoftware, 105, &offline), ERROR_INVALID_LEVEL);
    EXPECT_EQ(Stored("/Software", "msDFS-Propertiesv2"), before);
}

TEST_F(NetDfsPropertiesTest, StateAndFlagsChangeOnlyTheirOwnValuesAndKeepInterlink) {
    // A link to another namespace, its values spelled as other tools spell them.
    std::vector<store::Entry> found;
    ASSERT_TRUE(
        store::SearchAll(
            *store,
            {"DC=example,DC=com", store::Scope::Subtree, "(msDFS-LinkPathv2=/Software)", {"cn"}, 0},
            found)
            .ok());
    ASSERT_EQ(found.size(), 1u);
    ASSERT_TRUE(store
                    ->Modify(found[0].dn, {{store::Modification::Op::Replace,
                                            "msDFS-Propertiesv2",
                                            {"state=online", "INTERLINK=on", "insitereferral=ON",
                                             "TargetFailback=off", "SiteHealth=on"}}})
                    .ok());
    EXPECT_EQ(Get(kSoftware).propertyFlags, DFS_PROPERTY_FLAG_INSITE_REFERRALS);

    // The state changes in place; every other value stays as written.
    DFS_INFO_101 offline{DFS_VOLUME_STATE_OFFLINE};
    EXPECT_EQ(Set(kSoftware, 101, &offline), NERR_Success);
    EXPECT_EQ(Stored("/Software", "msDFS-Propertiesv2"),
              (std::vector<std::string>{"State=Offline", "INTERLINK=on", "insitereferral=ON",
                                        "TargetFailback=off", "SiteHealth=on"}));
    // Flags: one turned off goes, one turned on says "on" where it said "off"; the rest stay.
    DFS_INFO_103 flags{DFS_PROPERTY_FLAG_TARGET_FAILBACK | DFS_PROPERTY_FLAG_INSITE_REFERRALS,
                       DFS_PROPERTY_FLAG_TARGET_FAILBACK};
    EXPECT_EQ(Set(kSoftware, 103, &flags), NERR_Success);
    DFS_INFO_101 online{DFS_VOLUME_STATE_ONLINE};
    EXPECT_EQ(Set(kSoftware, 101, &online), NERR_Success);
    std::vector<std::string> expected{"State=Okay", "INTERLINK=on", "TargetFailback=on",
                                      "SiteHealth=on"};
    EXPECT_EQ(Stored("/Software", "msDFS-Propertiesv2"), expected);
    // Setting what is already there rewrites nothing, the spelling of the state included.
    ASSERT_TRUE(store
                    ->Modify(found[0].dn, {{store::Modification::Op::Replace,
                                            "msDFS-Propertiesv2",
                                            {"Interlink=on", "State=Online"}}})
                    .ok());
    EXPECT_EQ(Set(kSoftware, 101, &online), NERR_Success);
    DFS_INFO_103 none{DFS_PROPERTY_FLAG_TARGET_FAILBACK, 0};
    EXPECT_EQ(Set(kSoftware, 103, &none), NERR_Success);
    Reload();
    EXPECT_EQ(Stored("/Software", "msDFS-Propertiesv2"),
              (std::vector<std::string>{"Interlink=on", "State=Online"}));
}

TEST_F(NetDfsPropertiesTest, ANewLinkIsWrittenWithWindowsSpellings) {
    ASSERT_EQ(dfs->Add(u"\\\\example.com\\Public\\New", u"\\\\FS1", u"New", u"", DFS_ADD_VOLUME),
              NERR_Success);
    EXPECT_EQ(Stored("/New", "msDFS-Propertiesv2"), std::vector<std::string>{"State=Okay"});
    EXPECT_EQ(Stored("/New", "msDFS-Ttlv2"), std::vector<std::string>{"1800"});
    ASSERT_EQ(dfs->Add(u"\\\\example.com\\Public\\New", u"FS2", u"New", u"", 0), NERR_Success);
    std::string list = Stored("/New", "msDFS-TargetListv2").at(0);
    std::u16string xml(reinterpret_cast<const char16_t*>(list.data() + 2), (list.size() - 2) / 2);
    EXPECT_NE(xml.find(u"majorVersion=\"2\""), std::u16string::npos);
    EXPECT_NE(xml.find(u"targetCount=\"2\" totalStringLengthInBytes=\"40\""), std::u16string::npos)
        << std::string(xml.begin(), xml.end());
    EXPECT_EQ(xml.find(u"SiteCostNormal"), std::u16string::npos);
}

} // namespace
} // namespace kestrune
