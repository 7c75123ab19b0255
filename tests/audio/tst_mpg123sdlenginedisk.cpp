// What the engine hands to the output, captured by SDL's disk driver: libmpg123's own decoding
// sample for sample at full volume, scaled linearly at other levels, gliding without a click
// when the level changes, starting at the exact sample of a start position; songs queued to
// follow one another joined without a sample lost, repeated or put between.

#include <QFile>
#include <QTest>

#include "audio/mediaplayer.h"
#include "audio/mpg123sdlengine.h"
#include "audio/outputvolume.h"
#include "mp3fixtures.h"
#include "support/openwait.h"

namespace {

constexpr int kNoticeTimeoutMs = 10000;

// Where expected (the decoded song from some frame on) starts inside the capture, which begins
// with the silence the device played before Play: the offset with the smallest difference.
qsizetype Align(const QVector<int16_t>& capture, const QVector<int16_t>& expected, int level) {
  auto firstSound = [](const QVector<int16_t>& s, int threshold) {
    for (qsizetype i = 0; i < s.size(); ++i)
      if (qAbs(s[i]) > threshold) return i / 2;
    return qsizetype(-1);
  };
  const qsizetype guess = firstSound(capture, 200 * level / 65535) - firstSound(expected, 200);
  qsizetype best = -1;
  int64_t bestError = INT64_MAX;
  for (qsizetype offset = qMax<qsizetype>(0, guess - 64); offset <= guess + 64; ++offset) {
    int64_t error = 0;
    for (qsizetype i = 0; i < 4096 && 2 * (offset + i) + 1 < capture.size(); ++i)
      for (int c = 0; c < 2; ++c)
        error += qAbs(capture[2 * (offset + i) + c] - int64_t(expected[2 * i + c]) * level / 65535);
    if (error < bestError) bestError = error, best = offset;
  }
  return best;
}

}  // namespace

class TestMpg123SdlEngineDisk : public QObject {
  Q_OBJECT

  TMp3Fixtures fixtures_;
  QMap<QString, QString> songs_;
  int capture_ = 0;

  // Plays path from startMs to its end with the disk driver and returns what was written.
  // during(player) runs once playback has begun.
  QVector<int16_t> Capture(const QString& path, int startMs,
                           const std::function<void(TMediaPlayer&)>& during = {}) {
    const QString file = fixtures_.Dir() + QString("/capture%1.raw").arg(++capture_);
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(file));
    {
      TMediaPlayer player;
      QList<int> notices;
      connect(&player, &TMediaPlayer::OnNotify, &player, [&] { notices << player.NotifyResult(); });
      if (!OpenAndWait(player, path).isEmpty()) return {};
      player.SetStartPosition(startMs);
      player.Play();
      if (during) during(player);
      if (!QTest::qWaitFor([&] { return !notices.isEmpty(); }, kNoticeTimeoutMs)) return {};
      if (notices != QList<int>{nvSuccessful}) return {};
    }  // closing the device closes the file
    QFile raw(file);
    if (!raw.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = raw.readAll();
    QVector<int16_t> samples(bytes.size() / 2);
    memcpy(samples.data(), bytes.constData(), size_t(samples.size()) * 2);
    return samples;
  }

 private slots:
  void initTestCase() {
    // Set before the engine first starts SDL's audio.
    qputenv("SDL_AUDIODRIVER", "disk");
    QVERIFY(fixtures_.Valid());
    songs_["cbr192"] = fixtures_.Make("cbr192.mp3", 44100, 2, 44100, {"-b", "192"}).path;
    songs_["mono22"] = fixtures_.Make("mono22.mp3", 22050, 1, 22050, {"-m", "m", "-b", "64"}).path;
    songs_["rate48"] = fixtures_.Make("rate48.mp3", 48000, 2, 48000, {"-V", "2"}).path;
    songs_["short"] = fixtures_.Make("short.mp3", 44100, 2, 20011, {"-b", "128"}).path;
    for (const QString& path : songs_) QVERIFY(!path.isEmpty());
  }

  void cleanup() { SetOutputVolume(0xFFFFFFFF); }

