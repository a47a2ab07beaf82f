// Marks a session as running for as long as its click handler runs it, and
// keeps whatever goes wrong inside it from escaping into the window's event
// handling: an unexpected failure becomes a log line.
#pragma once

#include <exception>
#include <string>

#include "drive/LogSink.h"

namespace rilvane {

template <typename Session>
void runGuarded(bool& running, LogSink& log, Session&& session)
{
    running = true;
    try {
        session();
    } catch (const std::exception& e) {
        log.logLine(std::string("Unerwarteter Fehler: ") + e.what());
    } catch (...) {
        log.logLine("Unerwarteter Fehler!");
    }
    running = false;
}

}  // namespace rilvane
