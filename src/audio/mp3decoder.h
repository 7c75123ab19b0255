#pragma once
// One MP3 file opened with libmpg123, its exact length (encoder delay and padding trimmed)
// known before the first sample is decoded. Output is always interleaved stereo, signed 16-bit,
// at the file's rate. Not thread-safe: its owner serialises all calls.
//
// The length comes from the song's own Xing/Info header when that agrees with the file
// (TrustedLength: a few kilobytes read), else from libmpg123's full scan of every frame header,
// which also fills its seek index. Seeks land on the exact sample either way: without the index
// libmpg123 reads the frames up to the target. A file whose frames go on past what its header
// counts (songs joined end to end) plays whole, trimmed only at its very start and end.

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

struct TMp3OpenOptions {
  // The ID3 tags into Tags(). Without, the tags at the start are skipped unread.
  bool ReadTags = true;
  // The full scan even when the header could be trusted (to compare the two).
  bool FullScan = false;
};

class TMp3Decoder {
 public:
  // Throws EMCIDeviceError with a text naming the reason the file cannot be played.
  explicit TMp3Decoder(const QString& fileName, TMp3OpenOptions options = {});
  ~TMp3Decoder();
  TMp3Decoder(const TMp3Decoder&) = delete;
  TMp3Decoder& operator=(const TMp3Decoder&) = delete;

  long Rate() const { return rate_; }
  int64_t LengthFrames() const { return lengthFrames_; }
  // The song's tags, read at open.
  const TSongTags& Tags() const { return tags_; }
  // Whether the length came from the song's header, without the full scan.
  bool LengthFromHeader() const { return lengthFromHeader_; }
  // Whether the file holds songs joined end to end, played as one.
  bool Joined() const { return skipFrames_ >= 0; }

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
  void ReadTags();
  QString fileName_;
  std::unique_ptr<TReader> reader_;
  mpg123_handle_struct* handle_ = nullptr;
  long rate_ = 0;
  int64_t lengthFrames_ = 0;
  // Joined files are decoded untrimmed; this many frames at the start are dropped. -1 when
  // libmpg123's gapless mode trims.
  int64_t skipFrames_ = -1;
  bool lengthFromHeader_ = false;
  int64_t openedSize_ = 0;
  TSongTags tags_;
};
