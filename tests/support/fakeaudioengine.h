#pragma once
// Scripted stand-in for the audio engine behind TMediaPlayer. The test is the clock: it moves
// the position and ends songs; the fake records every call. Typical use:
//
//   auto engine = std::make_unique<TFakeAudioEngine>();
//   TFakeAudioEngine& fake = *engine;
//   TMediaPlayer player(std::move(engine));          // or TformMain form(std::move(engine))
//   fake.SetLength("/music/a.mp3", 225000);
//   ... player.Open(); player.Play(); ...
//   fake.Advance(1500);                              // 1.5 s heard
//   fake.FinishSong();                               // the end of the song...
//   DeliverPostedNotices();                          // ...reaches OnNotify (a posted event)
//
// Like the real engine: Open closes any open song first; Play/Seek clamp to 0..Length();
// Pause acts only while playing; Stop keeps the position and drops a queued song; the end of a
// song leaves it stopped at Length(), or, with a song queued and joinQueued set, plays that
// one from its start. Opens finish inside Open unless holdOpens is set; then the test
// finishes them.

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include "audio/audioengine.h"

class TFakeAudioEngine final : public TAudioEngine {
 public:
  // --- script
  int64_t defaultLength = 225000;  // ms, for files without SetLength
  void SetLength(const QString& fileName, int64_t ms) { lengths_[fileName] = ms; }
  void SetTags(const QString& fileName, const TSongTags& tags) { tags_[fileName] = tags; }
  // Open of fileName throws EMCIDeviceError(message); an empty message gives a stock text.
  void FailOpen(const QString& fileName, const QString& message = {});
  // Where the listener is, in any state but Closed (clamped to 0..Length()).
  void SetPosition(int64_t ms);
  // The clock runs on by ms while playing (clamped at Length(); the song does not end by it).
  void Advance(int64_t ms);
  // The playing song reaches its end: stopped at Length(), Finished reported for the current
  // play. Returns false (and does nothing) when no song is playing.
  bool FinishSong();
  // Decoding breaks: stopped where it is, Failed reported. False when no song is playing.
  bool FailSong();
  // Opens are held until FinishOpen (as a slow disk would).
  bool holdOpens = false;
  // The end of a song lets the queued one take over without a gap.
  bool joinQueued = true;
  // Finishes the held Open (failing as FailOpen says); false when none is held.
  bool FinishOpen();
  bool OpenHeld() const { return !heldOpen_.isEmpty(); }
  // The engine asks for the song to follow the playing one.
  void WantNext();

  // --- record
  QStringList opened;       // every Open's file name, in order, failed ones too
  QList<int64_t> playFrom;  // every Play's start, as asked (before clamping)
  QList<int64_t> seeks;     // every Seek's target, as asked
  int openCount = 0, closeCount = 0, playCount = 0, pauseCount = 0, stopCount = 0, seekCount = 0;
  QString OpenFileName() const { return openFile_; }  // empty when closed
  uint64_t CurrentPlayId() const { return playId_; }
  QString Queued() const { return queued_; }  // the song queued to follow, empty for none
  QStringList queuedLog;                      // every QueueNext's file name, in order
  int dropCount = 0;                          // DropNext calls that dropped a queued song

  // --- TAudioEngine
  void SetHandlers(TEngineHandlers handlers) override { handlers_ = std::move(handlers); }
  void Open(const QString& fileName, uint64_t openId) override;
  void Close() override;
  void Play(int64_t fromMs, uint64_t playId) override;
  void Pause() override;
  void Stop() override;
  void Seek(int64_t ms) override;
  void QueueNext(const QString& fileName, uint64_t nextPlayId) override;
  void DropNext() override;
  int64_t Position() override { return state_ == TEngineState::Closed ? 0 : position_; }
  int64_t Length() const override { return state_ == TEngineState::Closed ? 0 : length_; }
  TEngineState State() const override { return state_; }
  TSongTags Tags() const override { return tags_.value(openFile_); }

 private:
  int64_t Clamp(int64_t ms) const;
  bool End(TEngineEnd end);
  void FinishOpen(const QString& fileName, uint64_t openId);

  QMap<QString, int64_t> lengths_;
  QMap<QString, TSongTags> tags_;
  QMap<QString, QString> openFailures_;
  TEngineHandlers handlers_;
  QString heldOpen_;
  uint64_t heldOpenId_ = 0;
  QString queued_;
  uint64_t queuedPlayId_ = 0;
  TEngineState state_ = TEngineState::Closed;
  QString openFile_;
  int64_t length_ = 0;
  int64_t position_ = 0;
  uint64_t playId_ = 0;
};

// Installs a factory that makes fakes for every TMediaPlayer built without an engine, while
// the scope lives.
class TFakeAudioEngineScope {
 public:
  TFakeAudioEngineScope();
  ~TFakeAudioEngineScope();
  // The fakes made so far, oldest first (owned by their media players).
  const QList<TFakeAudioEngine*>& Made() const { return made_; }
  TFakeAudioEngine* Last() const { return made_.isEmpty() ? nullptr : made_.back(); }

 private:
  QList<TFakeAudioEngine*> made_;
};

// Runs the posted calls of this thread, which delivers pending completion notices.
void DeliverPostedNotices();
