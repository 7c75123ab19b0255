#pragma once
// The real audio engine: libmpg123 decodes on a thread of its own into a lock-free ring,
// SDL's audio callback copies from the ring, applies the output volume and counts frames.
//
// Threads and what they share:
//   GUI thread   all TAudioEngine calls. They take mutex_, which no one holds while reading a
//                file, so a stalled disk holds none of them up: not the state, position and
//                length the windows show, not Pause, Stop, Close, nor Open of another song.
//                Only Play and a Seek while playing wait for a read of the same song in
//                progress, as they move its decoder.
//   decoder      DecodeLoop(): decodes a chunk into a buffer of its own under the song's own
//                lock, then copies it into the ring under mutex_ unless the play was restarted
//                meanwhile; declares the end of a play once its last sample has been heard, or
//                a failure; closes the output once it has been idle for a moment, and closes
//                a replaced output before it opens the one a play waits for.
//   callback     Fill(): never waits, allocates or does I/O; talks to the decoder through the
//                ring, atomics and a semaphore post.
// Lock order: a song's lock, mutex_, SDL's device lock.
//
// At rest (nothing playing) the output device is closed and the decoder sleeps without a
// timeout: nothing wakes. The device is opened at the song's own rate (stereo, 16-bit) when a
// play starts, and kept for a moment after it ends so the next song follows without a reopen.
// SDL converts if the hardware needs another format. Closing a device takes SDL about three
// buffers; only the decoder does it, never while another device is being opened.

#include <SDL.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/audioengine.h"
#include "audio/framering.h"
#include "audio/sdlaudiosession.h"

class TMp3Decoder;

class TMpg123SdlEngine final : public TAudioEngine {
 public:
  TMpg123SdlEngine();
  ~TMpg123SdlEngine() override;

  void SetEndHandler(TEndHandler handler) override;
  void Prepare() override;
  void Open(const QString& fileName) override;
  void Close() override;
  void Play(int64_t fromMs, uint64_t playId) override;
  void Pause() override;
  void Stop() override;
  void Seek(int64_t ms) override;
  int64_t Position() override;
  int64_t Length() const override;
  TEngineState State() const override;
  TSongTags Tags() const override;

  // For benchmarks and tests: steady-clock time (ns) at which the current play's first sample
  // was handed to the output, 0 until then.
  int64_t FirstAudioTimeNs();
  // Steady-clock time (ns) by which all audio handed to the output so far has been heard.
  int64_t HeardUntilNs();
  // Times the output asked for more than the ring held while a song played short of its end.
  uint64_t Underruns() const { return underruns_.load(std::memory_order_relaxed); }
  // Whether the output device is open; it is closed at rest.
  bool OutputOpen() const;
  // The output buffer in frames, and the device rate (0 while no device is open).
  int OutputBufferFrames() const;
  long OutputRate() const;

 private:
  static void AudioCallback(void* userdata, Uint8* stream, int len);
  void Fill(int16_t* out, size_t frames);
  void ApplyVolume(int16_t* samples, size_t frames);
  void DecodeLoop();

  void Restart(int64_t fromMs, uint64_t playId, bool onlyIfPlaying);
  SDL_AudioDeviceID OpenDevice(long rate, SDL_AudioSpec& have);
  void InstallDeviceLocked(SDL_AudioDeviceID device, const SDL_AudioSpec& have, long rate);
  void OpenDeviceLocked(long rate);
  bool DeviceReadyLocked(long rate) const;
  void StartOutputLocked();
  void EndPlayLocked(std::unique_lock<std::mutex>& lock, TEngineEnd end);
  void HaltOutputLocked();
  void RetireDeviceLocked();
  void RestAfterLocked(int ms);
  enum class TChunk { More, End, Failed };
  struct TSong;
  // Under the song's lock: decodes up to frames frames into out.
  static TChunk DecodeChunk(TSong& song, int16_t* out, size_t frames, size_t& got);
  void TakeChunkLocked(TChunk chunk);
  int64_t HeardFrameLocked(int64_t nowNs) const;
  int64_t CurrentFrameLocked();
  int64_t MsToFrame(int64_t ms) const;
  int64_t FrameToMs(int64_t frame) const;

  // --- guarded by mutex_, never held while a file is read; the ring is written under it
  mutable std::mutex mutex_;
  std::shared_ptr<TSong> song_;  // a read in progress keeps its song alive past a Close
  TEngineState state_ = TEngineState::Closed;
  int64_t lengthFrames_ = 0;  // of the open song, and its rate
  long songRate_ = 0;
  uint64_t restarts_ = 0;  // bumped whenever the ring is refilled anew: older chunks are dropped
  uint64_t playId_ = 0;
  int64_t frozenFrame_ = 0;    // the position while not playing
  int64_t reportedFrame_ = 0;  // keeps Position() from stepping back during a play
  bool decodeDone_ = false;    // the play's last frame is in the ring, or decoding failed
  bool decodeFailed_ = false;
  bool quit_ = false;
  TEndHandler endHandler_;
  TSdlAudioSession sdl_;
  bool outputKnown_ = false;  // a device has been opened: later Opens leave it to Play
  SDL_AudioDeviceID device_ = 0;
  // Devices done with: paused (their callback no longer runs) and left for the decoder thread
  // to close, as closing waits for SDL's audio thread to wind down (about three buffers).
  std::vector<SDL_AudioDeviceID> retired_;
  int closing_ = 0;  // retired devices the decoder is closing right now, without mutex_
  // A play waits for its device: the decoder opens it once the old one is closed (some
  // outputs take one user at a time, and SDL cannot open one device while closing another).
  bool startPending_ = false;
  bool opening_ = false;     // the decoder is opening that device, without mutex_
  int64_t restUntilNs_ = 0;  // when an idle device gets closed
  long deviceRate_ = 0;
  int bufferFrames_ = 0;
  int64_t latencyNs_ = 0;  // from handing a frame to the output to hearing it

  // --- callback state: the callback's own, others touch it only under SDL's device lock
  bool cbPlaying_ = false;
  int64_t cbStartFrame_ = 0;  // where the play (or last seek) started
  int64_t cbNextFrame_ = 0;   // song frame of the next frame to hand out
  bool cbValid_ = false;      // whether a buffer of this play has been handed out yet
  int64_t cbBase_ = 0;        // song frame at the start of the last buffer with audio
  int64_t cbFrames_ = 0;      // audio frames in that buffer
  int64_t cbTimeNs_ = 0;      // when it was handed out
  int64_t cbFirstNs_ = 0;
  int32_t gainLeft_ = 65535, gainRight_ = 65535;  // the callback's alone

  // --- decoder <-> callback, lock-free
  TFrameRing ring_;
  std::atomic<bool> endWritten_{false};  // decoder: the last frame of the play is in the ring
  std::atomic<int64_t> heardEndNs_{0};   // callback: when that frame will have been heard
  std::atomic<bool> decoderWaiting_{false};
  std::atomic<uint64_t> underruns_{0};
  std::unique_ptr<int16_t[]> decodeBuffer_;   // the decoder thread's
  std::unique_ptr<int16_t[]> prefillBuffer_;  // the GUI thread's
  SDL_sem* wake_ = nullptr;  // posted by the callback and the GUI thread to wake the decoder

  std::thread decoder_;
};
