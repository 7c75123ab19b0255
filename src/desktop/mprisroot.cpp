#include "desktop/mprisroot.h"

#include "desktop/playercontrol.h"

TMprisRoot::TMprisRoot(QObject* service, TPlayerControl& control)
    : QDBusAbstractAdaptor(service), control_(control) {}

// Both after the reply has gone out.
void TMprisRoot::Raise() {
  control_.Defer([control = &control_] { control->Raise(); });
}

void TMprisRoot::Quit() {
  control_.Defer([control = &control_] { control->Quit(); });
}
