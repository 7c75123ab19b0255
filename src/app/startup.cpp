#include "app/startup.h"

#include <QCoreApplication>
#include <QThreadPool>
#include <QTimer>

#include "platform/apptitle.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/inifile.h"
#include "platform/programdir.h"
#include "player/formmain.h"
#include "playlist/formplaylist.h"
#include "playlist/lengthrecorder.h"

namespace {
template <typename F>
void RunShowingErrors(F&& step) {
  try {
    step();
  } catch (const EBrimtoneError& e) {
    ShowException(e.Message());
  }
}

// Entries without a length are measured in the background after start-up and each refill.
void StartLengthScan(TWindows& windows) {
  TMediaPlayer* device = windows.formMain->Mp3MediaPlayer;
  TformPlaylist* playlist = windows.formPlaylist.get();
  windows.lengthRecorder = std::make_unique<TLengthRecorder>();
  TLengthRecorder* recorder = windows.lengthRecorder.get();
  recorder->SetBusyFile([device] { return device->IsOpen() ? device->FileName() : QString(); });
  recorder->SetRefresh([playlist] { playlist->RefreshRows(); });
  QObject::connect(playlist, &TformPlaylist::playlistUpdated, recorder, &TLengthRecorder::Rescan);
  recorder->Rescan();
}

// Temporary files that a kill or a power cut left beside the two files go, well after both
// windows are painted and off the GUI thread: nothing waits for it.
void RemoveLeftoversLater() {
  const QString settings = SettingsFileName();
  const QString playlist = PlaylistFileName();
  QTimer::singleShot(3000, qApp, [settings, playlist] {
    QThreadPool::globalInstance()->start([settings, playlist] {
      RemoveLeftoverTemporaryFiles(settings);
      RemoveLeftoverTemporaryFiles(playlist);
    });
  });
}
}  // namespace

TWindows::TWindows() = default;
TWindows::~TWindows() = default;

void CreateWindows(TWindows& windows) {
  SetApplicationTitle("Brimtone");
  windows.formMain = std::make_unique<TformMain>();
  SetTitleWindow(windows.formMain.get());
  RunShowingErrors([&] { windows.formMain->FormCreate(); });
  windows.formMain->show();

  windows.formPlaylist = std::make_unique<TformPlaylist>(windows.formMain.get());
  windows.formMain->SetPlaylistWindow(windows.formPlaylist.get());
  RunShowingErrors([&] { windows.formPlaylist->FormCreate(); });

  // Once the windows are up, open the audio output so the first song starts at once.
  TMediaPlayer* device = windows.formMain->Mp3MediaPlayer;
  QTimer::singleShot(50, device, [device] { device->Prepare(); });
  StartLengthScan(windows);
  RemoveLeftoversLater();
}

void DestroyWindows(TWindows& windows) {
  windows.lengthRecorder.reset();
  if (windows.formMain) RunShowingErrors([&] { windows.formMain->FormDestroy(); });
  if (windows.formMain) windows.formMain->SetPlaylistWindow(nullptr);
  windows.formPlaylist.reset();
  SetTitleWindow(nullptr);
  windows.formMain.reset();
}
