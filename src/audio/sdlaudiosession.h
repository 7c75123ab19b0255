#pragma once
// SDL's audio subsystem for as long as one of these is started. The last one to go shuts SDL
// down entirely (SDL_Quit), so nothing SDL set up for audio outlives its users.

class TSdlAudioSession {
 public:
  TSdlAudioSession() = default;
  ~TSdlAudioSession();
  TSdlAudioSession(const TSdlAudioSession&) = delete;
  TSdlAudioSession& operator=(const TSdlAudioSession&) = delete;

  // Loads SDL and starts its subsystem unless this session already did; false (SDL's error,
  // or SdlLoadError() when SDL could not be loaded, says why) when it cannot be started. A
  // failed start may be tried again later.
  bool Start();
  bool Started() const { return started_; }

  // Sessions started in this process right now.
  static int Users();

 private:
  bool started_ = false;
};
