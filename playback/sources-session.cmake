target_sources(playback PRIVATE
  Karaoke.cpp
  Navigation.cpp
  Waveform.cpp
)
