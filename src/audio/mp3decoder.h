#pragma once
// One MP3 file opened with libmpg123: scanned in full at open, so its exact length (encoder
// delay and padding trimmed) and a sample-accurate seek index are known before the first
// sample is decoded. Output is always interleaved stereo, signed 16-bit, at the file's rate.
// Not thread-safe: its owner serialises all calls.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "audio/songtags.h"

struct mpg123_handle_struct;

// Test seam: when set, called on the reading thread before every read of a song file, so a
// test can hold a read as a slow or failing disk would. One function for the whole process.
using TSongReadHook = void (*)();
void SetSongReadHook(TSongReadHook hook);

class TMp3Decoder {
 public:
  // Throws EMCIDeviceError with a text naming the reason the file cannot be played.
  explicit TMp3Decoder(const QString& fileName);
  ~TMp3Decoder();
  TMp3Decoder(const TMp3Decoder&) = delete;
  TMp3Decoder& operator=(const TMp3Decoder&) = delete;

  long Rate() const { return rate_; }
  int64_t LengthFrames() const { return lengthFrames_; }
  // The song's tags, read at open.
  const TSongTags& Tags() const { return tags_; }

  // Moves to frame (0..LengthFrames()); false when the stream refuses.
  bool Seek(int64_t frame);

  enum class TRead { More, End, Failed };
  // Decodes up to frames frames into out; got is how many were written.
  // End: the stream is over. Failed: decoding or reading broke (ErrorText() says why).
  TRead Read(int16_t* out, size_t frames, size_t& got);
  // The frame the next Read starts at.
  int64_t Tell() const;
  QString ErrorText() const;

 private:
  struct TReader;
  QString fileName_;
  std::unique_ptr<TReader> reader_;
  mpg123_handle_struct* handle_ = nullptr;
  long rate_ = 0;
  int64_t lengthFrames_ = 0;
  TSongTags tags_;
};
