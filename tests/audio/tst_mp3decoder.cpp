// The decoder's open on MP3 files made with sox and lame: the length a header states against
// libmpg123's full scan for each kind of file, songs joined end to end played whole (against
// ffmpeg), seeks without the full scan on the exact sample, the songs' ID3 tags.

#include <mpg123.h>

#include <QTest>

#include "audio/mp3decoder.h"
#include "mp3fixtures.h"

namespace {

// Where lame puts the fields of the Info header of an MPEG-1 stereo frame.
constexpr int kFramesLastByte = 47;
constexpr int kLameExtension = 156;
constexpr int kLamePaddingLow = kLameExtension + 23;
constexpr int kDecoderDelay = 529;

QVector<int16_t> ReadAll(TMp3Decoder& decoder) {
  QVector<int16_t> samples;
  int16_t buffer[2 * 4096];
  size_t got = 0;
  while (decoder.Read(buffer, 4096, got) == TMp3Decoder::TRead::More)
    samples.append(QVector<int16_t>(buffer, buffer + 2 * got));
  samples.append(QVector<int16_t>(buffer, buffer + 2 * got));
  return samples;
}

// The first sample (interleaved index) where a and b differ by more than 1 (libmpg123's mono
// doubling may differ by 1 after a seek), from a's start and b's offset; -1 when none does.
qsizetype FirstDifference(const QVector<int16_t>& a, const QVector<int16_t>& b,
                          qsizetype offset = 0) {
  for (qsizetype i = 0; i < a.size() && offset + i < b.size(); ++i)
    if (qAbs(a[i] - b[offset + i]) > 1) return i;
  return -1;
}

// The encoder padding the LAME header of a song gives.
long Padding(const QString& path) {
  mpg123_handle* handle = mpg123_new(nullptr, nullptr);
  long padding = -1;
  if (mpg123_open(handle, QFile::encodeName(path).constData()) == MPG123_OK &&
      mpg123_getformat(handle, nullptr, nullptr, nullptr) == MPG123_OK)
    mpg123_getstate(handle, MPG123_ENC_PADDING, &padding, nullptr);
  mpg123_delete(handle);
  return padding;
}

QByteArray Be32(uint32_t v, bool syncSafe) {
  QByteArray b;
  for (int shift : {24, 16, 8, 0})
    b.append(char(syncSafe ? (v >> (shift / 8 * 7)) & 0x7F : (v >> shift) & 0xFF));
  return b;
}

// An ID3v2 tag of the given version (3 or 4) holding frames ({id, data}).
QByteArray Id3v2(int version, const QList<QPair<QByteArray, QByteArray>>& frames) {
  QByteArray body;
  for (const auto& [id, data] : frames)
    body += id + Be32(uint32_t(data.size()), version == 4) + QByteArray(2, 0) + data;
  return "ID3" + QByteArray(1, char(version)) + QByteArray(2, 0) +
         Be32(uint32_t(body.size()), true) + body;
}

QByteArray Picture(char type, const QByteArray& mime, const QByteArray& data) {
  return QByteArray(1, 0) + mime + QByteArray(1, 0) + QByteArray(1, type) + "cover" +
         QByteArray(1, 0) + data;
}

}  // namespace

class TestMp3Decoder : public QObject {
  Q_OBJECT
  TMp3Fixtures fixtures_;
  QMap<QString, TMp3Fixture> songs_;
  QByteArray jpeg_;

  QString Path(const QString& name) const { return fixtures_.Dir() + "/" + name; }
  QString Derive(const QString& name, const QStringList& sources,
                 const std::function<QByteArray(QByteArray)>& edit = {}) {
    QStringList paths;
    for (const QString& source : sources) paths << Path(source);
    return fixtures_.Derived(name, paths, edit);
  }

