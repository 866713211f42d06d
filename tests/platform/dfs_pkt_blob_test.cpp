// The pKT value of a Windows 2000 mode namespace: read as Windows lays it out (checked against
// bytes written out by hand, so that the encoder and the decoder cannot share one mistake),
// written back unchanged, and refused with a reason when it is anything else.
#include "platform/netdfs_over_store/dfs_pkt_blob.h"

#include <gtest/gtest.h>

namespace kestrune {
namespace {

// Little-endian pieces for writing a value by hand.
std::string U16(uint16_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}
std::string U32(uint32_t v) {
    return U16(static_cast<uint16_t>(v & 0xFFFF)) + U16(static_cast<uint16_t>(v >> 16));
}
std::string U64(uint64_t v) {
    return U32(static_cast<uint32_t>(v)) + U32(static_cast<uint32_t>(v >> 32));
}
std::string Utf16(std::string_view ascii) {
    std::string out;
    for (char c : ascii)
        out += std::string{c, '\0'};
    return out;
}
std::string Sized16(std::string_view ascii) {
    return U16(static_cast<uint16_t>(ascii.size() * 2)) + Utf16(ascii);
}

const std::string kRootGuid("\x2e\x79\xa8\x2c\xf6\xf3\xe5\x44\xbc\x18\x6c\xe6\x76\xa0\x53\xda", 16);
const std::string kLinkGuid(16, '\x11');

std::string Target(uint64_t stamp, uint32_t state, std::string_view server,
                   std::string_view share) {
    std::string body = U64(stamp) + U32(state) + U32(2) + Sized16(server) + Sized16(share);
    return U32(static_cast<uint32_t>(body.size())) + body;
}

std::string Entry(const std::string& guid, std::string_view prefix, uint32_t type, uint32_t state,
                  std::string_view comment, const std::string& targets, uint32_t count,
                  uint32_t ttl) {
    std::string list = U32(count) + targets;
    return guid + Sized16(prefix) + Sized16(prefix) + U32(type) + U32(state) + Sized16(comment) +
           U64(0x01d0000000000001) + U64(2) + U64(3) + U32(3) +
           U32(static_cast<uint32_t>(list.size())) + list + U32(4) +
           std::string("\x01\x02\x03\x04", 4) + U32(ttl);
}

std::string Element(std::string_view name, const std::string& data) {
    return Sized16(name) + U32(static_cast<uint32_t>(data.size())) + data;
}

// A root with two targets (the second offline) and one link, written out field by field.
std::string HandWritten() {
    std::string root = Entry(kRootGuid, "\\EXAMPLE\\Legacy", 0x81, 1, "Old tree",
                             Target(0, 2, "fs1", "Legacy") + Target(0, 1, "fs2", "Legacy"), 2, 300);
    // Priority: rank 3, class 1 (global high) in the first byte; the other a time.
    std::string link = Entry(kLinkGuid, "\\EXAMPLE\\Legacy\\Apps\\Old", 0x8001, 3, "",
                             Target((1u << 5) | 3, 2, "fs3", "apps") +
                                 Target(0x01d9000000000000, 2, "fs4", "apps"),
                             2, 1800);
    return U32(0) + U32(2) + Element("\\domainroot", root) +
           Element("\\domainroot\\11111111-1111-1111-1111-111111111111", link);
}

TEST(PktBlob, ReadsEveryFieldOfAValueWrittenByHand) {
    Expected<PktBlob> blob = DecodePktBlob(HandWritten());
    ASSERT_TRUE(blob) << blob.error().text;
    ASSERT_EQ(blob->entries.size(), 2u);
    const PktEntry& root = blob->Root();
    EXPECT_TRUE(root.IsRoot());
    EXPECT_EQ(root.guid, kRootGuid);
    EXPECT_EQ(root.prefix, u"\\EXAMPLE\\Legacy");
    EXPECT_EQ(root.comment, u"Old tree");
    EXPECT_EQ(root.referralTtl, 300u);
    EXPECT_EQ(root.prefixTime, 0x01d0000000000001u);
    EXPECT_EQ(root.commentTime, 3u);
    EXPECT_EQ(root.version, 3u);
    EXPECT_EQ(root.reserved, (std::array<uint8_t, 4>{1, 2, 3, 4}));
    ASSERT_EQ(root.targets.size(), 2u);
    EXPECT_EQ(root.targets[1].server, u"fs2");
    EXPECT_EQ(root.targets[1].state, 1u);

    const PktEntry& link = blob->entries[1];
    EXPECT_FALSE(link.IsRoot());
    EXPECT_EQ(PktLinkPath(link), u"Apps\\Old");
    EXPECT_EQ(link.state, 3u);
    EXPECT_EQ(link.type & PKT_ENTRY_TYPE_TARGET_FAILBACK, PKT_ENTRY_TYPE_TARGET_FAILBACK);
    EXPECT_TRUE(link.comment.empty());
    EXPECT_EQ(link.targets[0].PriorityClass(), 1u);
    EXPECT_EQ(link.targets[0].PriorityRank(), 3u);
    // A time stamp is no priority.
    EXPECT_EQ(link.targets[1].PriorityClass(), 0u);
    EXPECT_EQ(link.targets[1].PriorityRank(), 0u);

    // Written back, it is the same bytes.
    EXPECT_EQ(EncodePktBlob(*blob), HandWritten());
}

TEST(PktBlob, ASiteTableIsKeptInPlaceAndAWrittenNamespaceReadsBack) {
    PktBlob blob;
    PktEntry root;
    root.type = PKT_ENTRY_TYPE_DFS | PKT_ENTRY_TYPE_REFERRAL_SVC;
    root.prefix = root.shortPrefix = u"\\example.com\\Ünïcode";
    root.comment = u"Zeichen \U0001F4C1";
    root.targets = {{u"dc1", u"Ünïcode"}};
    PktEntry link;
    link.guid = std::string(16, '\x7f');
    link.prefix = link.shortPrefix = u"\\example.com\\Ünïcode\\a\\b";
    link.targets = {{u"fs1", u"a", 1, 2, PktTarget::PriorityStamp(4, 31)}};
    blob.entries = {root, link};
    blob.siteInformation = std::string(16, '\x42') + U32(0);
    blob.siteInformationAt = 1;

    std::string bytes = EncodePktBlob(blob);
    Expected<PktBlob> again = DecodePktBlob(bytes);
    ASSERT_TRUE(again) << again.error().text;
    EXPECT_EQ(*again, blob);
    EXPECT_EQ(again->entries[1].targets[0].PriorityClass(), 4u);
    EXPECT_EQ(again->entries[1].targets[0].PriorityRank(), 31u);
    // The site table's element sits between the root and the link.
    EXPECT_NE(bytes.find(Utf16("\\siteroot")), std::string::npos);
    EXPECT_LT(bytes.find(Utf16("\\siteroot")), bytes.find(Utf16("\\domainroot\\")));
}

// Each way a value can be cut, overrun or misnamed is refused with what and where; never read
// as a namespace with fewer links.
TEST(PktBlob, AnythingElseIsRefusedWithWhatAndWhere) {
    const std::string good = HandWritten();
    for (size_t cut = 0; cut < good.size(); ++cut) {
        Expected<PktBlob> blob = DecodePktBlob(std::string_view(good).substr(0, cut));
        ASSERT_FALSE(blob) << "cut at " << cut;
        EXPECT_NE(blob.error().text.find("byte"), std::string::npos) << blob.error().text;
    }
    auto refused = [](std::string bytes) {
        Expected<PktBlob> blob = DecodePktBlob(bytes);
        return blob ? std::string("read") : blob.error().text;
    };
    auto patched = [&](size_t at, const std::string& with) {
        std::string bytes = good;
        bytes.replace(at, with.size(), with);
        return bytes;
    };
    EXPECT_EQ(refused(good + "x"),
              "the value leaves 1 bytes unread at byte " + std::to_string(good.size()));
    EXPECT_NE(refused(patched(0, U32(1))).find("version 1"), std::string::npos);
    // One element fewer than there are: the second is bytes over, not a shorter namespace.
    EXPECT_NE(refused(patched(4, U32(1))).find("unread"), std::string::npos);
    EXPECT_NE(refused(patched(4, U32(3))).find("element"), std::string::npos);
    EXPECT_NE(refused(patched(4, U32(0x40000000))).find("overruns"), std::string::npos);
    // The root element's name size made odd.
    EXPECT_NE(refused(patched(8, U16(21))).find("odd size"), std::string::npos);
    // The root element's size one too large and one too small.
    size_t rootSize = 8 + 2 + 22;
    uint32_t size = static_cast<uint32_t>(good[rootSize]) & 0xFF;
    size |= (static_cast<uint32_t>(good[rootSize + 1]) & 0xFF) << 8;
    EXPECT_NE(refused(patched(rootSize, U32(size - 1))).find("needs"), std::string::npos);
    EXPECT_NE(refused(patched(rootSize, U32(size + 1))).find("unread"), std::string::npos);
    // A NUL in the root's prefix; the link named after another GUID; a link set as a root.
    size_t prefixAt = rootSize + 4 + 16 + 2;
    EXPECT_NE(refused(patched(prefixAt + 2, std::string(2, '\0'))).find("NUL"), std::string::npos);
    EXPECT_NE(refused(patched(prefixAt + 2, std::string("\x00\xdc", 2))).find("no UTF-16"),
              std::string::npos);
    std::string renamed = good;
    renamed.replace(renamed.find(Utf16("1111-1111-1111-1111")), 2, Utf16("2"));
    EXPECT_NE(refused(renamed).find("not named after its GUID"), std::string::npos);
    std::string twoRoots = good;
    twoRoots[twoRoots.find(std::string("\x01\x80\x00\x00", 4))] = '\x81';
    EXPECT_NE(refused(twoRoots).find("root"), std::string::npos);
    // No root at all.
    EXPECT_EQ(refused(U32(0) + U32(0)), "it holds no root");
}

} // namespace
} // namespace kestrune
