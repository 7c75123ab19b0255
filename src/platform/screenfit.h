#pragma once
// Windows the program opens (dialogs, message boxes, menus) stand wholly inside the available
// area of their screen: where they are placed if they fit there, else moved the least distance
// that makes them fit. The skinned player and playlist windows place themselves and are left
// alone.

#include <QObject>
#include <QPoint>
#include <QRect>

class QMenu;
class QWidget;

// The top-left corner for frame so that it lies inside area, moved as little as possible. A
// frame wider or taller than the area keeps its left or top edge on the area's.
QPoint FitIntoArea(QRect frame, QRect area);

// The available area (screen minus panels) of the screen under point, else of the primary
// screen.
QRect AvailableAreaAt(QPoint point);

// Pops the menu up with its top-left corner at point, or as near to it as keeps it on screen.
void PopupOnScreen(QMenu* menu, QPoint point);

// Moves window (a top-level widget) onto its screen's available area if it sticks out.
void KeepOnScreen(QWidget* window);

// Watches every dialog and menu of the application as it is shown and keeps it on screen;
// install on the application object.
class TScreenFit : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};
