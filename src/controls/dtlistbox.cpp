// TdtListBox drawing and hint tracking.
//
// Painting the client area:
//  1. Without a background wallpaper, erase with Color; with one, erase nothing (every pixel
//     is covered by steps 2 and 3).
//  2. Each visible item i: its band of the wallpaper cache starting at row
//     (ItemHeight * i) mod picture height (selected items: the selected wallpaper), or a fill
//     in Color (clHighlight when selected); then its text 2 pixels right of its left edge at its
//     top, in Font (SelectedFont when selected and enabled), or OnDrawItem instead of the text;
//     then the dotted focus frame around the focused item.
//  3. With a background wallpaper, the rows below the last item continue the item bands:
//     band of item count, count + 1, ... down to the bottom.
//
// Hint tracking (UpdateHint, from mouse moves and selection changes):
//  1. i = the item under the point, -1 for none. Same as HintIndex: stop.
//  2. Close the panel, HintIndex = i, choose the font (SelectedFont if enabled and i selected).
//  3. If i is an item, hints are on and its text + 2 is wider than ClientWidth: open a panel
//     over the item on the list's form, text width + 8 by text height + 4.

#include "controls/dtlistbox.h"

#include <QAccessible>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <exception>

#include "controls/dthintpanel.h"
#include "controls/skinscrollbar.h"
#include "controls/visibletext.h"

namespace {

bool HasImage(const QImage& image) {
  return !image.isNull() && image.width() > 0 && image.height() > 0;
}

constexpr int kMaxItemHeight = 255;
constexpr int kHintWidthLimit = 1 << 20;  // pixels

}  // namespace

TdtListBox::TdtListBox(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBar(new TSkinScrollBar(this));
  setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
  viewport()->setMouseTracking(true);
  viewport()->setAutoFillBackground(false);
  // The paint event covers every pixel itself (erase or wallpaper).
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  verticalScrollBar()->setSingleStep(1);
  resize(121, 97);
  SelectedFont_ = font();
  itemHeight_ = std::clamp(QFontMetrics(font()).height() + 2, 1, kMaxItemHeight);
  UpdateScrollRange();
}

TdtListBox::~TdtListBox() {
  ReleaseCapture();
  delete HintPanel_.data();
}

// --- Items ---

void TdtListBox::SetItems(const QStringList& items) {
  CloseHint();
  items_ = items;
  ResetSelection();
  UpdateScrollRange();
  verticalScrollBar()->setValue(0);
  viewport()->update();
  if (QAccessible::isActive()) {
    accessibleCurrent_ = -2;
    QAccessibleEvent rows(this, QAccessible::ObjectReorder);
    QAccessible::updateAccessibility(&rows);
  }
}

void TdtListBox::AddItem(const QString& item) {
  items_.append(item);
  if (multiSelect_) selected_.push_back(0);
  UpdateScrollRange();
  viewport()->update();
  if (QAccessible::isActive()) {
    QAccessibleEvent rows(this, QAccessible::ObjectReorder);
    QAccessible::updateAccessibility(&rows);
  }
}

void TdtListBox::Clear() {
  SetItems(QStringList());
}

void TdtListBox::ResetSelection() {
  itemIndex_ = -1;
  caret_ = -1;
  anchor_ = -1;
  selected_.assign(multiSelect_ ? items_.size() : 0, 0);
  tracking_ = false;
}

// --- Selection ---

int TdtListBox::ItemIndex() const {
  return multiSelect_ ? caret_ : itemIndex_;
}

void TdtListBox::SetItemIndex(int index) {
  if (index < -1 || index >= Count()) return;
  if (!multiSelect_) itemIndex_ = index;
  caret_ = index;
  anchor_ = index;
  if (index >= 0) EnsureVisible(index);
  viewport()->update();
  NotifyAccessibleCurrent();
}

