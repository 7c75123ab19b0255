#pragma once
// TdtHintPanel: the small panel a TdtListBox lays over an item too long for it, showing the
// item's whole text. It passes presses, releases and double-clicks of the left and right
// buttons and every move on to its list, in the list's client coordinates, so selecting,
// clicking and dragging work through it; its mouse leave reaches the list when the cursor has
// left the list's rectangle. With no ListBox it is a plain panel.
//
// Created by the list for one item and destroyed (deferred) when the hint closes; never reused.

#include <QPointer>
#include <QString>
#include <QWidget>

#include "controls/controlevents.h"
#include "platform/tcolor.h"

class TdtListBox;

class TdtHintPanel : public QWidget {
  Q_OBJECT

 public:
  // The owner list destroys the panel with itself; the list then sets the panel's parent to
  // its form.
  explicit TdtHintPanel(TdtListBox* owner);

  TdtListBox* ListBox() const { return ListBox_.data(); }
  void SetListBox(TdtListBox* list) { ListBox_ = list; }

  // The panel's look: a fill in Color, a one-pixel raised bevel inside the edge (inside a
  // one-pixel frame with bsSingle) and Caption in Font (font()) and FontColor, vertically
  // centred.
  const QString& Caption() const { return Caption_; }
  void SetCaption(const QString& value);
  TColor Color() const { return Color_; }
  void SetColor(TColor value);
  TColor FontColor() const { return FontColor_; }
  void SetFontColor(TColor value);
  TBorderStyle BorderStyle() const { return BorderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  TAlignment Alignment() const { return Alignment_; }
  void SetAlignment(TAlignment value);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void Forward(QMouseEvent* event);

  QPointer<TdtListBox> ListBox_;
  QString Caption_;
  TColor Color_ = clBtnFace;
  TColor FontColor_ = clWindowText;
  TBorderStyle BorderStyle_ = bsNone;
  TAlignment Alignment_ = taCenter;
};
