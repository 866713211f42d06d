// The buffers the DFS interface hands out, laid out as netapi32 lays them out: the records as
// one array at the start, every string, storage array and descriptor they point to inside the
// same block, aligned, apart from each other, released with one NetApiBufferFree.
#include "netdfs/netdfs_buffer.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <utility>
#include <vector>

namespace kestrune {
namespace {

struct FreeBuffer {
    void operator()(uint8_t* buffer) const { NetApiBufferFree(buffer); }
};
using Buffer = std::unique_ptr<uint8_t, FreeBuffer>;

// The pieces a record points to, each as the bytes it spans; checked against the block.
class Pieces {
  public:
    Pieces(const uint8_t* block, size_t size) : block_(block), size_(size) {}

    void Add(const void* at, size_t bytes, size_t alignment) {
        ASSERT_NE(at, nullptr);
        const auto* start = static_cast<const uint8_t*>(at);
        EXPECT_GE(start, block_) << "a piece before the block";
        EXPECT_LE(start + bytes, block_ + size_) << "a piece past the block's end";
        EXPECT_EQ(reinterpret_cast<uintptr_t>(start) % alignment, 0u);
        spans_.emplace_back(start, start + bytes);
    }
    void AddString(const char16_t* text) {
        ASSERT_NE(text, nullptr);
        Add(text, (std::char_traits<char16_t>::length(text) + 1) * sizeof(char16_t),
            alignof(char16_t));
    }
    // No two pieces share a byte: a string written over a record's fields would still look
    // like a string.
    void ExpectApart() {
        std::sort(spans_.begin(), spans_.end());
        for (size_t i = 1; i < spans_.size(); ++i)
            EXPECT_LE(spans_[i - 1].second, spans_[i].first) << "pieces " << i - 1 << " and " << i;
    }

