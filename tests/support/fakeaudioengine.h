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
// Pause acts only while playing; Stop keeps the position; the end of a song leaves it stopped
// at Length().

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

  // --- record
  QStringList opened;       // every Open's file name, in order, failed ones too
  QList<int64_t> playFrom;  // every Play's start, as asked (before clamping)
  QList<int64_t> seeks;     // every Seek's target, as asked
  int openCount = 0, closeCount = 0, playCount = 0, pauseCount = 0, stopCount = 0, seekCount = 0;
  QString OpenFileName() const { return openFile_; }  // empty when closed
  uint64_t CurrentPlayId() const { return playId_; }

  // --- TAudioEngine
  void SetEndHandler(TEndHandler handler) override { handler_ = std::move(handler); }
  void Open(const QString& fileName) override;
  void Close() override;
  void Play(int64_t fromMs, uint64_t playId) override;
  void Pause() override;
  void Stop() override;
  void Seek(int64_t ms) override;
  int64_t Position() override { return state_ == TEngineState::Closed ? 0 : position_; }
  int64_t Length() const override { return state_ == TEngineState::Closed ? 0 : length_; }
  TEngineState State() const override { return state_; }
  TSongTags Tags() const override { return tags_.value(openFile_); }

 private:
  int64_t Clamp(int64_t ms) const;
  bool End(TEngineEnd end);

  QMap<QString, int64_t> lengths_;
  QMap<QString, TSongTags> tags_;
  QMap<QString, QString> openFailures_;
  TEndHandler handler_;
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
