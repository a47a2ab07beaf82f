// The log lines of playback, word for word.
#pragma once

namespace rilvane {

struct PlaybackMessages {
    static constexpr const char* kStopped = "Wiedergabe gestoppt...";
    // The sound device went away during playback (a card unplugged, a sound
    // server or the reader of a pipe ended); the session ends.
    static constexpr const char* kSoundDeviceLost = "Das Sound-Gerät ist nicht mehr verfügbar...";
};

}  // namespace rilvane
