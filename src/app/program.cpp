#include "app/program.h"

#include <QDir>
#include <cstdio>

#include "app/application.h"
#include "app/scalekey.h"
#include "app/startup.h"
#include "desktop/commandline.h"
#include "desktop/desktopintegration.h"
#include "desktop/mprisservice.h"
#include "desktop/singleinstance.h"
#include "platform/errors.h"
#include "platform/fonts.h"
#include "platform/programdir.h"
#include "platform/skinscale.h"
#include "platform/startupmarks.h"
#include "playlist/lengthrecorder.h"

namespace {
void Print(FILE* stream, const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), stream);
  std::fflush(stream);
}
}  // namespace

int RunProgram(int argc, char** argv) {
  // Options first: --help and bad arguments need no display.
  QList<QByteArray> arguments;
  for (int i = 1; i < argc; ++i) arguments << QByteArray(argv[i]);
  const TCommandLine line = ParseCommandLine(arguments);
  switch (line.kind) {
    case TCommandLine::Kind::Help:
      Print(stdout, HelpText());
      return 0;
    case TCommandLine::Kind::Version:
      Print(stdout, VersionText());
      return 0;
    case TCommandLine::Kind::Error:
      Print(stderr, line.error + '\n');
      return 2;
    case TCommandLine::Kind::Run:
      break;
  }
  const TResolvedSongs songs = ResolveSongs(line.rawPaths, QDir::currentPath());
  if (!songs.error.isEmpty()) {
    Print(stderr, songs.error + '\n');
    return 2;
  }
  TInstanceRequest request;
  request.action = line.action;
  request.enqueue = line.enqueue;
  request.songs = songs.songs;
  request.unstorable = songs.unstorable;
  request.raise = arguments.isEmpty();
  StartupMark("command line");

  // Wayland clients cannot place their own windows; the docked pair needs that, so run
  // through XWayland when the session offers it.
  if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && qEnvironmentVariableIsSet("DISPLAY") &&
      !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "xcb");
  // Read while the application object connects to the display.
  ReadFontConfigurationAhead();
  TSkinScale::PrepareEnvironment();
  TApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);

  TSingleInstance instance(ProgramDir());
  instance.SetRequestCheck([](const QByteArray& bytes) {
    TInstanceRequest decoded;
    return DecodeRequest(bytes, decoded);
  });
  instance.SetWaitNotice(
      [] { Print(stderr, "brimtone: waiting for the running Brimtone to finish starting\n"); });
  switch (instance.Start(EncodeRequest(request))) {
    case TSingleInstance::TRole::HandedOver:
      return 0;
    case TSingleInstance::TRole::NoAnswer:
      Print(stderr, "brimtone: a running Brimtone did not answer; nothing was handed over\n");
      return 1;
    case TSingleInstance::TRole::TooLarge:
      Print(stderr, "brimtone: too many songs to hand over at once; nothing was handed over\n");
      return 1;
    case TSingleInstance::TRole::Refused:
      Print(stderr,
            "brimtone: the running Brimtone (another version?) refused the request; nothing "
            "was handed over\n");
      return 1;
    case TSingleInstance::TRole::StillStarting:
      Print(stderr,
            "brimtone: the running Brimtone did not finish starting; nothing was "
            "handed over\n");
      return 1;
    case TSingleInstance::TRole::Unreachable:
      Print(stderr, QStringLiteral("brimtone: another Brimtone (process %1) uses %2 and cannot "
                                   "be reached; nothing was handed over\n")
                        .arg(instance.Holder(), QDir::toNativeSeparators(ProgramDir())));
      return 1;
    case TSingleInstance::TRole::Failed:  // runs alone, as it would without the socket
    case TSingleInstance::TRole::Primary:
      break;
  }
  StartupMark("one program per folder");
  QuitOnTerminationSignals();

  // Before any window exists, so every window starts at its scale.
  TSkinScale::Start();
  StartupMark("scale");
  TWindows windows;
  CreateWindows(windows);
  new TScaleKey(windows.formMain.get());
  int result = 0;
  {
    TDesktopIntegration desktop(windows.formMain.get(), windows.formPlaylist.get());
    desktop.StartMprisWhenShown();
    QObject::connect(&instance, &TSingleInstance::Received, &desktop,
                     &TDesktopIntegration::ApplyBytes);
    if (windows.lengthRecorder) desktop.WatchLengths(windows.lengthRecorder->Scanner());
    request.raise = false;
    if (!request.songs.isEmpty() || !request.unstorable.isEmpty() ||
        request.action != TRemoteAction::None)
      desktop.Apply(request);
    // Later starts have waited for this: from here on their requests are answered.
    instance.Ready();
    StartupMark("desktop");
    result = app.exec();
    DestroyWindows(windows);
  }
  // The scale setting goes with the others. A refused write was just reported for them.
  try {
    if (TSkinScale::SettingDiffers(TSkinScale::Setting()))
      TSkinScale::WriteSetting(TSkinScale::Setting());
  } catch (const EBrimtoneError&) {
  }
  return result;
}
