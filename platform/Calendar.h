// Today's date in the local time zone.
#pragma once

namespace platform {

struct CalendarDate {
    int year = 0;   // e.g. 2026
    int month = 0;  // 1 to 12
    int day = 0;    // 1 to 31
};

class Calendar {
public:
    virtual ~Calendar() = default;
    virtual CalendarDate today() const = 0;
};

// The runtime library's current calendar time converted to local time.
class LocalCalendar final : public Calendar {
public:
    CalendarDate today() const override;
};

}  // namespace platform
