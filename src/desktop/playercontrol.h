#pragma once
// What the desktop's ways in (keys, wheel, D-Bus, command line) may ask of the player and
// read of it. The windows' adapter implements it with the handlers the buttons call, so
// every way in behaves, and saves, exactly as the buttons do.

#include <QObject>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

#include "audio/songtags.h"

enum class TPlaybackState { Stopped, Playing, Paused };

// The song Play would play or is playing.
struct TTrackInfo {
  int Row = -1;  // list row; -1 for none
  QString Path;
  QString Title;
  qint64 LengthMs = 0;  // 0 when not known
  quint64 PlayId = 0;   // which play of this run the open song is; 0 when it is not open
  TSongTags Tags;       // the open song's, when this is it
};

class TPlayerControl : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

  // Transport.
  virtual void Play() = 0;
  virtual void PauseToggle() = 0;
  virtual void Stop() = 0;
  virtual void Next() = 0;
  virtual void Previous() = 0;
  // In the playing song, ms from its start (clamped to it).
  virtual void SeekTo(qint64 ms) = 0;

  // Settings the windows show.
  virtual int Volume() const = 0;  // 0..65535
  virtual void SetVolume(int value) = 0;
  virtual int RepeatMode() const = 0;  // 0 none, 1 file, 2 playlist
  virtual void SetRepeatMode(int mode) = 0;
  virtual bool Shuffle() const = 0;
  virtual void SetShuffle(bool on) = 0;
  virtual void ToggleTimeType() = 0;
  virtual void TogglePlaylist() = 0;

  // The playlist.
  virtual void AddFile() = 0;
  virtual void AddDirectory() = 0;
  virtual void DeleteSelected() = 0;
  virtual void PlaySelected() = 0;
  // Opens the window that finds a song of the playlist by typing.
  virtual void FindSong() = 0;
  // Appends songs (full paths) in one write and one refill, then reports the names the
  // playlist cannot hold (those among paths, and unstorable) with the Add File message.
  // play: the first one added starts.
  virtual void AddSongs(const QStringList& paths, bool play,
                        const QStringList& unstorable = QStringList()) = 0;

  // The windows.
  virtual void Raise() = 0;
  virtual void Quit() = 0;

  // State.
  virtual TPlaybackState State() const = 0;
  virtual qint64 PositionMs() const = 0;
  virtual TTrackInfo Track() const = 0;
  virtual int Count() const = 0;
  virtual int Selected() const = 0;  // the selected row, -1 for none

  // Runs action from the event loop, after every earlier one has returned, showing a
  // handler's error as the general error display. The ways in that cannot have a box open
  // under them (socket, D-Bus, timers) act through this: their own work is finished first.
  void Defer(std::function<void()> action);

 signals:
  // Something above may have changed; listeners compare for themselves.
  void Changed();
  // The playing song was moved to ms.
  void Seeked(qint64 ms);

 private:
  void RunDeferred();
  std::deque<std::function<void()>> deferred_;
  bool runPosted_ = false;
  bool running_ = false;
};
