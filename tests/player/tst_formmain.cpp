// The player window's transport, read-out, seeking and volume against the scripted engine:
// the test is the clock and sends the end-of-song notices.
#include <QtTest>

#include "audio/outputvolume.h"
#include "controls/dtlistbox.h"
#include "platform/apptitle.h"
#include "platform/inifile.h"
#include "player/formmain.h"
#include "playlist/formplaylist.h"
#include "playlist/songpaths.h"
#include "support/fakeaudioengine.h"
#include "support/fakedialogs.h"
#include "support/tempprogramdir.h"

namespace {

// A program directory with a playlist of `entries` songs (music/<n>.mp3, 225 s each unless
// set otherwise); the files of `missing` entries do not exist.
class TRig {
 public:
  explicit TRig(int entries, const QSet<int>& missing = {}, bool withLengths = false) {
    QByteArray text = "[playlist]\n";
    for (int n = 1; n <= entries; ++n) {
      const QString path = Song(n);
      if (!missing.contains(n)) dir.Write("music/" + QString::number(n) + ".mp3", "");
      text += QStringLiteral("File%1=%2\nTitle%1=%1.mp3\n").arg(n).arg(path).toUtf8();
      if (withLengths) text += QStringLiteral("Length%1=225\n").arg(n).toUtf8();
    }
    text += QStringLiteral("NumberOfEntries=%1\nVersion=2\n").arg(entries).toUtf8();
    if (entries > 0) dir.Write("lastplay.dat", text);
    ::TimeType = false;
    ::PlaylistVisible = false;
    auto engine = std::make_unique<TFakeAudioEngine>();
    fake = engine.get();
    main = std::make_unique<TformMain>(std::move(engine));
    SetTitleWindow(main.get());
    main->FormCreate();
    playlist = std::make_unique<TformPlaylist>(main.get(), main.get());
    main->SetPlaylistWindow(playlist.get());
    playlist->FormCreate();
    main->ShuffleChoice().Clock = [] { return 0x12345678u; };
  }
  ~TRig() {
    SetTitleWindow(nullptr);
    main->SetPlaylistWindow(nullptr);
    playlist.reset();
    main.reset();
  }

  QString Song(int n) const { return dir.Path() + "music/" + QString::number(n) + ".mp3"; }
  int Index() const { return playlist->boxPlaylist->ItemIndex(); }
  void Select(int index) { playlist->boxPlaylist->SetItemIndex(index); }
  // Plays row `index` and clears what that recorded.
  void PlayRow(int index) {
    Select(index);
    main->PlayClick(nullptr);
    fake->opened.clear();
    fake->playFrom.clear();
  }
  void EndSong() {
    QVERIFY(fake->FinishSong());
    DeliverPostedNotices();
  }

  TTempProgramDir dir;
  TFakeDialogsScope dialogs;
  TFakeAudioEngine* fake = nullptr;
  std::unique_ptr<TformMain> main;
  std::unique_ptr<TformPlaylist> playlist;
};

}  // namespace

class TestFormMain : public QObject {
  Q_OBJECT
 private slots:
  void playWithoutSelectionPlaysFirst();
  void emptyListStartsNothing();
  void stateTable_data();
  void stateTable();
  void nextAndPrev_data();
  void nextAndPrev();
  void endOfSong_data();
  void endOfSong();
  void shuffleFollowsTheGenerator();
  void missingFilesAreSkipped_data();
  void missingFilesAreSkipped();
  void longRunOfMissingFilesKeepsTheStackFlat();
  void failedOpenShowsError();
  void lengthRecordedOnce();
  void readOnlyPlaylistStillPlays();
  void pauseThenPlayResumes();
  void noticesClearResumeAndSeeking_data();
  void noticesClearResumeAndSeeking();
  void failureNoticeStopsPlaying();
  void readOut_data();
  void readOut();
  void tickWithoutSongChangesNothing();
  void seeking_data();
  void seeking();
  void seekEndsWithTheStartingButton();
  void volume_data();
  void volume();
  void titleFollowsMode();
  void reentryDuringLengthRecording();
  void ejectAppendsWithoutLastdir();
  void ejectRefusesUnstorableNames();
  void repeatMenu();
  void outsideMovesKeepThePlaylistDocked();
  void lookAheadFollowsTheEndOfSongRules_data();
  void lookAheadFollowsTheEndOfSongRules();
  void lookAheadTakenBackByChanges_data();
  void lookAheadTakenBackByChanges();
  void openThatTakesItsTime();
  void outsideMovesOfThePlaylistKeepThePair_data();
  void outsideMovesOfThePlaylistKeepThePair();
};

void TestFormMain::playWithoutSelectionPlaysFirst() {
  TRig rig(3);
  rig.Select(-1);
  rig.main->PlayClick(nullptr);
  QCOMPARE(rig.Index(), 0);
  QCOMPARE(rig.fake->opened, QStringList{rig.Song(1)});
  QVERIFY(rig.main->Playing);
  QCOMPARE(rig.main->lablSongName->text(), QStringLiteral("1.mp3 (3:45)"));
}

