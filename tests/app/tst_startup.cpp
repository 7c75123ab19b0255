// Start-up and shutdown through the real windows: settings read into the player, the
// defaults, odd stored values, missing skin files, and the eleven keys written at the end.
#include <QtTest>

#include "../audio/mp3fixtures.h"
#include "app/startup.h"
#include "audio/outputvolume.h"
#include "controls/dtlistbox.h"
#include "platform/apptitle.h"
#include "platform/inifile.h"
#include "player/formmain.h"
#include "playlist/formplaylist.h"
#include "playlist/playlistfile.h"
#include "support/fakeaudioengine.h"
#include "support/fakedialogs.h"
#include "support/tempprogramdir.h"

class TestStartup : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void settingsRead_data();
  void settingsRead();
  void defaultPosition();
  void titleAfterStart();
  void missingSkinFile_data();
  void missingSkinFile();
  void shutdownWritesElevenKeys();
  void readOnlySettingsAreReported();
  void brokenSkinKeepsStoredSettings_data();
  void brokenSkinKeepsStoredSettings();
  void lengthsShowInTheBackground();

 private:
  TFakeAudioEngineScope engines_;
};

void TestStartup::init() {
  ::TimeType = false;
  ::PlaylistVisible = false;
  SetOutputVolume(0xFFFFFFFFu);
}

void TestStartup::settingsRead_data() {
  QTest::addColumn<QByteArray>("settings");
  QTest::addColumn<int>("volume");
  QTest::addColumn<int>("repeat");
  QTest::addColumn<QString>("checked");
  QTest::addColumn<bool>("shuffle");
  QTest::addColumn<QString>("time");
  QTest::addColumn<bool>("visible");
  QTest::addColumn<QString>("error");  // end of the error shown, empty for none
  QTest::newRow("no file") << QByteArray() << 32767 << 0 << "No Repeating" << false << "0:00"
                           << true << "";
  QTest::newRow("remaining time") << QByteArray("[main]\ntimetype=1\n") << 32767 << 0
                                  << "No Repeating" << false << "-0:00" << true << "";
  QTest::newRow("repeat playlist, CRLF, odd case")
      << QByteArray("[MAIN]\r\nRepeat=2\r\n") << 32767 << 2 << "Repeat Playlist" << false << "0:00"
      << true << "";
  QTest::newRow("repeat 7: no bitmap, later steps skipped")
      << QByteArray("[main]\nrepeat=7\nshuffle=1\ntimetype=1\n") << 32767 << 7 << "No Repeating"
      << false << "0:00" << false << "repeat7.bmp\". No such file or directory.";
  QTest::newRow("hex volume") << QByteArray("[main]\nvolume=0x100\n") << 256 << 0 << "No Repeating"
                              << false << "0:00" << true << "";
  QTest::newRow("volume too high") << QByteArray("[main]\nvolume=70000\n") << 65535 << 0
                                   << "No Repeating" << false << "0:00" << true << "";
  QTest::newRow("negative volume") << QByteArray("[main]\nvolume=-5\n") << 65535 << 0
                                   << "No Repeating" << false << "0:00" << true << "";
  QTest::newRow("garbage values") << QByteArray("[main]\nvolume=loud\nrepeat=x\nshuffle=yes\n")
                                  << 32767 << 0 << "No Repeating" << false << "0:00" << true << "";
  QTest::newRow("shuffle, hidden playlist")
      << QByteArray("[main]\nshuffle=1\n[playlist]\nvisible=0\nleft=5\ntop=5\nwidth=9\n") << 32767
      << 0 << "No Repeating" << true << "0:00" << false << "";
  QTest::newRow("binary garbage") << QByteArray("\x00\xff[\x01]=\n\n==\x00", 12) << 32767 << 0
                                  << "No Repeating" << false << "0:00" << true << "";
}

