target_sources(playback PRIVATE
  Karaoke.cpp
  Navigation.cpp
  PlaybackSession.cpp
  Waveform.cpp
)
