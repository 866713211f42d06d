#include "platform/ldap/ldap_settings.h"

#include "base/file_io.h"
#include "support/temp_folder.h"
#include "support/test_files.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace kestrune::ldap {
namespace {

// The text of a failed call; empty when it succeeded.
std::string ErrorOf(const Expected<void>& done) {
    return done ? std::string() : done.error().text;
}

TEST(LdapSettingsTest, ServerAddressesAndTheirGlobalCatalog) {
    Settings s;
    std::string error;
    ASSERT_EQ(ErrorOf(ParseServerUri("ldap://dc1.example.com", s)), "");
    EXPECT_EQ(s.domain.Uri(), "ldap://dc1.example.com:389");
    EXPECT_EQ(s.globalCatalog.Uri(), "ldap://dc1.example.com:3268");
    ASSERT_EQ(ErrorOf(ParseServerUri("ldaps://dc1.example.com:1636/", s)), "");
    EXPECT_EQ(s.domain.Uri(), "ldaps://dc1.example.com:1636");
    EXPECT_EQ(s.globalCatalog.Uri(), "ldaps://dc1.example.com:3269");
    ASSERT_EQ(ErrorOf(ParseServerUri("ldap://[::1]:3890", s)), "");
    EXPECT_EQ(s.domain.Uri(), "ldap://[::1]:3890");
    for (const char* bad : {"ldap://", "ldap://host:0", "ldap://host:70000", "ldap://host:x",
                            "http://host", "ldap://user@host", "ldap://host/DC=x"}) {
        error.clear();
        error = ErrorOf(ParseServerUri(bad, s));
        EXPECT_FALSE(error.empty()) << bad;
        EXPECT_NE(error.find(bad), std::string::npos) << error;
    }
}

class LogonSettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : kNames)
            unsetenv(name);
        file = scratch / "password";
    }
    void TearDown() override {
        for (const char* name : kNames)
            unsetenv(name);
    }
    static constexpr const char* kNames[] = {"KESTRUNE_LDAP_TIMEOUT", "KESTRUNE_STARTTLS",
                                             "KESTRUNE_BIND_USER", "KESTRUNE_BIND_PASSWORD_FILE"};
    testing::TempFolder scratch;
    std::filesystem::path file;
};

TEST_F(LogonSettingsTest, KerberosByDefaultPasswordFromAFileNeverEmpty) {
    Settings s;
    std::string error;
    ASSERT_EQ(ErrorOf(ReadLogonSettings(s)), "");
    EXPECT_TRUE(s.bindUser.empty());
    EXPECT_EQ(s.timeout.count(), 30);
    EXPECT_FALSE(s.startTls);

    setenv("KESTRUNE_LDAP_TIMEOUT", "5", 1);
    setenv("KESTRUNE_STARTTLS", "1", 1);
    setenv("KESTRUNE_BIND_USER", "EXAMPLE\\ann", 1);
    setenv("KESTRUNE_BIND_PASSWORD_FILE", file.c_str(), 1);
    testing::WriteTestFile(file, "s3cret pass\r\n");
    ASSERT_EQ(ErrorOf(ReadLogonSettings(s)), "");
    EXPECT_EQ(s.timeout.count(), 5);
    EXPECT_TRUE(s.startTls);
    EXPECT_EQ(s.bindUser, "EXAMPLE\\ann");
    EXPECT_EQ(s.password, "s3cret pass"); // the line end is not part of it

    // An empty password would be an anonymous bind that "succeeds".
    testing::WriteTestFile(file, "\n");
    error = ErrorOf(ReadLogonSettings(s));
    EXPECT_FALSE(error.empty());
    EXPECT_NE(error.find("empty"), std::string::npos) << error;
    std::filesystem::remove(file);
    error = ErrorOf(ReadLogonSettings(s));
    EXPECT_FALSE(error.empty());
    EXPECT_NE(error.find(file.string()), std::string::npos) << error;

    setenv("KESTRUNE_LDAP_TIMEOUT", "soon", 1);
    error = ErrorOf(ReadLogonSettings(s));
    EXPECT_FALSE(error.empty());
    EXPECT_NE(error.find("KESTRUNE_LDAP_TIMEOUT=soon"), std::string::npos) << error;

    unsetenv("KESTRUNE_LDAP_TIMEOUT");
    testing::WriteTestFile(file, "x");
    ASSERT_EQ(ErrorOf(ParseServerUri("ldaps://dc1", s)), "");
    error = ErrorOf(ReadLogonSettings(s));
    EXPECT_FALSE(error.empty()); // StartTLS inside TLS
}

} // namespace
} // namespace kestrune::ldap
