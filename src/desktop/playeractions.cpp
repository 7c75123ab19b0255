#include "desktop/playeractions.h"

#include <algorithm>

#include "desktop/playercontrol.h"

void PlayOrPause(TPlayerControl& control) {
  if (control.State() == TPlaybackState::Stopped)
    control.Play();
  else
    control.PauseToggle();
}

void SeekBy(TPlayerControl& control, qint64 deltaMs) {
  if (control.State() == TPlaybackState::Stopped) return;
  control.SeekTo(std::max<qint64>(0, control.PositionMs() + deltaMs));
}

void StepVolume(TPlayerControl& control, int steps) {
  const qint64 value = qint64(control.Volume()) + qint64(steps) * kVolumeStep;
  control.SetVolume(static_cast<int>(std::clamp<qint64>(value, 0, 65535)));
}

void CycleRepeat(TPlayerControl& control) {
  const int mode = control.RepeatMode();
  control.SetRepeatMode(mode >= 0 && mode < 2 ? mode + 1 : 0);
}

bool Perform(TPlayerControl& control, TKeyAction action) {
  switch (action) {
    case TKeyAction::None:
      return false;
    case TKeyAction::Previous:
      control.Previous();
      break;
    case TKeyAction::Play:
      control.Play();
      break;
    case TKeyAction::PauseToggle:
      control.PauseToggle();
      break;
    case TKeyAction::Stop:
      control.Stop();
      break;
    case TKeyAction::Next:
      control.Next();
      break;
    case TKeyAction::PlayOrPause:
      PlayOrPause(control);
      break;
    case TKeyAction::SeekBack5:
      SeekBy(control, -kSeekStepMs);
      break;
    case TKeyAction::SeekForward5:
      SeekBy(control, kSeekStepMs);
      break;
    case TKeyAction::SeekBack30:
      SeekBy(control, -kLongSeekStepMs);
      break;
    case TKeyAction::SeekForward30:
      SeekBy(control, kLongSeekStepMs);
      break;
    case TKeyAction::VolumeUp:
      StepVolume(control, 1);
      break;
    case TKeyAction::VolumeDown:
      StepVolume(control, -1);
      break;
    case TKeyAction::CycleRepeat:
      CycleRepeat(control);
      break;
    case TKeyAction::ToggleShuffle:
      control.SetShuffle(!control.Shuffle());
      break;
    case TKeyAction::ToggleTimeType:
      control.ToggleTimeType();
      break;
    case TKeyAction::TogglePlaylist:
      control.TogglePlaylist();
      break;
    case TKeyAction::AddFile:
      control.AddFile();
      break;
    case TKeyAction::AddDirectory:
      control.AddDirectory();
      break;
    case TKeyAction::Quit:
      control.Quit();
      break;
    case TKeyAction::PlaySelected:
      control.PlaySelected();
      break;
    case TKeyAction::DeleteSelected:
      control.DeleteSelected();
      break;
    case TKeyAction::FindSong:
      control.FindSong();
      break;
  }
  return true;
}
