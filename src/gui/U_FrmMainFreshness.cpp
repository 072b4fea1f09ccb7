#include "gui/U_FrmMainFreshness.h"

#include <QDateTime>
#include <cmath>

#include "gui/U_MainFunGuiModel.h"

namespace {

// Days since 30 December 1899 as a local date and time, to the minute.
QDateTime FromDays(double days) {
    const double whole = std::floor(days);
    const QDate date = QDate(1899, 12, 30).addDays(qint64(whole));
    const int minutes = int(std::lround((days - whole) * 24 * 60));
    return QDateTime(date, QTime(0, 0)).addSecs(qint64(minutes) * 60);
}

int Digits2(std::string_view text, std::size_t at) {
    const char a = text[at], b = text[at + 1];
    if (a < '0' || a > '9' || b < '0' || b > '9') return -1;
    return (a - '0') * 10 + (b - '0');
}

} // namespace

QString FreshnessText(double buildTime, const QDate& lastDate, const QDate& today) {
    if (lastDate.isValid() && today > lastDate) return "节目表已过期，请更新节目表";
    if (buildTime <= 0) return {};
    return "节目表更新于 " + FromDays(buildTime).toString("yyyy-MM-dd hh:mm");
}

QDate StationDate(std::string_view text) {
    if (text.size() < 8 || text[2] != '/' || text[5] != '/') return {};
    const int year = Digits2(text, 0), month = Digits2(text, 3), day = Digits2(text, 6);
    if (year < 0 || month < 0 || day < 0) return {};
    return QDate(2000 + year, month, day);
}

QDate LastDateOnShow(const TScheduleTableModel& model) {
    const int rows = model.rowCount();
    return rows > 0 ? StationDate(model.Row(rows - 1).Date) : QDate();
}
