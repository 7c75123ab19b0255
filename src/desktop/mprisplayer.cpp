#include "desktop/mprisplayer.h"

#include <QCryptographicHash>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <cmath>

#include "desktop/commandline.h"
#include "desktop/coverart.h"
#include "desktop/playeractions.h"
#include "desktop/playercontrol.h"
#include "playlist/songpaths.h"

TMprisPlayer::TMprisPlayer(QObject* service, TPlayerControl& control)
    : QDBusAbstractAdaptor(service), control_(control), cover_(new TCoverArt(this)) {
  connect(&control, &TPlayerControl::Seeked, this, [this](qint64 ms) { emit Seeked(ms * 1000); });
}

void TMprisPlayer::Later(std::function<void(TPlayerControl&)> action) {
  control_.Defer([control = &control_, action = std::move(action)] { action(*control); });
}

void TMprisPlayer::Refuse(const QString& text) {
  // The bus keeps the call's context on the object the adaptor serves.
  auto* context = static_cast<QDBusContext*>(parent()->qt_metacast("QDBusContext"));
  if (context && context->calledFromDBus()) context->sendErrorReply(QDBusError::InvalidArgs, text);
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
  const int mode = status == "None" ? 0 : status == "Track" ? 1 : status == "Playlist" ? 2 : -1;
  if (mode >= 0) Later([mode](TPlayerControl& c) { c.SetRepeatMode(mode); });
}

bool TMprisPlayer::Shuffle() const {
  return control_.Shuffle();
}
void TMprisPlayer::SetShuffle(bool on) {
  Later([on](TPlayerControl& c) { c.SetShuffle(on); });
}

QDBusObjectPath TMprisPlayer::TrackId(const TTrackInfo& track) {
  if (track.PlayId > 0)
    return QDBusObjectPath(QStringLiteral("/org/brimtone/play/p%1").arg(track.PlayId));
  if (track.Path.isEmpty()) return QDBusObjectPath("/org/mpris/MediaPlayer2/TrackList/NoTrack");
  const QByteArray hash = QCryptographicHash::hash(track.Path.toUtf8(), QCryptographicHash::Sha1);
  return QDBusObjectPath("/org/brimtone/track/t" + QString::fromLatin1(hash.toHex().left(16)));
}

QVariantMap TMprisPlayer::Metadata() const {
  const TTrackInfo track = control_.Track();
  QVariantMap metadata;
  metadata["mpris:trackid"] = QVariant::fromValue(TrackId(track));
  if (track.Path.isEmpty()) return metadata;
  if (track.LengthMs > 0) metadata["mpris:length"] = qlonglong(track.LengthMs) * 1000;
  const TSongTags& tags = track.Tags;
  metadata["xesam:title"] = tags.Title.isEmpty() ? track.Title : tags.Title;
  if (!tags.Artists.isEmpty()) metadata["xesam:artist"] = tags.Artists;
  if (!tags.Album.isEmpty()) metadata["xesam:album"] = tags.Album;
  if (tags.TrackNumber > 0) metadata["xesam:trackNumber"] = tags.TrackNumber;
  if (!tags.Cover.isEmpty()) {
    const QString art =
        cover_->Url(QStringLiteral("%1 %2").arg(track.PlayId).arg(track.Path), tags.Cover);
    if (!art.isEmpty()) metadata["mpris:artUrl"] = art;
  }
  metadata["xesam:url"] = QUrl::fromLocalFile(track.Path).toString(QUrl::FullyEncoded);
  return metadata;
}

double TMprisPlayer::Volume() const {
  return control_.Volume() / 65535.0;
}

void TMprisPlayer::SetVolume(double volume) {
  if (std::isnan(volume)) return;
  const int value = static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * 65535.0));
  Later([value](TPlayerControl& c) { c.SetVolume(value); });
}

qlonglong TMprisPlayer::Position() const {
  return control_.PositionMs() * 1000;
}

bool TMprisPlayer::CanGoNext() const {
  // On the last row with no repeating and no shuffle, Next only stops.
  const int count = control_.Count();
  return count > 0 &&
         (control_.RepeatMode() != 0 || control_.Shuffle() || control_.Selected() != count - 1);
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
  Later([](TPlayerControl& c) { c.Next(); });
}
void TMprisPlayer::Previous() {
  Later([](TPlayerControl& c) { c.Previous(); });
}

void TMprisPlayer::Pause() {
  Later([](TPlayerControl& c) {
    if (c.State() == TPlaybackState::Playing) c.PauseToggle();
  });
}

void TMprisPlayer::PlayPause() {
  Later([](TPlayerControl& c) { PlayOrPause(c); });
}
void TMprisPlayer::Stop() {
  Later([](TPlayerControl& c) { c.Stop(); });
}

void TMprisPlayer::Play() {
  Later([](TPlayerControl& c) {
    if (c.State() == TPlaybackState::Paused)
      c.PauseToggle();
    else if (c.State() == TPlaybackState::Stopped)
      c.Play();
  });
}

void TMprisPlayer::Seek(qlonglong offset) {
  Later([offset](TPlayerControl& c) {
    if (c.State() == TPlaybackState::Stopped) return;
    const qint64 target = c.PositionMs() + offset / 1000;
    const qint64 length = c.Track().LengthMs;
    // Past the end is the next song.
    if (length > 0 && target > length) {
      c.Next();
      return;
    }
    c.SeekTo(std::max<qint64>(0, target));
  });
}

void TMprisPlayer::SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
  // The track the caller meant is the one playing now, or none.
  if (control_.State() == TPlaybackState::Stopped) return;
  const TTrackInfo track = control_.Track();
  if (trackId != TrackId(track)) return;
  if (position < 0 || (track.LengthMs > 0 && position / 1000 > track.LengthMs)) return;
  Later([ms = position / 1000](TPlayerControl& c) { c.SeekTo(ms); });
}

void TMprisPlayer::OpenUri(const QString& uri) {
  // The caller learns why a URI is refused; the playlist stays as it is.
  const QUrl url(uri);
  const QString host = url.host();
  const QString path =
      url.isLocalFile() && (host.isEmpty() || host == "localhost") ? url.toLocalFile() : QString();
  if (path.isEmpty() || !QDir::isAbsolutePath(path))
    return Refuse("Not the URI of a local file: " + uri);
  const QFileInfo info(path);
  if (!info.isFile() || !info.fileName().endsWith(".mp3", Qt::CaseInsensitive))
    return Refuse("Not an MP3 file: " + uri);
  if (!CanStoreInPlaylist(path)) return Refuse("The playlist cannot hold this name: " + uri);
  Later([path](TPlayerControl& c) { c.AddSongs({path}, true); });
}
