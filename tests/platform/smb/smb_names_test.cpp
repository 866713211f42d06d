// Names from backup files as the SMB library is handed them, and the directory's bind user
// as an SMB logon.
#include "platform/smb/smb_logon.h"
#include "platform/smb/smb_url.h"

#include <gtest/gtest.h>

namespace kestrune::smb {
namespace {

TEST(SmbNames, ShareUrlsEncodeEverythingTheLibraryCouldMisread) {
    EXPECT_EQ(ShareUrl("fs1.example.com", "Public"), "smb://fs1.example.com/Public/");
    EXPECT_EQ(ShareUrl("fs1", "Team Data"), "smb://fs1/Team%20Data/");
    EXPECT_EQ(ShareUrl("fs1", "admin$"), "smb://fs1/admin%24/");
    EXPECT_EQ(ShareUrl("fs1", "a%b#c?d;e@f:g/h"), "smb://fs1/a%25b%23c%3Fd%3Be%40f%3Ag%2Fh/");
    EXPECT_EQ(ShareUrl("user@fs1:99", "x"), "smb://user%40fs1%3A99/x/");
    // Backup files are in the ANSI code page (Windows-1252 here): UTF-8 for the library.
    EXPECT_EQ(ShareUrl("fs1", "R\xE9sum\xE9s"), "smb://fs1/R%C3%A9sum%C3%A9s/");
    EXPECT_EQ(ShareUrl("fs1", "\x80"), "smb://fs1/%E2%82%AC/");
}

TEST(SmbNames, BindUserFormsBecomeUserAndDomain) {
    SmbLogon logon = LogonAs("EXAMPLE\\Administrator", "pw");
    EXPECT_EQ(logon.workgroup, "EXAMPLE");
    EXPECT_EQ(logon.user, "Administrator");
    EXPECT_EQ(logon.password, "pw");
    logon = LogonAs("Administrator@EXAMPLE.COM", "pw");
    EXPECT_EQ(logon.workgroup, "");
    EXPECT_EQ(logon.user, "Administrator@EXAMPLE.COM");
    logon = LogonAs("CN=Jo\\, Admin,CN=Users,DC=example,DC=com", "pw");
    EXPECT_EQ(logon.user, "Jo, Admin");
    EXPECT_EQ(logon.workgroup, "example.com");
    logon = LogonAs("svc-backup", "pw");
    EXPECT_EQ(logon.user, "svc-backup");
    EXPECT_EQ(logon.workgroup, "");
}

} // namespace
} // namespace kestrune::smb
