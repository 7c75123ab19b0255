#pragma once
// Keys and the wheel over the two windows, whichever control has the focus: keys go through
// the key map, the wheel changes the volume (over the player) or seeks (over the song's
// progress bar); the list keeps its own wheel.

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "desktop/wheelsteps.h"

class TPlayerControl;

class TInputFilter : public QObject {
  Q_OBJECT
 public:
  // Watches the whole application once installed with qApp->installEventFilter(filter).
  TInputFilter(TPlayerControl& control, QWidget* player, QWidget* playlist, QWidget* seekBar,
               QObject* parent = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool Key(QWidget* window, QEvent* event);
  bool Wheel(QWidget* widget, QEvent* event);

  TPlayerControl& control_;
  QPointer<QWidget> player_, playlist_, seekBar_;
  TWheelSteps volumeSteps_, seekSteps_;
};
