#include "audio/sdlaudiosession.h"

#include <mutex>

#include "audio/sdllibrary.h"

namespace {

std::mutex& UsersMutex() {
  static std::mutex mutex;
  return mutex;
}

int users = 0;  // guarded by UsersMutex()

}  // namespace

TSdlAudioSession::~TSdlAudioSession() {
  if (!started_) return;
  std::lock_guard lock(UsersMutex());
  if (--users > 0) return;
  Sdl().QuitSubSystem(SDL_INIT_AUDIO);
  Sdl().Quit();
}

bool TSdlAudioSession::Start() {
  if (started_) return true;
  std::lock_guard lock(UsersMutex());
  if (users == 0) {
    if (!LoadSdl()) return false;
    Sdl().SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    Sdl().SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Brimtone");
    if (Sdl().InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  }
  ++users;
  started_ = true;
  return true;
}

int TSdlAudioSession::Users() {
  std::lock_guard lock(UsersMutex());
  return users;
}
