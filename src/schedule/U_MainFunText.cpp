#include "schedule/U_MainFunText.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// Bit i set where byte i of the 64 at p is a line break (CR or LF) or a zero
// byte. Block-wise where SSE2 is there: line splitting is most of the cost of
// a search whose key is in every line.
struct TBreakMasks {
    std::uint64_t cr, lf, zero;
};

TBreakMasks BreakMasks(const char* p) {
    TBreakMasks masks{0, 0, 0};
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n'), zero = _mm_setzero_si128();
    for (int i = 0; i < 4; ++i) {
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        masks.cr |= std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(block, cr))))
                    << (16 * i);
        masks.lf |= std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(block, lf))))
                    << (16 * i);
        masks.zero |= std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(block, zero))))
                      << (16 * i);
    }
#else
    for (int i = 0; i < 64; ++i) {
        masks.cr |= std::uint64_t(p[i] == '\r') << i;
        masks.lf |= std::uint64_t(p[i] == '\n') << i;
        masks.zero |= std::uint64_t(p[i] == 0) << i;
    }
#endif
    return masks;
}

} // namespace

void TextLines(std::string_view text, TLines& lines) {
    lines.clear();
    const char* const base = text.data();
    const std::size_t size = text.size();
    std::size_t start = 0;
    std::uint64_t crBefore = 0; // the block before ended with a CR
    for (std::size_t block = 0; block < size; block += 64) {
        TBreakMasks masks;
        std::uint64_t valid = ~std::uint64_t(0);
        if (size - block >= 64) {
            masks = BreakMasks(base + block);
        } else {
            char tail[64] = {}; // the last bytes, copied so nothing past the text is read
            std::memcpy(tail, base + block, size - block);
            masks = BreakMasks(tail);
            valid = (std::uint64_t(1) << (size - block)) - 1;
        }
        // The LF of a CR LF is no line end of its own.
        std::uint64_t crlf = masks.lf & ((masks.cr << 1) | crBefore);
        crBefore = masks.cr >> 63;
        for (std::uint64_t ends = (masks.cr | masks.lf | masks.zero) & ~crlf & valid; ends;
             ends &= ends - 1) {
            std::size_t at = block + std::size_t(std::countr_zero(ends));
            if (base[at] == 0) { // a zero byte ends the text
                if (at > start) lines.emplace_back(base + start, at - start);
                return;
            }
            lines.emplace_back(base + start, at - start);
            start = at + 1;
            if (base[at] == '\r' && start < size && base[start] == '\n') ++start;
        }
    }
    // A line end at the very end adds no line.
    if (start < size) lines.emplace_back(base + start, size - start);
}

#if defined(__GNUC__) && defined(__x86_64__)

// The positions of the 17th and later LFs of a block, whose places packed
// holds: out of line, so that the usual block keeps its places in a register.
__attribute__((target("avx512f"), noinline)) static void
WidenRest(__m512i places, int found, std::uint32_t at, std::uint32_t* lineFeeds) {
    alignas(64) std::uint8_t packed[64];
    _mm512_store_si512(packed, places);
    for (int i = 16; i < found; ++i)
        lineFeeds[i] = at + packed[i];
}

// Checks each 64-byte block before writing its positions, so that a text that
// is not CR LF only never writes more than its valid part allows for, and
// stops once it has maxLines.
__attribute__((target("avx512f,avx512bw,avx512vbmi2,popcnt"))) static std::optional<std::size_t>
WideCrLfLineFeeds(std::string_view text, std::uint32_t* lineFeeds, std::size_t maxLines) {
    const __m512i cr = _mm512_set1_epi8('\r'), lf = _mm512_set1_epi8('\n');
    alignas(64) static constexpr auto Iota = [] {
        std::array<std::uint8_t, 64> bytes{};
        for (std::size_t i = 0; i < 64; ++i)
            bytes[i] = std::uint8_t(i);
        return bytes;
    }();
    const __m512i iota = _mm512_load_si512(Iota.data());
    std::size_t count = 0;
    std::uint64_t crBefore = 0; // the block before ended with a CR
    for (std::size_t at = 0; at < text.size() && count < maxLines; at += 64) {
        const std::size_t n = std::min<std::size_t>(64, text.size() - at);
        const __mmask64 valid = n == 64 ? ~__mmask64(0) : (__mmask64(1) << n) - 1;
        // Masked off, the bytes past the text are neither read nor CR or LF.
        const __m512i block = _mm512_maskz_loadu_epi8(valid, text.data() + at);
        const std::uint64_t crs = _mm512_cmpeq_epi8_mask(block, cr);
        const std::uint64_t lfs = _mm512_cmpeq_epi8_mask(block, lf);
        const std::uint64_t zeros = _mm512_testn_epi8_mask(block, block) & valid;
        // Every LF right after a CR and every CR right before an LF.
        if (zeros != 0 || lfs != ((crs << 1) | crBefore)) return std::nullopt;
        crBefore = crs >> 63;
        // The LFs' places in the block, packed; the first 16 (mostly all
        // there are) widened to positions at once, any more one by one.
        // (The zero-masked forms spare GCC 12 a false uninitialized warning.)
        const __m512i places = _mm512_maskz_compress_epi8(lfs, iota);
        const __m128i low = _mm512_maskz_extracti32x4_epi32(0xF, places, 0);
        const __m512i first = _mm512_maskz_cvtepu8_epi32(0xFFFF, low);
        _mm512_storeu_si512(lineFeeds + count, _mm512_add_epi32(first, _mm512_set1_epi32(int(at))));
        const int found = std::popcount(lfs);
        if (found > 16) [[unlikely]]
            WidenRest(places, found, std::uint32_t(at), lineFeeds + count);
        count += std::size_t(found);
    }
    if (count >= maxLines) return maxLines;
    // A last line without its CR LF is a line TextLines gives and this pass would not.
    if (!text.empty() && text.back() != '\n') return std::nullopt;
    return count;
}

