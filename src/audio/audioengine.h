#pragma once
// The audio engine behind TMediaPlayer: opens one song, plays it from a position, pauses,
// stops, seeks, and reports the end of a play. The real one decodes with libmpg123 and plays
// through SDL (TMpg123SdlEngine); tests use a scripted fake. Header-only on purpose: the fake
// lives outside the audio library and needs nothing from it.

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "audio/songtags.h"

enum class TEngineState { Closed, Stopped, Playing, Paused };

// How a play ended on its own. Superseded and aborted plays are the media player's business.
enum class TEngineEnd { Finished, Failed };

class TAudioEngine {
 public:
  // Called at most once per play id, from any thread, when that play ends by itself:
  // Finished once its last sample has been heard, Failed when decoding or output broke.
  using TEndHandler = std::function<void(uint64_t playId, TEngineEnd end)>;

  virtual ~TAudioEngine() = default;

  virtual void SetEndHandler(TEndHandler handler) = 0;

  // Readies the output ahead of the first song, so that first Play starts at once. Failing
  // here is silent: the next Open reports a missing output.
  virtual void Prepare() {}

  // Closes any open song, then opens fileName and learns its exact length. Throws
  // EMCIDeviceError naming the reason when the file cannot be played or there is no output.
  virtual void Open(const QString& fileName) = 0;
  // Closes the song; nothing happens when none is open.
  virtual void Close() = 0;

  // The operations below need an open song; the media player checks that first.
  // Starts playing at fromMs (clamped to 0..Length()); playId is handed back at the end.
  virtual void Play(int64_t fromMs, uint64_t playId) = 0;
  // Halts playback; Position() keeps the halt point. Only when playing.
  virtual void Pause() = 0;
  // Ends playback; the song stays open at the position reached.
  virtual void Stop() = 0;
  // Moves to ms (clamped), done when it returns. A playing song goes on from there.
  virtual void Seek(int64_t ms) = 0;

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
