#pragma once
// The player window's media device (Mp3MediaPlayer): opens a song by file name, plays it from a
// start position, pauses, stops and seeks it, and tells how far it is. Positions and lengths
// are milliseconds. Every Play gets exactly one completion notice, posted to the GUI thread:
// successful when its last sample has been heard, superseded by a later Play, aborted by Stop
// or Close (also the close inside Open), failed when decoding or output broke. Pause keeps the
// pending notice; setting Position posts none.
//
// Open does not wait for the file: it closes the song at once and reports the new one when it
// is open. Until then (and after an open called off) the device has no song, yet its
// operations quietly do nothing instead of failing: a song is on its way.
//
// Gapless: QueueNext names the song to follow the playing one. When it takes over, the
// playing song's notice is successful as ever, and the device already holds the next song,
// playing: an Open of that file right then (the end-of-song handling choosing it) takes it
// over as it is, and the Play that follows keeps it going instead of starting it again.
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "audio/audioengine.h"

enum TMPDeviceTypes {
  dtAutoSelect,
  dtAVIVideo,
  dtCDAudio,
  dtDAT,
  dtDigitalVideo,
  dtMMMovie,
  dtOther,
  dtOverlay,
  dtScanner,
  dtSequencer,
  dtVCR,
  dtVideodisc,
  dtWaveAudio
};

enum TMPModes {
  mpNotReady = 0,
  mpStopped = 1,
  mpPlaying = 2,
  mpRecording = 3,
  mpSeeking = 4,
  mpPaused = 5,
  mpOpen = 6
};

enum TMPNotifyValues { nvSuccessful = 0, nvSuperseded = 1, nvAborted = 2, nvFailure = 3 };

// The mode names shown in the application title, indexed by Mode().
inline constexpr const char* ModeNames[7] = {"Not ready", "Stopped", "Playing", "Recording",
                                             "Seeking",   "Paused",  "Open"};

class TMediaPlayer : public QObject {
  Q_OBJECT

 public:
  // Without an engine (or with nullptr) it takes one from AudioEngineFactory() when that is
  // set, else the mpg123/SDL engine.
  explicit TMediaPlayer(QObject* parent = nullptr);
  explicit TMediaPlayer(std::unique_ptr<TAudioEngine> engine, QObject* parent = nullptr);
  ~TMediaPlayer() override;

  QString FileName() const { return fileName_; }
  void SetFileName(const QString& fileName) { fileName_ = fileName; }
  // Kept for the caller's sake: the device is always chosen by the file.
  TMPDeviceTypes DeviceType() const { return deviceType_; }
  void SetDeviceType(TMPDeviceTypes deviceType) { deviceType_ = deviceType; }

  // Runs once an Open is over: error empty when the song is open, else why it cannot be played
  // (the file, or no audio output).
  using TOpenDone = std::function<void(const QString& error)>;
  // Closes any open song, then opens FileName without waiting for it; done runs on this
  // object's thread when that is over, inside this call when the engine knows at once. A later
  // Open, CancelOpen or Close supersedes it, and its done never runs.
  void Open(TOpenDone done);
  // An Open is under way.
  bool Opening() const { return pendingOpenId_ != 0; }
  // Calls off an Open under way; no song is open afterwards.
  void CancelOpen();
  // Readies the audio output ahead of the first song (opening it costs a noticeable moment).
  void Prepare() { engine_->Prepare(); }
  // Closes the song (nothing when none is open).
  void Close();
  // Starts playing at StartPosition when one was set since the last Play, else where the song
  // stands. Returns at once.
  void Play();
  // Playing: pauses. Paused: goes on from the pause point, keeping the notice. Else nothing.
  void Pause();
  // Ends playback; the song stays open at the position reached.
  void Stop();

  // Used by the next Play only.
  int StartPosition() const { return startPosition_; }
  void SetStartPosition(int ms);

  // The millisecond being heard; 0 with no song open (reading never fails).
  int Position() const;
  // Moves the song to ms and returns when that is done; a playing song goes on from there.
  void SetPosition(int ms);
  int Length() const;
  // mpNotReady with no song open, mpOpen while one is being opened.
  TMPModes Mode() const;
  // Whether a song is open (the operations that need one raise "No MCI device open" if not).
  bool IsOpen() const;
  TMPNotifyValues NotifyResult() const { return notifyResult_; }
  // The open song's tags (empty with none open); never reads the file.
  TSongTags Tags() const { return engine_->Tags(); }

  // Gapless: fileName is to follow the playing song (replacing one queued before).
  void QueueNext(const QString& fileName);
  // Forgets the queued song.
  void DropNext();
  // The song queued to follow, empty for none.
  const QString& QueuedNext() const { return queuedFile_; }

  TAudioEngine& Engine() { return *engine_; }

 signals:
  // A completion notice arrived; NotifyResult() tells which.
  void OnNotify(QObject* sender);
  // The playing song nears its end and nothing is queued to follow it.
  void NextWanted();

 private:
  // No song, and none failed to open: one is on its way, or its open was called off.
  bool Quiet() const { return pendingOpenId_ != 0 || abandoned_; }
  void RequireOpen() const;
  void PostNotice(TMPNotifyValues value);
  void AbortPending();
  void PostOwedAbort();
  void EngineEnded(const TPlayEnd& end);
  void OpenFinished(uint64_t openId, const QString& error);
  void Deliver(TMPNotifyValues value);

  std::unique_ptr<TAudioEngine> engine_;
  QString fileName_;
  TMPDeviceTypes deviceType_ = dtAutoSelect;
  int startPosition_ = 0;
  bool startPositionSet_ = false;
  TMPNotifyValues notifyResult_ = nvSuccessful;
  uint64_t lastPlayId_ = 0;
  uint64_t pendingPlayId_ = 0;  // the Play whose notice is still owed; 0 for none
  // Plays from this id on belong to the song opened last; a gapless take-over reported for
  // an older one came after an Open or Close and is moot.
  uint64_t firstPlayOfSong_ = 1;

  uint64_t lastOpenId_ = 0;
  uint64_t pendingOpenId_ = 0;  // the Open under way; 0 for none
  TOpenDone openDone_;
  bool abandoned_ = false;     // an Open was called off and nothing opened since
  bool abortOwed_ = false;     // the Play of the song an Open closed is told once the open is over
  uint64_t inlineOpenId_ = 0;  // the Open whose result may come inside the call
  std::optional<QString> inlineResult_;  // ...and came

  QString queuedFile_;
  // The song that took over without a gap, until the end-of-song handling opens it.
  std::optional<QString> joinedFile_;
  uint64_t joinedPlayId_ = 0;  // the play it runs as
  bool adopted_ = false;       // the next Play keeps the play running (a taken-over song)
};
