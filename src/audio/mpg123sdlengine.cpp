#include "audio/mpg123sdlengine.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>

#include "audio/mp3decoder.h"
#include "audio/outputvolume.h"
#include "platform/errors.h"

namespace {

constexpr size_t kRingFrames = 16384;      // about 0.37 s at 44.1 kHz
constexpr size_t kChunkFrames = 4096;      // decoded per hold of the mutex
constexpr size_t kMinDecodeFrames = 1152;  // one MPEG frame: less is not worth waking for
constexpr size_t kWakeFrames = kRingFrames / 2;
constexpr int kDeviceCheckMs = 250;  // how often a playing decoder looks at the device

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// About 10 ms, and always a whole number of milliseconds: SDL's dummy and disk drivers pace
// themselves by sleeping a buffer's length in whole milliseconds, so a 512-frame buffer at
// 44.1 kHz (11.6 ms, slept as 11) would run them 5 % fast.
int BufferFramesFor(long rate) {
  for (long perSecond : {100, 50, 25})
    if (rate % perSecond == 0) return int(rate / perSecond);
  return 512;
}

// One SDL device lock scope.
class TDeviceLock {
 public:
  explicit TDeviceLock(SDL_AudioDeviceID device) : device_(device) {
    if (device_) SDL_LockAudioDevice(device_);
  }
  ~TDeviceLock() {
    if (device_) SDL_UnlockAudioDevice(device_);
  }
  TDeviceLock(const TDeviceLock&) = delete;
  TDeviceLock& operator=(const TDeviceLock&) = delete;

 private:
  SDL_AudioDeviceID device_;
};

QString NoOutputText() {
  return QStringLiteral("No audio output is available: %1").arg(QString::fromUtf8(SDL_GetError()));
}

}  // namespace

TMpg123SdlEngine::TMpg123SdlEngine() : ring_(kRingFrames) {
  wake_ = SDL_CreateSemaphore(0);
  decoder_ = std::thread([this] { DecodeLoop(); });
}

TMpg123SdlEngine::~TMpg123SdlEngine() {
  Close();
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  SDL_SemPost(wake_);
  decoder_.join();
  if (device_) SDL_CloseAudioDevice(device_);
  if (sdlAudioReady_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  SDL_DestroySemaphore(wake_);
}

void TMpg123SdlEngine::SetEndHandler(TEndHandler handler) {
  std::lock_guard lock(mutex_);
  endHandler_ = std::move(handler);
}

void TMpg123SdlEngine::Prepare() {
  std::lock_guard lock(mutex_);
  if (device_) return;
  try {
    EnsureDeviceLocked(44100);  // the rate of nearly every MP3
  } catch (const EMCIDeviceError&) {
    // No output now; Open says so when a song is asked for.
  }
}

void TMpg123SdlEngine::Open(const QString& fileName) {
  Close();
  // The scan reads the whole file: done before taking the mutex, the decoder never waits on it.
  auto song = std::make_unique<TMp3Decoder>(fileName);
  std::lock_guard lock(mutex_);
  EnsureDeviceLocked(song->Rate());
  song_ = std::move(song);
  state_ = TEngineState::Stopped;
  frozenFrame_ = 0;
}

void TMpg123SdlEngine::EnsureDeviceLocked(long rate) {
  // Kept while songs of one rate follow, unless it was lost (unplugged, sound server gone).
  if (device_ && deviceRate_ == rate && SDL_GetAudioDeviceStatus(device_) != SDL_AUDIO_STOPPED)
    return;
  if (!sdlAudioReady_) {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Brimtone");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) throw EMCIDeviceError(NoOutputText());
    sdlAudioReady_ = true;
  }
  if (device_) {
    SDL_CloseAudioDevice(device_);
    device_ = 0;
    deviceRate_ = 0;
  }
  SDL_AudioSpec want{};
  want.freq = int(rate);
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = Uint16(BufferFramesFor(rate));
  want.callback = &TMpg123SdlEngine::AudioCallback;
  want.userdata = this;
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts to whatever the hardware takes.
  const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (!device) throw EMCIDeviceError(NoOutputText());
  bufferFrames_ = have.samples;
  deviceRate_ = rate;
  // The dummy and disk drivers "play" a buffer while the next is prepared; a real device holds
  // about one more buffer before it is heard.
  const char* driver = SDL_GetCurrentAudioDriver();
  const bool instant =
      driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "disk") == 0);
  latencyNs_ = instant ? 0 : int64_t(bufferFrames_) * 1'000'000'000 / rate;
  cbPlaying_ = false;
  const uint32_t volume = OutputVolume();
  gainLeft_ = int32_t(LeftLevel(volume));
  gainRight_ = int32_t(RightLevel(volume));
  device_ = device;
  SDL_PauseAudioDevice(device_, 0);
}

