#include "schedule/U_MainFunCsv.h"

#include "platform/CodePage.h"

void AppendCsvField(std::string_view field, std::string& out) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

std::string CsvText(const TProgrammeEvents& events) {
    std::string out = "电视台,日期,星期,时间,节目\r\n";
    platform::GbkToUtf8Table utf8;
    std::string field;
    for (const TProgrammeEvent& event : events) {
        const std::string_view fields[] = {event.Station, event.Row.Date, event.Row.Weekday,
                                           event.Row.Time, event.Row.Title};
        for (std::size_t i = 0; i < std::size(fields); ++i) {
            if (i > 0) out += ',';
            field.clear();
            utf8.Append(fields[i], field);
            AppendCsvField(field, out);
        }
        out += "\r\n";
    }
    return out;
}
