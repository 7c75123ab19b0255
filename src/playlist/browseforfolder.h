#pragma once
// TBrowseForFolder: a non-visual component that asks the user for a folder. Configure it,
// call Execute; on success Path holds the chosen folder. Path also preselects a folder
// when Execute starts, so a component left alone reopens at the folder chosen last.

#include <QObject>
#include <QString>
#include <functional>

class QDialog;
class TFolderDialog;

class TBrowseForFolder : public QObject {
  Q_OBJECT
 public:
  // path: the newly selected folder (empty when it is not a folder of the file system);
  // enableOk: in and out, whether the dialog's OK button is enabled.
  using TOnSelChanged =
      std::function<void(TBrowseForFolder* sender, const QString& path, bool& enableOk)>;
  // left, top: in and out, the dialog's screen position; width, height: its size.
  using TOnSetPosition =
      std::function<void(TBrowseForFolder* sender, int& left, int& top, int width, int height)>;

  // The owner (a widget: its window) is the dialog's parent.
  explicit TBrowseForFolder(QObject* owner = nullptr);
  ~TBrowseForFolder() override;

  // Shows the dialog modally (through the dialog seam). True when a folder was chosen;
  // false when cancelled, Path then unchanged.
  bool Execute();

  const QString& Path() const { return Path_; }
  void SetPath(const QString& value) { Path_ = value; }
  const QString& StatusText() const { return StatusText_; }
  void SetStatusText(const QString& value) { StatusText_ = value; }
  const QString& Title() const { return Title_; }
  void SetTitle(const QString& value) { Title_ = value; }
  bool NewDialogStyle() const { return NewDialogStyle_; }
  void SetNewDialogStyle(bool value) { NewDialogStyle_ = value; }
  bool EditBox() const { return EditBox_; }
  void SetEditBox(bool value) { EditBox_ = value; }
  const TOnSelChanged& OnSelChanged() const { return OnSelChanged_; }
  void SetOnSelChanged(TOnSelChanged handler) { OnSelChanged_ = std::move(handler); }
  const TOnSetPosition& OnSetPosition() const { return OnSetPosition_; }
  void SetOnSetPosition(TOnSetPosition handler) { OnSetPosition_ = std::move(handler); }

  // The dialog while a selection change is being handled; nullptr otherwise.
  QDialog* DialogHandle() const { return DialogHandle_; }

 protected:
  // For descendants; called after the matching event. Nothing here.
  virtual void SelChanged(const QString& path, bool& enableOk);
  virtual void SetDialogPosition(int& left, int& top, int width, int height);

 private:
  void DialogInitialised(TFolderDialog& dialog);
  void SelectionChanged(TFolderDialog& dialog, const QString& path);

  QString Path_;
  QString StatusText_;
  TOnSelChanged OnSelChanged_;
  QString Title_;
  bool NewDialogStyle_ = false;
  bool EditBox_ = false;
  QDialog* DialogHandle_ = nullptr;
  TOnSetPosition OnSetPosition_;
};
