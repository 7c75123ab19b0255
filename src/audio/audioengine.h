#pragma once
// The audio engine behind TMediaPlayer: opens one song, plays it from a position, pauses,
// stops, seeks, reports the end of a play, and can have the next song follow the current one
// without a gap. The real one decodes with libmpg123 and plays through SDL
// (TMpg123SdlEngine); tests use a scripted fake. Header-only on purpose: the fake lives
// outside the audio library and needs nothing from it.
//
// Nothing here waits for a file: Open, Play and Seek start work on the engine's own threads
// and return; what they lead to comes back through the handlers.

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "audio/songtags.h"

enum class TEngineState { Closed, Stopped, Playing, Paused };

// How a play ended on its own. Superseded and aborted plays are the media player's business.
enum class TEngineEnd { Finished, Failed };

// A play that ended by itself: Finished once its last sample has been heard, Failed when
// decoding or output broke. With nextPlayId set, the queued song nextFile took over without a
// gap and now plays as that play.
struct TPlayEnd {
  uint64_t playId = 0;
  TEngineEnd end = TEngineEnd::Finished;
  uint64_t nextPlayId = 0;
  QString nextFile;
};

// Called from any thread; the media player moves them to its own.
struct TEngineHandlers {
  // At most once per play id.
  std::function<void(const TPlayEnd& end)> ended;
  // An Open finished: error empty when the song is open, else why it cannot be played.
  // Never called for an Open that a later Open or Close superseded.
  std::function<void(uint64_t openId, const QString& error)> opened;
  // The current play nears its end and no next song is queued: now is the time to queue one.
  std::function<void(uint64_t playId)> nextWanted;
};

class TAudioEngine {
 public:
  virtual ~TAudioEngine() = default;

  virtual void SetHandlers(TEngineHandlers handlers) = 0;

  // Readies the output ahead of the first song (in the background: the caller does not wait),
  // so that the first Play starts at once. Failing here is silent: the next Open reports a
  // missing output.
  virtual void Prepare() {}

  // Closes any open song (and drops a queued next one) at once, then opens fileName in the
  // background and learns its exact length; `opened` tells how it went, naming the reason
  // when the file cannot be played or there is no output. Until then State() is Closed.
  virtual void Open(const QString& fileName, uint64_t openId) = 0;
  // Closes the song and forgets a pending Open and a queued next song; nothing happens when
  // there is none.
  virtual void Close() = 0;

  // The operations below need an open song; the media player checks that first.
  // Starts playing at fromMs (clamped to 0..Length()); playId is handed back at the end.
  // State() is Playing at once; the audio follows as soon as it is decoded.
  virtual void Play(int64_t fromMs, uint64_t playId) = 0;
  // Halts playback; Position() keeps the halt point. Only when playing.
  virtual void Pause() = 0;
  // Ends playback; the song stays open at the position reached. A queued song is dropped.
  virtual void Stop() = 0;
  // Moves to ms (clamped). A playing song goes on from there.
  virtual void Seek(int64_t ms) = 0;

  // Gapless: fileName is to follow the current play, as play nextPlayId, with no silence in
  // between when its rate matches; it replaces any song queued before. The engine opens it in
  // the background and does not use it when it is gone by the time it is needed.
  virtual void QueueNext(const QString& fileName, uint64_t nextPlayId) = 0;
  // Forgets the queued song; audio of it that is decoded but not yet heard is taken back.
  virtual void DropNext() = 0;

  // The millisecond being heard; 0 with no song open.
  virtual int64_t Position() = 0;
  virtual int64_t Length() const = 0;
  virtual TEngineState State() const = 0;
  // The open song's tags, read when it was opened; empty with no song open.
  virtual TSongTags Tags() const { return {}; }
};

using TAudioEngineFactory = std::function<std::unique_ptr<TAudioEngine>()>;

// When set, TMediaPlayer's default constructor takes its engine from here (test seam).
inline TAudioEngineFactory& AudioEngineFactory() {
  static TAudioEngineFactory factory;
  return factory;
}
