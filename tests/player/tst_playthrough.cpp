// The player plays a playlist through the real engine (libmpg123 + SDL's dummy driver): three
// one-second songs in repeat-playlist mode follow each other and wrap around, the title
// following each song.
#include <QtTest>

#include "audio/mp3fixtures.h"
#include "controls/dtlistbox.h"
#include "platform/apptitle.h"
#include "player/formmain.h"
#include "playlist/formplaylist.h"
#include "playlist/playlistfile.h"
#include "support/fakedialogs.h"
#include "support/tempprogramdir.h"

class TestPlaythrough : public QObject {
  Q_OBJECT
 private slots:
  void repeatPlaylistWrapsAround();
};

void TestPlaythrough::repeatPlaylistWrapsAround() {
  qputenv("SDL_AUDIODRIVER", "dummy");
  TTempProgramDir dir;
  TFakeDialogsScope dialogs;
  TMp3Fixtures fixtures;
  QStringList songs;
  for (const char* name : {"one.mp3", "two.mp3", "three.mp3"})
    songs << fixtures.Make(name, 44100, 2, 44100, {"-b", "128"}).path;
  TPlaylistFile playlistFile;
  for (const QString& song : songs) playlistFile.AppendEntry(song, TAppendOrder::FileFirst);

  ::TimeType = false;
  ::PlaylistVisible = true;
  TformMain main;
  SetTitleWindow(&main);
  main.FormCreate();
  TformPlaylist playlist(&main, &main);
  main.SetPlaylistWindow(&playlist);
  playlist.FormCreate();
  main.itemRepeatPlaylist->trigger();

  // Watch the title: each song that starts shows up as "<name> (0:01) (Playing)", and the
  // song open on the device must be the one the title names.
  QStringList order, titles;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    const QString title = ApplicationTitle();
    if (titles.isEmpty() || titles.back() != title) {
      titles << title;
      if (title.endsWith("(Playing)")) order << main.Mp3MediaPlayer->FileName().section('/', -1);
    }
  });
  watch.start(10);

  playlist.boxPlaylist->SetItemIndex(0);
  main.PlayClick(nullptr);
  QTRY_VERIFY(main.Playing);
  QTRY_VERIFY_WITH_TIMEOUT(order.size() >= 4, 15000);
  QCOMPARE(order.mid(0, 4), QStringList({"one.mp3", "two.mp3", "three.mp3", "one.mp3"}));
  const QStringList playing = titles.filter("(Playing)");
  QCOMPARE(playing.mid(0, 3), QStringList({"one.mp3 (0:01) (Playing)", "two.mp3 (0:01) (Playing)",
                                           "three.mp3 (0:01) (Playing)"}));
  QVERIFY(dialogs->messages.isEmpty());
  QVERIFY(dialogs->errors.isEmpty());
  // Each first play recorded its length.
  QCOMPARE(playlist.boxPlaylist->Items().value(2), QStringLiteral("3. three.mp3 (0:01)"));
  main.StopClick(nullptr);
  SetTitleWindow(nullptr);
  main.SetPlaylistWindow(nullptr);
}

QTEST_MAIN(TestPlaythrough)
#include "tst_playthrough.moc"