void TestFormMain::emptyListStartsNothing() {
  TRig rig(0);
  rig.main->PlayClick(nullptr);
  rig.main->NextClick(nullptr);
  rig.main->PrevClick(nullptr);
  QCOMPARE(rig.fake->openCount, 0);
  QVERIFY(!rig.main->Playing);
  QCOMPARE(ApplicationTitle(), QStringLiteral("No Song Playing (Not ready)"));
}

// Rows of the playback state table: from a state, one action, the resulting state.
void TestFormMain::stateTable_data() {
  QTest::addColumn<QString>("from");
  QTest::addColumn<QString>("action");
  QTest::addColumn<bool>("playing");
  QTest::addColumn<bool>("paused");
  QTest::addColumn<int>("opens");        // further Opens caused by the action
  QTest::addColumn<qint64>("playFrom");  // last Play's start, -1 for none
  QTest::newRow("idle, play") << "idle"
                              << "play" << true << false << 1 << qint64(0);
  QTest::newRow("idle, pause") << "idle"
                               << "pause" << false << false << 0 << qint64(-1);
  QTest::newRow("idle, stop") << "idle"
                              << "stop" << false << false << 0 << qint64(-1);
  QTest::newRow("playing, play") << "playing"
                                 << "play" << true << false << 1 << qint64(0);
  QTest::newRow("playing, pause") << "playing"
                                  << "pause" << true << true << 0 << qint64(-1);
  QTest::newRow("playing, stop") << "playing"
                                 << "stop" << false << false << 0 << qint64(-1);
  QTest::newRow("paused, play") << "paused"
                                << "play" << true << false << 1 << qint64(4000);
  QTest::newRow("paused, pause") << "paused"
                                 << "pause" << true << false << 0 << qint64(4000);
  QTest::newRow("paused, stop") << "paused"
                                << "stop" << false << true << 0 << qint64(-1);
}

void TestFormMain::stateTable() {
  QFETCH(QString, from);
  QFETCH(QString, action);
  TRig rig(2);
  if (from != "idle") rig.PlayRow(0);
  if (from == "paused") {
    rig.fake->Advance(4000);
    rig.main->PauseClick(nullptr);
    rig.fake->playFrom.clear();
  }
  const int opensBefore = rig.fake->openCount;
  if (action == "play") rig.main->PlayClick(nullptr);
  if (action == "pause") rig.main->PauseClick(nullptr);
  if (action == "stop") rig.main->StopClick(nullptr);
  QTEST(rig.main->Playing, "playing");
  QTEST(rig.main->Paused, "paused");
  QTEST(rig.fake->openCount - opensBefore, "opens");
  QTEST(rig.fake->playFrom.isEmpty() ? qint64(-1) : qint64(rig.fake->playFrom.back()), "playFrom");
  if (action == "stop" && from != "idle") {
    QCOMPARE(rig.main->barSongProgress->Max(), 0);
    QCOMPARE(rig.main->lablTime->text(), QStringLiteral("0:00"));
    QCOMPARE(rig.main->ResumePosition, 0u);
  }
  // Only Pause swaps its image: Play from the paused state leaves the paused look.
  const bool pausedLook = rig.main->Pause->PictureName().contains("apause");
  QCOMPARE(pausedLook, rig.main->Paused || (from == "paused" && action == "play"));
}

