// The console a command-line tool runs in: whether an output is a terminal,
// and a stop request from Ctrl+C or from the system asking the process to end.
#pragma once

namespace rilvane::platform {

enum class ConsoleStream { Output, Error };

// Whether the stream goes to a terminal (and may be redrawn in place).
bool isTerminal(ConsoleStream stream);

// From now on the first interrupt (Ctrl+C) or termination request only sets
// the stop flag, so that the tool can finish what it writes; a second one
// ends the process the usual way.
void catchStopSignals();
// The same, calling `onStop` from the signal handler as well: it may do no
// more than a signal handler may (store into a lock-free atomic).
void catchStopSignals(void (*onStop)());

// Whether such a request has come. Safe to ask from any thread at any time.
bool stopSignalled();

}  // namespace rilvane::platform
