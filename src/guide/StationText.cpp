#include "guide/StationText.h"

#include <algorithm>

#include "platform/CodePage.h"

namespace guide {
namespace {

const char* const Weekdays[] = {"星期一", "星期二", "星期三", "星期四",
                                "星期五", "星期六", "星期日"};

// Two digits with a leading zero, then the separator: the date and time
// fields of a station text. Called for every line, so no printf.
void TwoDigits(std::string& text, int value, char separator) {
    text += char('0' + value / 10 % 10);
    text += char('0' + value % 10);
    text += separator;
}

void DateLine(std::string& text, const QDate& day) {
    TwoDigits(text, day.year() % 100, '/');
    TwoDigits(text, day.month(), '/');
    TwoDigits(text, day.day(), ' ');
    text += Weekdays[day.dayOfWeek() - 1];
    text += "\r\n";
}

void ProgrammeLine(std::string& text, const TGuideProgramme& p, std::string_view title) {
    const int minutes = int(p.start % 86400 / 60);
    TwoDigits(text, minutes / 60, ':');
    TwoDigits(text, minutes % 60, ' ');
    text += title;
    text += "\r\n";
}

} // namespace

std::string StationText(const TGuideWindow& window, TProgrammeList& list) {
    std::vector<TGuideProgramme>& programmes = list.items;
    std::stable_sort(
        programmes.begin(), programmes.end(),
        [](const TGuideProgramme& a, const TGuideProgramme& b) { return a.start < b.start; });
    // Built in UTF-8 and encoded once: one call per station, not per title.
    std::string text;
    auto next = programmes.begin();
    for (int d = 0; d < window.days; ++d) {
        DateLine(text, window.from.addDays(d));
        for (; next != programmes.end() && next->start / 86400 == d; ++next)
            ProgrammeLine(text, *next, list.Title(*next));
        text += "\r\n";
    }
    return platform::QStringToGbk(QString::fromUtf8(text.data(), qsizetype(text.size())));
}

} // namespace guide
