#include "schedule/U_MainFunICalendar.h"

#include <QCryptographicHash>
#include <QTimeZone>
#include <libical/ical.h>
#include <memory>

#include "platform/CodePage.h"

namespace {

struct TFreeComponent {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using TComponent = std::unique_ptr<icalcomponent, TFreeComponent>;

// The zone local times are written in; none (UTC) for one libical lacks.
icaltimezone* LocalZone(const std::string& id) {
    const std::string zone = id.empty() ? QTimeZone::systemTimeZoneId().toStdString() : id;
    return zone.empty() ? nullptr : icaltimezone_get_builtin_timezone(zone.c_str());
}

icaltimetype IcalTime(const QDateTime& local, icaltimezone* zone) {
    const QDateTime at = zone ? local : local.toUTC();
    icaltimetype time = icaltime_null_time();
    time.year = at.date().year();
    time.month = at.date().month();
    time.day = at.date().day();
    time.hour = at.time().hour();
    time.minute = at.time().minute();
    time.second = at.time().second();
    time.is_date = 0;
    return icaltime_set_timezone(&time, zone ? zone : icaltimezone_get_utc_timezone());
}

// The same programme slot of a station has the same id in every file, so
// that importing a newer week updates the events instead of doubling them.
std::string EventUid(const std::string& stationUtf8, const QDateTime& start) {
    const QByteArray station =
        QCryptographicHash::hash(QByteArray::fromStdString(stationUtf8), QCryptographicHash::Sha1);
    return start.toString("yyyyMMdd'T'hhmm").toStdString() + "-" +
           station.toHex().left(16).toStdString() + "@vimbrel";
}

icalcomponent* Alarm(int minutes, const std::string& title) {
    icalcomponent* alarm = icalcomponent_new_valarm();
    icalcomponent_add_property(alarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
    icaltriggertype trigger = icaltriggertype_from_int(0);
    trigger.duration = icaldurationtype_from_int(-60 * minutes);
    icalcomponent_add_property(alarm, icalproperty_new_trigger(trigger));
    icalcomponent_add_property(alarm, icalproperty_new_description(title.c_str()));
    return alarm;
}

} // namespace

std::string ICalendarText(const TProgrammeEvents& events, const TICalendarOptions& options) {
    TComponent calendar(icalcomponent_new_vcalendar());
    icalcomponent* cal = calendar.get();
    icalcomponent_add_property(cal, icalproperty_new_version("2.0"));
    icalcomponent_add_property(cal, icalproperty_new_prodid("-//Vimbrel//Vimbrel//ZH"));
    icalcomponent_add_property(cal, icalproperty_new_calscale("GREGORIAN"));
    icalcomponent_add_property(cal, icalproperty_new_method(ICAL_METHOD_PUBLISH));
    if (!options.CalendarName.empty()) {
        icalproperty* name = icalproperty_new_x(options.CalendarName.c_str());
        icalproperty_set_x_name(name, "X-WR-CALNAME");
        icalcomponent_add_property(cal, name);
    }
    icaltimezone* zone = LocalZone(options.TimeZone);
    if (zone)
        icalcomponent_add_component(cal, icalcomponent_new_clone(icaltimezone_get_component(zone)));

    const icaltimetype stamp = icaltime_current_time_with_zone(icaltimezone_get_utc_timezone());
    platform::GbkToUtf8Table utf8;
    std::string station, title;
    for (const TProgrammeEvent& event : events) {
        if (!event.Start || !event.End) continue;
        station.clear();
        title.clear();
        utf8.Append(event.Station, station);
        utf8.Append(event.Row.Title, title);
        icalcomponent* vevent = icalcomponent_new_vevent();
        icalcomponent_set_uid(vevent, EventUid(station, *event.Start).c_str());
        icalcomponent_set_dtstamp(vevent, stamp);
        icalcomponent_set_dtstart(vevent, IcalTime(*event.Start, zone));
        icalcomponent_set_dtend(vevent, IcalTime(*event.End, zone));
        icalcomponent_set_summary(vevent, title.c_str());
        icalcomponent_set_location(vevent, station.c_str());
        if (options.AlarmMinutes >= 0)
            icalcomponent_add_component(vevent, Alarm(options.AlarmMinutes, title));
        icalcomponent_add_component(cal, vevent);
    }
    char* text = icalcomponent_as_ical_string_r(cal);
    std::string out(text ? text : "");
    icalmemory_free_buffer(text);
    return out;
}
