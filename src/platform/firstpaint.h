#pragma once
// Work that nothing on screen needs waits until the windows have first been painted: a call
// made once every given widget that is shown has had its first paint event, on a later turn of
// the event loop (so the paint has reached the screen). A widget that never paints (kept off
// screen, or painted before it was watched) holds it off for at most two seconds.

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>

class QWidget;

class TFirstPaint : public QObject {
 public:
  // Hidden widgets and null pointers are not waited for; with none left the call comes on the
  // next turn of the event loop. Destroying the object (or its parent) drops the call.
  TFirstPaint(const QList<QWidget*>& widgets, std::function<void()> then, QObject* parent);

  // Makes the call now unless it was made; later paints and the deadline then do nothing.
  void Fire();
  bool Fired() const { return !then_; }

  static constexpr int kDeadlineMs = 2000;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QList<QPointer<QWidget>> waiting_;
  std::function<void()> then_;
};
