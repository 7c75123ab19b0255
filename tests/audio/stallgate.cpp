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
  TStallGate* gate = current.load();
  if (!gate) return;
  std::unique_lock lock(gate->mutex_);
  if (!gate->armed_ || std::this_thread::get_id() == gate->owner_) return;
  ++gate->holding_;
  if (!gate->released_.wait_for(lock, std::chrono::milliseconds(kLimitMs),
                                [gate] { return !gate->armed_; })) {
    gate->gaveUp_ = true;
    gate->armed_ = false;
  }
  --gate->holding_;
}
