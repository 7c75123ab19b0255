#include "audio/sdllibrary.h"

#include <dlfcn.h>

#include <atomic>
#include <mutex>

namespace {
TSdlFunctions functions{};
QString loadError;
std::atomic<bool> loaded{false};
std::once_flag once;

template <typename F>
bool Resolve(void* library, const char* name, F& function) {
  function = reinterpret_cast<F>(dlsym(library, name));
  if (function) return true;
  loadError = QStringLiteral("SDL has no %1").arg(QLatin1String(name));
  return false;
}

bool Load() {
  // The run-time name of the SDL 2 the program was built against.
  void* library = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    loadError = QString::fromLocal8Bit(dlerror());
    return false;
  }
  TSdlFunctions& f = functions;
  // Kept loaded for the life of the process: its threads and devices may outlive any user.
  return Resolve(library, "SDL_SetHint", f.SetHint) &&
         Resolve(library, "SDL_InitSubSystem", f.InitSubSystem) &&
         Resolve(library, "SDL_QuitSubSystem", f.QuitSubSystem) &&
         Resolve(library, "SDL_Quit", f.Quit) && Resolve(library, "SDL_GetError", f.GetError) &&
         Resolve(library, "SDL_OpenAudioDevice", f.OpenAudioDevice) &&
         Resolve(library, "SDL_CloseAudioDevice", f.CloseAudioDevice) &&
         Resolve(library, "SDL_PauseAudioDevice", f.PauseAudioDevice) &&
         Resolve(library, "SDL_GetAudioDeviceStatus", f.GetAudioDeviceStatus) &&
         Resolve(library, "SDL_LockAudioDevice", f.LockAudioDevice) &&
         Resolve(library, "SDL_UnlockAudioDevice", f.UnlockAudioDevice) &&
         Resolve(library, "SDL_GetCurrentAudioDriver", f.GetCurrentAudioDriver) &&
         Resolve(library, "SDL_TLSCleanup", f.TLSCleanup);
}
}  // namespace

bool LoadSdl() {
  std::call_once(once, [] { loaded.store(Load()); });
  return loaded.load();
}

QString SdlLoadError() {
  LoadSdl();
  return loadError;
}

const TSdlFunctions& Sdl() {
  return functions;
}

bool SdlLoaded() {
  return loaded.load();
}
