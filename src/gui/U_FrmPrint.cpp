#include "gui/U_FrmPrint.h"

#include <QPainter>
#include <QPrinter>
#include <cmath>

#include "gui/U_MainFunGuiModel.h"
#include "platform/CodePage.h"

namespace {

// Fonts that hold Chinese, the first one installed wins (the package
// recommends WenQuanYi Micro Hei); fontconfig falls back for the rest.
const QStringList FontFamilies = {"WenQuanYi Micro Hei", "Noto Sans CJK SC", "Source Han Sans SC",
                                  "宋体"};
constexpr double MarginMm = 15;
// Lengths of the layout, in points.
constexpr double TimeColumn = 42; // from the left edge of a band to its title
constexpr double BandPadding = 2; // inside a band, around its text
constexpr double BandGap = 1.5;   // white between two bands
constexpr double HeadingGap = 12; // under the heading
constexpr double DayGap = 6;      // under a day's heading

QFont Font(double points, bool bold = false) {
    QFont font;
    font.setFamilies(FontFamilies);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// One thing on a page: a line of the heading, a day's heading or a programme.
struct TItem {
    enum TKind { ikStation, ikBuilt, ikDay, ikRow } Kind;
    QString Text, Title; // Text is the time of a row
    QColor Band;
    double Height = 0;
    int Page = 0;
    double Top = 0;
};

// The fonts and lengths of the layout, in the printer's pixels.
class TWeekLayout {
public:
    explicit TWeekLayout(QPrinter* printer)
        : printer(printer),
          dpi(printer->logicalDpiY()), fonts{Font(18, true), Font(9), Font(13, true), Font(10.5),
                                             Font(10.5, true)} {
        const QRectF paper = printer->pageRect(QPrinter::DevicePixel);
        footFont = Font(8);
        footHeight = 2.5 * QFontMetricsF(footFont, printer).height();
        body = QSizeF(paper.width(), paper.height() - footHeight);
    }

    double Px(double points) const { return points * dpi / 72; }
    const QFont& FontOf(TItem::TKind kind) const { return fonts[kind]; }
    const QFont& TitleFont() const { return fonts[4]; }
    QRectF TitleRect(double top, double height) const {
        const double left = Px(TimeColumn), pad = Px(BandPadding);
        return QRectF(left, top + pad, body.width() - left - pad, height - 2 * pad);
    }

    double HeightOf(const TItem& item) const {
        const QFontMetricsF metrics(FontOf(item.Kind), printer);
        switch (item.Kind) {
        case TItem::ikStation:
            return metrics.height();
        case TItem::ikBuilt:
            return metrics.height() + Px(HeadingGap);
        case TItem::ikDay:
            return metrics.height() + Px(DayGap);
        case TItem::ikRow:
            break;
        }
        const QRectF wrapped = QFontMetricsF(TitleFont(), printer)
                                   .boundingRect(TitleRect(0, 1e9), Qt::TextWordWrap, item.Title);
        return std::max(metrics.height(), wrapped.height()) + 2 * Px(BandPadding) + Px(BandGap);
    }

    // Puts each item on its page; gives the number of pages. A day starts a
    // page, so that a day is found by its page and its heading never stands
    // alone at the foot of one.
    int Paginate(std::vector<TItem>& items) const {
        int page = 0;
        double y = 0;
        bool firstDay = true;
        for (TItem& item : items) {
            item.Height = HeightOf(item);
            const bool newDay = item.Kind == TItem::ikDay && !std::exchange(firstDay, false);
            if (newDay || (y > 0 && y + item.Height > body.height())) {
                ++page;
                y = 0;
            }
            item.Page = page;
            item.Top = y;
            y += item.Height;
        }
        return page + 1;
    }

    void Paint(QPainter& painter, const TItem& item) const {
        painter.setFont(FontOf(item.Kind));
        if (item.Kind != TItem::ikRow) {
            painter.drawText(QRectF(0, item.Top, body.width(), item.Height),
                             Qt::AlignLeft | Qt::AlignTop, item.Text);
            return;
        }
        const double band = item.Height - Px(BandGap), pad = Px(BandPadding);
        painter.fillRect(QRectF(0, item.Top, body.width(), band), item.Band);
        painter.drawText(QRectF(pad, item.Top + pad, Px(TimeColumn) - pad, band - 2 * pad),
                         Qt::AlignLeft | Qt::AlignTop, item.Text);
        painter.setFont(TitleFont());
        painter.drawText(TitleRect(item.Top, band), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                         item.Title);
    }

    void PaintFoot(QPainter& painter, const QString& station, int page, int pages) const {
        painter.setFont(footFont);
        const QRectF foot(0, body.height() + footHeight / 2, body.width(), footHeight / 2);
        painter.drawText(foot, Qt::AlignLeft | Qt::AlignBottom, station);
        painter.drawText(foot, Qt::AlignRight | Qt::AlignBottom,
                         QString("第 %1 页，共 %2 页").arg(page + 1).arg(pages));
    }

private:
    QPrinter* printer;
    double dpi;
    std::array<QFont, 5> fonts; // by TItem::TKind, then the title's
    QFont footFont;
    double footHeight;
    QSizeF body; // the part of the page above the foot line
};

std::vector<TItem> WeekItems(const TPrintWeek& week) {
    std::vector<TItem> items;
    items.reserve(week.Rows.size() + 16);
    items.push_back({TItem::ikStation, week.Station, {}, {}});
    QString built = "节目时间表";
    if (week.BuildTime.isValid())
        built += "，生成于 " + week.BuildTime.toString("yyyy-MM-dd hh:mm");
    items.push_back({TItem::ikBuilt, built, {}, {}});
    platform::GbkDecoder decode;
    const ScheduleRow* dayOf = nullptr;
    for (const ScheduleRow& row : week.Rows) {
        if (!dayOf || row.Date != dayOf->Date || row.Weekday != dayOf->Weekday) {
            const QString weekday = decode(row.Weekday);
            items.push_back({TItem::ikDay,
                             decode(row.Date) + (weekday.isEmpty() ? "" : "  " + weekday),
                             {},
                             {}});
            dayOf = &row;
        }
        items.push_back(
            {TItem::ikRow, decode(row.Time), decode(row.Title), ScheduleRowColor(row.Weekday)});
    }
    return items;
}

} // namespace

QDateTime ScheduleBuildTime(double days) {
    if (!(days > 0) || days > 2958465) return {}; // 9999-12-31 is the last day
    const double whole = std::floor(days);
    const QDate date = QDate(1899, 12, 30).addDays(qint64(whole));
    const int ms = int(std::lround((days - whole) * 86400000.0));
    return QDateTime(date, QTime(0, 0)).addMSecs(std::min(ms, 86399999));
}

int PrintWeek(const TPrintWeek& week, QPrinter* printer) {
    const TWeekLayout layout(printer);
    std::vector<TItem> items = WeekItems(week);
    const int pages = layout.Paginate(items);
    QPainter painter(printer);
    if (!painter.isActive()) return pages; // nothing to paint on
    painter.setPen(Qt::black);
    int page = 0;
    for (const TItem& item : items) {
        for (; page < item.Page; ++page) {
            layout.PaintFoot(painter, week.Station, page, pages);
            printer->newPage();
        }
        layout.Paint(painter, item);
    }
    layout.PaintFoot(painter, week.Station, page, pages);
    return pages;
}

TFrmPrint::TFrmPrint(QWidget* parent, TPrintWeek week)
    : QPrintPreviewDialog(parent), week(std::move(week)) {
    setWindowTitle("打印预览时间表 - " + this->week.Station);
    QPrinter* paper = printer();
    paper->setPageSize(QPageSize(QPageSize::A4));
    paper->setPageOrientation(QPageLayout::Portrait);
    paper->setPageMargins(QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm),
                          QPageLayout::Millimeter);
    paper->setDocName(this->week.Station);
    connect(this, &QPrintPreviewDialog::paintRequested, this, &TFrmPrint::PrintPreviewPaint);
}

TFrmPrint::~TFrmPrint() = default;

void TFrmPrint::PrintPreviewPaint(QPrinter* printer) {
    pages = PrintWeek(week, printer);
}
