#include "directory/domain_sids.h"

#include "support/sample_domain_test.h"

namespace kestrune {
namespace {

using DomainSidsTest = testing::SampleDomainTest;

TEST_F(DomainSidsTest, TheDomainsOwnSidAndItsForestRootsWhateverTheNamesForm) {
    const std::string example = "S-1-5-21-1004336348-1177238915-682003330";
    const std::string sales = "S-1-5-21-1004336348-1177238915-682003331";
    for (const char* name : {"example.com", "DC=example,DC=com"}) {
        Expected<DomainSids> sids = ReadDomainSids(name);
        ASSERT_TRUE(sids) << name << ": " << sids.error().text;
        EXPECT_EQ(sids->domain, example);
        EXPECT_EQ(sids->forestRoot, example);
    }
    // A child domain's EA is still the root domain's Enterprise Admins.
    Expected<DomainSids> child = ReadDomainSids("sales.example.com");
    ASSERT_TRUE(child) << child.error().text;
    EXPECT_EQ(child->domain, sales);
    EXPECT_EQ(child->forestRoot, example);

    Expected<DomainSids> none = ReadDomainSids("elsewhere.example.org");
    ASSERT_FALSE(none);
    EXPECT_NE(none.error().text.find("objectSid of LDAP://DC=elsewhere,DC=example,DC=org"),
              std::string::npos)
        << none.error().text;
}

} // namespace
} // namespace kestrune
