#pragma once

#include <functional>

namespace rendaal {

// Runs onSignal on the window thread when the process gets SIGTERM, SIGINT or SIGHUP (a session
// that logs out, a kill, Ctrl+C in a terminal), so that the program can close the way the user
// closes it and keep its settings. Call once, after the application object exists.
void HandleTerminationSignals(std::function<void()> onSignal);

}  // namespace rendaal
