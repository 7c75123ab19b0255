#pragma once
// Turns wheel deltas into whole notches. A mouse sends 120 per notch; a touchpad sends many
// small deltas, which add up to the same notches, so both move the volume alike.

class TWheelSteps {
 public:
  // Adds a delta (angleDelta, 1/8 degree units); returns the whole notches completed, signed.
  int Add(int delta);
  void Reset() { rest_ = 0; }

 private:
  int rest_ = 0;
};
