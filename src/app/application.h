#pragma once
// The application object: catches every error a handler raises and shows it through the
// general error display, then goes on with the next event.

#include <QApplication>

class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// SIGTERM and SIGINT end the message loop like the exit button, so settings are saved; errors
// of that shutdown go to standard error instead of a box, and the process ends within two
// seconds whatever happens. A second signal ends it at once.
void QuitOnTerminationSignals();
