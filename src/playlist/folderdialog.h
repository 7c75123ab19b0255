#pragma once
// The folder-selection dialog behind TBrowseForFolder: a tree of the file system's folders
// with "/" as its root, an optional title above it, an optional status line and edit box,
// and OK / Cancel. Who owns the dialog decides whether OK is enabled (SetOkEnabled) each
// time the selection changes (selectionChanged).

#include <QDialog>
#include <QString>

class QDialogButtonBox;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QTreeView;

class TFolderDialog : public QDialog {
  Q_OBJECT
 public:
  struct TOptions {
    QString title;  // none when empty
    bool statusLine = false;
    bool editBox = false;
    bool resizable = false;
  };
  TFolderDialog(const TOptions& options, QWidget* parent = nullptr);
  ~TFolderDialog() override;

  // Selects an existing folder and scrolls it into view, also once the folders around it have
  // been read and when the dialog is shown; false, selection unchanged, when path names no
  // folder.
  bool SelectPath(const QString& path);
  // The selected folder's path: no trailing separator except for the root "/"; empty when
  // nothing is selected.
  QString SelectedPath() const;

  void SetOkEnabled(bool enabled);
  bool OkEnabled() const;
  // Presses OK as the user would: accepts only while OK is enabled.
  void PressOk();

  void SetStatusText(const QString& text);  // shown only when the dialog has a status line
  bool HasStatusLine() const;
  QString StatusLineText() const;
  QString TitleText() const;   // empty when the dialog shows no title
  QLineEdit* EditBox() const;  // nullptr unless asked for
  QTreeView* Tree() const { return tree_; }

 signals:
  void selectionChanged(const QString& path);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ScrollToTarget();
  void QueueScrollToTarget();
  void CurrentChanged();
  void EditBoxEdited(const QString& text);

  QFileSystemModel* model_;
  QTreeView* tree_;
  QLabel* title_ = nullptr;
  QLabel* status_ = nullptr;
  QLineEdit* edit_ = nullptr;
  QDialogButtonBox* buttons_;
  QString editBase_;  // folder that relative names typed in the edit box are in
  bool editing_ = false;
  QString scrollTarget_;  // the preselected folder, until the user selects another
  bool scrollQueued_ = false;
};