void TestFormMain::nextAndPrev_data() {
  QTest::addColumn<QString>("op");
  QTest::addColumn<int>("mode");
  QTest::addColumn<int>("count");
  QTest::addColumn<int>("start");
  QTest::addColumn<bool>("playing");
  QTest::addColumn<int>("index");     // selection afterwards
  QTest::addColumn<int>("played");    // entry number opened by the operation, 0 for none
  QTest::addColumn<bool>("stopped");  // the song was stopped
  // No repeating.
  QTest::newRow("next, none, first") << "next" << 0 << 4 << 0 << false << 1 << 0 << false;
  QTest::newRow("next, none, middle, playing") << "next" << 0 << 4 << 1 << true << 2 << 3 << false;
  QTest::newRow("next, none, last, playing") << "next" << 0 << 4 << 3 << true << 3 << 0 << true;
  QTest::newRow("next, none, no selection") << "next" << 0 << 4 << -1 << false << 0 << 0 << false;
  QTest::newRow("prev, none, first, playing restarts")
      << "prev" << 0 << 4 << 0 << true << 0 << 1 << false;
  QTest::newRow("prev, none, middle") << "prev" << 0 << 4 << 2 << false << 1 << 0 << false;
  QTest::newRow("prev, none, no selection") << "prev" << 0 << 4 << -1 << false << -1 << 0 << false;
  // Repeat file: the current entry starts, playing or not.
  QTest::newRow("next, file, stopped") << "next" << 1 << 4 << 2 << false << 2 << 3 << false;
  QTest::newRow("next, file, playing") << "next" << 1 << 4 << 2 << true << 2 << 3 << false;
  QTest::newRow("prev, file, stopped") << "prev" << 1 << 4 << 2 << false << 2 << 3 << false;
  // Repeat playlist.
  QTest::newRow("next, playlist, last wraps") << "next" << 2 << 4 << 3 << true << 0 << 1 << false;
  QTest::newRow("next, playlist, middle") << "next" << 2 << 4 << 1 << false << 2 << 0 << false;
  QTest::newRow("prev, playlist, first wraps") << "prev" << 2 << 4 << 0 << true << 3 << 4 << false;
  QTest::newRow("prev, playlist, no selection")
      << "prev" << 2 << 4 << -1 << false << -1 << 0 << false;
  QTest::newRow("next, playlist, single") << "next" << 2 << 1 << 0 << true << 0 << 1 << false;
  QTest::newRow("prev, none, single, playing") << "prev" << 0 << 1 << 0 << true << 0 << 1 << false;
  QTest::newRow("next, none, single, playing") << "next" << 0 << 1 << 0 << true << 0 << 0 << true;
  // A mode outside 0..2 moves nothing.
  QTest::newRow("next, mode 7") << "next" << 7 << 4 << 1 << false << 1 << 0 << false;
}

void TestFormMain::nextAndPrev() {
  QFETCH(QString, op);
  QFETCH(int, mode);
  QFETCH(int, count);
  QFETCH(int, start);
  QFETCH(bool, playing);
  QFETCH(int, played);
  QFETCH(bool, stopped);
  TRig rig(count);
  if (playing) rig.PlayRow(start);
  rig.Select(start);
  rig.main->RepeatMode = mode;
  const int stopsBefore = rig.fake->stopCount;
  if (op == "next")
    rig.main->NextClick(nullptr);
  else
    rig.main->PrevClick(nullptr);
  QTEST(rig.Index(), "index");
  QCOMPARE(
      rig.fake->opened.isEmpty() ? 0 : rig.fake->opened.back().section('/', -1).chopped(4).toInt(),
      played);
  QCOMPARE(rig.fake->stopCount > stopsBefore, stopped);
  QCOMPARE(rig.main->ResumePosition, 0u);
}

void TestFormMain::endOfSong_data() {
  QTest::addColumn<int>("mode");
  QTest::addColumn<int>("start");
  QTest::addColumn<int>("index");
  QTest::addColumn<int>("played");
  QTest::addColumn<QString>("title");
  QTest::newRow("none, middle") << 0 << 1 << 2 << 3 << "3.mp3 (3:45) (Playing)";
  QTest::newRow("none, last stops") << 0 << 2 << 2 << 0 << "3.mp3 (3:45) (Stopped)";
  QTest::newRow("file repeats") << 1 << 1 << 1 << 2 << "2.mp3 (3:45) (Playing)";
  QTest::newRow("playlist, last wraps") << 2 << 2 << 0 << 1 << "1.mp3 (3:45) (Playing)";
}

void TestFormMain::endOfSong() {
  QFETCH(int, mode);
  QFETCH(int, start);
  QFETCH(int, played);
  TRig rig(3);
  rig.main->RepeatMode = mode;
  rig.PlayRow(start);
  rig.EndSong();
  QTEST(rig.Index(), "index");
  QCOMPARE(
      rig.fake->opened.isEmpty() ? 0 : rig.fake->opened.back().section('/', -1).chopped(4).toInt(),
      played);
  QTEST(ApplicationTitle(), "title");
  QCOMPARE(rig.main->Playing, played != 0);
}

void TestFormMain::shuffleFollowsTheGenerator() {
  // With the clock fixed, every choice reseeds alike: seed 0x12345678 gives index 7 of 10.
  TRig rig(10);
  rig.main->butnShuffleClick(nullptr);
  QVERIFY(rig.main->Shuffle);
  QVERIFY(rig.main->butnShuffle->PictureName().contains("shuffle1"));
  rig.PlayRow(0);
  rig.main->NextClick(nullptr);
  QCOMPARE(rig.Index(), 7);
  QCOMPARE(rig.fake->opened, QStringList{rig.Song(8)});
  rig.main->PrevClick(nullptr);
  QCOMPARE(rig.Index(), 7);
  // The end of a song consults shuffle through Next in modes 0 and 2.
  rig.main->RepeatMode = 2;
  rig.Select(2);
  rig.EndSong();
  QCOMPARE(rig.Index(), 7);
}

