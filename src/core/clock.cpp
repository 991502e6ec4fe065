#include "core/clock.h"

#include <sys/time.h>

#include <ctime>

namespace rendaal {

DateTime LocalDateTime(std::time_t t, int msec) {
    std::tm local{};
    if (!::localtime_r(&t, &local)) {
        return {};
    }
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
            local.tm_min,         local.tm_sec,     msec};
}

std::time_t FromLocalDateTime(const DateTime& t) {
    std::tm local{};
    local.tm_year = t.year - 1900;
    local.tm_mon = t.month - 1;
    local.tm_mday = t.day;
    local.tm_hour = t.hour;
    local.tm_min = t.minute;
    local.tm_sec = t.second;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

DateTime SystemClock::Now() const {
    timeval tv{};
    ::gettimeofday(&tv, nullptr);
    return LocalDateTime(tv.tv_sec, static_cast<int>(tv.tv_usec / 1000));
}

namespace {
const SystemClock kSystemClock;
const Clock* gClock = &kSystemClock;
}  // namespace

const Clock& AppClock() {
    return *gClock;
}

void SetAppClock(const Clock* clock) {
    gClock = clock ? clock : &kSystemClock;
}

}  // namespace rendaal
