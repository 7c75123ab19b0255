// Both windows stay responsive while the real engine's read of the song is held, as on a
// stalled disk: the progress tick, a repaint of both windows and a Pause click all come back
// while the read is still held; so do Play clicks on songs whose open waits for that disk, and
// of those the last one asked for is the one that plays.
#include <QtTest>

#include "audio/mp3fixtures.h"
#include "audio/stallgate.h"
#include "controls/dtlistbox.h"
#include "platform/apptitle.h"
#include "player/formmain.h"
#include "playlist/formplaylist.h"
#include "playlist/playlistfile.h"
#include "support/fakedialogs.h"
#include "support/tempprogramdir.h"

class TestStalledRead : public QObject {
  Q_OBJECT
 private slots:
  void windowsAnswerDuringAStall();
  void playClicksDuringAStalledOpen();
};

void TestStalledRead::windowsAnswerDuringAStall() {
  qputenv("SDL_AUDIODRIVER", "dummy");
  TTempProgramDir dir;
  TFakeDialogsScope dialogs;
  TMp3Fixtures fixtures;
  const QString song = fixtures.Make("six.mp3", 44100, 2, 6 * 44100, {"-b", "320"}).path;
  QVERIFY(!song.isEmpty());
  TPlaylistFile().AppendEntry(song, TAppendOrder::FileFirst);

  ::TimeType = false;
  ::PlaylistVisible = true;
  TformMain main;
  SetTitleWindow(&main);
  main.FormCreate();
  TformPlaylist playlist(&main, &main);
  main.SetPlaylistWindow(&playlist);
  playlist.FormCreate();
  main.show();
  playlist.show();
  QVERIFY(QTest::qWaitForWindowExposed(&playlist));

  TStallGate gate;
  playlist.boxPlaylist->SetItemIndex(0);
  main.PlayClick(nullptr);
  QTRY_VERIFY(main.Playing);
  gate.Arm();
  QTRY_VERIFY_WITH_TIMEOUT(gate.Holding(), 10000);

  main.PauseClick(main.Pause);
  main.timeProgressTimer(nullptr);
  main.repaint();
  playlist.repaint();
  QVERIFY2(ApplicationTitle().endsWith("(Paused)"), qPrintable(ApplicationTitle()));
  // Everything above came back while the read was still held.
  QVERIFY(gate.Holding());
  QVERIFY(!gate.GaveUp());
  gate.Release();

  QVERIFY(dialogs->errors.isEmpty());
  main.StopClick(nullptr);
  SetTitleWindow(nullptr);
  main.SetPlaylistWindow(nullptr);
}

void TestStalledRead::playClicksDuringAStalledOpen() {
  qputenv("SDL_AUDIODRIVER", "dummy");
  TTempProgramDir dir;
  TFakeDialogsScope dialogs;
  TMp3Fixtures fixtures;
  const QString first = fixtures.Make("first.mp3", 44100, 2, 3 * 44100, {"-b", "128"}).path;
  const QString last = fixtures.Make("last.mp3", 44100, 2, 2 * 44100, {"-b", "128"}).path;
  QVERIFY(!first.isEmpty() && !last.isEmpty());
  TPlaylistFile().AppendEntries({first, last}, TAppendOrder::FileFirst);
  TformMain main;
  SetTitleWindow(&main);
  main.FormCreate();
  TformPlaylist playlist(&main, &main);
  main.SetPlaylistWindow(&playlist);
  playlist.FormCreate();

  TStallGate gate;
  gate.Arm();  // every open waits for the disk now
  playlist.boxPlaylist->SetItemIndex(0);
  main.PlayClick(nullptr);
  QTRY_VERIFY_WITH_TIMEOUT(gate.Holding(), 10000);
  QVERIFY(!main.Playing);  // not before the song is open
  main.repaint();
  main.NextClick(main.Next);  // a song still opening counts as playing: the next one replaces it
  QCOMPARE(playlist.boxPlaylist->ItemIndex(), 1);
  main.repaint();
  QVERIFY(gate.Holding());
  QVERIFY(!gate.GaveUp());
  gate.Release();
  QTRY_VERIFY_WITH_TIMEOUT(main.Playing, 10000);
  QCOMPARE(main.Mp3MediaPlayer->FileName(), last);
  QVERIFY2(ApplicationTitle().startsWith("last.mp3 (0:02)"), qPrintable(ApplicationTitle()));
  QTest::qWait(200);  // the first open, done by now, left no trace
  QCOMPARE(main.Mp3MediaPlayer->FileName(), last);
  QVERIFY(dialogs->messages.isEmpty());
  main.StopClick(nullptr);
  SetTitleWindow(nullptr);
  main.SetPlaylistWindow(nullptr);
}

QTEST_MAIN(TestStalledRead)
#include "tst_stalledread.moc"