void TestStartup::settingsRead() {
  QFETCH(QByteArray, settings);
  QFETCH(int, volume);
  QFETCH(QString, checked);
  QFETCH(bool, visible);
  QFETCH(QString, error);
  TTempProgramDir dir;
  TFakeDialogsScope dialogs;
  if (!settings.isNull()) dir.Write("settings.ini", settings);
  TWindows windows;
  CreateWindows(windows);
  TformMain& form = *windows.formMain;
  QCOMPARE(form.barVolume->Position(), volume);
  // The volume applied is the bar's, for both channels.
  QCOMPARE(OutputVolume(), uint32_t(volume) * 65537u);
  QTEST(int(form.RepeatMode), "repeat");
  QAction* mark = nullptr;
  for (QAction* item : {form.itemRepeatFile, form.itemRepeatPlaylist, form.itemRepeatNone})
    if (item->isChecked()) mark = item;
  QVERIFY(mark);
  QCOMPARE(mark->text(), checked);
  QTEST(form.Shuffle, "shuffle");
  QTEST(form.lablTime->text(), "time");
  QCOMPARE(::PlaylistVisible, visible);
  QCOMPARE(windows.formPlaylist->isVisible(), visible);
  if (error.isEmpty()) {
    QVERIFY2(dialogs->errors.isEmpty(), qPrintable(dialogs->errors.join('|')));
    QCOMPARE(form.butnRepeat->PictureName(),
             QStringLiteral("\\skin\\repeat%1.bmp").arg(form.RepeatMode));
    QCOMPARE(form.butnPlaylist->PictureName(), visible ? QStringLiteral("\\skin\\playlist1.bmp")
                                                       : QStringLiteral("\\skin\\playlist0.bmp"));
  } else {
    QCOMPARE(dialogs->errors.size(), 1);
    QVERIFY2(dialogs->errors.front().startsWith("Cannot open file \"" + dir.Path()),
             qPrintable(dialogs->errors.front()));
    QVERIFY2(dialogs->errors.front().endsWith(error), qPrintable(dialogs->errors.front()));
  }
  DestroyWindows(windows);
}

void TestStartup::defaultPosition() {
  TTempProgramDir dir;
  TFakeDialogsScope dialogs;
  TWindows windows;
  CreateWindows(windows);
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  QCOMPARE(windows.formMain->pos(), QPoint(screen.width() / 2 + 172, screen.height() / 2 + 58));
  QCOMPARE(windows.formPlaylist->pos(), windows.formMain->pos() + QPoint(0, 116));
  DestroyWindows(windows);

  // A saved position on a monitor that is gone is pulled back.
  TIniFile(dir.File("settings.ini")).WriteInteger("main", "left", 5000);
  TIniFile(dir.File("settings.ini")).WriteInteger("main", "top", -30);
  CreateWindows(windows);
  const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
  QCOMPARE(windows.formMain->pos(), QPoint(work.right() + 1 - 344, work.top()));
  DestroyWindows(windows);
}

void TestStartup::titleAfterStart() {
  TTempProgramDir dir;
  TFakeDialogsScope dialogs;
  dir.Write("lastplay.dat",
            "[playlist]\nFile1=/x/a.mp3\nTitle1=a.mp3\nNumberOfEntries=1\nVersion=2\n");
  TWindows windows;
  CreateWindows(windows);
  QCOMPARE(windows.formMain->lablSongName->text(), QStringLiteral("1. a.mp3 (0:00)"));
  QCOMPARE(ApplicationTitle(), QStringLiteral("No Song Playing"));
  QCOMPARE(windows.formMain->windowTitle(), QStringLiteral("No Song Playing"));
  DestroyWindows(windows);
}

void TestStartup::missingSkinFile_data() {
  QTest::addColumn<QString>("file");
  QTest::addColumn<bool>("settingsApplied");
  QTest::newRow("main.bmp") << "main.bmp" << false;
  QTest::newRow("minimize.bmp") << "minimize.bmp" << false;
  QTest::newRow("playlist1.bmp (last step)") << "playlist1.bmp" << true;
}

void TestStartup::missingSkinFile() {
  QFETCH(QString, file);
  QFETCH(bool, settingsApplied);
  TTempProgramDir dir;
  TFakeDialogsScope dialogs;
  QFile::remove(dir.File("skin/" + file));
  dir.Write("settings.ini", "[main]\nleft=100\ntop=100\nrepeat=1\nvolume=1000\n");
  TWindows windows;
  CreateWindows(windows);
  QVERIFY(!dialogs->errors.isEmpty());
  QCOMPARE(dialogs->errors.front(),
           QStringLiteral("Cannot open file \"%1\". No such file or directory.")
               .arg(dir.File("skin/" + file)));
  QVERIFY(windows.formMain->isVisible());
  QCOMPARE(windows.formMain->pos() == QPoint(100, 100), settingsApplied);
  QCOMPARE(windows.formMain->barVolume->Position(), settingsApplied ? 1000 : 65535);
  DestroyWindows(windows);
}

