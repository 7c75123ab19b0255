#pragma once
// The player window: transport, time read-out, seeking, volume, settings and window chrome.
// Handlers carry the names they have always had (PlayClick, timeProgressTimer, ...); they
// may throw EBrimtoneError, which the application-wide catcher shows.

#include <QActionGroup>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <bitset>
#include <cstdint>
#include <optional>

#include "audio/mediaplayer.h"
#include "controls/alprogressbar.h"
#include "controls/image.h"
#include "controls/label.h"
#include "player/lookahead.h"
#include "player/shufflechoice.h"
#include "playlist/playerlink.h"

class TformPlaylist;

// Program-wide values kept outside the window object.
extern bool TimeType;         // false: elapsed time; true: remaining time
extern bool PlaylistVisible;  // the playlist window is shown

class TformMain : public QWidget, public TPlayerLink {
  Q_OBJECT
 public:
  // engine: the media engine to play through; nullptr for the real one.
  explicit TformMain(std::unique_ptr<TAudioEngine> engine = nullptr, QWidget* parent = nullptr);
  ~TformMain() override;

  // Components, as designed.
  TImage* imgMain;
  TLabel* lablSongName;
  TImage* Prev;
  TImage* butnExit;
  TImage* butnMinimize;
  TImage* Play;
  TImage* Pause;
  TImage* Stop;
  TImage* Next;
  TImage* Eject;
  TALProgressBar* barVolume;
  TALProgressBar* barSongProgress;
  TLabel* lablVolume;
  TLabel* lablProgress;
  TLabel* lablTime;
  TImage* butnRepeat;
  TImage* butnShuffle;
  TImage* butnPlaylist;
  TMediaPlayer* Mp3MediaPlayer;
  QTimer* timeProgress;
  QMenu* menuRepeat;
  QAction* itemRepeatFile;
  QAction* itemRepeatPlaylist;
  QAction* itemRepeatNone;

  // Player state.
  bool Shuffle = false;
  bool Playing = false;
  bool Paused = false;
  bool Seeking = false;
  int32_t RepeatMode = 0;
  uint32_t ResumePosition = 0;
  bool VolumeDragging = false;

  // The playlist window, once it exists.
  void SetPlaylistWindow(TformPlaylist* playlist);
  TformPlaylist* formPlaylist() const { return formPlaylist_; }

  // Start-up and shutdown.
  void FormCreate();
  void FormDestroy();

  // Transport.
  void PlayClick(QObject* sender) override;
  void StopClick(QObject* sender) override;
  void PauseClick(QObject* sender);
  void NextClick(QObject* sender);
  void PrevClick(QObject* sender);
  void EjectClick(QObject* sender);
  void Mp3MediaPlayerNotify(QObject* sender);
  void butnRepeatClick(QObject* sender);
  void menuRepeatPopup(QObject* sender);
  void itemRepeatFileClick(QObject* sender);
  void itemRepeatPlaylistClick(QObject* sender);
  void itemRepeatNoneClick(QObject* sender);
  void butnShuffleClick(QObject* sender);

  // Time read-out and seeking.
  void timeProgressTimer(QObject* sender);
  void lablTimeClick(QObject* sender);
  void barSongProgressMouseDown(QObject* sender, Qt::MouseButton button, int x, int y);
  void barSongProgressMouseMove(QObject* sender, int x, int y);
  void barSongProgressMouseUp(QObject* sender, Qt::MouseButton button, int x, int y);
  // Keys, wheel and D-Bus: the release path to ms (clamped to the song); a paused song stays
  // paused there. Nothing without a playing song.
  void SeekTo(int32_t ms);

  // Volume.
  void barVolumeMouseDown(QObject* sender, Qt::MouseButton button, int x, int y);
  void barVolumeMouseMove(QObject* sender, int x, int y);
  void barVolumeMouseUp(QObject* sender, Qt::MouseButton button, int x, int y);
  // The bar's rule for a value instead of a pixel (clamped to 0..Max), applied to the output.
  void SetVolume(int32_t value);

  // Chrome.
  void ChangeImageDown(TImage* sender);
  void ChangeImageUp(TImage* sender);
  void imgMainMouseDown(QObject* sender, Qt::MouseButton button);
  void butnPlaylistClick(QObject* sender);
  void butnMinimizeClick(QObject* sender);
  void butnExitClick(QObject* sender);
  // Every position change of the player window goes through here: snap, move, dock.
  void SetPlayerPosition(QPoint proposed);

  static QString ChangeToTime(int32_t ms);

  // The random choice of Next and Prev (tests seed it).
  TShuffleChoice& ShuffleChoice() { return shuffle_; }

  // Gapless: when the device asks, the song the end of the playing one leads to is queued to
  // follow it; whatever could change that choice takes it back.
  void QueueLookAhead();
  // Takes the queued song back when what it was chosen from has changed (and chooses again).
  void CheckLookAhead();

  // TPlayerLink
  bool IsPlaying() const override { return Playing; }
  QRect PlayerGeometry() const override;
  void SetSongLabel(const QString& text) override;
  void FollowPlaylist(QPoint playerTopLeft, bool snap) override;
  bool IsPlaylistVisible() const override { return ::PlaylistVisible; }

 signals:
  // Play state, repeat, shuffle or volume may have changed (for the desktop's listeners).
  void StateChanged();
  // The playing song moved to ms by a seek.
  void Seeked(int32_t ms);
  // A play of a song started (also the same song again).
  void SongStarted();

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  void SetTitle();
  void DescribeForAssistiveTechnology();
  void SelectNext();  // NextClick's choice of entry, without playing
  // PlayClick's steps once the device has opened the song of entry n (or could not).
  void PlayOpened(int n, const QString& error);
  void DropLookAhead();
  TLookAheadBasis LookAheadBasis() const;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void SetSeekBarFromX(int x);
  void CommitSeek(int32_t target);
  void ApplyVolumeX(int x);
  void ApplyVolume();
  void DockPlaylist();
  int ListCount() const;
  int ListIndex() const;
  void SetListIndex(int index);
  void LoadImage(TImage* image, const QString& relativeName);
  void MoveTo(QPoint position);

  // The saved settings whose value this run knows: read by their start-up step, or changed by
  // the user since. Shutdown writes only these, so a start-up cut short by a broken skin costs
  // no stored value.
  enum TKnownSetting { ksPosition, ksVolume, ksRepeat, ksShuffle, ksTimeType, ksVisible, ksCount };
  void Know(TKnownSetting setting) { known_.set(setting); }
  std::bitset<ksCount> known_;

  TformPlaylist* formPlaylist_ = nullptr;
  TShuffleChoice shuffle_;
  // A shuffled Next's pick drawn ahead for the look-ahead, kept so that it is the one played.
  struct TShufflePick {
    int index;
    int count;
  };
  std::optional<TShufflePick> shufflePick_;
  std::optional<TLookAheadBasis> lookAhead_;  // what the queued choice was made from
  bool lookAheadWanted_ = false;              // the device asked for the playing song's successor
  unsigned listGeneration_ = 0;
  QTimer* lookAheadTimer_ = nullptr;
  Qt::MouseButton seekButton_ = Qt::NoButton;
  bool dragging_ = false;
  QPoint dragOffset_;
  // Where this program last put the window; a move elsewhere was made by someone else.
  QPoint placedAt_;
  bool positioning_ = false;        // inside SetPlayerPosition
  QPoint lastForeignMove_{-1, -1};  // the last outside move that was answered
};
