// A calendar that always answers the date it was given.
#pragma once

#include "platform/Calendar.h"

namespace platform {

class FakeCalendar final : public Calendar {
public:
    explicit FakeCalendar(CalendarDate date) : date_(date) {}
    CalendarDate today() const override { return date_; }
    void setToday(CalendarDate date) { date_ = date; }

private:
    CalendarDate date_;
};

}  // namespace platform