  void samplesAsDecoded_data() {
    QTest::addColumn<QString>("song");
    QTest::addColumn<int>("startMs");
    QTest::addColumn<int>("level");
    QTest::newRow("44.1 kHz, full volume") << "cbr192" << 0 << 65535;
    QTest::newRow("mono 22.05 kHz, full volume") << "mono22" << 0 << 65535;
    QTest::newRow("48 kHz VBR, full volume") << "rate48" << 0 << 65535;
    QTest::newRow("from 377 ms, full volume") << "cbr192" << 377 << 65535;
    QTest::newRow("half volume") << "cbr192" << 0 << 32767;
    QTest::newRow("48 kHz, low volume") << "rate48" << 0 << 9000;
  }

  void samplesAsDecoded() {
    QFETCH(QString, song);
    QFETCH(int, startMs);
    QFETCH(int, level);
    long rate = 0;
    QVector<int16_t> expected = DecodeAll(songs_[song], &rate);
    QVERIFY(!expected.isEmpty());
    // The level is set before the song is opened and holds for all of it.
    SetOutputVolume(uint32_t(level) | uint32_t(level) << 16);
    const QVector<int16_t> capture = Capture(songs_[song], startMs);
    QVERIFY(!capture.isEmpty());
    // A start position in ms begins at the first sample at or after it.
    const qsizetype startFrame = (qsizetype(startMs) * rate + 999) / 1000;
    expected.remove(0, startFrame * 2);
    const qsizetype at = Align(capture, expected, level);
    QVERIFY(at >= 0);
    QVERIFY2(capture.size() >= 2 * at + expected.size(), "capture ends early");
    int worst = 0;
    for (qsizetype i = 0; i < expected.size(); ++i) {
      const double exact = expected[i] * double(level) / 65535;
      worst = qMax(worst, int(qAbs(capture[2 * at + i] - exact) + 0.999));
    }
    QVERIFY2(worst <= (level == 65535 ? 0 : 1), qPrintable(QString("off by %1").arg(worst)));
    // Nothing but silence before the song's start and after its end.
    for (qsizetype i = 0; i < 2 * at; ++i) QCOMPARE(capture[i], int16_t(0));
    for (qsizetype i = 2 * at + expected.size(); i < capture.size(); ++i)
      QCOMPARE(capture[i], int16_t(0));
  }

  QVector<int16_t> ReadCapture(const QString& file) {
    QFile raw(file);
    if (!raw.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = raw.readAll();
    QVector<int16_t> capture(bytes.size() / 2);
    memcpy(capture.data(), bytes.constData(), size_t(capture.size()) * 2);
    return capture;
  }

  // Plays the songs of order one after another, each started from the end notice of the one
  // before as the player window does; with queue, each is queued ahead to follow without a gap.
  // The capture, and how many songs joined the one before.
  QVector<int16_t> CapturePlaylist(const QStringList& order, bool queue, uint64_t* joins) {
    const QString file = fixtures_.Dir() + QString("/capture%1.raw").arg(++capture_);
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(file));
    {
      TMediaPlayer player;
      QList<int> notices;
      int next = 0;
      auto playNext = [&] {
        player.SetFileName(songs_[order[next++]]);
        player.Open([&](const QString& error) {
          if (!error.isEmpty()) return;
          player.Play();
          if (queue && next < order.size()) player.QueueNext(songs_[order[next]]);
        });
      };
      connect(&player, &TMediaPlayer::OnNotify, &player, [&] {
        notices << player.NotifyResult();
        if (player.NotifyResult() == nvSuccessful && next < order.size()) playNext();
      });
      playNext();
      if (!QTest::qWaitFor([&] { return notices.size() == order.size(); }, 3 * kNoticeTimeoutMs))
        return {};
      if (notices != QList<int>(order.size(), nvSuccessful)) return {};
      *joins = dynamic_cast<TMpg123SdlEngine&>(player.Engine()).Joins();
    }
    return ReadCapture(file);
  }

