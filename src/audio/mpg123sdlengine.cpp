#include "audio/mpg123sdlengine.h"

#include <pthread.h>
#include <sys/stat.h>
#include <time.h>

#include <QFile>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <utility>

#include "audio/mp3decoder.h"
#include "audio/outputvolume.h"
#include "audio/sdllibrary.h"
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
// How long before a song's end its successor is asked for: time enough to open it from a
// slow disk, late enough that changes to the playlist seldom have to take it back.
constexpr int64_t kLookAheadMs = 10000;

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// About 50 ms, near what SDL's own players use: each buffer is a wake-up of the audio thread,
// so fewer cost less, while Pause, Stop and a seek still take effect within one buffer, well
// before anyone notices. Always a
// whole number of milliseconds: SDL's dummy and disk drivers pace themselves by sleeping a
// buffer's length in whole milliseconds, so a buffer of 11.6 ms (slept as 11) would run them
// 5 % fast.
int BufferFramesFor(long rate) {
  for (long ms : {50, 40, 30, 20, 25, 10})
    if (rate * ms % 1000 == 0) return int(rate * ms / 1000);
  return 1024;
}

// One SDL device lock scope.
class TDeviceLock {
 public:
  explicit TDeviceLock(SDL_AudioDeviceID device) : device_(device) {
    if (device_) Sdl().LockAudioDevice(device_);
  }
  ~TDeviceLock() {
    if (device_) Sdl().UnlockAudioDevice(device_);
  }
  TDeviceLock(const TDeviceLock&) = delete;
  TDeviceLock& operator=(const TDeviceLock&) = delete;

 private:
  SDL_AudioDeviceID device_;
};

QString NoOutputText() {
  return QStringLiteral("No audio output is available: %1")
      .arg(SdlLoaded() ? QString::fromUtf8(Sdl().GetError()) : SdlLoadError());
}

bool IsFile(const QString& path) {
  struct stat st;
  return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

// Work for a thread of its own, which ends when the work does. SDL keeps per-thread data for
// any thread that calls it and frees it only for threads it made itself.
template <typename F>
void RunJob(F&& work) {
  std::thread([work = std::forward<F>(work)]() mutable {
    work();
    if (SdlLoaded()) Sdl().TLSCleanup();
  }).detach();
}

}  // namespace

// One open song: its decoder is not thread-safe, so every use of it holds the lock.
struct TMpg123SdlEngine::TSong {
  std::mutex mutex;
  TMp3Decoder decoder;
  QString fileName;
  explicit TSong(const QString& name) : decoder(name), fileName(name) {}
};

// What a job reaches the engine through: null once the engine is gone.
struct TMpg123SdlEngine::TJobGate {
  std::mutex mutex;
  TMpg123SdlEngine* engine = nullptr;
};

TMpg123SdlEngine::TMpg123SdlEngine()
    : gate_(std::make_shared<TJobGate>()),
      ring_(kRingFrames),
      decodeBuffer_(std::make_unique<int16_t[]>(kChunkFrames * TFrameRing::kChannels)) {
  gate_->engine = this;
  sem_init(&wake_, 0, 0);
  decoder_ = std::thread([this] { DecodeLoop(); });
}

TMpg123SdlEngine::~TMpg123SdlEngine() {
  {
    // A job still reading (a stalled disk) finishes on its own and reaches no one.
    std::lock_guard gate(gate_->mutex);
    gate_->engine = nullptr;
  }
  Close();
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  sem_post(&wake_);
  decoder_.join();
  if (device_) Sdl().CloseAudioDevice(device_);
  for (const SDL_AudioDeviceID device : retired_) Sdl().CloseAudioDevice(device);
  sem_destroy(&wake_);
  // sdl_ goes last: the last engine of the process shuts SDL down.
}

void TMpg123SdlEngine::SetHandlers(TEngineHandlers handlers) {
  std::lock_guard lock(mutex_);
  handlers_ = std::move(handlers);
}

