#pragma once
// The fixed pauses between exchanges with the instrument are plain sleeps of
// the window thread. The dialogs take the pause as a function, so that tests
// can record the pauses instead of waiting for them; the program gives them
// the link's own pause, `link_pause`.
#include <functional>

using PauseFunction = std::function<void(int milliseconds)>;
