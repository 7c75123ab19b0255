#include "app/startup.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

#include "platform/apptitle.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/firstpaint.h"
#include "platform/inifile.h"
#include "platform/programdir.h"
#include "platform/startupmarks.h"
#include "player/formmain.h"
#include "playlist/formplaylist.h"
#include "playlist/lengthrecorder.h"
#include "playlist/playlistreadahead.h"

namespace {
template <typename F>
void RunShowingErrors(F&& step) {
  try {
    step();
  } catch (const EBrimtoneError& e) {
    ShowException(e.Message());
  }
}

// Entries without a length are measured in the background after each refill, and once the
// windows are painted for those the file already holds.
void MakeLengthRecorder(TWindows& windows) {
  TMediaPlayer* device = windows.formMain->Mp3MediaPlayer;
  TformPlaylist* playlist = windows.formPlaylist.get();
  windows.lengthRecorder = std::make_unique<TLengthRecorder>();
  TLengthRecorder* recorder = windows.lengthRecorder.get();
  recorder->SetBusyFile([device] { return device->IsOpen() ? device->FileName() : QString(); });
  recorder->SetRefresh([playlist] { playlist->RefreshRows(); });
  QObject::connect(playlist, &TformPlaylist::playlistUpdated, recorder, &TLengthRecorder::Rescan);
}

// Temporary files that a kill or a power cut left beside the two files go, well after both
// windows are painted and off the GUI thread: nothing waits for it.
void RemoveLeftoversLater() {
  const QString settings = SettingsFileName();
  const QString playlist = PlaylistFileName();
  QTimer::singleShot(kLeftoversAfterPaintMs, qApp, [settings, playlist] {
    QThreadPool::globalInstance()->start([settings, playlist] {
      RemoveLeftoverTemporaryFiles(settings);
      RemoveLeftoverTemporaryFiles(playlist);
    });
  });
}

// What the first paint does not need, once both windows are on the screen: the length scan
// (it reads the whole playlist file again), the audio output (opening it may take a sound
// server some time) and the leftovers.
void StartAfterFirstPaint(TWindows& windows) {
  TMediaPlayer* device = windows.formMain->Mp3MediaPlayer;
  QPointer<TLengthRecorder> recorder = windows.lengthRecorder.get();
  new TFirstPaint(
      {windows.formMain.get(), windows.formPlaylist.get()},
      [device, recorder] {
        StartupMark("painted");
        StartupBegin("length scan");
        if (recorder) recorder->RescanNow();
        StartupMark("length scan");
        // So that the first song starts at once.
        QTimer::singleShot(kAudioAfterPaintMs, device, [device] {
          StartupBegin("audio output");
          device->Prepare();
          StartupMark("audio output");
        });
        RemoveLeftoversLater();
      },
      windows.formMain.get());
}
}  // namespace

TWindows::TWindows() = default;
TWindows::~TWindows() = default;

void CreateWindows(TWindows& windows) {
  SetApplicationTitle("Brimtone");
  // The accessibility bridge connects to the session bus, and waits for it, when the first
  // widget appears: made before the playlist's read competes for a core with that exchange.
  StartupBegin("accessibility bridge");
  QAccessible::isActive();
  StartupMark("accessibility bridge");
  // The playlist is read while the player window is made.
  TPlaylistReadAhead readAhead;
  windows.formMain = std::make_unique<TformMain>();
  SetTitleWindow(windows.formMain.get());
  RunShowingErrors([&] { windows.formMain->FormCreate(); });
  windows.formMain->show();
  StartupMark("player window");

  windows.formPlaylist = std::make_unique<TformPlaylist>(windows.formMain.get());
  windows.formMain->SetPlaylistWindow(windows.formPlaylist.get());
  RunShowingErrors([&] { windows.formPlaylist->FormCreate(&readAhead); });
  StartupMark("playlist window");

  MakeLengthRecorder(windows);
  StartAfterFirstPaint(windows);
}

void DestroyWindows(TWindows& windows) {
  windows.lengthRecorder.reset();
  if (windows.formMain) RunShowingErrors([&] { windows.formMain->FormDestroy(); });
  if (windows.formMain) windows.formMain->SetPlaylistWindow(nullptr);
  windows.formPlaylist.reset();
  SetTitleWindow(nullptr);
  windows.formMain.reset();
}
