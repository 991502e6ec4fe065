#include "core/clock.h"

#include <sys/time.h>

#include <ctime>

namespace rendaal {

DateTime SystemClock::Now() const {
    timeval tv{};
    ::gettimeofday(&tv, nullptr);
    std::tm local{};
    const time_t secs = tv.tv_sec;
    ::localtime_r(&secs, &local);
    return {local.tm_year + 1900,
            local.tm_mon + 1,
            local.tm_mday,
            local.tm_hour,
            local.tm_min,
            local.tm_sec,
            static_cast<int>(tv.tv_usec / 1000)};
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
