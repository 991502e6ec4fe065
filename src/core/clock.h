#pragma once

#include <ctime>

#include "core/calendar.h"

namespace rendaal {

// The one place the program reads the time from, so that tests can fix "now".
class Clock {
public:
    virtual ~Clock() = default;
    virtual DateTime Now() const = 0;  // local date and time
};

class SystemClock final : public Clock {
public:
    DateTime Now() const override;
};

class FixedClock final : public Clock {
public:
    explicit FixedClock(DateTime t) : now_(t) {}
    DateTime Now() const override { return now_; }
    void Set(DateTime t) { now_ = t; }

private:
    DateTime now_;
};

// Local date and time of a moment, and back (mktime); used for file times.
DateTime LocalDateTime(std::time_t t, int msec = 0);
std::time_t FromLocalDateTime(const DateTime& t);

// The clock of the running program (the system clock unless a test installed another).
const Clock& AppClock();
// Installs a clock for the program (nullptr: the system clock again). The caller keeps it alive.
void SetAppClock(const Clock* clock);

}  // namespace rendaal
