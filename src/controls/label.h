#pragma once
// A transparent text label drawn over the skin. Text is shown as typed (no mnemonics, no
// rich text). Reports presses and left clicks like the image buttons do.

#include <QLabel>
#include <QTimer>

class TLabel : public QLabel {
  Q_OBJECT
 public:
  explicit TLabel(const QString& text, QWidget* parent = nullptr);

  // Sets the text; a label that fits its text then sizes itself to it.
  void setText(const QString& text);

  // The label keeps its left edge and height and takes the width of its text, at least
  // minWidth and never past maxRight (in its parent's coordinates). Off by default.
  void SetFitWidth(int minWidth, int maxRight);

  // Assistive technology hears of a new text at most once per interval (0, the default: at
  // every change); the last text is always told, once the interval has passed. While on, the
  // label keeps the text last told in accessibleName.
  void SetNameChangeInterval(int ms);

 signals:
  void OnMouseDown(Qt::MouseButton button, QPoint pos);
  void OnClick();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void FitWidth();
  void TellText();

  bool leftPressed_ = false;
  int fitMinWidth_ = -1;  // negative: the width is left alone
  int fitMaxRight_ = 0;
  QTimer nameChangeTimer_;
};
