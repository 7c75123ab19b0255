// Drawing of TALProgressBar, composed in BufferBitmap and copied to the screen in one step:
//  1. Size BufferBitmap to the control.
//  2. Bar image over the whole control: the cached FillBitmap (tiled BarBitmap, or a two- or
//     three-colour gradient), rebuilt unless a Position change is being drawn; or BarColor1.
//  3. Filled length F = round-half-even((Position - Min) / |Max - Min| * L) of the track length
//     L; the unfilled rest is painted in BackgroundColor on the side away from where the bar
//     grows.
//  4. The one-pixel frame: BorderColor1 on top and left, BorderColor2 on bottom and right.
//  5. The position text, centred, background left as it is.
//  6. BufferBitmap to the screen.

#include "controls/alprogressbar.h"

#include <QAccessible>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/errors.h"

namespace {

// Nearest integer, halves to the even neighbour (0.5 -> 0, 1.5 -> 2, 24.5 -> 24).
double RoundHalfEven(double value) {
  const double lower = std::floor(value);
  const double fraction = value - lower;
  if (fraction > 0.5) return lower + 1;
  if (fraction < 0.5) return lower;
  return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

// A double forced into the int range (huge fills and counts stay finite and harmless).
int ClampToInt(double value) {
  if (std::isnan(value)) return 0;
  return int(std::clamp(value, -1e9, 1e9));
}

int Channel(int from, int to, qint64 step, qint64 steps) {
  const qint64 delta = to - from;
  const qint64 magnitude = std::abs(delta);
  const qint64 sign = delta > 0 ? 1 : (delta < 0 ? -1 : 0);
  return int(from + sign * (((step - 1) * magnitude + (steps - 1) / 2) / (steps - 1)));
}

}  // namespace

TColor GradientColor(TColor a, TColor b, int i, int n, const QPalette& palette) {
  if (i < 1 || i > n)
    throw ERangeError(QStringLiteral("ColorIndex can't be less than 1 or greater than %1").arg(n));
  const TColor from = ColorToRGB(a, palette);
  const TColor to = ColorToRGB(b, palette);
  if (n == 1) return RGBToColor(GetRValue(from), GetGValue(from), GetBValue(from));
  return RGBToColor(Channel(GetRValue(from), GetRValue(to), i, n),
                    Channel(GetGValue(from), GetGValue(to), i, n),
                    Channel(GetBValue(from), GetBValue(to), i, n));
}

TALProgressBar::TALProgressBar(QWidget* parent) : QWidget(parent) {
  resize(200, 20);
  setMouseTracking(true);
  // Every pixel comes from BufferBitmap.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

TALProgressBar::~TALProgressBar() = default;

void TALProgressBar::SetBackgroundColor(TColor value) {
  BackgroundColor_ = value;
  Paint();
}

void TALProgressBar::SetBarBitmap(const QImage& value) {
  BarBitmap_ = value.copy();
  Paint();
}

void TALProgressBar::SetBarColor1(TColor value) {
  BarColor1_ = value;
  Paint();
}

void TALProgressBar::SetBarColor2(TColor value) {
  BarColor2_ = value;
  Paint();
}

void TALProgressBar::SetBarColor3(TColor value) {
  BarColor3_ = value;
  Paint();
}

void TALProgressBar::SetBarColorStyle(TBarColorStyle value) {
  BarColorStyle_ = value;
  Paint();
}

void TALProgressBar::SetBorderColor1(TColor value) {
  BorderColor1_ = value;
  Paint();
}

void TALProgressBar::SetBorderColor2(TColor value) {
  BorderColor2_ = value;
  Paint();
}

void TALProgressBar::SetDirection(TProgressDirection value) {
  Direction_ = value;
  Paint();
}

void TALProgressBar::SetMax(int value) {
  Max_ = value;
  Paint();
  NotifyAccessibleValue();
}

void TALProgressBar::SetMin(int value) {
  Min_ = value;
  Paint();
  NotifyAccessibleValue();
}

void TALProgressBar::SetPercentage(bool value) {
  Percentage_ = value;
  Paint();
}

void TALProgressBar::SetPosition(int value) {
  if (value == Position_ || value > Max_ || value < Min_) return;
  Position_ = value;
  // Only the background part, the frame and the text change: keep the cached bar image.
  RebuildFill_ = false;
  struct Restore {
    bool& flag;
    ~Restore() { flag = true; }
  } restore{RebuildFill_};
  Paint();
  NotifyAccessibleValue();
}

void TALProgressBar::RequestValue(int value) {
  if (OnValueRequest_) OnValueRequest_(value);
}

void TALProgressBar::NotifyAccessibleValue() {
  if (!QAccessible::isActive()) return;
  // The value as a slider reads it: a position outside the range draws as its nearer end.
  QAccessibleValueChangeEvent event(this, std::clamp(Position_, Min_, std::max(Min_, Max_)));
  QAccessible::updateAccessibility(&event);
}

void TALProgressBar::SetPosTextPrefix(const QString& value) {
  PosTextPrefix_ = value;
  Paint();
}

void TALProgressBar::SetPosTextSuffix(const QString& value) {
  PosTextSuffix_ = value;
  Paint();
}

void TALProgressBar::SetShowBorder(bool value) {
  ShowBorder_ = value;
  Paint();
}

void TALProgressBar::SetShowPosText(bool value) {
  ShowPosText_ = value;
  Paint();
}

void TALProgressBar::SetFontColor(TColor value) {
  FontColor_ = value;
  Paint();
}

void TALProgressBar::Paint() {
  ComposeBuffer(RebuildFill_);
  // repaint() draws synchronously when the bar is visible; the paint event then only copies.
  composed_ = true;
  repaint();
  composed_ = false;
}

void TALProgressBar::paintEvent(QPaintEvent*) {
  // A repaint requested by the platform rebuilds everything, the cached bar image included.
  if (!composed_ || BufferBitmap_.size() != size()) ComposeBuffer(true);
  if (BufferBitmap_.isNull()) return;
  QPainter painter(this);
  const int ratio = ScreenRatio();
  if (ratio > 1 && ShowPosText_) {
    // Scaled window: the picture pixel by pixel into n x n blocks, the text on top at the
    // screen's resolution.
    QImage sharp = BufferBitmap_.scaled(BufferBitmap_.size() * ratio);
    sharp.setDevicePixelRatio(ratio);
    DrawPosText(sharp);
    painter.drawImage(0, 0, sharp);
    return;
  }
  painter.drawImage(0, 0, BufferBitmap_);
}

int TALProgressBar::ScreenRatio() const {
  return std::max(1, int(devicePixelRatio()));
}

void TALProgressBar::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) Paint();
}