void TestFormMain::missingFilesAreSkipped_data() {
  QTest::addColumn<int>("mode");
  QTest::addColumn<QList<int>>("missing");
  QTest::addColumn<int>("start");
  QTest::addColumn<int>("played");
  QTest::newRow("2 and 3 missing, 4 plays") << 0 << QList<int>{2, 3} << 1 << 4;
  QTest::newRow("last missing in playlist mode, no wrap") << 2 << QList<int>{4} << 3 << 0;
  QTest::newRow("repeat file does not skip") << 1 << QList<int>{2} << 1 << 0;
  QTest::newRow("all after missing") << 0 << QList<int>{2, 3, 4} << 1 << 0;
}

void TestFormMain::missingFilesAreSkipped() {
  QFETCH(int, mode);
  QFETCH(QList<int>, missing);
  QFETCH(int, start);
  QFETCH(int, played);
  TRig rig(4, QSet<int>(missing.begin(), missing.end()));
  rig.main->RepeatMode = mode;
  rig.Select(start);
  rig.main->PlayClick(nullptr);
  QCOMPARE(
      rig.fake->opened.isEmpty() ? 0 : rig.fake->opened.back().section('/', -1).chopped(4).toInt(),
      played);
  QVERIFY(rig.dialogs->messages.isEmpty());
}

void TestFormMain::longRunOfMissingFilesKeepsTheStackFlat() {
  QSet<int> missing;
  for (int n = 1; n <= 10000; ++n) missing.insert(n);
  TRig rig(10001, missing, true);
  rig.Select(0);
  rig.main->PlayClick(nullptr);
  QCOMPARE(rig.fake->opened, QStringList{rig.Song(10001)});
  QCOMPARE(rig.Index(), 10000);
}

void TestFormMain::failedOpenShowsError() {
  TRig rig(2);
  rig.PlayRow(0);
  rig.fake->FailOpen(rig.Song(2), "cannot play");
  rig.Select(1);
  rig.main->PlayClick(nullptr);
  QCOMPARE(rig.dialogs->messages, QStringList{"Error"});
  QVERIFY(rig.fake->OpenFileName().isEmpty());  // the previous song was closed by the open
  QVERIFY(rig.main->Playing);                   // kept as it was
  // The half-second tick has no song to ask and stays quiet.
  ::TimeType = true;
  rig.main->timeProgressTimer(nullptr);
}

void TestFormMain::lengthRecordedOnce() {
  TRig rig(2);
  rig.fake->SetLength(rig.Song(1), 225999);
  rig.PlayRow(0);
  TIniFile file(rig.dir.File("lastplay.dat"));
  QCOMPARE(file.ReadString("playlist", "Length1", ""), QStringLiteral("225"));
  QCOMPARE(rig.playlist->boxPlaylist->Items().value(0), QStringLiteral("1. 1.mp3 (3:45)"));
  // An existing length is never rewritten.
  TIniFile(rig.dir.File("lastplay.dat")).WriteString("playlist", "Length1", "7");
  rig.main->PlayClick(nullptr);
  QCOMPARE(TIniFile(rig.dir.File("lastplay.dat")).ReadString("playlist", "Length1", ""),
           QStringLiteral("7"));
}

void TestFormMain::readOnlyPlaylistStillPlays() {
  TRig rig(2);
  const QByteArray before = rig.dir.Read("lastplay.dat");
  rig.dir.MakeReadOnly("lastplay.dat");
  rig.Select(0);
  rig.main->PlayClick(nullptr);
  QVERIFY(rig.main->Playing);
  QCOMPARE(rig.fake->playCount, 1);
  QVERIFY(rig.dialogs->messages.isEmpty());
  QCOMPARE(rig.dir.Read("lastplay.dat"), before);
}

void TestFormMain::pauseThenPlayResumes() {
  TRig rig(2);
  rig.PlayRow(0);
  rig.fake->Advance(61000);
  rig.main->PauseClick(nullptr);
  QCOMPARE(rig.main->ResumePosition, 61000u);
  rig.main->PlayClick(nullptr);
  QCOMPARE(rig.fake->playFrom.back(), 61000);
  QVERIFY(!rig.main->Paused);
  // Play leaves the Pause image alone.
  QVERIFY(rig.main->Pause->PictureName().contains("apause"));
}

void TestFormMain::noticesClearResumeAndSeeking_data() {
  QTest::addColumn<bool>("superseded");
  QTest::newRow("end of song") << false;
  QTest::newRow("superseded") << true;
}

void TestFormMain::noticesClearResumeAndSeeking() {
  QFETCH(bool, superseded);
  TRig rig(3);
  rig.main->RepeatMode = 7;  // nothing follows the end
  rig.PlayRow(0);
  rig.fake->Advance(3000);
  rig.main->PauseClick(nullptr);
  rig.main->Seeking = true;
  if (superseded) {
    rig.main->PlayClick(nullptr);  // starts at 3000; the first play is superseded
    rig.main->ResumePosition = 1234;
    DeliverPostedNotices();
  } else {
    rig.main->PauseClick(nullptr);  // continue
    rig.EndSong();
  }
  QCOMPARE(rig.main->ResumePosition, 0u);
  QVERIFY(!rig.main->Seeking);
}

