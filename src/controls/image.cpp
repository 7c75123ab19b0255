#include "controls/image.h"

#include <QAccessible>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>

#include "platform/skinbitmap.h"

TImage::TImage(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TranslucentBackground);
}

void TImage::SetPicture(const QImage& picture) {
  picture_ = picture;
  RebuildPixmap();
  NotifyAccessibleState();
}

bool TImage::IsButton() const {
  return isSignalConnected(QMetaMethod::fromSignal(&TImage::OnClick));
}

void TImage::Click() {
  emit OnClick();
}

void TImage::SetAccessibleNameSource(std::function<QString()> name) {
  nameSource_ = std::move(name);
  NotifyAccessibleState();
}

void TImage::SetCheckedSource(std::function<bool()> checked) {
  checkedSource_ = std::move(checked);
  toldChecked_ = Checked();
}

QString TImage::AccessibleText() const {
  return nameSource_ ? nameSource_() : accessibleName();
}

void TImage::NotifyAccessibleState() {
  // accessibleName follows the source; setting it tells of a change.
  if (nameSource_) setAccessibleName(nameSource_());
  if (!checkedSource_ || Checked() == toldChecked_) return;
  toldChecked_ = !toldChecked_;
  if (!QAccessible::isActive()) return;
  QAccessible::State changed;
  changed.checked = true;
  QAccessibleStateChangeEvent event(this, changed);
  QAccessible::updateAccessibility(&event);
}

void TImage::LoadFromSkin(const QString& relativeName) {
  SetPicture(LoadSkinBitmap(relativeName));
  pictureName_ = relativeName;
}

void TImage::SetTransparent(bool on) {
  if (transparent_ == on) return;
  transparent_ = on;
  RebuildPixmap();
}

void TImage::SetStretch(bool on) {
  stretch_ = on;
  update();
}

void TImage::SetProportional(bool on) {
  proportional_ = on;
  update();
}

void TImage::RebuildPixmap() {
  if (picture_.isNull()) {
    pixmap_ = QPixmap();
  } else if (transparent_) {
    QImage keyed = picture_.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = keyed.pixel(0, keyed.height() - 1) | 0xFF000000u;
    for (int y = 0; y < keyed.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(keyed.scanLine(y));
      for (int x = 0; x < keyed.width(); ++x)
        if ((line[x] | 0xFF000000u) == key) line[x] = 0;
    }
    pixmap_ = QPixmap::fromImage(keyed);
  } else {
    pixmap_ = QPixmap::fromImage(picture_);
  }
  update();
}

void TImage::paintEvent(QPaintEvent*) {
  if (pixmap_.isNull()) return;
  QPainter painter(this);
  if (!stretch_) {
    painter.drawPixmap(0, 0, pixmap_);
    return;
  }
  QRect target = rect();
  if (proportional_) {
    QSize size = pixmap_.size().scaled(rect().size(), Qt::KeepAspectRatio);
    target = QRect(QPoint(0, 0), size);
  }
  painter.drawPixmap(target, pixmap_);
}

void TImage::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) leftPressed_ = true;
  emit OnMouseDown(event->button(), event->position().toPoint());
}

void TImage::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (event->button() == Qt::LeftButton) {
    const bool click = leftPressed_ && rect().contains(pos);
    leftPressed_ = false;
    if (click) emit OnClick();
  }
  emit OnMouseUp(event->button(), pos);
}
