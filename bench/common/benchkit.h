#pragma once
// Shared by the audio benchmarks: the test songs kept in /tmp/brimtone-bench, and
// the floor -- libmpg123 decoding straight into an SDL audio callback, nothing else.

#include <SDL.h>

#include <QString>
#include <atomic>
#include <cstdint>
#include <vector>

#include "benchclock.h"

class TMpg123SdlEngine;

QString BenchDir();

// seconds of stereo pink noise over a tone at rate, CBR kbps; made once with sox and lame.
// Exits the program when they cannot be made.
QString Song(int seconds, int rate = 44100, int kbps = 192);

// Opens path on the engine and waits until that is over (the engine opens in the background);
// false when it could not be opened. Sets the engine's handlers: only opened reports.
bool OpenAndWait(TMpg123SdlEngine& engine, const QString& path);

// Time from t0 until the engine has handed the current play's first sample to the output;
// 1e9 (never) when none came within two seconds.
double WaitFirstAudioMs(TMpg123SdlEngine& engine, int64_t t0);

// The floor: plays path at 44.1 kHz stereo with 2048-frame buffers until stopped.
class TFloorPlayer {
 public:
  TFloorPlayer() = default;
  ~TFloorPlayer();
  bool Start(const QString& path);  // false when the file or the output cannot be opened
  // Frames handed to the output so far (from any thread).
  int64_t FramesPlayed() const { return frames_.load(std::memory_order_relaxed); }

 private:
  static void Callback(void* userdata, Uint8* stream, int len);
  SDL_AudioDeviceID device_ = 0;
  void* handle_ = nullptr;  // mpg123_handle
  std::atomic<int64_t> frames_{0};
};
