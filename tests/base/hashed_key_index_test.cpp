#include "base/hashed_key_index.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrune {
namespace {

std::u16string Key(size_t i) {
    std::u16string key = u"\\\\d\\n\\link";
    for (char c : std::to_string(i))
        key += static_cast<char16_t>(c);
    return key;
}

// Entries found by key through many growths, removals reusing nothing they should not, and a
// key added at several positions (two entries of one key) answering with the lowest that holds.
TEST(HashedKeyIndex, FindsEachKeysLowestConfirmedPositionThroughGrowthAndRemoval) {
    constexpr size_t kCount = 20000;
    std::vector<std::u16string> entries;
    HashedKeyIndex index;
    auto find = [&](const std::u16string& key) {
        return index.Find(key, [&](size_t at) { return entries[at] == key; });
    };
    for (size_t i = 0; i < kCount; ++i) {
        entries.push_back(Key(i));
        index.Add(entries.back(), i);
        // Room made for more on the way keeps what is there.
        if (i == kCount / 3) index.Reserve(kCount);
    }
    for (size_t i = 0; i < kCount; i += 997)
        EXPECT_EQ(find(Key(i)), i);
    EXPECT_EQ(find(u"no such key"), HashedKeyIndex::npos);

    // A second entry of a key: the first still answers, and the second once the first goes.
    entries.push_back(Key(4));
    index.Add(Key(4), kCount);
    EXPECT_EQ(find(Key(4)), 4u);
    index.Remove(Key(4), 4);
    EXPECT_EQ(find(Key(4)), kCount);
    index.Remove(Key(4), kCount);
    EXPECT_EQ(find(Key(4)), HashedKeyIndex::npos);

    // Removing every other entry and adding as many again keeps the rest found.
    for (size_t i = 0; i < kCount; i += 2)
        index.Remove(Key(i), i);
    for (size_t i = 0; i < kCount; i += 2) {
        entries.push_back(Key(kCount + i));
        index.Add(entries.back(), entries.size() - 1);
    }
    for (size_t i = 1; i < kCount; i += 2)
        ASSERT_EQ(find(Key(i)), i);
    for (size_t i = 0; i < kCount; i += 2) {
        ASSERT_EQ(find(Key(i)), HashedKeyIndex::npos);
        ASSERT_NE(find(Key(kCount + i)), HashedKeyIndex::npos);
    }
    // The confirmation decides: a position whose entry is another key is never the answer.
    EXPECT_EQ(index.Find(Key(1), [](size_t) { return false; }), HashedKeyIndex::npos);
}

} // namespace
} // namespace kestrune
