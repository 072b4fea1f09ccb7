// The programme search over the station texts: which programme lines of a
// station hold a key, each with its date and weekday.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "schedule/U_MainFunSearchFind.h"
#include "schedule/U_MainFunText.h"
#include "schedule/U_TvSchedule.h"

// One (GBK name, record offset) pair per station, in list order: what a search
// worker gets of the main window's station list.
using StationSnapshot = std::vector<TStationEntry>;

// The programme lines of one station that hold a search key, in line order,
// each with the date and weekday of its date line. Kept from station to
// station so that its storage is reused.
struct TStationMatches {
    struct TDay {
        std::string Date, Weekday; // as in ScheduleRow
    };
    struct TMatch {
        std::string_view Line; // into the station text
        std::uint32_t Day;     // index into Days
    };
    std::vector<TDay> Days; // only those of matching lines
    std::vector<TMatch> Matches;

    void Clear() {
        Days.clear();
        Matches.clear();
    }
    ScheduleRow Row(const TMatch& match) const;
};

// Tests the programme lines of one station text against key (GBK bytes): a
// line matches when the key's bytes occur in it anywhere, case distinguished,
// also from the second byte of a two-byte character. Date and blank lines are
// never tested. An empty key, or one holding CR, LF or a zero byte (which no
// line holds), matches nothing. found receives the matching lines. Gives their
// number.
std::size_t SearchStationText(std::string_view text, const TKeyFinder& key, TStationMatches& found);

// Reads the station at offset (TScheduleObject::ReadStation) and searches it
// as SearchStationText does, the key adapted to the first text it meets
// (TKeyFinder::Adapt); the station's name is then
// schedule.StationDisplayName(), and found points into text, the station's
// text until the next read. false when the record cannot be read (a damaged
// file, or an object without a file): nothing is found then.
bool SearchScheduleStation(TScheduleObject& schedule, std::int32_t offset, TKeyFinder& key,
                           std::string_view& text, TStationMatches& found);
