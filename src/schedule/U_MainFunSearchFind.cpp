// What the wide way buys: vimbrel-cli --gbk search 22: (91,444 rows) on the
// 56 MB schedule of bench/search_cli_bench.sh takes 28 ms of CPU with it and
// 51 ms with memmem alone (1.8x; 新闻, 270,000 rows: 42 and 60 ms; the rare
// key: 19 and 25 ms; perf stat, best of 11). memmem is its plain twin,
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

std::size_t FindKeyPlain(std::string_view text, std::string_view key, std::size_t from) {
    if (from > text.size()) return npos;
    const void* hit = key.size() == 1
                          ? std::memchr(text.data() + from, key[0], text.size() - from)
                          : memmem(text.data() + from, text.size() - from, key.data(), key.size());
    return hit ? std::size_t(static_cast<const char*>(hit) - text.data()) : npos;
}

#ifdef VIMBREL_FIND_WIDE

bool FindKeyWideSupported() {
    return platform::CpuFeatures().Avx2;
}

// The positions whose byte is the key's first and whose byte key.size() - 1
// further on is its last, 32 at a time; only those are compared whole. What
// is left at the end, fewer than 32 positions, goes to memmem.
__attribute__((target("avx2"))) std::size_t FindKeyWide(std::string_view text, std::string_view key,
                                                        std::size_t from) {
    const std::size_t n = key.size();
    if (n < 2) return FindKeyPlain(text, key, from);
    const __m256i first = _mm256_set1_epi8(key.front()), last = _mm256_set1_epi8(key.back());
    const char* const base = text.data();
    std::size_t p = from;
    for (; p + n - 1 + 32 <= text.size(); p += 32) {
        const __m256i atFirst = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + p));
        const __m256i atLast =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + p + n - 1));
        auto both = unsigned(_mm256_movemask_epi8(
            _mm256_and_si256(_mm256_cmpeq_epi8(atFirst, first), _mm256_cmpeq_epi8(atLast, last))));
        for (; both; both &= both - 1) {
            const std::size_t at = p + std::size_t(__builtin_ctz(both));
            // The middle byte first: it spares most calls where the two
            // bytes are common ones, such as digits.
            if (base[at + n / 2] == key[n / 2] &&
                std::memcmp(base + at + 1, key.data() + 1, n - 2) == 0)
                return at;
        }
    }
    return FindKeyPlain(text, key, p);
}

#else

bool FindKeyWideSupported() {
    return false;
}

std::size_t FindKeyWide(std::string_view text, std::string_view key, std::size_t from) {
    return FindKeyPlain(text, key, from);
}

#endif

std::size_t FindKey(std::string_view text, std::string_view key, std::size_t from) {
    static const bool wide = FindKeyWideSupported();
    // A key of one byte is memchr's either way.
    return wide && key.size() > 1 ? FindKeyWide(text, key, from) : FindKeyPlain(text, key, from);
}