  // The capture holds each song of order whole, in order, with nothing but silence around
  // them; at most maxGap frames of it between two songs.
  void CheckSongsInOrder(const QVector<int16_t>& capture, const QStringList& order,
                         qsizetype maxGap) {
    qsizetype from = 0;  // frame of the capture where the search for the next song begins
    for (int n = 0; n < order.size(); ++n) {
      const QString& name = order[n];
      const QVector<int16_t> expected = DecodeAll(songs_[name]);
      QVERIFY(!expected.isEmpty());
      const QVector<int16_t> rest = capture.mid(2 * from);
      const qsizetype at = n == 0 || maxGap > 0 ? Align(rest, expected, 65535) : 0;
      QVERIFY2(at >= 0, qPrintable(name));
      if (n > 0)
        QVERIFY2(at <= maxGap, qPrintable(QString("%1 frames before %2").arg(at).arg(name)));
      QVERIFY2(rest.size() >= 2 * at + expected.size(), qPrintable(name + " is cut short"));
      for (qsizetype i = 0; i < 2 * at; ++i) QCOMPARE(rest[i], int16_t(0));
      for (qsizetype i = 0; i < expected.size(); ++i)
        QVERIFY2(rest[2 * at + i] == expected[i],
                 qPrintable(QString("%1, sample %2 of %3").arg(name).arg(i).arg(expected.size())));
      from += at + expected.size() / 2;
    }
    for (qsizetype i = 2 * from; i < capture.size(); ++i) QCOMPARE(capture[i], int16_t(0));
  }

  // Songs started one after another from the end notice, as the player window does, reach the
  // output whole, in order, with only silence between: one device carries them all (a
  // reopened disk output would start its file afresh and lose what came before).
  void songsFollowOnOneOutput() {
    const QStringList order = {"short", "cbr192", "cbr192"};
    uint64_t joins = 0;
    const QVector<int16_t> capture = CapturePlaylist(order, false, &joins);
    QVERIFY(!capture.isEmpty());
    QCOMPARE(joins, uint64_t(0));
    CheckSongsInOrder(capture, order, 44100);
  }

  // Queued ahead, songs of one rate follow one another sample for sample: the capture is the
  // songs' own decoding laid end to end. Another rate cannot join: both play, with the device
  // reopened between (which starts the disk driver's file afresh, so no samples to compare).
  void queuedSongsJoin_data() {
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<int>("joins");
    QTest::newRow("three songs") << QStringList{"short", "cbr192", "short"} << 2;
    QTest::newRow("one song again (repeat file)") << QStringList{"short", "short", "short"} << 2;
    QTest::newRow("another rate") << QStringList{"short", "rate48"} << 0;
  }

  void queuedSongsJoin() {
    QFETCH(QStringList, order);
    QFETCH(int, joins);
    uint64_t joined = 0;
    const QVector<int16_t> capture = CapturePlaylist(order, true, &joined);
    QVERIFY(!capture.isEmpty());
    QCOMPARE(int(joined), joins);
    if (joins > 0) CheckSongsInOrder(capture, order, 0);
  }

  void levelChangeGlides() {
    long rate = 0;
    const QVector<int16_t> expected = DecodeAll(songs_["cbr192"], &rate);
    int buffer = 0;
    const QVector<int16_t> capture = Capture(songs_["cbr192"], 0, [&](TMediaPlayer& player) {
      buffer = dynamic_cast<TMpg123SdlEngine&>(player.Engine()).OutputBufferFrames();
      QVERIFY(QTest::qWaitFor([&] { return player.Position() >= 400; }, kNoticeTimeoutMs));
      SetOutputVolume(0);  // both channels silent
    });
    QVERIFY(!capture.isEmpty());
    const qsizetype at = Align(capture, expected, 65535);
    QVERIFY(at >= 0);
    // The gain each frame got, where the signal is loud enough to tell.
    qsizetype first = -1, last = -1;
    double previous = 1.0;
    for (qsizetype f = 0; f < expected.size() / 2; ++f) {
      const int x = expected[2 * f], y = capture[2 * (at + f)];
      if (y != x && first < 0) first = f;
      if (y != 0) last = f;
      if (first >= 0 && qAbs(x) > 4000) {
        const double gain = double(y) / x;
        // Falling, by a small step at a time: no jump anywhere.
        QVERIFY2(gain <= previous + 0.001 && previous - gain < 0.05,
                 qPrintable(QString("frame %1: gain %2 after %3").arg(f).arg(gain).arg(previous)));
        previous = gain;
      }
    }
    QVERIFY(first > 0);
    QVERIFY(last > first);
    // The glide lasts about one output buffer.
    QVERIFY(buffer > 0);
    QVERIFY2(last - first >= buffer / 2 && last - first <= buffer,
             qPrintable(QString("glide of %1 frames").arg(last - first)));
    QCOMPARE(previous, 0.0);
  }
};

QTEST_GUILESS_MAIN(TestMpg123SdlEngineDisk)
#include "tst_mpg123sdlenginedisk.moc"
