#pragma once
// The one seam for every modal dialog and message box. Production shows Qt dialogs;
// tests install a scripted fake so that no test ever blocks on a modal window.

#include <QString>
#include <memory>
#include <optional>

class QDialog;
class QWidget;

class TDialogs {
 public:
  virtual ~TDialogs() = default;
  // Plain message box for expected failures: application title as caption, no icon, OK.
  virtual void ShowMessage(const QString& text) = 0;
  // The general error display: application title as caption, error icon, OK.
  // The text is shown as given (ErrorDisplayText applies the full-stop rule).
  virtual void ShowError(const QString& text) = 0;
  // Open-file dialog: returns the chosen file's full path, or nothing when cancelled.
  // filter uses Qt's syntax ("Mp3 Files (*.mp3);;All Files (*)").
  virtual std::optional<QString> AskOpenFile(QWidget* parent, const QString& initialDir,
                                             const QString& filter) = 0;
  // Runs a dialog of our own modally and returns its result code (QDialog::Accepted or
  // Rejected). A fake can work the dialog's widgets and answer without an event loop.
  virtual int ExecDialog(QDialog& dialog) = 0;
};

// The dialogs in use; the Qt implementation unless a test installed another, and the
// standard-error one while that is switched on.
TDialogs& Dialogs();
// Installs d (takes ownership); nullptr restores the Qt implementation.
void SetDialogs(std::unique_ptr<TDialogs> d);

// While on, messages and errors are written to standard error (one line each, the text the
// box would show) and every dialog answers "cancel" at once: a shutdown that a termination
// signal started must not wait for anyone to press OK.
void SetDialogsToStandardError(bool on);
bool DialogsToStandardError();

// Shows an exception's message through the general error display.
void ShowException(const QString& message);
