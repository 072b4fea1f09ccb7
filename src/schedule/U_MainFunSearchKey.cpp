#include "schedule/U_MainFunSearchKey.h"

#include <bit>
#include <cstdint>
#include <cstring>
#if defined(__x86_64__) || defined(_M_X64)
#include <immintrin.h>
#define VIMBREL_KEY_SIMD 1
#endif

namespace {

constexpr std::size_t npos = std::string_view::npos;

// How common a byte of the key is in programme text, the rarest 0: a GBK
// character's second byte is spread over some 190 values, its first over
// fewer, and the leads of full-width punctuation are in most titles; digits,
// blanks and the time's colon are in every line.
int Commonness(unsigned char c, bool secondOfCharacter) {
    if (secondOfCharacter) return 0;
    if (c >= 0x81) return c >= 0xA1 && c <= 0xA3 ? 3 : 1;
    if ((c >= '0' && c <= ':') || c <= ' ') return 4;
    return 2;
}

// Calls rate(position, commonness) for each byte of the key, read as GBK
// characters from its start as the user typed it.
template <class TRate> void RateKey(std::string_view key, TRate rate) {
    for (std::size_t i = 0; i < key.size(); ++i) {
        const auto c = static_cast<unsigned char>(key[i]);
        rate(i, Commonness(c, false));
        if (c >= 0x81 && i + 1 < key.size()) {
            ++i;
            rate(i, Commonness(static_cast<unsigned char>(key[i]), true));
        }
    }
}

// Whether the key is at at, its two rare bytes known to be there: a key of
// one or two bytes is then found.
bool KeyIsAt(const char* at, std::string_view key) {
    return key.size() <= 2 || std::memcmp(at, key.data(), key.size()) == 0;
}

#ifdef VIMBREL_KEY_SIMD
// Tests 16 or 32 positions at once for the key's two rare bytes, and only the
// positions that hold both for the whole key. Gives the first occurrence
// starting in [p, last], or npos with p at the first position it left to the
// caller (fewer than a block's worth before last).
std::size_t ScanSse2(const char* base, std::size_t& p, std::size_t last, std::string_view key,
                     std::size_t rare1, std::size_t rare2) {
    const __m128i b1 = _mm_set1_epi8(key[rare1]), b2 = _mm_set1_epi8(key[rare2]);
    for (; p + 15 <= last; p += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + p + rare1));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + p + rare2));
        for (auto both = unsigned(
                 _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(x, b1), _mm_cmpeq_epi8(y, b2))));
             both; both &= both - 1)
            if (KeyIsAt(base + p + std::countr_zero(both), key)) return p + std::countr_zero(both);
    }
    return npos;
}

__attribute__((target("avx2"))) std::size_t ScanAvx2(const char* base, std::size_t& p,
                                                     std::size_t last, std::string_view key,
                                                     std::size_t rare1, std::size_t rare2) {
    const __m256i b1 = _mm256_set1_epi8(key[rare1]), b2 = _mm256_set1_epi8(key[rare2]);
    for (; p + 31 <= last; p += 32) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + p + rare1));
        const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + p + rare2));
        for (auto both = unsigned(_mm256_movemask_epi8(
                 _mm256_and_si256(_mm256_cmpeq_epi8(x, b1), _mm256_cmpeq_epi8(y, b2))));
             both; both &= both - 1)
            if (KeyIsAt(base + p + std::countr_zero(both), key)) return p + std::countr_zero(both);
    }
    return npos;
}

// Bit i set where p[i] is c, for the 64 bytes at p.
std::uint64_t ByteMask64Sse2(const char* p, char c) {
    const __m128i wanted = _mm_set1_epi8(c);
    std::uint64_t mask = 0;
    for (int i = 0; i < 64; i += 16)
        mask |= std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)), wanted))))
                << i;
    return mask;
}

TKeyFinder::TWindow WindowSse2(const char* p, const char* key, std::size_t rare1,
                               std::size_t rare2) {
    return {ByteMask64Sse2(p + rare1, key[rare1]) & ByteMask64Sse2(p + rare2, key[rare2]),
            ByteMask64Sse2(p, '\r') | ByteMask64Sse2(p, '\n')};
}