// Opens the output once, so the first Open need not (and SDL's start-up cost is paid now);
// it closes again after the idle moment, and the first Play opens it afresh.
// Loading SDL and opening the device take their time (a sound server may be slow to answer):
// on a thread of their own, so the caller goes on at once.
void TMpg123SdlEngine::Prepare() {
  RunJob([gate = gate_] {
    LoadSdl();
    std::lock_guard gateLock(gate->mutex);
    if (gate->engine) gate->engine->PrepareOutput();
  });
}

void TMpg123SdlEngine::PrepareOutput() {
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
  sem_post(&wake_);
}

// ---------------------------------------------------------------------------------------------
// Opening

void TMpg123SdlEngine::Open(const QString& fileName, uint64_t openId) {
  Close();
  uint64_t seq;
  {
    std::lock_guard lock(mutex_);
    seq = openSeq_;
  }
  // The scan reads the file: on a thread of its own, so nothing waits for the disk.
  RunJob([gate = gate_, fileName, openId, seq] {
    std::shared_ptr<TSong> song;
    QString error;
    try {
      song = std::make_shared<TSong>(fileName);
    } catch (const EBrimtoneError& e) {
      error = e.Message();
    } catch (const std::exception& e) {
      error = QString::fromLocal8Bit(e.what());
    }
    std::lock_guard lock(gate->mutex);
    if (gate->engine) gate->engine->OpenDone(seq, openId, song, error);
    // A song nobody took closes its file here, after the gate is free again.
  });
}

void TMpg123SdlEngine::OpenDone(uint64_t seq, uint64_t openId, std::shared_ptr<TSong>& song,
                                QString error) {
  std::function<void(uint64_t, const QString&)> opened;
  {
    std::lock_guard lock(mutex_);
    if (seq != openSeq_) return;  // closed or opened again meanwhile
    // Until an output has been seen to open, opening checks for one, so a missing output is
    // reported with the song; afterwards Play opens it.
    if (song && !outputKnown_ && !device_) {
      try {
        OpenDeviceLocked(song->decoder.Rate());
        RestAfterLocked(kIdleCloseMs);
      } catch (const EMCIDeviceError& e) {
        error = e.Message();
      }
    }
    if (error.isEmpty()) {
      lengthFrames_ = song->decoder.LengthFrames();
      songRate_ = song->decoder.Rate();
      song_ = decodeSong_ = std::move(song);
      ++epoch_;
      state_ = TEngineState::Stopped;
      frozenFrame_ = 0;
    }
    opened = handlers_.opened;
  }
  sem_post(&wake_);
  if (opened) opened(openId, error);
}

void TMpg123SdlEngine::CloseLocked() {
  ++openSeq_;
  ++startSeq_;
  ++nextSeq_;
  starting_ = false;
  next_.reset();
  awaitingNext_ = false;
  if (!song_) return;
  HaltOutputLocked();
  UnjoinLocked();
  next_.reset();
  song_.reset();
  decodeSong_.reset();
  ++epoch_;
  state_ = TEngineState::Closed;
  frozenFrame_ = 0;
  lengthFrames_ = 0;
  RestAfterLocked(kIdleCloseMs);
}

void TMpg123SdlEngine::Close() {
  // The songs close their files here, outside mutex_, or once a read of them is over.
  std::shared_ptr<TSong> songs[4];
  {
    std::lock_guard lock(mutex_);
    songs[0] = song_;
    songs[1] = decodeSong_;
    if (next_) songs[2] = next_->song;
    if (joined_) songs[3] = joined_->song;
    CloseLocked();
  }
  sem_post(&wake_);
}

// ---------------------------------------------------------------------------------------------
// Output device

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
  return Sdl().OpenAudioDevice(nullptr, 0, &want, &have, 0);
}

// A freshly opened (still paused) device becomes the output.
void TMpg123SdlEngine::InstallDeviceLocked(SDL_AudioDeviceID device, const SDL_AudioSpec& have,
                                           long rate) {
  bufferFrames_ = have.samples;
  deviceRate_ = rate;
  // The dummy and disk drivers "play" a buffer while the next is prepared; a real device holds
  // about one more buffer before it is heard.
  const char* driver = Sdl().GetCurrentAudioDriver();
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
  return device_ && deviceRate_ == rate && Sdl().GetAudioDeviceStatus(device_) != SDL_AUDIO_STOPPED;
}

