#include "store/Sha256.h"

#include <algorithm>
#include <cstring>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define STAVELY_SHA_NI 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace {
const uint32_t RoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

inline uint32_t rotr(uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

void compressPlain(uint32_t* state, const unsigned char* data, size_t count) {
    for (; count > 0; --count, data += 64) {
        uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = uint32_t(data[i * 4]) << 24 | uint32_t(data[i * 4 + 1]) << 16 |
                   uint32_t(data[i * 4 + 2]) << 8 | uint32_t(data[i * 4 + 3]);
        for (int i = 16; i < 64; ++i) {
            const uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        for (int i = 0; i < 64; ++i) {
            const uint32_t t1 = h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) +
                                RoundConstants[i] + w[i];
            const uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

#ifdef STAVELY_SHA_NI
__attribute__((target("sha,sse4.1,ssse3"))) void compressShaNi(uint32_t* state, const unsigned char* data,
                                                               size_t count) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i tmp = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
    __m128i state1 = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
    __m128i state0 = _mm_alignr_epi8(tmp, state1, 8); // ABEF
    state1 = _mm_blend_epi16(state1, tmp, 0xF0);      // CDGH
    for (; count > 0; --count, data += 64) {
        const __m128i abef = state0;
        const __m128i cdgh = state1;
        __m128i m[4];
        for (int g = 0; g < 16; ++g) {
            if (g < 4) {
                m[g] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + g * 16)),
                                        byteSwap);
            } else {
                const __m128i& last = m[(g + 3) & 3];
                __m128i next = _mm_sha256msg1_epu32(m[g & 3], m[(g + 1) & 3]);
                next = _mm_add_epi32(next, _mm_alignr_epi8(last, m[(g + 2) & 3], 4));
                m[g & 3] = _mm_sha256msg2_epu32(next, last);
            }
            __m128i words = _mm_add_epi32(
                m[g & 3], _mm_loadu_si128(reinterpret_cast<const __m128i*>(RoundConstants + g * 4)));
            state1 = _mm_sha256rnds2_epu32(state1, state0, words);
            words = _mm_shuffle_epi32(words, 0x0E);
            state0 = _mm_sha256rnds2_epu32(state0, state1, words);
        }
        state0 = _mm_add_epi32(state0, abef);
        state1 = _mm_add_epi32(state1, cdgh);
    }
    tmp = _mm_shuffle_epi32(state0, 0x1B);       // FEBA
    state1 = _mm_shuffle_epi32(state1, 0xB1);    // DCHG
    state0 = _mm_blend_epi16(tmp, state1, 0xF0); // DCBA
    state1 = _mm_alignr_epi8(state1, tmp, 8);    // HGFE
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), state0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), state1);
}

bool hasShaInstructions() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & (1u << 19)) || !(c & (1u << 9)))
        return false; // SSE4.1, SSSE3
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d))
        return false;
    return (b & (1u << 29)) != 0;
}
#endif

using Compress = void (*)(uint32_t*, const unsigned char*, size_t);

Compress fastest() {
#ifdef STAVELY_SHA_NI
    static const bool sha = hasShaInstructions();
    if (sha)
        return &compressShaNi;
#endif
    return &compressPlain;
}

Compress chosenCompress = fastest();
} // namespace

Sha256::Sha256()
    : m_state{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
              0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void Sha256::setPlainOnly(bool plain) {
    chosenCompress = plain ? &compressPlain : fastest();
}

void Sha256::compress(const unsigned char* blocks, size_t count) {
    chosenCompress(m_state.data(), blocks, count);
}

void Sha256::addData(QByteArrayView data) {
    const auto* in = reinterpret_cast<const unsigned char*>(data.data());
    size_t size = size_t(data.size());
    m_length += size;
    if (m_buffered > 0) {
        const size_t take = std::min(size, 64 - m_buffered);
        std::memcpy(m_buffer + m_buffered, in, take);
        m_buffered += take;
        in += take;
        size -= take;
        if (m_buffered < 64)
            return;
        compress(m_buffer, 1);
        m_buffered = 0;
    }
    if (size >= 64) {
        compress(in, size / 64);
        in += size / 64 * 64;
        size %= 64;
    }
    std::memcpy(m_buffer, in, size);
    m_buffered = size;
}

std::array<unsigned char, 32> Sha256::result() {
    const uint64_t bits = m_length * 8;
    m_buffer[m_buffered++] = 0x80;
    if (m_buffered > 56) {
        std::memset(m_buffer + m_buffered, 0, 64 - m_buffered);
        compress(m_buffer, 1);
        m_buffered = 0;
    }
    std::memset(m_buffer + m_buffered, 0, 56 - m_buffered);
    for (int i = 0; i < 8; ++i)
        m_buffer[56 + i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    compress(m_buffer, 1);
    std::array<unsigned char, 32> out;
    for (int i = 0; i < 8; ++i)
        for (int k = 0; k < 4; ++k)
            out[size_t(i * 4 + k)] = static_cast<unsigned char>(m_state[size_t(i)] >> (24 - 8 * k));
    return out;
}

QByteArray Sha256::resultHex() {
    static const char digits[] = "0123456789abcdef";
    const std::array<unsigned char, 32> digest = result();
    QByteArray hex(64, Qt::Uninitialized);
    for (size_t i = 0; i < digest.size(); ++i) {
        hex[qsizetype(i * 2)] = digits[digest[i] >> 4];
        hex[qsizetype(i * 2 + 1)] = digits[digest[i] & 15];
    }
    return hex;
}

QByteArray Sha256::hash(QByteArrayView data) {
    Sha256 h;
    h.addData(data);
    const std::array<unsigned char, 32> digest = h.result();
    return QByteArray(reinterpret_cast<const char*>(digest.data()), qsizetype(digest.size()));
}
