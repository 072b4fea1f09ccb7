#include "schedule/U_MainFunSearch.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VIMBREL_SEARCH_SSE2 1
#endif

#include "schedule/U_MainFunSearchKey.h"
#include "schedule/U_TvSchedule.h"

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool BreaksLine(char c) {
    return c == '\r' || c == '\n';
}

#ifdef VIMBREL_SEARCH_SSE2
// Bit i set where byte i of the 32 at p is a CR or an LF. A programme line
// mostly fits in 32 bytes: one block finds its end, with no guess to undo.
std::uint32_t BreakMask(const char* p) {
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const auto lowMask =
        unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(low, cr), _mm_cmpeq_epi8(low, lf))));
    const auto highMask = unsigned(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(high, cr), _mm_cmpeq_epi8(high, lf))));
    return lowMask | highMask << 16;
}
#endif

// The first CR or LF at or after from, or the end of text.
std::size_t NextBreak(std::string_view text, std::size_t from) {
#ifdef VIMBREL_SEARCH_SSE2
    for (; from + 32 <= text.size(); from += 32)
        if (const std::uint32_t mask = BreakMask(text.data() + from))
            return from + std::size_t(std::countr_zero(mask));
#endif
    while (from < text.size() && !BreaksLine(text[from]))
        ++from;
    return from;
}

// The bits of a window below bit n.
std::uint64_t Below(std::size_t n) {
    return n >= 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << n) - 1;
}

// Where the line holding position at starts: after the last CR or LF before
// it, and not before floor. Bytes below floor in the block before at are
// masked off, not skipped, which spares a byte loop when lines follow one
// another.
std::size_t LineStart(std::string_view text, std::size_t floor, std::size_t at) {
#ifdef VIMBREL_SEARCH_SSE2
    for (; at > floor && at >= 32; at -= 32) {
        std::uint32_t mask = BreakMask(text.data() + at - 32);
        if (floor > at - 32) mask &= ~std::uint32_t(0) << (floor - (at - 32));
        if (mask) return at - 32 + std::size_t(32 - std::countl_zero(mask));
        if (floor + 32 >= at) return floor;
    }
#endif
    while (at > floor && !BreaksLine(text[at - 1]))
        --at;
    return at;
}

// Walks one station text from occurrence to occurrence of the key, and
// takes only the lines around them apart: most of a text is never split
// into lines. The lines it finds are those of TextLines, as the key holds no
// line end: a line starts after a CR or LF and ends at the next one; a zero
// byte ends the text.
class TMatchWalker {
public:
    TMatchWalker(std::string_view text, const TKeyFinder& finder, TStationMatches& found)
        : text(text), finder(finder), found(found) {}
    void Run();

private:
    std::string_view LineAround(std::size_t at, std::size_t end) const {
        const std::size_t start = LineStart(text, floor, at);
        return text.substr(start, end - start);
    }
    std::size_t WalkWindows();
    inline bool TakeLine(std::size_t start, std::size_t at, std::size_t end);
    [[gnu::noinline]] bool CheckForZero(std::size_t at, std::size_t& end);
    [[gnu::noinline]] bool FeedDateLines(std::size_t end);
    inline void Take(std::string_view line);
    [[gnu::noinline]] void AddDay();

    std::string_view text;
    const TKeyFinder& finder;
    TStationMatches& found;
    // Fed the date lines only, in order: no other line changes its date.
    TStationRowReader reader;
    int dayOf = -1;        // the reader's DateLines() of the last day in found
    std::size_t floor = 0; // the end (CR or LF) of the last line taken: none before is looked at
    std::size_t slash = 0; // the next "/" not yet looked at (npos: none): date lines hold one
    std::size_t clean = 0; // no zero byte is before it
    static constexpr std::size_t ZeroStretch = 4096, PrefetchAhead = ZeroStretch + 2048;
};

void TMatchWalker::Run() {
    std::size_t at = finder.Find(text, 0);
    if (at == npos) return;
    slash = text.find('/');
    const std::size_t size = finder.Key().size();
    while (at != npos && at + size <= text.size()) {
        const std::size_t end = NextBreak(text, at + size);
        TakeLine(LineStart(text, floor, at), at, end);
        at = WalkWindows();
    }
}

// Whether the text still holds the line that ends at end and holds the key
// at at, once no zero byte is before end: a zero ends the text, and the line
// with it. The text is looked at for zeros a stretch at a time, just ahead
// of the lines taken, while it is fresh in the cache; a text where the key
// is not found is never looked at.
bool TMatchWalker::CheckForZero(std::size_t at, std::size_t& end) {
    const std::size_t to = std::min(text.size(), end + ZeroStretch);
    if (const void* zero = std::memchr(text.data() + clean, 0, to - clean)) {
        text = text.substr(0, std::size_t(static_cast<const char*>(zero) - text.data()));
        clean = text.size();
        end = std::min(end, text.size());
        return at + finder.Key().size() <= text.size();
    }
    clean = to;
    return true;
}

