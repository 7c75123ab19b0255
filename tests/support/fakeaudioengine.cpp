#include "support/fakeaudioengine.h"

#include <QCoreApplication>
#include <QEvent>
#include <algorithm>
#include <utility>

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
  TPlayEnd report{playId_, end, 0, {}};
  if (end == TEngineEnd::Finished && joinQueued && !queued_.isEmpty()) {
    report.nextPlayId = queuedPlayId_;
    report.nextFile = std::exchange(queued_, QString());
    openFile_ = report.nextFile;
    length_ = lengths_.value(openFile_, defaultLength);
    position_ = 0;
    playId_ = queuedPlayId_;
  } else {
    state_ = TEngineState::Stopped;
    if (end == TEngineEnd::Finished) position_ = length_;
    queued_.clear();
  }
  if (handlers_.ended) handlers_.ended(report);
  return true;
}

void TFakeAudioEngine::WantNext() {
  if (state_ == TEngineState::Playing && handlers_.nextWanted) handlers_.nextWanted(playId_);
}

bool TFakeAudioEngine::FinishSong() {
  return End(TEngineEnd::Finished);
}

bool TFakeAudioEngine::FailSong() {
  return End(TEngineEnd::Failed);
}

void TFakeAudioEngine::Open(const QString& fileName, uint64_t openId) {
  ++openCount;
  opened << fileName;
  Close();
  if (holdOpens) {
    heldOpen_ = fileName;
    heldOpenId_ = openId;
    return;
  }
  FinishOpen(fileName, openId);
}

void TFakeAudioEngine::FinishOpen(const QString& fileName, uint64_t openId) {
  if (openFailures_.contains(fileName)) {
    if (handlers_.opened) handlers_.opened(openId, openFailures_.value(fileName));
    return;
  }
  state_ = TEngineState::Stopped;
  openFile_ = fileName;
  length_ = lengths_.value(fileName, defaultLength);
  position_ = 0;
  if (handlers_.opened) handlers_.opened(openId, QString());
}

bool TFakeAudioEngine::FinishOpen() {
  if (heldOpen_.isEmpty()) return false;
  FinishOpen(std::exchange(heldOpen_, QString()), heldOpenId_);
  return true;
}

void TFakeAudioEngine::QueueNext(const QString& fileName, uint64_t nextPlayId) {
  queuedLog << fileName;
  queued_ = fileName;
  queuedPlayId_ = nextPlayId;
}

void TFakeAudioEngine::DropNext() {
  if (queued_.isEmpty()) return;
  ++dropCount;
  queued_.clear();
}

void TFakeAudioEngine::Close() {
  heldOpen_.clear();
  queued_.clear();
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
  queued_.clear();
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