void TdtListBox::ActivateItem(int index) {
  if (index < 0 || index >= Count()) return;
  SetItemIndex(index);
  if (OnItemActivate_) OnItemActivate_(this);
}

bool TdtListBox::Selected(int index) const {
  if (index < 0 || index >= Count()) return false;
  return multiSelect_ ? selected_[size_t(index)] != 0 : index == itemIndex_;
}

void TdtListBox::SetSelected(int index, bool selected) {
  if (index < 0 || index >= Count()) return;
  if (multiSelect_) {
    selected_[size_t(index)] = selected ? 1 : 0;
  } else if (selected) {
    itemIndex_ = index;
    caret_ = index;
  } else if (index == itemIndex_) {
    itemIndex_ = -1;
  }
  viewport()->update();
  NotifyAccessibleCurrent();
}

int TdtListBox::SelCount() const {
  if (!multiSelect_) return itemIndex_ >= 0 ? 1 : 0;
  return int(std::count(selected_.begin(), selected_.end(), 1));
}

void TdtListBox::SetMultiSelect(bool value) {
  if (value == multiSelect_) return;
  multiSelect_ = value;
  ResetSelection();
  viewport()->update();
}

void TdtListBox::SetExtendedSelect(bool value) {
  extendedSelect_ = value;
}

// --- Geometry ---

int TdtListBox::TopIndex() const {
  return verticalScrollBar()->value();
}

void TdtListBox::SetTopIndex(int index) {
  verticalScrollBar()->setValue(std::clamp(index, 0, verticalScrollBar()->maximum()));
}

void TdtListBox::SetItemHeight(int value) {
  if (value < 1) return;
  value = std::min(value, kMaxItemHeight);
  if (value == itemHeight_) return;
  itemHeight_ = value;
  BackgroundWallpaperChanged();
  SelectedWallpaperChanged();
  UpdateScrollRange();
  viewport()->update();
}

int TdtListBox::ItemAtPos(const QPoint& pos) const {
  if (pos.x() < 0 || pos.y() < 0 || pos.x() >= ClientWidth() || pos.y() >= ClientHeight())
    return -1;
  const qint64 index = qint64(TopIndex()) + pos.y() / itemHeight_;
  return index < Count() ? int(index) : -1;
}

QRect TdtListBox::ItemRect(int index) const {
  return QRect(0, (index - TopIndex()) * itemHeight_, ClientWidth(), itemHeight_);
}

int TdtListBox::ClientWidth() const {
  return viewport()->width();
}

int TdtListBox::ClientHeight() const {
  return viewport()->height();
}

int TdtListBox::FullyVisibleCount() const {
  return std::max(1, ClientHeight() / itemHeight_);
}

void TdtListBox::UpdateScrollRange() {
  // Scrolled by whole items; the last item may end at the bottom edge, not above it.
  const int visible = FullyVisibleCount();
  QScrollBar* bar = verticalScrollBar();
  const int maximum = std::max(0, Count() - visible);
  bar->setPageStep(visible);
  bar->setRange(0, maximum);
  // Shown or hidden at once (not on a later layout pass), so ClientWidth is right straight away.
  const Qt::ScrollBarPolicy policy = maximum > 0 ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
  if (verticalScrollBarPolicy() != policy) setVerticalScrollBarPolicy(policy);
}

void TdtListBox::EnsureVisible(int index) {
  const int top = TopIndex();
  const int visible = FullyVisibleCount();
  if (index < top)
    SetTopIndex(index);
  else if (index >= top + visible)
    SetTopIndex(index - visible + 1);
}

void TdtListBox::scrollContentsBy(int, int) {
  viewport()->update();
}

void TdtListBox::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  BackgroundWallpaperChanged();
  SelectedWallpaperChanged();
  UpdateScrollRange();
}

// --- Appearance ---

void TdtListBox::SetColor(TColor value) {
  Color_ = value;
  BackgroundWallpaperChanged();
  SelectedWallpaperChanged();
  viewport()->update();
}