  private:
    const uint8_t* block_;
    size_t size_;
    std::vector<std::pair<const uint8_t*, const uint8_t*>> spans_;
};

std::vector<DfsEntryRecord> Entries() {
    DfsEntryRecord root;
    root.entryPath = u"\\\\example.com\\Public";
    root.comment = u"Company public share";
    root.storages = {{u"DC1", u"Public"}, {u"DC2", u"Public"}};
    root.timeout = 300;
    root.propertyFlags = DFS_PROPERTY_FLAG_ABDE;

    DfsEntryRecord link;
    link.entryPath = u"\\\\example.com\\Public\\Data\\Caf\u00e9 \u03a9";
    link.comment = std::nullopt; // no comment at all, not an empty one
    link.state = DFS_VOLUME_STATE_OFFLINE;
    link.timeout = 1800;
    link.securityDescriptor = {1, 0, 4, 0x80, 20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9};
    link.storages = {
        {u"FS1", u"Data", DFS_STORAGE_STATE_OFFLINE, {DfsGlobalHighPriorityClass, 3, 0}},
        {u"FS2.example.com",
         u"Data\\Sub",
         DFS_STORAGE_STATE_ONLINE,
         {DfsSiteCostNormalPriorityClass, 0, 0}},
        {u"FS3", u"D"}};

    DfsEntryRecord bare; // a link without targets, as a half-deleted one is read
    bare.entryPath = u"\\\\example.com\\Public\\Empty";
    bare.comment = u"";
    return {root, link, bare};
}

TEST(DfsBuffers, Level3RecordsAndEverythingTheyPointToShareOneBlock) {
    const std::vector<DfsEntryRecord> entries = Entries();
    size_t size = 0;
    for (const DfsEntryRecord& e : entries)
        size += PackedSize3(e);
    Buffer buffer(PackDfsInfo3(entries));
    const auto* records = reinterpret_cast<const DFS_INFO_3*>(buffer.get());
    Pieces pieces(buffer.get(), size);
    pieces.Add(records, entries.size() * sizeof(DFS_INFO_3), alignof(DFS_INFO_3));
    for (size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(i);
        const DFS_INFO_3& r = records[i];
        pieces.AddString(r.EntryPath);
        EXPECT_EQ(std::u16string(r.EntryPath), entries[i].entryPath);
        if (entries[i].comment) {
            pieces.AddString(r.Comment);
            EXPECT_EQ(std::u16string(r.Comment), *entries[i].comment);
        } else {
            EXPECT_EQ(r.Comment, nullptr);
        }
        // Level 3 tells no states of its own: every entry is OK, every target online.
        EXPECT_EQ(r.State, DFS_VOLUME_STATE_OK);
        ASSERT_EQ(r.NumberOfStorages, entries[i].storages.size());
        if (r.NumberOfStorages == 0) {
            EXPECT_EQ(r.Storage, nullptr);
            continue;
        }
        pieces.Add(r.Storage, r.NumberOfStorages * sizeof(DFS_STORAGE_INFO),
                   alignof(DFS_STORAGE_INFO));
        for (uint32_t s = 0; s < r.NumberOfStorages; ++s) {
            pieces.AddString(r.Storage[s].ServerName);
            pieces.AddString(r.Storage[s].ShareName);
            EXPECT_EQ(std::u16string(r.Storage[s].ServerName), entries[i].storages[s].server);
            EXPECT_EQ(std::u16string(r.Storage[s].ShareName), entries[i].storages[s].share);
            EXPECT_EQ(r.Storage[s].State, DFS_STORAGE_STATE_ONLINE);
        }
    }
    pieces.ExpectApart();
}

TEST(DfsBuffers, Level9CarriesEveryFieldAndReadsBackAsItWasPacked) {
    const std::vector<DfsEntryRecord> entries = Entries();
    size_t size = 0;
    for (const DfsEntryRecord& e : entries)
        size += PackedSize9(e);
    Buffer buffer(PackDfsInfo9(entries));
    const auto* records = reinterpret_cast<const DFS_INFO_9*>(buffer.get());
    Pieces pieces(buffer.get(), size);
    pieces.Add(records, entries.size() * sizeof(DFS_INFO_9), alignof(DFS_INFO_9));
    for (size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(i);
        const DFS_INFO_9& r = records[i];
        const DfsEntryRecord& e = entries[i];
        pieces.AddString(r.EntryPath);
        if (r.Comment) pieces.AddString(r.Comment);
        EXPECT_EQ(r.Comment == nullptr, !e.comment.has_value());
        EXPECT_EQ(r.State, e.state);
        EXPECT_EQ(r.Timeout, e.timeout);
        EXPECT_EQ(r.PropertyFlags, e.propertyFlags);
        EXPECT_EQ(r.SecurityDescriptorLength, e.securityDescriptor.size());
        if (e.securityDescriptor.empty()) {
            EXPECT_EQ(r.pSecurityDescriptor, nullptr);
        } else {
            pieces.Add(r.pSecurityDescriptor, r.SecurityDescriptorLength, 1);
            EXPECT_EQ(std::memcmp(r.pSecurityDescriptor, e.securityDescriptor.data(),
                                  e.securityDescriptor.size()),
                      0);
        }
        if (r.NumberOfStorages) {
            pieces.Add(r.Storage, r.NumberOfStorages * sizeof(DFS_STORAGE_INFO_1),
                       alignof(DFS_STORAGE_INFO_1));
            for (uint32_t s = 0; s < r.NumberOfStorages; ++s) {
                pieces.AddString(r.Storage[s].ServerName);
                pieces.AddString(r.Storage[s].ShareName);
            }
        }
        const DfsEntryRecord back = UnpackDfsInfo9(r);
        EXPECT_EQ(back.entryPath, e.entryPath);
        EXPECT_EQ(back.comment, e.comment);
        EXPECT_EQ(back.securityDescriptor, e.securityDescriptor);
        ASSERT_EQ(back.storages.size(), e.storages.size());
        for (size_t s = 0; s < e.storages.size(); ++s) {
            EXPECT_EQ(back.storages[s].server, e.storages[s].server);
            EXPECT_EQ(back.storages[s].share, e.storages[s].share);
            EXPECT_EQ(back.storages[s].state, e.storages[s].state);
            EXPECT_EQ(back.storages[s].priority.TargetPriorityClass,
                      e.storages[s].priority.TargetPriorityClass);
            EXPECT_EQ(back.storages[s].priority.TargetPriorityRank,
                      e.storages[s].priority.TargetPriorityRank);
        }
    }
    pieces.ExpectApart();
}

TEST(DfsBuffers, NamesAndModesAndAnEmptyEnumeration) {
    const std::vector<std::u16string> names = {u"Public", u"", u"\u03a3\u03a3 Team"};
    size_t size = 0;
    for (const std::u16string& n : names)
        size += PackedSize200(n);
    Buffer buffer(PackDfsInfo200(names));
    const auto* records = reinterpret_cast<const DFS_INFO_200*>(buffer.get());
    Pieces pieces(buffer.get(), size);
    pieces.Add(records, names.size() * sizeof(DFS_INFO_200), alignof(DFS_INFO_200));
    for (size_t i = 0; i < names.size(); ++i) {
        pieces.AddString(records[i].FtDfsName);
        EXPECT_EQ(std::u16string(records[i].FtDfsName), names[i]);
    }
    pieces.ExpectApart();

    Buffer mode(PackDfsInfo50({1, 0, DFS_NAMESPACE_CAPABILITY_ABDE}));
    const auto* info = reinterpret_cast<const DFS_INFO_50*>(mode.get());
    EXPECT_EQ(info->NamespaceMajorVersion, 1u);
    EXPECT_EQ(info->NamespaceMinorVersion, 0u);
    EXPECT_EQ(info->NamespaceCapabilities, DFS_NAMESPACE_CAPABILITY_ABDE);

    // Nothing to hand out is still a buffer the caller may free.
    Buffer none(PackDfsInfo3({}));
    EXPECT_NE(none.get(), nullptr);
}

} // namespace
} // namespace kestrune
