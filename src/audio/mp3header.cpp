#include "audio/mp3header.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The delay libmpg123's layer III synthesis adds before the first real sample.
constexpr int kDecoderDelay = 529;
// How much of the start of the audio is read: the largest layer III frame (2,881 bytes at
// MPEG-2.5 8 kHz 160 kbps with padding) and the next frame's header fit.
constexpr int64_t kHeadBytes = 4096;
// The end of the file read once for the trailing tags: ID3v1 with its extended block, an APE
// footer, the end of a Lyrics3 block, an ID3v2 footer.
constexpr int64_t kTailBytes = 512;
// Bounds for hostile files: tags in a row at either end, songs followed through a joined file.
constexpr int kMaxTags = 16;
constexpr int kMaxSongs = 4096;

constexpr std::array<std::array<int, 16>, 3> kBitratesMpeg1 = {{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
}};
constexpr std::array<std::array<int, 16>, 3> kBitratesMpeg2 = {{
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
}};
constexpr std::array<long, 3> kRatesMpeg1 = {44100, 48000, 32000};

uint32_t BigEndian32(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

uint32_t LittleEndian32(const unsigned char* p) {
  return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

int64_t SyncSafe28(const unsigned char* p) {
  if ((p[0] | p[1] | p[2] | p[3]) & 0x80) return -1;
  return int64_t(p[0]) << 21 | int64_t(p[1]) << 14 | int64_t(p[2]) << 7 | p[3];
}

// The checksum of the LAME extension: CRC-16 with the polynomial 0x8005, bits reflected.
uint16_t Crc16(const unsigned char* data, size_t size) {
  uint16_t crc = 0;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return crc;
}

// Reads exactly size bytes at offset; false when the file is shorter or the source fails.
bool ReadExactly(const TByteSource& source, int64_t offset, void* dst, int64_t size) {
  return offset >= 0 && source(offset, dst, size) == size;
}

// Frame bytes of the given bit rate, without padding.
int FrameBytes(const TMpegFrame& frame, int kbps) {
  const int64_t bitsPerSecond = int64_t(kbps) * 1000;
  if (frame.Layer == 1) return int(12 * bitsPerSecond / frame.Rate) * 4;
  return int(int64_t(frame.SamplesPerFrame / 8) * bitsPerSecond / frame.Rate);
}

// The bit rate table of the frame's version and layer.
const std::array<int, 16>& Bitrates(const TMpegFrame& frame) {
  return (frame.Version == TMpegFrame::Mpeg1 ? kBitratesMpeg1 : kBitratesMpeg2)[frame.Layer - 1];
}

// Whether bytes audio bytes can hold frames frames of this stream: each frame's size lies
// between the smallest and the largest bit rate's; a constant-rate ("Info") stream's total
// lies within half a frame of its bit rate's (padding keeps it within a byte), so a count one
// frame off shows.
bool PlausibleSize(const TMpegFrame& first, const TMpegFrame& audio, bool constant, int64_t frames,
                   int64_t bytes) {
  if (frames <= 0 || bytes <= 0) return false;
  if (constant) {
    const int64_t expected =
        frames * (audio.SamplesPerFrame / 8) * audio.BitrateKbps * 1000 / audio.Rate;
    return std::abs(bytes - expected) * 2 < audio.Bytes;
  }
  const std::array<int, 16>& rates = Bitrates(first);
  const int64_t smallest = FrameBytes(first, rates[1]);
  const int64_t largest = FrameBytes(first, rates[14]) + 1;
  return bytes >= smallest * frames && bytes <= largest * frames;
}

// Past the tags that may stand between two songs joined end to end (the first one's ID3v1 or
// APE tag, the next one's ID3v2 tag), from at up to end.
int64_t SkipTagsBetweenSongs(const TByteSource& source, int64_t at, int64_t end) {
  for (int i = 0; i < kMaxTags && at + 10 <= end; ++i) {
    unsigned char b[32] = {};
    if (!ReadExactly(source, at, b, std::min<int64_t>(32, end - at))) break;
    int64_t size = 0;
    if (std::memcmp(b, "TAG+", 4) == 0)
      size = 227;
    else if (std::memcmp(b, "TAG", 3) == 0)
      size = 128;
    else if (std::memcmp(b, "ID3", 3) == 0)
      size = Id3v2TagSize(b);
    else if (std::memcmp(b, "APETAGEX", 8) == 0 && (LittleEndian32(b + 20) & 0x20000000u))
      size = int64_t(LittleEndian32(b + 12)) + 32;  // a header: items and footer follow
    if (size <= 0) break;
    at += size;
  }
  return at;
}

}  // namespace

std::optional<TMpegFrame> ParseFrameHeader(const unsigned char* b) {
  if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) return {};
  const int versionBits = (b[1] >> 3) & 3;
  const int layerBits = (b[1] >> 1) & 3;
  const int bitrateIndex = b[2] >> 4;
  const int rateIndex = (b[2] >> 2) & 3;
  if (versionBits == 1 || layerBits == 0 || bitrateIndex == 15 || rateIndex == 3) return {};
  TMpegFrame frame;
  frame.Version = versionBits == 3   ? TMpegFrame::Mpeg1
                  : versionBits == 2 ? TMpegFrame::Mpeg2
                                     : TMpegFrame::Mpeg25;
  frame.Layer = 4 - layerBits;
  frame.Rate = kRatesMpeg1[rateIndex] / (frame.Version == TMpegFrame::Mpeg1   ? 1
                                         : frame.Version == TMpegFrame::Mpeg2 ? 2
                                                                              : 4);
  frame.BitrateKbps = Bitrates(frame)[bitrateIndex];
  frame.Padded = (b[2] >> 1) & 1;
  frame.Mono = (b[3] >> 6) == 3;
  frame.SamplesPerFrame = frame.Layer == 1                                         ? 384
                          : frame.Layer == 2 || frame.Version == TMpegFrame::Mpeg1 ? 1152
                                                                                   : 576;
  if (frame.BitrateKbps > 0)
    frame.Bytes =
        FrameBytes(frame, frame.BitrateKbps) + (frame.Padded ? (frame.Layer == 1 ? 4 : 1) : 0);
  return frame;
}