 private slots:
  void initTestCase() {
    struct TSpec {
      const char* name;
      long rate;
      int channels;
      QStringList lame;
    };
    const QList<TSpec> specs = {
        {"cbr.mp3", 44100, 2, {"-b", "128"}},    {"vbr.mp3", 44100, 2, {"-V", "2"}},
        {"abr.mp3", 44100, 2, {"--abr", "160"}}, {"mono.mp3", 44100, 1, {"-m", "m", "-b", "64"}},
        {"mpeg2.mp3", 22050, 2, {"-b", "64"}},   {"mpeg25.mp3", 11025, 2, {"-b", "32"}},
        {"48k.mp3", 48000, 2, {"-b", "192"}},    {"noheader.mp3", 44100, 2, {"-V", "2", "-t"}},
        {"second.mp3", 44100, 2, {"-b", "128"}},
    };
    for (const TSpec& spec : specs) {
      const int64_t frames = spec.rate * 2 + 777 * spec.channels;
      songs_[spec.name] = fixtures_.Make(spec.name, spec.rate, spec.channels, frames, spec.lame);
      QVERIFY(!songs_[spec.name].path.isEmpty());
    }
    songs_["tagged.mp3"] = songs_["cbr.mp3"];
    QVERIFY(!fixtures_.WithId3Tag("tagged.mp3", Path("cbr.mp3"), 64 * 1024).isEmpty());
    const QByteArray ape = "APETAGEX" + QByteArray::fromHex("d007000020") + QByteArray(19, 0);
    songs_["tail.mp3"] = songs_["vbr.mp3"];
    Derive("tail.mp3", {"vbr.mp3"}, [&](QByteArray b) {
      return b + "LYRICSBEGININD0000210000021LYRICS200" + ape + "TAG" + QByteArray(125, 'x');
    });
    auto add = [](int at, int delta) {
      return [=](QByteArray b) { return b.replace(at, 1, QByteArray(1, char(b[at] + delta))); };
    };
    Derive("nolame.mp3", {"cbr.mp3"}, add(kLameExtension, -'L'));  // "LAME" -> "\0AME"
    Derive("badcrc.mp3", {"cbr.mp3"}, add(kLamePaddingLow, 1));
    Derive("overcount.mp3", {"nolame.mp3"}, add(kFramesLastByte, 1));
    Derive("cut.mp3", {"cbr.mp3"}, [](QByteArray b) { return b.left(b.size() * 2 / 3); });
    Derive("joined.mp3", {"cbr.mp3", "second.mp3"});
    Derive("joined3.mp3", {"cbr.mp3", "vbr.mp3", "second.mp3"});
    Derive("joinednoheader.mp3", {"cbr.mp3", "noheader.mp3"});
    jpeg_ = QByteArray::fromHex("ffd8ffe000104a46494600") + QByteArray(3000, 'j');
    fixtures_.Write("cover.jpg", jpeg_);
    QVERIFY(!fixtures_
                 .Make("lame.mp3", 44100, 2, 44100,
                       {"--tt", "Title", "--ta", "Artist", "--tl", "Album", "--tn", "3/12", "--ti",
                        Path("cover.jpg")})
                 .path.isEmpty());
    QVERIFY(!fixtures_
                 .Make("v1.mp3", 44100, 2, 44100,
                       {"--tt", "Old", "--ta", "Band", "--tl", "Disc", "--tn", "7", "--id3v1-only"})
                 .path.isEmpty());
  }