void TALProgressBar::ComposeBuffer(bool rebuild) {
  // 1. BufferBitmap follows the control's size.
  if (BufferBitmap_.size() != size()) {
    BufferBitmap_ = width() > 0 && height() > 0 ? QImage(size(), QImage::Format_RGB32) : QImage();
    if (!BufferBitmap_.isNull()) BufferBitmap_.fill(Qt::black);
  }
  if (BufferBitmap_.isNull()) return;
  DrawBar(rebuild);
  if (ShowBorder_) DrawBorder();
  // 5. At a window scale above 1 the text is added when the picture is copied (paintEvent).
  if (ShowPosText_ && ScreenRatio() == 1) DrawPosText(BufferBitmap_);
}

void TALProgressBar::FillBuffer(int left, int top, int right, int bottom, TColor color) {
  // Right and bottom are exclusive; an empty or inverted rectangle fills nothing.
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, BufferBitmap_.width());
  bottom = std::min(bottom, BufferBitmap_.height());
  if (right <= left || bottom <= top) return;
  const QColor fill = ToQColor(color, palette());
  if (fill.alpha() == 0) return;  // clNone: the pixels stay as they were drawn
  const QRgb pixel = fill.rgb();
  for (int y = top; y < bottom; ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(BufferBitmap_.scanLine(y));
    std::fill(line + left, line + right, pixel);
  }
}

