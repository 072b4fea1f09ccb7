// What the folds buy: the CRC of 64 MB in memory takes 3.6 ms folded 64 bytes
// at a time (AVX-512), 8 ms 16 bytes at a time, 35 ms by the tables and 18 ms
// in zlib (build/bench/bin/crc_bench); extracting one stored 64 MB entry, the
// whole vimbrel-cli process, takes 47 ms, 50 ms under VIMBREL_CPU=avx2 and
// 76 ms under VIMBREL_CPU=plain, beside 54 ms for bsdtar and 64 ms for 7zz
// (bench/extract_cli_bench.sh). The tables are the plain twin, used on every
// other CPU and under VIMBREL_CPU=plain; the tests compare every way.
//
// CRC-32 by folding: the data is taken 16 bytes at a time as a polynomial, and
// a block is carried forward over T bits by multiplying it with x^T mod P,
// which keeps it congruent (mod P) at a fraction of its size. Four blocks in
// flight keep the multiplier busy; what is left at the end, one block, is
// handed to the tables, which finish any CRC the same way. The wide way does
// the same with four blocks in each 512-bit register.
//
// Bit order: the CRC is reflected, so in a 128-bit register loaded from memory
// bit i is the coefficient of x^(127-i). A 64-bit half multiplied by a
// constant stored reflected in 64 bits comes out one degree short in that
// order, which the constants make up for (x^(T+63) instead of x^(T+64)).
#include "archive/Crc32.h"
#include "platform/CpuFeatures.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define VIMBREL_CRC32_FOLD 1
#endif

