#pragma once
// org.mpris.MediaPlayer2.Player: transport, seeking, loop and shuffle, volume and the song's
// metadata, all through the player's own actions. Methods and property writes only queue
// their action (TPlayerControl::Defer), so the caller has its reply before any box opens;
// reads never fail.

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QVariantMap>
#include <functional>

class TCoverArt;
class TPlayerControl;
struct TTrackInfo;

class TMprisPlayer : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
  Q_PROPERTY(QString LoopStatus READ LoopStatus WRITE SetLoopStatus)
  Q_PROPERTY(double Rate READ Rate WRITE SetRate)
  Q_PROPERTY(bool Shuffle READ Shuffle WRITE SetShuffle)
  Q_PROPERTY(QVariantMap Metadata READ Metadata)
  Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
  Q_PROPERTY(qlonglong Position READ Position)
  Q_PROPERTY(double MinimumRate READ MinimumRate)
  Q_PROPERTY(double MaximumRate READ MaximumRate)
  Q_PROPERTY(bool CanGoNext READ CanGoNext)
  Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
  Q_PROPERTY(bool CanPlay READ CanPlay)
  Q_PROPERTY(bool CanPause READ CanPause)
  Q_PROPERTY(bool CanSeek READ CanSeek)
  Q_PROPERTY(bool CanControl READ CanControl)

 public:
  TMprisPlayer(QObject* service, TPlayerControl& control);

  QString PlaybackStatus() const;
  QString LoopStatus() const;
  void SetLoopStatus(const QString& status);
  double Rate() const { return 1.0; }
  void SetRate(double) {}  // one speed only
  bool Shuffle() const;
  void SetShuffle(bool on);
  QVariantMap Metadata() const;
  double Volume() const;
  void SetVolume(double volume);
  qlonglong Position() const;  // microseconds
  double MinimumRate() const { return 1.0; }
  double MaximumRate() const { return 1.0; }
  bool CanGoNext() const;
  bool CanGoPrevious() const;
  bool CanPlay() const;
  bool CanPause() const;
  bool CanSeek() const;
  bool CanControl() const { return true; }

  // The object path naming a track: each play of a song its own, else one per song.
  static QDBusObjectPath TrackId(const TTrackInfo& track);
  // Writes the covers that Metadata names.
  TCoverArt& Cover() const { return *cover_; }

 public slots:
  void Next();
  void Previous();
  void Pause();
  void PlayPause();
  void Stop();
  void Play();
  void Seek(qlonglong offset);
  void SetPosition(const QDBusObjectPath& trackId, qlonglong position);
  void OpenUri(const QString& uri);

 signals:
  void Seeked(qlonglong position);

 private:
  void Later(std::function<void(TPlayerControl&)> action);
  // The error reply of a refused call (nothing when not called over the bus).
  void Refuse(const QString& text);

  TPlayerControl& control_;
  TCoverArt* cover_;
};
