#include "audio/mediaplayer.h"

#include <QMetaObject>
#include <QThread>
#include <algorithm>
#include <utility>

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
  // The engine reports from its own threads; what it reports is checked against the pending
  // Play or Open on the GUI thread, when the report is handled, so a call made meanwhile wins.
  TEngineHandlers handlers;
  handlers.ended = [this](const TPlayEnd& end) {
    QMetaObject::invokeMethod(
        this, [this, end] { EngineEnded(end); }, Qt::QueuedConnection);
  };
  handlers.opened = [this](uint64_t openId, const QString& error) {
    // An engine that knows at once answers inside Open; that is finished when Open returns.
    if (openId == inlineOpenId_ && QThread::currentThread() == thread()) {
      inlineResult_ = error;
      return;
    }
    QMetaObject::invokeMethod(
        this, [this, openId, error] { OpenFinished(openId, error); }, Qt::QueuedConnection);
  };
  handlers.nextWanted = [this](uint64_t playId) {
    QMetaObject::invokeMethod(
        this,
        [this, playId] {
          if (playId == pendingPlayId_) emit NextWanted();
        },
        Qt::QueuedConnection);
  };
  engine_->SetHandlers(std::move(handlers));
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
  adopted_ = false;
  if (pendingPlayId_ == 0) return;
  pendingPlayId_ = 0;
  PostNotice(nvAborted);
}

void TMediaPlayer::PostOwedAbort() {
  if (std::exchange(abortOwed_, false)) PostNotice(nvAborted);
}

void TMediaPlayer::EngineEnded(const TPlayEnd& end) {
  if (end.nextPlayId != 0) {
    // The queued song took over. Told even when a Play came meanwhile: that Play met the
    // engine already on the new song, so it runs there.
    if (end.playId < firstPlayOfSong_) return;  // closed since
    joinedPlayId_ = std::max(pendingPlayId_, end.nextPlayId);
    joinedFile_ = end.nextFile;
    pendingPlayId_ = 0;
    queuedFile_.clear();
    Deliver(nvSuccessful);
    if (joinedFile_) {
      // The end-of-song handling chose something else: the song must not play on unasked.
      joinedFile_.reset();
      joinedPlayId_ = 0;
      engine_->Close();
    }
    return;
  }
  if (end.playId == 0 || end.playId != pendingPlayId_) return;  // superseded or aborted
  pendingPlayId_ = 0;
  Deliver(end.end == TEngineEnd::Finished ? nvSuccessful : nvFailure);
}

void TMediaPlayer::Deliver(TMPNotifyValues value) {
  notifyResult_ = value;
  emit OnNotify(this);
}

void TMediaPlayer::Open(TOpenDone done) {
  pendingOpenId_ = 0;
  openDone_ = nullptr;
  abandoned_ = false;
  adopted_ = false;
  if (joinedFile_ && *joinedFile_ == fileName_) {
    // The song that took over without a gap: it is open and playing already.
    joinedFile_.reset();
    pendingPlayId_ = std::exchange(joinedPlayId_, 0);
    adopted_ = true;
    if (done) done(QString());
    return;
  }
  joinedFile_.reset();
  joinedPlayId_ = 0;
  queuedFile_.clear();
  if (pendingPlayId_ != 0) {
    pendingPlayId_ = 0;
    abortOwed_ = true;
  }
  firstPlayOfSong_ = lastPlayId_ + 1;
  const uint64_t openId = ++lastOpenId_;
  pendingOpenId_ = openId;
  openDone_ = std::move(done);
  inlineOpenId_ = openId;
  inlineResult_.reset();
  engine_->Open(fileName_, openId);
  inlineOpenId_ = 0;
  if (inlineResult_) OpenFinished(openId, *std::exchange(inlineResult_, std::nullopt));
}

void TMediaPlayer::OpenFinished(uint64_t openId, const QString& error) {
  if (openId == 0 || openId != pendingOpenId_) return;  // superseded meanwhile
  pendingOpenId_ = 0;
  TOpenDone done = std::move(openDone_);
  openDone_ = nullptr;
  // The closed song's notice follows the open, as it followed the open that waited.
  PostOwedAbort();
  if (done) done(error);
}

void TMediaPlayer::CancelOpen() {
  if (pendingOpenId_ == 0) return;
  pendingOpenId_ = 0;
  openDone_ = nullptr;
  abandoned_ = true;
  engine_->Close();
  PostOwedAbort();
}

void TMediaPlayer::Close() {
  joinedFile_.reset();
  joinedPlayId_ = 0;
  queuedFile_.clear();
  firstPlayOfSong_ = lastPlayId_ + 1;
  if (pendingOpenId_ != 0) {
    pendingOpenId_ = 0;
    openDone_ = nullptr;
    engine_->Close();
    PostOwedAbort();
    return;
  }
  abandoned_ = false;
  if (engine_->State() == TEngineState::Closed) return;
  engine_->Close();
  AbortPending();
}

void TMediaPlayer::Play() {
  const bool fromSet = std::exchange(startPositionSet_, false);
  if (Quiet()) return;
  RequireOpen();
  const int64_t from = fromSet ? startPosition_ : engine_->Position();
  if (std::exchange(adopted_, false) && pendingPlayId_ != 0) {
    // A song that took over plays on from its start, unless asked to start elsewhere.
    if (engine_->State() == TEngineState::Playing && (!fromSet || from == 0)) return;
    engine_->Play(from, pendingPlayId_);
    return;
  }
  if (pendingPlayId_ != 0) PostNotice(nvSuperseded);
  pendingPlayId_ = ++lastPlayId_;
  engine_->Play(from, pendingPlayId_);
}

void TMediaPlayer::Pause() {
  if (Quiet()) return;
  RequireOpen();
  adopted_ = false;
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
  if (Quiet()) return;
  RequireOpen();
  queuedFile_.clear();
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
  // The song that ended has made way for the one that took over: nothing to rewind.
  if (Quiet() || joinedFile_) return;
  RequireOpen();
  adopted_ = false;
  engine_->Seek(ms);
}

int TMediaPlayer::Length() const {
  if (Quiet()) return 0;
  RequireOpen();
  return int(engine_->Length());
}

TMPModes TMediaPlayer::Mode() const {
  if (pendingOpenId_ != 0) return mpOpen;
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

void TMediaPlayer::QueueNext(const QString& fileName) {
  if (!IsOpen() || Quiet()) return;
  queuedFile_ = fileName;
  engine_->QueueNext(fileName, ++lastPlayId_);
}

void TMediaPlayer::DropNext() {
  if (queuedFile_.isEmpty()) return;
  queuedFile_.clear();
  engine_->DropNext();
}