void TdtListBox::SetFontColor(TColor value) {
  FontColor_ = value;
  viewport()->update();
}

void TdtListBox::SetBorderStyle(TBorderStyle value) {
  BorderStyle_ = value;
  setFrameStyle(value == bsSingle ? (QFrame::WinPanel | QFrame::Sunken) : QFrame::NoFrame);
}

void TdtListBox::SetBackgroundWallpaper(const QImage& value) {
  if (&value != &BackgroundWallpaper_) BackgroundWallpaper_ = value.copy();
  BackgroundWallpaperChanged();
}

void TdtListBox::SetSelectedWallpaper(const QImage& value) {
  if (&value != &SelectedWallpaper_) SelectedWallpaper_ = value.copy();
  SelectedWallpaperChanged();
}

void TdtListBox::BuildCache(const QImage& picture, QImage& cache) const {
  // The picture tiled from the top left, one item height minus one pixel taller than itself,
  // so the band of any item at any phase is one rectangular copy. The cache is ClientWidth
  // wide: no band ever reads further to the right.
  if (!HasImage(picture)) return;
  const int width = std::max(ClientWidth(), 1);
  const int height = picture.height() + itemHeight_ - 1;
  cache = QImage(width, height, QImage::Format_RGB32);
  if (cache.isNull()) return;
  cache.fill(ToQColor(Color_, palette()));
  QPainter painter(&cache);
  painter.fillRect(cache.rect(), QBrush(picture));  // a texture brush tiles from (0, 0)
}

void TdtListBox::BackgroundWallpaperChanged() {
  BuildCache(BackgroundWallpaper_, BackgroundCache_);
  // The scroll bar takes its colours from the wallpaper (or the list's colour without one).
  if (auto* bar = qobject_cast<TSkinScrollBar*>(verticalScrollBar()))
    bar->SetColors(
        TSkinScrollBar::ColorsFromWallpaper(BackgroundWallpaper_, ToQColor(Color_, palette())));
  viewport()->update();
}

void TdtListBox::SelectedWallpaperChanged() {
  BuildCache(SelectedWallpaper_, SelectedCache_);
  viewport()->update();
}

void TdtListBox::SetSelectedFont(const QFont& font, TColor color) {
  SelectedFont_ = font;
  SelectedFontColor_ = color;
  viewport()->update();
}

void TdtListBox::SetSelectedFontColor(TColor color) {
  SelectedFontColor_ = color;
  if (SelectedFontEnabled_) viewport()->update();
}

void TdtListBox::SetSelectedFontEnabled(bool value) {
  SelectedFontEnabled_ = value;
  viewport()->update();
}

void TdtListBox::SetOnDrawItem(TDrawItemEvent handler) {
  OnDrawItem_ = std::move(handler);
  viewport()->update();
}

void TdtListBox::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    // The height of the sample text @9Wgp,|"' is the font's full text height.
    SetItemHeight(QFontMetrics(font()).height() + 2);
    viewport()->update();
  } else if (event->type() == QEvent::PaletteChange) {
    BackgroundWallpaperChanged();
    SelectedWallpaperChanged();
  }
}

// --- Painting ---

void TdtListBox::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const QRect area = event->rect();
  const bool wallpaper = HasImage(BackgroundWallpaper_);
  // 1. Erase, unless the wallpaper covers everything.
  if (!wallpaper) painter.fillRect(area, ToQColor(Color_, palette()));
  // 2. The items in view.
  const int top = TopIndex();
  for (int i = top; i < Count(); ++i) {
    const QRect rect = ItemRect(i);
    if (rect.top() >= ClientHeight()) break;
    if (rect.intersects(area)) DrawItem(painter, i, rect);
  }
  // 3. The bands below the last item.
  if (wallpaper) PaintWallpaperBelow(painter);
}

