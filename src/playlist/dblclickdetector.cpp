#include "playlist/dblclickdetector.h"

bool TDblClickDetector::Release(int selectedIndex) {
  if (selectedIndex != rememberedIndex_) {
    rememberedIndex_ = selectedIndex;
    timerRunning_ = true;  // starting a running timer keeps its period
    return false;
  }
  if (!armed_) {
    timerRunning_ = true;
    armed_ = true;
    return false;
  }
  timerRunning_ = false;
  armed_ = false;
  rememberedIndex_ = -1;
  return true;
}

void TDblClickDetector::TimerFired() {
  armed_ = false;
  rememberedIndex_ = -1;
  timerRunning_ = false;
}

void TDblClickDetector::Reset() {
  armed_ = false;
  rememberedIndex_ = -1;
}