// The callback starts handing out the ring from the next buffer on; a fresh device starts now.
void TMpg123SdlEngine::StartOutputLocked() {
  {
    TDeviceLock deviceLock(device_);
    cbPlaying_ = true;
  }
  deviceWait_ = false;
  Sdl().PauseAudioDevice(device_, 0);
}

// Pauses the device, so its callback runs no more, and leaves it to the decoder to close.
void TMpg123SdlEngine::RetireDeviceLocked() {
  if (!device_) return;
  Sdl().PauseAudioDevice(device_, 1);
  retired_.push_back(device_);
  device_ = 0;
  deviceRate_ = 0;
  sem_post(&wake_);
}

// The callback hands out no more audio once this returns, and a pending start is off.
void TMpg123SdlEngine::HaltOutputLocked() {
  deviceWait_ = false;
  TDeviceLock deviceLock(device_);
  cbPlaying_ = false;
}

void TMpg123SdlEngine::RestAfterLocked(int ms) {
  restUntilNs_ = NowNs() + int64_t(ms) * 1'000'000;
}

// ---------------------------------------------------------------------------------------------
// Playing

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

// The decoded song came to its end: the queued song follows it in the ring when it can (the
// same rate, still there), else this is the play's last frame.
void TMpg123SdlEngine::TakeChunkLocked(TChunk chunk, bool nextExists) {
  if (chunk == TChunk::More) return;
  if (chunk == TChunk::Failed) {
    decodeDone_ = true;
    decodeFailed_ = true;
    return;
  }
  if (!joined_ && next_ && nextExists) {
    if (next_->song) {
      if (next_->song->decoder.Rate() == songRate_) {
        JoinNextLocked();
        return;
      }
    } else if (!next_->failed) {
      awaitingNext_ = true;  // still opening: it may come in time
      return;
    }
  }
  decodeDone_ = true;
  endWritten_.store(true, std::memory_order_release);
}

// The queued song's frames go into the ring right behind the last frame of the one heard.
void TMpg123SdlEngine::JoinNextLocked() {
  joined_ = std::move(next_);
  next_.reset();
  awaitingNext_ = false;
  decodeSong_ = joined_->song;
  boundary_.store(ring_.WrittenTotal(), std::memory_order_release);
}

// The ring is refilled anew: a joined song goes back to being queued (from its start).
void TMpg123SdlEngine::UnjoinLocked() {
  awaitingNext_ = false;
  boundary_.store(kNoBoundary);
  {
    TDeviceLock deviceLock(device_);
    cbSwitched_ = false;
  }
  decodeSong_ = song_;
  if (!joined_) return;
  if (!next_) {
    next_ = std::move(joined_);
    next_->rewind = true;
  }
  joined_.reset();
}

// Takes back the joined song's audio not yet heard; false when it is being heard already.
bool TMpg123SdlEngine::DropJoinedAudioLocked() {
  if (!joined_) return true;
  {
    TDeviceLock deviceLock(device_);
    if (cbSwitched_) return false;
    ring_.TruncateTo(boundary_.load());
  }
  boundary_.store(kNoBoundary);
  joined_.reset();
  decodeSong_ = song_;
  ++epoch_;  // a chunk of the joined song being decoded now is dropped
  decodeDone_ = true;
  endWritten_.store(true, std::memory_order_release);
  return true;
}

// Whether the callback has passed into the joined song, and when it handed out its first frame.
bool TMpg123SdlEngine::SwitchedLocked(int64_t* handedNs) const {
  if (!joined_) return false;
  TDeviceLock deviceLock(device_);
  if (handedNs) *handedNs = cbSwitchNs_;
  return cbSwitched_;
}