void TestFormMain::failureNoticeStopsPlaying() {
  TRig rig(2);
  rig.PlayRow(0);
  QVERIFY(rig.fake->FailSong());
  DeliverPostedNotices();
  QVERIFY(!rig.main->Playing);
}

void TestFormMain::readOut_data() {
  QTest::addColumn<bool>("playing");
  QTest::addColumn<bool>("remaining");
  QTest::addColumn<qint64>("position");
  QTest::addColumn<QString>("text");
  QTest::newRow("elapsed, playing") << true << false << qint64(67000) << "1:07";
  QTest::newRow("remaining, playing") << true << true << qint64(67000) << "-2:38";
  QTest::newRow("remaining at 0") << true << true << qint64(0) << "-3:45";
  QTest::newRow("elapsed, nothing playing") << false << false << qint64(0) << "0:00";
  QTest::newRow("remaining, nothing playing") << false << true << qint64(0) << "-0:00";
}

void TestFormMain::readOut() {
  QFETCH(bool, playing);
  QFETCH(bool, remaining);
  QFETCH(qint64, position);
  TRig rig(1);
  if (playing) rig.PlayRow(0);
  rig.fake->SetPosition(position);
  // The click flips the type and shows it at once.
  if (remaining) rig.main->lablTimeClick(nullptr);
  QCOMPARE(::TimeType, remaining);
  if (playing) rig.main->timeProgressTimer(nullptr);
  QTEST(rig.main->lablTime->text(), "text");
  if (playing) QCOMPARE(rig.main->barSongProgress->Position(), int(position));
}

void TestFormMain::tickWithoutSongChangesNothing() {
  TRig rig(1);
  ::TimeType = true;
  rig.main->lablTime->setText("-0:00");
  rig.main->timeProgressTimer(nullptr);
  QCOMPARE(rig.main->lablTime->text(), QStringLiteral("-0:00"));
}

void TestFormMain::seeking_data() {
  QTest::addColumn<qint64>("length");
  QTest::addColumn<int>("pressX");
  QTest::addColumn<int>("releaseX");
  QTest::addColumn<int>("target");
  QTest::newRow("middle") << qint64(225000) << 160 << 160 << 112500;
  QTest::newRow("past the right end keeps the last value")
      << qint64(225000) << 300 << 400 << 210937;
  QTest::newRow("exactly the right end") << qint64(225000) << 10 << 320 << 225000;
  QTest::newRow("past the left end") << qint64(225000) << 100 << -5 << 70312;
  QTest::newRow("two hours, no overflow") << qint64(7200000) << 10 << 300 << 6750000;
}

void TestFormMain::seeking() {
  QFETCH(qint64, length);
  QFETCH(int, pressX);
  QFETCH(int, releaseX);
  TRig rig(1);
  rig.fake->SetLength(rig.Song(1), length);
  rig.PlayRow(0);
  rig.fake->Advance(5000);
  rig.main->lablTime->setText("0:05");
  rig.main->barSongProgressMouseDown(nullptr, Qt::LeftButton, pressX, 4);
  QVERIFY(rig.main->Seeking);
  QCOMPARE(rig.fake->State(), TEngineState::Paused);
  rig.main->barSongProgressMouseMove(nullptr, releaseX, 4);
  rig.main->timeProgressTimer(nullptr);
  QCOMPARE(rig.main->lablTime->text(), QStringLiteral("0:05"));  // frozen while dragging
  rig.main->barSongProgressMouseUp(nullptr, Qt::LeftButton, releaseX, 4);
  QVERIFY(!rig.main->Seeking);
  QTEST(rig.main->barSongProgress->Position(), "target");
  QTEST(int(rig.fake->playFrom.back()), "target");
  QCOMPARE(rig.fake->State(), TEngineState::Playing);
}

void TestFormMain::seekEndsWithTheStartingButton() {
  TRig rig(1);
  rig.PlayRow(0);
  rig.main->barSongProgressMouseDown(nullptr, Qt::RightButton, 100, 4);
  rig.main->barSongProgressMouseUp(nullptr, Qt::LeftButton, 900, 4);  // another button
  QVERIFY(rig.main->Seeking);
  rig.main->barSongProgressMouseUp(nullptr, Qt::RightButton, 900, 40);  // outside the bar
  QVERIFY(!rig.main->Seeking);
  QCOMPARE(rig.fake->State(), TEngineState::Playing);
  // Nothing plays: a press does nothing.
  TRig idle(1);
  idle.main->barSongProgressMouseDown(nullptr, Qt::LeftButton, 100, 4);
  QVERIFY(!idle.main->Seeking);
}

