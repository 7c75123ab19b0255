#pragma once
// A transparent text label drawn over the skin. Text is shown as typed (no mnemonics, no
// rich text). Reports presses and left clicks like the image buttons do.

#include <QLabel>

class TLabel : public QLabel {
  Q_OBJECT
 public:
  explicit TLabel(const QString& text, QWidget* parent = nullptr);

 signals:
  void OnMouseDown(Qt::MouseButton button, QPoint pos);
  void OnClick();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  bool leftPressed_ = false;
};
