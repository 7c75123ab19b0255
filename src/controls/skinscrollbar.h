#pragma once
// The list's vertical scroll bar in the skin's colours instead of the desktop's: a dark track
// and a lighter thumb (and arrows) taken from the list's wallpaper. Geometry and mouse handling
// are the style's own; only the drawing differs. Everything is drawn in whole logical pixels,
// so at any window scale each pixel becomes one block.

#include <QColor>
#include <QImage>
#include <QScrollBar>

struct TScrollColors {
  QColor track;
  QColor thumb;
};

class TSkinScrollBar : public QScrollBar {
  Q_OBJECT
 public:
  explicit TSkinScrollBar(QWidget* parent = nullptr);

  const TScrollColors& Colors() const { return colors_; }
  void SetColors(const TScrollColors& colors);

  // The colours of a wallpaper: the track is the mean of its darkest quarter of pixels, the
  // thumb the mean of its lightest quarter; when those are too close (a nearly flat picture)
  // the track is mixed 40 % towards black and the thumb 40 % towards white. Without a
  // picture: from the fallback colour the same way.
  static TScrollColors ColorsFromWallpaper(const QImage& wallpaper, const QColor& fallback);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  TScrollColors colors_;
};