void TestFormMain::volume_data() {
  QTest::addColumn<QList<int>>("xs");
  QTest::addColumn<int>("position");
  QTest::newRow("x 0 silent") << QList<int>{0} << 0;
  QTest::newRow("x 1") << QList<int>{1} << 655;
  QTest::newRow("x 50 half") << QList<int>{50} << 32767;
  QTest::newRow("last column") << QList<int>{99} << 64879;
  QTest::newRow("one past the bar is full") << QList<int>{100} << 65535;
  QTest::newRow("further keeps the last value") << QList<int>{50, 101} << 32767;
  QTest::newRow("left of the bar keeps the last value") << QList<int>{30, -1} << 19660;
}

void TestFormMain::volume() {
  QFETCH(QList<int>, xs);
  QFETCH(int, position);
  TRig rig(0);
  rig.main->barVolumeMouseDown(nullptr, Qt::RightButton, xs.front(), 3);
  for (int x : xs) rig.main->barVolumeMouseMove(nullptr, x, 3);
  rig.main->barVolumeMouseUp(nullptr, Qt::RightButton, xs.back(), 3);
  QVERIFY(!rig.main->VolumeDragging);
  QCOMPARE(rig.main->barVolume->Position(), position);
  QCOMPARE(OutputVolume(), uint32_t(position) * 65537u);
  // A move without a press changes nothing.
  rig.main->barVolumeMouseMove(nullptr, 0, 3);
  QCOMPARE(rig.main->barVolume->Position(), position);
}

void TestFormMain::titleFollowsMode() {
  TRig rig(1);
  rig.main->StopClick(nullptr);
  QCOMPARE(ApplicationTitle(), QStringLiteral("1. 1.mp3 (0:00) (Not ready)"));
  rig.PlayRow(0);
  QCOMPARE(ApplicationTitle(), QStringLiteral("1.mp3 (3:45) (Playing)"));
  rig.main->PauseClick(nullptr);
  QCOMPARE(ApplicationTitle(), QStringLiteral("1.mp3 (3:45) (Paused)"));
  rig.main->StopClick(nullptr);
  QCOMPARE(ApplicationTitle(), QStringLiteral("1.mp3 (3:45) (Stopped)"));
  QCOMPARE(rig.main->windowTitle(), ApplicationTitle());
}

void TestFormMain::reentryDuringLengthRecording() {
  // The first play of an entry lets pending events run: a Next and a late notice arriving
  // there must leave a consistent state.
  TRig rig(3);
  rig.main->RepeatMode = 2;
  rig.PlayRow(0);
  QTimer::singleShot(0, rig.main.get(), [&] { rig.main->NextClick(nullptr); });
  rig.fake->FinishSong();
  rig.Select(1);
  rig.main->PlayClick(nullptr);
  DeliverPostedNotices();
  QVERIFY(rig.main->Playing);
  QCOMPARE(rig.fake->State(), TEngineState::Playing);
  QCOMPARE(rig.fake->OpenFileName(), rig.Song(rig.Index() + 1));
}

void TestFormMain::ejectAppendsWithoutLastdir() {
  TRig rig(1);
  const QString song = rig.dir.Write("other/new song.mp3", "");
  rig.dialogs->openFileAnswers.push_back(song);
  rig.main->EjectClick(nullptr);
  TIniFile file(rig.dir.File("lastplay.dat"));
  QCOMPARE(file.ReadString("playlist", "File2", ""), song);
  QCOMPARE(file.ReadString("playlist", "Title2", ""), QStringLiteral("new song.mp3"));
  QVERIFY(!file.ValueExists("playlist", "Length2"));
  QCOMPARE(rig.playlist->boxPlaylist->Count(), 2);
  QCOMPARE(rig.Index(), 0);
  QVERIFY(!TIniFile(rig.dir.File("settings.ini")).ValueExists("main", "lastdir"));
  QVERIFY(!rig.main->Playing);
}

// A line break in a folder's name could not be stored in the playlist.
void TestFormMain::ejectRefusesUnstorableNames() {
  TRig rig(1);
  const QByteArray before = rig.dir.Read("lastplay.dat");
  const QString song = rig.dir.File("new\nfolder/song.mp3");
  rig.dialogs->openFileAnswers.push_back(song);
  rig.main->EjectClick(nullptr);
  // The same message as Add File gives, and nothing written.
  QCOMPARE(rig.dialogs->messages, QStringList{UnstorableNamesMessage({song})});
  QCOMPARE(rig.dir.Read("lastplay.dat"), before);
  QCOMPARE(rig.playlist->boxPlaylist->Count(), 1);
}

void TestFormMain::repeatMenu() {
  TRig rig(1);
  rig.main->itemRepeatPlaylist->trigger();
  QCOMPARE(rig.main->RepeatMode, 2);
  QVERIFY(rig.main->itemRepeatPlaylist->isChecked());
  QVERIFY(!rig.main->itemRepeatNone->isChecked());
  QVERIFY(rig.main->butnRepeat->PictureName().contains("repeat2"));
  // Opening the menu shows the no-repeat image; closing it without a choice keeps the mode.
  rig.main->menuRepeatPopup(nullptr);
  QVERIFY(rig.main->butnRepeat->PictureName().contains("repeat0"));
  QCOMPARE(rig.main->RepeatMode, 2);
  rig.main->itemRepeatFile->trigger();
  QCOMPARE(rig.main->RepeatMode, 1);
  QVERIFY(rig.main->butnRepeat->PictureName().contains("repeat1"));
}

