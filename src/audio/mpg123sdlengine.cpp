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

constexpr size_t kRingFrames = 32768;      // about 0.74 s at 44.1 kHz
constexpr size_t kChunkFrames = 8192;      // decoded per hold of a song's lock
constexpr size_t kMinDecodeFrames = 1152;  // one MPEG frame: less is not worth waking for
constexpr size_t kWakeFrames = kRingFrames / 2;
constexpr int kDeviceCheckMs = 1000;  // how often a playing decoder looks at the device at least
// How long an idle output stays open: long enough for the next song of a playlist to follow
// on the same device, short enough that a player at rest soon costs nothing.
constexpr int kIdleCloseMs = 500;

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// About 30 ms: each buffer is a wake-up of the audio thread, so fewer cost less, while Pause,
// Stop and a seek still take effect within one buffer and the silence padding the end of a
// song stays short. Always a whole number of milliseconds: SDL's dummy and disk drivers pace
// themselves by sleeping a buffer's length in whole milliseconds, so a buffer of 11.6 ms
// (slept as 11) would run them 5 % fast.
int BufferFramesFor(long rate) {
  for (long ms : {30, 20, 40, 25, 50, 10})
    if (rate * ms % 1000 == 0) return int(rate * ms / 1000);
  return 1024;
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

// One open song: its decoder is not thread-safe, so every use of it holds the lock.
struct TMpg123SdlEngine::TSong {
  std::mutex mutex;
  TMp3Decoder decoder;
  explicit TSong(const QString& fileName) : decoder(fileName) {}
};

TMpg123SdlEngine::TMpg123SdlEngine()
    : ring_(kRingFrames),
      decodeBuffer_(std::make_unique<int16_t[]>(kChunkFrames * TFrameRing::kChannels)),
      prefillBuffer_(std::make_unique<int16_t[]>(kChunkFrames * TFrameRing::kChannels)) {
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
  for (const SDL_AudioDeviceID device : retired_) SDL_CloseAudioDevice(device);
  SDL_DestroySemaphore(wake_);
  // sdl_ goes last: the last engine of the process shuts SDL down.
}

void TMpg123SdlEngine::SetEndHandler(TEndHandler handler) {
  std::lock_guard lock(mutex_);
  endHandler_ = std::move(handler);
}

// Opens the output once, so the first Open need not (and SDL's start-up cost is paid now);
// it closes again after the idle moment, and the first Play opens it afresh.
void TMpg123SdlEngine::Prepare() {
  {
    std::lock_guard lock(mutex_);
    if (device_ || outputKnown_) return;
    try {
      OpenDeviceLocked(44100);  // the rate of nearly every MP3
      RestAfterLocked(kIdleCloseMs);
    } catch (const EMCIDeviceError&) {
      return;  // no output now; Open says so when a song is asked for
    }
  }
  SDL_SemPost(wake_);
}

void TMpg123SdlEngine::Open(const QString& fileName) {
  Close();
  // The scan reads the whole file: done before taking any lock.
  auto song = std::make_shared<TSong>(fileName);
  {
    std::lock_guard lock(mutex_);
    // Until an output has been seen to open, Open checks for one, so a missing output is
    // reported with the song; afterwards Play opens it.
    if (!outputKnown_ && !device_) {
      OpenDeviceLocked(song->decoder.Rate());
      RestAfterLocked(kIdleCloseMs);
    }
    lengthFrames_ = song->decoder.LengthFrames();
    songRate_ = song->decoder.Rate();
    song_ = std::move(song);
    ++restarts_;
    state_ = TEngineState::Stopped;
    frozenFrame_ = 0;
  }
  SDL_SemPost(wake_);
}

// Opens a device at rate, paused; 0 when it cannot (SDL_GetError says why). Touches no member
// but the callback's address, so it needs no lock.
SDL_AudioDeviceID TMpg123SdlEngine::OpenDevice(long rate, SDL_AudioSpec& have) {
  SDL_AudioSpec want{};
  want.freq = int(rate);
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = Uint16(BufferFramesFor(rate));
  want.callback = &TMpg123SdlEngine::AudioCallback;
  want.userdata = this;
  // No changes allowed: SDL converts to whatever the hardware takes.
  return SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
}

// A freshly opened (still paused) device becomes the output.
void TMpg123SdlEngine::InstallDeviceLocked(SDL_AudioDeviceID device, const SDL_AudioSpec& have,
                                           long rate) {
  bufferFrames_ = have.samples;
  deviceRate_ = rate;
  // The dummy and disk drivers "play" a buffer while the next is prepared; a real device holds
  // about one more buffer before it is heard.
  const char* driver = SDL_GetCurrentAudioDriver();
  const bool instant =
      driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "disk") == 0);
  latencyNs_ = instant ? 0 : int64_t(bufferFrames_) * 1'000'000'000 / rate;
  const uint32_t volume = OutputVolume();
  gainLeft_ = int32_t(LeftLevel(volume));
  gainRight_ = int32_t(RightLevel(volume));
  device_ = device;
  outputKnown_ = true;
}