// The joined song's first sample has been heard: it is the song now, playing as its play.
void TMpg123SdlEngine::DeclareJoinLocked(std::unique_lock<std::mutex>& lock) {
  TPlayEnd end{playId_, TEngineEnd::Finished, joined_->playId, joined_->fileName};
  song_ = std::move(joined_->song);
  decodeSong_ = song_;
  joined_.reset();
  lengthFrames_ = song_->decoder.LengthFrames();
  playId_ = end.nextPlayId;
  reportedFrame_ = 0;
  frozenFrame_ = 0;
  nextWantedFor_ = 0;
  boundary_.store(kNoBoundary);
  {
    TDeviceLock deviceLock(device_);
    cbSwitched_ = false;
  }
  joins_.fetch_add(1, std::memory_order_relaxed);
  const auto ended = handlers_.ended;
  lock.unlock();
  if (ended) ended(end);
  lock.lock();
}

// Starts output at fromMs: halts the callback and clears the ring at once; a job seeks and
// decodes the first few buffers, then lets the callback go, so it has audio the next time it
// runs. seek: only when playing, as the same play; else a new play.
void TMpg123SdlEngine::Restart(int64_t fromMs, uint64_t playId, bool seek) {
  std::shared_ptr<TSong> song;
  int64_t frame = 0;
  size_t prefill = 0;
  uint64_t seq = 0;
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
    UnjoinLocked();
    ++epoch_;  // a chunk being read now is dropped
    ring_.Reset();
    endWritten_.store(false);
    heardEndNs_.store(0);
    decodeDone_ = false;
    decodeFailed_ = false;
    seq = ++startSeq_;
    starting_ = true;
    startFrame_ = frame;
    {
      TDeviceLock deviceLock(device_);
      cbFirstNs_ = 0;
    }
    reportedFrame_ = frame;
    if (playId != playId_) nextWantedFor_ = 0;
    playId_ = playId;
    state_ = TEngineState::Playing;
    prefill = std::min<size_t>(size_t(BufferFramesFor(songRate_)) * 2, kChunkFrames);
  }
  RunJob([gate = gate_, song, frame, seq, prefill] {
    std::vector<int16_t> buffer(prefill * TFrameRing::kChannels);
    // Held until the prefill is in the ring, so the decoder's next chunk lands behind it.
    std::lock_guard songLock(song->mutex);
    const bool seeked = song->decoder.Seek(frame);
    TChunk chunk = TChunk::More;
    size_t filled = 0;
    for (int n = 0; seeked && n < 16 && chunk == TChunk::More && filled < prefill; ++n) {
      size_t got = 0;
      chunk =
          DecodeChunk(*song, buffer.data() + filled * TFrameRing::kChannels, prefill - filled, got);
      filled += got;
    }
    std::lock_guard lock(gate->mutex);
    if (gate->engine) gate->engine->StartDone(seq, song, seeked, buffer.data(), filled, chunk);
  });
}

void TMpg123SdlEngine::StartDone(uint64_t seq, const std::shared_ptr<TSong>& song, bool seeked,
                                 const int16_t* prefill, size_t frames, TChunk chunk) {
  std::unique_lock lock(mutex_);
  if (seq != startSeq_ || song != song_) return;  // called off or started again meanwhile
  starting_ = false;
  auto fail = [&] {
    HaltOutputLocked();
    frozenFrame_ = startFrame_;
    EndPlayLocked(lock, TEngineEnd::Failed);
  };
  if (!seeked) {
    fail();
    return;
  }
  ring_.Write(prefill, frames);
  TakeChunkLocked(chunk, true);
  bool ready = DeviceReadyLocked(songRate_);
  try {
    if (!ready && !sdl_.Start()) throw EMCIDeviceError(NoOutputText());
    // From rest the device opens right here and its first callback already has audio. One to
    // replace is closed by the decoder first, which then opens the new one.
    if (!ready && !device_ && !opening_ && closing_ == 0 && retired_.empty()) {
      OpenDeviceLocked(songRate_);
      ready = true;
    }
  } catch (const EMCIDeviceError&) {
    fail();
    return;
  }
  {
    TDeviceLock deviceLock(device_);
    cbStartFrame_ = startFrame_;
    cbNextFrame_ = startFrame_;
    cbValid_ = false;
    cbFirstNs_ = 0;
    cbSwitched_ = false;
  }
  if (ready) {
    StartOutputLocked();
  } else {
    RetireDeviceLocked();
    deviceWait_ = true;
  }
  lock.unlock();
  sem_post(&wake_);
}