std::optional<TXingHeader> ParseXingHeader(const unsigned char* frame, size_t size,
                                           const TMpegFrame& header) {
  if (header.Layer != 3 || header.Bytes <= 0) return {};
  // Offsets count from the end of the four header bytes, as libmpg123's do; its frame size is
  // the frame's without them. The first two bytes may hold a checksum.
  const unsigned char* body = frame + 4;
  const size_t bodySize = std::min(size_t(header.Bytes), size) - std::min<size_t>(4, size);
  const size_t sideInfo =
      header.Version == TMpegFrame::Mpeg1 ? (header.Mono ? 17 : 32) : (header.Mono ? 9 : 17);
  if (size_t(header.Bytes) - 4 < sideInfo + 8 || bodySize < sideInfo + 8) return {};
  for (size_t i = 2; i < sideInfo; ++i)
    if (body[i] != 0) return {};
  TXingHeader xing;
  if (std::memcmp(body + sideInfo, "Info", 4) == 0)
    xing.Info = true;
  else if (std::memcmp(body + sideInfo, "Xing", 4) != 0)
    return {};
  const uint32_t flags = BigEndian32(body + sideInfo + 4);
  size_t at = sideInfo + 8;
  auto has = [&](size_t n) { return at + n <= bodySize; };
  if (flags & 1) {
    if (!has(4)) return xing;
    xing.Frames = BigEndian32(body + at);
    at += 4;
  }
  if (flags & 2) {
    if (!has(4)) return xing;
    xing.Bytes = BigEndian32(body + at);
    at += 4;
  }
  if (flags & 4) {
    if (!has(100)) return xing;
    at += 100;
  }
  if (flags & 8) {
    if (!has(4)) return xing;
    at += 4;
  }
  // The LAME extension: a nine-byte encoder name, ..., delay and padding in bytes 21-23, ...,
  // and a checksum of the frame up to it in bytes 34-35.
  if (!has(24) || body[at] == 0) return xing;
  xing.Lame = true;
  xing.Delay = body[at + 21] << 4 | body[at + 22] >> 4;
  xing.Padding = (body[at + 22] & 0x0F) << 8 | body[at + 23];
  if (has(36)) xing.LameCrcOk = Crc16(frame, 4 + at + 34) == (body[at + 34] << 8 | body[at + 35]);
  return xing;
}

int64_t Id3v2TagSize(const unsigned char* b) {
  if (std::memcmp(b, "ID3", 3) != 0 || b[3] == 0xFF || b[4] == 0xFF) return 0;
  const int64_t body = SyncSafe28(b + 6);
  if (body < 0) return 0;
  const bool footer = b[3] >= 4 && (b[5] & 0x10);
  return 10 + body + (footer ? 10 : 0);
}

