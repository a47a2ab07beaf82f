// --check-log: whether a log rilvane-rip wrote is as it was written.
//
// Every run ends its part of the log with a seal, the SHA-256 of the whole
// log before it, earlier runs included. The seal shows any change to what
// it covers. It cannot show lines cut off after it: a log cut right after
// an earlier run's seal is that run's log, sealed. What the log alone
// cannot tell, the map of the rescue beside it can: it counts the runs.
#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace rilvane::riptool {

// Checks the log at `path`, says what was found on `out` and returns the
// exit code: 0 as written, 1 changed or without a seal (also a run that
// never ended), 2 not readable.
int checkLog(const std::string& path, std::ostream& out, std::ostream& err);

}  // namespace rilvane::riptool