namespace archive {
namespace {

// x^n mod P, with P = 0x104C11DB7 in its unreflected form.
constexpr std::uint32_t PowerModP(int n) {
    std::uint64_t r = 1;
    for (int i = 0; i < n; ++i) {
        r <<= 1;
        if (r >> 32) r ^= 0x104C11DB7u;
    }
    return std::uint32_t(r);
}

// A polynomial of degree < 32 reflected into the 64 bits a multiply takes.
constexpr std::uint64_t Reflect64(std::uint32_t k) {
    std::uint64_t r = 0;
    for (int d = 0; d < 32; ++d)
        if (k >> d & 1) r |= std::uint64_t(1) << (63 - d);
    return r;
}

// The pair of factors that carries a block over T bits: its first half (the
// higher degrees) needs x^(T+64), its second half x^T.
struct TFoldFactors {
    std::uint64_t first, second;
};
constexpr TFoldFactors FoldOver(int bits) {
    return {Reflect64(PowerModP(bits + 63)), Reflect64(PowerModP(bits - 1))};
}
constexpr TFoldFactors Over128 = FoldOver(128), Over256 = FoldOver(256), Over384 = FoldOver(384),
                       Over512 = FoldOver(512), Over2048 = FoldOver(2048);

} // namespace

#ifdef VIMBREL_CRC32_FOLD

#define VIMBREL_FOLD __attribute__((target("pclmul")))
#define VIMBREL_WIDE_FOLD __attribute__((target("avx512f,vpclmulqdq")))

namespace {

VIMBREL_FOLD inline __m128i Factors(TFoldFactors f) {
    return _mm_set_epi64x(std::int64_t(f.second), std::int64_t(f.first));
}

// block * x^T + next, reduced to 128 bits.
VIMBREL_FOLD inline __m128i Fold(__m128i block, __m128i factors, __m128i next) {
    const __m128i first = _mm_clmulepi64_si128(block, factors, 0x00);
    const __m128i second = _mm_clmulepi64_si128(block, factors, 0x11);
    return _mm_xor_si128(_mm_xor_si128(first, second), next);
}

VIMBREL_FOLD inline __m128i Load(const std::uint8_t* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// The same four blocks at a time, each with the same factors.
VIMBREL_WIDE_FOLD inline __m512i WideFactors(TFoldFactors f) {
    const auto first = std::int64_t(f.first), second = std::int64_t(f.second);
    return _mm512_set_epi64(second, first, second, first, second, first, second, first);
}

VIMBREL_WIDE_FOLD inline __m512i WideFold(__m512i blocks, __m512i factors, __m512i next) {
    const __m512i first = _mm512_clmulepi64_epi128(blocks, factors, 0x00);
    const __m512i second = _mm512_clmulepi64_epi128(blocks, factors, 0x11);
    return _mm512_ternarylogic_epi64(first, second, next, 0x96); // a three-way xor
}

VIMBREL_WIDE_FOLD inline __m512i WideLoad(const std::uint8_t* at) {
    return _mm512_loadu_si512(at);
}

} // namespace

bool Crc32FoldSupported() {
    return platform::CpuFeatures().Clmul;
}

bool Crc32WideFoldSupported() {
    return platform::CpuFeatures().WideClmul;
}

VIMBREL_FOLD std::uint32_t UpdateCrc32Fold(std::uint32_t crc, const std::uint8_t* data,
                                           std::size_t size) {
    if (size < 64) return UpdateCrc32Tables(crc, data, size);
    // The running CRC enters as a change to the first four bytes.
    __m128i x0 = _mm_xor_si128(Load(data), _mm_cvtsi32_si128(int(crc)));
    __m128i x1 = Load(data + 16), x2 = Load(data + 32), x3 = Load(data + 48);
    data += 64;
    size -= 64;
    const __m128i over512 = Factors(Over512);
    for (; size >= 64; data += 64, size -= 64) {
        x0 = Fold(x0, over512, Load(data));
        x1 = Fold(x1, over512, Load(data + 16));
        x2 = Fold(x2, over512, Load(data + 32));
        x3 = Fold(x3, over512, Load(data + 48));
    }
    const __m128i over128 = Factors(Over128);
    __m128i x = Fold(x0, Factors(Over384), x3);
    x = Fold(x1, Factors(Over256), x);
    x = Fold(x2, over128, x);
    for (; size >= 16; data += 16, size -= 16)
        x = Fold(x, over128, Load(data));
    // The folded block stands for everything so far, the running CRC included.
    alignas(16) std::uint8_t last[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(last), x);
    return UpdateCrc32Tables(UpdateCrc32Tables(0, last, sizeof last), data, size);
}

VIMBREL_WIDE_FOLD std::uint32_t UpdateCrc32WideFold(std::uint32_t crc, const std::uint8_t* data,
                                                    std::size_t size) {
    if (size < 256) return UpdateCrc32Fold(crc, data, size);
    // As above: the running CRC changes the first four bytes.
    __m512i x0 =
        _mm512_xor_si512(WideLoad(data), _mm512_zextsi128_si512(_mm_cvtsi32_si128(int(crc))));
    __m512i x1 = WideLoad(data + 64), x2 = WideLoad(data + 128), x3 = WideLoad(data + 192);
    data += 256;
    size -= 256;
    const __m512i over2048 = WideFactors(Over2048);
    for (; size >= 256; data += 256, size -= 256) {
        x0 = WideFold(x0, over2048, WideLoad(data));
        x1 = WideFold(x1, over2048, WideLoad(data + 64));
        x2 = WideFold(x2, over2048, WideLoad(data + 128));
        x3 = WideFold(x3, over2048, WideLoad(data + 192));
    }
    const __m512i over512 = WideFactors(Over512);
    __m512i x = WideFold(x0, over512, x1);
    x = WideFold(x, over512, x2);
    x = WideFold(x, over512, x3);
    // Its four blocks stand for everything so far, as 64 bytes of data would.
    alignas(64) std::uint8_t last[64];
    _mm512_store_si512(last, x);
    return UpdateCrc32Fold(UpdateCrc32Fold(0, last, sizeof last), data, size);
}

#else

bool Crc32FoldSupported() {
    return false;
}

bool Crc32WideFoldSupported() {
    return false;
}

std::uint32_t UpdateCrc32Fold(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
    return UpdateCrc32Tables(crc, data, size);
}

std::uint32_t UpdateCrc32WideFold(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
    return UpdateCrc32Tables(crc, data, size);
}

#endif

} // namespace archive
