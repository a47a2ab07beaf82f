// Marks a session as running for as long as its click handler runs it, and
// keeps whatever goes wrong inside it from escaping into the window's event
// handling: an unexpected failure becomes a log line.
#pragma once

#include <exception>
#include <string>

#include "drive/LogSink.h"

namespace rilvane {

// Logs an unexpected failure. Should the log line itself fail, nothing is
// left to tell it to: it is dropped rather than thrown into the window.
inline void logUnexpectedFailure(LogSink& log, const char* what) noexcept
{
    try {
        log.logLine(what ? std::string("Unerwarteter Fehler: ") + what : std::string("Unerwarteter Fehler!"));
    } catch (...) {
    }
}

template <typename Session>
void runGuarded(bool& running, LogSink& log, Session&& session)
{
    // Cleared however the handler leaves, so the button is never locked.
    struct Running {
        bool& flag;
        explicit Running(bool& f) : flag(f) { flag = true; }
        ~Running() { flag = false; }
        Running(const Running&) = delete;
        Running& operator=(const Running&) = delete;
    } marked(running);
    try {
        session();
    } catch (const std::exception& e) {
        logUnexpectedFailure(log, e.what());
    } catch (...) {
        logUnexpectedFailure(log, nullptr);
    }
}

}  // namespace rilvane
