#pragma once
// Scripted stand-in for the dialog seam: records every message and error, answers
// open-file requests and runs dialogs from queues the test fills.

#include <QDialog>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>

#include "platform/dialogs.h"

class TFakeDialogs final : public TDialogs {
 public:
  QStringList messages;  // plain message boxes, in order
  QStringList errors;    // general error displays, in order
  QStringList openFileInitialDirs;
  std::deque<std::optional<QString>> openFileAnswers;      // nothing left: cancel
  std::deque<std::function<int(QDialog&)>> dialogAnswers;  // nothing left: reject
  // Runs while a message or error "box" is open, as a real box's event loop would run.
  std::function<void(const QString&)> whileShown;

  void ShowMessage(const QString& text) override { Show(messages, text); }
  void ShowError(const QString& text) override { Show(errors, text); }
  void Show(QStringList& shown, const QString& text) {
    shown << text;
    if (whileShown) whileShown(text);
  }
  std::optional<QString> AskOpenFile(QWidget*, const QString& initialDir, const QString&) override {
    openFileInitialDirs << initialDir;
    if (openFileAnswers.empty()) return {};
    auto answer = openFileAnswers.front();
    openFileAnswers.pop_front();
    return answer;
  }
  int ExecDialog(QDialog& dialog) override {
    if (dialogAnswers.empty()) return QDialog::Rejected;
    auto answer = std::move(dialogAnswers.front());
    dialogAnswers.pop_front();
    return answer(dialog);
  }
};

// Installs a fresh fake for the life of the object and hands it out.
class TFakeDialogsScope {
 public:
  TFakeDialogsScope();
  ~TFakeDialogsScope();
  TFakeDialogs& operator*() { return *fake_; }
  TFakeDialogs* operator->() { return fake_; }

 private:
  TFakeDialogs* fake_;
};
