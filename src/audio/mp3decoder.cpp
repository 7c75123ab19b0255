#include "audio/mp3decoder.h"

#include <fcntl.h>
#include <mpg123.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>

#include "audio/mp3header.h"
#include "platform/errors.h"

namespace {

// mpg123 reads a header byte by byte while it hunts for a frame and one frame at a time
// afterwards; served straight from the file that is one system call per byte or frame. The
// buffer starts small, so an open that needs only the first frames reads only a few kilobytes,
// and doubles with every refill up to its full size while the song plays.
constexpr size_t kFirstFill = 8 * 1024;
constexpr size_t kBufferSize = 128 * 1024;
// A stream may stop up to one MPEG frame short of the scanned length without being damaged.
constexpr int64_t kFrameSlack = 1152;
// libmpg123's layer III synthesis delay, trimmed at the start of every song with a header.
constexpr int64_t kDecoderDelay = 529;
// Tags at the start larger than this are skipped unread, so a hostile size costs no memory;
// a cover larger than kMaxCover is dropped.
constexpr int64_t kMaxTagBytes = 32 * 1024 * 1024;
constexpr size_t kMaxCover = 16 * 1024 * 1024;
// ID3v2 picture type of the front cover.
constexpr int kFrontCover = 3;

QString SystemText(int error) {
  return QString::fromLocal8Bit(std::strerror(error));
}

std::atomic<TSongReadHook> songReadHook{nullptr};

void EnsureLibraryReady() {
  static const int ready = mpg123_init();
  (void)ready;
}

void CallReadHook() {
  if (const TSongReadHook hook = songReadHook.load(std::memory_order_relaxed)) hook();
}

// Text without its closing NULs; NULs inside separate values (ID3v2.4).
QString Utf8(const mpg123_string* text) {
  if (!text || !text->p) return {};
  size_t size = text->fill;
  while (size > 0 && text->p[size - 1] == 0) --size;
  return QString::fromUtf8(text->p, qsizetype(size)).trimmed();
}

// An ID3v1 field: Latin-1, padded with NULs or spaces.
QString Latin1Field(const char* field, size_t size) {
  return QString::fromLatin1(field, qsizetype(strnlen(field, size))).trimmed();
}

// Several artists: ID3v2.4 separates values with NUL, taggers for older versions often with
// " / ". A bare "/" is part of names ("AC/DC") and stays.
QStringList SplitArtists(const QString& text) {
  QStringList artists;
  for (const QString& value : text.split(QChar(0)))
    for (const QString& name : value.split(QStringLiteral(" / ")))
      if (!name.trimmed().isEmpty()) artists << name.trimmed();
  return artists;
}

// "3/12" gives 3; 0 when it holds no number.
int TrackNumber(const QString& text) {
  const QString number = text.section('/', 0, 0).trimmed();
  bool ok = false;
  const int n = number.toInt(&ok);
  return ok && n > 0 ? n : 0;
}

}  // namespace

void SetSongReadHook(TSongReadHook hook) {
  songReadHook.store(hook);
}

// Buffered read/seek over a file descriptor for mpg123's replaced reader. mpg123 sees the file
// from base on: tags at the start that are not read are not there for it.
struct TMp3Decoder::TReader {
  int fd = -1;
  off_t base = 0;
  off_t pos = 0;       // where mpg123 reads next, from base
  off_t bufStart = 0;  // file offset of buf[0]
  size_t bufLen = 0;
  size_t fill = kFirstFill;  // how much the next refill reads
  int error = 0;             // errno of the last failed read
  std::unique_ptr<char[]> buf = std::make_unique<char[]>(kBufferSize);

  ~TReader() {
    if (fd >= 0) ::close(fd);
  }

  // A read at offset that does not move mpg123's position, for the header and tag checks.
  int64_t ReadAt(int64_t offset, void* dst, int64_t size) {
    CallReadHook();
    ssize_t got;
    do {
      got = ::pread(fd, dst, size_t(size), off_t(offset));
    } while (got < 0 && errno == EINTR);
    if (got < 0) error = errno;
    return got;
  }

