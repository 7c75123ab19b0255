#pragma once
// An image control used as a button: draws its picture at natural size from the top-left
// corner (clipped) or stretched, with the colour of the picture's bottom-left pixel made
// transparent. A left press and release inside it is a click; the click is reported before
// the release, so a release handler that swaps the picture runs after the click's work.

#include <QImage>
#include <QPixmap>
#include <QWidget>

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

  QImage picture_;
  QPixmap pixmap_;  // picture with the transparent colour keyed out
  QString pictureName_;
  bool transparent_ = false;
  bool stretch_ = false;
  bool proportional_ = false;
  bool leftPressed_ = false;
};
