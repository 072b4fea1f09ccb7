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

} // namespace

QString FreshnessText(double buildTime, const QDate& lastDate, const QDate& today) {
    if (lastDate.isValid() && today > lastDate) return "节目表已过期，请更新节目表";
    if (buildTime <= 0) return {};
    return "节目表更新于 " + FromDays(buildTime).toString("yyyy-MM-dd hh:mm");
}

QDate StationDate(std::string_view text) {
    if (text.size() != 10) return {};
    return QDate::fromString(QString::fromLatin1(text.data(), 10), "yyyy-MM-dd");
}

QDate LastDateOnShow(const TScheduleTableModel& model) {
    const int rows = model.rowCount();
    return rows > 0 ? StationDate(model.Row(rows - 1).Date) : QDate();
}