void TMpg123SdlEngine::Close() {
  std::lock_guard lock(mutex_);
  if (!song_) return;
  {
    TDeviceLock deviceLock(device_);
    cbPlaying_ = false;
  }
  song_.reset();
  state_ = TEngineState::Closed;
  frozenFrame_ = 0;
}

// Restarts output at frame: clears the ring, seeks and decodes the first few buffers here, so
// the callback has audio the next time it runs.
void TMpg123SdlEngine::RestartLocked(int64_t frame) {
  {
    TDeviceLock deviceLock(device_);
    cbPlaying_ = false;
  }
  ring_.Reset();
  endWritten_.store(false);
  heardEndNs_.store(0);
  decodeDone_ = false;
  decodeFailed_ = false;
  if (!song_->Seek(frame)) {
    state_ = TEngineState::Stopped;
    frozenFrame_ = frame;
    throw EMCIDeviceError(song_->ErrorText());
  }
  const size_t prefill = std::min<size_t>(size_t(bufferFrames_) * 2, kRingFrames);
  for (int chunk = 0; chunk < 16 && !decodeDone_ && ring_.Available() < prefill; ++chunk)
    DecodeChunkLocked(prefill);
  reportedFrame_ = frame;
  TDeviceLock deviceLock(device_);
  cbStartFrame_ = frame;
  cbNextFrame_ = frame;
  cbValid_ = false;
  cbFirstNs_ = 0;
  cbPlaying_ = true;
}

// Decodes up to maxFrames into the ring; false when nothing more will come for this play.
bool TMpg123SdlEngine::DecodeChunkLocked(size_t maxFrames) {
  auto [at, room] = ring_.WriteRegion();
  room = std::min({room, maxFrames, kChunkFrames});
  size_t got = 0;
  const TMp3Decoder::TRead result = song_->Read(at, room, got);
  ring_.CommitWrite(got);
  if (result == TMp3Decoder::TRead::More) return true;
  decodeDone_ = true;
  if (result == TMp3Decoder::TRead::Failed)
    decodeFailed_ = true;
  else
    endWritten_.store(true, std::memory_order_release);
  return false;
}

void TMpg123SdlEngine::Play(int64_t fromMs, uint64_t playId) {
  {
    std::lock_guard lock(mutex_);
    if (!song_) return;
    playId_ = playId;
    RestartLocked(MsToFrame(fromMs));
    state_ = TEngineState::Playing;
  }
  SDL_SemPost(wake_);
}

void TMpg123SdlEngine::Pause() {
  std::lock_guard lock(mutex_);
  if (state_ != TEngineState::Playing) return;
  frozenFrame_ = CurrentFrameLocked();
  {
    TDeviceLock deviceLock(device_);
    cbPlaying_ = false;
  }
  state_ = TEngineState::Paused;
}

void TMpg123SdlEngine::Stop() {
  std::lock_guard lock(mutex_);
  if (state_ == TEngineState::Playing) {
    frozenFrame_ = CurrentFrameLocked();
    TDeviceLock deviceLock(device_);
    cbPlaying_ = false;
  }
  if (state_ == TEngineState::Playing || state_ == TEngineState::Paused)
    state_ = TEngineState::Stopped;
}

