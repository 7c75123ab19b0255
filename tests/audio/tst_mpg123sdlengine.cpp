// The real engine (libmpg123 + SDL's real-time dummy output) behind TMediaPlayer: exact lengths,
// refusal of files that are no playable MP3, position, pause, seek, the completion notices;
// state that stays readable while a read of the song stalls; an output that is closed and a
// decoder that sleeps while nothing plays; ring underruns counted.

#include <sys/stat.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <memory>
#include <optional>

#include "audio/mediaplayer.h"
#include "audio/mp3decoder.h"
#include "audio/mpg123sdlengine.h"
#include "mp3fixtures.h"
#include "platform/errors.h"
#include "stallgate.h"
#include "support/openwait.h"

namespace {

constexpr int kNoticeTimeoutMs = 10000;

// A media player over the real engine with its notices recorded.
struct TRig {
  TMediaPlayer player;
  QList<int> notices;
  explicit TRig(const QString& fileName = {}) {
    QObject::connect(&player, &TMediaPlayer::OnNotify, &player,
                     [this] { notices << player.NotifyResult(); });
    if (!fileName.isEmpty()) {
      const QString error = OpenAndWait(player, fileName);
      if (!error.isEmpty()) qWarning("%s", qPrintable(error));
    }
  }
};

QString ErrorOf(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const EMCIDeviceError& e) {
    return e.Message();
  }
  return {};
}

TMpg123SdlEngine& EngineOf(TRig& rig) {
  return dynamic_cast<TMpg123SdlEngine&>(rig.player.Engine());
}

// Context switches (voluntary and involuntary) summed over this process's threads whose name
// starts with prefix; -1 when there is no such thread.
int64_t SwitchesOf(const QByteArray& prefix) {
  int64_t total = -1;
  for (const QString& task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    QFile status("/proc/self/task/" + task + "/status");
    if (!status.open(QIODevice::ReadOnly)) continue;
    const QList<QByteArray> lines = status.readAll().split('\n');
    if (!lines.value(0).mid(5).trimmed().startsWith(prefix)) continue;
    total = qMax<int64_t>(total, 0);
    for (const QByteArray& line : lines)
      if (line.contains("ctxt_switches:"))
        total += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
  }
  return total;
}

}  // namespace

class TestMpg123SdlEngine : public QObject {
  Q_OBJECT

  TMp3Fixtures fixtures_;
  QMap<QString, TMp3Fixture> songs_;

 private slots:
  void initTestCase() {
    QVERIFY(fixtures_.Valid());
    struct {
      const char* name;
      long rate;
      int channels;
      int64_t frames;
      QStringList lame;
    } const specs[] = {
        {"cbr128.mp3", 44100, 2, 66011, {"-b", "128"}},
        {"cbr192.mp3", 44100, 2, 66011, {"-b", "192"}},
        {"cbr320.mp3", 44100, 2, 66011, {"-b", "320"}},
        {"vbr.mp3", 44100, 2, 70001, {"-V", "2"}},
        {"vbrnotag.mp3", 44100, 2, 70001, {"-V", "2", "-t"}},
        {"mono22.mp3", 22050, 1, 33333, {"-m", "m", "-b", "64"}},
        {"rate48.mp3", 48000, 2, 72000, {"-b", "192"}},
        {"short1s.mp3", 44100, 2, 44100, {"-b", "128"}},
        {"long6s.mp3", 44100, 2, 6 * 44100, {"-b", "320"}},
    };
    for (const auto& spec : specs) {
      const TMp3Fixture song =
          fixtures_.Make(spec.name, spec.rate, spec.channels, spec.frames, spec.lame);
      QVERIFY2(!song.path.isEmpty(), spec.name);
      songs_[spec.name] = song;
    }
    TMp3Fixture tagged = songs_["cbr128.mp3"];
    tagged.path = fixtures_.WithId3Tag("id3big.mp3", tagged.path, 1 << 20);
    QVERIFY(!tagged.path.isEmpty());
    songs_["id3big.mp3"] = tagged;
  }

