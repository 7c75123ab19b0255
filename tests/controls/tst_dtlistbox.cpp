#include <QApplication>
#include <QPainter>
#include <QtTest>
#include <memory>

#include "controls/dtlistbox.h"

namespace {

QImage Grab(QWidget* widget) {
  return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// A picture whose every row has its own colour, so the band an item shows can be read back.
QColor RowColour(int row) {
  return QColor(row % 256, 100 + row / 256, 7);
}
QImage RowPicture(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    std::fill(line, line + width, RowColour(y).rgb());
  }
  return image;
}

QFont TestFont(bool bold = false) {
  QFont font(QStringLiteral("Liberation Sans"));
  font.setPixelSize(11);
  font.setBold(bold);
  font.setStyleStrategy(QFont::NoAntialias);  // text pixels in the exact pen colour
  return font;
}

QStringList Numbered(int count, const QString& text = QString()) {
  QStringList items;
  for (int i = 0; i < count; ++i) items << (text.isNull() ? QString::number(i) : text);
  return items;
}

class TPaintCounter : public QObject {
 public:
  explicit TPaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count;
    return false;
  }
};

}  // namespace

class TestDtListBox : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QWidget> form;
  TdtListBox* list = nullptr;

  static void HoverTo(QWidget* widget, QPoint pos) {
    QCursor::setPos(widget->mapToGlobal(pos));
    QApplication::processEvents();
  }

  // Client rows of the grabbed list (no frame: the client area starts at the widget's origin).
  QImage Client() { return Grab(list); }

 private slots:
  void init() {
    // The playlist window's list: 336 x 86 at 4, 4, no border, silver, 11 px font, rows of 12.
    form = std::make_unique<QWidget>();
    form->resize(344, 116);
    list = new TdtListBox(form.get());
    list->setGeometry(4, 4, 336, 86);
    list->SetBorderStyle(bsNone);
    list->SetColor(clSilver);
    list->setFont(TestFont());
    list->SetFontColor(clBlack);
    list->SetItemHeight(12);
    // The pointer away from where the list will be.
    QCursor::setPos(QPoint(1000, 1000));
    QApplication::processEvents();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    // No focus frame unless a test asks for it.
    list->clearFocus();
  }
  void cleanup() { form.reset(); }

  void newListDefaults() {
    TdtListBox box;
    QCOMPARE(box.HintBackColor(), TColor(0x00EAFFFF));
    QCOMPARE(box.HintTextColor(), clBlack);
    QVERIFY(box.HintLongLines());
    QVERIFY(!box.HintOnlyIfFocused());
    QVERIFY(!box.SelectedFontEnabled());
    QCOMPARE(box.SelectedFont(), box.font());
    QCOMPARE(box.SelectedFontColor(), clHighlightText);
    QVERIFY(!box.MouseInside());
    QVERIFY(box.HintPanel() == nullptr);
    QCOMPARE(box.HintIndex(), -1);
    QCOMPARE(box.ItemIndex(), -1);
    QVERIFY(box.BackgroundCache().isNull() && box.SelectedCache().isNull());
    QCOMPARE(box.ItemHeight(), QFontMetrics(box.font()).height() + 2);
  }

  void itemIndexRules_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("inside") << 1 << 3 << 3;
    QTest::newRow("last") << 1 << 4 << 4;
    QTest::newRow("count: nothing") << 2 << 5 << 2;
    QTest::newRow("far beyond: nothing") << 2 << 1000 << 2;
    QTest::newRow("-2: nothing") << 2 << -2 << 2;
    QTest::newRow("-1 removes") << 2 << -1 << -1;
  }
  void itemIndexRules() {
    QFETCH(int, start);
    QFETCH(int, value);
    QFETCH(int, expected);
    list->SetItems(Numbered(5));
    list->SetItemIndex(start);
    int clicks = 0;
    list->SetOnClick([&](QObject*) { ++clicks; });
    list->SetItemIndex(value);
    QCOMPARE(list->ItemIndex(), expected);
    QCOMPARE(list->SelCount(), expected >= 0 ? 1 : 0);
    QCOMPARE(clicks, 0);  // not a user's selection
  }

  void settingTheIndexScrollsItIntoView_data() {
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("expectedTop");
    // 86 pixels hold 7 whole rows of 12.
    QTest::newRow("below: becomes the last whole row") << 0 << 50 << 44;
    QTest::newRow("above: becomes the top row") << 60 << 3 << 3;
    QTest::newRow("in view: no scroll") << 10 << 16 << 10;
    QTest::newRow("just below the view") << 10 << 17 << 11;
  }
  void settingTheIndexScrollsItIntoView() {
    QFETCH(int, top);
    QFETCH(int, index);
    QFETCH(int, expectedTop);
    list->SetItems(Numbered(100));
    list->SetTopIndex(top);
    QCOMPARE(list->TopIndex(), top);
    list->SetItemIndex(index);
    QCOMPARE(list->TopIndex(), expectedTop);
  }

  void topIndexRange_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("last page") << 100 << 1000 << 93;
    QTest::newRow("negative") << 100 << -5 << 0;
    QTest::newRow("fits: no scrolling") << 7 << 3 << 0;
    QTest::newRow("one partly hidden row") << 8 << 3 << 1;
    QTest::newRow("empty") << 0 << 3 << 0;
  }
  void topIndexRange() {
    QFETCH(int, count);
    QFETCH(int, value);
    QFETCH(int, expected);
    list->SetItems(Numbered(count));
    list->SetTopIndex(value);
    QCOMPARE(list->TopIndex(), expected);
  }

  void itemAtPosAndRect_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("top");
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<int>("expected");
    QTest::newRow("first row") << 21 << 0 << QPoint(0, 0) << 0;
    // x below 0 counts from the client area's right edge (a scroll bar narrows it).
    QTest::newRow("row edge") << 21 << 0 << QPoint(-1001, 11) << 0;
    QTest::newRow("second row") << 21 << 0 << QPoint(100, 12) << 1;
    QTest::newRow("partly visible last row") << 21 << 0 << QPoint(5, 85) << 7;
    QTest::newRow("scrolled") << 21 << 10 << QPoint(5, 25) << 12;
    QTest::newRow("right of the client area") << 21 << 0 << QPoint(-1000, 5) << -1;
    QTest::newRow("left of it") << 21 << 0 << QPoint(-1, 5) << -1;
    QTest::newRow("above") << 21 << 0 << QPoint(5, -1) << -1;
    QTest::newRow("below") << 21 << 0 << QPoint(5, 86) << -1;
    QTest::newRow("below the last item") << 5 << 0 << QPoint(5, 80) << -1;
  }
  void itemAtPosAndRect() {
    QFETCH(int, count);
    QFETCH(int, top);
    QFETCH(QPoint, pos);
    QFETCH(int, expected);
    list->SetItems(Numbered(count));
    list->SetTopIndex(top);
    if (pos.x() <= -1000) pos.setX(list->ClientWidth() + pos.x() + 1000);
    QCOMPARE(list->ItemAtPos(pos), expected);
    if (expected >= 0) QVERIFY(list->ItemRect(expected).contains(pos));
  }

  void itemRectGeometry() {
    list->SetItems(Numbered(30));
    list->SetTopIndex(4);
    const int w = list->ClientWidth();
    QVERIFY(w > 300 && w < 336);  // narrowed by the scroll bar
    QCOMPARE(list->ItemRect(4), QRect(0, 0, w, 12));
    QCOMPARE(list->ItemRect(9), QRect(0, 60, w, 12));
    QCOMPARE(list->ItemRect(2), QRect(0, -24, w, 12));
  }

  void itemHeightFollowsTheFont() {
    QFont big = TestFont();
    big.setPixelSize(20);
    list->setFont(big);
    QCOMPARE(list->ItemHeight(), QFontMetrics(big).height() + 2);
    list->SetItemHeight(12);  // after the font: stays
    QCOMPARE(list->ItemHeight(), 12);
    list->setFont(TestFont());  // a font after ItemHeight replaces it
    QCOMPARE(list->ItemHeight(), QFontMetrics(TestFont()).height() + 2);
  }

  void itemHeightLimits_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("zero ignored") << 0 << 12;
    QTest::newRow("negative ignored") << -4 << 12;
    QTest::newRow("one") << 1 << 1;
    QTest::newRow("taller than the list") << 200 << 200;
    QTest::newRow("platform limit") << 100000 << 255;
  }
  void itemHeightLimits() {
    QFETCH(int, value);
    QFETCH(int, expected);
    list->SetItems(Numbered(40, QStringLiteral("text")));
    list->SetBackgroundWallpaper(RowPicture(30, 50));
    list->SetItemHeight(value);
    QCOMPARE(list->ItemHeight(), expected);
    QCOMPARE(list->BackgroundCache().height(), 50 + expected - 1);
    const QImage image = Client();
    QCOMPARE(image.size(), QSize(336, 86));
    // Item 0's band starts at picture row 0 whatever the height.
    QCOMPARE(image.pixel(100, 0), RowColour(0).rgb());
  }

  void plainItemColours_data() {
    QTest::addColumn<bool>("selected");
    QTest::addColumn<bool>("selectedFontEnabled");
    QTest::addColumn<QColor>("fill");
    QTest::addColumn<QColor>("ink");
    const QColor highlight(10, 20, 130), highlightText(250, 240, 1);
    QTest::newRow("unselected") << false << false << QColor(192, 192, 192) << QColor(0, 0, 0);
    QTest::newRow("unselected, selected font on")
        << false << true << QColor(192, 192, 192) << QColor(0, 0, 0);
    QTest::newRow("selected, font off: highlight text")
        << true << false << highlight << highlightText;
    QTest::newRow("selected, selected font") << true << true << highlight << QColor(255, 0, 0);
  }
  void plainItemColours() {
    QFETCH(bool, selected);
    QFETCH(bool, selectedFontEnabled);
    QFETCH(QColor, fill);
    QFETCH(QColor, ink);
    QPalette palette = list->palette();
    palette.setColor(QPalette::Highlight, QColor(10, 20, 130));
    palette.setColor(QPalette::HighlightedText, QColor(250, 240, 1));
    list->setPalette(palette);
    list->SetSelectedFont(TestFont(true), clRed);
    list->SetSelectedFontEnabled(selectedFontEnabled);
    list->SetItems({QStringLiteral("WWWWWWWW"), QStringLiteral("WWWWWWWW")});
    if (selected) list->SetItemIndex(1);
    const QImage image = Client();
    QSet<QRgb> colours;
    for (int y = 12; y < 24; ++y)
      for (int x = 0; x < 336; ++x) colours << image.pixel(x, y);
    // Only the fill and the ink: the text has no box of its own.
    QCOMPARE(colours, (QSet<QRgb>{fill.rgb(), ink.rgb()}));
    QCOMPARE(image.pixel(300, 18), fill.rgb());
    // Text starts 2 pixels right of the item's left edge.
    for (int y = 12; y < 24; ++y) QCOMPARE(image.pixel(0, y), fill.rgb());
    bool inkAtColumn2or3 = false;
    for (int y = 12; y < 24; ++y)
      inkAtColumn2or3 |= image.pixel(2, y) == ink.rgb() || image.pixel(3, y) == ink.rgb();
    QVERIFY(inkAtColumn2or3);
    // Below the items: the erase in Color.
    QCOMPARE(image.pixel(100, 60), QColor(192, 192, 192).rgb());
  }

  void selectedFontIsUsedForSelectedItems() {
    list->SetItems({QStringLiteral("Some text"), QStringLiteral("Some text")});
    list->SetSelectedFont(TestFont(true), clBlack);
    list->SetSelectedFontEnabled(true);
    QPalette palette = list->palette();
    palette.setColor(QPalette::Highlight, QColor(192, 192, 192));  // same fill as unselected
    list->setPalette(palette);
    list->SetItemIndex(1);
    const QImage image = Client();
    // The same text, once bold: the rows differ.
    QVERIFY(image.copy(0, 0, 336, 12) != image.copy(0, 12, 336, 12));
    list->SetSelectedFontEnabled(false);
    list->SetSelectedFontColor(clBlack);
    palette.setColor(QPalette::HighlightedText, QColor(0, 0, 0));
    list->setPalette(palette);
    const QImage plain = Client();
    QCOMPARE(plain.copy(0, 0, 336, 12), plain.copy(0, 12, 336, 12));
  }

  // Item i shows picture rows (ItemHeight * i + k) mod picture height, wherever it is scrolled.
  void wallpaperBands_data() {
    QTest::addColumn<int>("pictureHeight");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("top");
    QTest::newRow("100 high, top") << 100 << 50 << 0;
    QTest::newRow("100 high, scrolled to 5") << 100 << 50 << 5;
    QTest::newRow("100 high, scrolled to 30") << 100 << 50 << 30;
    QTest::newRow("7 high") << 7 << 50 << 13;
    QTest::newRow("1 high") << 1 << 50 << 2;
    QTest::newRow("larger than the list") << 500 << 50 << 9;
    QTest::newRow("last page") << 100 << 20 << 13;
    QTest::newRow("few items") << 100 << 3 << 0;
    QTest::newRow("empty list") << 100 << 0 << 0;
  }
  void wallpaperBands() {
    QFETCH(int, pictureHeight);
    QFETCH(int, count);
    QFETCH(int, top);
    list->SetItems(Numbered(count, QString("")));
    list->SetBackgroundWallpaper(RowPicture(pictureHeight > 300 ? 900 : 40, pictureHeight));
    list->SetTopIndex(top);
    QCOMPARE(list->TopIndex(), top);
    QCOMPARE(list->BackgroundCache().height(), pictureHeight + 11);
    const QImage image = Client();
    for (int y = 0; y < 86; ++y) {
      // Rows of items and the bands below them continue the same pattern.
      const int i = top + y / 12;
      const int row = (12 * i + y % 12) % pictureHeight;
      QVERIFY2(image.pixel(0, y) == RowColour(row).rgb() &&
                   image.pixel(list->ClientWidth() - 1, y) == RowColour(row).rgb(),
               qPrintable(QStringLiteral("client row %1").arg(y)));
    }
  }

  void wallpaperOfTwelveItemsSpec() {
    // Item 9 shows the band starting at row 8 of a 100-row picture.
    list->SetItems(Numbered(20, QString("")));
    list->SetBackgroundWallpaper(RowPicture(30, 100));
    list->SetTopIndex(9);
    QCOMPARE(Client().pixel(10, 0), RowColour(8).rgb());
    QCOMPARE(list->BackgroundCache().height(), 111);
  }

  void wallpaperMeansNoErase() {
    list->SetColor(clRed);
    list->SetItems(Numbered(3, QString("")));
    list->SetBackgroundWallpaper(RowPicture(40, 30));
    const QImage image = Client();
    for (int y = 0; y < 86; ++y)
      for (int x = 0; x < 336; x += 7) QVERIFY(image.pixel(x, y) != qRgb(255, 0, 0));
    list->SetBackgroundWallpaper(QImage());
    // Emptied: the list erases with Color again.
    QCOMPARE(Client().pixel(100, 80), qRgb(255, 0, 0));
  }

  void selectedWallpaperAlone() {
    list->SetItems(Numbered(5, QString("")));
    list->SetSelectedWallpaper(RowPicture(40, 50));
    list->SetItemIndex(2);
    const QImage image = Client();
    for (int k = 0; k < 12; ++k) QCOMPARE(image.pixel(50, 24 + k), RowColour(24 + k).rgb());
    QCOMPARE(image.pixel(50, 5), QColor(192, 192, 192).rgb());
    QCOMPARE(image.pixel(50, 40), QColor(192, 192, 192).rgb());
    QVERIFY(list->BackgroundCache().isNull());
  }

  void wallpaperIsCopied() {
    QImage picture = RowPicture(40, 30);
    list->SetItems(Numbered(3, QString("")));
    list->SetBackgroundWallpaper(picture);
    picture.fill(Qt::red);
    QCOMPARE(Client().pixel(5, 5), RowColour(5).rgb());
    // Its own object given back: kept.
    list->SetBackgroundWallpaper(list->BackgroundWallpaper());
    QCOMPARE(Client().pixel(5, 5), RowColour(5).rgb());
  }

  void cacheFollowsTheClientWidth() {
    list->SetBackgroundWallpaper(RowPicture(40, 30));
    QCOMPARE(list->BackgroundCache().width(), 336);
    list->resize(200, 86);
    QCOMPARE(list->BackgroundCache().width(), 200);
    // A scroll bar narrows the client area: the cache follows.
    list->SetItems(Numbered(100));
    QApplication::processEvents();
    QCOMPARE(list->BackgroundCache().width(), list->ClientWidth());
    QVERIFY(list->ClientWidth() < 200);
  }

  void drawItemHandlerReplacesText() {
    list->SetItems({QStringLiteral("WWWW"), QStringLiteral("WWWW"), QStringLiteral("WWWW")});
    list->SetItemIndex(1);
    QList<QPair<int, QRect>> calls;
    QList<TOwnerDrawState> states;
    list->SetOnDrawItem([&](TdtListBox* control, int index, QPainter& canvas, const QRect& rect,
                            TOwnerDrawState state) {
      QCOMPARE(control, list);
      calls << qMakePair(index, rect);
      states << state;
      canvas.fillRect(rect.adjusted(300, 2, 0, -2), canvas.pen().color());
    });
    const QImage image = Client();
    QCOMPARE(calls.size(), 3);
    QCOMPARE(calls[1], qMakePair(1, QRect(0, 12, 336, 12)));
    QCOMPARE(states[0], TOwnerDrawState(0));
    QVERIFY(states[1] & odSelected);
    // No text was drawn: the text area keeps the fill.
    for (int x = 0; x < 60; ++x) QCOMPARE(image.pixel(x, 5), QColor(192, 192, 192).rgb());
    QCOMPARE(image.pixel(320, 5), qRgb(0, 0, 0));  // drawn by the handler with the pen
  }

  void focusFrameOnTheFocusedItem() {
    list->SetItems(Numbered(4, QString("")));
    list->SetItemIndex(2);
    form->activateWindow();
    list->setFocus();
    QTRY_VERIFY(list->hasFocus());
    const QImage image = Client();
    const QRgb fill = ToQColor(clHighlight, list->palette()).rgb();
    const QRgb inverted = fill ^ 0x00FFFFFF;
    QCOMPARE(image.pixel(0, 24), inverted);
    QCOMPARE(image.pixel(1, 24), fill);
    QCOMPARE(image.pixel(2, 24), inverted);
    QCOMPARE(image.pixel(0, 35), inverted);
    QCOMPARE(image.pixel(0, 26), inverted);
    QCOMPARE(image.pixel(5, 30), fill);
    // Unfocused: no frame.
    list->clearFocus();
    QCOMPARE(Client().pixel(0, 24), fill);
  }

  void clicksSelect_data() {
    QTest::addColumn<QList<int>>("rows");  // client y of each press
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("clicks");
    QTest::newRow("one item") << QList<int>{30} << 2 << 1;
    QTest::newRow("the same item twice") << QList<int>{30, 31} << 2 << 1;
    QTest::newRow("two items") << QList<int>{30, 5} << 0 << 2;
    QTest::newRow("below the last item") << QList<int>{80} << -1 << 0;
    QTest::newRow("item, then below") << QList<int>{5, 80} << 0 << 1;
  }
  void clicksSelect() {
    QFETCH(QList<int>, rows);
    QFETCH(int, expected);
    QFETCH(int, clicks);
    list->SetItems(Numbered(5));
    int clickCount = 0;
    QStringList ups;
    list->SetOnClick([&](QObject*) { ++clickCount; });
    list->SetOnMouseUp([&](QObject*, Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y) {
      ups << QStringLiteral("%1 %2 %3").arg(int(button)).arg(x).arg(y);
    });
    for (int y : rows) QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(40, y));
    QCOMPARE(list->ItemIndex(), expected);
    QCOMPARE(clickCount, clicks);
    QCOMPARE(ups.size(), rows.size());
    QCOMPARE(ups.last(), QStringLiteral("1 40 %1").arg(rows.last()));
  }

  void rightClickDoesNotSelect() {
    list->SetItems(Numbered(5));
    int downs = 0;
    list->SetOnMouseDown([&](QObject*, Qt::MouseButton button, Qt::KeyboardModifiers, int, int) {
      downs += button == Qt::RightButton;
    });
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, QPoint(40, 30));
    QCOMPARE(list->ItemIndex(), -1);
    QCOMPARE(downs, 1);
  }

  void dragMovesTheSelection() {
    list->SetItems(Numbered(40));
    int clicks = 0;
    list->SetOnClick([&](QObject*) { ++clicks; });
    QWindow* window = form->windowHandle();
    const QPoint origin(4, 4);  // the list's client origin in the form
    QTest::mousePress(window, Qt::LeftButton, {}, origin + QPoint(40, 15));
    QCOMPARE(list->ItemIndex(), 1);
    QCOMPARE(clicks, 1);
    QTest::mouseMove(window, origin + QPoint(40, 50));
    QCOMPARE(list->ItemIndex(), 4);
    // Below the list: scrolls one item per move.
    QTest::mouseMove(window, origin + QPoint(40, 100));
    QTest::mouseMove(window, origin + QPoint(41, 100));
    QCOMPARE(list->ItemIndex(), 8);
    QCOMPARE(list->TopIndex(), 2);
    QCOMPARE(clicks, 1);
    QTest::mouseRelease(window, Qt::LeftButton, {}, origin + QPoint(41, 100));
    QCOMPARE(clicks, 2);  // the change made by dragging is reported at the release
  }

  void keysMoveTheSelection_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expected");
    QTest::newRow("down") << int(Qt::Key_Down) << 6;
    QTest::newRow("up") << int(Qt::Key_Up) << 4;
    QTest::newRow("end") << int(Qt::Key_End) << 49;
    QTest::newRow("home") << int(Qt::Key_Home) << 0;
    QTest::newRow("page down") << int(Qt::Key_PageDown) << 11;
  }
  void keysMoveTheSelection() {
    QFETCH(int, key);
    QFETCH(int, expected);
    list->SetItems(Numbered(50));
    list->SetItemIndex(5);
    int clicks = 0;
    list->SetOnClick([&](QObject*) { ++clicks; });
    QTest::keyClick(list, Qt::Key(key));
    QCOMPARE(list->ItemIndex(), expected);
    QCOMPARE(clicks, 1);
    QVERIFY(list->ItemRect(expected).top() >= 0 && list->ItemRect(expected).bottom() < 86);
  }

  void multipleSelection_data() {
    QTest::addColumn<bool>("extended");
    QTest::addColumn<QList<int>>("modifiers");  // per click on items 1, 3, 5
    QTest::addColumn<QList<int>>("selected");
    QTest::newRow("simple: clicks toggle") << false << QList<int>{0, 0, 0} << QList<int>{1, 3, 5};
    QTest::newRow("extended: a click selects one") << true << QList<int>{0, 0, 0} << QList<int>{5};
    QTest::newRow("extended: ctrl adds")
        << true << QList<int>{0, int(Qt::ControlModifier), int(Qt::ControlModifier)}
        << QList<int>{1, 3, 5};
    QTest::newRow("extended: shift spans")
        << true << QList<int>{0, 0, int(Qt::ShiftModifier)} << QList<int>{3, 4, 5};
  }
  void multipleSelection() {
    QFETCH(bool, extended);
    QFETCH(QList<int>, modifiers);
    QFETCH(QList<int>, selected);
    list->SetMultiSelect(true);
    list->SetExtendedSelect(extended);
    list->SetItems(Numbered(8));
    const QList<int> items{1, 3, 5};
    for (int k = 0; k < 3; ++k)
      QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::KeyboardModifiers(modifiers[k]),
                        QPoint(30, items[k] * 12 + 5));
    QList<int> actual;
    for (int i = 0; i < list->Count(); ++i)
      if (list->Selected(i)) actual << i;
    QCOMPARE(actual, selected);
    QCOMPARE(list->SelCount(), selected.size());
    QCOMPARE(list->ItemIndex(), 5);  // the focused item
  }

  void enterAndLeave() {
    list->SetItems(Numbered(3));
    int enters = 0, leaves = 0;
    list->SetOnMouseEnter([&](QObject*) { ++enters; });
    list->SetOnMouseLeave([&](QObject*) { ++leaves; });
    QVERIFY(!list->MouseInside());
    HoverTo(list, QPoint(50, 20));
    QCOMPARE(enters, 1);
    QVERIFY(list->MouseInside());
    // A second enter without a leave raises nothing.
    QEnterEvent enter(QPointF(50, 20), QPointF(50, 20), list->mapToGlobal(QPointF(50, 20)));
    QApplication::sendEvent(list, &enter);
    QCOMPARE(enters, 1);
    // A leave while the cursor is still over the list is ignored.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(list, &leave);
    QCOMPARE(leaves, 0);
    QVERIFY(list->MouseInside());
    // The last pixel column and row still count as inside.
    HoverTo(list, QPoint(335, 85));
    QApplication::sendEvent(list, &leave);
    QCOMPARE(leaves, 0);
    HoverTo(list, QPoint(336, 40));
    QCOMPARE(leaves, 1);
    QVERIFY(!list->MouseInside());
  }

  void selectedFontRepaints() {
    list->SetItems(Numbered(3));
    QApplication::processEvents();
    TPaintCounter counter(list->viewport());
    list->SetSelectedFontColor(clRed);  // an attribute of the font, not enabled
    QApplication::processEvents();
    QCOMPARE(counter.count, 0);
    list->SetSelectedFont(TestFont(true), clRed);  // the property: always
    QApplication::processEvents();
    QCOMPARE(counter.count, 1);
    list->SetSelectedFontEnabled(true);
    QApplication::processEvents();
    counter.count = 0;
    list->SetSelectedFontColor(clLime);
    QApplication::processEvents();
    QCOMPARE(counter.count, 1);
  }

  void refillAndKeepTheIndex() {
    list->SetItems(Numbered(10000));
    list->SetItemIndex(9000);
    QCOMPARE(list->TopIndex(), 9000 - 6);
    const int noted = list->ItemIndex();
    list->SetItems(Numbered(10000, QStringLiteral("x")));
    QCOMPARE(list->ItemIndex(), -1);
    QCOMPARE(list->TopIndex(), 0);
    list->SetItemIndex(noted);
    QCOMPARE(list->ItemIndex(), 9000);
    QCOMPARE(list->Items().at(9000), QStringLiteral("x"));
    // Shorter list: the noted row does not exist any more.
    list->SetItems(Numbered(5));
    list->SetItemIndex(noted);
    QCOMPARE(list->ItemIndex(), -1);
    list->AddItem(QStringLiteral("six"));
    QCOMPARE(list->Count(), 6);
    list->Clear();
    QCOMPARE(list->Count(), 0);
    QCOMPARE(list->ItemIndex(), -1);
  }

  void badInputDrawsSafely_data() {
    QTest::addColumn<QSize>("listSize");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<int>("itemHeight");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("textLength");
    QTest::newRow("1x1 wallpaper") << QSize(336, 86) << QSize(1, 1) << 12 << 30 << 10;
    QTest::newRow("wallpaper larger than the list")
        << QSize(336, 86) << QSize(2000, 1500) << 12 << 30 << 10;
    QTest::newRow("item taller than the list") << QSize(336, 86) << QSize(40, 30) << 200 << 5 << 10;
    QTest::newRow("empty list") << QSize(336, 86) << QSize(40, 30) << 12 << 0 << 0;
    QTest::newRow("100,000 characters") << QSize(336, 86) << QSize(40, 30) << 12 << 3 << 100000;
    QTest::newRow("zero size") << QSize(0, 0) << QSize(40, 30) << 12 << 30 << 10;
    QTest::newRow("one pixel") << QSize(1, 1) << QSize(40, 30) << 12 << 30 << 10;
    QTest::newRow("no wallpaper, zero size") << QSize(0, 0) << QSize() << 12 << 30 << 10;
  }
  void badInputDrawsSafely() {
    QFETCH(QSize, listSize);
    QFETCH(QSize, picture);
    QFETCH(int, itemHeight);
    QFETCH(int, count);
    QFETCH(int, textLength);
    list->resize(listSize);
    list->SetItems(Numbered(count, QString(textLength, QLatin1Char('W'))));
    if (picture.isValid())
      list->SetBackgroundWallpaper(RowPicture(picture.width(), picture.height()));
    list->SetItemHeight(itemHeight);
    list->SetItemIndex(count - 1);
    list->SetTopIndex(count);
    const QImage image = Client();
    QCOMPARE(image.size(), listSize.isEmpty() ? QSize(0, 0) : listSize);
    if (!listSize.isEmpty() && picture.isValid()) {
      // The bottom row is covered by a band too.
      const int top = list->TopIndex();
      const int y = listSize.height() - 1;
      const int row =
          int((qint64(itemHeight) * (top + y / itemHeight) + y % itemHeight) % picture.height());
      if (count == 0 || top + y / itemHeight >= count)
        QCOMPARE(image.pixel(0, y), RowColour(row).rgb());
    }
  }
};

QTEST_MAIN(TestDtListBox)
#include "tst_dtlistbox.moc"
