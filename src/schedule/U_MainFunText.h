// The text of one station's week: its lines, and the rows taken from them.
// Texts are GBK bytes; positions and lengths count bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The lines of a text: a line ends at CR LF, a lone CR or a lone LF; a zero
// byte ends the text; a line end at the very end adds no empty line. The views
// point into text, which must outlive them.
using TLines = std::vector<std::string_view>;
TLines TextLines(std::string_view text);
void TextLines(std::string_view text, TLines& lines); // reuses the vector's storage

struct ScheduleRow {
    std::string Date;    // 20yy-mm-dd from the last date line above
    std::string Weekday; // the rest of that date line, trimmed
    std::string Time;    // the programme line's first 5 bytes
    std::string Title;   // the rest of it, trimmed
    std::string Line;    // the programme line as read
};

// Removes the blanks and control bytes (values 0x20 and below) from both
// ends: what a station text counts as empty around its fields.
std::string_view TrimControls(std::string_view text);
// The parts of a programme line: its first 5 bytes, and the rest trimmed.
std::string_view ProgrammeTime(std::string_view line);
std::string_view ProgrammeTitle(std::string_view line);
bool IsDateLine(std::string_view line); // holds both "/" and "星期"
std::string ConvertDate(std::string_view dateText);
std::string SplitField(std::string_view text, std::string_view separator, int n);

// Reads one station's lines in order, carrying the current date and weekday
// from each date line to the programme lines below it.
class TStationRowReader {
public:
    enum TLineKind { lkDate, lkBlank, lkProgramme };
    TLineKind Feed(std::string_view line);
    // The row of a programme line just fed.
    ScheduleRow Row(std::string_view line) const;
    void RowInto(std::string_view line, ScheduleRow& row) const;
    // The date (converted) and weekday of the last date line fed.
    const std::string& CurrentDate() const { return date; }
    const std::string& CurrentWeekday() const { return weekday; }
    // How many date lines have been fed: rows fed under the same count share
    // their date and weekday.
    int DateLines() const { return dateLines; }

private:
    // Already converted: before the first date line it is the conversion of
    // an empty date text, "20--".
    std::string date = "20--";
    std::string weekday;
    int dateLines = 0;
};

// Every row of a station's lines, in line order.
std::vector<ScheduleRow> StationRows(const TLines& lines);
