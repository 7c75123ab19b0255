#include "playlist/browseforfolder.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QScreen>
#include <QWidget>
#include <exception>

#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/screenfit.h"
#include "playlist/folderdialog.h"

TBrowseForFolder::TBrowseForFolder(QObject* owner) : QObject(owner) {}

TBrowseForFolder::~TBrowseForFolder() = default;

bool TBrowseForFolder::Execute() {
  QWidget* parent = nullptr;
  if (auto* w = qobject_cast<QWidget*>(QObject::parent())) parent = w->window();
  if (!parent) parent = QApplication::activeWindow();

  TFolderDialog::TOptions options;
  options.title = Title_;
  // The new-style dialog has no status line (the text is still sent, and goes nowhere).
  options.statusLine = !StatusText_.isEmpty() && !NewDialogStyle_;
  options.editBox = EditBox_;
  options.resizable = NewDialogStyle_;
  TFolderDialog dialog(options, parent);
  connect(&dialog, &TFolderDialog::selectionChanged, this,
          [this, &dialog](const QString& path) { SelectionChanged(dialog, path); });
  dialog.SetOkEnabled(false);

  DialogHandle_ = nullptr;
  DialogInitialised(dialog);
  if (Dialogs().ExecDialog(dialog) != QDialog::Accepted) return false;
  const QString chosen = dialog.SelectedPath();
  if (chosen.isEmpty()) return false;
  Path_ = chosen;
  return true;
}

void TBrowseForFolder::DialogInitialised(TFolderDialog& dialog) {
  if (!StatusText_.isEmpty()) dialog.SetStatusText(StatusText_);
  // A preselection that names no folder leaves the default one: the home folder.
  if (Path_.isEmpty() || !dialog.SelectPath(Path_)) {
    if (!dialog.SelectPath(QDir::homePath())) dialog.SelectPath(QStringLiteral("/"));
  }

  // Centred over the owner (or the screen), then offered to the owner to move; wherever that
  // puts it, the dialog stands wholly on the owner's screen.
  const QSize size = dialog.size();
  QPoint centre;
  if (QWidget* parent = dialog.parentWidget())
    centre = parent->frameGeometry().center();
  else if (QScreen* screen = QGuiApplication::primaryScreen())
    centre = screen->availableGeometry().center();
  int left = centre.x() - size.width() / 2;
  int top = centre.y() - size.height() / 2;
  if (OnSetPosition_) OnSetPosition_(this, left, top, size.width(), size.height());
  SetDialogPosition(left, top, size.width(), size.height());
  dialog.move(FitIntoArea(QRect(QPoint(left, top), size), AvailableAreaAt(centre)));
}

void TBrowseForFolder::SelectionChanged(TFolderDialog& dialog, const QString& path) {
  DialogHandle_ = &dialog;
  bool enableOk = !path.isEmpty() && QFileInfo(path).isDir();
  // Raised from inside the tree's selection handling, so a failing handler is reported
  // here instead of unwinding through it; the OK button then stays as it was.
  try {
    if (OnSelChanged_) OnSelChanged_(this, path, enableOk);
    SelChanged(path, enableOk);
    dialog.SetOkEnabled(enableOk);
  } catch (const EBrimtoneError& e) {
    ShowException(e.Message());
  } catch (const std::exception& e) {
    ShowException(QString::fromLocal8Bit(e.what()));
  }
  DialogHandle_ = nullptr;
}

void TBrowseForFolder::SelChanged(const QString&, bool&) {}

void TBrowseForFolder::SetDialogPosition(int&, int&, int, int) {}
