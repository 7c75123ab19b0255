#pragma once
// The real audio engine: libmpg123 decodes on a thread of its own into a lock-free ring,
// SDL's audio callback copies from the ring, applies the output volume and counts frames.
//
// Threads and what they share:
//   GUI thread   all TAudioEngine calls. They take mutex_, which no one holds while reading a
//                file or opening one, and return at once: the windows never wait for a disk.
//   jobs         one short-lived thread per Open, per start of a play (Play, a seek while
//                playing) and per queued next song: it opens the song, or seeks it and
//                decodes the first buffers, under the song's own lock, then hands the result
//                over under mutex_ if it is still wanted (each carries the sequence number it
//                was started under). A job stuck on a stalled disk holds up nothing but its
//                own song; if the engine goes first, the job finishes unseen (TJobGate).
//   decoder      DecodeLoop(): decodes a chunk into a buffer of its own under the song's own
//                lock, then copies it into the ring under mutex_ unless the ring was refilled
//                meanwhile; at a song's end goes straight on with the queued next song when it
//                has the same rate (gapless), so its first frame follows the last in the ring;
//                declares the end of a play once its last sample has been heard, or a failure;
//                closes the output once it has been idle for a moment, and closes a replaced
//                output before it opens the one a play waits for.
//   callback     Fill(): never waits, allocates or does I/O; talks to the decoder through the
//                ring, atomics and a semaphore post. Where the ring passes from one song into
//                the next, it switches its frame count over to the new song.
// Lock order: a song's lock, the job gate, mutex_, SDL's device lock.
//
// At rest (nothing playing) the output device is closed and the decoder sleeps without a
// timeout: nothing wakes. The device is opened at the song's own rate (stereo, 16-bit) when a
// play starts, and kept for a moment after it ends so the next song follows without a reopen.
// SDL converts if the hardware needs another format. Closing a device takes SDL about three
// buffers; only the decoder does it, never while another device is being opened.