void TMpg123SdlEngine::Play(int64_t fromMs, uint64_t playId) {
  Restart(fromMs, playId, false);
  sem_post(&wake_);
}

void TMpg123SdlEngine::Pause() {
  {
    std::lock_guard lock(mutex_);
    if (state_ != TEngineState::Playing) return;
    frozenFrame_ = starting_ ? startFrame_ : CurrentFrameLocked();
    ++startSeq_;
    starting_ = false;
    HaltOutputLocked();
    state_ = TEngineState::Paused;
    RestAfterLocked(kIdleCloseMs);
  }
  sem_post(&wake_);
}

void TMpg123SdlEngine::Stop() {
  {
    std::lock_guard lock(mutex_);
    ++nextSeq_;
    if (DropJoinedAudioLocked()) {
      next_.reset();
      awaitingNext_ = false;
    }
    if (state_ == TEngineState::Playing) {
      frozenFrame_ = starting_ ? startFrame_ : CurrentFrameLocked();
      ++startSeq_;
      starting_ = false;
      HaltOutputLocked();
    }
    if (state_ != TEngineState::Playing && state_ != TEngineState::Paused) return;
    state_ = TEngineState::Stopped;
    RestAfterLocked(kIdleCloseMs);
  }
  sem_post(&wake_);
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
  sem_post(&wake_);
}

// ---------------------------------------------------------------------------------------------
// The next song

void TMpg123SdlEngine::QueueNext(const QString& fileName, uint64_t nextPlayId) {
  uint64_t seq;
  {
    std::lock_guard lock(mutex_);
    if (!song_) return;
    seq = ++nextSeq_;
    // A joined song not yet heard makes way; one being heard already is followed by this one.
    DropJoinedAudioLocked();
    next_ = TNext{seq, fileName, nextPlayId, nullptr, false, false};
    // The last frame may be in the ring already: while it has not been heard, this one can
    // still follow it (the callback is held off while the end is taken back).
    if (decodeDone_ && !decodeFailed_ && !joined_ && state_ == TEngineState::Playing) {
      TDeviceLock deviceLock(device_);
      if (heardEndNs_.load() == 0) {
        decodeDone_ = false;
        endWritten_.store(false);
        awaitingNext_ = true;
      }
    }
  }
  sem_post(&wake_);
  RunJob([gate = gate_, fileName, seq] {
    std::shared_ptr<TSong> song;
    try {
      song = std::make_shared<TSong>(fileName);
    } catch (const std::exception&) {
    }
    std::lock_guard lock(gate->mutex);
    if (gate->engine) gate->engine->NextOpened(seq, song);
  });
}

void TMpg123SdlEngine::NextOpened(uint64_t seq, std::shared_ptr<TSong>& song) {
  {
    std::lock_guard lock(mutex_);
    if (!next_ || next_->seq != seq) return;
    if (song)
      next_->song = std::move(song);
    else
      next_->failed = true;
  }
  sem_post(&wake_);
}

void TMpg123SdlEngine::DropNext() {
  {
    std::lock_guard lock(mutex_);
    ++nextSeq_;
    if (!DropJoinedAudioLocked()) return;  // too late: it is being heard
    next_.reset();
    if (awaitingNext_) {
      awaitingNext_ = false;
      decodeDone_ = true;
      endWritten_.store(true, std::memory_order_release);
    }
  }
  sem_post(&wake_);
}

// ---------------------------------------------------------------------------------------------
// State

int64_t TMpg123SdlEngine::Position() {
  std::lock_guard lock(mutex_);
  if (state_ == TEngineState::Closed) return 0;
  if (state_ != TEngineState::Playing) return FrameToMs(frozenFrame_);
  if (starting_) return FrameToMs(startFrame_);
  if (SwitchedLocked()) return FrameToMs(lengthFrames_);  // the end, until the next is declared
  return FrameToMs(CurrentFrameLocked());
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
  reportedFrame_ = std::clamp(frame, reportedFrame_, std::max(reportedFrame_, lengthFrames_));
  return reportedFrame_;
}

