#include "engine/digest/sha1_compress.h"

#if defined(__i386__) || defined(__x86_64__)
#define ZEL_SHA1_X86 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace zel {
namespace {

inline uint32_t Rotl(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

inline uint32_t LoadBigEndian(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

// The schedule keeps only the last sixteen words; from round 16 on each word
// replaces the one sixteen rounds back.
template <int I>
inline uint32_t ScheduleWord(uint32_t* w) {
    if constexpr (I < 16) {
        return w[I];
    } else {
        uint32_t v = Rotl(w[(I + 13) & 15] ^ w[(I + 8) & 15] ^ w[(I + 2) & 15] ^ w[I & 15], 1);
        w[I & 15] = v;
        return v;
    }
}

// One round leaves its new word in e and rotates b; the caller renames the
// five variables instead of moving them.
template <int I>
inline void Round(uint32_t a, uint32_t& b, uint32_t c, uint32_t d, uint32_t& e, uint32_t* w) {
    uint32_t f;
    uint32_t k;
    if constexpr (I < 20) {
        f = d ^ (b & (c ^ d));
        k = 0x5A827999u;
    } else if constexpr (I < 40) {
        f = b ^ c ^ d;
        k = 0x6ED9EBA1u;
    } else if constexpr (I < 60) {
        f = (b & c) | (d & (b | c));
        k = 0x8F1BBCDCu;
    } else {
        f = b ^ c ^ d;
        k = 0xCA62C1D6u;
    }
    e += Rotl(a, 5) + f + k + ScheduleWord<I>(w);
    b = Rotl(b, 30);
}

template <int I>
inline void FiveRounds(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, uint32_t& e,
                       uint32_t* w) {
    Round<I>(a, b, c, d, e, w);
    Round<I + 1>(e, a, b, c, d, w);
    Round<I + 2>(d, e, a, b, c, w);
    Round<I + 3>(c, d, e, a, b, w);
    Round<I + 4>(b, c, d, e, a, w);
}

#ifdef ZEL_SHA1_X86
// Per function rather than by pragma: clang (which builds the fuzz targets)
// honours only the attribute for the intrinsics' target check.
#define ZEL_SHA_TARGET __attribute__((target("sha,sse4.1,ssse3")))

ZEL_SHA_TARGET inline __m128i LoadWords(const uint8_t* p) {
    // The instructions want the message's first word in the highest lane.
    const __m128i reverseBytes = _mm_set_epi64x(0x0001020304050607LL, 0x08090A0B0C0D0E0FLL);
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), reverseBytes);
}

// The next four schedule words from the sixteen before them, oldest first.
ZEL_SHA_TARGET inline __m128i NextWords(__m128i w16, __m128i w12, __m128i w8, __m128i w4) {
    return _mm_sha1msg2_epu32(_mm_xor_si128(_mm_sha1msg1_epu32(w16, w12), w8), w4);
}

// Four rounds. The e they start from is derived from the state four rounds
// earlier, which is why the caller keeps that state in startOfLast.
template <int F>
ZEL_SHA_TARGET inline void FourRounds(__m128i& abcd, __m128i& startOfLast, __m128i words) {
    __m128i e = _mm_sha1nexte_epu32(startOfLast, words);
    startOfLast = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, e, F);
}

