#pragma once
// The fixed pauses between exchanges with the instrument are plain sleeps of
// the window thread. The dialogs take the pause as a function, so that tests
// can record the pauses instead of waiting for them.
#include <chrono>
#include <functional>
#include <thread>

using PauseFunction = std::function<void(int milliseconds)>;

inline void SleepPause(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
