#pragma once
// Runs kx52ctl's commands in-process and keeps what they wrote.
#include "CtlCommands.h"

#include <sstream>
#include <string>
#include <vector>

struct CtlResult {
    int status = -1;
    std::string out;
    std::string err;
};

// A clock that only moves when the schedule sleeps (and when a test moves it).
class FakeClock final : public CtlClock {
public:
    TimePoint Now() override { return now; }
    void SleepUntil(TimePoint t, const volatile std::sig_atomic_t* stop) override
    {
        sleeps.push_back(t);
        if (stop_after_sleeps > 0 && sleeps.size() >= stop_after_sleeps && stop_flag != nullptr)
            *stop_flag = 1;
        if (stop != nullptr && *stop != 0)
            return;
        if (t > now)
            now = t;
    }
    std::chrono::system_clock::time_point WallNow() override { return wall; }

    TimePoint now{};
    std::chrono::system_clock::time_point wall = std::chrono::system_clock::from_time_t(1796803200);
    std::vector<TimePoint> sleeps;
    std::size_t stop_after_sleeps = 0;
    volatile std::sig_atomic_t* stop_flag = nullptr;
};

inline CtlResult RunCtlWith(const std::vector<std::string>& args, CtlClock& clock,
                            const volatile std::sig_atomic_t* stop = nullptr, bool settings_from_store = false)
{
    std::ostringstream out;
    std::ostringstream err;
    CtlEnv env;
    env.out = &out;
    env.err = &err;
    env.clock = &clock;
    env.stop = stop;
    // Unless a test asks for the store (pointed at a folder of its own), the
    // program's defaults stand in for the user's settings.
    if (!settings_from_store)
        env.settings = [] { return UserLinkSettings{}; };
    CtlResult r;
    r.status = RunCtl(args, env);
    r.out = out.str();
    r.err = err.str();
    return r;
}
