#include "platform/dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <cstdio>

#include "platform/apptitle.h"
#include "platform/errors.h"

namespace {

class TQtDialogs final : public TDialogs {
 public:
  void ShowMessage(const QString& text) override { Box(QMessageBox::NoIcon, text); }
  void ShowError(const QString& text) override { Box(QMessageBox::Critical, text); }

  std::optional<QString> AskOpenFile(QWidget* parent, const QString& initialDir,
                                     const QString& filter) override {
    QFileDialog dialog(parent, QString(), initialDir, filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix("mp3");
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
  }

  int ExecDialog(QDialog& dialog) override { return dialog.exec(); }

 private:
  static void Box(QMessageBox::Icon icon, const QString& text) {
    QMessageBox box(icon, ApplicationTitle(), text, QMessageBox::Ok);
    box.exec();
  }
};

class TStandardErrorDialogs final : public TDialogs {
 public:
  void ShowMessage(const QString& text) override { Write(text); }
  void ShowError(const QString& text) override { Write(text); }
  std::optional<QString> AskOpenFile(QWidget*, const QString&, const QString&) override {
    return std::nullopt;
  }
  int ExecDialog(QDialog&) override { return QDialog::Rejected; }

 private:
  static void Write(const QString& text) {
    const QByteArray line = text.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
  }
};

bool toStandardError = false;

std::unique_ptr<TDialogs>& Current() {
  static std::unique_ptr<TDialogs> current;
  return current;
}

}  // namespace

TDialogs& Dialogs() {
  if (toStandardError) {
    static TStandardErrorDialogs standardError;
    return standardError;
  }
  if (!Current()) Current() = std::make_unique<TQtDialogs>();
  return *Current();
}

void SetDialogs(std::unique_ptr<TDialogs> d) {
  Current() = std::move(d);
}

void SetDialogsToStandardError(bool on) {
  toStandardError = on;
}

bool DialogsToStandardError() {
  return toStandardError;
}

void ShowException(const QString& message) {
  Dialogs().ShowError(ErrorDisplayText(message));
}
