#include "U_MainFun.h"

#include <bit>
#include <cstring>
#include <functional>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "U_MainFunDataFolder.h"
#include "U_TvSchedule.h"
#include "archive/TUnZip.h"
#include "platform/Shell.h"
#include "platform/CodePage.h"
#include "platform/Files.h"

using namespace platform;

// ---- Program folder ---------------------------------------------------------

namespace {

std::string& ProgramFolderStorage() {
    static std::string folder = OpenDataFolder();
    return folder;
}

} // namespace

const std::string& ProgramFolder() {
    return ProgramFolderStorage();
}

void SetProgramFolder(std::string folder) {
    if (!folder.empty() && folder.back() != PathDelim) folder += PathDelim;
    ProgramFolderStorage() = std::move(folder);
}

std::string ScheduleFilePath() {
    return ProgramFolder() + "lastsch.sch";
}

// ---- Station schedule text --------------------------------------------------

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

TLines TextLines(std::string_view text) {
    TLines lines;
    TextLines(text, lines);
    return lines;
}

std::string_view Trim(std::string_view text) {
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
        weekday = Trim(line.size() > 8 ? line.substr(8) : std::string_view());
        ++dateLines;
        return lkDate;
    }
    return Trim(line).empty() ? lkBlank : lkProgramme;
}

std::string_view ProgrammeTime(std::string_view line) {
    return line.substr(0, 5);
}

std::string_view ProgrammeTitle(std::string_view line) {
    return Trim(line.size() > 5 ? line.substr(5) : std::string_view());
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

// ---- Programme search -------------------------------------------------------

namespace {

// The first occurrence of key in text at or after from, or npos: for one
// scan of a long text, where glibc's memmem is fast.
std::size_t FindKey(std::string_view text, std::size_t from, std::string_view key) {
    if (from >= text.size()) return std::string_view::npos;
    const void* hit = memmem(text.data() + from, text.size() - from, key.data(), key.size());
    return hit ? std::size_t(static_cast<const char*>(hit) - text.data()) : std::string_view::npos;
}

// Finds a key again and again in one text, a few lines ahead each time, where
// memmem would spend more on building its tables anew than on the search.
class TKeyFinder {
public:
    TKeyFinder(std::string_view text, std::string_view key)
        : text(text), key(key), searcher(key.begin(), key.end()) {}
    // The first occurrence at or after from, or npos.
    std::size_t From(std::size_t from) const {
        if (from >= text.size()) return std::string_view::npos;
        if (key.size() == 1) {
            const void* hit = std::memchr(text.data() + from, key[0], text.size() - from);
            return hit ? std::size_t(static_cast<const char*>(hit) - text.data())
                       : std::string_view::npos;
        }
        auto hit = searcher(text.begin() + std::ptrdiff_t(from), text.end()).first;
        return hit == text.end() ? std::string_view::npos : std::size_t(hit - text.begin());
    }

private:
    std::string_view text, key;
    std::boyer_moore_horspool_searcher<std::string_view::const_iterator> searcher;
};

} // namespace

ScheduleRow TStationMatches::Row(const TMatch& match) const {
    const TDay& day = Days[match.Day];
    return {day.Date, day.Weekday, std::string(ProgrammeTime(match.Line)),
            std::string(ProgrammeTitle(match.Line)), std::string(match.Line)};
}

std::size_t SearchStationText(std::string_view text, std::string_view key, TLines& lines,
                              TStationMatches& found) {
    lines.clear();
    found.Clear();
    if (key.empty() || key.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        return 0;
    // Most stations do not hold a rare key at all: one pass over the whole
    // text spares them the line splitting.
    std::size_t next = FindKey(text, 0, key);
    if (next == std::string_view::npos) return 0;
    const TKeyFinder finder(text, key);
    TextLines(text, lines);
    TStationRowReader reader;
    int dayOf = -1; // the reader's DateLines() of the last day in found
    // Occurrences are found in the whole text, ahead of the lines: the first
    // at or after a line's start tells whether the line holds one. A key holds
    // no line end, so an occurrence that starts inside a line lies inside it.
    // Only lines that hold a "/" can be date lines; a week has a few.
    std::size_t slash = text.find('/');
    for (std::string_view line : lines) {
        const std::size_t start = std::size_t(line.data() - text.data());
        if (slash < start) slash = text.find('/', start);
        if (reader.Feed(line, slash < start + line.size()) != TStationRowReader::lkProgramme)
            continue;
        if (next < start) next = finder.From(start);
        if (next == std::string_view::npos) break;
        if (next + key.size() > start + line.size()) continue;
        if (reader.DateLines() != dayOf) {
            dayOf = reader.DateLines();
            found.Days.push_back({reader.CurrentDate(), reader.CurrentWeekday()});
        }
        found.Matches.push_back({line, std::uint32_t(found.Days.size() - 1)});
    }
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

// ---- Update helpers ---------------------------------------------------------

void ExtractArchive(archive::TUnZip& extractor, const std::string& archive, const std::string& folder) {
    extractor.SetArchiveFile(archive);
    extractor.FileSpec().Clear();
    extractor.FileSpec().Add("*.*");
    extractor.SetExtractDir(folder);
    extractor.Extract();
}

bool DeleteFolder(const std::string& path) {
    const std::string from = path + std::string(2, '\0'); // a list of one, ended by an empty one
    SHFILEOPSTRUCTA op{};
    op.hwnd = nullptr;
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.pTo = "";
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION;
    return SHFileOperationA(&op) == 0;
}
