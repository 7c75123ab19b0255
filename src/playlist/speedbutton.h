#pragma once
// A flat speed button: no glyph, only its caption drawn over whatever lies behind it. A
// thin raised frame shows while the mouse is over it, a sunken one while it is pressed.

#include <QAbstractButton>
#include <QMenu>
#include <QPointer>

class TSpeedButton : public QAbstractButton {
  Q_OBJECT
 public:
  explicit TSpeedButton(const QString& caption, QWidget* parent = nullptr);

  // The menu its click opens, as assistive technology is shown it; none by default.
  QMenu* Menu() const { return menu_; }
  void SetMenu(QMenu* menu) { menu_ = menu; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  bool hovered_ = false;
  QPointer<QMenu> menu_;
};
