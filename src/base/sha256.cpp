#include "base/sha256.h"

#include <algorithm>
#include <array>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace kestrune {
namespace {

constexpr std::array<uint32_t, 64> kRound = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr uint32_t Rotr(uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

void Compress(std::array<uint32_t, 8>& h, const unsigned char* block) {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i)
        w[i] = uint32_t(block[4 * i]) << 24 | uint32_t(block[4 * i + 1]) << 16 |
               uint32_t(block[4 * i + 2]) << 8 | uint32_t(block[4 * i + 3]);
    for (int i = 16; i < 64; ++i) {
        uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], k = h[7];
    for (int i = 0; i < 64; ++i) {
        uint32_t t1 =
            k + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
        uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        k = g, g = f, f = e, e = d + t1, d = c, c = b, b = a, a = t1 + t2;
    }
    h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e, h[5] += f, h[6] += g, h[7] += k;
}

void CompressBlocks(std::array<uint32_t, 8>& h, const unsigned char* data, size_t blocks) {
    for (; blocks > 0; --blocks, data += 64)
        Compress(h, data);
}

#if defined(__x86_64__) || defined(__i386__)
// The processor's SHA extensions (Goldmont and Ice Lake on, every Zen) hash about five times
// faster; a backup file is hashed whole after every backup.
bool HasShaExtensions() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    const bool ssse3 = c & (1u << 9), sse41 = c & (1u << 19);
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    return ssse3 && sse41 && (b & (1u << 29));
}

// The state is kept as the instructions want it: ABEF in one register, CDGH in the other.
__attribute__((target("sha,sse4.1"))) void
CompressBlocksWithShaExtensions(std::array<uint32_t, 8>& h, const unsigned char* data,
                                size_t blocks) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    __m128i cdab =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&h[0])), 0xB1);
    __m128i efgh =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&h[4])), 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abefBefore = abef, cdghBefore = cdgh;
        __m128i w[4]; // the schedule's last sixteen words, four to a register
        for (int group = 0; group < 16; ++group) {
            __m128i& words = w[group % 4];
            if (group < 4) {
                words = _mm_shuffle_epi8(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * group)), byteSwap);
            } else {
                __m128i next = _mm_sha256msg1_epu32(w[group % 4], w[(group + 1) % 4]);
                next =
                    _mm_add_epi32(next, _mm_alignr_epi8(w[(group + 3) % 4], w[(group + 2) % 4], 4));
                words = _mm_sha256msg2_epu32(next, w[(group + 3) % 4]);
            }
            __m128i message = _mm_add_epi32(
                words, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&kRound[4 * group])));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(message, 0x0E));
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&h[0]), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&h[4]), _mm_alignr_epi8(dchg, feba, 8));
}

void CompressAll(std::array<uint32_t, 8>& h, const unsigned char* data, size_t blocks,
                 bool hardware) {
    static const bool available = HasShaExtensions();
    if (hardware && available)
        CompressBlocksWithShaExtensions(h, data, blocks);
    else
        CompressBlocks(h, data, blocks);
}
#else
void CompressAll(std::array<uint32_t, 8>& h, const unsigned char* data, size_t blocks, bool) {
    CompressBlocks(h, data, blocks);
}
#endif

} // namespace

void Sha256::Add(std::string_view bytes) {
    total_ += bytes.size();
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t size = bytes.size();
    if (blockSize_ > 0) {
        const size_t taken = std::min(size, sizeof block_ - blockSize_);
        std::copy_n(data, taken, block_ + blockSize_);
        blockSize_ += taken;
        data += taken;
        size -= taken;
        if (blockSize_ < sizeof block_) return;
        CompressAll(h_, block_, 1, hardware_);
        blockSize_ = 0;
    }
    const size_t whole = size / 64 * 64;
    CompressAll(h_, data, whole / 64, hardware_);
    std::copy_n(data + whole, size - whole, block_);
    blockSize_ = size - whole;
}

std::string Sha256::Hex() && {
    unsigned char tail[128] = {};
    std::copy_n(block_, blockSize_, tail);
    tail[blockSize_] = 0x80;
    const size_t tailSize = blockSize_ < 56 ? 64 : 128;
    const uint64_t bits = total_ * 8;
    for (int i = 0; i < 8; ++i)
        tail[tailSize - 1 - i] = static_cast<unsigned char>(bits >> (8 * i));
    CompressAll(h_, tail, tailSize / 64, hardware_);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (uint32_t word : h_)
        for (int shift = 28; shift >= 0; shift -= 4)
            out += kHex[(word >> shift) & 0xF];
    return out;
}

std::string Sha256Hex(std::string_view bytes) {
    Sha256 hash;
    hash.Add(bytes);
    return std::move(hash).Hex();
}

std::string Sha256HexPortable(std::string_view bytes) {
    Sha256 hash;
    hash.hardware_ = false;
    hash.Add(bytes);
    return std::move(hash).Hex();
}

} // namespace kestrune
