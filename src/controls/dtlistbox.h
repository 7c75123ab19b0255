#pragma once
// TdtListBox: a list of text items of one fixed height that draws every item itself, with a
// separate font for selected items, an optional wallpaper behind the items (anchored to the
// content: item i shows band (ItemHeight * i) mod picture height whatever the scroll position)
// and another behind selected items, mouse enter and leave events, and a hint panel
// (TdtHintPanel) showing the whole text of an item wider than the list.
//
// Font is the widget's font(), FontColor its colour. A font change sets ItemHeight to the font's
// text height + 2; a later SetItemHeight stays.
//
// Items are kept in one QStringList (no per-item objects), so a refill with SetItems is a
// cheap copy of the list. Only user input (mouse, keys) raises the selection-change
// notification (OnClick, then the hint refresh); SetItemIndex and SetSelected do not.

#include <QAbstractScrollArea>
#include <QFont>
#include <QImage>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <vector>

#include "controls/controlevents.h"
#include "platform/tcolor.h"

class QPainter;
class TdtHintPanel;
class TdtListBox;

// State of an item being drawn.
enum TOwnerDrawStateFlag : unsigned { odSelected = 0x1, odFocused = 0x2 };
using TOwnerDrawState = unsigned;

// Replaces the text drawing of an item. The canvas is clipped to rect, its font, pen (font
// colour) and brush (fill colour) set for the item; the item's background is already drawn.
using TDrawItemEvent = std::function<void(TdtListBox* control, int index, QPainter& canvas,
                                          const QRect& rect, TOwnerDrawState state)>;

