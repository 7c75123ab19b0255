#include "desktop/wheelsteps.h"

int TWheelSteps::Add(int delta) {
  // A turn the other way drops what the old direction had gathered.
  if ((delta > 0 && rest_ < 0) || (delta < 0 && rest_ > 0)) rest_ = 0;
  rest_ += delta;
  const int notches = rest_ / 120;
  rest_ -= notches * 120;
  return notches;
}
