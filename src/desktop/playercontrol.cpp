#include "desktop/playercontrol.h"

#include "platform/dialogs.h"
#include "platform/errors.h"

void TPlayerControl::Defer(std::function<void()> action) {
  deferred_.push_back(std::move(action));
  if (runPosted_) return;
  runPosted_ = true;
  QMetaObject::invokeMethod(this, &TPlayerControl::RunDeferred, Qt::QueuedConnection);
}

// An action whose box is open runs the event loop: what arrives meanwhile waits for it.
void TPlayerControl::RunDeferred() {
  runPosted_ = false;
  if (running_) return;
  running_ = true;
  struct TDone {
    bool& running;
    ~TDone() { running = false; }
  } done{running_};
  while (!deferred_.empty()) {
    const std::function<void()> action = std::move(deferred_.front());
    deferred_.pop_front();
    try {
      action();
    } catch (const EBrimtoneError& e) {
      ShowException(e.Message());
    }
  }
}