  static mpg123_ssize_t ReadFn(void* handle, void* dst, size_t count) {
    auto* r = static_cast<TReader*>(handle);
    char* out = static_cast<char*>(dst);
    size_t total = 0;
    while (count > 0) {
      if (r->pos >= r->bufStart && r->pos < r->bufStart + off_t(r->bufLen)) {
        const size_t offset = size_t(r->pos - r->bufStart);
        const size_t n = std::min(count, r->bufLen - offset);
        std::memcpy(out, r->buf.get() + offset, n);
        out += n, count -= n, total += n, r->pos += off_t(n);
        continue;
      }
      const bool direct = count >= r->fill;
      CallReadHook();
      ssize_t got;
      do {
        got =
            ::pread(r->fd, direct ? out : r->buf.get(), direct ? count : r->fill, r->base + r->pos);
      } while (got < 0 && errno == EINTR);
      if (got < 0) {
        r->error = errno;
        return total > 0 ? mpg123_ssize_t(total) : -1;
      }
      if (got == 0) break;
      if (direct) {
        out += got, count -= size_t(got), total += size_t(got), r->pos += got;
      } else {
        r->bufStart = r->pos;
        r->bufLen = size_t(got);
        if (r->bufLen == r->fill) r->fill = std::min(kBufferSize, r->fill * 2);
      }
    }
    return mpg123_ssize_t(total);
  }

  static off_t SeekFn(void* handle, off_t offset, int whence) {
    auto* r = static_cast<TReader*>(handle);
    off_t base = 0;
    if (whence == SEEK_CUR) {
      base = r->pos;
    } else if (whence == SEEK_END) {
      struct stat st;
      if (::fstat(r->fd, &st) != 0) return -1;
      base = st.st_size - r->base;
    } else if (whence != SEEK_SET) {
      errno = EINVAL;
      return -1;
    }
    if (base + offset < 0) {
      errno = EINVAL;
      return -1;
    }
    r->pos = base + offset;
    return r->pos;
  }
};