void TdtListBox::DrawItem(QPainter& painter, int index, const QRect& rect) {
  const bool selected = Selected(index);
  const bool focused = index == caret_ && hasFocus();
  const TOwnerDrawState state = (selected ? odSelected : 0u) | (focused ? odFocused : 0u);

  // What the platform list sets before the item's own drawing.
  QFont canvasFont = font();
  TColor fontColor = FontColor_;
  TColor fillColor = Color_;
  if (selected) {
    fillColor = clHighlight;
    fontColor = clHighlightText;
  }

  // The item's own drawing: picture and font by state.
  const QImage* picture;
  const QImage* cache;
  if (selected) {
    picture = &SelectedWallpaper_;
    cache = &SelectedCache_;
    if (SelectedFontEnabled_) {
      canvasFont = SelectedFont_;
      fontColor = SelectedFontColor_;
    }
  } else {
    picture = &BackgroundWallpaper_;
    cache = &BackgroundCache_;
    canvasFont = font();
    fontColor = FontColor_;
  }

  painter.save();
  painter.setClipRect(rect);
  if (HasImage(*picture)) {
    const int phase = int(qint64(itemHeight_) * index % picture->height());
    painter.drawImage(rect.topLeft(), *cache, QRect(0, phase, rect.width(), rect.height()));
  } else {
    painter.fillRect(rect, ToQColor(fillColor, palette()));
  }
  // Text goes over the background without a box of its own.
  painter.setFont(canvasFont);
  painter.setPen(ToQColor(fontColor, palette()));
  painter.setBrush(ToQColor(fillColor, palette()));
  if (OnDrawItem_) {
    try {
      OnDrawItem_(this, index, painter, rect, state);
    } catch (...) {
      // Not thrown through the paint system: reported from the event loop instead.
      QTimer::singleShot(0, this,
                         [error = std::current_exception()] { std::rethrow_exception(error); });
    }
  } else {
    const QFontMetrics metrics(canvasFont);
    painter.drawText(rect.left() + 2, rect.top() + metrics.ascent(),
                     VisiblePrefix(items_[index], metrics, rect.width()));
  }
  painter.restore();

  // The platform's focus frame: every other pixel of the item's edge, inverted.
  if (focused && rect.width() > 0) {
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    // Each dot a one-pixel fill: a pen's point would straddle the pixel blocks when scaled.
    const int l = rect.left(), t = rect.top(), r = rect.right(), b = rect.bottom();
    auto dot = [&painter](int x, int y) { painter.fillRect(QRect(x, y, 1, 1), Qt::black); };
    for (int x = l; x <= r; x += 2) {
      dot(x, t);
      dot(x, b);
    }
    for (int y = t + 2; y < b; y += 2) {
      dot(l, y);
      dot(r, y);
    }
    painter.restore();
  }
}

void TdtListBox::PaintWallpaperBelow(QPainter& painter) {
  const int pictureHeight = BackgroundWallpaper_.height();
  qint64 i = 0;
  qint64 y = 0;
  if (!items_.isEmpty()) {
    i = Count();
    y = (i - TopIndex()) * qint64(itemHeight_);
  }
  // Down to the very last row (an unpainted row would show stale pixels).
  for (; y < ClientHeight(); y += itemHeight_, ++i) {
    const int phase = int(qint64(itemHeight_) * i % pictureHeight);
    painter.drawImage(QPoint(0, int(y)), BackgroundCache_,
                      QRect(0, phase, ClientWidth(), itemHeight_));
  }
}

// --- Mouse and keys ---

void TdtListBox::mousePressEvent(QMouseEvent* event) {
  event->accept();
  MousePress(event->position().toPoint(), event->button(), event->modifiers(), false, false);
}

void TdtListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  event->accept();
  MousePress(event->position().toPoint(), event->button(), event->modifiers(), false, true);
}

