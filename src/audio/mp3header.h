#pragma once
// What an MP3 file says about itself in the few kilobytes at its start and end: where its audio
// lies between its tags, the first frame's format, and the Xing/Info header (frame and byte
// counts) with the LAME extension (encoder delay and padding). From these comes the song's
// exact length without reading its frames, when the header can be trusted, and whether frames
// go on past what the header counts (songs joined end to end).
//
// Pure functions over a byte source, so tests need neither a decoder nor a disk.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

// Reads up to size bytes at offset into dst; gives the number read (0 past the end), -1 on error.
using TByteSource = std::function<int64_t(int64_t offset, void* dst, int64_t size)>;

// One MPEG audio frame header.
struct TMpegFrame {
  enum TVersion { Mpeg1, Mpeg2, Mpeg25 };
  TVersion Version = Mpeg1;
  int Layer = 3;
  int BitrateKbps = 0;  // 0: free format, whose frame size the header does not give
  long Rate = 0;
  bool Mono = false;
  bool Padded = false;
  int SamplesPerFrame = 0;
  int Bytes = 0;  // the whole frame with its header; 0 for free format

  // Whether another header can belong to the same stream (libmpg123 keeps a stream's rate).
  bool SameStream(const TMpegFrame& other) const {
    return Version == other.Version && Layer == other.Layer && Rate == other.Rate;
  }
};

// The four bytes of a frame header, parsed; empty when they are not one.
std::optional<TMpegFrame> ParseFrameHeader(const unsigned char* bytes);

// The Xing ("Xing": variable bit rate, "Info": constant) header of a layer III frame.
struct TXingHeader {
  bool Info = false;
  std::optional<uint32_t> Frames;  // audio frames after this one
  std::optional<uint32_t> Bytes;   // from this frame to the end of the last one
  bool Lame = false;               // the LAME extension follows
  bool LameCrcOk = false;          // its checksum matches the frame's first bytes
  int Delay = 0;                   // encoder delay and padding, in samples
  int Padding = 0;
};

// The Xing header in frame (size bytes from the frame's first header byte), where libmpg123
// looks for it: right after the side information, which must be all zero.
std::optional<TXingHeader> ParseXingHeader(const unsigned char* frame, size_t size,
                                           const TMpegFrame& header);

// The size of an ID3v2 tag starting at bytes (10 needed): header, body and footer; 0 for none.
int64_t Id3v2TagSize(const unsigned char* bytes);

// Where the audio ends before the tags at the end of a file of fileSize bytes: ID3v1 (with the
// extended "TAG+" block), APEv2 (with or without its header), Lyrics3 v2, an appended ID3v2 with
// its footer, in any order. -1 when the source fails.
int64_t AudioEndBeforeTags(const TByteSource& source, int64_t fileSize);

struct TMp3Layout {
  int64_t FileSize = 0;
  int64_t AudioStart = 0;           // after the ID3v2 tags at the start
  int64_t AudioEnd = 0;             // before the tags at the end
  int64_t Id3v2Bytes = 0;           // all ID3v2 tags at the start together
  std::optional<TMpegFrame> First;  // the frame at AudioStart
  std::optional<TXingHeader> Xing;  // its Xing header
  // The frame header right after the first frame, and right after what the Xing header counts.
  std::optional<TMpegFrame> Second;
  std::optional<TMpegFrame> AfterCounted;
};

// Reads the layout from a few kilobytes at the start and end of the file. An error of the
// source gives an empty layout (nothing trusted).
TMp3Layout ReadMp3Layout(const TByteSource& source, int64_t fileSize);

// libmpg123's gapless length (MPG123_GAPLESS) of frames frames of samplesPerFrame samples: the
// decoder's delay of 529 samples and, with the LAME extension, the encoder's delay and padding
// trimmed.
int64_t GaplessLength(int64_t frames, int samplesPerFrame, bool lame, int delay, int padding);

// The exact length in samples, as libmpg123's full scan in gapless mode gives it, when the
// header states it and agrees with the file: a layer III Xing/Info header with a frame count and
// a byte count that match the audio between the tags, an intact LAME extension, a plausible
// frame size. Empty otherwise.
std::optional<int64_t> TrustedLength(const TMp3Layout& layout);

// A file whose frames go on past what its first header counts: songs joined end to end.
struct TJoinedSongs {
  int Songs = 1;  // how many the byte counts chain through (at least 2 when joined)
  // The padding of the last song, when its own header was found and its byte count ends the
  // audio; empty when the end is not known so.
  std::optional<int> LastPadding;
};

// Empty unless frames of the same stream follow what the first header counts. The songs are
// followed from header to header by their byte counts. A song of another rate or layer after
// the first stops the chain and the file is not treated as joined: it would not play as one
// stream.
std::optional<TJoinedSongs> FindJoinedSongs(const TMp3Layout& layout, const TByteSource& source);