void TALProgressBar::DrawBar(bool rebuild) {
  const int w = width();
  const int h = height();
  // 2. Bar image over the whole control.
  const bool hasBitmap = !BarBitmap_.isNull() && BarBitmap_.width() > 0 && BarBitmap_.height() > 0;
  if (hasBitmap || BarColorStyle_ != cs1Color) {
    if (rebuild) {
      FillBitmap_ = QImage(w, h, QImage::Format_RGB32);
      FillBitmap_.fill(Qt::black);
      if (hasBitmap)
        TileBarBitmap();
      else
        BuildGradient();
    }
    if (!FillBitmap_.isNull()) {
      QPainter painter(&BufferBitmap_);
      painter.setCompositionMode(QPainter::CompositionMode_Source);
      painter.drawImage(0, 0, FillBitmap_);
    }
  } else {
    FillBuffer(0, 0, w, h, BarColor1_);
  }

  // 3. Track length and inner rectangle.
  const bool horizontal = Direction_ == pdLeftToRight || Direction_ == pdRightToLeft;
  const int border = ShowBorder_ ? 1 : 0;
  const qint64 track = qint64(horizontal ? w : h) - 2 * border;
  const int left = border;
  const int top = border;
  const int right = w - border;
  const int bottom = h - border;

  // 4. Filled length: the division first, then the multiplication, halves to even.
  qint64 filled = 0;
  if (Position_ > Min_ && Max_ != Min_) {
    const double span = std::abs(double(Max_) - double(Min_));
    filled = ClampToInt(RoundHalfEven((double(Position_) - double(Min_)) / span * double(track)));
  }
  // 5. Unfilled length, then 6. its rectangle in BackgroundColor.
  const int unfilled = ClampToInt(double(track - filled));
  switch (Direction_) {
    case pdLeftToRight:
      FillBuffer(right - unfilled, top, right, bottom, BackgroundColor_);
      break;
    case pdRightToLeft:
      FillBuffer(left, top, left + unfilled, bottom, BackgroundColor_);
      break;
    case pdBottomToTop:
      FillBuffer(left, top, right, top + unfilled, BackgroundColor_);
      break;
    case pdTopToBottom:
      FillBuffer(left, bottom - unfilled, right, bottom, BackgroundColor_);
      break;
  }
}

void TALProgressBar::BuildGradient() {
  const int w = FillBitmap_.width();
  const int h = FillBitmap_.height();
  if (w <= 0 || h <= 0) return;
  const bool horizontal = Direction_ == pdLeftToRight || Direction_ == pdRightToLeft;
  const bool growsFromStart = Direction_ == pdLeftToRight || Direction_ == pdTopToBottom;
  const int length = horizontal ? w : h;

  // 1. Segment length; 4. the colours of each segment by direction and style.
  const int n = BarColorStyle_ == cs2Colors ? length : length / 2;
  TColor a, b, a2 = 0, b2 = 0;
  if (BarColorStyle_ == cs2Colors) {
    a = growsFromStart ? BarColor1_ : BarColor2_;
    b = growsFromStart ? BarColor2_ : BarColor1_;
  } else {
    a = growsFromStart ? BarColor1_ : BarColor3_;
    b = BarColor2_;
    a2 = BarColor2_;
    b2 = growsFromStart ? BarColor3_ : BarColor1_;
  }

  // The colour of every line across the axis.
  std::vector<QRgb> lines(size_t(length), qRgb(0, 0, 0));
  const QPalette& pal = palette();
  // 2. First segment.
  for (int i = 1; i <= n; ++i)
    lines[size_t(i - 1)] = ToQColor(GradientColor(a, b, i, n, pal)).rgb();
  // 3. Second segment (three colours only).
  if (BarColorStyle_ == cs3Colors) {
    const int m = length - n;
    if (m >= 1)
      for (int p = n; p < length; ++p)
        lines[size_t(p)] = ToQColor(GradientColor(a2, b2, p - n + 1, m, pal)).rgb();
  }

  for (int y = 0; y < h; ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(FillBitmap_.scanLine(y));
    if (horizontal)
      std::copy(lines.begin(), lines.end(), line);
    else
      std::fill(line, line + w, lines[size_t(y)]);
  }
}