#include <SDL.h>
#include <semaphore.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
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

  void SetHandlers(TEngineHandlers handlers) override;
  void Prepare() override;
  void Open(const QString& fileName, uint64_t openId) override;
  void Close() override;
  void Play(int64_t fromMs, uint64_t playId) override;
  void Pause() override;
  void Stop() override;
  void Seek(int64_t ms) override;
  void QueueNext(const QString& fileName, uint64_t nextPlayId) override;
  void DropNext() override;
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
  // Songs that followed the one before without a gap.
  uint64_t Joins() const { return joins_.load(std::memory_order_relaxed); }

 private:
  struct TSong;
  struct TJobGate;
  struct TNext {
    uint64_t seq = 0;
    QString fileName;
    uint64_t playId = 0;
    std::shared_ptr<TSong> song;  // null while it opens
    bool failed = false;
    bool rewind = false;  // decoded from before: back to its start before it follows
  };
  enum class TChunk { More, End, Failed };

  static void AudioCallback(void* userdata, Uint8* stream, int len);
  void Fill(int16_t* out, size_t frames);
  void ApplyVolume(int16_t* samples, size_t frames);
  void DecodeLoop();

  // Job hand-overs, called with the gate held.
  void OpenDone(uint64_t seq, uint64_t openId, std::shared_ptr<TSong>& song, QString error);
  void StartDone(uint64_t seq, const std::shared_ptr<TSong>& song, bool seeked,
                 const int16_t* prefill, size_t frames, TChunk chunk);
  void NextOpened(uint64_t seq, std::shared_ptr<TSong>& song);

  void Restart(int64_t fromMs, uint64_t playId, bool seek);
  void CloseLocked();
  void PrepareOutput();
  SDL_AudioDeviceID OpenDevice(long rate, SDL_AudioSpec& have);
  void InstallDeviceLocked(SDL_AudioDeviceID device, const SDL_AudioSpec& have, long rate);
  void OpenDeviceLocked(long rate);
  bool DeviceReadyLocked(long rate) const;
  void StartOutputLocked();
  void EndPlayLocked(std::unique_lock<std::mutex>& lock, TEngineEnd end);
  void HaltOutputLocked();
  void RetireDeviceLocked();
  void RestAfterLocked(int ms);
  // Under the song's lock: decodes up to frames frames into out.
  static TChunk DecodeChunk(TSong& song, int16_t* out, size_t frames, size_t& got);
  void TakeChunkLocked(TChunk chunk, bool nextExists);
  void JoinNextLocked();
  void UnjoinLocked();
  bool DropJoinedAudioLocked();
  void DeclareJoinLocked(std::unique_lock<std::mutex>& lock);
  bool SwitchedLocked(int64_t* handedNs = nullptr) const;
  int64_t HeardFrameLocked(int64_t nowNs) const;
  int64_t CurrentFrameLocked();
  int64_t MsToFrame(int64_t ms) const;
  int64_t FrameToMs(int64_t frame) const;

  std::shared_ptr<TJobGate> gate_;

  // --- guarded by mutex_, never held while a file is read; the ring is written under it
  mutable std::mutex mutex_;
  std::shared_ptr<TSong> song_;        // the song being heard
  std::shared_ptr<TSong> decodeSong_;  // the song being decoded: song_, or the one joined to it
  TEngineState state_ = TEngineState::Closed;
  int64_t lengthFrames_ = 0;  // of the song being heard, and its rate
  long songRate_ = 0;
  uint64_t openSeq_ = 0;   // bumped by every Open and Close
  uint64_t startSeq_ = 0;  // bumped by every start and whatever calls it off
  bool starting_ = false;  // a start job is under way: the ring waits for its first buffers
  int64_t startFrame_ = 0;
  uint64_t epoch_ = 0;  // bumped whenever the ring is refilled anew: older chunks are dropped
  uint64_t playId_ = 0;
  int64_t frozenFrame_ = 0;    // the position while not playing
  int64_t reportedFrame_ = 0;  // keeps Position() from stepping back during a play
  bool decodeDone_ = false;    // the play's last frame is in the ring, or decoding failed
  bool decodeFailed_ = false;
  bool quit_ = false;
  TEngineHandlers handlers_;
  // Gapless: the song queued to follow, and the one already following in the ring.
  uint64_t nextSeq_ = 0;
  std::optional<TNext> next_;
  std::optional<TNext> joined_;  // its audio follows song_'s in the ring from boundary_ on
  bool awaitingNext_ = false;    // song_ is decoded to its end; its successor is still opening
  uint64_t nextWantedFor_ = 0;   // the play the successor was asked for
  TSdlAudioSession sdl_;
  bool outputKnown_ = false;  // a device has been opened: later Opens leave it to Play
  SDL_AudioDeviceID device_ = 0;
  // Devices done with: paused (their callback no longer runs) and left for the decoder thread
  // to close, as closing waits for SDL's audio thread to wind down (about three buffers).
  std::vector<SDL_AudioDeviceID> retired_;
  int closing_ = 0;  // retired devices the decoder is closing right now, without mutex_
  // A play waits for its device: the decoder opens it once the old one is closed (some
  // outputs take one user at a time, and SDL cannot open one device while closing another).
  bool deviceWait_ = false;
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
  bool cbSwitched_ = false;  // the ring passed into the joined song; counts are the new song's
  int64_t cbSwitchNs_ = 0;   // when its first frame was handed out
  int32_t gainLeft_ = 65535, gainRight_ = 65535;  // the callback's alone

  // --- decoder <-> callback, lock-free
  static constexpr size_t kNoBoundary = ~size_t(0);
  TFrameRing ring_;
  std::atomic<size_t> boundary_{kNoBoundary};  // where in the ring the joined song starts
  std::atomic<bool> endWritten_{false};        // decoder: the last frame of the play is in the ring
  std::atomic<int64_t> heardEndNs_{0};         // callback: when that frame will have been heard
  std::atomic<bool> decoderWaiting_{false};
  std::atomic<uint64_t> underruns_{0};
  std::atomic<uint64_t> joins_{0};
  std::unique_ptr<int16_t[]> decodeBuffer_;  // the decoder thread's
  sem_t wake_;  // posted by the callback and the GUI thread to wake the decoder

  std::thread decoder_;
};
