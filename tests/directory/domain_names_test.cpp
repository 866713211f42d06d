#include "directory/tntads.h"

#include <gtest/gtest.h>

namespace kestrune {
namespace {

TEST(DomainNames, CorrectDomainTurnsDotsIntoDcComponents) {
    EXPECT_EQ(TNTADS::CorrectDomain("sales.example.com"), "DC=sales,DC=example,DC=com");
    EXPECT_EQ(TNTADS::CorrectDomain("example.com"), "DC=example,DC=com");
    EXPECT_EQ(TNTADS::CorrectDomain("EXAMPLE"), "EXAMPLE");
    EXPECT_EQ(TNTADS::CorrectDomain("DC=example,DC=com"), "DC=example,DC=com");
    EXPECT_EQ(TNTADS::CorrectDomain(""), "");
    EXPECT_EQ(TNTADS::CorrectDomain("example.com."), "DC=example,DC=com,DC=");
    EXPECT_EQ(TNTADS::CorrectDomain("a..b"), "DC=a,DC=,DC=b");
}

TEST(DomainNames, ToDotnameDropsAttributeTypes) {
    EXPECT_EQ(TNTADS::ToDotname("DC=sales,DC=example,DC=com"), "sales.example.com");
    EXPECT_EQ(TNTADS::ToDotname("CN=Users,DC=example,DC=com"), "Users.example.com");
    EXPECT_EQ(TNTADS::ToDotname("DC=example, DC=com"), "example.com");
    EXPECT_EQ(TNTADS::ToDotname("dc=example,dc=com"), "example.com");
    EXPECT_EQ(TNTADS::ToDotname("example.com"), "example.com");
    EXPECT_EQ(TNTADS::ToDotname(""), "");
    for (const char* name : {"example.com", "a.b.c.d", "single"})
        EXPECT_EQ(TNTADS::ToDotname(TNTADS::CorrectDomain(name)), name);
}

TEST(DomainNames, AnEqualsSignInsideAValueEndsAndIsKept) {
    EXPECT_EQ(TNTADS::ToDotname("DC=a=b"), "a=b");
    EXPECT_EQ(TNTADS::ToDotname("DC=a=b,DC=com"), "a=b.com");
    EXPECT_EQ(TNTADS::ToDotname("DC=a,b"), "a,b");
    EXPECT_EQ(TNTADS::ToDotname("DC=x,DC=y=z"), "x.y=z");
    EXPECT_EQ(TNTADS::ToDotname("="), "");
}

} // namespace
} // namespace kestrune
