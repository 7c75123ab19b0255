// Ctrl+D on the real windows: 1x and 2x switch at once, each skin pixel of the player window
// becomes a 2 x 2 block, 1x comes back pixel for pixel, the choice is saved, and the pair stays
// on the work area.
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

// Device pixels of the n-times picture that differ from the 1x picture sampled up, outside the
// texts (which the fonts draw at the screen's resolution, not in blocks).
int BadBlocks(const QImage& scaled, const QImage& single, int n, const TformMain& form) {
  const QImage blocks = single.scaled(single.size() * n);
  int bad = 0;
  for (int y = 0; y < scaled.height(); ++y)
    for (int x = 0; x < scaled.width(); ++x) {
      const QPoint skin(x / n, y / n);
      bad += scaled.pixel(x, y) != blocks.pixel(x, y) &&
             !form.lablSongName->geometry().contains(skin) &&
             !form.lablTime->geometry().contains(skin) &&
             !form.lablVolume->geometry().contains(skin) &&
             !form.lablProgress->geometry().contains(skin);
    }
  return bad;
}
}  // namespace

class TestScaleKey : public QObject {
  Q_OBJECT
 private slots:
  void init() {
    ::TimeType = false;
    ::PlaylistVisible = false;
    TSkinScale::Apply(1);
  }
  void cleanup() { TSkinScale::Apply(1); }
  void switchesAtOnce_data();
  void switchesAtOnce();
  void readOnlySettingsOnTheWorkArea();

 private:
  TFakeAudioEngineScope engines_;
};

void TestScaleKey::switchesAtOnce_data() {
  QTest::addColumn<int>("startScale");  // 0: no setting stored
  QTest::addColumn<int>("switched");
  QTest::addColumn<bool>("inPlaylist");  // the key pressed in the playlist window
  QTest::newRow("1x to 2x, no setting yet") << 0 << 2 << false;
  QTest::newRow("2x to 1x, key in the playlist") << 2 << 1 << true;
  QTest::newRow("3x to 1x") << 3 << 1 << false;
}

void TestScaleKey::switchesAtOnce() {
  QFETCH(int, startScale);
  QFETCH(int, switched);
  QFETCH(bool, inPlaylist);
  TTempProgramDir dir;
  TFakeDialogsScope dialogs;
  const QByteArray keys = "[main]\nleft=20\ntop=30\nvolume=1000\nrepeat=1\n";
  dir.Write("settings.ini", keys + (startScale ? "scale=" + QByteArray::number(startScale) : "") +
                                "\n[playlist]\nvisible=1\n");
  TSkinScale::Apply(std::max(startScale, 1));
  TWindows windows;
  CreateWindows(windows);
  TformMain& form = *windows.formMain;
  new TScaleKey(&form);
  QWidget* target = inPlaylist ? static_cast<QWidget*>(windows.formPlaylist.get()) : &form;
  target->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(target));
  const QImage before = Grab(&form);
  QCOMPARE(before.size(), QSize(344, 116) * std::max(startScale, 1));

  QTest::keyClick(target, Qt::Key_D, Qt::ControlModifier);
  QCOMPARE(TSkinScale::Current(), switched);
  QCOMPARE(TSkinScale::ReadSetting(), switched);
  // The same windows in skin pixels, the other keys untouched.
  QCOMPARE(form.geometry(), QRect(20, 30, 344, 116));
  QCOMPARE(windows.formPlaylist->pos(), QPoint(20, 146));
  QVERIFY(dir.Read("settings.ini").startsWith(keys));
  const QImage after = Grab(&form);
  QCOMPARE(after.size(), QSize(344, 116) * switched);
  QCOMPARE(Grab(windows.formPlaylist.get()).size(), QSize(344, 116) * switched);
  const bool up = switched > startScale;
  QCOMPARE(
      BadBlocks(up ? after : before, up ? before : after, std::max(startScale, switched), form), 0);

  // And back to 2x (or, from 2x, the picture of the start pixel for pixel).
  QTest::keyClick(target, Qt::Key_D, Qt::ControlModifier);
  QCOMPARE(TSkinScale::Current(), TSkinScale::Toggled(switched));
  if (TSkinScale::Current() == std::max(startScale, 1)) QCOMPARE(Grab(&form), before);
  QVERIFY(dialogs->errors.isEmpty());
  DestroyWindows(windows);
}

void TestScaleKey::readOnlySettingsOnTheWorkArea() {
  TTempProgramDir dir;
  TFakeDialogsScope dialogs;
  dir.Write("settings.ini", "[main]\nscale=1\n");
  dir.MakeReadOnly("settings.ini");
  const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
  TWindows windows;
  CreateWindows(windows);
  TformMain& form = *windows.formMain;
  form.SetPlayerPosition(QPoint(work.right() + 1 - 344, work.top()));  // the right limit at 1x
  auto* key = new TScaleKey(&form);
  QVERIFY_THROWS_EXCEPTION(EIniFileException, key->Switch());
  // The windows switched all the same, pulled back onto the work area (half as wide in skin
  // pixels now) with the playlist docked; the file is as it was.
  QCOMPARE(Grab(&form).size(), QSize(688, 232));
  const QRect scaledWork = QGuiApplication::primaryScreen()->availableGeometry();
  QCOMPARE(scaledWork.width(), work.width() / 2);
  QVERIFY(scaledWork.contains(form.geometry()));
  QCOMPARE(windows.formPlaylist->pos(), form.pos() + QPoint(0, 116));
  QCOMPARE(dir.Read("settings.ini"), QByteArray("[main]\nscale=1\n"));
  DestroyWindows(windows);
}

QTEST_MAIN(TestScaleKey)
#include "tst_scalekey.moc"
