#pragma once
// Click-to-play on the playlist: the third left-button release on the same selected row
// within the timer's period starts the song (the first remembers the row, the second arms).
// Plain values only; the window runs the real timer and mirrors TimerRunning() onto it.

class TDblClickDetector {
 public:
  // A left-button release with the list's selected index (-1: none). True when this release
  // starts the selected song.
  bool Release(int selectedIndex);
  // The timer fired: back to the reset state, timer stopped.
  void TimerFired();
  // A refill: back to the reset state; a running timer keeps running.
  void Reset();

  int RememberedIndex() const { return rememberedIndex_; }
  bool Armed() const { return armed_; }
  bool TimerRunning() const { return timerRunning_; }

 private:
  int rememberedIndex_ = 0;  // row 0 counts as remembered at start-up
  bool armed_ = false;
  bool timerRunning_ = false;
};
