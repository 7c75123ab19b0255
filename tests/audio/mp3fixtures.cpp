#include "mp3fixtures.h"

#include <mpg123.h>

#include <QFile>
#include <QProcess>
#include <QTest>
#include <cstring>

namespace {

bool Run(const QString& program, const QStringList& args) {
  QProcess process;
  process.start(program, args);
  if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
      process.exitCode() != 0) {
    qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
    return false;
  }
  return true;
}

}  // namespace

TMp3Fixtures::TMp3Fixtures() = default;

TMp3Fixture TMp3Fixtures::Make(const QString& name, long rate, int channels, int64_t frames,
                               const QStringList& lameArgs) {
  const QString wav = dir_.filePath(name + ".wav");
  const QString mp3 = dir_.filePath(name);
  // The rate goes before -n too: synth counts a length in samples at the input's rate.
  QStringList synth = {"-r",    QString::number(rate),
                       "-c",    QString::number(channels),
                       "-n",    "-b",
                       "16",    wav,
                       "synth", QString::number(frames) + "s",
                       "sine",  "440"};
  if (channels == 2)
    synth << "sine"
          << "660";
  synth << "vol"
        << "0.7";
  if (!Run("sox", synth) || !Run("lame", QStringList{"--quiet"} + lameArgs + QStringList{wav, mp3}))
    return {};
  QFile::remove(wav);
  return {mp3, rate, frames};
}

QString TMp3Fixtures::Write(const QString& name, const QByteArray& bytes) {
  QFile file(dir_.filePath(name));
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return {};
  return file.fileName();
}

QString TMp3Fixtures::WithId3Tag(const QString& name, const QString& source, int size) {
  QFile in(source);
  if (!in.open(QIODevice::ReadOnly)) return {};
  const QByteArray audio = in.readAll();
  const int frameData = size - 20;
  QByteArray tag("ID3\x03\x00\x00", 6);
  const int tagSize = 10 + frameData;  // one frame: 10-byte header + data
  for (int shift : {21, 14, 7, 0}) tag.append(char((tagSize >> shift) & 0x7F));
  tag.append("PRIV", 4);
  for (int shift : {24, 16, 8, 0}) tag.append(char((frameData >> shift) & 0xFF));
  tag.append(2, '\0');
  tag.append("brimtone-test", 14);
  // Filler that holds frame syncs, so a reader that does not skip the tag trips over them.
  for (int i = 14; i < frameData; ++i) tag.append(char(i % 7 == 0 ? 0xFF : 0xFB));
  return Write(name, tag + audio);
}

QString TMp3Fixtures::Derived(const QString& name, const QStringList& sources,
                              const std::function<QByteArray(QByteArray)>& edit) {
  QByteArray bytes;
  for (const QString& source : sources) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) return {};
    bytes += in.readAll();
  }
  return Write(name, edit ? edit(bytes) : bytes);
}

QVector<int16_t> DecodeWithFfmpeg(const QString& path) {
  QProcess ffmpeg;
  ffmpeg.start("ffmpeg", {"-v", "error", "-i", path, "-f", "s16le", "-ac", "2", "-"});
  if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0) {
    qWarning("ffmpeg failed: %s", ffmpeg.readAllStandardError().constData());
    return {};
  }
  const QByteArray out = ffmpeg.readAllStandardOutput();
  QVector<int16_t> samples(out.size() / 2);
  std::memcpy(samples.data(), out.constData(), size_t(samples.size()) * 2);
  return samples;
}

QVector<int16_t> DecodeAll(const QString& path, long* rate) {
  QVector<int16_t> samples;
  mpg123_init();
  int error = 0;
  mpg123_handle* handle = mpg123_new(nullptr, &error);
  mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_FORCE_STEREO | MPG123_GAPLESS, 0);
  mpg123_format_none(handle);
  const long* rates = nullptr;
  size_t count = 0;
  mpg123_rates(&rates, &count);
  for (size_t i = 0; i < count; ++i)
    mpg123_format(handle, rates[i], MPG123_STEREO, MPG123_ENC_SIGNED_16);
  // Scanned first, as the engine does: libmpg123 1.31 doubles mono into stereo with an
  // occasional 1 LSB difference depending on whether a seek (the scan's) came before the first
  // decoded frame.
  if (mpg123_open(handle, QFile::encodeName(path).constData()) == MPG123_OK &&
      mpg123_scan(handle) == MPG123_OK && mpg123_seek(handle, 0, SEEK_SET) == 0) {
    int16_t buffer[8192];
    size_t bytes = 0;
    int result;
    do {
      result = mpg123_read(handle, buffer, sizeof buffer, &bytes);
      samples.append(QVector<int16_t>(buffer, buffer + bytes / sizeof(int16_t)));
    } while (result == MPG123_OK || result == MPG123_NEW_FORMAT);
    long r = 0;
    int channels = 0, encoding = 0;
    mpg123_getformat(handle, &r, &channels, &encoding);
    if (rate) *rate = r;
  }
  mpg123_delete(handle);
  return samples;
}