  // The header's length where it may be trusted, the full scan's otherwise: the same, frame for
  // frame; what the decoder then plays; seeks on the exact sample also without the full scan
  // (libmpg123 reads ahead to the target).
  void lengthFromHeader_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("trusted");
    QTest::addColumn<bool>("asEncoded");  // the encoder's input, exactly
    // Joined songs: how much longer ffmpeg decodes them (it keeps the last one's padding);
    // -1 for other files.
    QTest::addColumn<long>("ffmpegLonger");
    QTest::newRow("CBR, Info header") << "cbr.mp3" << true << true << -1L;
    QTest::newRow("VBR -V 2, Xing header") << "vbr.mp3" << true << true << -1L;
    QTest::newRow("ABR") << "abr.mp3" << true << true << -1L;
    QTest::newRow("mono") << "mono.mp3" << true << true << -1L;
    QTest::newRow("MPEG-2 22.05 kHz") << "mpeg2.mp3" << true << true << -1L;
    QTest::newRow("MPEG-2.5 11.025 kHz") << "mpeg25.mp3" << true << true << -1L;
    QTest::newRow("48 kHz") << "48k.mp3" << true << true << -1L;
    QTest::newRow("behind a 64 KiB ID3v2 tag") << "tagged.mp3" << true << true << -1L;
    QTest::newRow("Lyrics3, APE, ID3v1 at the end") << "tail.mp3" << true << true << -1L;
    QTest::newRow("Info header, no LAME extension") << "nolame.mp3" << true << false << -1L;
    QTest::newRow("LAME checksum broken") << "badcrc.mp3" << false << false << -1L;
    QTest::newRow("count one frame too many") << "overcount.mp3" << false << false << -1L;
    QTest::newRow("VBR without header") << "noheader.mp3" << false << false << -1L;
    QTest::newRow("cut short") << "cut.mp3" << false << false << -1L;
    const long padding = Padding(Path("second.mp3")) - kDecoderDelay;
    QTest::newRow("two songs joined") << "joined.mp3" << false << false << padding;
    QTest::newRow("three joined, VBR in the middle") << "joined3.mp3" << false << false << padding;
    QTest::newRow("joined, the last without header")
        << "joinednoheader.mp3" << false << false << 0L;
  }
  void lengthFromHeader() {
    QFETCH(QString, name);
    QFETCH(bool, trusted);
    QFETCH(bool, asEncoded);
    QFETCH(long, ffmpegLonger);
    TMp3Decoder decoder(Path(name));
    QCOMPARE(decoder.LengthFromHeader(), trusted);
    const int64_t length = decoder.LengthFrames();
    QCOMPARE(length, TMp3Decoder(Path(name), {.FullScan = true}).LengthFrames());
    if (asEncoded) QCOMPARE(length, songs_[name].inputFrames);
    const QVector<int16_t> played = ReadAll(decoder);
    QCOMPARE(played.size() / 2, length);
    QCOMPARE(decoder.Joined(), ffmpegLonger >= 0);
    const QVector<int16_t> other =
        decoder.Joined() ? DecodeWithFfmpeg(Path(name)) : DecodeAll(Path(name));
    QCOMPARE(FirstDifference(played, other), -1);
    if (decoder.Joined()) QCOMPARE(other.size() / 2 - length, ffmpegLonger);
    for (const int64_t frame : {length / 2, int64_t(1), length - 100, int64_t(1153), int64_t(0),
                                int64_t(575), length * 9 / 10}) {
      QVERIFY(decoder.Seek(frame));
      QCOMPARE(decoder.Tell(), frame);
      int16_t buffer[2 * 2000];
      size_t got = 0;
      decoder.Read(buffer, 2000, got);
      QCOMPARE(int64_t(got), std::min<int64_t>(2000, length - frame));
      QCOMPARE(FirstDifference(QVector<int16_t>(buffer, buffer + 2 * got), played, 2 * frame), -1);
    }
  }

  // Frames that do not decode (a damaged middle) end a song measured from its header where they
  // would have ended the full scan: the song ends, nothing failed.
  void damagedSongEndsEarly() {
    TMp3Decoder decoder(Derive("damaged.mp3", {"vbr.mp3"}, [](QByteArray b) {
      return b.replace(b.size() / 2, 8000, QByteArray(8000, 0));
    }));
    QVERIFY(decoder.LengthFromHeader());
    int16_t buffer[2 * 4096];
    size_t got = 0, played = 0;
    TMp3Decoder::TRead read;
    while ((read = decoder.Read(buffer, 4096, got)) == TMp3Decoder::TRead::More) played += got;
    QCOMPARE(read, TMp3Decoder::TRead::End);
    QVERIFY(int64_t(played + got) < decoder.LengthFrames() * 3 / 4);
  }

  // Title|artists|album|track|cover's MIME type and size.
  void tags_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("lame: ID3v2 with a cover")
        << Path("lame.mp3") << "Title|Artist|Album|3|image/jpeg|3011";
    QTest::newRow("ID3v1 only") << Path("v1.mp3") << "Old|Band|Disc|7||0";
    const QByteArray v24 = Id3v2(4, {{"TIT2", "\3Caf\xc3\xa9"},
                                     {"TPE1", QByteArray("\3Alpha\0Beta", 11)},
                                     {"TALB", QByteArray("\1\xff\xfe"
                                                         "A\0l\0b\0\xfc\0",
                                                         11)},
                                     {"TRCK", QByteArray("\0 12/12", 7)},
                                     {"APIC", Picture(4, "image/png", "back")},
                                     {"APIC", Picture(3, "image/jpeg", jpeg_)}});
    QTest::newRow("ID3v2.4: two artists, the front cover of two pictures")
        << Derive("v24.mp3", {"cbr.mp3"}, [&](QByteArray b) { return v24 + b; })
        << QString::fromUtf8("Caf\xc3\xa9|Alpha,Beta|Alb\xc3\xbc|12|image/jpeg|3011");
    const QByteArray v23 =
        Id3v2(3, {{"TPE1", QByteArray("\0AC/DC / Guest", 14)},
                  {"APIC", Picture(3, "image/jpeg", QByteArray(17 << 20, 'x'))}});
    QTest::newRow("ID3v2.3: artists split at \" / \", a 17 MiB cover dropped")
        << Derive("v23.mp3", {"cbr.mp3"}, [&](QByteArray b) { return v23 + b; })
        << "|AC/DC,Guest||0||0";
    // A frame that claims more than the tag holds, and an absurd size at that.
    QByteArray broken =
        Id3v2(3, {{"TIT2", QByteArray("\0Kept", 5)}, {"TALB", QByteArray("\0Lost", 5)}});
    broken.replace(10 + 15 + 4, 4, Be32(0x7fffff00, false));
    QTest::newRow("ID3v2 with a broken frame")
        << Derive("broken.mp3", {"cbr.mp3"}, [&](QByteArray b) { return broken + b; })
        << "Kept|||0||0";
  }
  void tags() {
    QFETCH(QString, path);
    QFETCH(QString, expected);
    const TSongTags tags = TMp3Decoder(path).Tags();
    QCOMPARE(QStringList({tags.Title, tags.Artists.join(','), tags.Album,
                          QString::number(tags.TrackNumber), tags.CoverMime,
                          QString::number(tags.Cover.size())})
                 .join('|'),
             expected);
    if (!tags.Cover.isEmpty()) QCOMPARE(tags.Cover, jpeg_);
    QVERIFY(TMp3Decoder(path, {.ReadTags = false}).Tags().IsEmpty());
  }
};

QTEST_MAIN(TestMp3Decoder)
#include "tst_mp3decoder.moc"
