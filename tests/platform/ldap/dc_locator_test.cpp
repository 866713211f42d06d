// The domain controller a domain member picks from DNS: the SRV records of the answer, lowest
// priority first and the highest weight first among equals, as the wire carries them
// (compressed names, records of other types, a "." target meaning the service is not offered).
#include "platform/ldap/dc_locator.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace kestrune::ldap {
namespace {

constexpr char kQuestion[] = "_ldap._tcp.dc._msdcs.example.com";

// A DNS answer built as a server sends it: the header, the question, then the answers, names
// written out in labels or as a pointer back to the question's name.
class DnsAnswer {
  public:
    explicit DnsAnswer(const std::string& question) {
        U16(0x1234), U16(0x8180), U16(1), U16(0), U16(0), U16(0); // counts set by Bytes()
        Name(question);
        U16(33), U16(1); // SRV, IN
    }
    void Srv(int priority, int weight, int port, const std::string& target) {
        Record(33, [&] {
            U16(priority), U16(weight), U16(port);
            Name(target);
        });
    }
    // A record of another type (an A record of a DC, as a server may add).
    void A() {
        Record(1, [&] { U16(0x0a00), U16(0x0001); });
    }
    // An SRV record whose data is too short to hold its fixed fields.
    void ShortSrv() {
        Record(33, [&] { U16(0), U16(0); });
    }
    std::vector<unsigned char> Bytes() const {
        std::vector<unsigned char> out = bytes_;
        out[6] = static_cast<unsigned char>(answers_ >> 8);
        out[7] = static_cast<unsigned char>(answers_);
        return out;
    }

  private:
    void U16(int v) {
        bytes_.push_back(static_cast<unsigned char>(v >> 8));
        bytes_.push_back(static_cast<unsigned char>(v));
    }
    // "." is the root; "@" a pointer to the question's name (offset 12).
    void Name(const std::string& name) {
        if (name == "@") return U16(0xC000 | 12);
        size_t start = 0;
        while (start < name.size() && name != ".") {
            size_t dot = name.find('.', start);
            if (dot == std::string::npos) dot = name.size();
            bytes_.push_back(static_cast<unsigned char>(dot - start));
            bytes_.insert(bytes_.end(), name.begin() + start, name.begin() + dot);
            start = dot + 1;
        }
        bytes_.push_back(0);
    }
    template <typename Data> void Record(int type, Data data) {
        Name("@");
        U16(type), U16(1), U16(0), U16(600); // class IN, TTL 600
        const size_t length = bytes_.size();
        U16(0);
        data();
        const size_t rdlength = bytes_.size() - length - 2;
        bytes_[length] = static_cast<unsigned char>(rdlength >> 8);
        bytes_[length + 1] = static_cast<unsigned char>(rdlength);
        ++answers_;
    }
    std::vector<unsigned char> bytes_;
    int answers_ = 0;
};

std::vector<std::string> Hosts(const std::vector<ServiceRecord>& records) {
    std::vector<std::string> hosts;
    for (const ServiceRecord& r : records)
        hosts.push_back(r.host + ":" + std::to_string(r.port));
    return hosts;
}

TEST(DomainControllerChoice, LowestPriorityFirstThenTheHeaviestWeight) {
    DnsAnswer answer(kQuestion);
    answer.Srv(10, 100, 389, "backup.example.com"); // a higher priority number: only after
    answer.Srv(0, 10, 389, "dc2.example.com");      // same priority, lighter
    answer.A();                                     // not an SRV record
    answer.Srv(0, 50, 3389, "dc1.example.com");     // same priority, heaviest: first
    answer.Srv(0, 10, 389, "dc3.example.com");      // a tie with dc2: kept in DNS's order
    answer.Srv(0, 100, 389, ".");                   // "not offered here"
    answer.ShortSrv();                              // cut short: left out
    const std::vector<unsigned char> bytes = answer.Bytes();
    const Expected<std::vector<ServiceRecord>> read =
        ReadServiceRecords(bytes.data(), bytes.size(), kQuestion);
    ASSERT_TRUE(read) << read.error().text;
    const std::vector<ServiceRecord>& records = *read;
    EXPECT_EQ(Hosts(records),
              (std::vector<std::string>{"dc1.example.com:3389", "dc2.example.com:389",
                                        "dc3.example.com:389", "backup.example.com:389"}));
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.front().priority, 0);
    EXPECT_EQ(records.front().weight, 50);
}

TEST(DomainControllerChoice, AnAnswerWithoutAUsableRecordOrCutShortSaysWhy) {
    DnsAnswer none(kQuestion);
    none.Srv(0, 0, 389, ".");
    std::vector<unsigned char> bytes = none.Bytes();
    Expected<std::vector<ServiceRecord>> read =
        ReadServiceRecords(bytes.data(), bytes.size(), kQuestion);
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error().text, std::string("DNS has no usable SRV record ") + kQuestion);

    DnsAnswer whole(kQuestion);
    whole.Srv(0, 0, 389, "dc1.example.com");
    bytes = whole.Bytes();
    read = ReadServiceRecords(bytes.data(), 5, kQuestion); // not even a header
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error().text,
              std::string("the DNS answer for ") + kQuestion + " cannot be read");
}

} // namespace
} // namespace kestrune::ldap
