// The LDAP store without a directory: servers that refuse, or never answer, and the rules it
// finds session facts and error codes by.
#include "base/message_table.h"
#include "platform/adsi_over_store/errors.h"
#include "platform/ldap/ldap_store.h"
#include "platform/ldap/session_facts.h"
#include "platform/netdfs_over_store/netapi_status.h"

#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrune::ldap {
namespace {

// A listening socket nobody accepts or answers on; its port.
class SilentServer {
  public:
    SilentServer() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(fd_, 8);
        socklen_t size = sizeof a;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size);
        port_ = ntohs(a.sin_port);
    }
    ~SilentServer() { close(fd_); }
    int Port() const { return port_; }

  private:
    int fd_ = -1;
    int port_ = 0;
};

Settings Local(int port) {
    Settings s;
    EXPECT_TRUE(ParseServerUri("ldap://127.0.0.1:" + std::to_string(port), s));
    s.bindUser = "CN=Someone,DC=example,DC=com";
    s.password = "x";
    s.timeout = std::chrono::seconds(1);
    return s;
}

TEST(LdapStoreTest, AServerThatNeverAnswersTimesOutAndIsNotAskedAgain) {
    SilentServer server;
    LdapStore store(Local(server.Port()));
    std::vector<std::string> notes;
    auto start = std::chrono::steady_clock::now();
    store::Status status = store.Connect(notes);
    EXPECT_EQ(status.code, store::ResultCode::Timeout) << status.message;
    EXPECT_EQ(static_cast<uint32_t>(adsi_store::AdsiResultOf(status)), 0x800705B4u);
    EXPECT_EQ(FormatSystemMessage(adsi_store::AdsiResultOf(status)),
              "This operation returned because the timeout period expired.\r\n");
    // The failed logon is remembered: the next call does not wait again.
    auto again = std::chrono::steady_clock::now();
    std::vector<store::Entry> out;
    EXPECT_EQ(store::SearchAll(store, {"", store::Scope::Base, "(objectClass=*)", {}, 0}, out).code,
              store::ResultCode::Timeout);
    auto end = std::chrono::steady_clock::now();
    EXPECT_LT(again - start, std::chrono::seconds(5));
    EXPECT_LT(end - again, std::chrono::milliseconds(500));

    // Over TLS the handshake waits for the server first: it gives up as well.
    Settings tls = Local(server.Port());
    tls.domain.ldaps = true;
    LdapStore secure(tls);
    start = std::chrono::steady_clock::now();
    EXPECT_FALSE(secure.Connect(notes).ok());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(LdapStoreTest, NoServerIsServerDown) {
    int port;
    { // a port that was free a moment ago
        SilentServer probe;
        port = probe.Port();
    }
    LdapStore store(Local(port));
    std::vector<std::string> notes;
    store::Status status = store.Connect(notes);
    EXPECT_EQ(status.code, store::ResultCode::ServerDown) << status.message;
    EXPECT_EQ(static_cast<uint32_t>(adsi_store::AdsiResultOf(status)), 0x8007203Au);
    EXPECT_EQ(NetApiStatusOf(status), 1722u); // RPC_S_SERVER_UNAVAILABLE, as NetDfs says it
}

TEST(LdapStoreTest, DirectoryFailuresBecomeTheCodesWindowsReports) {
    auto hr = [](store::ResultCode code) {
        return static_cast<uint32_t>(adsi_store::AdsiResultOf({code, "", 0}));
    };
    EXPECT_EQ(hr(store::ResultCode::NoSuchObject), 0x80072030u);
    EXPECT_EQ(hr(store::ResultCode::InvalidCredentials), 0x8007052Eu);
    EXPECT_EQ(hr(store::ResultCode::InsufficientAccessRights), 0x80070005u);
    EXPECT_EQ(hr(store::ResultCode::ServerDown), 0x8007203Au);
    EXPECT_EQ(hr(store::ResultCode::Busy), 0x8007200Eu);
    EXPECT_EQ(hr(store::ResultCode::Unavailable), 0x8007200Fu);
    EXPECT_EQ(hr(store::ResultCode::EntryAlreadyExists), 0x80071392u);
    EXPECT_EQ(hr(store::ResultCode::ConstraintViolation), 0x8007202Fu);
    EXPECT_EQ(hr(store::ResultCode::Timeout), 0x800705B4u);
    EXPECT_EQ(hr(store::ResultCode::StrongAuthRequired), 0x80072028u);
    EXPECT_EQ(FormatSystemMessage(0x8007052E), "The user name or password is incorrect.\r\n");
    EXPECT_EQ(NetApiStatusOf({store::ResultCode::EntryAlreadyExists, "", 0}), 80u);
    EXPECT_EQ(NetApiStatusOf({store::ResultCode::InsufficientAccessRights, "", 0}), 5u);
    EXPECT_EQ(NetApiStatusOf({store::ResultCode::InvalidCredentials, "", 0}), 1326u);
}

TEST(SessionFactsTest, TheLongestSubnetHoldingAnAddressNamesTheSite) {
    std::vector<std::string> subnets{"10.0.0.0/8",   "10.1.0.0/16",   "not a subnet",
                                     "10.1.2.0/24x", "2001:db8::/32", "0.0.0.0/0"};
    EXPECT_EQ(LongestMatchingSubnet(subnets, {"10.1.2.3"}), 1);
    EXPECT_EQ(LongestMatchingSubnet(subnets, {"10.9.0.1"}), 0);
    EXPECT_EQ(LongestMatchingSubnet(subnets, {"192.168.0.1", "10.1.0.9"}), 1);
    EXPECT_EQ(LongestMatchingSubnet(subnets, {"192.168.0.1"}), 5);
    EXPECT_EQ(LongestMatchingSubnet(subnets, {"2001:db8:1::5"}), 4);
    EXPECT_EQ(LongestMatchingSubnet({"10.0.0.0/8"}, {"::ffff:10.0.0.1", "fe80::1"}), -1);
    EXPECT_EQ(LongestMatchingSubnet({}, {"10.0.0.1"}), -1);
}

} // namespace
} // namespace kestrune::ldap
