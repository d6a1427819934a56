#include "ReadSchedule.h"

#include "CtlPlatform.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

class RealClock final : public CtlClock {
public:
    TimePoint Now() override { return std::chrono::steady_clock::now(); }

    void SleepUntil(TimePoint t, const volatile std::sig_atomic_t* stop) override
    {
        // In slices, so that a signal ends a long period at once.
        constexpr auto kSlice = std::chrono::milliseconds(100);
        for (;;) {
            if (stop != nullptr && *stop != 0)
                return;
            const TimePoint now = Now();
            if (now >= t)
                return;
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(t - now, kSlice));
        }
    }

    std::chrono::system_clock::time_point WallNow() override { return std::chrono::system_clock::now(); }
};

// Seconds since 1970-01-01 of a broken-down time read as UTC (days from the
// civil date, so no time-zone function of the system is involved).
long long CivilSeconds(const std::tm& t)
{
    long long y = t.tm_year + 1900LL;
    const long long m = t.tm_mon + 1LL;
    y -= m <= 2 ? 1 : 0;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + t.tm_mday - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long long days = era * 146097 + doe - 719468;
    return days * 86400 + t.tm_hour * 3600LL + t.tm_min * 60LL + t.tm_sec;
}

} // namespace

CtlClock& SystemClock()
{
    static RealClock clock;
    return clock;
}

long RunSchedule(CtlClock& clock, std::chrono::milliseconds period, long count, const volatile std::sig_atomic_t* stop,
                 const std::function<void()>& work)
{
    const CtlClock::TimePoint first = clock.Now();
    long done = 0;
    long long slot = 0; // index of the start the next call is due at
    for (;;) {
        if (stop != nullptr && *stop != 0)
            break;
        work();
        ++done;
        if (count > 0 && done >= count)
            break;
        // The next start after now that lies on the grid.
        const auto elapsed = clock.Now() - first;
        const long long passed = elapsed / period;
        slot = std::max(slot + 1, passed + 1);
        clock.SleepUntil(first + slot * period, stop);
    }
    return done;
}

std::string FormatIsoTime(const std::tm& local, long utc_offset_seconds)
{
    const char sign = utc_offset_seconds < 0 ? '-' : '+';
    const long offset_minutes = std::labs(utc_offset_seconds) / 60;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, sign, offset_minutes / 60,
                  offset_minutes % 60);
    return buffer;
}

std::string IsoLocalTime(std::chrono::system_clock::time_point t)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(t);
    std::tm local{};
    std::tm utc{};
    BreakDownTime(seconds, local, utc);
    return FormatIsoTime(local, static_cast<long>(CivilSeconds(local) - CivilSeconds(utc)));
}
