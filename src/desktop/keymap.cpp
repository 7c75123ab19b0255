#include "desktop/keymap.h"

TKeyAction KeyAction(int key, Qt::KeyboardModifiers modifiers, TKeyWindow window) {
  // The keypad only says where a key sits; Shift only matters to L.
  const Qt::KeyboardModifiers mods = modifiers & ~Qt::KeypadModifier;
  const bool shift = mods & Qt::ShiftModifier;
  const bool ctrl = mods & Qt::ControlModifier;
  if (mods & (Qt::AltModifier | Qt::MetaModifier)) return TKeyAction::None;
  const bool inList = window == TKeyWindow::Playlist;

  if (ctrl) {
    switch (key) {
      case Qt::Key_Left:
        return TKeyAction::SeekBack30;
      case Qt::Key_Right:
        return TKeyAction::SeekForward30;
      case Qt::Key_Q:
        return shift ? TKeyAction::None : TKeyAction::Quit;
      default:
        return TKeyAction::None;
    }
  }
  switch (key) {
    case Qt::Key_Z:
      return TKeyAction::Previous;
    case Qt::Key_X:
      return TKeyAction::Play;
    case Qt::Key_C:
      return TKeyAction::PauseToggle;
    case Qt::Key_V:
      return TKeyAction::Stop;
    case Qt::Key_B:
      return TKeyAction::Next;
    case Qt::Key_Space:
      return TKeyAction::PlayOrPause;
    case Qt::Key_Left:
      return TKeyAction::SeekBack5;
    case Qt::Key_Right:
      return TKeyAction::SeekForward5;
    // The list moves its selection with these.
    case Qt::Key_Up:
      return inList ? TKeyAction::None : TKeyAction::VolumeUp;
    case Qt::Key_Down:
      return inList ? TKeyAction::None : TKeyAction::VolumeDown;
    // '+' is Shift+'=' on most layouts.
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      return TKeyAction::VolumeUp;
    case Qt::Key_Minus:
      return TKeyAction::VolumeDown;
    case Qt::Key_R:
      return TKeyAction::CycleRepeat;
    case Qt::Key_S:
      return TKeyAction::ToggleShuffle;
    case Qt::Key_T:
      return TKeyAction::ToggleTimeType;
    case Qt::Key_P:
      return TKeyAction::TogglePlaylist;
    case Qt::Key_L:
      return shift ? TKeyAction::AddDirectory : TKeyAction::AddFile;
    case Qt::Key_J:
      return TKeyAction::FindSong;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return inList ? TKeyAction::PlaySelected : TKeyAction::None;
    case Qt::Key_Delete:
      return inList ? TKeyAction::DeleteSelected : TKeyAction::None;
    default:
      return TKeyAction::None;
  }
}
