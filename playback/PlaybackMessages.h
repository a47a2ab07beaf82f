// The log lines of playback, word for word.
#pragma once

namespace rilvane {

struct PlaybackMessages {
    static constexpr const char* kStopped = "Wiedergabe gestoppt...";
};

}  // namespace rilvane