int64_t AudioEndBeforeTags(const TByteSource& source, int64_t fileSize) {
  // 1. The last bytes once; the checks read from them while they reach.
  const int64_t tailStart = std::max<int64_t>(0, fileSize - kTailBytes);
  std::vector<unsigned char> tail(size_t(fileSize - tailStart));
  if (!ReadExactly(source, tailStart, tail.data(), int64_t(tail.size()))) return -1;
  bool failed = false;
  auto bytesAt = [&](int64_t offset, int64_t size, unsigned char* out) {
    if (offset < 0) return false;
    if (offset >= tailStart) {
      std::memcpy(out, tail.data() + (offset - tailStart), size_t(size));
      return true;
    }
    if (ReadExactly(source, offset, out, size)) return true;
    failed = true;
    return false;
  };
  // 2. Strip one tag at a time from the end until none is left.
  int64_t end = fileSize;
  for (int round = 0; round < kMaxTags; ++round) {
    unsigned char b[32];
    if (end >= 128 && bytesAt(end - 128, 3, b) && std::memcmp(b, "TAG", 3) == 0) {
      end -= 128;
      if (end >= 227 && bytesAt(end - 227, 4, b) && std::memcmp(b, "TAG+", 4) == 0) end -= 227;
      continue;
    }
    if (end >= 32 && bytesAt(end - 32, 32, b) && std::memcmp(b, "APETAGEX", 8) == 0) {
      // Footer: version, size of items and footer, item count, flags (bit 31: a header too).
      const int64_t size = LittleEndian32(b + 12);
      const uint32_t flags = LittleEndian32(b + 20);
      const int64_t whole = size + ((flags & 0x80000000u) ? 32 : 0);
      if (!(flags & 0x20000000u) && size >= 32 && whole <= end) {
        end -= whole;
        continue;
      }
    }
    if (end >= 15 && bytesAt(end - 15, 15, b) && std::memcmp(b + 6, "LYRICS200", 9) == 0) {
      int64_t size = 0;
      bool digits = true;
      for (int i = 0; i < 6; ++i) {
        digits = digits && b[i] >= '0' && b[i] <= '9';
        size = size * 10 + (b[i] - '0');
      }
      unsigned char begin[11];
      if (digits && size + 15 <= end && bytesAt(end - 15 - size, 11, begin) &&
          std::memcmp(begin, "LYRICSBEGIN", 11) == 0) {
        end -= size + 15;
        continue;
      }
    }
    if (end >= 10 && bytesAt(end - 10, 10, b) && std::memcmp(b, "3DI", 3) == 0) {
      const int64_t body = SyncSafe28(b + 6);
      if (body >= 0 && body + 20 <= end) {
        end -= body + 20;
        continue;
      }
    }
    break;
  }
  return failed ? -1 : end;
}

TMp3Layout ReadMp3Layout(const TByteSource& source, int64_t fileSize) {
  TMp3Layout layout;
  layout.FileSize = fileSize;
  // 1. The ID3v2 tags at the start, one after another.
  int64_t start = 0;
  for (int i = 0; i < kMaxTags; ++i) {
    unsigned char b[10];
    if (start + 10 > fileSize || !ReadExactly(source, start, b, 10)) break;
    const int64_t size = Id3v2TagSize(b);
    if (size == 0) break;
    start += size;
  }
  layout.AudioStart = std::min(start, fileSize);
  layout.Id3v2Bytes = layout.AudioStart;
  // 2. The tags at the end.
  layout.AudioEnd = AudioEndBeforeTags(source, fileSize);
  if (layout.AudioEnd < 0) return TMp3Layout{};
  layout.AudioEnd = std::max(layout.AudioEnd, layout.AudioStart);
  // 3. The first frame, its Xing header, the next frame's header.
  std::vector<unsigned char> head(
      size_t(std::min(kHeadBytes, layout.AudioEnd - layout.AudioStart)));
  if (head.size() < 4) return layout;
  const int64_t got = source(layout.AudioStart, head.data(), int64_t(head.size()));
  if (got < 4) return got < 0 ? TMp3Layout{} : layout;
  head.resize(size_t(got));
  layout.First = ParseFrameHeader(head.data());
  if (!layout.First) return layout;
  layout.Xing = ParseXingHeader(head.data(), head.size(), *layout.First);
  const size_t next = size_t(layout.First->Bytes);
  if (next > 0 && next + 4 <= head.size()) layout.Second = ParseFrameHeader(head.data() + next);
  // 4. The frame after what the header counts, when the audio goes on past it.
  if (layout.Xing && layout.Xing->Bytes) {
    const int64_t after =
        SkipTagsBetweenSongs(source, layout.AudioStart + *layout.Xing->Bytes, layout.AudioEnd);
    unsigned char b[4];
    if (after + 4 <= layout.AudioEnd && ReadExactly(source, after, b, 4))
      layout.AfterCounted = ParseFrameHeader(b);
  }
  return layout;
}