class TdtListBox : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit TdtListBox(QWidget* parent = nullptr);
  ~TdtListBox() override;

  // --- Items ---
  const QStringList& Items() const { return items_; }
  int Count() const { return int(items_.size()); }
  // Replaces all items, as Clear followed by adding each: no selection, first item on top.
  void SetItems(const QStringList& items);
  void AddItem(const QString& item);
  void Clear();

  // --- Selection ---
  // The selected item (-1 for none); with MultiSelect the focused item. Setting an index
  // outside 0 .. Count() - 1 other than -1 changes nothing; -1 removes the selection. The item
  // is scrolled into view.
  int ItemIndex() const;
  void SetItemIndex(int index);
  bool Selected(int index) const;
  void SetSelected(int index, bool selected);
  int SelCount() const;
  // Opens an item the way assistive technology and the song search ask to: selects it and
  // raises OnItemActivate. An index outside the items does nothing.
  void ActivateItem(int index);
  bool MultiSelect() const { return multiSelect_; }
  void SetMultiSelect(bool value);
  // With MultiSelect: Shift and Ctrl extend the selection (else a click toggles an item).
  bool ExtendedSelect() const { return extendedSelect_; }
  void SetExtendedSelect(bool value);

  // --- Geometry (client coordinates: the area inside the frame, left of the scroll bar) ---
  int TopIndex() const;
  void SetTopIndex(int index);
  int ItemHeight() const { return itemHeight_; }
  // Values below 1 are ignored; values above 255 (the platform list's limit) become 255.
  void SetItemHeight(int value);
  // The item under a point, -1 outside the client area or below the last item.
  int ItemAtPos(const QPoint& pos) const;
  QRect ItemRect(int index) const;
  int ClientWidth() const;
  int ClientHeight() const;

  // --- Appearance ---
  TColor Color() const { return Color_; }
  void SetColor(TColor value);
  TColor FontColor() const { return FontColor_; }
  void SetFontColor(TColor value);
  TBorderStyle BorderStyle() const { return BorderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  // The setters copy the picture (a null image empties it) and rebuild its cache.
  const QImage& BackgroundWallpaper() const { return BackgroundWallpaper_; }
  void SetBackgroundWallpaper(const QImage& value);
  const QImage& SelectedWallpaper() const { return SelectedWallpaper_; }
  void SetSelectedWallpaper(const QImage& value);
  // The tiled wallpapers, ClientWidth wide and picture height + ItemHeight - 1 high.
  const QImage& BackgroundCache() const { return BackgroundCache_; }
  const QImage& SelectedCache() const { return SelectedCache_; }
  // The selected font (face and colour). SetSelectedFont always repaints; changing only the
  // colour with SetSelectedFontColor repaints only while SelectedFontEnabled.
  const QFont& SelectedFont() const { return SelectedFont_; }
  TColor SelectedFontColor() const { return SelectedFontColor_; }
  void SetSelectedFont(const QFont& font, TColor color);
  void SetSelectedFontColor(TColor color);
  bool SelectedFontEnabled() const { return SelectedFontEnabled_; }
  void SetSelectedFontEnabled(bool value);

  // --- Hint panel ---
  bool HintLongLines() const { return HintLongLines_; }
  void SetHintLongLines(bool value) { HintLongLines_ = value; }
  bool HintOnlyIfFocused() const { return HintOnlyIfFocused_; }
  void SetHintOnlyIfFocused(bool value) { HintOnlyIfFocused_ = value; }
  TColor HintBackColor() const { return HintBackColor_; }
  void SetHintBackColor(TColor value) { HintBackColor_ = value; }
  TColor HintTextColor() const { return HintTextColor_; }
  void SetHintTextColor(TColor value) { HintTextColor_ = value; }
  TdtHintPanel* HintPanel() const;
  int HintIndex() const { return HintIndex_; }
  bool MouseInside() const { return MouseInside_; }
  // Hint tracking for a point in client coordinates: opens, keeps or closes the panel.
  void UpdateHint(int x, int y);
  // Closes the panel now (it is destroyed once control returns to the event loop).
  void CloseHint();

  // --- Events ---
  // OnClick: the selection was changed by the user.
  void SetOnClick(TNotifyEvent handler) { OnClick_ = std::move(handler); }
  void SetOnDblClick(TNotifyEvent handler) { OnDblClick_ = std::move(handler); }
  void SetOnMouseDown(TMouseEvent handler) { OnMouseDown_ = std::move(handler); }
  void SetOnMouseUp(TMouseEvent handler) { OnMouseUp_ = std::move(handler); }
  void SetOnMouseMove(TMouseMoveEvent handler) { OnMouseMove_ = std::move(handler); }
  void SetOnMouseEnter(TNotifyEvent handler) { OnMouseEnter_ = std::move(handler); }
  void SetOnMouseLeave(TNotifyEvent handler) { OnMouseLeave_ = std::move(handler); }
  void SetOnDrawItem(TDrawItemEvent handler);
  // OnItemActivate: ActivateItem opened the selected item.
  void SetOnItemActivate(TNotifyEvent handler) { OnItemActivate_ = std::move(handler); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void changeEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  friend class TdtHintPanel;

  // Mouse input, from the list's own events or forwarded by the hint panel (list client
  // coordinates).
  void MousePress(QPoint pos, Qt::MouseButton button, Qt::KeyboardModifiers shift, bool forwarded,
                  bool doubleClick);
  void MouseMove(QPoint pos, Qt::MouseButtons buttons, Qt::KeyboardModifiers shift);
  void MouseRelease(QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons,
                    Qt::KeyboardModifiers shift);
  // The mouse-leave message: ignored while the cursor is still over the list's rectangle.
  void MouseLeave();

  void DrawItem(QPainter& painter, int index, const QRect& rect);
  void PaintWallpaperBelow(QPainter& painter);
  void BackgroundWallpaperChanged();
  void SelectedWallpaperChanged();
  void BuildCache(const QImage& picture, QImage& cache) const;
  void UpdateScrollRange();
  int FullyVisibleCount() const;
  void EnsureVisible(int index);
  void ResetSelection();
  // Selection by the user; true when it changed.
  bool SelectByMouse(int index, Qt::KeyboardModifiers shift);
  bool TrackTo(QPoint pos);
  void SelectRange(int from, int to);
  // The selection-change notification: OnClick, then the hint refresh.
  void SelectionChanged();
  void HintAfterSelectionChange();
  void HintAfterMouseMove(QPoint pos);
  QFont HintFont(int index) const;
  void ReleaseCapture();
  // Tells assistive technology which item is current (and focused, with the key focus).
  void NotifyAccessibleCurrent();

  QStringList items_;
  int itemHeight_ = 16;
  bool multiSelect_ = false;
  bool extendedSelect_ = true;
  int itemIndex_ = -1;          // single selection
  int caret_ = -1;              // the focused item
  int anchor_ = -1;             // start of an extended selection
  std::vector<char> selected_;  // multiple selection, one flag per item

  TColor Color_ = clWindow;
  TColor FontColor_ = clWindowText;
  TBorderStyle BorderStyle_ = bsSingle;

  QImage BackgroundCache_;
  QImage SelectedCache_;
  QImage BackgroundWallpaper_;
  QImage SelectedWallpaper_;
  QFont SelectedFont_;
  TColor SelectedFontColor_ = clHighlightText;
  bool SelectedFontEnabled_ = false;
  bool MouseInside_ = false;
  TColor HintBackColor_ = 0x00EAFFFF;
  TColor HintTextColor_ = clBlack;
  bool HintOnlyIfFocused_ = false;
  bool HintLongLines_ = true;
  QPointer<TdtHintPanel> HintPanel_;
  int HintIndex_ = -1;

  // Left button held after a press on an item: the selection follows the pointer.
  bool tracking_ = false;
  bool trackChanged_ = false;
  // The list holds the mouse after a press forwarded by the hint panel.
  bool capturing_ = false;
  // The item assistive technology was last told is current (-2: none told yet).
  int accessibleCurrent_ = -2;

  TNotifyEvent OnClick_;
  TNotifyEvent OnDblClick_;
  TMouseEvent OnMouseDown_;
  TMouseEvent OnMouseUp_;
  TMouseMoveEvent OnMouseMove_;
  TNotifyEvent OnMouseEnter_;
  TNotifyEvent OnMouseLeave_;
  TDrawItemEvent OnDrawItem_;
  TNotifyEvent OnItemActivate_;
};