void TMpg123SdlEngine::Seek(int64_t ms) {
  {
    std::lock_guard lock(mutex_);
    if (!song_) return;
    const int64_t frame = MsToFrame(ms);
    if (state_ != TEngineState::Playing) {
      frozenFrame_ = frame;
      return;
    }
    RestartLocked(frame);
  }
  SDL_SemPost(wake_);
}

int64_t TMpg123SdlEngine::Position() {
  std::lock_guard lock(mutex_);
  if (!song_) return 0;
  return FrameToMs(state_ == TEngineState::Playing ? CurrentFrameLocked() : frozenFrame_);
}

int64_t TMpg123SdlEngine::Length() const {
  std::lock_guard lock(mutex_);
  return song_ ? FrameToMs(song_->LengthFrames()) : 0;
}

TEngineState TMpg123SdlEngine::State() const {
  std::lock_guard lock(mutex_);
  return state_;
}

int64_t TMpg123SdlEngine::FirstAudioTimeNs() {
  std::lock_guard lock(mutex_);
  TDeviceLock deviceLock(device_);
  return cbFirstNs_;
}

// The frame being heard during a play: the last buffer handed out began at cbBase_ and is
// heard from latencyNs_ after it was handed out, at the device's pace.
int64_t TMpg123SdlEngine::HeardFrameLocked(int64_t nowNs) const {
  if (!cbValid_) return cbStartFrame_;
  const int64_t latencyFrames = latencyNs_ * deviceRate_ / 1'000'000'000;
  const int64_t played = (nowNs - cbTimeNs_) * deviceRate_ / 1'000'000'000 - latencyFrames;
  const int64_t heard = cbBase_ + std::clamp(played, -latencyFrames, cbFrames_);
  return std::max(heard, cbStartFrame_);
}

int64_t TMpg123SdlEngine::CurrentFrameLocked() {
  int64_t frame;
  {
    TDeviceLock deviceLock(device_);
    frame = HeardFrameLocked(NowNs());
  }
  reportedFrame_ = std::max(reportedFrame_, frame);
  return reportedFrame_;
}

// Rounded up, so that a position set in milliseconds reads back as the same milliseconds.
int64_t TMpg123SdlEngine::MsToFrame(int64_t ms) const {
  const int64_t length = song_->LengthFrames();
  if (ms <= 0) return 0;
  const int64_t frame = (ms * song_->Rate() + 999) / 1000;
  return std::min(frame, length);
}

int64_t TMpg123SdlEngine::FrameToMs(int64_t frame) const {
  return frame * 1000 / song_->Rate();
}

void TMpg123SdlEngine::AudioCallback(void* userdata, Uint8* stream, int len) {
  static_cast<TMpg123SdlEngine*>(userdata)->Fill(reinterpret_cast<int16_t*>(stream),
                                                 size_t(len) / (2 * sizeof(int16_t)));
}

void TMpg123SdlEngine::Fill(int16_t* out, size_t frames) {
  const size_t got = cbPlaying_ ? ring_.Read(out, frames) : 0;
  ApplyVolume(out, got);
  std::memset(out + got * 2, 0, (frames - got) * 2 * sizeof(int16_t));
  if (!cbPlaying_) return;
  const int64_t now = NowNs();
  if (got > 0) {
    if (!cbValid_) cbFirstNs_ = now;
    cbBase_ = cbNextFrame_;
    cbFrames_ = int64_t(got);
    cbTimeNs_ = now;
    cbValid_ = true;
    cbNextFrame_ += int64_t(got);
  }
  std::atomic_thread_fence(std::memory_order_seq_cst);
  if (got < frames && endWritten_.load(std::memory_order_acquire) && ring_.Available() == 0) {
    if (heardEndNs_.load(std::memory_order_relaxed) == 0) {
      const int64_t handedEnd =
          cbValid_ ? cbTimeNs_ + cbFrames_ * 1'000'000'000 / deviceRate_ : now;
      heardEndNs_.store(handedEnd + latencyNs_, std::memory_order_release);
      SDL_SemPost(wake_);
    }
  } else if (ring_.Free() >= kWakeFrames && decoderWaiting_.load() &&
             decoderWaiting_.exchange(false)) {
    SDL_SemPost(wake_);
  }
}