void TdtListBox::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
  MouseMove(event->position().toPoint(), event->buttons(), event->modifiers());
}

void TdtListBox::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  MouseRelease(event->position().toPoint(), event->button(), event->buttons(), event->modifiers());
}

void TdtListBox::MousePress(QPoint pos, Qt::MouseButton button, Qt::KeyboardModifiers shift,
                            bool forwarded, bool doubleClick) {
  QPointer<TdtListBox> self(this);
  // The platform list's own handling first: focus, capture, selection.
  if (button == Qt::LeftButton) {
    if (focusPolicy() & Qt::ClickFocus) setFocus(Qt::MouseFocusReason);
    // A press forwarded by the hint panel: from now on the list gets the mouse directly, so a
    // drag goes on after the panel has closed.
    if (forwarded && !capturing_ && viewport()->isVisible()) {
      viewport()->grabMouse();
      capturing_ = true;
    }
    tracking_ = true;
    trackChanged_ = false;
    const int index = ItemAtPos(pos);
    if (index >= 0 && SelectByMouse(index, shift)) SelectionChanged();
    if (!self) return;
    if (doubleClick && OnDblClick_) OnDblClick_(this);
    if (!self) return;
  }
  if (OnMouseDown_) OnMouseDown_(this, button, shift, pos.x(), pos.y());
}

void TdtListBox::MouseMove(QPoint pos, Qt::MouseButtons buttons, Qt::KeyboardModifiers shift) {
  QPointer<TdtListBox> self(this);
  if (tracking_ && !(buttons & Qt::LeftButton)) tracking_ = false;  // release missed
  if (tracking_ && TrackTo(pos)) trackChanged_ = true;
  if (OnMouseMove_) OnMouseMove_(this, buttons, shift, pos.x(), pos.y());
  if (!self) return;
  HintAfterMouseMove(pos);
}

void TdtListBox::MouseRelease(QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons,
                              Qt::KeyboardModifiers shift) {
  QPointer<TdtListBox> self(this);
  if (!(buttons & Qt::LeftButton)) ReleaseCapture();
  if (button == Qt::LeftButton && tracking_) {
    tracking_ = false;
    if (trackChanged_) {
      trackChanged_ = false;
      SelectionChanged();
      if (!self) return;
    }
  }
  if (OnMouseUp_) OnMouseUp_(this, button, shift, pos.x(), pos.y());
}

void TdtListBox::ReleaseCapture() {
  if (!capturing_) return;
  capturing_ = false;
  if (QWidget::mouseGrabber() == viewport()) viewport()->releaseMouse();
}

bool TdtListBox::SelectByMouse(int index, Qt::KeyboardModifiers shift) {
  if (!multiSelect_) {
    caret_ = index;
    anchor_ = index;
    if (index == itemIndex_) return false;
    itemIndex_ = index;
    viewport()->update();
    return true;
  }
  const std::vector<char> before = selected_;
  if (!extendedSelect_) {
    selected_[size_t(index)] ^= 1;
    anchor_ = index;
  } else if ((shift & Qt::ShiftModifier) && anchor_ >= 0) {
    if (!(shift & Qt::ControlModifier)) std::fill(selected_.begin(), selected_.end(), 0);
    SelectRange(anchor_, index);
  } else if (shift & Qt::ControlModifier) {
    selected_[size_t(index)] ^= 1;
    anchor_ = index;
  } else {
    std::fill(selected_.begin(), selected_.end(), 0);
    selected_[size_t(index)] = 1;
    anchor_ = index;
  }
  caret_ = index;
  viewport()->update();
  return selected_ != before;
}

void TdtListBox::SelectRange(int from, int to) {
  if (from > to) std::swap(from, to);
  for (int i = std::max(from, 0); i <= to && i < Count(); ++i) selected_[size_t(i)] = 1;
}

