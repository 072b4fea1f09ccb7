#include "schedule/U_MainFunText.h"

#include <algorithm>

void TextLines(std::string_view text, TLines& lines) {
    lines.clear();
    text = text.substr(0, text.find('\0')); // a zero byte ends the text
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = start;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        lines.push_back(text.substr(start, end - start));
        // A line end at the very end adds no line; CR LF is one line end.
        start = end + 1;
        if (end < text.size() && text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
}

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

TStationRowReader::TLineKind TStationRowReader::Feed(std::string_view line) {
    if (IsDateLine(line)) {
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