// Opens the output at rate when none is open, none is being closed and none is needed at
// another rate; throws when there is no output.
void TMpg123SdlEngine::OpenDeviceLocked(long rate) {
  if (!sdl_.Start()) throw EMCIDeviceError(NoOutputText());
  SDL_AudioSpec have{};
  const SDL_AudioDeviceID device = OpenDevice(rate, have);
  if (!device) throw EMCIDeviceError(NoOutputText());
  InstallDeviceLocked(device, have, rate);
}

// Kept while songs of one rate follow, unless it was lost (unplugged, sound server gone).
bool TMpg123SdlEngine::DeviceReadyLocked(long rate) const {
  return device_ && deviceRate_ == rate && SDL_GetAudioDeviceStatus(device_) != SDL_AUDIO_STOPPED;
}

// The callback starts handing out the ring from the next buffer on; a fresh device starts now.
void TMpg123SdlEngine::StartOutputLocked() {
  {
    TDeviceLock deviceLock(device_);
    cbPlaying_ = true;
  }
  startPending_ = false;
  SDL_PauseAudioDevice(device_, 0);
}

// Pauses the device, so its callback runs no more, and leaves it to the decoder to close.
void TMpg123SdlEngine::RetireDeviceLocked() {
  if (!device_) return;
  SDL_PauseAudioDevice(device_, 1);
  retired_.push_back(device_);
  device_ = 0;
  deviceRate_ = 0;
  SDL_SemPost(wake_);
}

// The callback hands out no more audio once this returns, and a pending start is off.
void TMpg123SdlEngine::HaltOutputLocked() {
  startPending_ = false;
  TDeviceLock deviceLock(device_);
  cbPlaying_ = false;
}

void TMpg123SdlEngine::RestAfterLocked(int ms) {
  restUntilNs_ = NowNs() + int64_t(ms) * 1'000'000;
}

void TMpg123SdlEngine::Close() {
  std::shared_ptr<TSong> song;
  {
    std::lock_guard lock(mutex_);
    if (!song_) return;
    HaltOutputLocked();
    song = std::move(song_);
    ++restarts_;
    state_ = TEngineState::Closed;
    frozenFrame_ = 0;
    lengthFrames_ = 0;
    RestAfterLocked(kIdleCloseMs);
  }
  SDL_SemPost(wake_);
  // The song closes its file here, outside mutex_, or once a read of it in progress is over.
}

TMpg123SdlEngine::TChunk TMpg123SdlEngine::DecodeChunk(TSong& song, int16_t* out, size_t frames,
                                                       size_t& got) {
  got = 0;
  switch (song.decoder.Read(out, frames, got)) {
    case TMp3Decoder::TRead::More:
      return TChunk::More;
    case TMp3Decoder::TRead::End:
      return TChunk::End;
    case TMp3Decoder::TRead::Failed:
      break;
  }
  return TChunk::Failed;
}

void TMpg123SdlEngine::TakeChunkLocked(TChunk chunk) {
  if (chunk == TChunk::More) return;
  decodeDone_ = true;
  if (chunk == TChunk::Failed)
    decodeFailed_ = true;
  else
    endWritten_.store(true, std::memory_order_release);
}

