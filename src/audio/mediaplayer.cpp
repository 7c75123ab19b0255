#include "audio/mediaplayer.h"

#include <QMetaObject>

#include "audio/mpg123sdlengine.h"
#include "platform/errors.h"

namespace {

std::unique_ptr<TAudioEngine> EngineOrDefault(std::unique_ptr<TAudioEngine> engine) {
  if (engine) return engine;
  if (AudioEngineFactory()) return AudioEngineFactory()();
  return std::make_unique<TMpg123SdlEngine>();
}

}  // namespace

TMediaPlayer::TMediaPlayer(QObject* parent) : TMediaPlayer(nullptr, parent) {}

TMediaPlayer::TMediaPlayer(std::unique_ptr<TAudioEngine> engine, QObject* parent)
    : QObject(parent), engine_(EngineOrDefault(std::move(engine))) {
  // The engine reports from its own threads; the check against the pending Play is made on
  // the GUI thread, when the notice is handled, so a Play issued meanwhile wins.
  engine_->SetEndHandler([this](uint64_t playId, TEngineEnd end) {
    QMetaObject::invokeMethod(
        this, [this, playId, end] { EngineEnded(playId, end); }, Qt::QueuedConnection);
  });
}

TMediaPlayer::~TMediaPlayer() {
  // The engine's threads end here, before this object stops taking posted calls.
  engine_.reset();
}

bool TMediaPlayer::IsOpen() const {
  return engine_->State() != TEngineState::Closed;
}

void TMediaPlayer::RequireOpen() const {
  if (!IsOpen()) throw EMCIDeviceError(QStringLiteral("No MCI device open"));
}

void TMediaPlayer::PostNotice(TMPNotifyValues value) {
  QMetaObject::invokeMethod(
      this, [this, value] { Deliver(value); }, Qt::QueuedConnection);
}

void TMediaPlayer::AbortPending() {
  if (pendingPlayId_ == 0) return;
  pendingPlayId_ = 0;
  PostNotice(nvAborted);
}

void TMediaPlayer::EngineEnded(uint64_t playId, TEngineEnd end) {
  if (playId == 0 || playId != pendingPlayId_) return;  // superseded or aborted meanwhile
  pendingPlayId_ = 0;
  Deliver(end == TEngineEnd::Finished ? nvSuccessful : nvFailure);
}

void TMediaPlayer::Deliver(TMPNotifyValues value) {
  notifyResult_ = value;
  emit OnNotify(this);
}

void TMediaPlayer::Open() {
  if (engine_->State() != TEngineState::Closed) {
    engine_->Close();
    AbortPending();
  }
  engine_->Open(fileName_);
}

void TMediaPlayer::Close() {
  if (engine_->State() == TEngineState::Closed) return;
  engine_->Close();
  AbortPending();
}

void TMediaPlayer::Play() {
  RequireOpen();
  const int64_t from = startPositionSet_ ? startPosition_ : engine_->Position();
  startPositionSet_ = false;
  if (pendingPlayId_ != 0) PostNotice(nvSuperseded);
  pendingPlayId_ = ++lastPlayId_;
  try {
    engine_->Play(from, pendingPlayId_);
  } catch (...) {
    pendingPlayId_ = 0;  // a Play that never started owes no notice
    throw;
  }
}

void TMediaPlayer::Pause() {
  RequireOpen();
  switch (engine_->State()) {
    case TEngineState::Playing:
      engine_->Pause();
      break;
    case TEngineState::Paused:
      // Going on is part of the paused Play: its notice stays the one owed.
      if (pendingPlayId_ == 0) pendingPlayId_ = ++lastPlayId_;
      engine_->Play(engine_->Position(), pendingPlayId_);
      break;
    default:
      break;
  }
}

void TMediaPlayer::Stop() {
  RequireOpen();
  engine_->Stop();
  AbortPending();
}

void TMediaPlayer::SetStartPosition(int ms) {
  startPosition_ = ms;
  startPositionSet_ = true;
}

int TMediaPlayer::Position() const {
  return int(engine_->Position());
}

void TMediaPlayer::SetPosition(int ms) {
  RequireOpen();
  engine_->Seek(ms);
}

int TMediaPlayer::Length() const {
  RequireOpen();
  return int(engine_->Length());
}

TMPModes TMediaPlayer::Mode() const {
  switch (engine_->State()) {
    case TEngineState::Closed:
      return mpNotReady;
    case TEngineState::Stopped:
      return mpStopped;
    case TEngineState::Playing:
      return mpPlaying;
    case TEngineState::Paused:
      return mpPaused;
  }
  return mpNotReady;
}
