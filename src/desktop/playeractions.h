#pragma once
// The actions keys, wheel and D-Bus share, built from the player's own: relative seeks,
// volume steps, the repeat cycle, play-or-pause.

#include "desktop/keymap.h"

class TPlayerControl;

inline constexpr int kVolumeStep = 3277;  // 5 % of 65535, rounded
inline constexpr int kSeekStepMs = 5000;
inline constexpr int kLongSeekStepMs = 30000;

// Pause toggle while a song plays or is paused, else play.
void PlayOrPause(TPlayerControl& control);
// Moves the playing song by deltaMs (not before its start); nothing when stopped.
void SeekBy(TPlayerControl& control, qint64 deltaMs);
// steps * kVolumeStep, clamped to 0..65535.
void StepVolume(TPlayerControl& control, int steps);
// none -> file -> playlist -> none.
void CycleRepeat(TPlayerControl& control);
// Carries out a key's action; false for TKeyAction::None.
bool Perform(TPlayerControl& control, TKeyAction action);