// Gain is linear: sample x level / 65535 per channel. A new level is reached by a straight
// glide across the buffer, so a change never clicks; full volume leaves samples untouched.
void TMpg123SdlEngine::ApplyVolume(int16_t* samples, size_t frames) {
  const uint32_t volume = OutputVolume();
  const int32_t toLeft = int32_t(LeftLevel(volume)), toRight = int32_t(RightLevel(volume));
  const int32_t fromLeft = gainLeft_, fromRight = gainRight_;
  if (frames == 0) {
    gainLeft_ = toLeft, gainRight_ = toRight;  // nothing to glide over
    return;
  }
  gainLeft_ = toLeft, gainRight_ = toRight;
  if (fromLeft == toLeft && fromRight == toRight) {
    if (toLeft == 65535 && toRight == 65535) return;
    for (size_t i = 0; i < frames; ++i) {
      samples[2 * i] = int16_t(samples[2 * i] * toLeft / 65535);
      samples[2 * i + 1] = int16_t(samples[2 * i + 1] * toRight / 65535);
    }
    return;
  }
  const int64_t n = int64_t(frames);
  for (int64_t i = 0; i < n; ++i) {
    const int32_t left = int32_t(fromLeft + (toLeft - fromLeft) * (i + 1) / n);
    const int32_t right = int32_t(fromRight + (toRight - fromRight) * (i + 1) / n);
    samples[2 * i] = int16_t(samples[2 * i] * left / 65535);
    samples[2 * i + 1] = int16_t(samples[2 * i + 1] * right / 65535);
  }
}

// 1. While a play needs audio and the ring has room: decode a chunk, let go of the mutex, repeat.
// 2. Once the last frame is in the ring: wait until the callback reports when it will have been
//    heard, then until that moment; then the song is stopped at its end and Finished is sent.
// 3. Decoding failed, or the device went away: stop where the listener is, send Failed.
// 4. Otherwise sleep until the callback frees half the ring or the GUI thread changes something.
void TMpg123SdlEngine::DecodeLoop() {
  pthread_setname_np(pthread_self(), "mp3decode");
  std::unique_lock lock(mutex_);
  for (;;) {
    if (quit_) return;
    int waitMs = -1;
    std::optional<TEngineEnd> end;
    if (state_ == TEngineState::Playing) {
      // 1.
      if (!decodeDone_ && ring_.Free() >= kMinDecodeFrames) {
        DecodeChunkLocked(kChunkFrames);
        lock.unlock();
        lock.lock();
        continue;
      }
      // 3.
      if (decodeFailed_ || SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED) {
        frozenFrame_ = CurrentFrameLocked();
        end = TEngineEnd::Failed;
      } else if (const int64_t heardEnd = heardEndNs_.load(std::memory_order_acquire)) {
        // 2.
        const int64_t left = heardEnd - NowNs();
        if (left <= 0) {
          frozenFrame_ = song_->LengthFrames();
          end = TEngineEnd::Finished;
        } else {
          waitMs = int((left + 999'999) / 1'000'000);
        }
      } else {
        waitMs = kDeviceCheckMs;
      }
      if (end) {
        {
          TDeviceLock deviceLock(device_);
          cbPlaying_ = false;
        }
        state_ = TEngineState::Stopped;
        const uint64_t playId = playId_;
        TEndHandler handler = endHandler_;
        lock.unlock();
        if (handler) handler(playId, *end);
        lock.lock();
        continue;
      }
    }
    // 4. Announce the wait, then look once more: the callback may have freed room just before.
    decoderWaiting_.store(true);
    std::atomic_thread_fence(std::memory_order_seq_cst);
    if (state_ == TEngineState::Playing && !decodeDone_ && ring_.Free() >= kWakeFrames) {
      decoderWaiting_.store(false);
      continue;
    }
    lock.unlock();
    if (waitMs < 0)
      SDL_SemWait(wake_);
    else
      SDL_SemWaitTimeout(wake_, Uint32(waitMs));
    decoderWaiting_.store(false);
    lock.lock();
  }
}
