// A domain's controllers as the configuration partition lists them, over the sample forest: the
// way --forest finds where another domain's DFS data is.
#include "platform/ldap/domain_controllers.h"
#include "platform/memory_store/memory_store.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace kestrune {
namespace {

TEST(DomainControllers, EachDomainsServersComeFromTheNtdsSettingsThatHoldIt) {
    testing::TempFolder folder;
    std::filesystem::copy_file(std::string(KESTRUNE_SAMPLES) + "/example.ldif",
                               folder / "domain.ldif");
    auto opened = store::MemoryStore::Open(folder / "domain.ldif");
    ASSERT_TRUE(opened) << opened.error().text;
    store::MemoryStore& directory = **opened;
    const std::string sites = "CN=Servers,CN=Default-First-Site-Name,CN=Sites,CN=Configuration,"
                              "DC=example,DC=com";
    // Each DSA holds its own domain, as every domain controller's does in Active Directory.
    for (const auto& [server, domain] :
         {std::pair{"DC1", "DC=example,DC=com"}, {"SALESDC1", "DC=sales,DC=example,DC=com"}})
        ASSERT_TRUE(directory
                        .Modify(std::string("CN=NTDS Settings,CN=") + server + "," + sites,
                                {{store::Modification::Op::Add, "hasMasterNCs", {domain}}})
                        .ok())
            << server;

    Expected<std::vector<std::string>> sales =
        ldap::FindDomainControllers(directory, "dc=SALES,dc=example,dc=com");
    ASSERT_TRUE(sales) << sales.error().text;
    EXPECT_EQ(*sales, std::vector<std::string>{"salesdc1.sales.example.com"});
    Expected<std::vector<std::string>> own =
        ldap::FindDomainControllers(directory, "DC=example,DC=com");
    ASSERT_TRUE(own) << own.error().text;
    EXPECT_EQ(*own, std::vector<std::string>{"dc1.example.com"});

    Expected<std::vector<std::string>> gone =
        ldap::FindDomainControllers(directory, "DC=gone,DC=example,DC=com");
    ASSERT_FALSE(gone);
    EXPECT_EQ(gone.error().text, "no domain controller of DC=gone,DC=example,DC=com is listed");
}

} // namespace
} // namespace kestrune
