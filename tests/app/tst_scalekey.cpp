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

// The player window's texts, drawn by the fonts at the screen's resolution rather than in
// blocks (skin pixels).
QList<QRect> TextAreas(const TformMain& form) {
  return {form.lablSongName->geometry(), form.lablTime->geometry(), form.lablVolume->geometry(),
          form.lablProgress->geometry()};
}

bool InText(const QList<QRect>& areas, QPoint skinPixel) {
  for (const QRect& area : areas)
    if (area.contains(skinPixel)) return true;
  return false;
}

// Skin pixels outside the texts whose n x n block is not one colour, or whose colour differs
// from the 1x picture.
int BadBlocks(const QImage& scaled, const QImage& single, int n, const QList<QRect>& text) {
  int bad = 0;
  for (int y = 0; y < single.height(); ++y)
    for (int x = 0; x < single.width(); ++x) {
      if (InText(text, QPoint(x, y))) continue;
      const QRgb colour = scaled.pixel(x * n, y * n);
      bool same = colour == single.pixel(x, y);
      for (int dy = 0; dy < n && same; ++dy)
        for (int dx = 0; dx < n && same; ++dx)
          same = scaled.pixel(x * n + dx, y * n + dy) == colour;
      if (!same) ++bad;
    }
  return bad;
}

}  // namespace

class TestScaleKey : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();
  void switchesAtOnce_data();
  void switchesAtOnce();
  void keyInEitherWindow_data();
  void keyInEitherWindow();
  void keptOnTheWorkArea_data();
  void keptOnTheWorkArea();
  void readOnlySettingsAreReported();

 private:
  TFakeAudioEngineScope engines_;
};

void TestScaleKey::init() {
  ::TimeType = false;
  ::PlaylistVisible = false;
  TSkinScale::Apply(1);
}

void TestScaleKey::cleanup() {
  TSkinScale::Apply(1);
}

void TestScaleKey::switchesAtOnce_data() {
  QTest::addColumn<QByteArray>("settings");
  QTest::addColumn<int>("startScale");
  QTest::addColumn<int>("switched");
  QTest::newRow("1x to 2x, no setting yet") << QByteArray() << 1 << 2;
  QTest::newRow("2x to 1x") << QByteArray("[main]\nscale=2\n") << 2 << 1;
  QTest::newRow("3x to 1x") << QByteArray("[main]\nscale=3\n") << 3 << 1;
}

void TestScaleKey::switchesAtOnce() {
  QFETCH(QByteArray, settings);
  QFETCH(int, startScale);
  QFETCH(int, switched);
  TTempProgramDir dir;
  TFakeDialogsScope dialogs;
  const QByteArray keys = "[main]\nleft=20\ntop=30\nvolume=1000\nrepeat=1\n" + settings;
  dir.Write("settings.ini", keys);
  TSkinScale::Apply(startScale);
  TWindows windows;
  CreateWindows(windows);
  TformMain& form = *windows.formMain;
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  auto* key = new TScaleKey(&form);
  const QImage before = Grab(&form);
  QCOMPARE(before.size(), QSize(344, 116) * startScale);

  key->Switch();
  QCOMPARE(TSkinScale::Current(), switched);
  QCOMPARE(TSkinScale::Setting(), switched);
  QCOMPARE(TSkinScale::ReadSetting(), switched);
  // Still the same window in skin pixels, and the other keys untouched.
  QCOMPARE(form.geometry(), QRect(20, 30, 344, 116));
  QCOMPARE(windows.formPlaylist->pos(), QPoint(20, 146));
  QVERIFY(dir.Read("settings.ini").startsWith("[main]\nleft=20\ntop=30\nvolume=1000\nrepeat=1\n"));
  const QImage after = Grab(&form);
  QCOMPARE(after.size(), QSize(344, 116) * switched);

  // Whichever way: the larger picture is the smaller one in blocks, texts aside.
  const QImage& single = startScale < switched ? before : after;
  const QImage& scaled = startScale < switched ? after : before;
  const int n = std::max(startScale, switched);
  QCOMPARE(BadBlocks(scaled, single, n, TextAreas(form)), 0);

  // And back: the same picture as at first, pixel for pixel.
  key->Switch();
  QCOMPARE(TSkinScale::Current(), TSkinScale::Toggled(switched));
  if (TSkinScale::Current() == startScale) QCOMPARE(Grab(&form), before);
  QVERIFY(dialogs->errors.isEmpty());
  DestroyWindows(windows);
}

