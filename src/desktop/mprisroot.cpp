#include "desktop/mprisroot.h"

#include <QTimer>

#include "desktop/playercontrol.h"

TMprisRoot::TMprisRoot(QObject* service, TPlayerControl& control)
    : QDBusAbstractAdaptor(service), control_(control) {}

void TMprisRoot::Raise() {
  control_.Raise();
}

void TMprisRoot::Quit() {
  // After the reply has gone out.
  QTimer::singleShot(0, &control_, [control = &control_] { control->Quit(); });
}
