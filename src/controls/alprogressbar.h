#pragma once
// TALProgressBar: a light bar control showing Position between Min and Max as a filled length.
// The filled part reveals a fixed full-size image (a gradient, one flat colour or the tiled
// BarBitmap); the rest shows BackgroundColor; a one-pixel two-colour frame and a centred
// position text go on top. Font is the widget's font(), FontColor its colour.
//
// Every setter except SetPosition redraws at once (the picture is composed and copied to the
// screen before it returns). SetPosition ignores a value equal to Position or outside
// Min..Max; otherwise it redraws from the cached bar image without rebuilding it.

#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "controls/controlevents.h"
#include "platform/tcolor.h"

enum TProgressDirection : std::uint8_t {
  pdLeftToRight,
  pdRightToLeft,
  pdBottomToTop,
  pdTopToBottom
};
enum TBarColorStyle : std::uint8_t { cs1Color, cs2Colors, cs3Colors };

// Colour of step i of a ramp of n steps from a to b (step 1 is a, step n is b). System colours
// are resolved with the palette. Throws ERangeError when i < 1 or i > n.
TColor GradientColor(TColor a, TColor b, int i, int n, const QPalette& palette);

class TALProgressBar : public QWidget {
  Q_OBJECT

 public:
  explicit TALProgressBar(QWidget* parent = nullptr);
  ~TALProgressBar() override;

  TColor BackgroundColor() const { return BackgroundColor_; }
  void SetBackgroundColor(TColor value);
  // The owned bar bitmap; SetBarBitmap copies the image (a null image empties it).
  const QImage& BarBitmap() const { return BarBitmap_; }
  void SetBarBitmap(const QImage& value);
  // Direct access to the owned bitmap: loading into it draws nothing until the next full paint.
  QImage& BarBitmapObject() { return BarBitmap_; }
  TColor BarColor1() const { return BarColor1_; }
  void SetBarColor1(TColor value);
  TColor BarColor2() const { return BarColor2_; }
  void SetBarColor2(TColor value);
  TColor BarColor3() const { return BarColor3_; }
  void SetBarColor3(TColor value);
  TBarColorStyle BarColorStyle() const { return BarColorStyle_; }
  void SetBarColorStyle(TBarColorStyle value);
  TColor BorderColor1() const { return BorderColor1_; }
  void SetBorderColor1(TColor value);
  TColor BorderColor2() const { return BorderColor2_; }
  void SetBorderColor2(TColor value);
  TProgressDirection Direction() const { return Direction_; }
  void SetDirection(TProgressDirection value);
  int Max() const { return Max_; }
  void SetMax(int value);
  int Min() const { return Min_; }
  void SetMin(int value);
  bool Percentage() const { return Percentage_; }
  void SetPercentage(bool value);
  int Position() const { return Position_; }
  void SetPosition(int value);
  const QString& PosTextPrefix() const { return PosTextPrefix_; }
  void SetPosTextPrefix(const QString& value);
  const QString& PosTextSuffix() const { return PosTextSuffix_; }
  void SetPosTextSuffix(const QString& value);
  bool ShowBorder() const { return ShowBorder_; }
  void SetShowBorder(bool value);
  bool ShowPosText() const { return ShowPosText_; }
  void SetShowPosText(bool value);
  // Colour of Font (the position text); a change counts as a font change.
  TColor FontColor() const { return FontColor_; }
  void SetFontColor(TColor value);

  // Mouse events in control coordinates. While a button is held after a press on the bar,
  // moves and the release keep coming wherever the pointer goes.
  void SetOnMouseDown(TMouseEvent handler) { OnMouseDown_ = std::move(handler); }
  void SetOnMouseMove(TMouseMoveEvent handler) { OnMouseMove_ = std::move(handler); }
  void SetOnMouseUp(TMouseEvent handler) { OnMouseUp_ = std::move(handler); }
  void SetOnClick(TNotifyEvent handler) { OnClick_ = std::move(handler); }
  void SetOnDblClick(TNotifyEvent handler) { OnDblClick_ = std::move(handler); }

  // The position text: PosTextPrefix, the number (Position, or its percentage of Max with
  // Percentage), PosTextSuffix.
  QString PosText() const;

  // To assistive technology the bar is a slider: the text it reads as the value (the position
  // text unless a source is given), the step it moves by, and what a value it asks for does
  // (nothing without a handler: the bar itself only shows positions).
  void SetValueTextSource(std::function<QString()> text) { valueText_ = std::move(text); }
  QString ValueText() const { return valueText_ ? valueText_() : PosText(); }
  int ValueStep() const { return valueStep_; }
  void SetValueStep(int step) { valueStep_ = step; }
  void SetOnValueRequest(std::function<void(int value)> handler) {
    OnValueRequest_ = std::move(handler);
  }
  bool AcceptsValues() const { return bool(OnValueRequest_); }
  void RequestValue(int value);

  // The paint operation: composes the picture in BufferBitmap (rebuilding the cached bar image
  // unless a Position change is being drawn) and copies it to the screen now.
  void Paint();

  // The composed picture and the cached full-size bar image, as last drawn, in logical pixels.
  // In a window drawn at a scale above 1 the position text is not part of BufferBitmap: it
  // is drawn at the screen's resolution over the pixel-repeated picture.
  const QImage& BufferBitmap() const { return BufferBitmap_; }
  const QImage& FillBitmap() const { return FillBitmap_; }

  QSize sizeHint() const override { return QSize(200, 20); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void ComposeBuffer(bool rebuild);
  void DrawBar(bool rebuild);
  void DrawBorder();
  void DrawPosText(QImage& target);
  // The window's whole-number scale (device pixels per logical pixel).
  int ScreenRatio() const;
  void BuildGradient();
  void TileBarBitmap();
  void FillBuffer(int left, int top, int right, int bottom, TColor color);
  void MouseDown(QMouseEvent* event);
  void NotifyAccessibleValue();

  QImage BufferBitmap_;
  TColor BorderColor1_ = clBtnShadow;
  TColor BorderColor2_ = clBtnHighlight;
  TColor BackgroundColor_ = clBtnFace;
  int Position_ = 0;
  QImage BarBitmap_;
  int Min_ = 0;
  int Max_ = 100;
  bool ShowBorder_ = true;
  TProgressDirection Direction_ = pdLeftToRight;
  bool ShowPosText_ = true;
  QString PosTextSuffix_;
  QString PosTextPrefix_;
  TBarColorStyle BarColorStyle_ = cs3Colors;
  TColor BarColor1_ = clGreen;
  TColor BarColor2_ = clYellow;
  TColor BarColor3_ = clRed;
  bool RebuildFill_ = true;
  QImage FillBitmap_;
  bool Percentage_ = false;
  TColor FontColor_ = clWindowText;

  // Set while Paint() copies an already composed picture through repaint().
  bool composed_ = false;
  // A left-button press inside the bar that may become a click.
  bool clickPending_ = false;

  TMouseEvent OnMouseDown_;
  TMouseMoveEvent OnMouseMove_;
  TMouseEvent OnMouseUp_;
  TNotifyEvent OnClick_;
  TNotifyEvent OnDblClick_;
  std::function<QString()> valueText_;
  int valueStep_ = 1;
  std::function<void(int value)> OnValueRequest_;
};