// Starts output at fromMs: halts the callback, clears the ring, seeks and decodes the first few
// buffers, then lets the callback go, so it has audio the next time it runs. seek: only when
// playing, as the same play; else a new play. The file is read under the song's lock alone.
void TMpg123SdlEngine::Restart(int64_t fromMs, uint64_t playId, bool seek) {
  std::shared_ptr<TSong> song;
  int64_t frame = 0;
  size_t prefill = 0;
  {
    std::lock_guard lock(mutex_);
    if (!song_) return;
    frame = MsToFrame(fromMs);
    if (seek && state_ != TEngineState::Playing) {
      frozenFrame_ = frame;
      return;
    }
    if (seek) playId = playId_;
    song = song_;
    HaltOutputLocked();
    ++restarts_;  // a chunk being read now is dropped
    ring_.Reset();
    endWritten_.store(false);
    heardEndNs_.store(0);
    decodeDone_ = false;
    decodeFailed_ = false;
    prefill = std::min<size_t>(size_t(BufferFramesFor(songRate_)) * 2, kChunkFrames);
  }
  auto stopAt = [&] {
    std::lock_guard lock(mutex_);
    state_ = TEngineState::Stopped;
    frozenFrame_ = frame;
    RestAfterLocked(kIdleCloseMs);
  };
  // Held until the prefill is in the ring, so the decoder's next chunk lands behind it.
  std::lock_guard songLock(song->mutex);
  if (!song->decoder.Seek(frame)) {
    stopAt();
    throw EMCIDeviceError(song->decoder.ErrorText());
  }
  TChunk chunk = TChunk::More;
  size_t filled = 0;
  for (int n = 0; n < 16 && chunk == TChunk::More && filled < prefill; ++n) {
    size_t got = 0;
    chunk = DecodeChunk(*song, prefillBuffer_.get() + filled * TFrameRing::kChannels,
                        prefill - filled, got);
    filled += got;
  }
  {
    std::unique_lock lock(mutex_);
    if (song != song_) return;  // closed meanwhile
    ring_.Write(prefillBuffer_.get(), filled);
    TakeChunkLocked(chunk);
    bool ready = DeviceReadyLocked(songRate_);
    try {
      if (!ready && !sdl_.Start()) throw EMCIDeviceError(NoOutputText());
      // From rest the device opens right here and its first callback already has audio. One to
      // replace is closed by the decoder first, which then opens the new one.
      if (!ready && !device_ && !opening_ && closing_ == 0 && retired_.empty()) {
        OpenDeviceLocked(songRate_);
        ready = true;
      }
    } catch (...) {
      lock.unlock();
      stopAt();
      throw;
    }
    playId_ = playId;
    reportedFrame_ = frame;
    {
      TDeviceLock deviceLock(device_);
      cbStartFrame_ = frame;
      cbNextFrame_ = frame;
      cbValid_ = false;
      cbFirstNs_ = 0;
    }
    state_ = TEngineState::Playing;
    if (ready) {
      StartOutputLocked();
    } else {
      RetireDeviceLocked();
      startPending_ = true;
    }
  }
  SDL_SemPost(wake_);
}

void TMpg123SdlEngine::Play(int64_t fromMs, uint64_t playId) {
  Restart(fromMs, playId, false);
}

void TMpg123SdlEngine::Pause() {
  {
    std::lock_guard lock(mutex_);
    if (state_ != TEngineState::Playing) return;
    frozenFrame_ = CurrentFrameLocked();
    HaltOutputLocked();
    state_ = TEngineState::Paused;
    RestAfterLocked(kIdleCloseMs);
  }
  SDL_SemPost(wake_);
}

void TMpg123SdlEngine::Stop() {
  {
    std::lock_guard lock(mutex_);
    if (state_ == TEngineState::Playing) {
      frozenFrame_ = CurrentFrameLocked();
      HaltOutputLocked();
    }
    if (state_ != TEngineState::Playing && state_ != TEngineState::Paused) return;
    state_ = TEngineState::Stopped;
    RestAfterLocked(kIdleCloseMs);
  }
  SDL_SemPost(wake_);
}

void TMpg123SdlEngine::Seek(int64_t ms) {
  {
    std::lock_guard lock(mutex_);
    if (state_ == TEngineState::Closed) return;
    if (state_ != TEngineState::Playing) {
      frozenFrame_ = MsToFrame(ms);
      return;
    }
  }
  Restart(ms, 0, true);  // moves the decoder: only a playing song needs that
}

int64_t TMpg123SdlEngine::Position() {
  std::lock_guard lock(mutex_);
  if (state_ == TEngineState::Closed) return 0;
  return FrameToMs(state_ == TEngineState::Playing ? CurrentFrameLocked() : frozenFrame_);
}

int64_t TMpg123SdlEngine::Length() const {
  std::lock_guard lock(mutex_);
  return state_ == TEngineState::Closed ? 0 : FrameToMs(lengthFrames_);
}

TEngineState TMpg123SdlEngine::State() const {
  std::lock_guard lock(mutex_);
  return state_;
}

// Tags never change after the open, so they are read without the song's lock.
TSongTags TMpg123SdlEngine::Tags() const {
  std::lock_guard lock(mutex_);
  return song_ ? song_->decoder.Tags() : TSongTags();
}

int64_t TMpg123SdlEngine::FirstAudioTimeNs() {
  std::lock_guard lock(mutex_);
  TDeviceLock deviceLock(device_);
  return cbFirstNs_;
}

int64_t TMpg123SdlEngine::HeardUntilNs() {
  std::lock_guard lock(mutex_);
  TDeviceLock deviceLock(device_);
  if (!cbValid_ || deviceRate_ == 0) return 0;
  return cbTimeNs_ + cbFrames_ * 1'000'000'000 / deviceRate_ + latencyNs_;
}

bool TMpg123SdlEngine::OutputOpen() const {
  std::lock_guard lock(mutex_);
  return device_ != 0 || opening_ || closing_ > 0 || !retired_.empty();
}

int TMpg123SdlEngine::OutputBufferFrames() const {
  std::lock_guard lock(mutex_);
  return bufferFrames_;
}

