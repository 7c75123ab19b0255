#pragma once
// Event callbacks of the custom controls. Each is a plain std::function stored by a setter
// (SetOnMouseDown and so on); an empty one is not called. Positions are in the control's
// client coordinates and may lie outside it while the mouse is captured.

#include <Qt>
#include <functional>

class QObject;

using TNotifyEvent = std::function<void(QObject* sender)>;
using TMouseEvent = std::function<void(QObject* sender, Qt::MouseButton button,
                                       Qt::KeyboardModifiers shift, int x, int y)>;
// buttons: the buttons held during the move.
using TMouseMoveEvent = std::function<void(QObject* sender, Qt::MouseButtons buttons,
                                           Qt::KeyboardModifiers shift, int x, int y)>;

enum TBorderStyle : unsigned char { bsNone, bsSingle };
enum TAlignment : unsigned char { taLeftJustify, taRightJustify, taCenter };
