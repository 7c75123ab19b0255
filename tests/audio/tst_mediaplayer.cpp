// TMediaPlayer's own rules, against the scripted engine: one completion notice per Play with
// the right result, delivered as a posted event; the errors of a device with no song open;
// the start position used once; modes; opens that take their time; a next song that takes
// over without a gap.

#include <QSignalSpy>
#include <QTest>
#include <optional>

#include "audio/mediaplayer.h"
#include "platform/errors.h"
#include "support/fakeaudioengine.h"

class TestMediaPlayer : public QObject {
  Q_OBJECT

  // A player over a fake, with every notice's result recorded as OnNotify fires.
  struct TRig {
    TFakeAudioEngine* fake;
    TMediaPlayer player;
    QList<int> notices;
    TRig() : TRig(std::make_unique<TFakeAudioEngine>()) {}
    explicit TRig(std::unique_ptr<TFakeAudioEngine> engine)
        : fake(engine.get()), player(std::move(engine)) {
      QObject::connect(&player, &TMediaPlayer::OnNotify, &player, [this](QObject* sender) {
        QCOMPARE(sender, &player);
        notices << player.NotifyResult();
      });
      player.SetFileName("/music/a.mp3");
    }
  };

  // Opens FileName; what the open reported ("" when open), or "pending" when it did not finish
  // inside the call.
  static QString Open(TMediaPlayer& player) {
    std::optional<QString> result;
    player.Open([&](const QString& error) { result = error; });
    return result.value_or("pending");
  }

  static QString ErrorOf(const std::function<void()>& operation) {
    try {
      operation();
    } catch (const EMCIDeviceError& e) {
      return e.Message();
    }
    return {};
  }

