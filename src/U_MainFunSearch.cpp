#include "U_MainFunSearch.h"

#include <cstring>
#include <functional>

#include "U_TvSchedule.h"

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
