// iCalendar text as libical's parser reads it back, for the tests of the
// files the program writes.
#pragma once

#include <gtest/gtest.h>
#include <libical/ical.h>
#include <string>
#include <vector>

// An event as libical's parser reads it back.
struct ReadEvent {
    std::string summary, location, start, end, zone;
    int alarmSeconds = 1; // 1: no alarm
};

inline std::vector<ReadEvent> ReadCalendar(const std::string& text) {
    icalcomponent* calendar = icalparser_parse_string(text.c_str());
    EXPECT_NE(calendar, nullptr);
    std::vector<ReadEvent> events;
    if (!calendar) return events;
    for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
        ReadEvent r;
        r.summary = icalcomponent_get_summary(e);
        r.location = icalcomponent_get_location(e);
        const icaltimetype start = icalcomponent_get_dtstart(e);
        r.start = icaltime_as_ical_string(start);
        r.end = icaltime_as_ical_string(icalcomponent_get_dtend(e));
        if (icaltime_is_utc(start))
            r.zone = "UTC";
        else if (start.zone)
            r.zone = icaltimezone_get_location(const_cast<icaltimezone*>(start.zone));
        if (icalcomponent* alarm = icalcomponent_get_first_component(e, ICAL_VALARM_COMPONENT)) {
            icalproperty* trigger = icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY);
            r.alarmSeconds = icaldurationtype_as_int(icalproperty_get_trigger(trigger).duration);
        }
        events.push_back(r);
    }
    icalcomponent_free(calendar);
    return events;
}
