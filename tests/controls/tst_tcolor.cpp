#include <QApplication>
#include <QtTest>

#include "platform/tcolor.h"

class TestTColor : public QObject {
  Q_OBJECT

 private slots:
  void plainColoursByByte_data() {
    QTest::addColumn<quint32>("color");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("black") << quint32(clBlack) << QColor(0, 0, 0);
    QTest::newRow("white") << quint32(clWhite) << QColor(255, 255, 255);
    QTest::newRow("silver") << quint32(clSilver) << QColor(192, 192, 192);
    QTest::newRow("red is the low byte") << quint32(0x000000FF) << QColor(255, 0, 0);
    QTest::newRow("green the second") << quint32(0x0000FF00) << QColor(0, 255, 0);
    QTest::newRow("blue the third") << quint32(0x00FF0000) << QColor(0, 0, 255);
    QTest::newRow("clGreen") << quint32(clGreen) << QColor(0, 128, 0);
    QTest::newRow("clYellow") << quint32(clYellow) << QColor(255, 255, 0);
    QTest::newRow("clLime") << quint32(clLime) << QColor(0, 255, 0);
    QTest::newRow("clRed") << quint32(clRed) << QColor(255, 0, 0);
    QTest::newRow("clSkyBlue") << quint32(clSkyBlue) << QColor(166, 202, 240);
    QTest::newRow("hint background") << quint32(0x00EAFFFF) << QColor(255, 255, 234);
  }
  void plainColoursByByte() {
    QFETCH(quint32, color);
    QFETCH(QColor, expected);
    QCOMPARE(ToQColor(color), expected);
    QCOMPARE(ColorToRGB(color), TColor(color));
  }

  void systemColoursFollowThePalette_data() {
    QTest::addColumn<quint32>("color");
    QTest::addColumn<int>("role");
    QTest::newRow("clBtnFace") << quint32(clBtnFace) << int(QPalette::Button);
    QTest::newRow("clBtnShadow") << quint32(clBtnShadow) << int(QPalette::Dark);
    QTest::newRow("clBtnHighlight") << quint32(clBtnHighlight) << int(QPalette::Light);
    QTest::newRow("clHighlight") << quint32(clHighlight) << int(QPalette::Highlight);
    QTest::newRow("clHighlightText") << quint32(clHighlightText) << int(QPalette::HighlightedText);
    QTest::newRow("clWindowText") << quint32(clWindowText) << int(QPalette::WindowText);
    QTest::newRow("clWindow") << quint32(clWindow) << int(QPalette::Base);
  }
  void systemColoursFollowThePalette() {
    QFETCH(quint32, color);
    QFETCH(int, role);
    QCOMPARE(color & 0xFF000000u, 0xFF000000u);
    // Distinct colours per role, so a wrong mapping cannot pass by accident.
    QPalette palette;
    for (int r = 0; r < QPalette::NColorRoles; ++r)
      palette.setColor(QPalette::ColorRole(r), QColor(r * 9, 255 - r * 9, 100 + r));
    const QColor expected = palette.color(QPalette::ColorRole(role));
    QCOMPARE(ToQColor(color, palette), expected);
    QCOMPARE(ColorToRGB(color, palette),
             RGBToColor(expected.red(), expected.green(), expected.blue()));
  }

  void clNoneIsTransparent() {
    QCOMPARE(clNone, TColor(0x1FFFFFFF));
    QCOMPARE(ToQColor(clNone).alpha(), 0);
    // Taken as it is where a plain value is needed.
    QCOMPARE(ColorToRGB(clNone), clNone);
  }

  void unknownSystemIndexIsBlack() { QCOMPARE(ToQColor(clSystemColor | 0xEE), QColor(0, 0, 0)); }
};

QTEST_MAIN(TestTColor)
#include "tst_tcolor.moc"
