#include "schedule/U_MainFunSearch.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "schedule/U_MainFunSearchFind.h"
#include "schedule/U_TvSchedule.h"

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool BreaksLine(char c) {
    return c == '\r' || c == '\n';
}

// Where the line holding at starts: after the last CR or LF before it, and
// not before floor.
std::size_t LineStart(std::string_view text, std::size_t floor, std::size_t at) {
    while (at > floor && !BreaksLine(text[at - 1]))
        --at;
    return at;
}

// Where the line holding at ends: at the next CR or LF, or the end of text.
// memchr finds the LF in the next few kilobytes, where lines end, and the CR
// before it; a longer stretch without an LF is walked byte by byte.
std::size_t LineEnd(std::string_view text, std::size_t at) {
    const char* const p = text.data() + at;
    std::size_t n = std::min<std::size_t>(text.size() - at, 4096);
    if (const void* lf = std::memchr(p, '\n', n)) {
        n = std::size_t(static_cast<const char*>(lf) - p);
    } else if (n < text.size() - at) {
        while (at < text.size() && !BreaksLine(text[at]))
            ++at;
        return at;
    }
    const void* cr = std::memchr(p, '\r', n);
    return at + (cr ? std::size_t(static_cast<const char*>(cr) - p) : n);
}

// The date lines of text, in order. Date lines hold a "/".
std::vector<std::string_view> DateLinesOf(std::string_view text) {
    std::vector<std::string_view> dates;
    for (std::size_t from = 0; from < text.size();) {
        const void* at = std::memchr(text.data() + from, '/', text.size() - from);
        if (!at) break;
        const auto slash = std::size_t(static_cast<const char*>(at) - text.data());
        const std::size_t start = LineStart(text, from, slash);
        const std::string_view line = text.substr(start, LineEnd(text, slash) - start);
        if (IsDateLine(line)) dates.push_back(line);
        from = start + line.size();
    }
    return dates;
}

} // namespace

ScheduleRow TStationMatches::Row(const TMatch& match) const {
    const TDay& day = Days[match.Day];
    return {day.Date, day.Weekday, std::string(ProgrammeTime(match.Line)),
            std::string(ProgrammeTitle(match.Line)), std::string(match.Line)};
}

// Walks the text from occurrence to occurrence of the key (TKeyFinder): each
// widens to its line, and the search goes on after that line. The date lines,
// found once, give each match its date: the reader reads the last one above
// it. The lines found are those of TextLines, as the key holds no line end.
std::size_t SearchStationText(std::string_view text, const TKeyFinder& finder,
                              TStationMatches& found) {
    found.Clear();
    const std::string_view key = finder.Key();
    if (key.empty() || key.find_first_of(std::string_view("\r\n\0", 3)) != npos) return 0;
    std::size_t at = finder.Find(text, 0);
    if (at == npos) return 0;
    text = text.substr(0, text.find('\0')); // a zero byte ends the text
    const std::vector<std::string_view> dates = DateLinesOf(text);
    std::size_t nextDate = 0; // the first date line below the last match line
    TStationRowReader reader;
    int dayOf = -1; // the reader's DateLines() of the last day in found
    for (std::size_t done = 0; at != npos && at + key.size() <= text.size();
         at = finder.Find(text, done)) {
        const std::size_t start = LineStart(text, done, at);
        const std::string_view line = text.substr(start, LineEnd(text, at + key.size()) - start);
        done = start + line.size(); // one row per line, however often it holds the key
        const std::size_t passed = nextDate;
        while (nextDate < dates.size() && dates[nextDate].data() <= line.data())
            ++nextDate;
        if (nextDate > passed) reader.Feed(dates[nextDate - 1]);
        // Date lines and blank lines are never matches.
        if (nextDate > passed && dates[nextDate - 1].data() == line.data()) continue;
        if (TrimControls(line).empty()) continue;
        if (reader.DateLines() != dayOf) {
            dayOf = reader.DateLines();
            found.Days.push_back({reader.CurrentDate(), reader.CurrentWeekday()});
        }
        found.Matches.push_back({line, std::uint32_t(found.Days.size() - 1)});
    }
    return found.Matches.size();
}

bool SearchScheduleStation(TScheduleObject& schedule, std::int32_t offset, TKeyFinder& key,
                           std::string_view& text, TStationMatches& found) {
    found.Clear();
    if (!schedule.ReadStation(offset, text)) return false;
    if (!key.Adapted() && !text.empty()) key.Adapt(text);
    SearchStationText(text, key, found);
    return true;
}
