// TextLines and StationRows on arbitrary station text, and the on-air rule:
// the week the views read agrees with the rows' starts as every caller has them.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "schedule/U_MainFunOnAir.h"
#include "schedule/U_MainFunText.h"

// Starts in a zone without summer time: a local time that does not exist
// would move the QDateTime of a start, not the rule's minutes.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TZ", "UTC", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    TLines lines = TextLines(text);
    for (std::string_view line : lines)
        if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
            __builtin_trap();
    const std::vector<ScheduleRow> rows = StationRows(lines);
    for (const ScheduleRow& row : rows)
        if (row.Time.size() > 5 || row.Line.size() > size) __builtin_trap();
    const TProgrammeStarts starts = ProgrammeStarts(rows);
    TStationWeek week;
    ReadStationWeek(std::string(text), week);
    if (week.Starts.size() != rows.size()) __builtin_trap();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (week.Title(i) != rows[i].Title) __builtin_trap();
        if ((week.Starts[i] == NoStart) != !starts[i]) __builtin_trap();
        if (starts[i] && StartMinute(*starts[i]) != week.Starts[i]) __builtin_trap();
    }
    // At the start of each row: what is on has begun, what is next has not.
    for (const TStartMinute at : week.Starts) {
        if (at == NoStart) continue;
        const TOnAir onAir = OnAirAt(week.Starts, at);
        if (onAir.Current >= int(rows.size()) || onAir.Next >= int(rows.size())) __builtin_trap();
        if (onAir.Current >= 0 && week.Starts[std::size_t(onAir.Current)] > at) __builtin_trap();
        if (onAir.Next >= 0 && week.Starts[std::size_t(onAir.Next)] <= at) __builtin_trap();
        if (onAir.Next >= 0 && onAir.Next <= onAir.Current) __builtin_trap();
    }
    SplitField(text, "/", int(size % 5) - 1);
    return 0;
}