void TestScaleKey::keyInEitherWindow_data() {
  QTest::addColumn<bool>("inPlaylist");
  QTest::newRow("player window") << false;
  QTest::newRow("playlist window") << true;
}

void TestScaleKey::keyInEitherWindow() {
  QFETCH(bool, inPlaylist);
  TTempProgramDir dir;
  TFakeDialogsScope dialogs;
  dir.Write("settings.ini", "[main]\nleft=20\ntop=30\n[playlist]\nvisible=1\n");
  TWindows windows;
  CreateWindows(windows);
  new TScaleKey(windows.formMain.get());
  QWidget* target = inPlaylist ? static_cast<QWidget*>(windows.formPlaylist.get())
                               : static_cast<QWidget*>(windows.formMain.get());
  QVERIFY(target->isVisible());
  target->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(target));
  QTest::keyClick(target, Qt::Key_D, Qt::ControlModifier);
  QCOMPARE(TSkinScale::Current(), 2);
  QCOMPARE(windows.formPlaylist->windowHandle()->devicePixelRatio(), 2.0);
  QCOMPARE(Grab(windows.formPlaylist.get()).size(), QSize(688, 232));
  QTest::keyClick(target, Qt::Key_D, Qt::ControlModifier);
  QCOMPARE(TSkinScale::Current(), 1);
  QCOMPARE(TSkinScale::ReadSetting(), 1);
  DestroyWindows(windows);
}

void TestScaleKey::keptOnTheWorkArea_data() {
  QTest::addColumn<QPoint>("position");  // in skin pixels as a fraction of the work area
  QTest::addColumn<bool>("moves");
  QTest::newRow("past the right at 2x is pulled back") << QPoint(1, 0) << true;
  QTest::newRow("past the bottom at 2x is pulled back") << QPoint(0, 1) << true;
}

void TestScaleKey::keptOnTheWorkArea() {
  QFETCH(QPoint, position);
  QFETCH(bool, moves);
  TTempProgramDir dir;
  TFakeDialogsScope dialogs;
  const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
  // At 1x the right or bottom limit of the work area; half of it at 2x.
  const QPoint start(work.left() + position.x() * (work.width() - 344),
                     work.top() + position.y() * (work.height() - 116));
  TWindows windows;
  CreateWindows(windows);
  TformMain& form = *windows.formMain;
  form.SetPlayerPosition(start);
  QCOMPARE(form.pos(), start);
  (new TScaleKey(&form))->Switch();
  const QRect scaledWork = QGuiApplication::primaryScreen()->availableGeometry();
  QCOMPARE(scaledWork.width(), work.width() / 2);
  QCOMPARE(form.pos() != start, moves);
  QVERIFY(form.x() + 344 <= scaledWork.width());
  QVERIFY(form.y() + 116 <= scaledWork.height());
  QCOMPARE(windows.formPlaylist->pos(), form.pos() + QPoint(0, 116));
  DestroyWindows(windows);
}

void TestScaleKey::readOnlySettingsAreReported() {
  TTempProgramDir dir;
  TFakeDialogsScope dialogs;
  dir.Write("settings.ini", "[main]\nscale=1\n");
  dir.MakeReadOnly("settings.ini");
  TWindows windows;
  CreateWindows(windows);
  auto* key = new TScaleKey(windows.formMain.get());  // the player window owns it
  QVERIFY_THROWS_EXCEPTION(EIniFileException, key->Switch());
  // The windows switched all the same; the file is as it was.
  QCOMPARE(TSkinScale::Current(), 2);
  QCOMPARE(Grab(windows.formMain.get()).size(), QSize(688, 232));
  QCOMPARE(dir.Read("settings.ini"), QByteArray("[main]\nscale=1\n"));
  DestroyWindows(windows);
}

QTEST_MAIN(TestScaleKey)
#include "tst_scalekey.moc"
