// Both windows stay responsive while the real engine's read of the song is held, as on a
// stalled disk: the progress tick, a repaint of both windows and a Pause click all come back
// while the read is still held.
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

  TStallGate gate;  // the GUI thread's own reads (Open, the start of Play) pass
  gate.Arm();
  playlist.boxPlaylist->SetItemIndex(0);
  main.PlayClick(nullptr);
  QVERIFY(main.Playing);
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

QTEST_MAIN(TestStalledRead)
#include "tst_stalledread.moc"
