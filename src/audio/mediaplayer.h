#pragma once
// The player window's media device (Mp3MediaPlayer): opens a song by file name, plays it from a
// start position, pauses, stops and seeks it, and tells how far it is. Positions and lengths
// are milliseconds. Every Play gets exactly one completion notice, posted to the GUI thread:
// successful when its last sample has been heard, superseded by a later Play, aborted by Stop
// or Close (also the close inside Open), failed when decoding or output broke. Pause keeps the
// pending notice; setting Position posts none.

#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>

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

  // Closes any open song, then opens FileName. Throws EMCIDeviceError when the file cannot be
  // played or no audio output is available; no song is open then.
  void Open();
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
  // mpNotReady with no song open.
  TMPModes Mode() const;
  // Whether a song is open (the operations that need one raise "No MCI device open" if not).
  bool IsOpen() const;
  TMPNotifyValues NotifyResult() const { return notifyResult_; }
  // The open song's tags (empty with none open); never reads the file.
  TSongTags Tags() const { return engine_->Tags(); }

  TAudioEngine& Engine() { return *engine_; }

 signals:
  // A completion notice arrived; NotifyResult() tells which.
  void OnNotify(QObject* sender);

 private:
  void RequireOpen() const;
  void PostNotice(TMPNotifyValues value);
  void AbortPending();
  void EngineEnded(uint64_t playId, TEngineEnd end);
  void Deliver(TMPNotifyValues value);

  std::unique_ptr<TAudioEngine> engine_;
  QString fileName_;
  TMPDeviceTypes deviceType_ = dtAutoSelect;
  int startPosition_ = 0;
  bool startPositionSet_ = false;
  TMPNotifyValues notifyResult_ = nvSuccessful;
  uint64_t lastPlayId_ = 0;
  uint64_t pendingPlayId_ = 0;  // the Play whose notice is still owed; 0 for none
};
