#include "stallgate.h"

#include <atomic>
#include <chrono>

#include "audio/mp3decoder.h"

namespace {
std::atomic<TStallGate*> current{nullptr};
}

TStallGate::TStallGate() {
  current.store(this);
  SetSongReadHook(&TStallGate::Hook);
}

TStallGate::~TStallGate() {
  Release();
  SetSongReadHook(nullptr);
  current.store(nullptr);
}

void TStallGate::Arm() {
  std::lock_guard lock(mutex_);
  armed_ = true;
  gaveUp_ = false;
  owner_ = std::this_thread::get_id();
}

void TStallGate::Release() {
  std::lock_guard lock(mutex_);
  armed_ = false;
  released_.notify_all();
}

bool TStallGate::Holding() const {
  std::lock_guard lock(mutex_);
  return holding_ > 0;
}

bool TStallGate::GaveUp() const {
  std::lock_guard lock(mutex_);
  return gaveUp_;
}

void TStallGate::Hook() {
  if (TStallGate* gate = current.load()) gate->Hold();
}

void TStallGate::Hold() {
  std::unique_lock lock(mutex_);
  if (!armed_ || std::this_thread::get_id() == owner_) return;
  ++holding_;
  if (!released_.wait_for(lock, std::chrono::milliseconds(kLimitMs), [this] { return !armed_; })) {
    gaveUp_ = true;
    armed_ = false;
  }
  --holding_;
}
