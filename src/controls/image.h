#pragma once
// An image control used as a button: draws its picture at natural size from the top-left
// corner (clipped) or stretched, with the colour of the picture's bottom-left pixel made
// transparent. A left press and release inside it is a click; the click is reported before
// the release, so a release handler that swaps the picture runs after the click's work.

#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <functional>

class TImage : public QWidget {
  Q_OBJECT
 public:
  explicit TImage(QWidget* parent = nullptr);

  const QImage& Picture() const { return picture_; }
  void SetPicture(const QImage& picture);
  // Loads a skin bitmap by relative name ("\skin\play.bmp"); throws EFOpenError /
  // EInvalidGraphic and leaves the picture as it was.
  void LoadFromSkin(const QString& relativeName);

  bool Transparent() const { return transparent_; }
  void SetTransparent(bool on);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool on);
  bool Proportional() const { return proportional_; }
  void SetProportional(bool on);
  // The file last loaded with LoadFromSkin (for tests and diagnostics).
  const QString& PictureName() const { return pictureName_; }

  // An image whose clicks someone handles is a button; the others are decoration.
  bool IsButton() const;
  // A left click inside it, as the mouse makes one (OnClick).
  void Click();

  // What assistive technology reads beyond accessibleName: a name that follows the state (the
  // repeat mode's caption) and, for a toggle, whether it is on. Both are asked anew whenever
  // read; the picture shows the state, so a new picture also tells of any change.
  void SetAccessibleNameSource(std::function<QString()> name);
  void SetCheckedSource(std::function<bool()> checked);
  QString AccessibleText() const;
  bool Checkable() const { return bool(checkedSource_); }
  bool Checked() const { return checkedSource_ && checkedSource_(); }

 signals:
  void OnMouseDown(Qt::MouseButton button, QPoint pos);
  void OnMouseUp(Qt::MouseButton button, QPoint pos);
  void OnClick();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void RebuildPixmap();
  void NotifyAccessibleState();

  QImage picture_;
  QPixmap pixmap_;  // picture with the transparent colour keyed out
  QString pictureName_;
  bool transparent_ = false;
  bool stretch_ = false;
  bool proportional_ = false;
  bool leftPressed_ = false;
  std::function<QString()> nameSource_;
  std::function<bool()> checkedSource_;
  bool toldChecked_ = false;  // the checked state assistive technology last heard of
};