bool TdtListBox::TrackTo(QPoint pos) {
  // With the button held the selection follows the pointer by its height alone; above or
  // below the list it scrolls one item per move.
  if (items_.isEmpty()) return false;
  int index;
  if (pos.y() < 0)
    index = TopIndex() - 1;
  else if (pos.y() >= ClientHeight())
    index = TopIndex() + FullyVisibleCount();
  else
    index = TopIndex() + pos.y() / itemHeight_;
  index = std::clamp(index, 0, Count() - 1);
  EnsureVisible(index);
  if (!multiSelect_) {
    caret_ = index;
    if (index == itemIndex_) return false;
    itemIndex_ = index;
    viewport()->update();
    return true;
  }
  if (!extendedSelect_ || anchor_ < 0 || index == caret_) return false;
  std::fill(selected_.begin(), selected_.end(), 0);
  SelectRange(anchor_, index);
  caret_ = index;
  viewport()->update();
  return true;
}

void TdtListBox::keyPressEvent(QKeyEvent* event) {
  if (items_.isEmpty()) {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  const int page = FullyVisibleCount();
  const int from = std::max(caret_, 0);
  int index;
  switch (event->key()) {
    case Qt::Key_Up:
      index = caret_ < 0 ? 0 : from - 1;
      break;
    case Qt::Key_Down:
      index = caret_ < 0 ? 0 : from + 1;
      break;
    case Qt::Key_PageUp:
      index = from - page + 1;
      break;
    case Qt::Key_PageDown:
      index = from + page - 1;
      break;
    case Qt::Key_Home:
      index = 0;
      break;
    case Qt::Key_End:
      index = Count() - 1;
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
      return;
  }
  event->accept();
  index = std::clamp(index, 0, Count() - 1);
  EnsureVisible(index);
  if (SelectByMouse(index, event->modifiers() & Qt::ShiftModifier)) SelectionChanged();
  viewport()->update();
}

void TdtListBox::SelectionChanged() {
  QPointer<TdtListBox> self(this);
  NotifyAccessibleCurrent();
  if (OnClick_) OnClick_(this);
  if (self) HintAfterSelectionChange();
}

void TdtListBox::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  viewport()->update();
  // The key focus is on the current item.
  accessibleCurrent_ = -2;
  NotifyAccessibleCurrent();
}

void TdtListBox::NotifyAccessibleCurrent() {
  if (!QAccessible::isActive() || caret_ == accessibleCurrent_) return;
  accessibleCurrent_ = caret_;
  QAccessibleInterface* list = QAccessible::queryAccessibleInterface(this);
  QAccessibleInterface* item = list && caret_ >= 0 ? list->child(caret_) : nullptr;
  if (!item) return;
  QAccessibleEvent selection(item, QAccessible::Selection);
  QAccessible::updateAccessibility(&selection);
  if (hasFocus()) {
    QAccessibleEvent focus(item, QAccessible::Focus);
    QAccessible::updateAccessibility(&focus);
  }
}

void TdtListBox::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  viewport()->update();
}

void TdtListBox::hideEvent(QHideEvent* event) {
  QAbstractScrollArea::hideEvent(event);
  ReleaseCapture();
  tracking_ = false;
  CloseHint();
}

// --- Enter, leave and the hint ---

void TdtListBox::enterEvent(QEnterEvent* event) {
  QAbstractScrollArea::enterEvent(event);
  if (MouseInside_) return;
  MouseInside_ = true;
  if (OnMouseEnter_) OnMouseEnter_(this);
}

void TdtListBox::leaveEvent(QEvent* event) {
  QAbstractScrollArea::leaveEvent(event);
  MouseLeave();
}

void TdtListBox::MouseLeave() {
  // The list's rectangle, both corners included: a cursor still inside it has only moved onto
  // the hint panel lying over the list.
  const QRect bounds(mapToGlobal(QPoint(0, 0)), size());
  if (bounds.contains(QCursor::pos())) return;
  QPointer<TdtListBox> self(this);
  MouseInside_ = false;
  if (OnMouseLeave_) OnMouseLeave_(this);
  if (self) CloseHint();
}

