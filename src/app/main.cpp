// Brimtone: the application, its two windows, the message loop; settings saved at the end.
#include "app/application.h"
#include "app/startup.h"

int main(int argc, char** argv) {
  // Wayland clients cannot place their own windows; the docked pair needs that, so run
  // through XWayland when the session offers it.
  if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && qEnvironmentVariableIsSet("DISPLAY") &&
      !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "xcb");
  TApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  QuitOnTerminationSignals();

  TWindows windows;
  CreateWindows(windows);
  const int result = app.exec();
  DestroyWindows(windows);
  return result;
}
