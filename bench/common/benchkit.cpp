#include "benchkit.h"

#include <mpg123.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "audio/mpg123sdlengine.h"

bool OpenAndWait(TMpg123SdlEngine& engine, const QString& path) {
  struct TWait {
    std::mutex mutex;
    std::condition_variable done;
    std::optional<QString> error;
  };
  auto wait = std::make_shared<TWait>();
  TEngineHandlers handlers;
  handlers.opened = [wait](uint64_t, const QString& error) {
    std::lock_guard lock(wait->mutex);
    wait->error = error;
    wait->done.notify_all();
  };
  engine.SetHandlers(handlers);
  engine.Open(path, 1);
  std::unique_lock lock(wait->mutex);
  wait->done.wait(lock, [&] { return wait->error.has_value(); });
  return wait->error->isEmpty();
}

QString BenchDir() {
  return QDir::tempPath() + "/brimtone-bench";
}

QString Song(int seconds, int rate, int kbps) {
  const QString path = BenchDir() + QString("/song%1s-%2-%3.mp3").arg(seconds).arg(rate).arg(kbps);
  if (QFileInfo::exists(path)) return path;
  QDir().mkpath(BenchDir());
  std::printf("making %s (once)...\n", qPrintable(path));
  std::fflush(stdout);
  const QString command =
      QString(
          "sox -r %3 -c 2 -n -b 16 -t wav - synth %1 pinknoise vol 0.3 synth %1 sine mix 440 "
          "vol 0.8 2>/dev/null | lame --quiet -b %4 - '%2.part' && mv '%2.part' '%2'")
          .arg(seconds)
          .arg(path)
          .arg(rate)
          .arg(kbps);
  if (QProcess::execute("sh", {"-c", command}) != 0 || !QFileInfo::exists(path)) {
    std::fprintf(stderr, "cannot make %s (sox and lame needed)\n", qPrintable(path));
    std::exit(1);
  }
  return path;
}

double WaitFirstAudioMs(TMpg123SdlEngine& engine, int64_t t0) {
  for (int i = 0; i < 20000; ++i) {
    if (const int64_t first = engine.FirstAudioTimeNs()) return (first - t0) / 1e6;
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  return 1e9;
}

void TFloorPlayer::Callback(void* userdata, Uint8* stream, int len) {
  auto* floor = static_cast<TFloorPlayer*>(userdata);
  size_t done = 0;
  const int result =
      mpg123_read(static_cast<mpg123_handle*>(floor->handle_), stream, size_t(len), &done);
  if (result != MPG123_OK) done = 0;
  std::memset(stream + done, 0, size_t(len) - done);
  floor->frames_.fetch_add(int64_t(done / 4), std::memory_order_relaxed);
}

bool TFloorPlayer::Start(const QString& path) {
  mpg123_init();
  int error = 0;
  auto* handle = mpg123_new(nullptr, &error);
  if (!handle) return false;
  handle_ = handle;
  mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_FORCE_STEREO, 0);
  mpg123_format_none(handle);
  mpg123_format(handle, 44100, MPG123_STEREO, MPG123_ENC_SIGNED_16);
  if (mpg123_open(handle, QFile::encodeName(path).constData()) != MPG123_OK) return false;
  SDL_InitSubSystem(SDL_INIT_AUDIO);
  SDL_AudioSpec want{}, have{};
  want.freq = 44100;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = 2048;
  want.callback = &TFloorPlayer::Callback;
  want.userdata = this;
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (!device_) return false;
  SDL_PauseAudioDevice(device_, 0);
  return true;
}

TFloorPlayer::~TFloorPlayer() {
  if (device_) SDL_CloseAudioDevice(device_);
  if (handle_) mpg123_delete(static_cast<mpg123_handle*>(handle_));
}
