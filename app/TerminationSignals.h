#pragma once

#include <functional>

// Turns SIGINT and SIGTERM (Ctrl+C in the terminal, a session logging out)
// into an orderly close on the GUI thread, so that the adapter is released and
// its lock removed as when the window is closed. A second signal while the
// first is handled ends the program at once.
void closeOnTerminationSignals(std::function<void()> close);