// A move the program did not make (window manager, xdotool) runs through the same snapping
// and docking as a drag, and the move that answers it is not answered again.
void TestFormMain::outsideMovesKeepThePlaylistDocked() {
  TRig rig(2);
  const QPoint origin = QGuiApplication::primaryScreen()->availableGeometry().topLeft();
  rig.main->show();
  rig.playlist->show();
  QVERIFY(QTest::qWaitForWindowExposed(rig.main.get()));
  QWindow* window = rig.main->windowHandle();
  window->setPosition(origin + QPoint(9, 150));  // near the left edge: snapped
  QTRY_COMPARE(rig.main->pos(), origin + QPoint(0, 150));
  QTRY_COMPARE(rig.playlist->pos(), origin + QPoint(0, 266));
  // A window manager that puts the window back where it wanted it wins: no tug of war.
  window->setPosition(origin + QPoint(9, 150));
  QTRY_COMPARE(rig.main->pos(), origin + QPoint(9, 150));
  QTRY_COMPARE(rig.playlist->pos(), origin + QPoint(9, 266));
}

// Gapless: asked by the device, the player queues the song the end of the playing one leads
// to; at the end, that song is taken over as it plays (no second open) and shown.
void TestFormMain::lookAheadFollowsTheEndOfSongRules_data() {
  QTest::addColumn<int>("mode");
  QTest::addColumn<bool>("shuffle");
  QTest::addColumn<int>("row");
  QTest::addColumn<QList<int>>("missing");
  QTest::addColumn<int>("queued");  // entry number, 0 for none
  QTest::newRow("no repeating, middle row") << 0 << false << 1 << QList<int>{} << 3;
  QTest::newRow("no repeating, last row: nothing") << 0 << false << 3 << QList<int>{} << 0;
  QTest::newRow("repeat file: the same song") << 1 << false << 2 << QList<int>{} << 3;
  QTest::newRow("repeat playlist, last row: the first") << 2 << false << 3 << QList<int>{} << 1;
  QTest::newRow("next file missing: not foreseen") << 0 << false << 0 << QList<int>{2} << 0;
  QTest::newRow("shuffle: the pick drawn ahead") << 0 << true << 0 << QList<int>{} << -1;
}

void TestFormMain::lookAheadFollowsTheEndOfSongRules() {
  QFETCH(int, mode);
  QFETCH(bool, shuffle);
  QFETCH(int, row);
  QFETCH(QList<int>, missing);
  QFETCH(int, queued);
  TRig rig(4, QSet<int>(missing.begin(), missing.end()));
  // Every reseed a new seed: a pick made again would differ from the one drawn ahead.
  uint32_t clock = 1;
  rig.main->ShuffleChoice().Clock = [&clock] { return clock += 0x9E3779B9u; };
  rig.main->RepeatMode = mode;
  rig.main->Shuffle = shuffle;
  rig.PlayRow(row);
  rig.fake->WantNext();
  DeliverPostedNotices();
  if (queued < 0) {  // shuffled: whichever row was drawn, it is the one queued and played
    QTRY_VERIFY(!rig.fake->Queued().isEmpty());
    queued = rig.fake->Queued().section('/', -1).section('.', 0, 0).toInt();
  }
  QTRY_COMPARE(rig.fake->Queued(), queued ? rig.Song(queued) : QString());
  if (!queued) return;
  const int opens = rig.fake->openCount;
  rig.EndSong();
  QCOMPARE(rig.fake->openCount, opens);  // taken over, not opened again
  QCOMPARE(rig.Index(), queued - 1);
  QCOMPARE(rig.fake->OpenFileName(), rig.Song(queued));
  QVERIFY(rig.main->Playing);
  QCOMPARE(rig.main->lablSongName->text(), QString("%1.mp3 (3:45)").arg(queued));
  QVERIFY2(ApplicationTitle().endsWith("(Playing)"), qPrintable(ApplicationTitle()));
}

// Whatever could change the end-of-song choice takes the queued song back and chooses again;
// what cannot, leaves it.
void TestFormMain::lookAheadTakenBackByChanges_data() {
  QTest::addColumn<QString>("change");
  QTest::addColumn<int>("requeued");  // entry number queued afterwards, 0 for none
  QTest::newRow("a click on another row") << "click" << 4;
  QTest::newRow("an edit of the playlist") << "edit" << 3;
  QTest::newRow("repeat mode") << "repeat" << 2;
  QTest::newRow("shuffle") << "shuffle" << -1;
  QTest::newRow("stop") << "stop" << 0;
  QTest::newRow("a seek (asked for again by the new play)") << "seek" << 3;
  QTest::newRow("volume: kept") << "volume" << 3;
}

