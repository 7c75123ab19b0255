#include "app/application.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QDialog>
#include <QSocketNotifier>
#include <csignal>

#include "app/accessibility.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/fonts.h"
#include "platform/screenfit.h"
#include "platform/startupmarks.h"

namespace {
// What the platform plugin reads as it starts, so set before the application object exists.
// The windows are small and repaint small pieces twice a second while a song plays: X shared
// memory saves nothing there, and each flush through it costs a wake-up for the server's
// completion event.
int& PrepareDisplay(int& argc) {
  if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
  return argc;
}
}  // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(PrepareDisplay(argc), argv) {
  StartupMark("Qt application");
  LoadDesignFonts();
  StartupMark("fonts");
  installEventFilter(new TScreenFit(this));
  InstallAccessibility();
  StartupMark("accessibility");
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const EBrimtoneError& e) {
    ShowException(e.Message());
  } catch (const std::exception& e) {
    ShowException(QString::fromLocal8Bit(e.what()));
  }
  return false;
}

namespace {
int signalPipe[2] = {-1, -1};

// How long a shutdown that a signal started may take before the process is ended anyway.
constexpr unsigned kSignalShutdownSeconds = 2;

void OnSignal(int) {
  const char byte = 1;
  // Only async-signal-safe work here: wake the event loop, and arm the alarm whose default
  // action ends the process should the orderly shutdown get stuck.
  [[maybe_unused]] ssize_t written = ::write(signalPipe[1], &byte, 1);
  ::alarm(kSignalShutdownSeconds);
}
}  // namespace

void QuitOnTerminationSignals() {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, qApp);
  QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
    char byte;
    [[maybe_unused]] ssize_t got = ::read(signalPipe[0], &byte, 1);
    // Nobody may be there to answer a box now (logout, shutdown): errors go to standard error.
    SetDialogsToStandardError(true);
    // A box or dialog open at this moment is cancelled; once the message loop has ended (the
    // box of a failed save at exit) quit() would not reach it.
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (auto* dialog = qobject_cast<QDialog*>(window); dialog && dialog->isVisible())
        dialog->reject();
    }
    QCoreApplication::quit();
  });
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // A second signal takes the default action: the process ends at once.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  signal(SIGALRM, SIG_DFL);
}