  void length_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("encoderInput");  // else: every sample the stream decodes to
    QTest::newRow("CBR 128 kbps") << "cbr128.mp3" << true;
    QTest::newRow("CBR 192 kbps") << "cbr192.mp3" << true;
    QTest::newRow("CBR 320 kbps") << "cbr320.mp3" << true;
    QTest::newRow("VBR with info frame") << "vbr.mp3" << true;
    // Without the info frame there is no gapless data and no frame count: only a full scan
    // finds the length, which then includes the encoder's delay and padding.
    QTest::newRow("VBR without info frame") << "vbrnotag.mp3" << false;
    QTest::newRow("mono 22.05 kHz") << "mono22.mp3" << true;
    QTest::newRow("48 kHz") << "rate48.mp3" << true;
    QTest::newRow("1 MB ID3v2 tag") << "id3big.mp3" << true;
    QTest::newRow("one second") << "short1s.mp3" << true;
  }

  void length() {
    QFETCH(QString, name);
    QFETCH(bool, encoderInput);
    const TMp3Fixture& song = songs_[name];
    long decodedRate = 0;
    const QVector<int16_t> decoded = DecodeAll(song.path, &decodedRate);
    QVERIFY(!decoded.isEmpty());
    const int64_t frames = encoderInput ? song.inputFrames : decoded.size() / 2;

    TMp3Decoder decoder(song.path);
    QCOMPARE(decoder.Rate(), song.rate);
    QCOMPARE(decoder.LengthFrames(), frames);

    TRig rig(song.path);
    const double exactMs = frames * 1000.0 / song.rate;
    QVERIFY2(qAbs(rig.player.Length() - exactMs) <= 1.0,
             qPrintable(QString("%1 ms for %2 ms").arg(rig.player.Length()).arg(exactMs)));
    QCOMPARE(rig.player.Mode(), mpStopped);
    QCOMPARE(rig.player.Position(), 0);
  }

  void refusedFiles_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("error");
    const QString dir = fixtures_.Dir() + "/";
    QFile cbr(songs_["cbr320.mp3"].path);
    QVERIFY(cbr.open(QIODevice::ReadOnly));
    const QByteArray mp3 = cbr.readAll();
    const QString tagged = songs_["id3big.mp3"].path;
    QFile tag(tagged);
    QVERIFY(tag.open(QIODevice::ReadOnly));

    QString p = fixtures_.Write("empty.mp3", {});
    QTest::newRow("zero bytes") << p << "\"" + p + "\" is empty: it holds no MP3 audio";
    p = fixtures_.Write("text.mp3", "This is a text file with a song's name.\n");
    QTest::newRow("text") << p << "\"" + p + "\" is not an MP3 file: it holds no MPEG audio";
    QByteArray noise(300000, '\0');
    for (int i = 0; i < noise.size(); ++i) noise[i] = char((unsigned(i) * 7919u + (i >> 8)) & 0x7F);
    p = fixtures_.Write("noise.mp3", noise);
    QTest::newRow("no frame sync anywhere")
        << p << "\"" + p + "\" is not an MP3 file: it holds no MPEG audio";
    p = fixtures_.Write("cut200.mp3", mp3.left(200));
    QTest::newRow("cut in the first frame")
        << p << "\"" + p + "\" is cut short: it ends before its first complete MP3 frame";
    p = fixtures_.Write("cut3.mp3", mp3.left(3));
    QTest::newRow("cut in the first header")
        << p << "\"" + p + "\" is cut short: it ends before its first complete MP3 frame";
    p = fixtures_.Write("cuttag.mp3", tag.read(5000));
    QTest::newRow("cut inside the ID3 tag")
        << p << "\"" + p + "\" is cut short: it ends before its first complete MP3 frame";
    p = dir + "missing.mp3";
    QTest::newRow("missing") << p << "Cannot open \"" + p + "\": No such file or directory";
    p = dir + "folder.mp3";
    QVERIFY(QDir().mkpath(p));
    QTest::newRow("folder") << p << "\"" + p + "\" is a folder, not an MP3 file";
    p = dir + "fifo.mp3";
    QVERIFY(::mkfifo(QFile::encodeName(p).constData(), 0600) == 0);
    QTest::newRow("named pipe (must not hang)") << p << "\"" + p + "\" is not a regular file";
  }

  void refusedFiles() {
    QFETCH(QString, path);
    QFETCH(QString, error);
    TRig rig(songs_["short1s.mp3"].path);
    rig.player.Play();
    QCOMPARE(OpenAndWait(rig.player, path), error);
    // The song that was playing is closed, its Play aborted; the device is not ready.
    QCOMPARE(rig.player.Mode(), mpNotReady);
    QCOMPARE(rig.player.Position(), 0);
    QCOMPARE(ErrorOf([&] { rig.player.Play(); }), "No MCI device open");
    QTRY_COMPARE(rig.notices, QList<int>{nvAborted});
    // And a good file plays afterwards.
    QCOMPARE(OpenAndWait(rig.player, songs_["cbr128.mp3"].path), "");
    QCOMPARE(rig.player.Mode(), mpStopped);
  }

  void positionFollowsRealTime() {
    TRig rig(songs_["cbr128.mp3"].path);
    QElapsedTimer clock;
    clock.start();
    rig.player.Play();
    QCOMPARE(rig.player.Mode(), mpPlaying);
    int last = 0;
    for (int i = 0; i < 6; ++i) {
      QTest::qWait(100);
      const int position = rig.player.Position();
      // Never ahead of the time that has passed (one output buffer of slack), never back.
      QVERIFY2(position <= clock.elapsed() + 12,
               qPrintable(QString("%1 ms after %2 ms").arg(position).arg(clock.elapsed())));
      QVERIFY(position >= last);
      last = position;
    }
    QVERIFY(last > 0);
    rig.player.Stop();
  }

  void pauseHoldsAndContinues() {
    TRig rig(songs_["cbr128.mp3"].path);
    rig.player.Play();
    QTRY_VERIFY(rig.player.Position() > 150);
    rig.player.Pause();
    QCOMPARE(rig.player.Mode(), mpPaused);
    const int halt = rig.player.Position();
    QTest::qWait(200);
    QCOMPARE(rig.player.Position(), halt);
    QCOMPARE(rig.player.Mode(), mpPaused);
    rig.player.Pause();  // goes on
    QCOMPARE(rig.player.Mode(), mpPlaying);
    QVERIFY(rig.player.Position() >= halt);
    QTRY_VERIFY(rig.player.Position() > halt + 100);
    QVERIFY(rig.notices.isEmpty());  // pausing and going on post nothing
    rig.player.Stop();
    QCOMPARE(rig.player.Mode(), mpStopped);
    const int stopped = rig.player.Position();
    QTest::qWait(100);
    QCOMPARE(rig.player.Position(), stopped);  // Stop keeps the position
    QTRY_COMPARE(rig.notices, QList<int>{nvAborted});
  }

  void seekWhileHalted_data() {
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("expected");  // -1: the length
    QTest::newRow("start") << 0 << 0;
    QTest::newRow("one millisecond") << 1 << 1;
    QTest::newRow("middle") << 777 << 777;
    QTest::newRow("last millisecond") << 1495 << 1495;
    QTest::newRow("past the end") << 50000 << -1;
    QTest::newRow("negative") << -50 << 0;
  }

  void seekWhileHalted() {
    QFETCH(int, target);
    QFETCH(int, expected);
    TRig rig(songs_["cbr128.mp3"].path);
    if (expected < 0) expected = rig.player.Length();
    rig.player.SetPosition(target);  // stopped
    QCOMPARE(rig.player.Position(), expected);
    QCOMPARE(rig.player.Mode(), mpStopped);
    rig.player.Play();
    rig.player.Pause();
    rig.player.SetPosition(target);  // paused
    QCOMPARE(rig.player.Position(), expected);
    QCOMPARE(rig.player.Mode(), mpPaused);
    rig.player.Stop();
  }

  void seekWhilePlaying() {
    TRig rig(songs_["cbr128.mp3"].path);
    rig.player.Play();
    QTRY_VERIFY(rig.player.Position() > 100);
    rig.player.SetPosition(1200);
    const int after = rig.player.Position();
    QVERIFY2(after >= 1200 && after < 1200 + 40, qPrintable(QString::number(after)));
    QCOMPARE(rig.player.Mode(), mpPlaying);
    rig.player.SetPosition(100);  // backwards too
    QVERIFY(rig.player.Position() < 1200);
    rig.player.SetPosition(1300);
    QTRY_COMPARE_WITH_TIMEOUT(rig.notices, QList<int>{nvSuccessful}, kNoticeTimeoutMs);
    QCOMPARE(rig.player.Position(), rig.player.Length());
  }

  void endOfSongNoticeOnce_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("from");
    QTest::newRow("one-second file") << "short1s.mp3" << 0;
    QTest::newRow("mono 22.05 kHz, last 300 ms") << "mono22.mp3" << 1211;
    QTest::newRow("48 kHz, last 300 ms") << "rate48.mp3" << 1200;
    QTest::newRow("started at the very end") << "cbr128.mp3" << 1496;
  }

  void endOfSongNoticeOnce() {
    QFETCH(QString, name);
    QFETCH(int, from);
    TRig rig(songs_[name].path);
    const int length = rig.player.Length();
    QElapsedTimer clock;
    clock.start();
    rig.player.SetStartPosition(from);
    rig.player.Play();
    QTRY_COMPARE_WITH_TIMEOUT(rig.notices.size(), 1, kNoticeTimeoutMs);
    // Not before the remaining audio can have been heard.
    QVERIFY2(clock.elapsed() >= length - from - 1,
             qPrintable(QString("%1 ms for %2 ms").arg(clock.elapsed()).arg(length - from)));
    QCOMPARE(rig.notices, QList<int>{nvSuccessful});
    QCOMPARE(rig.player.Mode(), mpStopped);
    QCOMPARE(rig.player.Position(), length);
    QTest::qWait(200);
    QCOMPARE(rig.notices.size(), 1);
    // Played again after the end, from the start it was rewound to.
    rig.player.SetPosition(0);
    QCOMPARE(rig.player.Position(), 0);
    rig.player.SetStartPosition(length - 50);
    rig.player.Play();
    QTRY_COMPARE_WITH_TIMEOUT(rig.notices, (QList<int>{nvSuccessful, nvSuccessful}),
                              kNoticeTimeoutMs);
  }

  // The output readied at start is kept for songs of its rate and reopened for others.
  void preparedOutputPlaysEveryRate() {
    TRig rig;
    rig.player.Prepare();
    rig.player.Prepare();
    for (const char* name : {"rate48.mp3", "cbr128.mp3"}) {
      QCOMPARE(OpenAndWait(rig.player, songs_[name].path), "");
      rig.player.SetStartPosition(rig.player.Length() - 200);
      rig.player.Play();
      QTRY_COMPARE_WITH_TIMEOUT(rig.notices.size(), name[0] == 'r' ? 1 : 2, kNoticeTimeoutMs);
    }
    QCOMPARE(rig.notices, (QList<int>{nvSuccessful, nvSuccessful}));
  }

  // A song at another rate needs another output device, opened by the decoder once the old one
  // is closed; Stop meanwhile leaves it stopped, with no failure.
  void stoppedWhileTheOutputChanges() {
    TRig rig(songs_["cbr128.mp3"].path);
    rig.player.Play();
    QTRY_VERIFY(rig.player.Position() > 50);
    QCOMPARE(OpenAndWait(rig.player, songs_["rate48.mp3"].path), "");
    rig.player.SetStartPosition(1200);
    rig.player.Play();
    rig.player.Stop();
    QTRY_COMPARE_WITH_TIMEOUT(rig.notices, (QList<int>{nvAborted, nvAborted}), kNoticeTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(!EngineOf(rig).OutputOpen(), kNoticeTimeoutMs);
    QCOMPARE(rig.player.Position(), 1200);
    QCOMPARE(int(rig.player.Mode()), int(mpStopped));
  }

  void supersededAndAborted() {
    TRig rig(songs_["cbr192.mp3"].path);
    rig.player.Play();
    QTest::qWait(50);
    rig.player.SetStartPosition(200);
    rig.player.Play();
    QTRY_COMPARE(rig.notices, QList<int>{nvSuperseded});
    QVERIFY(rig.player.Position() >= 200);
    rig.player.Pause();
    rig.player.Stop();
    QTRY_COMPARE(rig.notices, (QList<int>{nvSuperseded, nvAborted}));
    rig.player.Play();
    rig.player.Close();
    QTRY_COMPARE(rig.notices, (QList<int>{nvSuperseded, nvAborted, nvAborted}));
    QTest::qWait(200);  // nothing late from the engine
    QCOMPARE(rig.notices.size(), 3);
  }

  void reopenClosesTheSongFirst() {
    TRig rig(songs_["cbr128.mp3"].path);
    rig.player.Play();
    QCOMPARE(OpenAndWait(rig.player, songs_["rate48.mp3"].path), "");
    QCOMPARE(rig.player.Mode(), mpStopped);
    QCOMPARE(rig.player.Length(), 1500);
    QTRY_COMPARE(rig.notices, QList<int>{nvAborted});
  }

  void failsWhenTheFileShrinksWhilePlaying() {
    const QString path = fixtures_.Dir() + "/shrinking.mp3";
    QVERIFY(QFile::copy(songs_["long6s.mp3"].path, path));
    TRig rig(path);
    const int length = rig.player.Length();
    QFile file(path);
    QVERIFY(file.resize(file.size() / 2));
    rig.player.SetStartPosition(length / 2 - 300);
    rig.player.Play();
    QTRY_COMPARE_WITH_TIMEOUT(rig.notices, QList<int>{nvFailure}, kNoticeTimeoutMs);
    QCOMPARE(rig.player.Mode(), mpStopped);
    QVERIFY(rig.player.Position() < length);
  }

  // While the decoder's read of the song is held, the GUI's calls return: state, position and
  // length come without the file, and another song's open and play return at once (its open
  // waits for the stalled disk on a thread of its own); once the disk answers, it plays.
  void stalledReadLeavesTheGuiFree() {
    TStallGate gate;
    TRig rig(songs_["long6s.mp3"].path);
    const int length = rig.player.Length();
    rig.player.Play();
    QTRY_VERIFY(rig.player.Position() > 100);
    gate.Arm();
    QTRY_VERIFY_WITH_TIMEOUT(gate.Holding(), kNoticeTimeoutMs);
    QCOMPARE(int(rig.player.Mode()), int(mpPlaying));
    QVERIFY(rig.player.Position() >= 0);
    QCOMPARE(rig.player.Length(), length);
    const auto opened = StartOpen(rig.player, songs_["short1s.mp3"].path);
    QCOMPARE(int(rig.player.Mode()), int(mpOpen));
    rig.player.Play();  // quiet while the song opens
    // All of the above came back while the read was still held.
    QVERIFY(gate.Holding());
    QVERIFY(!gate.GaveUp());
    gate.Release();
    QTRY_VERIFY_WITH_TIMEOUT(opened->has_value(), kNoticeTimeoutMs);
    QCOMPARE(**opened, "");
    rig.player.Play();
    QTRY_COMPARE_WITH_TIMEOUT(rig.notices, (QList<int>{nvAborted, nvSuccessful}), kNoticeTimeoutMs);
    QCOMPARE(rig.player.Position(), rig.player.Length());  // played to its end
  }

  // Opens and starts asked for while an earlier open waits for a stalled disk: the last one
  // asked for plays, the ones it superseded never report, and nothing waited.
  void supersededWhileAnOpenStalls_data() {
    QTest::addColumn<QString>("then");
    QTest::newRow("another open") << "open";
    QTest::newRow("called off") << "cancel";
  }

  void supersededWhileAnOpenStalls() {
    QFETCH(QString, then);
    TStallGate gate;
    TRig rig;
    gate.Arm();
    const auto first = StartOpen(rig.player, songs_["long6s.mp3"].path);
    QTRY_VERIFY_WITH_TIMEOUT(gate.Holding(), kNoticeTimeoutMs);
    TOpenResult second;
    if (then == "open") second = StartOpen(rig.player, songs_["short1s.mp3"].path);
    if (then == "cancel") rig.player.CancelOpen();
    rig.player.Stop();  // quiet: no song, none failed
    QVERIFY(!gate.GaveUp());
    gate.Release();
    if (second) {
      QTRY_VERIFY_WITH_TIMEOUT(second->has_value(), kNoticeTimeoutMs);
      QCOMPARE(**second, "");
      QCOMPARE(rig.player.FileName(), songs_["short1s.mp3"].path);
      QCOMPARE(rig.player.Length(), 1000);
    }
    QTest::qWait(300);  // the stalled open is over by now, and unseen
    QVERIFY(!first->has_value());
    QCOMPARE(rig.player.IsOpen(), bool(second));
  }

  // With nothing playing the output device is closed (no audio thread) and the decoder waits
  // without a timeout; the next Play opens the output again.
  void silentAtRest_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("stopped") << "stop";
    QTest::newRow("at the end of the song") << "end";
  }

  void silentAtRest() {
    QFETCH(QString, how);
    TRig rig(songs_["short1s.mp3"].path);
    TMpg123SdlEngine& engine = EngineOf(rig);
    rig.player.Play();
    QTRY_VERIFY(rig.player.Position() > 100);
    QVERIFY(engine.OutputOpen());
    if (how == "stop") rig.player.Stop();
    if (how == "end")
      QTRY_COMPARE_WITH_TIMEOUT(rig.notices, QList<int>{nvSuccessful}, kNoticeTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(!engine.OutputOpen(), kNoticeTimeoutMs);
    QCOMPARE(SwitchesOf("SDLAudio"), -1);  // SDL's audio thread is gone
    QTest::qWait(50);
    const int64_t before = SwitchesOf("mp3decode");
    QVERIFY(before >= 0);
    QTest::qWait(300);
    QCOMPARE(SwitchesOf("mp3decode"), before);
    // Playing again opens the output again.
    rig.player.SetStartPosition(0);
    rig.player.Play();
    QTRY_VERIFY(engine.OutputOpen());
    QTRY_VERIFY(engine.FirstAudioTimeNs() != 0);
    QTRY_VERIFY(rig.player.Position() > 100);
    rig.player.Stop();
  }

  void underrunsCounted_data() {
    QTest::addColumn<bool>("stall");
    QTest::addColumn<bool>("expectUnderruns");
    QTest::newRow("a song played through") << false << false;
    QTest::newRow("a read held longer than the ring lasts") << true << true;
  }

  void underrunsCounted() {
    QFETCH(bool, stall);
    QFETCH(bool, expectUnderruns);
    TStallGate gate;
    TRig rig(songs_[stall ? "long6s.mp3" : "short1s.mp3"].path);
    rig.player.Play();
    if (stall) {
      QTRY_VERIFY(rig.player.Position() > 100);
      gate.Arm();
      QTRY_VERIFY_WITH_TIMEOUT(gate.GaveUp(), kNoticeTimeoutMs);
    }
    QTRY_COMPARE_WITH_TIMEOUT(rig.notices, QList<int>{nvSuccessful}, kNoticeTimeoutMs);
    QCOMPARE(EngineOf(rig).Underruns() > 0, expectUnderruns);
  }

  void noAudioOutput_data() {
    QTest::addColumn<QByteArray>("driver");
    QTest::addColumn<QByteArray>("diskFile");
    QTest::newRow("no such driver") << QByteArray("nosuchdriver") << QByteArray();
    QTest::newRow("device cannot be opened")
        << QByteArray("disk") << QByteArray("/nonexistent-folder/out.raw");
  }

  void noAudioOutput() {
    QFETCH(QByteArray, driver);
    QFETCH(QByteArray, diskFile);
    const QByteArray before = qgetenv("SDL_AUDIODRIVER");
    qputenv("SDL_AUDIODRIVER", driver);
    qputenv("SDL_DISKAUDIOFILE", diskFile);
    {
      TRig rig;
      rig.player.Prepare();  // silent: the Open below is the one that tells
      const QString error = OpenAndWait(rig.player, songs_["cbr128.mp3"].path);
      QVERIFY2(error.startsWith("No audio output is available: "), qPrintable(error));
      QCOMPARE(rig.player.Mode(), mpNotReady);
      QCOMPARE(ErrorOf([&] { rig.player.Play(); }), "No MCI device open");
    }
    qputenv("SDL_AUDIODRIVER", before);
    qunsetenv("SDL_DISKAUDIOFILE");
    TRig rig(songs_["cbr128.mp3"].path);  // the program goes on once output is back
    rig.player.Play();
    QCOMPARE(rig.player.Mode(), mpPlaying);
  }
};

QTEST_GUILESS_MAIN(TestMpg123SdlEngine)
#include "tst_mpg123sdlengine.moc"
