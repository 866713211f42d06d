#include "base/sha256.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace kestrune;

namespace {

struct Known {
    std::string bytes;
    const char* digest;
};

} // namespace

// The standard's examples, through the processor's instructions where it has them and without.
TEST(Sha256, GivesTheStandardsDigests) {
    const Known known[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const Known& k : known) {
        EXPECT_EQ(Sha256Hex(k.bytes), k.digest) << k.bytes.size() << " bytes";
        EXPECT_EQ(Sha256HexPortable(k.bytes), k.digest) << k.bytes.size() << " bytes";
    }
}

// Every length around the padding's edges (55, 56, 63, 64 bytes, ...) and many blocks at once.
TEST(Sha256, BothWaysAgreeOnEveryLength) {
    std::mt19937 random(7);
    std::string bytes;
    for (size_t size = 0; size <= 300; ++size) {
        EXPECT_EQ(Sha256Hex(bytes), Sha256HexPortable(bytes)) << size << " bytes";
        bytes += static_cast<char>(random());
    }
    bytes.resize(1 << 20);
    for (char& c : bytes)
        c = static_cast<char>(random());
    EXPECT_EQ(Sha256Hex(bytes), Sha256HexPortable(bytes));
}

// Given in pieces of every size, split anywhere in a block, the digest is the whole's.
TEST(Sha256, PiecesGiveTheWholesDigest) {
    std::mt19937 random(11);
    std::string bytes(5000, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    const std::string whole = Sha256Hex(bytes);
    for (size_t piece : {1, 7, 63, 64, 65, 200, 4999}) {
        Sha256 hash;
        for (size_t at = 0; at < bytes.size(); at += piece)
            hash.Add(std::string_view(bytes).substr(at, piece));
        EXPECT_EQ(std::move(hash).Hex(), whole) << piece << "-byte pieces";
    }
}
