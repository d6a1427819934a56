#pragma once
// Repeated work on a steady schedule, and the clock it runs on. The clock is
// an interface so that tests can run hours of schedule in no time.
#include <chrono>
#include <csignal>
#include <ctime>
#include <functional>
#include <string>

class CtlClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual ~CtlClock() = default;
    // Monotonic time: the schedule is laid out on it.
    virtual TimePoint Now() = 0;
    // Returns at `t`, or earlier once `*stop` is set (stop may be nullptr).
    virtual void SleepUntil(TimePoint t, const volatile std::sig_atomic_t* stop) = 0;
    // Wall-clock time, for the time stamps of the readings.
    virtual std::chrono::system_clock::time_point WallNow() = 0;
};

// The system's clocks; a sleep looks at `stop` at least every 100 ms.
CtlClock& SystemClock();

// Calls `work` at the first moment and then at whole multiples of `period`
// from it, so the start times never drift, whatever each call takes. A call
// that overruns one or more starts makes the schedule skip them (it never
// runs calls back to back to catch up). Ends after `count` calls (0: no
// limit) or once `*stop` is set; gives the number of calls made.
long RunSchedule(CtlClock& clock, std::chrono::milliseconds period, long count, const volatile std::sig_atomic_t* stop,
                 const std::function<void()>& work);

// ISO 8601 local time with the offset from UTC: "2026-12-09T10:15:02+01:00".
std::string FormatIsoTime(const std::tm& local, long utc_offset_seconds);
// `t` in the local time zone of this machine, as FormatIsoTime writes it.
std::string IsoLocalTime(std::chrono::system_clock::time_point t);
