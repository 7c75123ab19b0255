// SDL is loaded only when the output is first wanted, and then off the caller's thread; its
// audio subsystem runs exactly while a session is started, whatever order sessions end in, and
// SDL is shut down entirely once the last one goes.

#include <SDL.h>

#include <QTest>
#include <memory>

#include "audio/mpg123sdlengine.h"
#include "audio/sdlaudiosession.h"
#include "audio/sdllibrary.h"

class TestSdlAudioSession : public QObject {
  Q_OBJECT

 private slots:
  // First: nothing before it in this program may have wanted the output.
  void loadedOnlyWhenTheOutputIsWanted() {
    qputenv("SDL_AUDIODRIVER", "dummy");
    TMpg123SdlEngine engine;
    QVERIFY(!SdlLoaded());
    engine.Prepare();  // returns at once; the load and the device follow on a thread
    QTRY_VERIFY(SdlLoaded());
    QTRY_VERIFY(TSdlAudioSession::Users() == 1);
  }

  void runsWhileAnySessionIsStarted_data() {
    QTest::addColumn<QString>("steps");  // A-C: start that session, a-c: end it
    QTest::newRow("two, the first ends first") << "ABab";
    QTest::newRow("started twice, ended once, then another") << "AAaBb";
    QTest::newRow("three, interleaved") << "ABaCbc";
  }

  void runsWhileAnySessionIsStarted() {
    QFETCH(QString, steps);
    qputenv("SDL_AUDIODRIVER", "dummy");
    std::unique_ptr<TSdlAudioSession> sessions[3];
    for (const QChar step : steps) {
      const int which = step.toLower().unicode() - 'a';
      if (step.isUpper()) {
        if (!sessions[which]) sessions[which] = std::make_unique<TSdlAudioSession>();
        QVERIFY2(sessions[which]->Start(), SDL_GetError());
        QVERIFY(sessions[which]->Started());
      } else {
        sessions[which].reset();
      }
      int started = 0;
      for (const auto& session : sessions) started += session != nullptr;
      QCOMPARE(TSdlAudioSession::Users(), started);
      QCOMPARE(SDL_WasInit(SDL_INIT_AUDIO) != 0, started > 0);
    }
    // Everything SDL set up is gone with the last session.
    QCOMPARE(SDL_WasInit(0), Uint32(0));
  }

  void failedStartLeavesNothingRunning() {
    qputenv("SDL_AUDIODRIVER", "nosuchdriver");
    {
      TSdlAudioSession session;
      QVERIFY(!session.Start());
      QVERIFY(!session.Started());
      QCOMPARE(TSdlAudioSession::Users(), 0);
    }
    QCOMPARE(SDL_WasInit(0), Uint32(0));
  }
};

QTEST_GUILESS_MAIN(TestSdlAudioSession)
#include "tst_sdlaudiosession.moc"
