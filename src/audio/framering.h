#pragma once
// Single-producer, single-consumer ring of stereo 16-bit frames. The decode thread writes,
// the audio callback reads; neither waits for the other and nothing is allocated after
// construction. Reset() is for when neither side runs.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

class TFrameRing {
 public:
  static constexpr size_t kChannels = 2;

  // capacity: frames, a power of two.
  explicit TFrameRing(size_t capacity)
      : samples_(std::make_unique<int16_t[]>(capacity * kChannels)), mask_(capacity - 1) {}

  size_t Capacity() const { return mask_ + 1; }

  // Either side.
  size_t Available() const {
    return written_.load(std::memory_order_acquire) - read_.load(std::memory_order_acquire);
  }
  size_t Free() const { return Capacity() - Available(); }
  // Frames written and read since the last Reset: positions in the stream of frames.
  size_t WrittenTotal() const { return written_.load(std::memory_order_acquire); }
  size_t ReadTotal() const { return read_.load(std::memory_order_acquire); }

  // Producer: the free frames that lie in one piece, to decode straight into.
  std::pair<int16_t*, size_t> WriteRegion() {
    const size_t w = written_.load(std::memory_order_relaxed);
    const size_t free = Capacity() - (w - read_.load(std::memory_order_acquire));
    const size_t at = w & mask_;
    return {samples_.get() + at * kChannels, std::min(free, Capacity() - at)};
  }
  void CommitWrite(size_t frames) {
    written_.store(written_.load(std::memory_order_relaxed) + frames, std::memory_order_release);
  }
  // Producer: copies up to frames frames from in, returns how many fitted.
  size_t Write(const int16_t* in, size_t frames) {
    size_t done = 0;
    while (done < frames) {
      const auto [at, room] = WriteRegion();
      const size_t n = std::min(room, frames - done);
      if (n == 0) break;
      std::memcpy(at, in + done * kChannels, n * kChannels * sizeof(int16_t));
      CommitWrite(n);
      done += n;
    }
    return done;
  }

  // Consumer: copies up to frames frames into out, returns how many.
  size_t Read(int16_t* out, size_t frames) {
    const size_t r = read_.load(std::memory_order_relaxed);
    const size_t n = std::min(frames, written_.load(std::memory_order_acquire) - r);
    const size_t at = r & mask_;
    const size_t first = std::min(n, Capacity() - at);
    std::memcpy(out, samples_.get() + at * kChannels, first * kChannels * sizeof(int16_t));
    std::memcpy(out + first * kChannels, samples_.get(), (n - first) * kChannels * sizeof(int16_t));
    read_.store(r + n, std::memory_order_release);
    return n;
  }

  // Producer, while the consumer is held off: takes back what was written past total (which
  // the consumer has not read yet).
  void TruncateTo(size_t total) {
    if (total >= read_.load(std::memory_order_acquire) && total < written_.load())
      written_.store(total, std::memory_order_release);
  }

  void Reset() {
    read_.store(0, std::memory_order_relaxed);
    written_.store(0, std::memory_order_relaxed);
  }

 private:
  std::unique_ptr<int16_t[]> samples_;
  size_t mask_;
  alignas(64) std::atomic<size_t> written_{0};
  alignas(64) std::atomic<size_t> read_{0};
};
