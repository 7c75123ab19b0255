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

#include "platform/errors.h"

namespace {

// mpg123 reads a header byte by byte while it hunts for a frame and one frame at a time
// afterwards; served straight from the file that is one system call per byte or frame.
constexpr size_t kBufferSize = 128 * 1024;
// A stream may stop up to one MPEG frame short of the scanned length without being damaged.
constexpr int64_t kFrameSlack = 1152;

QString SystemText(int error) {
  return QString::fromLocal8Bit(std::strerror(error));
}

std::atomic<TSongReadHook> songReadHook{nullptr};

void EnsureLibraryReady() {
  static const int ready = mpg123_init();
  (void)ready;
}

}  // namespace

void SetSongReadHook(TSongReadHook hook) {
  songReadHook.store(hook);
}

// Buffered read/seek over a file descriptor for mpg123's replaced reader.
struct TMp3Decoder::TReader {
  int fd = -1;
  off_t pos = 0;       // where mpg123 reads next
  off_t bufStart = 0;  // file offset of buf[0]
  size_t bufLen = 0;
  int error = 0;  // errno of the last failed read
  std::unique_ptr<char[]> buf = std::make_unique<char[]>(kBufferSize);

  ~TReader() {
    if (fd >= 0) ::close(fd);
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
      const bool direct = count >= kBufferSize;
      if (const TSongReadHook hook = songReadHook.load(std::memory_order_relaxed)) hook();
      ssize_t got;
      do {
        got = ::pread(r->fd, direct ? out : r->buf.get(), direct ? count : kBufferSize, r->pos);
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
      base = st.st_size;
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

TMp3Decoder::TMp3Decoder(const QString& fileName)
    : fileName_(fileName), reader_(std::make_unique<TReader>()) {
  const QString quoted = '"' + fileName + '"';
  auto fail = [&](const QString& text) {
    if (handle_) mpg123_delete(handle_);
    handle_ = nullptr;
    throw EMCIDeviceError(text);
  };

  // O_NONBLOCK: a FIFO named like a song must not hang the open.
  const QByteArray path = QFile::encodeName(fileName);
  reader_->fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (reader_->fd < 0) fail(QStringLiteral("Cannot open %1: %2").arg(quoted, SystemText(errno)));
  struct stat st;
  if (::fstat(reader_->fd, &st) != 0)
    fail(QStringLiteral("Cannot open %1: %2").arg(quoted, SystemText(errno)));
  if (S_ISDIR(st.st_mode)) fail(QStringLiteral("%1 is a folder, not an MP3 file").arg(quoted));
  if (!S_ISREG(st.st_mode)) fail(QStringLiteral("%1 is not a regular file").arg(quoted));
  if (st.st_size == 0) fail(QStringLiteral("%1 is empty: it holds no MP3 audio").arg(quoted));
  ::posix_fadvise(reader_->fd, 0, 0, POSIX_FADV_SEQUENTIAL);

  EnsureLibraryReady();
  int error = MPG123_OK;
  handle_ = mpg123_new(nullptr, &error);
  if (!handle_)
    fail(QStringLiteral("Cannot decode %1: %2").arg(quoted, mpg123_plain_strerror(error)));
  // Stereo 16-bit at every rate the decoder knows; mono is doubled, the rate kept.
  mpg123_param(handle_, MPG123_ADD_FLAGS,
               MPG123_QUIET | MPG123_FORCE_STEREO | MPG123_GAPLESS | MPG123_SKIP_ID3V2 |
                   MPG123_NO_FRANKENSTEIN,
               0);
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

  long rate = 0;
  int channels = 0, encoding = 0;
  const int format = mpg123_getformat(handle_, &rate, &channels, &encoding);
  if (reader_->error != 0)
    fail(QStringLiteral("Cannot read %1: %2").arg(quoted, SystemText(reader_->error)));
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
  // Every frame header is read once, so VBR files without an info frame get their true
  // length and seeks land on the exact sample.
  if (mpg123_scan(handle_) != MPG123_OK)
    fail(QStringLiteral("Cannot decode %1: %2").arg(quoted, mpg123_strerror(handle_)));
  if (reader_->error != 0)
    fail(QStringLiteral("Cannot read %1: %2").arg(quoted, SystemText(reader_->error)));
  const off_t length = mpg123_length(handle_);
  if (length <= 0)
    fail(QStringLiteral("%1 is not an MP3 file: it holds no MPEG audio").arg(quoted));
  rate_ = rate;
  lengthFrames_ = length;
}

TMp3Decoder::~TMp3Decoder() {
  if (handle_) mpg123_delete(handle_);
}

bool TMp3Decoder::Seek(int64_t frame) {
  frame = std::clamp<int64_t>(frame, 0, lengthFrames_);
  return mpg123_seek(handle_, off_t(frame), SEEK_SET) >= 0;
}

TMp3Decoder::TRead TMp3Decoder::Read(int16_t* out, size_t frames, size_t& got) {
  size_t bytes = 0;
  const int result = mpg123_read(handle_, out, frames * 2 * sizeof(int16_t), &bytes);
  got = bytes / (2 * sizeof(int16_t));
  if (result == MPG123_OK || result == MPG123_NEW_FORMAT) return TRead::More;
  if (result == MPG123_DONE && reader_->error == 0) {
    // Shorter than scanned: the file was cut while it was open.
    return Tell() + kFrameSlack >= lengthFrames_ ? TRead::End : TRead::Failed;
  }
  return TRead::Failed;
}

int64_t TMp3Decoder::Tell() const {
  return mpg123_tell(handle_);
}

QString TMp3Decoder::ErrorText() const {
  const QString quoted = '"' + fileName_ + '"';
  if (reader_->error != 0)
    return QStringLiteral("Cannot read %1: %2").arg(quoted, SystemText(reader_->error));
  if (mpg123_errcode(handle_) == MPG123_OK)
    return QStringLiteral("%1 ended early: it is shorter than when it was opened").arg(quoted);
  return QStringLiteral("Cannot decode %1: %2").arg(quoted, mpg123_strerror(handle_));
}