 private slots:
  void notices_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QList<int>>("expected");
    // Steps: open, play, pause, stop, close, seek, finish (the song ends), fail (decoding
    // breaks), deliver (posted notices run). Remaining notices are delivered at the end.
    QTest::newRow("played to the end") << "open play finish" << QList<int>{nvSuccessful};
    QTest::newRow("decoding broke") << "open play fail" << QList<int>{nvFailure};
    QTest::newRow("second play supersedes the first")
        << "open play deliver play finish" << QList<int>{nvSuperseded, nvSuccessful};
    QTest::newRow("stop aborts") << "open play stop" << QList<int>{nvAborted};
    QTest::newRow("close aborts") << "open play close" << QList<int>{nvAborted};
    QTest::newRow("reopening aborts") << "open play open" << QList<int>{nvAborted};
    QTest::newRow("stop while paused aborts") << "open play pause stop" << QList<int>{nvAborted};
    QTest::newRow("pause keeps the notice pending") << "open play pause" << QList<int>{};
    QTest::newRow("continuing keeps the same notice")
        << "open play pause pause finish" << QList<int>{nvSuccessful};
    QTest::newRow("seek posts nothing of its own")
        << "open play seek finish" << QList<int>{nvSuccessful};
    QTest::newRow("seek while stopped posts nothing") << "open seek" << QList<int>{};
    QTest::newRow("stop with nothing playing posts nothing") << "open stop stop" << QList<int>{};
    QTest::newRow("a second stop posts nothing more")
        << "open play stop stop" << QList<int>{nvAborted};
    QTest::newRow("end not yet handled, then Play: superseded, never successful")
        << "open play finish play finish" << QList<int>{nvSuperseded, nvSuccessful};
    QTest::newRow("end not yet handled, then Stop: aborted only")
        << "open play finish stop" << QList<int>{nvAborted};
    QTest::newRow("end not yet handled, then Close: aborted only")
        << "open play finish close" << QList<int>{nvAborted};
    QTest::newRow("failure not yet handled, then Play")
        << "open play fail play stop" << QList<int>{nvSuperseded, nvAborted};
    QTest::newRow("end handled, then Stop: nothing more")
        << "open play finish deliver stop" << QList<int>{nvSuccessful};
    QTest::newRow("three plays in a row")
        << "open play play play finish" << QList<int>{nvSuperseded, nvSuperseded, nvSuccessful};
  }

  void notices() {
    QFETCH(QString, script);
    QFETCH(QList<int>, expected);
    TRig rig;
    int plays = 0;
    for (const QString& step : script.split(' ')) {
      if (step == "open")
        QCOMPARE(Open(rig.player), "");
      else if (step == "play")
        ++plays, rig.player.Play();
      else if (step == "pause")
        rig.player.Pause();
      else if (step == "stop")
        rig.player.Stop();
      else if (step == "close")
        rig.player.Close();
      else if (step == "seek")
        rig.player.SetPosition(1000);
      else if (step == "finish")
        QVERIFY(rig.fake->FinishSong());
      else if (step == "fail")
        QVERIFY(rig.fake->FailSong());
      else if (step == "deliver")
        DeliverPostedNotices();
      else
        QFAIL(qPrintable("unknown step " + step));
    }
    DeliverPostedNotices();
    QCOMPARE(rig.notices, expected);
    // Every Play owes exactly one notice; the ones not yet given are still pending.
    QVERIFY(rig.notices.size() <= plays);
  }

  void noticeIsPostedNotCalled() {
    TRig rig;
    Open(rig.player);
    rig.player.Play();
    rig.fake->FinishSong();
    QVERIFY(rig.notices.isEmpty());
    rig.player.Play();  // the superseded notice is posted too
    QVERIFY(rig.notices.isEmpty());
    DeliverPostedNotices();
    QCOMPARE(rig.notices, QList<int>{nvSuperseded});
  }

  void noticeOfDestroyedPlayerIsDropped() {
    auto engine = std::make_unique<TFakeAudioEngine>();
    TFakeAudioEngine* fake = engine.get();
    auto* player = new TMediaPlayer(std::move(engine));
    player->SetFileName("/music/a.mp3");
    Open(*player);
    player->Play();
    fake->FinishSong();
    delete player;
    DeliverPostedNotices();  // must not touch the deleted player
  }

  void closedDeviceErrors_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("error");
    QTest::newRow("Play") << "play"
                          << "No MCI device open";
    QTest::newRow("Pause") << "pause"
                           << "No MCI device open";
    QTest::newRow("Stop") << "stop"
                          << "No MCI device open";
    QTest::newRow("Position :=") << "seek"
                                 << "No MCI device open";
    QTest::newRow("Length") << "length"
                            << "No MCI device open";
    QTest::newRow("Position") << "position"
                              << "";
    QTest::newRow("Mode") << "mode"
                          << "";
    QTest::newRow("Close") << "close"
                           << "";
  }

  void closedDeviceErrors() {
    QFETCH(QString, operation);
    QFETCH(QString, error);
    // Never opened, and closed by an Open that failed: the same.
    for (bool failedOpen : {false, true}) {
      TRig rig;
      if (failedOpen) {
        Open(rig.player);
        rig.player.Play();
        rig.fake->FailOpen("/music/b.mp3", "\"/music/b.mp3\" is empty");
        rig.player.SetFileName("/music/b.mp3");
        QCOMPARE(Open(rig.player), "\"/music/b.mp3\" is empty");
      }
      const int playsBefore = rig.fake->playCount;
      const QString got = ErrorOf([&] {
        if (operation == "play") rig.player.Play();
        if (operation == "pause") rig.player.Pause();
        if (operation == "stop") rig.player.Stop();
        if (operation == "seek") rig.player.SetPosition(100);
        if (operation == "length") rig.player.Length();
        if (operation == "position") QCOMPARE(rig.player.Position(), 0);
        if (operation == "mode") QCOMPARE(rig.player.Mode(), mpNotReady);
        if (operation == "close") rig.player.Close();
      });
      QCOMPARE(got, error);
      QCOMPARE(rig.fake->playCount, playsBefore);  // nothing reached the engine
      QVERIFY(!rig.player.IsOpen());
      DeliverPostedNotices();
      // The failed Open closed the song that was playing: its Play was aborted.
      QCOMPARE(rig.notices, failedOpen ? QList<int>{nvAborted} : QList<int>{});
    }
  }

  void startPositionIsForTheNextPlayOnly() {
    TRig rig;
    Open(rig.player);
    rig.player.SetStartPosition(5000);
    rig.player.Play();
    rig.fake->Advance(700);
    rig.player.Stop();
    rig.player.Play();  // from where it stopped, not from 5000 again
    rig.player.SetStartPosition(0);
    rig.player.Play();
    QCOMPARE(rig.fake->playFrom, (QList<int64_t>{5000, 5700, 0}));
    QCOMPARE(rig.player.StartPosition(), 0);
  }

  void continuingFromPauseStartsAtThePausePoint() {
    TRig rig;
    Open(rig.player);
    rig.player.Play();
    rig.fake->Advance(1234);
    rig.player.Pause();
    QCOMPARE(rig.player.Mode(), mpPaused);
    rig.fake->Advance(5000);  // the clock does not run while paused
    QCOMPARE(rig.player.Position(), 1234);
    rig.player.Pause();
    QCOMPARE(rig.player.Mode(), mpPlaying);
    QCOMPARE(rig.fake->playFrom.last(), 1234);
  }

  void pauseWhenNotPlayingDoesNothing() {
    TRig rig;
    Open(rig.player);
    rig.player.Pause();
    QCOMPARE(rig.player.Mode(), mpStopped);
    QCOMPARE(rig.fake->pauseCount, 0);
    QCOMPARE(rig.fake->playCount, 0);
  }

  void modes_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("mode");
    QTest::newRow("nothing open") << "" << int(mpNotReady);
    QTest::newRow("opened") << "open" << int(mpStopped);
    QTest::newRow("playing") << "open play" << int(mpPlaying);
    QTest::newRow("paused") << "open play pause" << int(mpPaused);
    QTest::newRow("stopped") << "open play stop" << int(mpStopped);
    QTest::newRow("played to the end") << "open play finish" << int(mpStopped);
    QTest::newRow("closed") << "open play close" << int(mpNotReady);
  }

  void modes() {
    QFETCH(QString, script);
    QFETCH(int, mode);
    TRig rig;
    for (const QString& step : script.split(' ', Qt::SkipEmptyParts)) {
      if (step == "open") Open(rig.player);
      if (step == "play") rig.player.Play();
      if (step == "pause") rig.player.Pause();
      if (step == "stop") rig.player.Stop();
      if (step == "finish") rig.fake->FinishSong();
      if (step == "close") rig.player.Close();
    }
    QCOMPARE(int(rig.player.Mode()), mode);
    QCOMPARE(QString(ModeNames[rig.player.Mode()]).isEmpty(), false);
  }

  void openPassesFileNameAndLength() {
    TRig rig;
    rig.fake->SetLength("/music/a.mp3", 225000);
    rig.player.SetDeviceType(dtAutoSelect);
    Open(rig.player);
    QCOMPARE(rig.fake->OpenFileName(), "/music/a.mp3");
    QCOMPARE(rig.player.Length(), 225000);
    QCOMPARE(rig.player.DeviceType(), dtAutoSelect);
  }

  // An open that takes its time: the device has no song meanwhile, yet nothing raises and
  // nothing reaches the engine; only the last Open asked for reports, and the song an Open
  // closed is told aborted only after the open is over, so its resume point is still there.
  void slowOpen_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("reports");  // the opens' done calls, in order
    QTest::addColumn<QList<int>>("notices");
    QTest::newRow("operations while opening are quiet")
        << "open play pause stop seek length finishopen"
        << "a:" << QList<int>{};
    QTest::newRow("a second open supersedes the first") << "open openb finishopen"
                                                        << "b:" << QList<int>{};
    QTest::newRow("called off: no report, no song, quiet") << "open cancel play stop finishopen"
                                                           << "" << QList<int>{};
    QTest::newRow("the closed play's notice follows the report")
        << "now play open deliver nonotice finishopen deliver"
        << "a: a:" << QList<int>{nvAborted};
    QTest::newRow("...also when called off") << "now play open cancel deliver"
                                             << "a:" << QList<int>{nvAborted};
    QTest::newRow("a failed open reports why") << "failb openb finishopen"
                                               << "b:broken" << QList<int>{};
  }

  void slowOpen() {
    QFETCH(QString, script);
    QFETCH(QString, reports);
    QFETCH(QList<int>, notices);
    TRig rig;
    rig.fake->holdOpens = true;
    QStringList done;
    auto open = [&](const QString& file) {
      rig.player.SetFileName(file);
      rig.player.Open(
          [&done, file](const QString& error) { done << file.mid(7, 1) + ":" + error; });
    };
    for (const QString& step : script.split(' ')) {
      if (step == "now") {
        rig.fake->holdOpens = false;
        open("/music/a.mp3");
        rig.fake->holdOpens = true;
      } else if (step == "open" || step == "openb") {
        open(step == "open" ? "/music/a.mp3" : "/music/b.mp3");
        QCOMPARE(rig.player.Mode(), mpOpen);
        QVERIFY(rig.player.Opening());
      } else if (step == "failb") {
        rig.fake->FailOpen("/music/b.mp3", "broken");
      } else if (step == "finishopen") {
        rig.fake->FinishOpen();
      } else if (step == "cancel") {
        rig.player.CancelOpen();
        QVERIFY(!rig.player.Opening());
        QVERIFY(!rig.fake->OpenHeld());
      } else if (step == "deliver") {
        DeliverPostedNotices();
      } else if (step == "nonotice") {
        QVERIFY(rig.notices.isEmpty());
      } else {
        const int before =
            rig.fake->playCount + rig.fake->pauseCount + rig.fake->stopCount + rig.fake->seekCount;
        QCOMPARE(ErrorOf([&] {
                   if (step == "play") rig.player.Play();
                   if (step == "pause") rig.player.Pause();
                   if (step == "stop") rig.player.Stop();
                   if (step == "seek") rig.player.SetPosition(100);
                   if (step == "length") QCOMPARE(rig.player.Length(), 0);
                 }),
                 QString());
        if (!rig.player.IsOpen())
          QCOMPARE(rig.fake->playCount + rig.fake->pauseCount + rig.fake->stopCount +
                       rig.fake->seekCount,
                   before);
      }
    }
    DeliverPostedNotices();
    QCOMPARE(done.join(' '), reports);
    QCOMPARE(rig.notices, notices);
  }

  // Gapless: at the end of a song the queued one plays on. The end-of-song handling that
  // opens that very file takes it over as it plays (no new open, no restart); one that opens
  // something else, or nothing, ends it.
  void nextSongTakesOver_data() {
    QTest::addColumn<QString>("onEnd");       // what the end-of-song handling does
    QTest::addColumn<int>("engineOpens");     // Opens that reached the engine in all
    QTest::addColumn<int>("enginePlays");     // and Plays
    QTest::addColumn<QString>("openAfter");   // the engine's song afterwards
    QTest::addColumn<QList<int>>("notices");  // with the taken-over song played to its end
    QTest::newRow("plays the queued song: taken over")
        << "rewind same" << 1 << 1 << "/music/b.mp3" << QList<int>{nvSuccessful, nvSuccessful};
    QTest::newRow("plays another song")
        << "other" << 2 << 2 << "/music/c.mp3" << QList<int>{nvSuccessful, nvSuccessful};
    QTest::newRow("plays nothing: the queued song is closed")
        << "" << 1 << 1 << "" << QList<int>{nvSuccessful};
    QTest::newRow("dropped before the end: no take-over")
        << "drop same" << 2 << 2 << "/music/b.mp3" << QList<int>{nvSuccessful, nvSuccessful};
    QTest::newRow("taken over, then started elsewhere")
        << "same from" << 1 << 2 << "/music/b.mp3" << QList<int>{nvSuccessful, nvSuccessful};
  }

  void nextSongTakesOver() {
    QFETCH(QString, onEnd);
    QFETCH(int, engineOpens);
    QFETCH(int, enginePlays);
    QFETCH(QString, openAfter);
    QFETCH(QList<int>, notices);
    TRig rig;
    QCOMPARE(Open(rig.player), "");
    rig.player.Play();
    rig.player.QueueNext("/music/b.mp3");
    QCOMPARE(rig.fake->Queued(), "/music/b.mp3");
    const QStringList steps = onEnd.split(' ', Qt::SkipEmptyParts);
    if (steps.contains("drop")) rig.player.DropNext();
    bool handled = false;
    QObject::connect(&rig.player, &TMediaPlayer::OnNotify, &rig.player, [&] {
      if (std::exchange(handled, true)) return;
      for (const QString& step : steps) {
        if (step == "rewind") rig.player.SetPosition(0);
        if (step == "same" || step == "other") {
          rig.player.SetFileName(step == "same" ? "/music/b.mp3" : "/music/c.mp3");
          QCOMPARE(Open(rig.player), "");
          if (steps.contains("from")) rig.player.SetStartPosition(900);
          rig.player.Play();
        }
      }
    });
    rig.fake->Advance(1000);
    QVERIFY(rig.fake->FinishSong());
    DeliverPostedNotices();
    QVERIFY(handled);
    QCOMPARE(rig.fake->openCount, engineOpens);
    QCOMPARE(rig.fake->playCount, enginePlays);
    QVERIFY(rig.fake->seeks.isEmpty());  // the rewind of the ended song touched nothing
    QCOMPARE(rig.fake->OpenFileName(), openAfter);
    if (!openAfter.isEmpty()) {
      QCOMPARE(rig.player.Mode(), mpPlaying);
      QVERIFY(rig.fake->FinishSong());
    }
    DeliverPostedNotices();
    QCOMPARE(rig.notices, notices);
  }

  void factoryScopeSuppliesEngines() {
    TFakeAudioEngineScope scope;
    TMediaPlayer player;
    TMediaPlayer second(nullptr);
    QCOMPARE(scope.Made().size(), 2);
    QCOMPARE(&player.Engine(), scope.Made().first());
    QCOMPARE(&second.Engine(), scope.Last());
  }
};

QTEST_GUILESS_MAIN(TestMediaPlayer)
#include "tst_mediaplayer.moc"
