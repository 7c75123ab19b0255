#include "desktop/inputfilter.h"

#include <QKeyEvent>
#include <QWheelEvent>

#include "desktop/keymap.h"
#include "desktop/playeractions.h"
#include "desktop/playercontrol.h"

TInputFilter::TInputFilter(TPlayerControl& control, QWidget* player, QWidget* playlist,
                           QWidget* seekBar, QObject* parent)
    : QObject(parent), control_(control), player_(player), playlist_(playlist), seekBar_(seekBar) {}

bool TInputFilter::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::KeyPress && type != QEvent::Wheel) return false;
  if (!watched->isWidgetType()) return false;
  auto* widget = static_cast<QWidget*>(watched);
  QWidget* window = widget->window();
  if (window != player_ && window != playlist_) return false;
  return type == QEvent::KeyPress ? Key(window, event) : Wheel(widget, event);
}

bool TInputFilter::Key(QWidget* window, QEvent* event) {
  const auto* key = static_cast<QKeyEvent*>(event);
  const TKeyAction action =
      KeyAction(key->key(), key->modifiers(),
                window == playlist_ ? TKeyWindow::Playlist : TKeyWindow::Player);
  if (action == TKeyAction::None) return false;
  // Auto-repeat steps volume and seeks; it must not toggle things on and off.
  const bool repeatable = action == TKeyAction::VolumeUp || action == TKeyAction::VolumeDown ||
                          action == TKeyAction::SeekBack5 || action == TKeyAction::SeekForward5 ||
                          action == TKeyAction::SeekBack30 || action == TKeyAction::SeekForward30;
  if (key->isAutoRepeat() && !repeatable) return true;
  Perform(control_, action);
  return true;
}

bool TInputFilter::Wheel(QWidget* widget, QEvent* event) {
  if (widget->window() != player_) return false;  // the list scrolls itself
  const auto* wheel = static_cast<QWheelEvent*>(event);
  const int delta = wheel->angleDelta().y();
  if (delta == 0) return true;
  const bool overSeekBar = seekBar_ && (widget == seekBar_ || seekBar_->isAncestorOf(widget));
  if (overSeekBar) {
    const int notches = seekSteps_.Add(delta);
    if (notches != 0) SeekBy(control_, qint64(notches) * kSeekStepMs);
  } else {
    const int notches = volumeSteps_.Add(delta);
    if (notches != 0) StepVolume(control_, notches);
  }
  return true;
}
