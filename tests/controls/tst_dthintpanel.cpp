#include <QApplication>
#include <QLineEdit>
#include <QtTest>
#include <memory>

#include "controls/dthintpanel.h"
#include "controls/dtlistbox.h"

namespace {

QFont ListFont(bool bold = false) {
  QFont font(QStringLiteral("Liberation Sans"));
  font.setPixelSize(11);
  font.setBold(bold);
  return font;
}

const QString kLong1 = QStringLiteral("1. ") + QString(70, QLatin1Char('W')) + ".mp3 (3:35)";
const QString kLong2 = QStringLiteral("2. ") + QString(80, QLatin1Char('M')) + ".mp3 (1:02)";

}  // namespace

class TestDtHintPanel : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QWidget> form;
  TdtListBox* list = nullptr;
  QStringList log;

  // Pointer moves go through the platform (enter, leave and the cursor position follow).
  void HoverTo(QPoint client) {
    QCursor::setPos(list->viewport()->mapToGlobal(client));
    QApplication::processEvents();
  }
  QPoint FormPos(QPoint client) const { return list->viewport()->mapTo(form.get(), client); }
  void Press(QPoint client, Qt::MouseButton button = Qt::LeftButton) {
    HoverTo(client);
    QTest::mousePress(form->windowHandle(), button, {}, FormPos(client));
  }
  void Release(QPoint client, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseRelease(form->windowHandle(), button, {}, FormPos(client));
  }
  static void DestroyClosedPanels() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  static int TextWidth(const QFont& font, const QString& text) {
    return QFontMetrics(font).horizontalAdvance(text);
  }

 private slots:
  void init() {
    // The playlist window's list: at 4, 4 on its form, 336 x 86, no border, rows of 12.
    form = std::make_unique<QWidget>();
    form->resize(344, 116);
    list = new TdtListBox(form.get());
    list->setGeometry(4, 4, 336, 86);
    list->SetBorderStyle(bsNone);
    list->setFont(ListFont());
    list->SetItemHeight(12);
    list->SetHintBackColor(clYellow);
    list->SetHintTextColor(clRed);
    list->SetSelectedFont(ListFont(true), clWhite);
    list->SetSelectedFontEnabled(true);
    list->SetItems({QStringLiteral("0. Short.mp3 (1:00)"), kLong1, kLong2,
                    QStringLiteral("3. Short.mp3 (2:00)")});
    log.clear();
    list->SetOnMouseDown([this](QObject*, Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) {
      log << QStringLiteral("down %1 %2,%3").arg(int(b)).arg(x).arg(y);
    });
    list->SetOnMouseUp([this](QObject*, Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) {
      log << QStringLiteral("up %1 %2,%3").arg(int(b)).arg(x).arg(y);
    });
    list->SetOnClick([this](QObject*) { log << QStringLiteral("click"); });
    list->SetOnDblClick([this](QObject*) { log << QStringLiteral("dblclick"); });
    list->SetOnMouseEnter([this](QObject*) { log << QStringLiteral("enter"); });
    list->SetOnMouseLeave([this](QObject*) { log << QStringLiteral("leave"); });
    // The pointer starts away from where the list will be.
    QCursor::setPos(QPoint(1000, 1000));
    QApplication::processEvents();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QVERIFY(!list->MouseInside());
    log.clear();
  }
  void cleanup() {
    form.reset();
    DestroyClosedPanels();
  }

  void panelGeometry_data() {
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("top");
    QTest::newRow("second row") << 1 << 0;
    QTest::newRow("third row") << 2 << 0;
    QTest::newRow("scrolled") << 12 << 10;
  }
  void panelGeometry() {
    QFETCH(int, item);
    QFETCH(int, top);
    QStringList items = list->Items();
    while (items.size() < 20) items << kLong1;
    list->SetItems(items);
    list->SetTopIndex(top);
    const QRect rect = list->ItemRect(item);
    HoverTo(rect.center());
    TdtHintPanel* panel = list->HintPanel();
    QVERIFY(panel);
    QCOMPARE(list->HintIndex(), item);
    QCOMPARE(panel->parentWidget(), form.get());
    QVERIFY(panel->isVisible());
    const QString text = list->Items().at(item);
    QCOMPARE(panel->pos(), QPoint(5, 4 + rect.top()));
    QCOMPARE(panel->size(),
             QSize(TextWidth(ListFont(), text) + 8, QFontMetrics(ListFont()).height() + 4));
    QCOMPARE(panel->Caption(), text);
    QCOMPARE(panel->Color(), clYellow);
    QCOMPARE(panel->FontColor(), clRed);
    QCOMPARE(panel->font(), list->font());
    QCOMPARE(panel->BorderStyle(), bsSingle);
    QCOMPARE(panel->Alignment(), taLeftJustify);
    QCOMPARE(panel->ListBox(), list);
  }

  void panelLooks() {
    HoverTo(list->ItemRect(1).center());
    TdtHintPanel* panel = list->HintPanel();
    QVERIFY(panel);
    const QImage image = panel->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int w = image.width(), h = image.height();
    const QPalette& pal = panel->palette();
    QCOMPARE(image.pixel(0, 0), ToQColor(clWindowFrame, pal).rgb());   // frame
    QCOMPARE(image.pixel(1, 1), ToQColor(clBtnHighlight, pal).rgb());  // raised bevel
    QCOMPARE(image.pixel(w - 2, h - 2), ToQColor(clBtnShadow, pal).rgb());
    QCOMPARE(image.pixel(w - 3, h / 2), qRgb(255, 255, 0));  // the fill right of the text
    bool red = false;
    for (int x = 2; x < 40; ++x)
      for (int y = 2; y < h - 2; ++y)
        red |= qRed(image.pixel(x, y)) > 200 && qGreen(image.pixel(x, y)) < 120;
    QVERIFY(red);  // the caption in the hint's text colour
  }

  void panelOnlyForTextsWiderThanTheList_data() {
    QTest::addColumn<int>("spare");  // ClientWidth - (text width + 2)
    QTest::addColumn<bool>("panel");
    QTest::newRow("exactly ClientWidth - 2: fits") << 0 << false;
    QTest::newRow("one pixel wider: panel") << -1 << true;
    QTest::newRow("plenty of room") << 50 << false;
  }
  void panelOnlyForTextsWiderThanTheList() {
    QFETCH(int, spare);
    QFETCH(bool, panel);
    const QString text = QStringLiteral("4. Exact.mp3 (0:07)");
    list->SetItems({text});
    list->resize(TextWidth(ListFont(), text) + 2 + spare, 86);
    QCOMPARE(list->ClientWidth(), TextWidth(ListFont(), text) + 2 + spare);
    HoverTo(QPoint(3, 5));
    QCOMPARE(list->HintPanel() != nullptr, panel);
    QCOMPARE(list->HintIndex(), 0);
  }

  void movingOntoTheLowerPartSwitchesItems() {
    HoverTo(QPoint(100, 14));
    QPointer<TdtHintPanel> first = list->HintPanel();
    QVERIFY(first);
    QCOMPARE(first->Caption(), kLong1);
    // The panel is taller than a row: its lower part lies over item 2. The move reaches the
    // panel, which passes it on.
    QVERIFY(first->geometry().bottom() >= FormPos(QPoint(0, 24)).y());
    HoverTo(QPoint(100, 26));
    QCOMPARE(list->HintIndex(), 2);
    QVERIFY(list->HintPanel() && list->HintPanel() != first);
    QCOMPARE(list->HintPanel()->Caption(), kLong2);
    QVERIFY(first && first->isHidden());
    DestroyClosedPanels();
    QVERIFY(!first);
    // A short item: no panel, but the item is remembered.
    HoverTo(QPoint(100, 40));
    QVERIFY(!list->HintPanel());
    QCOMPARE(list->HintIndex(), 3);
    HoverTo(QPoint(100, 70));  // below the last item
    QCOMPARE(list->HintIndex(), -1);
    QVERIFY(!log.contains("leave"));
  }

  void theListIgnoresItsLeaveOntoThePanel() {
    HoverTo(QPoint(100, 18));
    QVERIFY(list->HintPanel());
    QCOMPARE(log, QStringList{"enter"});
    // On the panel and back onto the list (the column left of the panel) and on again.
    HoverTo(QPoint(150, 18));
    HoverTo(QPoint(0, 18));
    HoverTo(QPoint(200, 18));
    QVERIFY(list->HintPanel());
    QCOMPARE(list->HintIndex(), 1);
    QVERIFY(list->MouseInside());
    QCOMPARE(log, QStringList{"enter"});
  }

  void leavingTheListCloses_data() {
    QTest::addColumn<QPoint>("outside");  // form coordinates
    QTest::newRow("below the list") << QPoint(100, 100);
    QTest::newRow("left of the list") << QPoint(1, 20);
  }
  void leavingTheListCloses() {
    QFETCH(QPoint, outside);
    HoverTo(QPoint(100, 18));
    QPointer<TdtHintPanel> panel = list->HintPanel();
    QVERIFY(panel);
    QCursor::setPos(form->mapToGlobal(outside));
    QApplication::processEvents();
    QVERIFY(!list->HintPanel());
    QCOMPARE(list->HintIndex(), -1);
    QVERIFY(!list->MouseInside());
    QCOMPARE(log, (QStringList{"enter", "leave"}));
    DestroyClosedPanels();
    QVERIFY(!panel);
  }

  void pastTheRightEdgeCloses() {
    // A narrower list, so the panel reaches well past its right edge on the form.
    list->resize(200, 86);
    HoverTo(QPoint(100, 18));
    TdtHintPanel* panel = list->HintPanel();
    QVERIFY(panel);
    QVERIFY(panel->geometry().right() > 300);
    // Onto the panel's part right of the list: the forwarded x lies beyond ClientWidth.
    HoverTo(QPoint(250, 18));
    QVERIFY(!list->HintPanel());
    QCOMPARE(list->HintIndex(), -1);
    // The pointer has left the list with the panel gone.
    QVERIFY(!list->MouseInside());
    QCOMPARE(log, (QStringList{"enter", "leave"}));
    // Further right: no new panel while right of the client area.
    HoverTo(QPoint(260, 18));
    QVERIFY(!list->HintPanel());
    // Back onto the list: a panel again, after a fresh enter.
    HoverTo(QPoint(100, 18));
    QVERIFY(list->HintPanel());
    QCOMPARE(log, (QStringList{"enter", "leave", "enter"}));
  }

  void clickThroughThePanelSelects() {
    HoverTo(QPoint(120, 17));
    QVERIFY(list->HintPanel());
    Press(QPoint(120, 17));
    QCOMPARE(list->ItemIndex(), 1);
    Release(QPoint(120, 17));
    // In list coordinates, as if the panel were not there.
    QCOMPARE(log, (QStringList{"enter", "click", "down 1 120,17", "up 1 120,17"}));
    QVERIFY(list->hasFocus());
  }

  void selectionSwitchesThePanelToTheSelectedFont() {
    HoverTo(QPoint(120, 17));
    TdtHintPanel* panel = list->HintPanel();
    QVERIFY(panel);
    const int height = panel->height();
    QCOMPARE(panel->width(), TextWidth(ListFont(), kLong1) + 8);
    Press(QPoint(120, 17));
    // The same panel, now in the selected font's face and width, in the hint's colour.
    QCOMPARE(list->HintPanel(), panel);
    QCOMPARE(panel->font(), ListFont(true));
    QCOMPARE(panel->width(), TextWidth(ListFont(true), kLong1) + 8);
    QVERIFY(TextWidth(ListFont(true), kLong1) != TextWidth(ListFont(), kLong1));
    QCOMPARE(panel->height(), height);
    QCOMPARE(panel->FontColor(), clRed);
    Release(QPoint(120, 17));
  }

  void newPanelOverASelectedItemUsesTheSelectedFont() {
    list->SetItemIndex(2);
    HoverTo(QPoint(100, 30));
    QVERIFY(list->HintPanel());
    QCOMPARE(list->HintPanel()->font(), ListFont(true));
    QCOMPARE(list->HintPanel()->width(), TextWidth(ListFont(true), kLong2) + 8);
    list->SetSelectedFontEnabled(false);
    HoverTo(QPoint(100, 18));
    QCOMPARE(list->HintPanel()->font(), ListFont());
  }

  void dragStartedOnThePanel() {
    QStringList items;
    for (int i = 0; i < 30; ++i) items << (i % 2 ? kLong1 : QStringLiteral("short"));
    list->SetItems(items);
    HoverTo(QPoint(120, 17));
    QPointer<TdtHintPanel> panel = list->HintPanel();
    QVERIFY(panel);
    Press(QPoint(120, 17));
    QCOMPARE(list->ItemIndex(), 1);
    // Down over the list: the selection follows, the panel of item 1 closes.
    HoverTo(QPoint(120, 50));
    QCOMPARE(list->ItemIndex(), 4);
    QVERIFY(list->HintPanel() != panel);
    DestroyClosedPanels();
    QVERIFY(!panel);
    // Still reaching the list after its panel is gone, even below the list.
    HoverTo(QPoint(120, 100));
    HoverTo(QPoint(121, 100));
    QCOMPARE(list->ItemIndex(), 8);
    QCOMPARE(list->TopIndex(), 2);
    Release(QPoint(121, 100));
    QCOMPARE(log.last(), QStringLiteral("up 1 121,100"));
    QCOMPARE(log.count("click"), 2);  // the press, then the drag at the release
    QVERIFY(QWidget::mouseGrabber() == nullptr);
  }

  void doubleClickThroughThePanel() {
    HoverTo(QPoint(120, 17));
    QVERIFY(list->HintPanel());
    QTest::mouseDClick(form->windowHandle(), Qt::LeftButton, {}, FormPos(QPoint(120, 17)));
    QCOMPARE(log.count("dblclick"), 1);
    QCOMPARE(log.count("up 1 120,17"), 2);  // two releases, as the playlist counts them
    QCOMPARE(list->ItemIndex(), 1);
  }

  void otherButtons_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("forwarded");
    QTest::newRow("right") << int(Qt::RightButton) << true;
    QTest::newRow("middle") << int(Qt::MiddleButton) << false;
  }
  void otherButtons() {
    QFETCH(int, button);
    QFETCH(bool, forwarded);
    HoverTo(QPoint(120, 17));
    QVERIFY(list->HintPanel());
    Press(QPoint(120, 17), Qt::MouseButton(button));
    Release(QPoint(120, 17), Qt::MouseButton(button));
    const QStringList expected =
        forwarded ? QStringList{"enter", QStringLiteral("down %1 120,17").arg(button),
                                QStringLiteral("up %1 120,17").arg(button)}
                  : QStringList{"enter"};
    QCOMPARE(log, expected);
    QCOMPARE(list->ItemIndex(), -1);  // only the left button selects
  }

  void hintsOff() {
    list->SetHintLongLines(false);
    HoverTo(QPoint(100, 18));
    QVERIFY(!list->HintPanel());
    QCOMPARE(list->HintIndex(), 1);
    HoverTo(QPoint(100, 30));
    QVERIFY(!list->HintPanel());
    QCOMPARE(list->HintIndex(), 2);
  }

  void onlyWhenFocused() {
    auto* edit = new QLineEdit(form.get());
    edit->setGeometry(200, 92, 100, 20);
    edit->show();
    form->activateWindow();
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    list->SetHintOnlyIfFocused(true);
    HoverTo(QPoint(100, 18));
    QVERIFY(!list->HintPanel());
    QCOMPARE(list->HintIndex(), -1);
    list->setFocus();
    QTRY_VERIFY(list->hasFocus());
    HoverTo(QPoint(101, 18));
    QVERIFY(list->HintPanel());
  }

  void panelWithoutAListIsPlain() {
    TdtHintPanel panel(list);
    panel.SetListBox(nullptr);
    panel.setParent(form.get());
    panel.setGeometry(10, 60, 100, 20);
    panel.show();
    QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {}, QPoint(20, 70));
    QCOMPARE(list->ItemIndex(), -1);
    QVERIFY(log.filter("down").isEmpty());
  }

  void destroyingTheListTakesThePanel() {
    HoverTo(QPoint(100, 18));
    QPointer<TdtHintPanel> panel = list->HintPanel();
    QVERIFY(panel);
    delete list;
    list = nullptr;
    QVERIFY(!panel);
  }

  void refillClosesAStalePanel() {
    HoverTo(QPoint(100, 18));
    QVERIFY(list->HintPanel());
    list->SetItems({QStringLiteral("a"), QStringLiteral("b")});
    QVERIFY(!list->HintPanel());
    QCOMPARE(list->HintIndex(), -1);
  }

  void veryLongItem() {
    const QString huge(100000, QLatin1Char('W'));
    list->SetItems({huge, kLong1});
    HoverTo(QPoint(100, 5));
    TdtHintPanel* panel = list->HintPanel();
    QVERIFY(panel);
    QCOMPARE(panel->Caption().size(), huge.size());
    QVERIFY(panel->width() > 100000);
    QVERIFY(!form->grab().isNull());
    HoverTo(QPoint(100, 17));
    QCOMPARE(list->HintIndex(), 1);
  }
};

QTEST_MAIN(TestDtHintPanel)
#include "tst_dthintpanel.moc"
