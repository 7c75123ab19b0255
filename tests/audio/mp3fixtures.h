#pragma once
// MP3 files made at test time with sox and lame in a temporary folder, and libmpg123's own
// decoding of them for comparison.

#include <QString>
#include <QTemporaryDir>
#include <QVector>
#include <cstdint>
#include <functional>

struct TMp3Fixture {
  QString path;
  long rate = 0;            // of the encoder's input
  int64_t inputFrames = 0;  // samples per channel given to the encoder
};

class TMp3Fixtures {
 public:
  TMp3Fixtures();
  bool Valid() const { return dir_.isValid(); }
  QString Dir() const { return dir_.path(); }

  // seconds of a two-tone signal (440 Hz left, 660 Hz right; mono: 440 Hz) at rate, encoded with
  // lame's extra arguments ("-b 128", "-V 2 -t", ...). Fails the test when a tool is missing.
  TMp3Fixture Make(const QString& name, long rate, int channels, int64_t frames,
                   const QStringList& lameArgs);
  // Writes bytes as a file of the folder, returns its path.
  QString Write(const QString& name, const QByteArray& bytes);
  // An ID3v2.3 tag of about size bytes (one PRIV frame) put before the audio of source.
  QString WithId3Tag(const QString& name, const QString& source, int size);
  // A file made from the bytes of sources, one after another, passed through edit.
  QString Derived(const QString& name, const QStringList& sources,
                  const std::function<QByteArray(QByteArray)>& edit = {});

 private:
  QTemporaryDir dir_;
};

// The whole file decoded by libmpg123 as the engine configures it (stereo 16-bit, gapless,
// scanned first).
// Empty when it cannot be decoded.
QVector<int16_t> DecodeAll(const QString& path, long* rate = nullptr);
// The whole file decoded by ffmpeg, an independent decoder, as stereo 16-bit. Fails the test
// when ffmpeg is missing.
QVector<int16_t> DecodeWithFfmpeg(const QString& path);
