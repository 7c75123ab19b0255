#pragma once
// The player's actions and state as the two windows hold them: each action is the handler a
// button, menu item or bar calls; the state is read from the windows' own fields.

#include <QHash>
#include <QPointer>

#include "desktop/playercontrol.h"

class TLengthScanner;
struct TLengthResult;
class TSearchWindow;
class TformMain;
class TformPlaylist;

class TWindowsAdapter : public TPlayerControl {
  Q_OBJECT
 public:
  TWindowsAdapter(TformMain* player, TformPlaylist* playlist, QObject* parent = nullptr);

  void Play() override;
  void PauseToggle() override;
  void Stop() override;
  void Next() override;
  void Previous() override;
  void SeekTo(qint64 ms) override;
  int Volume() const override;
  void SetVolume(int value) override;
  int RepeatMode() const override;
  void SetRepeatMode(int mode) override;
  bool Shuffle() const override;
  void SetShuffle(bool on) override;
  void ToggleTimeType() override;
  void TogglePlaylist() override;
  void AddFile() override;
  void AddDirectory() override;
  void DeleteSelected() override;
  void PlaySelected() override;
  void FindSong() override;
  void AddSongs(const QStringList& paths, bool play, const QStringList& unstorable) override;
  void Raise() override;
  void Quit() override;
  TPlaybackState State() const override;
  qint64 PositionMs() const override;
  TTrackInfo Track() const override;
  int Count() const override;
  int Selected() const override;

  TformMain* Player() const;
  // The background scan's lengths, to the millisecond, for the songs it measures from now on.
  void WatchLengths(TLengthScanner& scanner);

 protected:
  // A click or key in either window may change the selection, which no handler reports.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<TformMain> player_;
  QPointer<TformPlaylist> playlist_;
  // The path of a row, read from the playlist file once per refill.
  mutable int cachedRow_ = -1;
  mutable QString cachedPath_;
  quint64 playId_ = 0;                // counts the plays started
  QHash<size_t, qint64> measuredMs_;  // by the hash of the path: small for long lists
  QPointer<TSearchWindow> search_;    // made when first asked for
};