std::optional<std::size_t> CrLfLineFeeds(std::string_view text, std::uint32_t* lineFeeds,
                                         std::size_t maxLines) {
    static const bool wide =
        __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi2");
    if (!wide) return std::nullopt;
    return WideCrLfLineFeeds(text, lineFeeds, maxLines);
}

#else

std::optional<std::size_t> CrLfLineFeeds(std::string_view, std::uint32_t*, std::size_t) {
    return std::nullopt;
}

#endif

TLines TextLines(std::string_view text) {
    TLines lines;
    TextLines(text, lines);
    return lines;
}

std::string_view TrimControls(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= 0x20)
        ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= 0x20)
        --e;
    return text.substr(b, e - b);
}

namespace {
const std::string_view Xingqi = "\xD0\xC7\xC6\xDA"; // "星期" in GBK
}

bool IsDateLine(std::string_view line) {
    return line.find('/') != std::string_view::npos && line.find(Xingqi) != std::string_view::npos;
}

std::string ConvertDate(std::string_view dateText) {
    return "20" + SplitField(dateText, "/", 1) + "-" + SplitField(dateText, "/", 2) + "-" +
           SplitField(dateText, "/", 3);
}

std::string SplitField(std::string_view text, std::string_view separator, int n) {
    // An empty separator is never found: the text is one field.
    auto find = [&](std::string_view t) {
        return separator.empty() ? std::string_view::npos : t.find(separator);
    };
    if (n == 0) {
        int count = 1;
        for (std::size_t at = find(text); at != std::string_view::npos; at = find(text)) {
            ++count;
            text.remove_prefix(at + separator.size());
        }
        return std::to_string(count);
    }
    for (int i = 1; i < n; ++i) {
        std::size_t at = find(text);
        if (at == std::string_view::npos) return {};
        text.remove_prefix(at + separator.size());
    }
    return std::string(text.substr(0, find(text)));
}

TStationRowReader::TLineKind TStationRowReader::Feed(std::string_view line, bool holdsSlash) {
    if (holdsSlash && IsDateLine(line)) {
        date = ConvertDate(line.substr(0, 8));
        weekday = TrimControls(line.size() > 8 ? line.substr(8) : std::string_view());
        ++dateLines;
        return lkDate;
    }
    return TrimControls(line).empty() ? lkBlank : lkProgramme;
}

std::string_view ProgrammeTime(std::string_view line) {
    return line.substr(0, 5);
}

std::string_view ProgrammeTitle(std::string_view line) {
    return TrimControls(line.size() > 5 ? line.substr(5) : std::string_view());
}

void TStationRowReader::RowInto(std::string_view line, ScheduleRow& row) const {
    row.Date = date;
    row.Weekday = weekday;
    row.Time = ProgrammeTime(line);
    row.Title = ProgrammeTitle(line);
    row.Line = line;
}

ScheduleRow TStationRowReader::Row(std::string_view line) const {
    ScheduleRow row;
    RowInto(line, row);
    return row;
}

std::vector<ScheduleRow> StationRows(const TLines& lines) {
    std::vector<ScheduleRow> rows;
    TStationRowReader reader;
    for (std::string_view line : lines)
        if (reader.Feed(line) == TStationRowReader::lkProgramme) rows.push_back(reader.Row(line));
    return rows;
}
