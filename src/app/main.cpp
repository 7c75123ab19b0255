// Brimtone: the application, its two windows, the message loop; settings saved at the end.
#include "app/application.h"
#include "app/scalekey.h"
#include "app/startup.h"
#include "platform/errors.h"
#include "platform/skinscale.h"

int main(int argc, char** argv) {
  // Wayland clients cannot place their own windows; the docked pair needs that, so run
  // through XWayland when the session offers it.
  if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && qEnvironmentVariableIsSet("DISPLAY") &&
      !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "xcb");
  TSkinScale::PrepareEnvironment();
  TApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  QuitOnTerminationSignals();

  // Before any window exists, so every window starts at its scale.
  TSkinScale::Start();
  TWindows windows;
  CreateWindows(windows);
  new TScaleKey(windows.formMain.get());
  const int result = app.exec();
  DestroyWindows(windows);
  // The scale setting goes with the others. A refused write was just reported for them.
  try {
    if (TSkinScale::SettingDiffers(TSkinScale::Setting()))
      TSkinScale::WriteSetting(TSkinScale::Setting());
  } catch (const EBrimtoneError&) {
  }
  return result;
}