__attribute__((target("avx2"))) inline __m256i Load32(const char* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Bit i set where p[i + rare1] and p[i + rare2] are the key's bytes there,
// for the 32 positions at p.
__attribute__((target("avx2"))) inline std::uint64_t
BothMask32(const char* p, const char* key, std::size_t rare1, std::size_t rare2) {
    const __m256i x = _mm256_cmpeq_epi8(Load32(p + rare1), _mm256_set1_epi8(key[rare1]));
    const __m256i y = _mm256_cmpeq_epi8(Load32(p + rare2), _mm256_set1_epi8(key[rare2]));
    return unsigned(_mm256_movemask_epi8(_mm256_and_si256(x, y)));
}

__attribute__((target("avx2"))) inline std::uint64_t BreakMask32(const char* p) {
    const __m256i x = Load32(p);
    return unsigned(
        _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(x, _mm256_set1_epi8('\r')),
                                             _mm256_cmpeq_epi8(x, _mm256_set1_epi8('\n')))));
}

__attribute__((target("avx2"))) TKeyFinder::TWindow
WindowAvx2(const char* p, const char* key, std::size_t rare1, std::size_t rare2) {
    return {BothMask32(p, key, rare1, rare2) | BothMask32(p + 32, key, rare1, rare2) << 32,
            BreakMask32(p) | BreakMask32(p + 32) << 32};
}

// Asked once, while static objects are made: the CPU's features are read
// first, as the order of static constructors does not promise that.
const bool HasAvx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}();
#endif

// A key of one byte: memchr, after a look at the next 32 bytes, where a key
// in every line is found again, without the call.
std::size_t FindByte(std::string_view text, std::size_t from, char c) {
#ifdef VIMBREL_KEY_SIMD
    if (from + 32 <= text.size()) {
        const __m128i wanted = _mm_set1_epi8(c);
        const char* p = text.data() + from;
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
        const std::uint32_t mask = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(low, wanted))) |
                                   unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(high, wanted))) << 16;
        if (mask) return from + std::size_t(std::countr_zero(mask));
        from += 32;
    }
#endif
    const void* hit = std::memchr(text.data() + from, c, text.size() - from);
    return hit ? std::size_t(static_cast<const char*>(hit) - text.data()) : npos;
}

} // namespace

// Picks the two positions whose bytes cost least: the cheapest, the last of
// equals; then the cheapest other one, the first of equals: two far apart are
// less often both there by chance.
template <class TCost> void TKeyFinder::Choose(TCost cost) {
    std::uint64_t best = UINT64_MAX;
    RateKey(key, [&](std::size_t i, int commonness) {
        if (cost(i, commonness) <= best) rare2 = i, best = cost(i, commonness);
    });
    best = UINT64_MAX;
    RateKey(key, [&](std::size_t i, int commonness) {
        if (i != rare2 && cost(i, commonness) < best) rare1 = i, best = cost(i, commonness);
    });
}

TKeyFinder::TKeyFinder(std::string_view key) : key(key) {
    Choose([](std::size_t, int commonness) { return std::uint64_t(commonness); });
}

void TKeyFinder::Adapt(std::string_view sample) {
    // A station's text or so tells which bytes its kind of text holds often.
    std::uint64_t counts[256] = {};
    for (const char c : sample.substr(0, 64 * 1024))
        ++counts[static_cast<unsigned char>(c)];
    Choose([&](std::size_t i, int commonness) {
        return counts[static_cast<unsigned char>(key[i])] * 8 + std::uint64_t(commonness);
    });
    adapted = true;
}

bool TKeyFinder::KeyAt(const char* p) const {
    return KeyIsAt(p, key);
}

TKeyFinder::TWindow TKeyFinder::Window(const char* p) const {
#ifdef VIMBREL_KEY_SIMD
    if (HasAvx2) return WindowAvx2(p, key.data(), rare1, rare2);
    return WindowSse2(p, key.data(), rare1, rare2);
#else
    TWindow window{0, 0};
    for (int i = 0; i < 64; ++i) {
        if (p[i + rare1] == key[rare1] && p[i + rare2] == key[rare2])
            window.starts |= std::uint64_t(1) << i;
        if (p[i] == '\r' || p[i] == '\n') window.breaks |= std::uint64_t(1) << i;
    }
    return window;
#endif
}

std::size_t TKeyFinder::Find(std::string_view text, std::size_t from) const {
    const std::size_t n = key.size();
    if (n == 0 || from > text.size() || text.size() - from < n) return npos;
    const char* const base = text.data();
    if (n == 1) return FindByte(text, from, key[0]);
    const std::size_t last = text.size() - n; // where the last occurrence could start
    std::size_t p = from;
#ifdef VIMBREL_KEY_SIMD
    const std::size_t hit = HasAvx2 ? ScanAvx2(base, p, last, key, rare1, rare2)
                                    : ScanSse2(base, p, last, key, rare1, rare2);
    if (hit != npos) return hit;
#endif
    for (; p <= last; ++p)
        if (base[p + rare1] == key[rare1] && base[p + rare2] == key[rare2] &&
            KeyIsAt(base + p, key))
            return p;
    return npos;
}
