#include "support/fakeaudioengine.h"

#include <QCoreApplication>
#include <QEvent>
#include <algorithm>

#include "platform/errors.h"

void TFakeAudioEngine::FailOpen(const QString& fileName, const QString& message) {
  openFailures_[fileName] =
      message.isEmpty() ? QStringLiteral("\"%1\" is not an MP3 file").arg(fileName) : message;
}

int64_t TFakeAudioEngine::Clamp(int64_t ms) const {
  return std::clamp<int64_t>(ms, 0, length_);
}

void TFakeAudioEngine::SetPosition(int64_t ms) {
  if (state_ != TEngineState::Closed) position_ = Clamp(ms);
}

void TFakeAudioEngine::Advance(int64_t ms) {
  if (state_ == TEngineState::Playing) position_ = Clamp(position_ + ms);
}

bool TFakeAudioEngine::End(TEngineEnd end) {
  if (state_ != TEngineState::Playing) return false;
  state_ = TEngineState::Stopped;
  if (end == TEngineEnd::Finished) position_ = length_;
  if (handler_) handler_(playId_, end);
  return true;
}

bool TFakeAudioEngine::FinishSong() {
  return End(TEngineEnd::Finished);
}

bool TFakeAudioEngine::FailSong() {
  return End(TEngineEnd::Failed);
}

void TFakeAudioEngine::Open(const QString& fileName) {
  ++openCount;
  opened << fileName;
  Close();
  if (openFailures_.contains(fileName)) throw EMCIDeviceError(openFailures_.value(fileName));
  state_ = TEngineState::Stopped;
  openFile_ = fileName;
  length_ = lengths_.value(fileName, defaultLength);
  position_ = 0;
}

void TFakeAudioEngine::Close() {
  if (state_ == TEngineState::Closed) return;
  ++closeCount;
  state_ = TEngineState::Closed;
  openFile_.clear();
  length_ = position_ = 0;
}

void TFakeAudioEngine::Play(int64_t fromMs, uint64_t playId) {
  ++playCount;
  playFrom << fromMs;
  if (state_ == TEngineState::Closed) return;
  position_ = Clamp(fromMs);
  playId_ = playId;
  state_ = TEngineState::Playing;
}

void TFakeAudioEngine::Pause() {
  ++pauseCount;
  if (state_ == TEngineState::Playing) state_ = TEngineState::Paused;
}

void TFakeAudioEngine::Stop() {
  ++stopCount;
  if (state_ == TEngineState::Playing || state_ == TEngineState::Paused)
    state_ = TEngineState::Stopped;
}

void TFakeAudioEngine::Seek(int64_t ms) {
  ++seekCount;
  seeks << ms;
  SetPosition(ms);
}

TFakeAudioEngineScope::TFakeAudioEngineScope() {
  AudioEngineFactory() = [this] {
    auto fake = std::make_unique<TFakeAudioEngine>();
    made_ << fake.get();
    return fake;
  };
}

TFakeAudioEngineScope::~TFakeAudioEngineScope() {
  AudioEngineFactory() = nullptr;
}

void DeliverPostedNotices() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
}
