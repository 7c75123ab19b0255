#pragma once
// SDL is loaded when the audio output is first wanted, not with the program: it brings some
// forty libraries of its own (sound servers, X and Wayland helpers), and every library loaded
// at start makes each later symbol lookup (Qt's plugins) slower, before the windows show.

#include <SDL.h>

#include <QString>

struct TSdlFunctions {
  decltype(&::SDL_SetHint) SetHint;
  decltype(&::SDL_InitSubSystem) InitSubSystem;
  decltype(&::SDL_QuitSubSystem) QuitSubSystem;
  decltype(&::SDL_Quit) Quit;
  decltype(&::SDL_GetError) GetError;
  decltype(&::SDL_OpenAudioDevice) OpenAudioDevice;
  decltype(&::SDL_CloseAudioDevice) CloseAudioDevice;
  decltype(&::SDL_PauseAudioDevice) PauseAudioDevice;
  decltype(&::SDL_GetAudioDeviceStatus) GetAudioDeviceStatus;
  decltype(&::SDL_LockAudioDevice) LockAudioDevice;
  decltype(&::SDL_UnlockAudioDevice) UnlockAudioDevice;
  decltype(&::SDL_GetCurrentAudioDriver) GetCurrentAudioDriver;
  decltype(&::SDL_TLSCleanup) TLSCleanup;
};

// Loads SDL once (from any thread; later calls wait for the first); false when it cannot be
// loaded, SdlLoadError() says why.
bool LoadSdl();
QString SdlLoadError();
// SDL's functions; only after LoadSdl() returned true.
const TSdlFunctions& Sdl();
// Whether SDL was loaded; for clean-ups that have nothing to do otherwise.
bool SdlLoaded();