void TestStartup::shutdownWritesElevenKeys() {
  TTempProgramDir dir;
  TFakeDialogsScope dialogs;
  dir.Write("settings.ini", "; kept\n[main]\nlastdir=/music\n");
  TWindows windows;
  CreateWindows(windows);
  windows.formMain->SetPlayerPosition(QPoint(300, 200));
  windows.formMain->RepeatMode = 2;
  windows.formMain->butnShuffleClick(nullptr);
  windows.formMain->lablTimeClick(nullptr);
  windows.formMain->barVolumeMouseDown(nullptr, Qt::LeftButton, 50, 2);
  windows.formMain->butnPlaylistClick(nullptr);
  DestroyWindows(windows);
  const QString text = QString::fromUtf8(dir.Read("settings.ini"));
  QCOMPARE(text.split('\n', Qt::SkipEmptyParts),
           QStringList({"; kept", "[main]", "lastdir=/music", "left=300", "top=200", "repeat=2",
                        "shuffle=1", "timetype=1", "volume=32767", "[playlist]", "left=300",
                        "top=316", "width=344", "height=116", "visible=0"}));
}

void TestStartup::readOnlySettingsAreReported() {
  TTempProgramDir dir;
  TFakeDialogsScope dialogs;
  dir.Write("settings.ini", "[main]\nleft=100\n");
  dir.MakeReadOnly("settings.ini");
  const QByteArray before = dir.Read("settings.ini");
  TWindows windows;
  CreateWindows(windows);
  DestroyWindows(windows);
  QCOMPARE(dialogs->errors, QStringList{"Unable to write to " + dir.File("settings.ini") + "."});
  QCOMPARE(dir.Read("settings.ini"), before);
}

void TestStartup::brokenSkinKeepsStoredSettings_data() {
  QTest::addColumn<bool>("mainBmpMissing");
  QTest::addColumn<int>("repeat");
  QTest::addColumn<QString>("action");       // what the user does before exit
  QTest::addColumn<QStringList>("changed");  // pairs: stored text, the text it becomes
  QTest::newRow("main.bmp missing: all kept but the shuffle the user turns on")
      << true << 1 << "shuffle" << QStringList{"shuffle=0", "shuffle=1"};
  QTest::newRow("repeat 7: the steps before it written, the user picks repeat file")
      << false << 7 << "repeat file"
      << QStringList{"repeat=7", "repeat=1", "left=1\ntop=2\nwidth=3\nheight=4",
                     "left=100\ntop=236\nwidth=344\nheight=116"};
}

void TestStartup::brokenSkinKeepsStoredSettings() {
  QFETCH(bool, mainBmpMissing);
  QFETCH(int, repeat);
  QFETCH(QString, action);
  QFETCH(QStringList, changed);
  TTempProgramDir dir;
  TFakeDialogsScope dialogs;
  if (mainBmpMissing) QVERIFY(QFile::remove(dir.File("skin/main.bmp")));
  const QString stored =
      QString(
          "[main]\nleft=100\ntop=120\nvolume=1000\nrepeat=%1\nshuffle=0\n"
          "timetype=0\n[playlist]\nleft=1\ntop=2\nwidth=3\nheight=4\nvisible=0\n")
          .arg(repeat);
  dir.Write("settings.ini", stored.toUtf8());
  TWindows windows;
  CreateWindows(windows);
  if (action == "shuffle") windows.formMain->butnShuffleClick(nullptr);
  if (action == "repeat file") windows.formMain->itemRepeatFile->trigger();
  DestroyWindows(windows);
  // The file as stored, with only the expected lines changed in place.
  QString expected = stored;
  for (int i = 0; i + 1 < changed.size(); i += 2) expected.replace(changed[i], changed[i + 1]);
  QCOMPARE(QString::fromUtf8(dir.Read("settings.ini")).split('\n', Qt::SkipEmptyParts),
           expected.split('\n', Qt::SkipEmptyParts));
}

// Rows get their lengths at start-up without being played; a missing file gives none.
void TestStartup::lengthsShowInTheBackground() {
  TMp3Fixtures fixtures;
  const QString song = fixtures.Make("song.mp3", 44100, 2, 4 * 44100 + 22050, {}).path;
  QVERIFY(!song.isEmpty());
  TTempProgramDir dir;
  TFakeDialogsScope dialogs;
  TPlaylistFile().AppendEntries({dir.File("gone.mp3"), song}, TAppendOrder::FileFirst);
  TWindows windows;
  CreateWindows(windows);
  TdtListBox& box = *windows.formPlaylist->boxPlaylist;
  box.SetItemIndex(1);
  QTRY_COMPARE_WITH_TIMEOUT(box.Items(), (QStringList{"1. gone.mp3 (0:00)", "2. song.mp3 (0:04)"}),
                            60000);
  QCOMPARE(box.ItemIndex(), 1);
  QVERIFY(dialogs->messages.isEmpty() && dialogs->errors.isEmpty());
  DestroyWindows(windows);
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