// Takes the lines that hold the key in the 64-byte windows from floor on,
// while each window holds one: the window's breaks give most lines' start
// and end. Gives the next occurrence left to Run, or npos.
std::size_t TMatchWalker::WalkWindows() {
    const std::size_t size = finder.Key().size();
    std::size_t scan = floor;      // the window's start: no occurrence before it is left
    std::size_t lineStart = floor; // where a line holding scan starts, if no break is between
    while (scan + 64 + size <= text.size()) {
        const TKeyFinder::TWindow window = finder.Window(text.data() + scan);
        // The text ahead is asked for now, to be in the cache when the zero
        // check and the windows get there: one cache line a window.
        if (scan + PrefetchAhead < text.size())
            __builtin_prefetch(text.data() + scan + PrefetchAhead);
        // Breaks before floor end lines already taken.
        const auto sinceFloor = [&] {
            return floor > scan ? ~Below(floor - scan) : ~std::uint64_t(0);
        };
        bool any = false;
        for (std::uint64_t starts = window.starts; starts; starts &= starts - 1) {
            const auto bit = unsigned(std::countr_zero(starts));
            const std::size_t at = scan + bit;
            if (at < floor || !finder.KeyAt(text.data() + at)) continue;
            any = true;
            const std::uint64_t before = window.breaks & Below(bit) & sinceFloor();
            const std::size_t start =
                before ? scan + std::size_t(64 - std::countl_zero(before)) : lineStart;
            const std::uint64_t after = bit + size < 64 ? window.breaks & ~Below(bit + size) : 0;
            const std::size_t end =
                after ? scan + std::size_t(std::countr_zero(after)) : NextBreak(text, at + size);
            if (!TakeLine(start, at, end)) return npos;
            lineStart = floor;
            if (!after) break; // the line ran past the window
        }
        // Where the key is seldom, the finder skips faster alone.
        if (!any) return finder.Find(text, scan + 64);
        if (floor >= scan + 64) {
            scan = lineStart = floor;
            continue;
        }
        if (const std::uint64_t last = window.breaks & sinceFloor())
            lineStart = scan + std::size_t(64 - std::countl_zero(last));
        scan += 64;
    }
    return finder.Find(text, std::max(scan, floor));
}

// Takes a line that holds the key, unless it is a date line; none before it
// is looked at again. false when the text ends before the key.
bool TMatchWalker::TakeLine(std::size_t start, std::size_t at, std::size_t end) {
    if (end > clean && !CheckForZero(at, end)) [[unlikely]] {
        floor = text.size();
        return false;
    }
    // Most lines hold no "/", and no line before them either.
    if (slash >= end || !FeedDateLines(end)) [[likely]]
        Take(text.substr(start, end - start));
    // One row per line, however often it holds the key.
    floor = end;
    return true;
}

// Feeds the reader every date line that ends at or before end, each once, in
// order; true when the line that ends there is one.
bool TMatchWalker::FeedDateLines(std::size_t end) {
    bool endsDate = false;
    for (; slash < end; slash = text.find('/', slash)) {
        const std::size_t lineEnd = NextBreak(text, slash);
        const std::string_view line = LineAround(slash, lineEnd);
        const bool date = IsDateLine(line);
        if (date) reader.Feed(line);
        endsDate = date && lineEnd == end;
        slash = lineEnd;
    }
    return endsDate;
}

// Blank lines are never tested; every other line holding the key is a
// match (date lines never come here).
void TMatchWalker::Take(std::string_view line) {
    if (static_cast<unsigned char>(line[0]) <= ' ' && TrimControls(line).empty()) return;
    if (reader.DateLines() != dayOf) [[unlikely]]
        AddDay();
    found.Matches.push_back({line, std::uint32_t(found.Days.size() - 1)});
}

void TMatchWalker::AddDay() {
    dayOf = reader.DateLines();
    found.Days.push_back({reader.CurrentDate(), reader.CurrentWeekday()});
}

} // namespace

ScheduleRow TStationMatches::Row(const TMatch& match) const {
    const TDay& day = Days[match.Day];
    return {day.Date, day.Weekday, std::string(ProgrammeTime(match.Line)),
            std::string(ProgrammeTitle(match.Line)), std::string(match.Line)};
}

std::size_t SearchStationText(std::string_view text, std::string_view key, TLines& lines,
                              TStationMatches& found) {
    lines.clear();
    TKeyFinder finder(key);
    return SearchStationText(text, finder, found);
}

std::size_t SearchStationText(std::string_view text, TKeyFinder& finder, TStationMatches& found) {
    found.Clear();
    const std::string_view key = finder.Key();
    if (key.empty() || key.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        return 0;
    if (!finder.Adapted()) finder.Adapt(text);
    TMatchWalker(text, finder, found).Run();
    return found.Matches.size();
}

bool SearchScheduleStation(TScheduleObject& schedule, std::int32_t offset, std::string_view key,
                           std::string& buffer, TLines& lines, TStationMatches& found) {
    lines.clear();
    found.Clear();
    if (!schedule.SelectStation(offset) || !schedule.ReadStationText(buffer)) {
        buffer.clear();
        return false;
    }
    SearchStationText(buffer, key, lines, found);
    return true;
}

bool SearchScheduleStation(TScheduleObject& schedule, std::int32_t offset, TKeyFinder& finder,
                           TReadAhead& ahead, std::string_view& text, TStationMatches& found) {
    if (!schedule.ReadStation(offset, ahead, text)) {
        found.Clear();
        return false;
    }
    SearchStationText(text, finder, found);
    return true;
}
