// Ctrl+D on the real windows: 1x and 2x switch at once and back pixel for pixel, the choice is
// saved, and the pair stays on the work area. (The 2 x 2 blocks: e2e_scaling.)
#include <QtTest>

#include "app/scalekey.h"
#include "app/startup.h"
#include "platform/errors.h"
#include "platform/skinscale.h"
#include "player/formmain.h"
#include "playlist/formplaylist.h"
#include "support/fakeaudioengine.h"
#include "support/fakedialogs.h"
#include "support/tempprogramdir.h"

namespace {
QImage Grab(QWidget* widget) {
  QImage image = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
  image.setDevicePixelRatio(1);
  return image;
}
}  // namespace

class TestScaleKey : public QObject {
  Q_OBJECT
  TFakeAudioEngineScope engines_;

 private slots:
  void init() {
    ::TimeType = false;
    ::PlaylistVisible = false;
    TSkinScale::Apply(1);
  }
  void cleanup() { TSkinScale::Apply(1); }

  void switchesAtOnce_data() {
    QTest::addColumn<int>("startScale");   // 0: no setting stored
    QTest::addColumn<bool>("inPlaylist");  // the key pressed in the playlist window
    QTest::newRow("1x to 2x, no setting yet") << 0 << false;
    QTest::newRow("2x to 1x, key in the playlist") << 2 << true;
  }
  void switchesAtOnce() {
    QFETCH(int, startScale);
    QFETCH(bool, inPlaylist);
    const int switched = startScale == 2 ? 1 : 2;
    TTempProgramDir dir;
    TFakeDialogsScope dialogs;
    const QByteArray keys = "[main]\nleft=20\ntop=30\nvolume=1000\nrepeat=1\n";
    dir.Write("settings.ini", keys + (startScale ? "scale=2" : "") + "\n[playlist]\nvisible=1\n");
    TSkinScale::Apply(std::max(startScale, 1));
    TWindows windows;
    CreateWindows(windows);
    TformMain& form = *windows.formMain;
    new TScaleKey(&form);
    QWidget* target = inPlaylist ? static_cast<QWidget*>(windows.formPlaylist.get()) : &form;
    target->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(target));
    const QImage before = Grab(&form);

    QTest::keyClick(target, Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(TSkinScale::Current(), switched);
    QCOMPARE(TSkinScale::ReadSetting(), switched);
    // The same windows in skin pixels, the other keys untouched.
    QCOMPARE(form.geometry(), QRect(20, 30, 344, 116));
    QCOMPARE(windows.formPlaylist->pos(), QPoint(20, 146));
    QVERIFY(dir.Read("settings.ini").startsWith(keys));
    const QImage after = Grab(&form);
    QCOMPARE(after.size(), QSize(344, 116) * switched);
    QCOMPARE(Grab(windows.formPlaylist.get()).size(), after.size());

    QTest::keyClick(target, Qt::Key_D, Qt::ControlModifier);  // back, pixel for pixel
    QCOMPARE(Grab(&form), before);
    QVERIFY(dialogs->errors.isEmpty());
    DestroyWindows(windows);
  }

  void readOnlySettingsOnTheWorkArea() {
    TTempProgramDir dir;
    TFakeDialogsScope dialogs;
    dir.Write("settings.ini", "[main]\nscale=1\n");
    dir.MakeReadOnly("settings.ini");
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    TWindows windows;
    CreateWindows(windows);
    TformMain& form = *windows.formMain;
    form.SetPlayerPosition(QPoint(work.right() + 1 - 344, work.top()));  // the right limit at 1x
    QVERIFY_THROWS_EXCEPTION(EIniFileException, (new TScaleKey(&form))->Switch());
    // Switched all the same, pulled back onto the (now half as wide) work area with the
    // playlist docked; the file is as it was.
    QCOMPARE(Grab(&form).size(), QSize(688, 232));
    QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().contains(form.geometry()));
    QCOMPARE(windows.formPlaylist->pos(), form.pos() + QPoint(0, 116));
    QCOMPARE(dir.Read("settings.ini"), QByteArray("[main]\nscale=1\n"));
    DestroyWindows(windows);
  }
};

QTEST_MAIN(TestScaleKey)
#include "tst_scalekey.moc"