void TestFormMain::lookAheadTakenBackByChanges() {
  QFETCH(QString, change);
  QFETCH(int, requeued);
  TRig rig(4);
  rig.PlayRow(1);
  rig.playlist->show();
  QVERIFY(QTest::qWaitForWindowExposed(rig.playlist.get()));
  rig.fake->WantNext();
  DeliverPostedNotices();
  QTRY_COMPARE(rig.fake->Queued(), rig.Song(3));
  if (change == "click") {
    const QRect third = rig.playlist->boxPlaylist->ItemRect(2);
    QTest::mouseClick(rig.playlist->boxPlaylist->viewport(), Qt::LeftButton, {}, third.center());
    QCOMPARE(rig.Index(), 2);
  } else if (change == "edit") {
    TPlaylistFile().AppendEntry(rig.Song(1), TAppendOrder::FileFirst);
    rig.playlist->UpdatePlaylist();
  } else if (change == "repeat") {
    rig.main->itemRepeatFileClick(rig.main->itemRepeatFile);
  } else if (change == "shuffle") {
    rig.main->butnShuffleClick(rig.main->butnShuffle);
  } else if (change == "stop") {
    rig.main->StopClick(rig.main->Stop);
  } else if (change == "seek") {
    rig.main->SeekTo(1000);
    rig.fake->WantNext();
    DeliverPostedNotices();
  } else if (change == "volume") {
    rig.main->SetVolume(1000);
  }
  QCoreApplication::processEvents();
  QCOMPARE(rig.fake->dropCount > 0, change != "volume");
  if (requeued < 0) {
    QTRY_VERIFY(!rig.fake->Queued().isEmpty());
  } else {
    QTRY_COMPARE(rig.fake->Queued(), requeued ? rig.Song(requeued) : QString());
  }
  QCOMPARE(rig.fake->queuedLog.size(), change == "volume" ? 1 : requeued ? 2 : 1);
}

// An open that waits for a slow disk: Play returns at once; the label, length and title come
// when the song is open; Stop meanwhile calls the song off, and the title says nothing plays.
void TestFormMain::openThatTakesItsTime() {
  TRig rig(3);
  rig.fake->holdOpens = true;
  rig.Select(0);
  rig.main->PlayClick(nullptr);
  QVERIFY(!rig.main->Playing);
  QVERIFY(rig.fake->OpenHeld());
  QVERIFY(rig.fake->FinishOpen());
  DeliverPostedNotices();  // reported from the engine's own thread
  QVERIFY(rig.main->Playing);
  QCOMPARE(rig.main->lablSongName->text(), QStringLiteral("1.mp3 (3:45)"));
  QVERIFY2(ApplicationTitle().endsWith("(Playing)"), qPrintable(ApplicationTitle()));
  // The next song opens; Stop before it is open.
  rig.main->NextClick(rig.main->Next);
  QVERIFY(rig.fake->OpenHeld());
  rig.main->StopClick(rig.main->Stop);
  QVERIFY(!rig.fake->OpenHeld());
  QVERIFY(!rig.main->Playing);
  QVERIFY(!rig.fake->FinishOpen());
  QVERIFY(rig.dialogs->errors.isEmpty());
  QVERIFY(rig.dialogs->messages.isEmpty());
  QCOMPARE(rig.fake->playCount, 1);
}

// A window manager's Alt+drag of the playlist (or a tool's move) takes the player along,
// snapped as its own moves are; a move it insists on is followed exactly.
void TestFormMain::outsideMovesOfThePlaylistKeepThePair_data() {
  QTest::addColumn<QPoint>("moved");
  QTest::addColumn<QPoint>("player");
  QTest::newRow("free place") << QPoint(200, 300) << QPoint(200, 184);
  QTest::newRow("too high for the player") << QPoint(9, 120) << QPoint(0, 0);
}

void TestFormMain::outsideMovesOfThePlaylistKeepThePair() {
  QFETCH(QPoint, moved);
  QFETCH(QPoint, player);
  TRig rig(2);
  const QPoint origin = QGuiApplication::primaryScreen()->availableGeometry().topLeft();
  rig.main->show();
  rig.playlist->show();
  QVERIFY(QTest::qWaitForWindowExposed(rig.playlist.get()));
  for (const QPoint& expected : {player, moved - QPoint(0, 116)}) {
    rig.playlist->windowHandle()->setPosition(origin + moved);
    QTRY_COMPARE(rig.main->pos(), origin + expected);
    QTRY_COMPARE(rig.playlist->pos(), origin + expected + QPoint(0, 116));
  }
}

QTEST_MAIN(TestFormMain)
#include "tst_formmain.moc"
