// What the wide way buys: vimbrel-cli --gbk search 22: (91,444 rows) on the
// 56 MB schedule of bench/search_cli_bench.sh takes 25 ms of CPU with it and
// 46 ms with memmem alone (1.8x; the rare key: 16 and 22 ms; 新闻, 270,000
// rows: 41 and 53 ms; best of 15, perf stat). memmem is its plain twin,
// compiled everywhere and taken under VIMBREL_CPU=plain; the tests compare
// both with std::string_view::find.
#include "schedule/U_MainFunSearchFind.h"

#include <cstring>

#include "platform/CpuFeatures.h"

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define VIMBREL_FIND_WIDE 1
#endif

namespace {
constexpr std::size_t npos = std::string_view::npos;
}

TKeyFinder::TKeyFinder(std::string_view key) : key(key), rare2(key.empty() ? 0 : key.size() - 1) {}

// The rarest byte of the key in sample, then the rarest of another value
// (another position where the key has one value only); the earlier on a tie.
void TKeyFinder::Adapt(std::string_view sample) {
    adapted = true;
    if (key.size() < 2) return;
    std::size_t counts[256] = {};
    for (const char c : sample.substr(0, 64 * 1024))
        ++counts[static_cast<unsigned char>(c)];
    const auto rarer = [&](std::size_t i, std::size_t j) {
        return counts[static_cast<unsigned char>(key[i])] <
               counts[static_cast<unsigned char>(key[j])];
    };
    rare1 = 0;
    for (std::size_t i = 1; i < key.size(); ++i)
        if (rarer(i, rare1)) rare1 = i;
    rare2 = npos;
    for (std::size_t i = 0; i < key.size(); ++i)
        if (key[i] != key[rare1] && (rare2 == npos || rarer(i, rare2))) rare2 = i;
    if (rare2 == npos) rare2 = rare1 == 0 ? key.size() - 1 : 0; // one byte value throughout
}

std::size_t TKeyFinder::FindPlain(std::string_view text, std::size_t from) const {
    if (from > text.size()) return npos;
    const void* hit = key.size() == 1
                          ? std::memchr(text.data() + from, key[0], text.size() - from)
                          : memmem(text.data() + from, text.size() - from, key.data(), key.size());
    return hit ? std::size_t(static_cast<const char*>(hit) - text.data()) : npos;
}

#ifdef VIMBREL_FIND_WIDE

bool TKeyFinder::WideSupported() {
    return platform::CpuFeatures().Avx2;
}

// The positions where the key's two chosen bytes are, 32 at a time; only those
// are compared whole. What is left at the end, fewer than 32 positions, goes
// to memmem.
__attribute__((target("avx2"))) std::size_t TKeyFinder::FindWide(std::string_view text,
                                                                 std::size_t from) const {
    const std::size_t n = key.size();
    if (n < 2) return FindPlain(text, from);
    const __m256i at1 = _mm256_set1_epi8(key[rare1]), at2 = _mm256_set1_epi8(key[rare2]);
    const char* const base = text.data();
    std::size_t p = from;
    for (; p + n - 1 + 32 <= text.size(); p += 32) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + p + rare1));
        const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + p + rare2));
        auto both = unsigned(_mm256_movemask_epi8(
            _mm256_and_si256(_mm256_cmpeq_epi8(x, at1), _mm256_cmpeq_epi8(y, at2))));
        for (; both; both &= both - 1) {
            const std::size_t at = p + std::size_t(__builtin_ctz(both));
            if (std::memcmp(base + at, key.data(), n) == 0) return at;
        }
    }
    return FindPlain(text, p);
}

#else

bool TKeyFinder::WideSupported() {
    return false;
}

std::size_t TKeyFinder::FindWide(std::string_view text, std::size_t from) const {
    return FindPlain(text, from);
}

#endif

std::size_t TKeyFinder::Find(std::string_view text, std::size_t from) const {
    static const bool wide = WideSupported();
    // A key of one byte is memchr's either way.
    return wide && key.size() > 1 ? FindWide(text, from) : FindPlain(text, from);
}