int64_t GaplessLength(int64_t frames, int samplesPerFrame, bool lame, int delay, int padding) {
  // As libmpg123 trims: from delay + decoder delay to frames * samples - padding + decoder
  // delay, the end never past the decoded samples.
  const int64_t decoded = frames * samplesPerFrame;
  const int64_t begin = (lame ? delay : 0) + kDecoderDelay;
  const int64_t end = std::min(decoded, decoded - (lame ? padding : 0) + kDecoderDelay);
  return std::max<int64_t>(0, end - begin);
}

std::optional<int64_t> TrustedLength(const TMp3Layout& layout) {
  if (!layout.First || !layout.Xing || !layout.Second) return {};
  const TMpegFrame& first = *layout.First;
  const TXingHeader& xing = *layout.Xing;
  // 1. A layer III stream with a frame size, a frame count and a byte count.
  if (first.Layer != 3 || first.Bytes <= 0 || !xing.Frames || !xing.Bytes || *xing.Frames == 0)
    return {};
  // 2. The byte count ends where the audio ends (lame counts from the header's own frame, tags
  //    excluded; some encoders count a trailing tag too).
  const int64_t counted = *xing.Bytes;
  if (counted != layout.AudioEnd - layout.AudioStart &&
      counted != layout.FileSize - layout.AudioStart)
    return {};
  // 3. An intact LAME extension, when there is one.
  if (xing.Lame && !xing.LameCrcOk) return {};
  // 4. The audio frames start right after the header's frame and fit the count.
  const TMpegFrame& audio = *layout.Second;
  if (!audio.SameStream(first) || audio.Bytes <= 0) return {};
  const int64_t audioBytes = std::min(counted, layout.AudioEnd - layout.AudioStart) - first.Bytes;
  if (!PlausibleSize(first, audio, xing.Info, *xing.Frames, audioBytes)) return {};
  const int64_t length =
      GaplessLength(*xing.Frames, first.SamplesPerFrame, xing.Lame, xing.Delay, xing.Padding);
  if (length <= 0) return {};
  return length;
}

std::optional<TJoinedSongs> FindJoinedSongs(const TMp3Layout& layout, const TByteSource& source) {
  if (!layout.First || !layout.Xing || !layout.Xing->Frames || !layout.Xing->Bytes ||
      !layout.AfterCounted || !layout.AfterCounted->SameStream(*layout.First))
    return {};
  TJoinedSongs joined;
  int64_t at = layout.AudioStart + *layout.Xing->Bytes;
  std::vector<unsigned char> head(static_cast<size_t>(kHeadBytes));
  while (joined.Songs < kMaxSongs) {
    // 1. A song starts at, after any tags: its first frame must belong to the stream.
    at = SkipTagsBetweenSongs(source, at, layout.AudioEnd);
    if (at + 4 > layout.AudioEnd) break;
    const int64_t got =
        source(at, head.data(), std::min<int64_t>(kHeadBytes, layout.AudioEnd - at));
    if (got < 4) break;
    const std::optional<TMpegFrame> frame = ParseFrameHeader(head.data());
    if (!frame) break;
    if (!frame->SameStream(*layout.First)) return {};
    ++joined.Songs;
    // 2. Its own header tells where it ends; without one the end stays unknown.
    const std::optional<TXingHeader> xing = ParseXingHeader(head.data(), size_t(got), *frame);
    if (!xing || !xing->Bytes || *xing->Bytes == 0) break;
    const int64_t end = at + *xing->Bytes;
    if (end == layout.AudioEnd) {
      joined.LastPadding = xing->Lame ? xing->Padding : 0;
      break;
    }
    if (end > layout.AudioEnd) break;
    at = end;
  }
  if (joined.Songs < 2) return {};
  return joined;
}