ZEL_SHA_TARGET void Sha1CompressShaExtensions(uint32_t state[5], const uint8_t* blocks,
                                              size_t blockCount) {
    __m128i abcd =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
    __m128i e0 = _mm_set_epi32(int(state[4]), 0, 0, 0);
    for (; blockCount > 0; --blockCount, blocks += 64) {
        const __m128i abcdSaved = abcd;
        const __m128i eSaved = e0;
        __m128i w0 = LoadWords(blocks);
        __m128i w1 = LoadWords(blocks + 16);
        __m128i w2 = LoadWords(blocks + 32);
        __m128i w3 = LoadWords(blocks + 48);

        __m128i startOfLast = abcd;
        abcd = _mm_sha1rnds4_epu32(abcd, _mm_add_epi32(e0, w0), 0);
        FourRounds<0>(abcd, startOfLast, w1);
        FourRounds<0>(abcd, startOfLast, w2);
        FourRounds<0>(abcd, startOfLast, w3);
        w0 = NextWords(w0, w1, w2, w3);
        FourRounds<0>(abcd, startOfLast, w0);

        w1 = NextWords(w1, w2, w3, w0);
        FourRounds<1>(abcd, startOfLast, w1);
        w2 = NextWords(w2, w3, w0, w1);
        FourRounds<1>(abcd, startOfLast, w2);
        w3 = NextWords(w3, w0, w1, w2);
        FourRounds<1>(abcd, startOfLast, w3);
        w0 = NextWords(w0, w1, w2, w3);
        FourRounds<1>(abcd, startOfLast, w0);
        w1 = NextWords(w1, w2, w3, w0);
        FourRounds<1>(abcd, startOfLast, w1);

        w2 = NextWords(w2, w3, w0, w1);
        FourRounds<2>(abcd, startOfLast, w2);
        w3 = NextWords(w3, w0, w1, w2);
        FourRounds<2>(abcd, startOfLast, w3);
        w0 = NextWords(w0, w1, w2, w3);
        FourRounds<2>(abcd, startOfLast, w0);
        w1 = NextWords(w1, w2, w3, w0);
        FourRounds<2>(abcd, startOfLast, w1);
        w2 = NextWords(w2, w3, w0, w1);
        FourRounds<2>(abcd, startOfLast, w2);

        w3 = NextWords(w3, w0, w1, w2);
        FourRounds<3>(abcd, startOfLast, w3);
        w0 = NextWords(w0, w1, w2, w3);
        FourRounds<3>(abcd, startOfLast, w0);
        w1 = NextWords(w1, w2, w3, w0);
        FourRounds<3>(abcd, startOfLast, w1);
        w2 = NextWords(w2, w3, w0, w1);
        FourRounds<3>(abcd, startOfLast, w2);
        w3 = NextWords(w3, w0, w1, w2);
        FourRounds<3>(abcd, startOfLast, w3);

        e0 = _mm_sha1nexte_epu32(startOfLast, eSaved);
        abcd = _mm_add_epi32(abcd, abcdSaved);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
    state[4] = uint32_t(_mm_extract_epi32(e0, 3));
}

bool CpuHasShaExtensions() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    const bool ssse3 = (c & (1u << 9)) != 0;
    const bool sse41 = (c & (1u << 19)) != 0;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    const bool sha = (b & (1u << 29)) != 0;
    return ssse3 && sse41 && sha;
}
#endif

}  // namespace

void Sha1CompressPortable(uint32_t state[5], const uint8_t* blocks, size_t blockCount) {
    for (; blockCount > 0; --blockCount, blocks += 64) {
        uint32_t w[16];
        for (int i = 0; i < 16; ++i) w[i] = LoadBigEndian(blocks + 4 * i);
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
        FiveRounds<0>(a, b, c, d, e, w);
        FiveRounds<5>(a, b, c, d, e, w);
        FiveRounds<10>(a, b, c, d, e, w);
        FiveRounds<15>(a, b, c, d, e, w);
        FiveRounds<20>(a, b, c, d, e, w);
        FiveRounds<25>(a, b, c, d, e, w);
        FiveRounds<30>(a, b, c, d, e, w);
        FiveRounds<35>(a, b, c, d, e, w);
        FiveRounds<40>(a, b, c, d, e, w);
        FiveRounds<45>(a, b, c, d, e, w);
        FiveRounds<50>(a, b, c, d, e, w);
        FiveRounds<55>(a, b, c, d, e, w);
        FiveRounds<60>(a, b, c, d, e, w);
        FiveRounds<65>(a, b, c, d, e, w);
        FiveRounds<70>(a, b, c, d, e, w);
        FiveRounds<75>(a, b, c, d, e, w);
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
    }
}

Sha1CompressFn Sha1CompressAccelerated() {
#ifdef ZEL_SHA1_X86
    if (CpuHasShaExtensions()) return &Sha1CompressShaExtensions;
#endif
    return nullptr;
}

Sha1CompressFn Sha1CompressBest() {
    static const Sha1CompressFn best = [] {
        Sha1CompressFn accelerated = Sha1CompressAccelerated();
        return accelerated ? accelerated : &Sha1CompressPortable;
    }();
    return best;
}

}  // namespace zel
