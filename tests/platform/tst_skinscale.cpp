// The whole-number scale: the rules that choose it and the "scale" setting.
#include <QtTest>

#include "platform/skinscale.h"
#include "support/tempprogramdir.h"

class TestSkinScale : public QObject {
  Q_OBJECT
 private slots:
  void scaleChosen_data() {
    QTest::addColumn<int>("setting");
    QTest::addColumn<double>("desktop");
    QTest::addColumn<int>("scale");
    QTest::newRow("1.49 rounds down") << 0 << 1.49 << 1;
    QTest::newRow("4 capped at 3") << 0 << 4.0 << 3;
    QTest::newRow("1 fixed on a 2x desktop") << 1 << 2.0 << 1;
    QTest::newRow("-1 is no setting") << -1 << 2.0 << 2;
  }
  void scaleChosen() {
    QFETCH(int, setting);
    QFETCH(double, desktop);
    QTEST(TSkinScale::ScaleFor(setting, desktop), "scale");
  }

  void desktopFactorSources() {
    QCOMPARE(TSkinScale::ScreenFactorFromEnvironment(" 1.5 ; 2 ", "DP-1", 0), 1.5);
    QCOMPARE(TSkinScale::ScreenFactorFromEnvironment("DP-1=1.25;HDMI-1=2", "HDMI-1", 0), 2.0);
    QCOMPARE(TSkinScale::XftDpi("Xcursor.size:\t24\nXft.dpi:\t192\nXft.hinting:\t1\n"), 192.0);
    QCOMPARE(TSkinScale::XftDpi("Xft.dpiX:\t192\n"), 0.0);
  }

  // Read, then written as 1 keeping the other lines.
  void setting_data() {
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<int>("setting");
    QTest::newRow("3, odd case, other keys") << QByteArray("[MAIN]\r\nleft=3\r\nScale=3\r\n") << 3;
    QTest::newRow("binary garbage") << QByteArray("\x00\xff[main]\nscale=\x01\n", 18) << 0;
  }
  void setting() {
    QFETCH(QByteArray, settings);
    TTempProgramDir dir(TTempProgramDir::Skin::None);
    if (!settings.isNull()) dir.Write("settings.ini", settings);
    QTEST(TSkinScale::ReadSetting(), "setting");
    QVERIFY(TSkinScale::SettingDiffers(1));
    TSkinScale::WriteSetting(1);
    QCOMPARE(TSkinScale::ReadSetting(), 1);
    QVERIFY(!TSkinScale::SettingDiffers(1));
    const QByteArray after = dir.Read("settings.ini");
    for (const QByteArray& line : settings.split('\n'))
      if (!line.toLower().contains("scale=")) QVERIFY2(after.contains(line), line.constData());
  }
};

QTEST_MAIN(TestSkinScale)
#include "tst_skinscale.moc"
