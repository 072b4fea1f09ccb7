#include "SampleGuide.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <algorithm>
#include <string>
#include <vector>

#include "platform/CodePage.h"

namespace {

struct Programme {
    QDate date;
    int minutes;
    std::string title; // UTF-8
};

// The programme lines of a station text, with the dates of their date lines.
std::vector<Programme> Programmes(const TSampleOptions& options, int index) {
    const QString text = platform::GbkToQString(SampleStationText(options, index));
    std::vector<Programme> programmes;
    QDate date(options.year, options.month, options.day);
    bool first = true;
    for (const QString& line : text.split(QStringLiteral("\r\n"))) {
        if (line.contains(u'/')) {
            if (!first) date = date.addDays(1);
            first = false;
        } else if (line.size() > 5) {
            programmes.push_back({date, line.left(2).toInt() * 60 + line.mid(3, 2).toInt(),
                                  line.mid(6).toStdString()});
        }
    }
    return programmes;
}

// The start of a programme at +08:00 written at another offset.
std::string Start(const Programme& p, int offsetMinutes) {
    const QDateTime at = QDateTime(p.date, QTime(0, 0), Qt::OffsetFromUTC, 8 * 3600)
                             .addSecs(p.minutes * 60)
                             .toOffsetFromUtc(offsetMinutes * 60);
    const int off = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    return at.toString(QStringLiteral("yyyyMMddhhmmss")).toStdString() +
           QString::asprintf(" %c%02d%02d", offsetMinutes < 0 ? '-' : '+', off / 60, off % 60)
               .toStdString();
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else
            out += c;
    }
    return out;
}

void Channel(std::ostream& out, const TSampleOptions& options, int index) {
    out << "  <channel id=\"s" << index << ".cn\">\n"
        << "    <display-name lang=\"zh\">"
        << Escaped(platform::GbkToUtf8(SampleStationName(options, index))) << "</display-name>\n"
        << "    <display-name lang=\"en\">Station " << index << "</display-name>\n"
        << "  </channel>\n";
}

void ProgrammeElement(std::ostream& out, const TSampleGuideOptions& options, int index,
                      const Programme& p, int n) {
    static const int Offsets[] = {480, 0, -300, 60, 330};
    const int offset = Offsets[(index + n) % 5];
    out << "  <programme start=\"" << Start(p, offset) << "\"";
    if (options.details) out << " stop=\"" << Start({p.date, p.minutes + 15, {}}, offset) << "\"";
    out << " channel=\"s" << index << ".cn\">\n"
        << "    <title lang=\"zh\">" << Escaped(p.title) << "</title>\n";
    if (options.details) out << "    <desc lang=\"zh\">" << Escaped(p.title) << "。</desc>\n";
    out << "  </programme>\n";
}

} // namespace

void WriteSampleGuide(std::ostream& out, const TSampleGuideOptions& options) {
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<!DOCTYPE tv SYSTEM \"xmltv.dtd\">\n"
        << "<tv generator-info-name=\"vimbrel sample\">\n";
    for (int i = 0; i < options.stations.stations; ++i)
        Channel(out, options.stations, i);
    for (int i = 0; i < options.stations.stations; ++i) {
        std::vector<Programme> programmes = Programmes(options.stations, i);
        if (options.reversed) std::reverse(programmes.begin(), programmes.end());
        for (std::size_t n = 0; n < programmes.size(); ++n)
            ProgrammeElement(out, options, i, programmes[n], int(n));
    }
    out << "</tv>\n";
}
