// Brimtone: the application, its two windows, the message loop; settings saved at the end.
#include "app/application.h"
#include "app/startup.h"

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  QuitOnTerminationSignals();

  TWindows windows;
  CreateWindows(windows);
  const int result = app.exec();
  DestroyWindows(windows);
  return result;
}