void TALProgressBar::TileBarBitmap() {
  // Unscaled tiles from the top left corner whatever the direction, cut at the edges.
  if (FillBitmap_.isNull()) return;
  QPainter painter(&FillBitmap_);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  const int bw = BarBitmap_.width();
  const int bh = BarBitmap_.height();
  if (bw * bh <= 64) {
    // A tiny bitmap would mean thousands of copies; a texture fill gives the same pixels.
    painter.fillRect(FillBitmap_.rect(), QBrush(BarBitmap_));
    return;
  }
  const int columns = FillBitmap_.width() / bw + 1;
  const int rows = FillBitmap_.height() / bh + 1;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) painter.drawImage(c * bw, r * bh, BarBitmap_);
}

void TALProgressBar::DrawBorder() {
  const int w = BufferBitmap_.width();
  const int h = BufferBitmap_.height();
  FillBuffer(0, 0, w, 1, BorderColor1_);          // top row
  FillBuffer(0, 0, 1, h, BorderColor1_);          // left column
  FillBuffer(1, h - 1, w - 1, h, BorderColor2_);  // bottom row, x = 1 .. w - 2
  FillBuffer(w - 1, 1, w, h, BorderColor2_);      // right column, y = 1 .. h - 1
}

QString TALProgressBar::PosText() const {
  qint64 number = Position_;
  if (Percentage_) {
    // Max = 0 has no percentage: show 0.
    number = Max_ == 0 ? 0
                       : qint64(std::clamp(RoundHalfEven(double(Position_) / double(Max_) * 100.0),
                                           -1e15, 1e15));
  }
  return PosTextPrefix_ + QString::number(number) + PosTextSuffix_;
}

void TALProgressBar::DrawPosText(QImage& target) {
  const QString text = PosText();
  const QFontMetrics metrics(font());
  const int tw = metrics.horizontalAdvance(text);
  const int th = metrics.height();
  const int x = width() / 2 - tw / 2;
  const int y = height() / 2 - th / 2;
  QPainter painter(&target);
  painter.setFont(font());
  painter.setPen(ToQColor(FontColor_, palette()));
  painter.drawText(x, y + metrics.ascent(), text);
}

void TALProgressBar::MouseDown(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (OnMouseDown_) OnMouseDown_(this, event->button(), event->modifiers(), pos.x(), pos.y());
}

void TALProgressBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) clickPending_ = true;
  MouseDown(event);
}

void TALProgressBar::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (OnMouseMove_) OnMouseMove_(this, event->buttons(), event->modifiers(), pos.x(), pos.y());
}

void TALProgressBar::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  QPointer<TALProgressBar> self(this);
  if (event->button() == Qt::LeftButton && clickPending_) {
    clickPending_ = false;
    if (rect().contains(pos) && OnClick_) OnClick_(this);
  }
  if (self && OnMouseUp_) OnMouseUp_(this, event->button(), event->modifiers(), pos.x(), pos.y());
}

void TALProgressBar::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double-click: the double-click, then the press itself.
  QPointer<TALProgressBar> self(this);
  if (OnDblClick_) OnDblClick_(this);
  if (self) MouseDown(event);
}
