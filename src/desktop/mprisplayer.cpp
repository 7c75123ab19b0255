#include "desktop/mprisplayer.h"

#include <QCryptographicHash>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QFileInfo>
#include <QUrl>
#include <cmath>

#include "desktop/commandline.h"
#include "desktop/playeractions.h"
#include "desktop/playercontrol.h"

TMprisPlayer::TMprisPlayer(QObject* service, TPlayerControl& control)
    : QDBusAbstractAdaptor(service), control_(control) {
  connect(&control, &TPlayerControl::Seeked, this, [this](qint64 ms) { emit Seeked(ms * 1000); });
}

QString TMprisPlayer::PlaybackStatus() const {
  switch (control_.State()) {
    case TPlaybackState::Playing:
      return QStringLiteral("Playing");
    case TPlaybackState::Paused:
      return QStringLiteral("Paused");
    case TPlaybackState::Stopped:
      break;
  }
  return QStringLiteral("Stopped");
}

QString TMprisPlayer::LoopStatus() const {
  switch (control_.RepeatMode()) {
    case 1:
      return QStringLiteral("Track");
    case 2:
      return QStringLiteral("Playlist");
    default:
      return QStringLiteral("None");
  }
}

void TMprisPlayer::SetLoopStatus(const QString& status) {
  if (status == "None")
    control_.SetRepeatMode(0);
  else if (status == "Track")
    control_.SetRepeatMode(1);
  else if (status == "Playlist")
    control_.SetRepeatMode(2);
}

bool TMprisPlayer::Shuffle() const {
  return control_.Shuffle();
}
void TMprisPlayer::SetShuffle(bool on) {
  control_.SetShuffle(on);
}

QDBusObjectPath TMprisPlayer::TrackId(const QString& path) {
  if (path.isEmpty()) return QDBusObjectPath("/org/mpris/MediaPlayer2/TrackList/NoTrack");
  const QByteArray hash = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1);
  return QDBusObjectPath("/org/brimtone/track/t" + QString::fromLatin1(hash.toHex().left(16)));
}

QVariantMap TMprisPlayer::Metadata() const {
  const TTrackInfo track = control_.Track();
  QVariantMap metadata;
  metadata["mpris:trackid"] = QVariant::fromValue(TrackId(track.Path));
  if (track.Path.isEmpty()) return metadata;
  if (track.LengthMs > 0) metadata["mpris:length"] = qlonglong(track.LengthMs) * 1000;
  metadata["xesam:title"] = track.Title;
  metadata["xesam:url"] = QUrl::fromLocalFile(track.Path).toString(QUrl::FullyEncoded);
  return metadata;
}

double TMprisPlayer::Volume() const {
  return control_.Volume() / 65535.0;
}

void TMprisPlayer::SetVolume(double volume) {
  if (std::isnan(volume)) return;
  control_.SetVolume(static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * 65535.0)));
}

qlonglong TMprisPlayer::Position() const {
  return control_.PositionMs() * 1000;
}

bool TMprisPlayer::CanGoNext() const {
  return control_.Count() > 0;
}
bool TMprisPlayer::CanGoPrevious() const {
  return control_.Count() > 0;
}
bool TMprisPlayer::CanPlay() const {
  return control_.Count() > 0;
}
bool TMprisPlayer::CanPause() const {
  return control_.Count() > 0;
}
bool TMprisPlayer::CanSeek() const {
  return control_.State() != TPlaybackState::Stopped && control_.Track().LengthMs > 0;
}

void TMprisPlayer::Next() {
  control_.Next();
}
void TMprisPlayer::Previous() {
  control_.Previous();
}

void TMprisPlayer::Pause() {
  if (control_.State() == TPlaybackState::Playing) control_.PauseToggle();
}

void TMprisPlayer::PlayPause() {
  PlayOrPause(control_);
}
void TMprisPlayer::Stop() {
  control_.Stop();
}

void TMprisPlayer::Play() {
  if (control_.State() == TPlaybackState::Paused)
    control_.PauseToggle();
  else if (control_.State() == TPlaybackState::Stopped)
    control_.Play();
}

void TMprisPlayer::Seek(qlonglong offset) {
  if (control_.State() == TPlaybackState::Stopped) return;
  const qint64 target = control_.PositionMs() + offset / 1000;
  const qint64 length = control_.Track().LengthMs;
  // Past the end is the next song.
  if (length > 0 && target > length) {
    control_.Next();
    return;
  }
  control_.SeekTo(std::max<qint64>(0, target));
}

void TMprisPlayer::SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
  if (control_.State() == TPlaybackState::Stopped) return;
  const TTrackInfo track = control_.Track();
  if (trackId != TrackId(track.Path)) return;
  if (position < 0 || (track.LengthMs > 0 && position / 1000 > track.LengthMs)) return;
  control_.SeekTo(position / 1000);
}

void TMprisPlayer::OpenUri(const QString& uri) {
  const QUrl url(uri);
  const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
  if (path.isEmpty() || !QFileInfo(path).isFile()) {
    // The caller learns why; the player stays as it is.
    // The bus keeps the call's context on the object the adaptor serves.
    auto* context = static_cast<QDBusContext*>(parent()->qt_metacast("QDBusContext"));
    if (context && context->calledFromDBus())
      context->sendErrorReply(QDBusError::InvalidArgs, "Not a local file: " + uri);
    return;
  }
  control_.AddSongs({path}, true);
}