TdtHintPanel* TdtListBox::HintPanel() const {
  return HintPanel_.data();
}

void TdtListBox::CloseHint() {
  if (TdtHintPanel* panel = HintPanel_.data()) {
    HintPanel_.clear();
    panel->SetListBox(nullptr);
    panel->hide();
    // Maybe called from inside one of the panel's own handlers: destroy it afterwards.
    panel->deleteLater();
  }
  HintIndex_ = -1;
}

QFont TdtListBox::HintFont(int index) const {
  if (index >= 0 && SelectedFontEnabled_ && Selected(index)) return SelectedFont_;
  return font();
}

void TdtListBox::UpdateHint(int x, int y) {
  // 1.
  const int index = ItemAtPos(QPoint(x, y));
  if (index == HintIndex_) return;
  // 2.
  CloseHint();
  HintIndex_ = index;
  const QFont hintFont = HintFont(index);
  if (index < 0 || !HintLongLines_) return;
  // 3.
  const QString& text = items_[index];
  const QFontMetrics metrics(hintFont);
  // Wider than any screen is wide enough: a damaged playlist's title can be megabytes long.
  const int textWidth = AdvanceUpTo(text, metrics, kHintWidthLimit);
  if (textWidth + 2 <= ClientWidth()) return;

  auto* panel = new TdtHintPanel(this);
  panel->SetListBox(this);
  HintPanel_ = panel;
  QWidget* form = window();
  const QRect rect = ItemRect(index);
  // The item's top left + 1 pixel right, from the list's origin in its parent, via the screen
  // to the form.
  const QPoint global =
      parentWidget() ? parentWidget()->mapToGlobal(pos() + QPoint(rect.left() + 1, rect.top()))
                     : mapToGlobal(QPoint(rect.left() + 1, rect.top()));
  panel->setParent(form);
  panel->setGeometry(QRect(form->mapFromGlobal(global),
                           QSize(std::min(textWidth + 8, QWIDGETSIZE_MAX), metrics.height() + 4)));
  panel->SetBorderStyle(bsSingle);
  panel->SetColor(HintBackColor_);
  panel->setFont(hintFont);
  panel->SetFontColor(HintTextColor_);
  panel->SetAlignment(taLeftJustify);
  panel->SetCaption(text);
  panel->raise();
  panel->show();
}

void TdtListBox::HintAfterMouseMove(QPoint pos) {
  if (ClientWidth() < pos.x() && HintPanel_) {
    CloseHint();
    // Over the part of the panel past the list: with the panel gone the pointer is off the
    // list, and the list's own leave was spent when the pointer went onto the panel.
    if (MouseInside_) {
      QPointer<TdtListBox> self(this);
      MouseLeave();
      if (!self) return;
    }
  }
  if (HintOnlyIfFocused_ && !hasFocus()) return;
  UpdateHint(pos.x(), pos.y());
}

void TdtListBox::HintAfterSelectionChange() {
  // 1. The panel follows the selection: the selected font, in the hint's text colour.
  if (TdtHintPanel* panel = HintPanel_.data(); panel && HintIndex_ >= 0 && HintIndex_ < Count()) {
    const QFont hintFont = HintFont(HintIndex_);
    panel->setFont(hintFont);
    const int textWidth = AdvanceUpTo(items_[HintIndex_], QFontMetrics(hintFont), kHintWidthLimit);
    panel->resize(std::min(textWidth + 8, QWIDGETSIZE_MAX), panel->height());
    panel->SetFontColor(HintTextColor_);
  }
  // 2. Then tracking from where the cursor is now.
  const QPoint pos = viewport()->mapFromGlobal(QCursor::pos());
  UpdateHint(pos.x(), pos.y());
}
