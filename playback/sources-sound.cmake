# The sound library loader and the sound output (buffer set-up, start,
# half-buffer handoff, stop).
target_sources(playback PRIVATE
  DSound.cpp
  SoundOutput.cpp
)
