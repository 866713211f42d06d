#include "platform/store/filter.h"

#include <gtest/gtest.h>

namespace kestrune::store {
namespace {

bool Match(const std::string& filter, const Entry& entry) {
    std::unique_ptr<Filter> f;
    Status status = Filter::Parse(filter, f);
    EXPECT_TRUE(status.ok()) << status.message;
    return f && f->Matches(entry);
}

TEST(Filter, MatchesRfc4515FormsWithoutRegardToCase) {
    Entry e{"CN=Alice,DC=x",
            {{"objectClass", {"top", "user"}}, {"cn", {"Alice Smith"}}, {"uSNChanged", {"500"}}}};
    EXPECT_TRUE(Match("(objectClass=USER)", e));
    EXPECT_TRUE(Match("(cn=*)", e));
    EXPECT_FALSE(Match("(mail=*)", e));
    EXPECT_TRUE(Match("(cn=al*)", e));
    EXPECT_TRUE(Match("(cn=*smi*)", e));
    EXPECT_TRUE(Match("(cn=a*e*h)", e));
    EXPECT_FALSE(Match("(cn=a*x*)", e));
    EXPECT_TRUE(Match("(&(objectClass=user)(!(cn=Bob)))", e));
    EXPECT_TRUE(Match("(|(cn=Bob)(cn=alice smith))", e));
    EXPECT_FALSE(Match("(&(objectClass=user)(cn=Bob))", e));
    EXPECT_TRUE(Match("(cn=Alice\\20Smith)", e));
    EXPECT_TRUE(Match("objectClass=user", e));
    EXPECT_TRUE(Match("(uSNChanged>=500)", e));
    EXPECT_TRUE(Match("(uSNChanged<=500)", e));
    EXPECT_TRUE(Match("(cn~=alice smith)", e));

    Entry star{"CN=A*,DC=x", {{"cn", {"A*(b)\\"}}}};
    EXPECT_TRUE(Match("(cn=A\\2a\\28b\\29\\5c)", star)); // escaped "*", "(", ")" and "\\"
    EXPECT_FALSE(Match("(cn=A\\2aX)", star));
    EXPECT_TRUE(Match("(cn=a\\2a*)", star));
}

TEST(Filter, MalformedFiltersAreRefusedWithTheirPosition) {
    std::unique_ptr<Filter> f;
    for (const char* bad :
         {"(cn=a", "(&(cn=a)", "(!(a=b)(c=d))", "(=x)", "(cn=a\\zz)", "(cn=a))", "()"}) {
        Status status = Filter::Parse(bad, f);
        EXPECT_EQ(status.code, ResultCode::FilterError) << bad;
        EXPECT_FALSE(f) << bad;
    }
}

TEST(Filter, NestingIsBoundedInsteadOfExhaustingTheStack) {
    auto nested = [](size_t depth, const char* op) {
        std::string text;
        for (size_t i = 0; i < depth; ++i)
            text += std::string("(") + op;
        text += "(cn=a)";
        for (size_t i = 0; i < depth; ++i)
            text += ")";
        return text;
    };
    Entry e{"CN=a", {{"cn", {"a"}}}};
    // The limit counts every parenthesized filter, the innermost item too.
    EXPECT_TRUE(Match(nested(kMaxFilterDepth - 1, "&"), e));
    EXPECT_FALSE(Match(nested(kMaxFilterDepth - 1, "!"), e)); // an odd count of "!"
    std::unique_ptr<Filter> f;
    for (const char* op : {"&", "|", "!"}) {
        for (size_t depth : {kMaxFilterDepth, size_t{50000}}) {
            Status status = Filter::Parse(nested(depth, op), f);
            EXPECT_EQ(status.code, ResultCode::FilterError) << op << depth;
            EXPECT_NE(status.message.find("nested"), std::string::npos) << status.message;
            EXPECT_FALSE(f);
        }
    }
    EXPECT_EQ(Filter::Parse(std::string(50000, '('), f).code, ResultCode::FilterError);
}

TEST(Filter, OctetStringsCompareByteForByte) {
    Entry e{"CN=L", {{"msDFS-LinkIdentityGUIDv2", {std::string("AB\x01", 3)}}}};
    EXPECT_TRUE(Match("(msDFS-LinkIdentityGUIDv2=AB\\01)", e));
    EXPECT_FALSE(Match("(msDFS-LinkIdentityGUIDv2=ab\\01)", e));
}

} // namespace
} // namespace kestrune::store

namespace kestrune::store {
namespace {

TEST(Filter, ValuesCompareByTheirSyntax) {
    Entry user{"CN=Ann,DC=x",
               {{"badPwdCount", {"3"}},
                {"userAccountControl", {"514"}},
                {"groupType", {"-2147483646"}},
                {"cn", {"Ann Lee"}},
                {"manager", {"CN=Bob\\2C Jr,OU=Staff,DC=x"}}}};
    // Integers compare as numbers, not as text ("3" >= "10" as text).
    EXPECT_FALSE(Match("(badPwdCount>=10)", user));
    EXPECT_TRUE(Match("(badPwdCount<=10)", user));
    EXPECT_TRUE(Match("(badPwdCount=03)", user));
    // The bitwise rules: all bits (803), any bit (804); the usual disabled-account filter.
    EXPECT_TRUE(Match("(userAccountControl:1.2.840.113556.1.4.803:=2)", user));
    EXPECT_FALSE(Match("(userAccountControl:1.2.840.113556.1.4.803:=3)", user));
    EXPECT_TRUE(Match("(userAccountControl:1.2.840.113556.1.4.804:=3)", user));
    EXPECT_TRUE(Match("(groupType:1.2.840.113556.1.4.803:=2147483648)", user)); // security group
    EXPECT_TRUE(Match("(!(userAccountControl:1.2.840.113556.1.4.803:=16))", user));
    // "~=" is equality.
    EXPECT_TRUE(Match("(cn~=ann lee)", user));
    EXPECT_FALSE(Match("(cn~=ann)", user));
    // DN values compare as DNs: case, blanks after commas, escapes.
    EXPECT_TRUE(Match("(manager=cn=bob\\5c, jr, ou=staff,dc=x)", user));
    EXPECT_TRUE(Match("(manager=CN=Bob\\5c2c Jr,OU=Staff,DC=x)", user));
    EXPECT_FALSE(Match("(manager=CN=Bob,OU=Staff,DC=x)", user));

    std::unique_ptr<Filter> f;
    for (const char* bad :
         {"(cn:1.2.840.113556.1.4.1941:=x)", "(uac:1.2.840.113556.1.4.803:=x)", "(cn:=x)"})
        EXPECT_EQ(Filter::Parse(bad, f).code, ResultCode::FilterError) << bad;
}

} // namespace
} // namespace kestrune::store