long TMpg123SdlEngine::OutputRate() const {
  std::lock_guard lock(mutex_);
  return deviceRate_;
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
  if (ms <= 0) return 0;
  const int64_t frame = (ms * songRate_ + 999) / 1000;
  return std::min(frame, lengthFrames_);
}

int64_t TMpg123SdlEngine::FrameToMs(int64_t frame) const {
  return frame * 1000 / songRate_;
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
  if (got < frames && !endWritten_.load(std::memory_order_acquire))
    underruns_.fetch_add(1, std::memory_order_relaxed);
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

// 1. While a play needs audio and the ring has room: decode a chunk under the song's lock
//    alone, then put it into the ring unless the play was restarted meanwhile.
// 2. Once the last frame is in the ring: wait until the callback reports when it will have been
//    heard, then until that moment; then the song is stopped at its end and Finished is sent.
// 3. Decoding failed, or the device went away: stop where the listener is, send Failed.
// 4. Not playing, the device open: close it once it has been idle for kIdleCloseMs.
// 5. Otherwise sleep until the callback frees half the ring or the GUI thread changes
//    something; with nothing playing and the device closed, without a timeout.
// 6. Before all that: close the devices done with.
// 7. Then open the device a play waits for; when it cannot be opened, the play failed.
// Stops the play (halted by the caller) and sends its end to the handler, without mutex_.
void TMpg123SdlEngine::EndPlayLocked(std::unique_lock<std::mutex>& lock, TEngineEnd end) {
  state_ = TEngineState::Stopped;
  RestAfterLocked(kIdleCloseMs);
  const uint64_t playId = playId_;
  TEndHandler handler = endHandler_;
  lock.unlock();
  if (handler) handler(playId, end);
  lock.lock();
}

void TMpg123SdlEngine::DecodeLoop() {
  pthread_setname_np(pthread_self(), "mp3decode");
  std::unique_lock lock(mutex_);
  for (;;) {
    if (quit_) return;
    // 6. Closing waits for SDL's audio thread: done without mutex_, which the GUI wants.
    if (!retired_.empty()) {
      const std::vector<SDL_AudioDeviceID> devices = std::move(retired_);
      retired_.clear();
      closing_ = int(devices.size());
      lock.unlock();
      for (const SDL_AudioDeviceID device : devices) SDL_CloseAudioDevice(device);
      lock.lock();
      closing_ = 0;
      continue;
    }
    // 7.
    if (startPending_ && state_ == TEngineState::Playing) {
      const long rate = songRate_;
      opening_ = true;
      lock.unlock();
      SDL_AudioSpec have{};
      const SDL_AudioDeviceID device = OpenDevice(rate, have);
      lock.lock();
      opening_ = false;
      if (!device) {
        if (startPending_) {
          HaltOutputLocked();
          frozenFrame_ = cbStartFrame_;
          EndPlayLocked(lock, TEngineEnd::Failed);
        }
        continue;
      }
      if (device_) retired_.push_back(device_);  // cannot happen: a pending start has none
      InstallDeviceLocked(device, have, rate);
      if (startPending_ && state_ == TEngineState::Playing && songRate_ == rate)
        StartOutputLocked();
      else
        RestAfterLocked(kIdleCloseMs);
      continue;
    }
    int waitMs = -1;
    std::optional<TEngineEnd> end;
    if (state_ == TEngineState::Playing) {
      // 1.
      if (!decodeDone_ && ring_.Free() >= kMinDecodeFrames) {
        const uint64_t restart = restarts_;
        std::shared_ptr<TSong> song = song_;
        const size_t room = std::min(ring_.Free(), kChunkFrames);
        lock.unlock();
        size_t got = 0;
        TChunk chunk;
        {
          std::lock_guard songLock(song->mutex);
          chunk = DecodeChunk(*song, decodeBuffer_.get(), room, got);
        }
        song.reset();  // a song closed meanwhile closes its file here, outside mutex_
        lock.lock();
        // A restart or close meanwhile makes this chunk moot.
        if (restarts_ == restart) {
          ring_.Write(decodeBuffer_.get(), got);
          TakeChunkLocked(chunk);
        }
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
          frozenFrame_ = lengthFrames_;
          end = TEngineEnd::Finished;
        } else {
          waitMs = int((left + 999'999) / 1'000'000);
        }
      } else {
        waitMs = kDeviceCheckMs;
      }
      if (end) {
        HaltOutputLocked();
        EndPlayLocked(lock, *end);
        continue;
      }
    } else if (device_) {
      // 4.
      const int64_t left = restUntilNs_ - NowNs();
      if (left <= 0) {
        RetireDeviceLocked();
        continue;
      }
      waitMs = int((left + 999'999) / 1'000'000);
    }
    // 5. Announce the wait, then look once more: the callback may have freed room just before.
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