// The open:
// 1. the file: a regular, non-empty one
// 2. its layout from a few kilobytes: tags, first frame, Xing/Info header
// 3. libmpg123 on it: gapless, or untrimmed for songs joined end to end; tags read or skipped
// 4. the first frame: a file that holds none is refused with the reason
// 5. the length: the trusted header's, when libmpg123 reads the same from it; else the full
//    scan's, for joined files trimmed at the very start and end only
// 6. the tags
TMp3Decoder::TMp3Decoder(const QString& fileName, TMp3OpenOptions options)
    : fileName_(fileName), reader_(std::make_unique<TReader>()) {
  const QString quoted = '"' + fileName + '"';
  auto fail = [&](const QString& text) {
    if (handle_) mpg123_delete(handle_);
    handle_ = nullptr;
    throw EMCIDeviceError(text);
  };
  auto failOnReadError = [&] {
    if (reader_->error != 0)
      fail(QStringLiteral("Cannot read %1: %2").arg(quoted, SystemText(reader_->error)));
  };

  // 1. O_NONBLOCK: a FIFO named like a song must not hang the open.
  const QByteArray path = QFile::encodeName(fileName);
  reader_->fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (reader_->fd < 0) fail(QStringLiteral("Cannot open %1: %2").arg(quoted, SystemText(errno)));
  struct stat st;
  if (::fstat(reader_->fd, &st) != 0)
    fail(QStringLiteral("Cannot open %1: %2").arg(quoted, SystemText(errno)));
  if (S_ISDIR(st.st_mode)) fail(QStringLiteral("%1 is a folder, not an MP3 file").arg(quoted));
  if (!S_ISREG(st.st_mode)) fail(QStringLiteral("%1 is not a regular file").arg(quoted));
  if (st.st_size == 0) fail(QStringLiteral("%1 is empty: it holds no MP3 audio").arg(quoted));
  // No read-ahead while only the start and end are read; the whole file once it is scanned or
  // played.
  ::posix_fadvise(reader_->fd, 0, 0, POSIX_FADV_RANDOM);

  // 2.
  const TByteSource source = [r = reader_.get()](int64_t offset, void* dst, int64_t size) {
    return r->ReadAt(offset, dst, size);
  };
  const TMp3Layout layout = ReadMp3Layout(source, st.st_size);
  failOnReadError();
  // 0 when the header is not trusted.
  const int64_t trusted = options.FullScan ? 0 : TrustedLength(layout).value_or(0);
  const std::optional<TJoinedSongs> joined =
      trusted > 0 ? std::nullopt : FindJoinedSongs(layout, source);
  failOnReadError();

  // 3.
  EnsureLibraryReady();
  int error = MPG123_OK;
  handle_ = mpg123_new(nullptr, &error);
  if (!handle_)
    fail(QStringLiteral("Cannot decode %1: %2").arg(quoted, mpg123_plain_strerror(error)));
  // Stereo 16-bit at every rate the decoder knows; mono is doubled, the rate kept. A joined
  // file is decoded untrimmed and whole (libmpg123's gapless mode would end it where its first
  // header says), and trimmed here.
  long flags = MPG123_QUIET | MPG123_FORCE_STEREO;
  if (!joined) flags |= MPG123_GAPLESS | MPG123_NO_FRANKENSTEIN;
  const bool readTags = options.ReadTags && layout.Id3v2Bytes <= kMaxTagBytes;
  flags |= readTags ? MPG123_PICTURE : MPG123_SKIP_ID3V2;
  // Tags not read are not read past either, when the audio is known to start after them.
  if (!readTags && layout.First) reader_->base = off_t(layout.AudioStart);
  mpg123_param(handle_, MPG123_ADD_FLAGS, flags, 0);
  if (joined) mpg123_param(handle_, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
  mpg123_format_none(handle_);
  const long* rates = nullptr;
  size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  for (size_t i = 0; i < rateCount; ++i)
    mpg123_format(handle_, rates[i], MPG123_STEREO, MPG123_ENC_SIGNED_16);

  if (mpg123_replace_reader_handle(handle_, &TReader::ReadFn, &TReader::SeekFn, nullptr) !=
          MPG123_OK ||
      mpg123_open_handle(handle_, reader_.get()) != MPG123_OK)
    fail(QStringLiteral("Cannot decode %1: %2").arg(quoted, mpg123_strerror(handle_)));

  // 4.
  long rate = 0;
  int channels = 0, encoding = 0;
  const int format = mpg123_getformat(handle_, &rate, &channels, &encoding);
  failOnReadError();
  if (format == MPG123_DONE || format == MPG123_NEED_MORE) {
    // The stream ended before a whole frame: a cut-off file if it starts like an MP3.
    unsigned char head[10] = {};
    const ssize_t got = ::pread(reader_->fd, head, sizeof head, 0);
    bool mp3Start = got >= 2 && head[0] == 0xFF && (head[1] & 0xE0) == 0xE0;
    if (got >= 3 && std::memcmp(head, "ID3", 3) == 0) {
      mp3Start = true;
      if (got == 10) {
        const off_t tagEnd = 10 + ((off_t(head[6] & 0x7F) << 21) | ((head[7] & 0x7F) << 14) |
                                   ((head[8] & 0x7F) << 7) | (head[9] & 0x7F));
        unsigned char sync[2] = {};
        if (tagEnd < st.st_size && ::pread(reader_->fd, sync, 2, tagEnd) == 2)
          mp3Start = sync[0] == 0xFF && (sync[1] & 0xE0) == 0xE0;
      }
    }
    fail(mp3Start ? QStringLiteral("%1 is cut short: it ends before its first complete MP3 frame")
                        .arg(quoted)
                  : QStringLiteral("%1 is not an MP3 file: it holds no MPEG audio").arg(quoted));
  }
  if (format != MPG123_OK) {
    if (mpg123_errcode(handle_) == MPG123_RESYNC_FAIL)
      fail(QStringLiteral("%1 is not an MP3 file: it holds no MPEG audio").arg(quoted));
    fail(QStringLiteral("Cannot decode %1: %2").arg(quoted, mpg123_strerror(handle_)));
  }

  // 5. libmpg123 reads the same header at open; where it makes another length of it, the scan
  //    decides.
  int64_t length = 0;
  if (trusted > 0 && mpg123_length(handle_) == trusted) {
    length = trusted;
    lengthFromHeader_ = true;
  } else {
    // Every frame header is read once, so VBR files without an info frame get their true
    // length and seeks land on the exact sample.
    ::posix_fadvise(reader_->fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    if (mpg123_scan(handle_) != MPG123_OK)
      fail(QStringLiteral("Cannot decode %1: %2").arg(quoted, mpg123_strerror(handle_)));
    failOnReadError();
    length = mpg123_length(handle_);
    if (joined && length > 0) {
      // The first song's delay at the start, the last one's padding at the end (where known),
      // as the gapless mode trims one song.
      const int64_t decoded = length;
      const int64_t begin = (layout.Xing->Lame ? layout.Xing->Delay : 0) + kDecoderDelay;
      const int64_t end = joined->LastPadding
                              ? std::min(decoded, decoded - *joined->LastPadding + kDecoderDelay)
                              : decoded;
      skipFrames_ = std::min(begin, decoded);
      length = std::max<int64_t>(0, end - skipFrames_);
      if (length > 0 && mpg123_seek(handle_, off_t(skipFrames_), SEEK_SET) < 0)
        fail(QStringLiteral("Cannot decode %1: %2").arg(quoted, mpg123_strerror(handle_)));
    }
  }
  if (length <= 0)
    fail(QStringLiteral("%1 is not an MP3 file: it holds no MPEG audio").arg(quoted));
  ::posix_fadvise(reader_->fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  rate_ = rate;
  lengthFrames_ = length;
  openedSize_ = st.st_size;

  // 6.
  if (readTags) ReadTags();
}

void TMp3Decoder::ReadTags() {
  mpg123_id3v1* v1 = nullptr;
  mpg123_id3v2* v2 = nullptr;
  if (!(mpg123_meta_check(handle_) & MPG123_ID3) || mpg123_id3(handle_, &v1, &v2) != MPG123_OK)
    return;
  QString trackText;
  if (v2) {
    tags_.Title = Utf8(v2->title);
    tags_.Artists = SplitArtists(Utf8(v2->artist));
    tags_.Album = Utf8(v2->album);
    for (size_t i = 0; i < v2->texts; ++i)
      if (std::memcmp(v2->text[i].id, "TRCK", 4) == 0) trackText = Utf8(&v2->text[i].text);
    tags_.TrackNumber = TrackNumber(trackText);
    const mpg123_picture* cover = nullptr;
    for (size_t i = 0; i < v2->pictures; ++i) {
      const mpg123_picture& picture = v2->picture[i];
      if (picture.size == 0 || picture.size > kMaxCover) continue;
      if (!cover || (picture.type == kFrontCover && cover->type != kFrontCover)) cover = &picture;
    }
    if (cover) {
      tags_.Cover = QByteArray(reinterpret_cast<const char*>(cover->data), qsizetype(cover->size));
      tags_.CoverMime = Utf8(&cover->mime_type);
    }
  }
  // ID3v1 fills what ID3v2 left empty. Its version 1.1 keeps a track number in the comment's
  // last byte, after a NUL.
  if (v1 && std::memcmp(v1->tag, "TAG", 3) == 0) {
    if (tags_.Title.isEmpty()) tags_.Title = Latin1Field(v1->title, sizeof v1->title);
    if (tags_.Artists.isEmpty()) {
      const QString artist = Latin1Field(v1->artist, sizeof v1->artist);
      if (!artist.isEmpty()) tags_.Artists = QStringList{artist};
    }
    if (tags_.Album.isEmpty()) tags_.Album = Latin1Field(v1->album, sizeof v1->album);
    if (tags_.TrackNumber == 0 && v1->comment[28] == 0)
      tags_.TrackNumber = static_cast<unsigned char>(v1->comment[29]);
  }
}

TMp3Decoder::~TMp3Decoder() {
  if (handle_) mpg123_delete(handle_);
}

bool TMp3Decoder::Seek(int64_t frame) {
  frame = std::clamp<int64_t>(frame, 0, lengthFrames_);
  return mpg123_seek(handle_, off_t(frame + std::max<int64_t>(skipFrames_, 0)), SEEK_SET) >= 0;
}

TMp3Decoder::TRead TMp3Decoder::Read(int16_t* out, size_t frames, size_t& got) {
  got = 0;
  if (Joined()) {
    // Untrimmed decoding: the end of the last song's padding is cut here.
    const int64_t left = lengthFrames_ - Tell();
    if (left <= 0) return TRead::End;
    frames = size_t(std::min<int64_t>(int64_t(frames), left));
  }
  size_t bytes = 0;
  const int result = mpg123_read(handle_, out, frames * 2 * sizeof(int16_t), &bytes);
  got = bytes / (2 * sizeof(int16_t));
  if (result == MPG123_NEW_FORMAT) {
    // Another rate further on (songs of different rates joined) would play at the wrong
    // speed: the stream ends before it.
    long rate = 0;
    int channels = 0, encoding = 0;
    mpg123_getformat(handle_, &rate, &channels, &encoding);
    return rate == rate_ ? TRead::More : TRead::End;
  }
  if (result == MPG123_OK) return TRead::More;
  if (reader_->error != 0) return TRead::Failed;
  // Where the full scan would have stopped, a length from the header goes on: frames that do
  // not decode end the song there, as they would have ended the scan.
  if (result == MPG123_DONE || (result == MPG123_ERR && lengthFromHeader_)) {
    if (Tell() + kFrameSlack >= lengthFrames_) return TRead::End;
    // Shorter than measured: the file was cut while it was open, or (a length from the header)
    // damaged frames ended it early, which the song survives.
    struct stat st;
    const bool cut = ::fstat(reader_->fd, &st) != 0 || st.st_size < openedSize_;
    return cut || !lengthFromHeader_ ? TRead::Failed : TRead::End;
  }
  return TRead::Failed;
}

int64_t TMp3Decoder::Tell() const {
  return std::max<int64_t>(0, mpg123_tell(handle_) - std::max<int64_t>(skipFrames_, 0));
}

QString TMp3Decoder::ErrorText() const {
  const QString quoted = '"' + fileName_ + '"';
  if (reader_->error != 0)
    return QStringLiteral("Cannot read %1: %2").arg(quoted, SystemText(reader_->error));
  if (mpg123_errcode(handle_) == MPG123_OK)
    return QStringLiteral("%1 ended early: it is shorter than when it was opened").arg(quoted);
  return QStringLiteral("Cannot decode %1: %2").arg(quoted, mpg123_strerror(handle_));
}
