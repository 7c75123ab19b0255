#pragma once
// Holds reads of song files, as a stalled disk would, on every thread but the one that armed
// it, until released. A held read lets go by itself after kLimitMs, so a call that wrongly
// waits for it shows up as GaveUp() instead of hanging the test.

#include <condition_variable>
#include <mutex>
#include <thread>

class TStallGate {
 public:
  static constexpr int kLimitMs = 2000;

  TStallGate();   // installs itself as the song read hook
  ~TStallGate();  // lets go and removes the hook
  TStallGate(const TStallGate&) = delete;
  TStallGate& operator=(const TStallGate&) = delete;

  void Arm();
  void Release();
  bool Holding() const;  // a read is held right now
  bool GaveUp() const;   // a held read was let go by the time limit

 private:
  static void Hook();

  mutable std::mutex mutex_;
  std::condition_variable released_;
  bool armed_ = false;
  int holding_ = 0;
  bool gaveUp_ = false;
  std::thread::id owner_;
};
