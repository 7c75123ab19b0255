#pragma once
// Which action a key asks for, in the player window or the playlist window. A plain function
// of the key, its modifiers and the window, so the whole map is testable without a window.

#include <Qt>

enum class TKeyAction {
  None,  // not ours: the focused control gets it
  Previous,
  Play,
  PauseToggle,
  Stop,
  Next,
  PlayOrPause,  // pause toggle while a song plays, else play
  SeekBack5,
  SeekForward5,
  SeekBack30,
  SeekForward30,
  VolumeUp,
  VolumeDown,
  CycleRepeat,
  ToggleShuffle,
  ToggleTimeType,
  TogglePlaylist,
  AddFile,
  AddDirectory,
  Quit,
  PlaySelected,
  DeleteSelected,
  FindSong,
};

enum class TKeyWindow { Player, Playlist };

TKeyAction KeyAction(int key, Qt::KeyboardModifiers modifiers, TKeyWindow window);
