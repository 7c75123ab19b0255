#include "platform/dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

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

std::unique_ptr<TDialogs>& Current() {
  static std::unique_ptr<TDialogs> current;
  return current;
}

}  // namespace

TDialogs& Dialogs() {
  if (!Current()) Current() = std::make_unique<TQtDialogs>();
  return *Current();
}

void SetDialogs(std::unique_ptr<TDialogs> d) { Current() = std::move(d); }

void ShowException(const QString& message) { Dialogs().ShowError(ErrorDisplayText(message)); }