// Rounded up, so that a position set in milliseconds reads back as the same milliseconds.
int64_t TMpg123SdlEngine::MsToFrame(int64_t ms) const {
  if (ms <= 0) return 0;
  const int64_t frame = (ms * songRate_ + 999) / 1000;
  return std::min(frame, lengthFrames_);
}

int64_t TMpg123SdlEngine::FrameToMs(int64_t frame) const {
  return songRate_ > 0 ? frame * 1000 / songRate_ : 0;
}

// ---------------------------------------------------------------------------------------------
// The audio callback

void TMpg123SdlEngine::AudioCallback(void* userdata, Uint8* stream, int len) {
  static_cast<TMpg123SdlEngine*>(userdata)->Fill(reinterpret_cast<int16_t*>(stream),
                                                 size_t(len) / (2 * sizeof(int16_t)));
}

void TMpg123SdlEngine::Fill(int16_t* out, size_t frames) {
  const size_t readAt = ring_.ReadTotal();
  const size_t got = cbPlaying_ ? ring_.Read(out, frames) : 0;
  ApplyVolume(out, got);
  std::memset(out + got * 2, 0, (frames - got) * 2 * sizeof(int16_t));
  if (!cbPlaying_) return;
  if (got < frames && !endWritten_.load(std::memory_order_acquire))
    underruns_.fetch_add(1, std::memory_order_relaxed);
  const int64_t now = NowNs();
  bool wake = false;
  if (got > 0) {
    if (!cbValid_) cbFirstNs_ = now;
    const size_t boundary = boundary_.load(std::memory_order_acquire);
    if (!cbSwitched_ && boundary != kNoBoundary && boundary >= readAt && boundary <= readAt + got) {
      // The joined song starts in this buffer: from here on frames count in it.
      const int64_t before = int64_t(boundary - readAt);
      cbSwitched_ = true;
      cbSwitchNs_ = now + before * 1'000'000'000 / deviceRate_;
      cbStartFrame_ = 0;
      cbBase_ = -before;
      cbNextFrame_ = int64_t(got) - before;
      wake = true;
    } else {
      cbBase_ = cbNextFrame_;
      cbNextFrame_ += int64_t(got);
    }
    cbFrames_ = int64_t(got);
    cbTimeNs_ = now;
    cbValid_ = true;
  }
  std::atomic_thread_fence(std::memory_order_seq_cst);
  if (got < frames && endWritten_.load(std::memory_order_acquire) && ring_.Available() == 0) {
    if (heardEndNs_.load(std::memory_order_relaxed) == 0) {
      const int64_t handedEnd =
          cbValid_ ? cbTimeNs_ + cbFrames_ * 1'000'000'000 / deviceRate_ : now;
      heardEndNs_.store(handedEnd + latencyNs_, std::memory_order_release);
      wake = true;
    }
  } else if (ring_.Free() >= kWakeFrames && decoderWaiting_.load() &&
             decoderWaiting_.exchange(false)) {
    wake = true;
  }
  if (wake) sem_post(&wake_);
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
    // x * level / 65535 as a rounded 16.16 product, less than 3/4 of a step from the exact
    // quotient: a loop the compiler makes vector code of, where the division cost some 20
    // instructions a frame on every buffer below full volume.
    auto fixed = [](int32_t level) { return int32_t((int64_t(level) * 65536 + 32767) / 65535); };
    const int32_t left = fixed(toLeft), right = fixed(toRight);
    for (size_t i = 0; i < frames; ++i) {
      samples[2 * i] = int16_t((samples[2 * i] * left + 32768) >> 16);
      samples[2 * i + 1] = int16_t((samples[2 * i + 1] * right + 32768) >> 16);
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

// ---------------------------------------------------------------------------------------------
// The decoder thread

// Stops the play (halted by the caller) and sends its end to the handler, without mutex_.
void TMpg123SdlEngine::EndPlayLocked(std::unique_lock<std::mutex>& lock, TEngineEnd end) {
  state_ = TEngineState::Stopped;
  RestAfterLocked(kIdleCloseMs);
  const TPlayEnd report{playId_, end, 0, {}};
  const auto ended = handlers_.ended;
  lock.unlock();
  if (ended) ended(report);
  lock.lock();
}

// 1. The callback passed into the joined song: once its first frame has been heard, the
//    play ends and the joined song's begins.
// 2. While a play needs audio and the ring has room: decode a chunk under the song's lock
//    alone, then put it into the ring unless the ring was refilled meanwhile. At the song's
//    end the queued song follows, if it can.
// 3. The song is decoded to its end and its successor still opens: wait for it while the
//    ring lasts.
// 4. Nearing the end with no successor queued: ask for one, once a play.
// 5. Decoding failed, or the device went away: stop where the listener is, send Failed.
// 6. Once the last frame is in the ring: wait until the callback reports when it will have
//    been heard, then until that moment; then the song is stopped at its end, Finished sent.
// 7. Not playing, the device open: close it once it has been idle for kIdleCloseMs.
// 8. Otherwise sleep until the callback frees half the ring or the GUI thread changes
//    something; with nothing playing and the device closed, without a timeout.
// 9. Before all that: close the devices done with,
// 10. then open the device a play waits for; when it cannot be opened, the play failed.
void TMpg123SdlEngine::DecodeLoop() {
  pthread_setname_np(pthread_self(), "mp3decode");
  std::unique_lock lock(mutex_);
  for (;;) {
    if (quit_) {
      if (SdlLoaded()) Sdl().TLSCleanup();  // SDL's per-thread data of a thread it did not make
      return;
    }
    // 9. Closing waits for SDL's audio thread: done without mutex_, which the GUI wants.
    if (!retired_.empty()) {
      const std::vector<SDL_AudioDeviceID> devices = std::move(retired_);
      retired_.clear();
      closing_ = int(devices.size());
      lock.unlock();
      for (const SDL_AudioDeviceID device : devices) Sdl().CloseAudioDevice(device);
      lock.lock();
      closing_ = 0;
      continue;
    }
    // 10.
    if (deviceWait_ && state_ == TEngineState::Playing) {
      const long rate = songRate_;
      opening_ = true;
      lock.unlock();
      SDL_AudioSpec have{};
      const SDL_AudioDeviceID device = OpenDevice(rate, have);
      lock.lock();
      opening_ = false;
      if (!device) {
        if (deviceWait_) {
          HaltOutputLocked();
          frozenFrame_ = cbStartFrame_;
          EndPlayLocked(lock, TEngineEnd::Failed);
        }
        continue;
      }
      if (device_) retired_.push_back(device_);  // cannot happen: a waiting play has none
      InstallDeviceLocked(device, have, rate);
      if (deviceWait_ && state_ == TEngineState::Playing && songRate_ == rate)
        StartOutputLocked();
      else
        RestAfterLocked(kIdleCloseMs);
      continue;
    }
    int waitMs = -1;
    std::optional<TEngineEnd> end;
    if (state_ == TEngineState::Playing && !starting_ && !deviceWait_) {
      // 1.
      int64_t handedNs = 0;
      if (SwitchedLocked(&handedNs)) {
        const int64_t left = handedNs + latencyNs_ - NowNs();
        if (left <= 0) {
          DeclareJoinLocked(lock);
          continue;
        }
        waitMs = int((left + 999'999) / 1'000'000);
      }
      // 2.
      if (!decodeDone_ && !awaitingNext_ && ring_.Free() >= kMinDecodeFrames) {
        const uint64_t epoch = epoch_;
        std::shared_ptr<TSong> song = decodeSong_;
        const bool rewind = joined_ && joined_->rewind;
        if (rewind) joined_->rewind = false;
        const QString nextFile = next_ && !joined_ ? next_->fileName : QString();
        const size_t room = std::min(ring_.Free(), kChunkFrames);
        lock.unlock();
        size_t got = 0;
        TChunk chunk;
        {
          std::lock_guard songLock(song->mutex);
          if (rewind) song->decoder.Seek(0);
          chunk = DecodeChunk(*song, decodeBuffer_.get(), room, got);
        }
        // The successor must still be there to follow; the look costs no lock.
        const bool nextExists = chunk == TChunk::End && !nextFile.isEmpty() && IsFile(nextFile);
        song.reset();  // a song closed meanwhile closes its file here, outside mutex_
        lock.lock();
        // A restart, close or take-back meanwhile makes this chunk moot.
        if (epoch_ == epoch) {
          ring_.Write(decodeBuffer_.get(), got);
          TakeChunkLocked(chunk, nextExists);
        }
        continue;
      }
      // 3.
      if (awaitingNext_) {
        if (next_ && next_->song && next_->song->decoder.Rate() == songRate_) {
          JoinNextLocked();
          continue;
        }
        // Given up on when it failed, went, or the ring is about to run dry.
        const int64_t leftMs = int64_t(ring_.Available()) * 1000 / std::max(1L, songRate_);
        const int64_t reserveMs = 2 * int64_t(bufferFrames_) * 1000 / std::max(1L, songRate_);
        if (!next_ || next_->failed || (next_->song && next_->song->decoder.Rate() != songRate_) ||
            leftMs <= reserveMs) {
          awaitingNext_ = false;
          decodeDone_ = true;
          endWritten_.store(true, std::memory_order_release);
          continue;
        }
        waitMs = std::max<int>(1, int(std::min<int64_t>(leftMs - reserveMs, kDeviceCheckMs)));
      }
      // 4.
      if (!next_ && !joined_ && nextWantedFor_ != playId_ &&
          (lengthFrames_ - CurrentFrameLocked()) * 1000 < kLookAheadMs * songRate_) {
        nextWantedFor_ = playId_;
        const uint64_t playId = playId_;
        const auto wanted = handlers_.nextWanted;
        lock.unlock();
        if (wanted) wanted(playId);
        lock.lock();
        continue;
      }
      // 5.
      if (decodeFailed_ || Sdl().GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED) {
        frozenFrame_ = CurrentFrameLocked();
        end = TEngineEnd::Failed;
      } else if (const int64_t heardEnd = heardEndNs_.load(std::memory_order_acquire)) {
        // 6.
        const int64_t left = heardEnd - NowNs();
        if (left <= 0) {
          frozenFrame_ = lengthFrames_;
          end = TEngineEnd::Finished;
        } else {
          waitMs = int((left + 999'999) / 1'000'000);
        }
      } else if (waitMs < 0) {
        // Wakes in time to ask for the successor, and to see a device that went away.
        const int64_t toAsk =
            (lengthFrames_ - CurrentFrameLocked()) * 1000 / std::max(1L, songRate_) - kLookAheadMs;
        waitMs = nextWantedFor_ == playId_ || toAsk <= 0
                     ? kDeviceCheckMs
                     : int(std::clamp<int64_t>(toAsk, 1, kDeviceCheckMs));
      }
      if (end) {
        HaltOutputLocked();
        EndPlayLocked(lock, *end);
        continue;
      }
    } else if (state_ != TEngineState::Playing && device_) {
      // 7.
      const int64_t left = restUntilNs_ - NowNs();
      if (left <= 0) {
        RetireDeviceLocked();
        continue;
      }
      waitMs = int((left + 999'999) / 1'000'000);
    }
    // 8. Announce the wait, then look once more: the callback may have freed room just before.
    decoderWaiting_.store(true);
    std::atomic_thread_fence(std::memory_order_seq_cst);
    if (state_ == TEngineState::Playing && !starting_ && !decodeDone_ && !awaitingNext_ &&
        ring_.Free() >= kWakeFrames) {
      decoderWaiting_.store(false);
      continue;
    }
    lock.unlock();
    if (waitMs < 0) {
      sem_wait(&wake_);
    } else {
      timespec until{};
      clock_gettime(CLOCK_MONOTONIC, &until);
      until.tv_sec += waitMs / 1000;
      until.tv_nsec += long(waitMs % 1000) * 1000000;
      if (until.tv_nsec >= 1000000000) until.tv_sec += 1, until.tv_nsec -= 1000000000;
      sem_clockwait(&wake_, CLOCK_MONOTONIC, &until);
    }
    decoderWaiting_.store(false);
    lock.lock();
  }
}
